// The native program's own path, end to end: setup_main with the Qt program
// host and the portable back ends (SDL2 display probe, file record in a fresh
// XDG_CONFIG_HOME), the real dialog driven from a timer as a player drives it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/entry.h"
#include "app/state.h"
#include "dialog_host_qt.h"
#include "platform/winapi_values.h"
#include "portable_backends.h"
#include "res/resource.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- driving

QDialog* running() {
    QDialog* d = qt_running_dialog();
    return d && d->isVisible() && !qt_dialog_ended(d) ? d : nullptr;
}

QWidget* control(int32_t id) { return qt_dialog_control(qt_running_dialog(), id); }
template <class T>
T* control_as(int32_t id) {
    return qobject_cast<T*>(control(id));
}

void click(int32_t id) {
    QWidget* w = control(id);
    ASSERT_NE(w, nullptr) << id;
    QPoint at = w->rect().center();
    if (auto* box = qobject_cast<QCheckBox*>(w)) {
        QStyleOptionButton opt;
        opt.initFrom(box);
        at = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, box).center();
    }
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, at);
}

void click_if_enabled(int32_t id) {
    if (control(id)->isEnabled()) click(id);
}

// Moves a list's selection with the keyboard, as a player does.
void key_in_list(int32_t id, Qt::Key key) {
    auto* combo = control_as<QComboBox>(id);
    if (combo && combo->isEnabled() && combo->count() > 0) QTest::keyClick(combo, key);
}

std::vector<QPointer<QTimer>> pending;

// Calls `act` from the event loop once `ready` holds (polled every 10 ms),
// unless the run ends first.
void when(std::function<bool()> ready, std::function<void()> act) {
    auto* timer = new QTimer;
    pending.emplace_back(timer);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, ready, act] {
        if (!ready()) return;
        timer->stop();
        timer->deleteLater();
        act();
    });
    timer->start();
}

// A wait that outlives its run must not act in the next one.
void cancel_pending() {
    for (auto& timer : pending)
        if (timer) {
            timer->stop();
            timer->deleteLater();
        }
    pending.clear();
}

QMessageBox* visible_box() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

void when_box(std::function<void(QMessageBox*)> act) {
    when([] { return visible_box() != nullptr; }, [act] { act(visible_box()); });
}

// Ends a run that got stuck, so that a failing test fails instead of hanging.
class Watchdog {
public:
    Watchdog() {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            ADD_FAILURE() << "the dialog was still open after 120 seconds";
            if (QMessageBox* box = visible_box()) box->reject();
            if (QDialog* d = qt_running_dialog()) qt_dialog_host_api.end_dialog(d, 99);
        });
        timer_.start(120000);
    }

private:
    QTimer timer_;
};

// ---------------------------------------------------------------- the record the controls show

int32_t selected_data(int32_t id) {
    auto* combo = control_as<QComboBox>(id);
    HostWindow h = combo;
    const int32_t pos = qt_dialog_host_api.list_get_selection(h);
    return pos < 0 ? -1 : static_cast<int32_t>(qt_dialog_host_api.list_get_data(h, pos));
}

uint8_t checked(int32_t id) { return control_as<QAbstractButton>(id)->isChecked() ? 1 : 0; }

// What the dialog shows, as the record; what no control shows stays `base`.
SetupSettings record_from_controls(const SetupSettings& base) {
    SetupSettings s = base;
    if (const int32_t adapter = selected_data(IDC_ADAPTER); adapter >= 0) s.adapter = static_cast<uint8_t>(adapter);
    auto* resolution = control_as<QComboBox>(IDC_RESOLUTION);
    int w = 0, h = 0;
    if (resolution->currentIndex() >= 0 &&
        std::sscanf(resolution->currentText().toLatin1().constData(), "%d x %d", &w, &h) == 2) {
        s.width = w;
        s.height = h;
    }
    if (const int32_t depth = selected_data(IDC_BIT_DEPTH); depth >= 0) s.bit_depth = depth;
    if (const int32_t rate = selected_data(IDC_REFRESH); rate >= 0) s.refresh_rate = rate;
    if (const int32_t aa = selected_data(IDC_ANTIALIAS); aa >= 0) s.antialiasing = static_cast<uint8_t>(aa);
    s.fullscreen = checked(IDC_FULLSCREEN);
    s.triple_buffering = checked(IDC_TRIPLE_BUFFER);
    s.hardware_tnl = checked(IDC_HW_TNL);
    s.low_detail_textures = checked(IDC_TEX_LOW_DETAIL);
    s.vsync = checked(IDC_VSYNC);
    s.compressed_textures = checked(IDC_TEX_COMPRESSED);
    s.true_color_textures = checked(IDC_TEX_TRUE_COLOR);
    s.sound_disabled = checked(IDC_SOUND) ? 0 : 1;
    s.software_mixing_only = checked(IDC_SOFTWARE_MIXING);
    s.disable_eax = checked(IDC_DISABLE_EAX);
    s.suspend_when_inactive = checked(IDC_SUSPEND_INACTIVE);
    s.multipass_rendering = checked(IDC_MULTIPASS);
    s.voice_chat = checked(IDC_VOICE_CHAT);
    const int32_t speakers = qt_dialog_host_api.list_get_selection(control(IDC_SPEAKERS));
    if (speakers >= 0) s.speaker_config = static_cast<uint8_t>(speakers);
    // The two options without a control read as unchecked at every click.
    s.option_1011 = 0;
    s.option_1028 = 0;
    return s;
}

std::vector<uint8_t> bytes_of(const SetupSettings& s) {
    return std::vector<uint8_t>(raw_bytes(&s), raw_bytes(&s) + SETTINGS_SIZE);
}

// ---------------------------------------------------------------- fixture

class NativeProgram : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/e2e-native-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        config = pattern;
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        // Every run starts as a fresh process would.
        reset_process_state();
        install_portable_platform();
    }
    void TearDown() override { fs::remove_all(config); }

    // The same entry main() calls.
    int run_program() {
        Watchdog watchdog;
        const int code = setup_main(&qt_program_host);
        cancel_pending();
        return code;
    }

    fs::path record_path() const { return fs::path(config) / "Brannick" / "Velmora" / "Orvex_setup"; }
    std::vector<uint8_t> stored() const {
        std::ifstream in(record_path(), std::ios::binary);
        if (!in) return {};
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool anything_written() const {
        for (const auto& e : fs::recursive_directory_iterator(config))
            if (e.is_regular_file()) return true;
        return false;
    }

    std::string config;
};

TEST_F(NativeProgram, SaveAndExitStoresExactlyWhatTheControlsShow) {
    std::vector<uint8_t> expected;
    bool drove = false;
    when([] { return running() != nullptr; },
         [&] {
             drove = true;
             // Options in every group, some lists, the expert band.
             key_in_list(IDC_RESOLUTION, Qt::Key_Down);
             key_in_list(IDC_BIT_DEPTH, Qt::Key_Up);
             key_in_list(IDC_REFRESH, Qt::Key_Down);
             key_in_list(IDC_ANTIALIAS, Qt::Key_End);
             click_if_enabled(IDC_VSYNC);
             click_if_enabled(IDC_TRIPLE_BUFFER);
             click(IDC_TEX_LOW_DETAIL);
             click(IDC_TEX_TRUE_COLOR);
             key_in_list(IDC_SPEAKERS, Qt::Key_Up);
             click_if_enabled(IDC_DISABLE_EAX);
             click(IDC_EXPERT_TOGGLE);
             click(IDC_SUSPEND_INACTIVE);
             click(IDC_MULTIPASS);
             EXPECT_TRUE(checked(IDC_MULTIPASS));
             EXPECT_FALSE(checked(IDC_HW_TNL));  // the two never both on

             // Fields no control shows (or a list without a selected entry,
             // on a display that offers no usable mode) are the record's.
             expected = bytes_of(record_from_controls(settings));
             click(IDOK);
         });
    EXPECT_EQ(run_program(), 0);
    ASSERT_TRUE(drove);
    EXPECT_EQ(stored(), expected);
    EXPECT_EQ(stored().size(), SETTINGS_SIZE);

    // A new start shows the stored record, and Exit at once asks nothing.
    reset_process_state();
    bool asked = false;
    std::vector<uint8_t> shown;
    when([] { return running() != nullptr; },
         [&] {
             shown = bytes_of(record_from_controls(settings));
             when_box([&](QMessageBox* box) {
                 asked = true;
                 box->reject();
             });
             click(IDCANCEL);
             if (running()) qt_dialog_host_api.end_dialog(qt_running_dialog(), -1);
         });
    EXPECT_EQ(run_program(), 0);
    EXPECT_TRUE(settings_loaded);
    EXPECT_FALSE(asked) << "Exit right after a new start asked to discard changes";
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(stored(), expected);
}

TEST_F(NativeProgram, ExitWithChangesAsksAndWritesNothing) {
    int boxes = 0;
    bool stayed_open = false;
    when([] { return running() != nullptr; },
         [&] {
             // A first start: the autodetect profile has changed the record
             // from the defaults.
             when_box([&](QMessageBox* box) {
                 ++boxes;
                 EXPECT_EQ(box->windowTitle(), QStringLiteral("WARNING..."));
                 EXPECT_EQ(box->text(), QStringLiteral("Discard changes ?!"));
                 EXPECT_EQ(box->icon(), QMessageBox::Warning);
                 QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
             });
             click(IDCANCEL);
             stayed_open = running() != nullptr;
             when_box([&](QMessageBox* box) {
                 ++boxes;
                 QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
             });
             click(IDCANCEL);
         });
    EXPECT_EQ(run_program(), 0);
    EXPECT_EQ(boxes, 2);
    EXPECT_TRUE(stayed_open) << "No must leave the dialog open";
    EXPECT_FALSE(anything_written());
}

TEST_F(NativeProgram, EscAndTheCloseBoxAreExitToo) {
    int boxes = 0;
    when([] { return running() != nullptr; },
         [&] {
             when_box([&](QMessageBox* box) {
                 ++boxes;
                 QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
             });
             QTest::keyClick(running(), Qt::Key_Escape);
             EXPECT_NE(running(), nullptr);
             when_box([&](QMessageBox* box) {
                 ++boxes;
                 QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
             });
             running()->close();
         });
    EXPECT_EQ(run_program(), 0);
    EXPECT_EQ(boxes, 2);
    EXPECT_FALSE(anything_written());
}

}  // namespace

int main(int argc, char** argv) {
    // The program's own platform: the display in DISPLAY (on_display.sh).
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

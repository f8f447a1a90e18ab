// The Qt dialog host, offscreen: the template's controls, captions and fold,
// the host contract (commands only for the player's actions, check boxes
// flipped before their command, ids without controls), and the real
// controller reached through real widgets.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/state.h"
#include "dialog/controller.h"
#include "dialog_host_qt.h"
#include "fakes.h"
#include "platform/winapi_values.h"
#include "portable_backends.h"
#include "res/dialog_template.h"
#include "settings/settings.h"
#include "settings/store.h"

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- helpers

constexpr uint32_t CODE_CLICKED = 0;
constexpr uint32_t CODE_SETFOCUS = 3;
constexpr uint32_t CODE_KILLFOCUS = 4;
constexpr uint32_t CODE_EDITCHANGE = 5;
constexpr uint32_t CODE_DROPDOWN = 7;
constexpr uint32_t CODE_CLOSEUP = 8;
constexpr int FOLD = 85;

// Dialog units to pixels with 6 x 13 base units, rounded half up.
int px_x(int du) { return (du * 6 + 2) / 4; }
int px_y(int du) { return (du * 13 + 4) / 8; }

struct Delivered {
    uint32_t message;
    int32_t id;
    uint32_t code;
    uint32_t check;     // the sender's check state when the command arrived
    int32_t selection;  // the sender's selection when the command arrived
};

std::vector<Delivered> delivered;
bool forward_to_controller = true;
std::function<void(const Delivered&)> on_delivery;

intptr_t recording_proc(HostWindow dialog, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    Delivered d{message, static_cast<int32_t>(wparam & 0xFFFF), static_cast<uint32_t>(wparam >> 16), 0, CB_ERR};
    if (message == WM_COMMAND) {
        d.check = qt_dialog_host_api.get_check(dialog, d.id);
        if (HostWindow control = qt_dialog_host_api.get_item(dialog, d.id))
            if (qobject_cast<QComboBox*>(static_cast<QWidget*>(control)))
                d.selection = qt_dialog_host_api.list_get_selection(control);
    }
    delivered.push_back(d);
    if (on_delivery) on_delivery(d);
    return forward_to_controller ? setup_dialog_proc(dialog, message, wparam, lparam) : 0;
}

std::vector<Delivered> commands() {
    std::vector<Delivered> out;
    for (const auto& d : delivered)
        if (d.message == WM_COMMAND) out.push_back(d);
    return out;
}

// Runs `act` on the first visible message box once it is shown (inside its
// own modal loop).
void when_message_box(std::function<void(QMessageBox*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, tries] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box && box->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(box);
                return;
            }
        }
        if (++*tries > 1000) {  // ten seconds: give up rather than hang
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// A machine the probe can list: one adapter, 4:3 modes in 16 and 32 bits.
void script_machine(FakeMachine& m) {
    FakeAdapter a;
    a.description = "Test Display Adapter";
    a.driver_version = (uint64_t{6} << 48) | (uint64_t{14} << 32) | (uint64_t{10} << 16) | 6014;
    for (uint32_t format : {FORMAT_R5G6B5, FORMAT_X8R8G8B8})
        for (auto [w, h] : {std::pair{640u, 480u}, {800u, 600u}, {1024u, 768u}, {1152u, 864u}, {1600u, 1200u}})
            for (uint32_t rate : {60u, 75u, 85u}) a.modes.push_back(mode(w, h, format, rate));
    a.multisample_all = true;
    m.d3d.adapters.push_back(a);
    m.ddraw.total_bytes = 64u << 20;
}

class QtHost : public ::testing::Test {
protected:
    void SetUp() override {
        script_machine(reset_fakes());
        platform.host = &qt_dialog_host_api;
        delivered.clear();
        forward_to_controller = true;
        on_delivery = nullptr;
        qt_dialog_procedure = recording_proc;
    }

    void TearDown() override {
        dialog.reset();
        on_delivery = nullptr;
        qt_dialog_procedure = setup_dialog_proc;
        reset_fakes();
    }

    // Builds the dialog; `init` sends WM_INITDIALOG, else it is only shown.
    QDialog* open(bool init = true) {
        dialog.reset(qt_create_dialog());
        if (init) qt_init_dialog(dialog.get());
        // A recording procedure that does not forward leaves the fold, which
        // shows the window, undone.
        if (!dialog->isVisible()) dialog->show();
        QApplication::processEvents();
        return dialog.get();
    }

    QWidget* control(int32_t id) { return qt_dialog_control(dialog.get(), id); }
    template <class T>
    T* control_as(int32_t id) {
        return qobject_cast<T*>(control(id));
    }
    HostWindow handle(int32_t id) { return qt_dialog_host_api.get_item(dialog.get(), id); }

    // A player's click in the middle of the control (on the box of a check box).
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
        QApplication::processEvents();
    }

    std::unique_ptr<QDialog> dialog;
};

bool is_class(const TemplateControl& t, const char* cls) { return std::strcmp(t.class_name, cls) == 0; }

// ---------------------------------------------------------------- template

TEST_F(QtHost, EveryTemplateControlExistsAtItsGeometryWithItsKind) {
    open(false);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Velmora"));
    EXPECT_EQ(dialog->size(), QSize(567, 349));  // 378 x 215 dialog units
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(dialog->windowFlags() & Qt::WindowCloseButtonHint);

    for (const TemplateControl& t : template_controls) {
        SCOPED_TRACE(t.id);
        QWidget* w = control(t.id);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget(), dialog.get());
        EXPECT_TRUE(w->isVisible());
        const bool combo = is_class(t, "COMBOBOX");
        EXPECT_EQ(w->geometry(), QRect(px_x(t.x), px_y(t.y), px_x(t.w), combo ? 21 : px_y(t.h)));
        EXPECT_EQ(w->isEnabled(), t.id != IDC_VOICE_CHAT);

        const uint32_t type = t.style & 0x0F;
        if (is_class(t, "BUTTON") && type == 7) {
            EXPECT_TRUE(qobject_cast<QGroupBox*>(w));
        } else if (is_class(t, "BUTTON") && type == 3 && (t.style & 0x1000)) {
            auto* b = qobject_cast<QPushButton*>(w);
            ASSERT_TRUE(b);
            EXPECT_TRUE(b->isCheckable());
            EXPECT_FALSE(b->autoDefault());
        } else if (is_class(t, "BUTTON") && type == 3) {
            EXPECT_TRUE(qobject_cast<QCheckBox*>(w));
        } else if (is_class(t, "BUTTON")) {
            auto* b = qobject_cast<QPushButton*>(w);
            ASSERT_TRUE(b);
            EXPECT_FALSE(b->isCheckable());
            EXPECT_EQ(b->isDefault(), t.id == IDOK);
        } else if (combo) {
            auto* c = qobject_cast<QComboBox*>(w);
            ASSERT_TRUE(c);
            EXPECT_EQ(c->isEditable(), t.id == IDC_SPEAKERS);
        } else if (is_class(t, "EDIT")) {
            auto* e = qobject_cast<QLineEdit*>(w);
            ASSERT_TRUE(e);
            EXPECT_TRUE(e->isReadOnly());
            EXPECT_FALSE(e->hasFrame());
        } else {
            ASSERT_TRUE(qobject_cast<QLabel*>(w));
        }
    }

    // Literal spot checks of the arithmetic.
    EXPECT_EQ(control(IDOK)->geometry(), QRect(8, 229, 173, 24));
    EXPECT_EQ(control(IDC_HW_TNL)->geometry(), QRect(23, 284, 165, 18));
    EXPECT_EQ(control(IDC_FULLSCREEN)->geometry(), QRect(204, 130, 14, 13));
}

TEST_F(QtHost, LabelsAlignAsTheirStaticStyles) {
    open(false);
    EXPECT_EQ(control_as<QLabel>(IDC_REFRESH_LABEL)->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    EXPECT_EQ(control_as<QLabel>(IDC_BIT_DEPTH_LABEL)->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    EXPECT_EQ(control_as<QLabel>(IDC_RESOLUTION_LABEL)->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(control_as<QLabel>(IDC_ANTIALIAS_LABEL)->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(control_as<QLabel>(IDC_VERSION_LABEL)->alignment(), Qt::AlignRight | Qt::AlignTop);
}

TEST_F(QtHost, TemplateOrderIsTheStackingOrderAndClicksReachEveryControl) {
    open(false);
    std::vector<int32_t> order;
    for (QObject* child : dialog->children())
        if (child->isWidgetType() && child->property("control_id").isValid())
            order.push_back(child->property("control_id").toInt());
    std::vector<int32_t> expected;
    for (const TemplateControl& t : template_controls) expected.push_back(t.id);
    EXPECT_EQ(order, expected);

    // Group boxes and labels let clicks through, so the control under any
    // point of a clickable control is that control.
    for (const TemplateControl& t : template_controls) {
        QWidget* w = control(t.id);
        const bool passive = qobject_cast<QGroupBox*>(w) || qobject_cast<QLabel*>(w);
        if (passive) continue;
        for (QPoint p : {w->geometry().center(), w->geometry().topLeft() + QPoint(2, 2),
                         w->geometry().bottomRight() - QPoint(2, 2)}) {
            QWidget* hit = dialog->childAt(p);
            while (hit && hit->parentWidget() != dialog.get()) hit = hit->parentWidget();
            EXPECT_EQ(hit, w) << t.id << " at " << p.x() << "," << p.y();
        }
    }
}

TEST_F(QtHost, OnlyTheFourTemplateTabStopsTakeTabFocus) {
    open(false);
    for (const TemplateControl& t : template_controls) {
        const bool tab_stop = t.id == IDOK || t.id == IDCANCEL || t.id == IDC_AUTODETECT || t.id == IDC_VOICE_CHAT;
        EXPECT_EQ((control(t.id)->focusPolicy() & Qt::TabFocus) != 0, tab_stop) << t.id;
    }
}

TEST_F(QtHost, TheLogoShowsTheBitmapInsideAOnePixelBorder) {
    open(false);
    auto* logo = control_as<QLabel>(IDC_LOGO);
    ASSERT_TRUE(logo);
    EXPECT_EQ(logo->frameShape(), QFrame::Box);
    EXPECT_EQ(logo->lineWidth(), 1);
    ASSERT_FALSE(logo->pixmap().isNull()) << "setup/res/logo.bmp is not embedded";
    EXPECT_EQ(logo->pixmap().size(), QSize(160, 112));
    EXPECT_EQ(logo->contentsRect().size(), QSize(160, 112));  // 108 x 70 dialog units less the border
}

// ---------------------------------------------------------------- captions

TEST_F(QtHost, TheDialogFontIsTheChosenOne) {
    open(false);
    const QFontInfo info(dialog->font());
    EXPECT_EQ(info.family(), QString::fromLatin1(QT_DIALOG_FONT_FAMILY)) << "the font's package is missing";
    EXPECT_EQ(info.pixelSize(), QT_DIALOG_FONT_PIXELS);
}

// Horizontal room a push button leaves for its text, and vertical.
constexpr int BUTTON_MARGIN_X = 4;
constexpr int BUTTON_MARGIN_Y = 2;

TEST_F(QtHost, EveryCaptionFitsItsControl) {
    open();
    const QFontMetrics fm(dialog->font());
    int checked = 0;
    for (const TemplateControl& t : template_controls) {
        SCOPED_TRACE(t.id);
        QWidget* w = control(t.id);
        if (auto* b = qobject_cast<QPushButton*>(w)) {
            const QString shown = QString(b->text()).replace(QStringLiteral("&&"), QStringLiteral("&"));
            EXPECT_LE(fm.horizontalAdvance(shown) + 2 * BUTTON_MARGIN_X, b->width()) << shown.toStdString();
            EXPECT_LE(fm.height() + 2 * BUTTON_MARGIN_Y, b->height());
            ++checked;
        } else if (auto* c = qobject_cast<QCheckBox*>(w)) {
            const QString shown = QString(c->text()).replace(QStringLiteral("&&"), QStringLiteral("&"));
            const int indicator = c->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, c);
            const int spacing = c->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, c);
            EXPECT_LE(indicator + (shown.isEmpty() ? 0 : spacing + fm.horizontalAdvance(shown)), c->width());
            ++checked;
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            const QRect title = qt_group_title_text_rect(g);
            ASSERT_FALSE(title.isEmpty());
            EXPECT_LE(title.right(), g->width() - 8);
            ++checked;
        } else if (auto* l = qobject_cast<QLabel*>(w); l && t.id != IDC_LOGO) {
            ASSERT_FALSE(l->text().isEmpty());
            EXPECT_LE(fm.horizontalAdvance(l->text()), l->width()) << l->text().toStdString();
            EXPECT_LE(fm.height(), l->height());
            // The text the label shows is not covered by a control stacked above it.
            QRect text = QStyle::alignedRect(Qt::LeftToRight, l->alignment(),
                                             QSize(fm.horizontalAdvance(l->text()), fm.height()), l->geometry());
            bool above = false;
            for (const TemplateControl& other : template_controls) {
                if (other.id == t.id) {
                    above = true;
                    continue;
                }
                QWidget* o = control(other.id);
                if (above && !qobject_cast<QGroupBox*>(o) && !qobject_cast<QLabel*>(o)) {
                    EXPECT_FALSE(text.intersects(o->geometry())) << "covered by " << other.id;
                }
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 25 + 2);  // the captioned controls and the two title check boxes

    // The widest ones, by name.
    EXPECT_LE(fm.horizontalAdvance(QStringLiteral("Hardware Transform&Lighting")) + 2 * BUTTON_MARGIN_X, px_x(110));
    EXPECT_LE(fm.height() + 2 * BUTTON_MARGIN_Y, px_y(11));
    EXPECT_LE(fm.horizontalAdvance(QStringLiteral("Close expert settings...")) + 2 * BUTTON_MARGIN_X, px_x(115));
    EXPECT_LE(fm.horizontalAdvance(QStringLiteral("Vertical synchronization")) + 2 * BUTTON_MARGIN_X, px_x(105));
    auto* speakers = control_as<QComboBox>(IDC_SPEAKERS);
    ASSERT_EQ(speakers->count(), 5);
    for (int i = 0; i < speakers->count(); ++i)  // QLineEdit keeps 2 pixels each side
        EXPECT_LE(fm.horizontalAdvance(speakers->itemText(i)) + 4, speakers->lineEdit()->width())
            << speakers->itemText(i).toStdString();
    EXPECT_EQ(speakers->itemText(4), QStringLiteral("Current Windows speaker conf."));
}

TEST_F(QtHost, DoubledAmpersandShowsOneAmpersandAndNoMnemonic) {
    open();
    auto* b = control_as<QPushButton>(IDC_HW_TNL);
    EXPECT_EQ(b->text(), QStringLiteral("Hardware Transform&&Lighting"));  // Qt shows "&&" as "&"
    EXPECT_TRUE(QKeySequence::mnemonic(b->text()).isEmpty());
    EXPECT_TRUE(b->shortcut().isEmpty());

    // A single "&" is no mnemonic either; on a label "&&" is one "&".
    qt_dialog_host_api.set_text(handle(IDC_AUTODETECT), "&Auto && more");
    EXPECT_EQ(control_as<QPushButton>(IDC_AUTODETECT)->text(), QStringLiteral("Auto && more"));
    EXPECT_TRUE(control_as<QPushButton>(IDC_AUTODETECT)->shortcut().isEmpty());
    qt_dialog_host_api.set_text(handle(IDC_RESOLUTION_LABEL), "A&&B");
    EXPECT_EQ(control_as<QLabel>(IDC_RESOLUTION_LABEL)->text(), QStringLiteral("A&B"));
    // An edit field shows its text as it is.
    qt_dialog_host_api.set_text(handle(IDC_DRIVER_VERSION), "A&&B");
    EXPECT_EQ(control_as<QLineEdit>(IDC_DRIVER_VERSION)->text(), QStringLiteral("A&&B"));
}

TEST_F(QtHost, TitleCheckBoxesLieOnTheBlanksOfTheirGroupTitles) {
    open();
    for (auto [box_id, group_id] : {std::pair{IDC_FULLSCREEN, IDC_FULLSCREEN_GROUP}, {IDC_SOUND, IDC_SOUND_GROUP}}) {
        SCOPED_TRACE(box_id);
        auto* box = control_as<QCheckBox>(box_id);
        auto* group = control_as<QGroupBox>(group_id);
        ASSERT_TRUE(box && group);
        EXPECT_TRUE(group->title().startsWith(QStringLiteral("      ")));
        QStyleOptionButton opt;
        opt.initFrom(box);
        const QRect indicator =
            box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &opt, box).translated(box->pos());
        const QRect text = qt_group_title_text_rect(group).translated(group->pos());
        EXPECT_LT(indicator.right(), text.left());               // clears the visible title
        EXPECT_GE(indicator.left(), group->x() + 6);             // inside the title's gap in the frame
        const int frame_line = group->y() + QFontMetrics(group->font()).height() / 2 - 1;
        EXPECT_LE(indicator.top(), frame_line);                  // across the frame's top edge
        EXPECT_GE(indicator.bottom(), frame_line);
        EXPECT_LE(indicator.bottom(), text.bottom() + 2);
        EXPECT_GT(dialog->children().indexOf(box), dialog->children().indexOf(group));  // on top
    }
}

// ---------------------------------------------------------------- fold

TEST_F(QtHost, OpensFoldedAndTwoTogglesRestoreTheHeightToThePixel) {
    dialog.reset(qt_create_dialog());
    const QRect created = dialog->geometry();
    qt_init_dialog(dialog.get());
    QApplication::processEvents();

    // The first fold comes before the window is shown, when no frame is
    // known yet: the client area loses the 85 pixels.
    EXPECT_TRUE(dialog->isVisible());  // the fold shows the window
    EXPECT_EQ(dialog->size(), QSize(created.width(), created.height() - FOLD));
    EXPECT_EQ(dialog->frameGeometry().topLeft(), created.topLeft());
    const QRect folded = dialog->frameGeometry();
    const QRect full(folded.topLeft(), QSize(folded.width(), folded.height() + FOLD));
    auto* toggle = control_as<QPushButton>(IDC_EXPERT_TOGGLE);
    EXPECT_EQ(toggle->text(), QStringLiteral("Open expert settings..."));

    // Exactly the bottom band lies below the folded client area.
    const int client = dialog->height();
    for (const TemplateControl& t : template_controls) {
        const QRect r = control(t.id)->geometry();
        if (t.y >= 165) {
            EXPECT_GE(r.top(), client) << t.id;
        } else {
            EXPECT_LE(r.bottom(), client - 1) << t.id;
        }
    }

    click(IDC_EXPERT_TOGGLE);
    EXPECT_EQ(dialog->frameGeometry(), full);
    EXPECT_EQ(dialog->size(), created.size());
    EXPECT_EQ(toggle->text(), QStringLiteral("Close expert settings..."));
    click(IDC_EXPERT_TOGGLE);
    EXPECT_EQ(dialog->frameGeometry(), folded);
    EXPECT_EQ(toggle->text(), QStringLiteral("Open expert settings..."));
    click(IDC_EXPERT_TOGGLE);
    EXPECT_EQ(dialog->frameGeometry(), full);
}

TEST_F(QtHost, MovingTheDialogThenUnfoldingKeepsItsNewTopLeft) {
    open();
    dialog->move(40, 50);
    QApplication::processEvents();
    const QRect moved = dialog->frameGeometry();
    click(IDC_EXPERT_TOGGLE);
    EXPECT_EQ(dialog->frameGeometry().topLeft(), moved.topLeft());
    EXPECT_EQ(dialog->frameGeometry().height(), moved.height() + FOLD);
}

TEST_F(QtHost, WindowRectIsTheFrameInScreenPixels) {
    open();
    HostRect r{};
    ASSERT_TRUE(qt_dialog_host_api.get_window_rect(dialog.get(), &r));
    const QRect f = dialog->frameGeometry();
    EXPECT_EQ(r.left, f.x());
    EXPECT_EQ(r.top, f.y());
    EXPECT_EQ(r.right - r.left, f.width());
    EXPECT_EQ(r.bottom - r.top, f.height());
    EXPECT_FALSE(qt_dialog_host_api.get_window_rect(nullptr, &r));

    qt_dialog_host_api.set_window_pos(dialog.get(), 10, 20, f.width(), f.height() + 7);
    EXPECT_EQ(dialog->frameGeometry(), QRect(10, 20, f.width(), f.height() + 7));
}

// ---------------------------------------------------------------- commands

TEST_F(QtHost, ClicksDeliverOneCommandWithTheBoxAlreadyFlipped) {
    forward_to_controller = false;
    open();
    for (const TemplateControl& t : template_controls) {
        auto* b = qobject_cast<QAbstractButton*>(control(t.id));
        if (!b || !b->isEnabled()) continue;
        SCOPED_TRACE(t.id);
        const bool before = b->isChecked();
        delivered.clear();
        click(t.id);
        const auto got = commands();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].id, t.id);
        EXPECT_EQ(got[0].code, CODE_CLICKED);
        if (b->isCheckable()) {
            EXPECT_EQ(got[0].check, before ? BST_UNCHECKED : BST_CHECKED);
        } else {
            EXPECT_EQ(got[0].check, 0u);
        }
    }
}

TEST_F(QtHost, TheDisabledVoiceChatBoxSendsNothingAndShowsTheField) {
    open();
    settings.voice_chat = 1;
    sync_controls_from_settings();
    auto* voice = control_as<QCheckBox>(IDC_VOICE_CHAT);
    EXPECT_TRUE(voice->isChecked());
    EXPECT_FALSE(voice->isEnabled());
    delivered.clear();
    click(IDC_VOICE_CHAT);
    EXPECT_TRUE(commands().empty());
    EXPECT_TRUE(voice->isChecked());
    EXPECT_FALSE(voice->isEnabled());
}

TEST_F(QtHost, ChoosingFromAListSendsSelChangeOnlyForThePlayer) {
    forward_to_controller = false;
    open();
    HostWindow refresh = handle(IDC_REFRESH);
    qt_dialog_host_api.list_reset(refresh);
    for (const char* t : {"Default", "60 Hz", "75 Hz"}) qt_dialog_host_api.list_append(refresh, t);
    qt_dialog_host_api.list_set_selection(refresh, 0);
    EXPECT_TRUE(commands().empty());

    auto* combo = control_as<QComboBox>(IDC_REFRESH);
    delivered.clear();
    QTest::keyClick(combo, Qt::Key_Down);
    auto got = commands();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, IDC_REFRESH);
    EXPECT_EQ(got[0].code, static_cast<uint32_t>(CBN_SELCHANGE));
    EXPECT_EQ(got[0].selection, 1);

    // Through the dropped list: it opens and closes with notifications and
    // the chosen entry arrives as a selection change.
    delivered.clear();
    combo->showPopup();
    QApplication::processEvents();
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(view->isVisible());
    const QRect item = view->visualRect(combo->model()->index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    QApplication::processEvents();
    got = commands();
    std::vector<uint32_t> codes;
    for (const auto& d : got) codes.push_back(d.code);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(codes.front(), CODE_DROPDOWN);
    EXPECT_NE(std::find(codes.begin(), codes.end(), CODE_CLOSEUP), codes.end());
    bool selchange = false;
    for (const auto& d : got)
        if (d.code == static_cast<uint32_t>(CBN_SELCHANGE)) {
            selchange = true;
            EXPECT_EQ(d.selection, 2);
        }
    EXPECT_TRUE(selchange);
}

TEST_F(QtHost, TheSpeakerBoxReportsFocusComingAndGoing) {
    forward_to_controller = false;
    open();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    control(IDOK)->setFocus(Qt::MouseFocusReason);
    delivered.clear();
    control(IDC_SPEAKERS)->setFocus(Qt::MouseFocusReason);
    control(IDC_AUTODETECT)->setFocus(Qt::TabFocusReason);
    std::vector<std::pair<int32_t, uint32_t>> got;
    for (const auto& d : commands()) got.emplace_back(d.id, d.code);
    const std::vector<std::pair<int32_t, uint32_t>> expected = {{IDC_SPEAKERS, CODE_SETFOCUS},
                                                                {IDC_SPEAKERS, CODE_KILLFOCUS}};
    EXPECT_EQ(got, expected);
}

TEST_F(QtHost, ProgrammaticChangesSendNoCommand) {
    open();
    delivered.clear();

    // The controller's own refill, then every host operation on every control.
    sync_controls_from_settings();
    for (const TemplateControl& t : template_controls) {
        HostWindow h = handle(t.id);
        for (uint32_t state : {BST_CHECKED, BST_UNCHECKED, BST_CHECKED}) qt_dialog_host_api.set_check(dialog.get(), t.id, state);
        qt_dialog_host_api.enable(h, false);
        qt_dialog_host_api.enable(h, true);
        qt_dialog_host_api.set_text(h, "text");
        if (is_class(t, "COMBOBOX")) {
            qt_dialog_host_api.list_reset(h);
            qt_dialog_host_api.list_append(h, "b");
            qt_dialog_host_api.list_add_sorted(h, "a");
            qt_dialog_host_api.list_set_data(h, 0, 42);
            qt_dialog_host_api.list_set_selection(h, 1);
            qt_dialog_host_api.list_set_selection(h, -1);
            qt_dialog_host_api.list_set_selection(h, 0);
        }
    }
    qt_dialog_host_api.set_text(dialog.get(), "Velmora");
    HostRect r{};
    qt_dialog_host_api.get_window_rect(dialog.get(), &r);
    qt_dialog_host_api.set_window_pos(dialog.get(), r.left, r.top, r.right - r.left, r.bottom - r.top + FOLD);
    QApplication::processEvents();
    EXPECT_TRUE(commands().empty());
}

TEST_F(QtHost, CommandsArisingWhileTheProcedureRunsAreNotDelivered) {
    forward_to_controller = false;
    open();
    auto* speakers = control_as<QComboBox>(IDC_SPEAKERS);
    // While "Autodetect" is handled, focus leaves the speaker box, a list
    // drops and a button gets clicked: none of it reaches the procedure.
    on_delivery = [&](const Delivered& d) {
        if (d.id != IDC_AUTODETECT) return;
        speakers->setFocus();
        qt_dialog_host_api.enable(speakers, false);
        control_as<QComboBox>(IDC_REFRESH)->showPopup();
        control_as<QComboBox>(IDC_REFRESH)->hidePopup();
        control_as<QPushButton>(IDC_VSYNC)->click();
        QApplication::processEvents();
    };
    delivered.clear();
    click(IDC_AUTODETECT);
    on_delivery = nullptr;
    const auto got = commands();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, IDC_AUTODETECT);
}

TEST_F(QtHost, IdsWithoutAControlReadUncheckedAndIgnoreChanges) {
    open();
    for (int32_t id : {IDC_OPTION_1011, IDC_OPTION_1028, 4242}) {
        EXPECT_EQ(qt_dialog_host_api.get_item(dialog.get(), id), nullptr);
        qt_dialog_host_api.set_check(dialog.get(), id, BST_CHECKED);
        EXPECT_EQ(qt_dialog_host_api.get_check(dialog.get(), id), 0u);
    }
    // A push button has no check state.
    qt_dialog_host_api.set_check(dialog.get(), IDOK, BST_CHECKED);
    EXPECT_EQ(qt_dialog_host_api.get_check(dialog.get(), IDOK), 0u);
    EXPECT_EQ(qt_dialog_host_api.get_item(nullptr, IDOK), nullptr);
}

// ---------------------------------------------------------------- lists

struct SortedCase {
    const char* text;
    int32_t position;  // where it lands, counting the entries before it
};

TEST_F(QtHost, TheResolutionListKeepsTheSortedOrderAndItsSelection) {
    open(false);
    HostWindow list = handle(IDC_RESOLUTION);
    qt_dialog_host_api.list_reset(list);
    const SortedCase cases[] = {
        {"1024 x  768", 0}, {" 800 x  600", 0}, {"1600 x 1200", 2}, {" 640 x  480", 0},
        {"1152 x  864", 3}, {"abc", 5},         {"ABD", 6},         {"Abc", 6},  // case ignored; equal goes after
        {"   1 x    1", 0}, {"2 x 2", 6},
    };
    for (const auto& c : cases) {
        const int32_t at = qt_dialog_host_api.list_add_sorted(list, c.text);
        EXPECT_EQ(at, c.position) << c.text;
        qt_dialog_host_api.list_set_data(list, at, static_cast<intptr_t>(std::strlen(c.text) * 1000 + at));
        EXPECT_EQ(qt_dialog_host_api.list_get_selection(list), CB_ERR) << "adding selects nothing";
    }
    auto* combo = control_as<QComboBox>(IDC_RESOLUTION);
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    EXPECT_EQ(texts, QStringList({"   1 x    1", " 640 x  480", " 800 x  600", "1024 x  768", "1152 x  864",
                                  "1600 x 1200", "2 x 2", "abc", "Abc", "ABD"}));

    // The selection stays on its entry when one is inserted before it.
    qt_dialog_host_api.list_set_selection(list, 3);
    ASSERT_EQ(combo->currentText(), QStringLiteral("1024 x  768"));
    EXPECT_EQ(qt_dialog_host_api.list_add_sorted(list, " 320 x  240"), 1);
    EXPECT_EQ(qt_dialog_host_api.list_get_selection(list), 4);
    EXPECT_EQ(combo->currentText(), QStringLiteral("1024 x  768"));
    EXPECT_EQ(qt_dialog_host_api.list_add_sorted(list, "1280 x  960"), 6);
    EXPECT_EQ(qt_dialog_host_api.list_get_selection(list), 4);
    EXPECT_EQ(qt_dialog_host_api.list_count(list), 12);
    // Data travel with their entries.
    EXPECT_EQ(qt_dialog_host_api.list_get_data(list, 4), static_cast<intptr_t>(11 * 1000 + 0));

    // Inserting at -1 (list_append) does not sort.
    EXPECT_EQ(qt_dialog_host_api.list_append(list, " 000"), 12);
    EXPECT_EQ(combo->itemText(12), QStringLiteral(" 000"));
    EXPECT_TRUE(commands().empty());
}

TEST_F(QtHost, UnsortedListsAppendAndSelectNothingUntilTold) {
    open(false);
    for (int32_t id : {IDC_ADAPTER, IDC_REFRESH, IDC_BIT_DEPTH, IDC_ANTIALIAS, IDC_SPEAKERS, IDC_RESOLUTION}) {
        SCOPED_TRACE(id);
        HostWindow list = handle(id);
        qt_dialog_host_api.list_reset(list);
        EXPECT_EQ(qt_dialog_host_api.list_count(list), 0);
        EXPECT_EQ(qt_dialog_host_api.list_get_selection(list), CB_ERR);
        EXPECT_EQ(qt_dialog_host_api.list_append(list, "b"), 0);
        EXPECT_EQ(qt_dialog_host_api.list_get_selection(list), CB_ERR);
        if (id != IDC_RESOLUTION) {
            EXPECT_EQ(qt_dialog_host_api.list_add_sorted(list, "a"), 1);
        }
        EXPECT_EQ(qt_dialog_host_api.list_get_data(list, 0), 0);  // no data set: 0
        EXPECT_EQ(qt_dialog_host_api.list_get_data(list, 9), CB_ERR);
        EXPECT_EQ(qt_dialog_host_api.list_get_data(list, -1), CB_ERR);
        qt_dialog_host_api.list_set_data(list, 0, -5);
        EXPECT_EQ(qt_dialog_host_api.list_get_data(list, 0), -5);
        qt_dialog_host_api.list_set_selection(list, 0);
        EXPECT_EQ(qt_dialog_host_api.list_get_selection(list), 0);
        qt_dialog_host_api.list_set_selection(list, 7);
        EXPECT_EQ(qt_dialog_host_api.list_get_selection(list), CB_ERR);
        qt_dialog_host_api.list_reset(list);
        EXPECT_EQ(qt_dialog_host_api.list_count(list), 0);
    }
    // Not a list: every list operation fails.
    HostWindow button = handle(IDOK);
    EXPECT_EQ(qt_dialog_host_api.list_append(button, "x"), CB_ERR);
    EXPECT_EQ(qt_dialog_host_api.list_get_selection(button), CB_ERR);
    EXPECT_EQ(qt_dialog_host_api.list_get_data(button, 0), CB_ERR);
}

TEST_F(QtHost, TypingInTheSpeakerBoxLeavesNoSelectedEntryUnlessItNamesOne) {
    forward_to_controller = false;
    open();
    HostWindow list = handle(IDC_SPEAKERS);
    qt_dialog_host_api.list_reset(list);
    for (uint32_t id = 30; id <= 34; ++id) qt_dialog_host_api.list_append(list, find_template_string(id));
    qt_dialog_host_api.list_set_selection(list, 4);
    auto* combo = control_as<QComboBox>(IDC_SPEAKERS);
    QLineEdit* field = combo->lineEdit();

    delivered.clear();
    field->selectAll();
    QTest::keyClicks(field, "Mono");
    EXPECT_EQ(field->text(), QStringLiteral("Mono"));
    std::vector<Delivered> typing;
    for (const auto& d : commands())
        if (d.code == CODE_EDITCHANGE) typing.push_back(d);
    ASSERT_EQ(typing.size(), 4u);
    for (const auto& d : typing) {
        EXPECT_EQ(d.id, IDC_SPEAKERS);
        EXPECT_EQ(d.selection, CB_ERR);
    }
    EXPECT_EQ(qt_dialog_host_api.list_get_selection(list), CB_ERR);
    EXPECT_EQ(combo->count(), 5);  // nothing typed becomes an entry

    field->selectAll();
    QTest::keyClicks(field, "stereo speakers");
    EXPECT_EQ(qt_dialog_host_api.list_get_selection(list), 1);
    EXPECT_EQ(field->text(), QStringLiteral("stereo speakers"));  // as typed
    QTest::keyClick(field, Qt::Key_X);
    EXPECT_EQ(qt_dialog_host_api.list_get_selection(list), CB_ERR);

    // Selecting again, by the program, ends the typed state.
    qt_dialog_host_api.list_set_selection(list, 2);
    EXPECT_EQ(qt_dialog_host_api.list_get_selection(list), 2);
    EXPECT_EQ(field->text(), QStringLiteral("Quadraphonic speakers"));
}

TEST_F(QtHost, TypingInTheSpeakerBoxKeepsARecordTheGameCanRead) {
    open();
    auto* combo = control_as<QComboBox>(IDC_SPEAKERS);
    ASSERT_TRUE(combo->isEnabled());
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), "7.1 speakers");
    EXPECT_LE(settings.speaker_config, 4);
}

// ---------------------------------------------------------------- keys and ends

TEST_F(QtHost, EscTheCloseBoxAndEnterGoToTheProcedure) {
    forward_to_controller = false;
    open();
    control(IDC_EXPERT_TOGGLE)->setFocus();
    control(IDOK)->setFocus();  // the default button, as when no other push button has the focus

    delivered.clear();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    auto got = commands();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, IDCANCEL);
    EXPECT_EQ(got[0].code, CODE_CLICKED);
    EXPECT_TRUE(dialog->isVisible()) << "the procedure decides whether Exit closes";

    delivered.clear();
    EXPECT_FALSE(dialog->close());
    got = commands();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, IDCANCEL);
    EXPECT_TRUE(dialog->isVisible());

    delivered.clear();
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    got = commands();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, IDOK);

    // Enter on a focused toggle button still means "Save and exit".
    control(IDC_VSYNC)->setFocus();
    delivered.clear();
    QTest::keyClick(control(IDC_VSYNC), Qt::Key_Return);
    got = commands();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].id, IDOK);
}

TEST_F(QtHost, EndDialogTakesEffectOnceTheProcedureHasReturned) {
    forward_to_controller = false;
    open();
    bool visible_inside = false;
    on_delivery = [&](const Delivered& d) {
        if (d.id != IDCANCEL) return;
        qt_dialog_host_api.end_dialog(dialog.get(), -1);
        visible_inside = dialog->isVisible();
        QApplication::processEvents();
        visible_inside = visible_inside && dialog->isVisible();
    };
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    on_delivery = nullptr;
    EXPECT_TRUE(visible_inside);
    EXPECT_FALSE(dialog->isVisible());
    intptr_t result = 0;
    ASSERT_TRUE(qt_dialog_ended(dialog.get(), &result));
    EXPECT_EQ(result, -1);

    // Nothing more reaches the procedure once the dialog has ended.
    delivered.clear();
    control_as<QPushButton>(IDC_AUTODETECT)->click();
    EXPECT_TRUE(commands().empty());
}

struct BoxCase {
    uint32_t type;
    QMessageBox::StandardButton press;  // NoButton: Esc
    int32_t answer;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

TEST_F(QtHost, MessageBoxesShowTheirTextsAndReturnTheAnswer) {
    open();
    const BoxCase cases[] = {
        {MB_YESNO | MB_ICONWARNING, QMessageBox::No, IDNO, QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No},
        {MB_YESNO | MB_ICONWARNING, QMessageBox::Yes, IDYES, QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No},
        {MB_YESNO | MB_ICONWARNING, QMessageBox::NoButton, IDNO, QMessageBox::Warning,
         QMessageBox::Yes | QMessageBox::No},
        {MB_OK, QMessageBox::Ok, IDOK, QMessageBox::NoIcon, QMessageBox::Ok},
        {MB_OK, QMessageBox::NoButton, IDOK, QMessageBox::NoIcon, QMessageBox::Ok},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.type);
        bool seen = false;
        when_message_box([&](QMessageBox* box) {
            seen = true;
            EXPECT_EQ(box->windowTitle(), QStringLiteral("WARNING..."));
            EXPECT_EQ(box->text(), QStringLiteral("Discard changes ?!"));
            EXPECT_EQ(box->icon(), c.icon);
            EXPECT_EQ(box->standardButtons(), c.buttons);
            EXPECT_EQ(box->parentWidget(), dialog.get());
            if (c.press == QMessageBox::NoButton)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                QTest::mouseClick(box->button(c.press), Qt::LeftButton);
        });
        const int32_t answer = qt_dialog_host_api.message_box(dialog.get(), "Discard changes ?!", "WARNING...", c.type);
        EXPECT_TRUE(seen);
        EXPECT_EQ(answer, c.answer);
    }
}

TEST_F(QtHost, LoadStringIsBoundedAndAlwaysTerminated) {
    char buffer[TEXT_BUFFER_SIZE];
    for (const TemplateString& s : template_strings) {
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(qt_dialog_host_api.load_string(s.id, buffer, TEXT_BUFFER_SIZE), static_cast<int32_t>(std::strlen(s.text)));
        EXPECT_STREQ(buffer, s.text);
    }
    struct Case {
        uint32_t id;
        int32_t size;
        const char* expect;  // null: buffer untouched
        int32_t count;
    };
    const Case cases[] = {
        {1, 5, "Disp", 4}, {1, 1, "", 0},  {1, 0, nullptr, 0},  {19, 64, "", 0},
        {39, 64, "", 0},   {0, 64, "", 0}, {7, 3, "  ", 2},     {21, 64, "Hardware Transform&&Lighting", 28},
    };
    for (const Case& c : cases) {
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(qt_dialog_host_api.load_string(c.id, buffer, c.size), c.count) << c.id << "/" << c.size;
        if (c.expect) {
            EXPECT_STREQ(buffer, c.expect);
        } else {
            EXPECT_EQ(buffer[0], 'x');
        }
    }
}

// ---------------------------------------------------------------- the record

class QtHostWithFile : public QtHost {
protected:
    void SetUp() override {
        QtHost::SetUp();
        char pattern[] = "/tmp/qt-host-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        config = pattern;
        const char* old = std::getenv("XDG_CONFIG_HOME");
        had_old = old != nullptr;
        if (old) old_config = old;
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        platform.registry = &file_registry_api;
    }
    void TearDown() override {
        QtHost::TearDown();
        if (had_old)
            setenv("XDG_CONFIG_HOME", old_config.c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(config);
    }
    std::vector<uint8_t> stored_file() {
        std::ifstream in(fs::path(config) / "Brannick" / "Velmora" / "Orvex_setup", std::ios::binary);
        if (!in) return {};
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string config;
    std::string old_config;
    bool had_old = false;
};

TEST_F(QtHostWithFile, ClicksOnTheWidgetsReachTheRecordAndSaveAndExitStoresIt) {
    open();
    // The first start ran the autodetect profile, which turns full screen on.
    ASSERT_EQ(settings.fullscreen, 1);
    ASSERT_TRUE(control(IDC_VSYNC)->isEnabled());

    const uint8_t vsync = settings.vsync;
    click(IDC_VSYNC);
    EXPECT_EQ(settings.vsync, vsync ? 0 : 1);
    EXPECT_EQ(control_as<QPushButton>(IDC_VSYNC)->isChecked(), settings.vsync == 1);

    click(IDC_FULLSCREEN);
    EXPECT_EQ(settings.fullscreen, 0);
    EXPECT_FALSE(control(IDC_VSYNC)->isEnabled());
    EXPECT_FALSE(control(IDC_REFRESH)->isEnabled());
    click(IDC_FULLSCREEN);
    EXPECT_EQ(settings.fullscreen, 1);
    EXPECT_TRUE(control(IDC_VSYNC)->isEnabled());

    click(IDC_TEX_TRUE_COLOR);
    EXPECT_EQ(settings.true_color_textures, 1);
    EXPECT_EQ(settings.compressed_textures, 0);
    EXPECT_FALSE(control_as<QPushButton>(IDC_TEX_COMPRESSED)->isChecked());

    click(IDC_EXPERT_TOGGLE);
    if (!control_as<QPushButton>(IDC_HW_TNL)->isChecked()) click(IDC_HW_TNL);
    ASSERT_EQ(settings.hardware_tnl, 1);
    click(IDC_MULTIPASS);
    EXPECT_EQ(settings.multipass_rendering, 1);
    EXPECT_EQ(settings.hardware_tnl, 0);
    EXPECT_FALSE(control_as<QPushButton>(IDC_HW_TNL)->isChecked());

    click(IDC_SOUND);
    EXPECT_EQ(settings.sound_disabled, 1);
    EXPECT_FALSE(control(IDC_SPEAKERS)->isEnabled());

    // A resolution chosen by the keyboard.
    auto* resolution = control_as<QComboBox>(IDC_RESOLUTION);
    ASSERT_GE(resolution->count(), 2);
    resolution->setCurrentIndex(0);  // no signal the host listens to
    QTest::keyClick(resolution, Qt::Key_Down);
    int w = 0, h = 0;
    ASSERT_EQ(std::sscanf(resolution->currentText().toLatin1().constData(), "%d x %d", &w, &h), 2);
    EXPECT_EQ(static_cast<int32_t>(settings.width), w);
    EXPECT_EQ(static_cast<int32_t>(settings.height), h);

    const std::vector<uint8_t> shown(raw_bytes(&settings), raw_bytes(&settings) + SETTINGS_SIZE);
    click(IDOK);
    intptr_t result = -5;
    ASSERT_TRUE(qt_dialog_ended(dialog.get(), &result));
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(stored_file(), shown);
}

TEST_F(QtHostWithFile, ExitWithChangesAsksAndNoKeepsTheDialogOpen) {
    open();
    when_message_box([](QMessageBox* box) {
        EXPECT_EQ(box->text(), QStringLiteral("Discard changes ?!"));
        QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
    });
    click(IDCANCEL);
    EXPECT_FALSE(qt_dialog_ended(dialog.get()));
    EXPECT_TRUE(dialog->isVisible());

    when_message_box([](QMessageBox* box) { QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton); });
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    intptr_t result = 0;
    ASSERT_TRUE(qt_dialog_ended(dialog.get(), &result));
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(stored_file().empty());
}

TEST_F(QtHost, AFatalErrorWhileInitialisingEndsTheRunWithoutAModalLoop) {
    qt_dialog_procedure = setup_dialog_proc;
    fake_machine().d3d.create_fails = true;
    bool seen = false;
    when_message_box([&](QMessageBox* box) {
        seen = true;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Setup error"));
        EXPECT_EQ(box->text(), QStringLiteral("DirectX : Display devices could not be enumerated."));
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    });
    EXPECT_EQ(qt_run_dialog(), 0);
    EXPECT_TRUE(seen);
    EXPECT_EQ(qt_running_dialog(), nullptr);
}

}  // namespace

// The portable voice test object: SDL's audio devices decide the query, a Qt
// dialog is the interactive step, driven here with timers in offscreen Qt.
#include <SDL.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <string>

#include "dialog/voice_check.h"
#include "fakes.h"
#include "portable_backends.h"
#include "voice_portable.h"

namespace {

const VoiceTestApi& api = portable_voice_api;

// Picks SDL's audio driver for the test's span, then puts the old one back.
struct AudioDriver {
    std::string old;
    bool had = false;
    explicit AudioDriver(const char* name) {
        if (const char* v = std::getenv("SDL_AUDIODRIVER")) {
            old = v;
            had = true;
        }
        if (name) setenv("SDL_AUDIODRIVER", name, 1);
        else unsetenv("SDL_AUDIODRIVER");
    }
    ~AudioDriver() {
        if (had) setenv("SDL_AUDIODRIVER", old.c_str(), 1);
        else unsetenv("SDL_AUDIODRIVER");
    }
};

struct Voice {
    VoiceTestObject* object = nullptr;
    long created = api.create(&CLSID_DirectPlayVoiceTest, &IID_IDirectPlayVoiceTest, &object);
    ~Voice() {
        if (object) api.release(object);
    }
    long check(uint32_t flags) const {
        return api.check_audio_setup(object, &DSDEVID_DefaultVoicePlayback, &DSDEVID_DefaultVoiceCapture, nullptr, flags);
    }
};

QMessageBox* open_box() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
    return nullptr;
}

// Runs `act` on the voice dialog once it is shown (polling, so it works
// whenever the nested loop starts); stops watching when it goes out of scope,
// so no later test's dialog is touched.
struct BoxWatcher {
    QTimer timer;
    bool seen = false;
    explicit BoxWatcher(std::function<void(QMessageBox*)> act) {
        QObject::connect(&timer, &QTimer::timeout, [this, act] {
            QMessageBox* box = open_box();
            if (!box) return;
            timer.stop();
            seen = true;
            act(box);
        });
        timer.start(10);
    }
};

void press(QMessageBox* box, QMessageBox::StandardButton which) {
    QAbstractButton* button = box->button(which);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
}

TEST(VoicePortable, QueryNeedsAPlaybackAndACaptureDevice) {
    struct Case {
        int playback, capture;
        long result;
    };
    const Case cases[] = {
        {1, 1, 0}, {3, 2, 0}, {0, 1, DVERR_RUNSETUP}, {1, 0, DVERR_RUNSETUP}, {0, 0, DVERR_RUNSETUP},
    };
    for (const auto& c : cases)
        EXPECT_EQ(voice_query_result(c.playback, c.capture), c.result) << c.playback << "/" << c.capture;
}

TEST(VoicePortable, OnlyTheVoiceTestClassIsMade) {
    AudioDriver driver("dummy");
    VoiceTestObject* object = reinterpret_cast<VoiceTestObject*>(&driver);
    EXPECT_LT(api.create(&IID_IDirectPlayVoiceTest, &IID_IDirectPlayVoiceTest, &object), 0);
    EXPECT_EQ(object, nullptr);
    EXPECT_LT(api.create(&CLSID_DirectPlayVoiceTest, &CLSID_DirectPlayVoiceTest, &object), 0);
    EXPECT_LT(api.create(nullptr, &IID_IDirectPlayVoiceTest, &object), 0);
    EXPECT_LT(api.create(&CLSID_DirectPlayVoiceTest, &IID_IDirectPlayVoiceTest, nullptr), 0);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST(VoicePortable, NoAudioSystemMeansNoObject) {
    AudioDriver driver("no-such-driver");
    VoiceTestObject* object = nullptr;
    EXPECT_LT(api.create(&CLSID_DirectPlayVoiceTest, &IID_IDirectPlayVoiceTest, &object), 0);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);

    reset_fakes();
    platform.voice = &portable_voice_api;
    EXPECT_FALSE(run_voice_audio_check());
    reset_fakes();
}

TEST(VoicePortable, DeviceCountsAreSdlsAndReleaseEndsAudio) {
    ASSERT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    for (const char* name : {"dummy", "disk"}) {
        AudioDriver driver(name);
        {
            Voice voice;
            ASSERT_GE(voice.created, 0) << name;
            ASSERT_NE(voice.object, nullptr);
            EXPECT_STREQ(SDL_GetCurrentAudioDriver(), name);
            const int playback = SDL_GetNumAudioDevices(0);
            const int capture = SDL_GetNumAudioDevices(1);
            EXPECT_EQ(voice_device_count(false), playback) << name;
            EXPECT_EQ(voice_device_count(true), capture) << name;
            EXPECT_EQ(voice.check(DVFLAGS_QUERYONLY), voice_query_result(playback, capture)) << name;
            EXPECT_EQ(voice.check(DVFLAGS_QUERYONLY), 0) << name << " offers a default device each way";
        }
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << name;
    }
}

TEST(VoicePortable, QueryOnTheMachinesOwnAudio) {
    AudioDriver driver(nullptr);
    Voice voice;
    if (voice.created < 0) {
        // No audio system at all: the object cannot exist.
        EXPECT_EQ(voice.object, nullptr);
        return;
    }
    const int playback = SDL_GetNumAudioDevices(0);
    const int capture = SDL_GetNumAudioDevices(1);
    if (playback >= 0 && capture >= 0)
        EXPECT_EQ(voice.check(DVFLAGS_QUERYONLY), voice_query_result(playback, capture))
            << SDL_GetCurrentAudioDriver() << " " << playback << "/" << capture;
    else
        EXPECT_EQ(voice.check(DVFLAGS_QUERYONLY),
                  voice_query_result(voice_device_count(false), voice_device_count(true)));
}

TEST(VoicePortable, OnlyTheDefaultDevicesAreKnown) {
    AudioDriver driver("dummy");
    Voice voice;
    ASSERT_NE(voice.object, nullptr);
    const Guid other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_LT(api.check_audio_setup(voice.object, &other, &DSDEVID_DefaultVoiceCapture, nullptr, DVFLAGS_QUERYONLY), 0);
    EXPECT_LT(api.check_audio_setup(voice.object, &DSDEVID_DefaultVoicePlayback, &other, nullptr, DVFLAGS_QUERYONLY), 0);
    EXPECT_EQ(api.check_audio_setup(voice.object, nullptr, nullptr, nullptr, DVFLAGS_QUERYONLY), 0);
    EXPECT_LT(api.check_audio_setup(nullptr, nullptr, nullptr, nullptr, DVFLAGS_QUERYONLY), 0);
}

struct WizardCase {
    const char* what;
    QMessageBox::StandardButton press;  // NoButton: Escape
    long result;
};

TEST(VoicePortable, WizardReportsHowThePlayerLeftIt) {
    AudioDriver driver("dummy");
    const WizardCase cases[] = {
        {"OK", QMessageBox::Ok, 0},
        {"Cancel", QMessageBox::Cancel, DVERR_USERCANCEL},
        {"Escape", QMessageBox::NoButton, DVERR_USERCANCEL},
    };
    for (const auto& c : cases) {
        Voice voice;
        ASSERT_NE(voice.object, nullptr);
        QString text;
        BoxWatcher watcher([&](QMessageBox* box) {
            text = box->text();
            if (c.press == QMessageBox::NoButton) QTest::keyClick(box, Qt::Key_Escape);
            else press(box, c.press);
        });
        EXPECT_EQ(voice.check(DVFLAGS_ALLOWBACK), c.result) << c.what;
        EXPECT_TRUE(watcher.seen) << c.what;
        EXPECT_FALSE(voice_wizard_open());
        // The dialog names the devices it found.
        EXPECT_TRUE(text.contains(QString::fromUtf8(SDL_GetAudioDeviceName(0, 0)))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromUtf8(SDL_GetAudioDeviceName(0, 1)))) << text.toStdString();
    }
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST(VoicePortable, ASecondWizardWhileOneIsOpenIsPending) {
    AudioDriver driver("dummy");
    Voice first;
    Voice second;
    ASSERT_NE(first.object, nullptr);
    ASSERT_NE(second.object, nullptr);
    long inner = 0;
    BoxWatcher watcher([&](QMessageBox* box) {
        inner = second.check(DVFLAGS_ALLOWBACK);
        press(box, QMessageBox::Ok);
    });
    EXPECT_EQ(first.check(DVFLAGS_ALLOWBACK), 0);
    EXPECT_TRUE(watcher.seen);
    EXPECT_EQ(inner, DVERR_ALREADYPENDING);
}

TEST(VoicePortable, TheCheckOnTopKeepsVoiceOnWithDevices) {
    AudioDriver driver("dummy");
    reset_fakes();
    platform.voice = &portable_voice_api;
    BoxWatcher watcher([](QMessageBox* box) { box->reject(); });
    EXPECT_TRUE(run_voice_audio_check());
    QTest::qWait(50);
    EXPECT_FALSE(watcher.seen) << "a set-up machine needs no dialog";
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    reset_fakes();
}

// The machine's own audio system: the dialog appears exactly when a device is
// missing, says which, and cancelling it turns voice chat off.
TEST(VoicePortable, TheCheckOnTopAsksWhenADeviceIsMissing) {
    AudioDriver driver(nullptr);
    reset_fakes();
    platform.voice = &portable_voice_api;
    int playback = 0, capture = 0;
    long created = 0;
    {
        Voice voice;
        created = voice.created;
        if (voice.object) {
            playback = voice_device_count(false);
            capture = voice_device_count(true);
        }
    }
    if (created < 0) {
        EXPECT_FALSE(run_voice_audio_check());
        reset_fakes();
        return;
    }
    QString text;
    BoxWatcher watcher([&](QMessageBox* box) {
        text = box->text();
        press(box, QMessageBox::Cancel);
    });
    const bool kept = run_voice_audio_check();
    if (voice_query_result(playback, capture) == 0) {
        EXPECT_TRUE(kept);
        EXPECT_FALSE(watcher.seen);
    } else {
        EXPECT_FALSE(kept);
        EXPECT_TRUE(watcher.seen);
        EXPECT_EQ(text.contains(QStringLiteral("No playback device was found.")), playback == 0) << text.toStdString();
        EXPECT_EQ(text.contains(QStringLiteral("No recording device was found.")), capture == 0) << text.toStdString();
    }
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    reset_fakes();
}

}  // namespace

// The voice test object's two-step contract on SDL audio and Qt: the query
// step reports whether a playback and a capture device exist, the interactive
// step shows them in a small dialog the player confirms or cancels.
#include <SDL.h>

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <cstring>
#include <new>

#include "dialog/voice_check.h"
#include "portable_backends.h"
#include "voice_portable.h"

struct VoiceTestObject {
    int unused;
};

namespace {

constexpr long DV_OK_ = 0;
constexpr long E_FAIL_ = static_cast<long>(static_cast<int32_t>(0x80004005u));
constexpr long E_POINTER_ = static_cast<long>(static_cast<int32_t>(0x80004003u));
constexpr long E_NOINTERFACE_ = static_cast<long>(static_cast<int32_t>(0x80004002u));
constexpr long E_INVALIDARG_ = static_cast<long>(static_cast<int32_t>(0x80070057u));
constexpr long E_OUTOFMEMORY_ = static_cast<long>(static_cast<int32_t>(0x8007000Eu));
constexpr long REGDB_E_CLASSNOTREG_ = static_cast<long>(static_cast<int32_t>(0x80040154u));

bool wizard_open = false;

bool same_guid(const Guid* a, const Guid& b) { return a && std::memcmp(a, &b, sizeof b) == 0; }

// The default devices are the only ones this object speaks for (null means
// the default too).
bool known_device(const Guid* device, const Guid& default_device) { return !device || same_guid(device, default_device); }

bool default_device_opens(bool capture) {
    SDL_AudioSpec wanted = {};
    wanted.freq = 22050;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 1;
    wanted.samples = 1024;
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, capture ? 1 : 0, &wanted, nullptr, 0);
    if (id == 0) return false;
    SDL_CloseAudioDevice(id);
    return true;
}

QString device_lines(bool capture) {
    const int listed = SDL_GetNumAudioDevices(capture ? 1 : 0);
    QString lines;
    if (listed < 0) {
        if (default_device_opens(capture)) lines = QStringLiteral("    the system's default device\n");
        return lines;
    }
    for (int i = 0; i < listed; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, capture ? 1 : 0);
        lines += QStringLiteral("    ") + QString::fromUtf8(name ? name : "(unnamed device)") + QLatin1Char('\n');
    }
    return lines;
}

// What was found and what was not; "these devices" only when there are both.
QString wizard_text(bool* both_found) {
    const QString playback = device_lines(false);
    const QString capture = device_lines(true);
    *both_found = !playback.isEmpty() && !capture.isEmpty();
    QString text = QStringLiteral("Voice chat plays through the default playback device and records through the "
                                  "default recording device.\n\n");
    text += playback.isEmpty() ? QStringLiteral("No playback device was found.\n")
                               : QStringLiteral("Playback devices found:\n") + playback;
    text += capture.isEmpty() ? QStringLiteral("No recording device was found.\n")
                              : QStringLiteral("Recording devices found:\n") + capture;
    text += *both_found ? QStringLiteral("\nPress OK to use voice chat with these devices, or Cancel to leave it off.")
                        : QStringLiteral("\nVoice chat needs both a playback and a recording device. Press OK to "
                                         "turn it on all the same, or Cancel to leave it off.");
    return text;
}

long run_wizard() {
    if (wizard_open) return DVERR_ALREADYPENDING;
    // The dialog needs a widget application; without one nothing can be asked.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return E_FAIL_;
    wizard_open = true;
    bool both_found = false;
    const QString text = wizard_text(&both_found);
    QMessageBox box(both_found ? QMessageBox::Question : QMessageBox::Warning, QStringLiteral("Voice chat audio setup"),
                    text, QMessageBox::Ok | QMessageBox::Cancel);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    wizard_open = false;
    return answer == QMessageBox::Ok ? DV_OK_ : DVERR_USERCANCEL;
}

long create(const Guid* clsid, const Guid* iid, VoiceTestObject** out) {
    if (!out) return E_POINTER_;
    *out = nullptr;
    if (!same_guid(clsid, CLSID_DirectPlayVoiceTest)) return REGDB_E_CLASSNOTREG_;
    if (!same_guid(iid, IID_IDirectPlayVoiceTest)) return E_NOINTERFACE_;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return E_FAIL_;
    VoiceTestObject* voice = new (std::nothrow) VoiceTestObject{};
    if (!voice) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return E_OUTOFMEMORY_;
    }
    *out = voice;
    return DV_OK_;
}

long check_audio_setup(VoiceTestObject* voice, const Guid* playback, const Guid* capture, HostWindow,
                       uint32_t flags) {
    if (!voice) return E_POINTER_;
    if (!known_device(playback, DSDEVID_DefaultVoicePlayback) || !known_device(capture, DSDEVID_DefaultVoiceCapture))
        return E_INVALIDARG_;
    if (flags & DVFLAGS_QUERYONLY) return voice_query_result(voice_device_count(false), voice_device_count(true));
    // The dialog stands on its own: the caller's window belongs to another
    // toolkit on some hosts.
    return run_wizard();
}

uint32_t release(VoiceTestObject* voice) {
    if (!voice) return 0;
    delete voice;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return 0;
}

}  // namespace

long voice_query_result(int playback_devices, int capture_devices) {
    return playback_devices > 0 && capture_devices > 0 ? DV_OK_ : DVERR_RUNSETUP;
}

int voice_device_count(bool capture) {
    const int listed = SDL_GetNumAudioDevices(capture ? 1 : 0);
    if (listed >= 0) return listed;
    return default_device_opens(capture) ? 1 : 0;
}

bool voice_wizard_open() { return wizard_open; }

const VoiceTestApi portable_voice_api = {.create = create, .check_audio_setup = check_audio_setup, .release = release};

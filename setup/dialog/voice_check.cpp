#include "dialog/voice_check.h"

#include "app/state.h"
#include "platform/winapi_values.h"
#include "res/resource.h"
#include "settings/settings.h"

const Guid CLSID_DirectPlayVoiceTest = {0x0F0F094B, 0xB01C, 0x4091, {0xA1, 0x4D, 0xDD, 0x0C, 0xD8, 0x07, 0x71, 0x1A}};
const Guid IID_IDirectPlayVoiceTest = {0xD26AF734, 0x208B, 0x41DA, {0x82, 0x24, 0xE0, 0xCE, 0x79, 0x81, 0x0B, 0xE1}};
const Guid DSDEVID_DefaultVoicePlayback = {0xDEF00002, 0x9C6D, 0x47ED, {0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};
const Guid DSDEVID_DefaultVoiceCapture = {0xDEF00003, 0x9C6D, 0x47ED, {0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};

namespace {

// Result codes are 32-bit whatever the width of `long` on the host.
int32_t code_of(long result) { return static_cast<int32_t>(result); }

long check_audio_setup(VoiceTestObject* voice, uint32_t flags) {
    // No parent window: the wizard stands on its own.
    return platform.voice->check_audio_setup(voice, &DSDEVID_DefaultVoicePlayback, &DSDEVID_DefaultVoiceCapture,
                                             nullptr, flags);
}

}  // namespace

bool run_voice_audio_check() {
    VoiceTestObject* voice = nullptr;
    const long created = platform.voice->create(&CLSID_DirectPlayVoiceTest, &IID_IDirectPlayVoiceTest, &voice);
    if (code_of(created) < 0 || !voice) return false;

    const int32_t query = code_of(check_audio_setup(voice, DVFLAGS_QUERYONLY));
    if (query != code_of(DVERR_RUNSETUP)) {
        // Already set up, or an error that says nothing about the setup.
        platform.voice->release(voice);
        return true;
    }

    const int32_t wizard = code_of(check_audio_setup(voice, DVFLAGS_ALLOWBACK));
    platform.voice->release(voice);
    if (wizard >= 0) return true;
    return wizard != code_of(DVERR_USERCANCEL) && wizard != code_of(DVERR_ALREADYPENDING);
}

void voice_chat_command() {
    const bool checked = platform.host->get_check(dialog_window, IDC_VOICE_CHAT) == BST_CHECKED;
    settings.voice_chat = checked ? 1 : 0;
    if (!checked) return;

    const bool keep = run_voice_audio_check();
    settings.voice_chat = keep ? 1 : 0;
    platform.host->set_check(dialog_window, IDC_VOICE_CHAT, keep ? BST_CHECKED : BST_UNCHECKED);
}

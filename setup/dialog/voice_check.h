// The voice-chat audio check.
#pragma once

#include <cstdint>

#include "platform/seams.h"

extern const Guid CLSID_DirectPlayVoiceTest;
extern const Guid IID_IDirectPlayVoiceTest;
extern const Guid DSDEVID_DefaultVoicePlayback;
extern const Guid DSDEVID_DefaultVoiceCapture;

constexpr uint32_t DVFLAGS_QUERYONLY = 0x00000002;
constexpr uint32_t DVFLAGS_ALLOWBACK = 0x00000010;
constexpr long DVERR_RUNSETUP = static_cast<long>(static_cast<int32_t>(0x80150183u));
constexpr long DVERR_USERCANCEL = static_cast<long>(static_cast<int32_t>(0x80150180u));
constexpr long DVERR_ALREADYPENDING = static_cast<long>(static_cast<int32_t>(0x80150173u));

// True: keep voice chat on; false: turn it off.
bool run_voice_audio_check();

// Command of IDC_VOICE_CHAT.
void voice_chat_command();

// The Win32 back ends: the real platform calls.
#pragma once

#include "platform/seams.h"

extern const RegistryApi win32_registry_api;    // registry_win32.cpp
extern const Direct3DApi win32_d3d8_api;        // d3d8_win32.cpp
extern const DirectDrawApi win32_ddraw_api;     // ddraw_win32.cpp
extern const VoiceTestApi win32_voice_api;      // voice_win32.cpp
extern const DialogHostApi win32_dialog_host_api;  // dialog_host_win32.cpp

// The portable back ends: real hardware through SDL2 and the graphics
// drivers (gpu/), the record in a file, the dialog in Qt.
#pragma once

#include "platform/seams.h"

extern const RegistryApi portable_registry_api;        // registry_portable.cpp
extern const Direct3DApi portable_d3d8_api;            // d3d8_portable.cpp
extern const DirectDrawApi portable_ddraw_api;         // ddraw_portable.cpp
extern const VoiceTestApi portable_voice_api;          // voice_portable.cpp
extern const DialogHostApi portable_dialog_host_api;   // dialog_manager_portable.cpp

// This machine's tag in the record file's temporary names (registry_portable.cpp).
const char* registry_machine_tag();

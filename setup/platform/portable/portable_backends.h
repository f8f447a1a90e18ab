// The portable back ends: real hardware through SDL2 and the graphics
// drivers, the record in a file, the dialog in Qt.
#pragma once

#include "platform/seams.h"

extern const RegistryApi file_registry_api;      // registry_file.cpp
extern const Direct3DApi sdl_d3d8_api;           // display_sdl.cpp
extern const DirectDrawApi portable_ddraw_api;   // video_memory_portable.cpp
extern const VoiceTestApi portable_voice_api;    // voice_portable.cpp
extern const DialogHostApi qt_dialog_host_api;   // dialog_host_qt.cpp

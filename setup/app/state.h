// Process-wide state shared by every part of the program (besides the
// settings record itself, settings/settings.h).
#pragma once

#include <cstdint>

#include "platform/seams.h"

constexpr int32_t TEXT_BUFFER_SIZE = 1024;
constexpr int32_t FORMAT_BUFFER_SIZE = 256;

extern HostWindow dialog_window;

// Controls the probe fills; a null handle makes the list builders skip it.
extern HostWindow adapter_control;
extern HostWindow resolution_control;
extern HostWindow bit_depth_control;
extern HostWindow antialias_control;
extern HostWindow driver_version_control;
extern HostWindow vram_control;
extern HostWindow refresh_control;

extern int32_t video_memory_mb;
extern D3DObject* d3d;

extern char* text_buffer;     // 1024 bytes on the heap, allocated by the entry
extern char* caption_buffer;  // 1024 bytes on the heap, allocated by the entry
extern char format_buffer[FORMAT_BUFFER_SIZE];

extern bool settings_loaded;
extern bool expert_visible;

// Back to the values the process starts with (tests run many dialogs in one
// process). Does not touch `platform`, the buffers' ownership or `d3d`'s object.
void reset_process_state();

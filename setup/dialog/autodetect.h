// The profile chosen from the amount of video memory.
#pragma once

#include <cstdint>

#include "probe/mode_table.h"

void apply_autodetect_profile(int32_t video_memory_mb);

// Whether an item of the resolution list refers to an entry of that size.
bool resolution_listed(int32_t width, int32_t height);

// The mode_table entry that an item of the resolution list carries, or null
// for data that is not the address of an entry (0, CB_ERR, anything else).
const ModeEntry* mode_entry_of(intptr_t data);

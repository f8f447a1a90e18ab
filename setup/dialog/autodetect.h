// The profile chosen from the amount of video memory.
#pragma once

#include <cstdint>

void apply_autodetect_profile(int32_t video_memory_mb);

// Whether an item of the resolution list refers to an entry of that size.
bool resolution_listed(int32_t width, int32_t height);

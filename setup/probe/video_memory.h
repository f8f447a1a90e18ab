// Local video memory of the primary display device.
#pragma once

#include <cstdint>

#include "platform/seams.h"

// Megabytes rounded up to a power of two (1 to 4096), or 0 on failure.
// `device` is always null in practice: the active display device.
int32_t measure_video_memory(const Guid* device);

// The rounding alone: total bytes -> power-of-two megabytes, at least 1.
int32_t round_video_memory(uint32_t total_bytes);

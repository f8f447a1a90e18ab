#include "probe/video_memory.h"

// Placeholder until the probe lands.
int32_t measure_video_memory(const Guid*) { return 0; }
int32_t round_video_memory(uint32_t) { return 1; }

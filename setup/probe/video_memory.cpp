#include "probe/video_memory.h"

#include "app/state.h"

int32_t round_video_memory(uint32_t total_bytes) {
    // Whole megabytes, remainder dropped; then the smallest power of two that
    // is at least that. The largest count is 4095, so the doubling stops at
    // 4096 and never overflows.
    const uint32_t megabytes = total_bytes >> 20;
    uint32_t result = 1;
    while (result < megabytes) result <<= 1;
    return static_cast<int32_t>(result);
}

int32_t measure_video_memory(const Guid* device) {
    DDrawObject* ddraw = nullptr;
    if (platform.ddraw->create(device, &ddraw) < 0) return 0;
    if (ddraw == nullptr) return 0;  // a back end that claims success without an object

    // Local video memory only; every other capability word stays zero.
    const uint32_t caps[4] = {DDSCAPS_LOCALVIDMEM_, 0, 0, 0};
    uint32_t total = 0;
    uint32_t free_bytes = 0;
    const long result = platform.ddraw->get_available_vid_mem(ddraw, caps, &total, &free_bytes);
    platform.ddraw->release(ddraw);
    if (result < 0) return 0;
    return round_video_memory(total);
}

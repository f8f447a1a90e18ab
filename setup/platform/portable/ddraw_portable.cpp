// DirectDraw-shaped answer to "how much local video memory": the total of the
// device the display's OpenGL context runs on, as its driver or the kernel
// tells it (gpu/video_memory.h), read from what the display's driver said
// once for the process (gpu/display_driver.h). With no source that can tell,
// the object cannot be created.
#include <new>

#include "gpu/display_driver.h"
#include "gpu/video_memory.h"
#include "portable_backends.h"

struct DDrawObject {
    uint32_t total_bytes;
};

namespace {

constexpr long DD_OK_ = 0;
constexpr long DDERR_GENERIC_ = static_cast<long>(static_cast<int32_t>(0x80004005u));
constexpr long DDERR_INVALIDPARAMS_ = static_cast<long>(static_cast<int32_t>(0x80070057u));
constexpr long DDERR_INVALIDCAPS_ = static_cast<long>(static_cast<int32_t>(0x88760064u));
constexpr long DDERR_OUTOFMEMORY_ = static_cast<long>(static_cast<int32_t>(0x8007000Eu));

long create(const Guid* device, DDrawObject** out) {
    if (!out) return DDERR_INVALIDPARAMS_;
    *out = nullptr;
    // Only the primary display device is known here.
    if (device) return DDERR_INVALIDPARAMS_;
    const DisplayDriver* driver = display_driver();
    if (!driver || driver->vram_source == VRAM_SOURCE_NONE) return DDERR_GENERIC_;
    const uint64_t bytes = driver->vram_bytes;
    DDrawObject* ddraw = new (std::nothrow) DDrawObject{};
    if (!ddraw) return DDERR_OUTOFMEMORY_;
    // The interface counts in 32 bits: larger memories read as the most it can say.
    ddraw->total_bytes = bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
    *out = ddraw;
    return DD_OK_;
}

long get_available_vid_mem(DDrawObject* ddraw, const uint32_t caps[4], uint32_t* total, uint32_t* free_bytes) {
    if (!ddraw || !caps || (!total && !free_bytes)) return DDERR_INVALIDPARAMS_;
    // Local video memory is the one kind of memory measured here.
    if (!(caps[0] & DDSCAPS_LOCALVIDMEM_)) return DDERR_INVALIDCAPS_;
    if (total) *total = ddraw->total_bytes;
    // Free memory is not measured; nobody reads it.
    if (free_bytes) *free_bytes = 0;
    return DD_OK_;
}

uint32_t release(DDrawObject* ddraw) {
    delete ddraw;
    return 0;
}

}  // namespace

const DirectDrawApi portable_ddraw_api = {.create = create,
                                          .get_available_vid_mem = get_available_vid_mem,
                                          .release = release};

// Where the local video memory of the display device is read on Linux. Each
// source answers with a byte count from the driver or the kernel, or not at
// all; nothing is estimated.
#pragma once

#include <cstdint>

constexpr uint32_t VRAM_SOURCE_NONE = 0;
constexpr uint32_t VRAM_SOURCE_VULKAN = 1;  // device-local heaps of the display device
constexpr uint32_t VRAM_SOURCE_GLX = 2;     // GLX_MESA_query_renderer, accelerated renderers only
constexpr uint32_t VRAM_SOURCE_DRM = 4;     // the kernel's DRM information in sysfs
constexpr uint32_t VRAM_SOURCE_ALL = VRAM_SOURCE_VULKAN | VRAM_SOURCE_GLX | VRAM_SOURCE_DRM;

// Asks the sources in `sources`, in the order above, and returns the one that
// answered (its byte count in *bytes) or VRAM_SOURCE_NONE. sysfs_root is
// where the kernel's sysfs is mounted ("/sys").
uint32_t probe_video_memory(uint32_t sources, const char* sysfs_root, uint64_t* bytes);

// The sources one by one.
bool vram_from_vulkan(uint64_t* bytes);
// GLX_RENDERER_VIDEO_MEMORY_MESA of renderer 0 on the default screen of the X
// display; *accelerated tells whether it is hardware (a software renderer
// reports system memory, which is not video memory, so the source then does
// not answer). False when GLX or the extension is missing.
bool glx_renderer_memory(uint32_t* megabytes, bool* accelerated);
bool vram_from_glx(uint64_t* bytes);
// <root>/class/drm/card<N>/device/mem_info_vram_total of the boot VGA device
// (boot_vga = 1), or of the lowest-numbered card when none is marked.
bool vram_from_drm(const char* sysfs_root, uint64_t* bytes);

// What the video memory back end asks; tests narrow the sources and point the
// DRM reader at a tree of their own. Null root = "/sys".
void set_video_memory_sources(uint32_t sources, const char* sysfs_root);

// probe_video_memory with what set_video_memory_sources chose (all sources
// and "/sys" unless a test said otherwise).
uint32_t probe_chosen_video_memory(uint64_t* bytes);

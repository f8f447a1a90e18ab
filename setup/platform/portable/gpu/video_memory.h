// The local video memory of the device the display's OpenGL context runs on.
// Each source answers with a byte count from that device's driver or the
// kernel, or not at all; nothing is estimated.
#pragma once

#include <cstdint>

#include "gpu/gl.h"

constexpr uint32_t VRAM_SOURCE_NONE = 0;
constexpr uint32_t VRAM_SOURCE_GL = 1;      // GL_NVX_gpu_memory_info of the context
constexpr uint32_t VRAM_SOURCE_DRM = 2;     // the kernel's DRM information of the context's device
constexpr uint32_t VRAM_SOURCE_VULKAN = 3;  // device-local heaps of the matching Vulkan device

// Asks the sources in the order above and returns the one that answered (its
// byte count in *bytes) or VRAM_SOURCE_NONE. A software renderer is never
// counted. sysfs_root is where the kernel's sysfs is mounted ("/sys"). The
// Vulkan loader is opened only when the GL driver and the kernel say nothing.
uint32_t video_memory_of(const GlDriverFacts& gl, const char* sysfs_root, uint64_t* bytes);

// <root>/class/drm/<node>/device/mem_info_vram_total for a DRM node path
// such as "/dev/dri/card1" or "/dev/dri/renderD128" (amdgpu writes it; other
// kernel drivers do not). False when the node is not a DRM node name or the
// file is missing, unreadable, not one number or 0.
bool vram_from_drm_node(const char* sysfs_root, const char* node, uint64_t* bytes);

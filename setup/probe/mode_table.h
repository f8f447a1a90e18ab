// Usable screen sizes of the current adapter and their capabilities.
#pragma once

#include <cstdint>

constexpr uint32_t CAPS_16BIT = 0x01;
constexpr uint32_t CAPS_32BIT = 0x02;
constexpr uint32_t CAPS_MS2_WINDOWED = 0x04;
constexpr uint32_t CAPS_MS4_WINDOWED = 0x08;
constexpr uint32_t CAPS_MS2_FULLSCREEN = 0x10;
constexpr uint32_t CAPS_MS4_FULLSCREEN = 0x20;

constexpr int32_t MODE_TABLE_SIZE = 256;

struct ModeEntry {
    uint32_t width;
    uint32_t height;
    uint32_t caps;
};

using ModeTable = ModeEntry[MODE_TABLE_SIZE];

// Fixed storage: the resolution list's items carry addresses into it.
extern ModeTable mode_table;

// Rebuilds mode_table from the current adapter's modes; returns the count (0 to 256).
int32_t build_mode_table();

// Empties and refills the resolution list from the first `count` entries and
// selects the record's size.
void fill_resolution_list(int32_t count);

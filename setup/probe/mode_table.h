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

// A size the table keeps: at least 640 wide and within 0.001 of 4:3 (the
// single-precision values both).
bool usable_size(uint32_t width, uint32_t height);

// Rebuilds mode_table from the current adapter's modes; returns the count (0 to 256).
int32_t build_mode_table();

// The entry an item of the resolution list carries, or null for data that is
// not the address of an entry within the table (0, CB_ERR, anything else).
const ModeEntry* mode_entry_of(intptr_t data);

// The entry of that size among those the resolution list's items point at, or null.
const ModeEntry* listed_mode_entry(int32_t width, int32_t height);

// Empties and refills the resolution list from the first `count` entries and
// selects the record's size.
void fill_resolution_list(int32_t count);

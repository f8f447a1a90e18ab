#include "probe/mode_table.h"

#include <cstdio>

#include "app/state.h"
#include "settings/settings.h"

ModeTable mode_table;

namespace {

// The aspect test was tuned with single-precision constants compared in
// double: R, the float nearest to 4/3 (0x3FAAAAAB, 11184811 / 2^23), and T,
// the float nearest to 0.001 (0x3A83126F, 8589935 / 2^33). Both are exact
// binary fractions, so the test runs on integers:
//   |W/H - R| < T  <=>  (R - T) * 2^33 * H < W * 2^33 < (R + T) * 2^33 * H.
// For every height up to 65535 this answers as the double comparison does,
// and no compiler's excess precision (x87) can move it.
constexpr uint64_t ASPECT_R = 11184811ull << 10;  // R * 2^33
constexpr uint64_t ASPECT_T = 8589935;            // T * 2^33
constexpr uint64_t ASPECT_LOW = ASPECT_R - ASPECT_T;
constexpr uint64_t ASPECT_HIGH = ASPECT_R + ASPECT_T;

// value * factor as 2^32 * high + low, for a factor below 2^35: 32-bit
// targets have no 128-bit integer.
struct Wide {
    uint64_t high;
    uint32_t low;
};
constexpr Wide times(uint32_t value, uint64_t factor) {
    const uint64_t low_part = static_cast<uint64_t>(value) * (factor & 0xFFFFFFFFu);
    return {static_cast<uint64_t>(value) * (factor >> 32) + (low_part >> 32), static_cast<uint32_t>(low_part)};
}
constexpr bool below(Wide a, Wide b) { return a.high < b.high || (a.high == b.high && a.low < b.low); }

constexpr uint32_t MIN_WIDTH = 640;

uint32_t depth_bit_of(uint32_t format) {
    switch (format) {
        case FORMAT_A8R8G8B8:
        case FORMAT_X8R8G8B8:
            return CAPS_32BIT;
        case FORMAT_R5G6B5:
        case FORMAT_X1R5G5B5:
            return CAPS_16BIT;
        default:
            return 0;
    }
}

// Multisample support of one format, probed in a fixed order.
uint32_t multisample_bits(uint32_t adapter, uint32_t format) {
    struct Probe {
        int32_t windowed;
        uint32_t samples;
        uint32_t bit;
    };
    static constexpr Probe probes[] = {
        {1, 2, CAPS_MS2_WINDOWED},
        {1, 4, CAPS_MS4_WINDOWED},
        {0, 2, CAPS_MS2_FULLSCREEN},
        {0, 4, CAPS_MS4_FULLSCREEN},
    };
    uint32_t caps = 0;
    for (const Probe& p : probes) {
        if (platform.d3d8->check_device_multisample_type(d3d, adapter, D3DDEVTYPE_HAL_, format, p.windowed,
                                                         p.samples) >= 0)
            caps |= p.bit;
    }
    return caps;
}

}  // namespace

bool usable_size(uint32_t width, uint32_t height) {
    if (width < MIN_WIDTH) return false;
    const Wide scaled_width{static_cast<uint64_t>(width) << 1, 0};  // W * 2^33
    // A height of 0 makes both bounds 0 and fails.
    return below(times(height, ASPECT_LOW), scaled_width) && below(scaled_width, times(height, ASPECT_HIGH));
}

int32_t build_mode_table() {
    int32_t count = 0;
    if (d3d == nullptr) return 0;

    // The stored ordinal is a signed byte: 128..255 become huge ordinals that
    // no adapter answers to.
    const auto adapter = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(settings.adapter)));
    const uint32_t modes = platform.d3d8->get_adapter_mode_count(d3d, adapter);

    // Drivers list the refresh rates of one size together, so the entry that
    // matched last is tried before the linear search. Sizes are unique in the
    // table, so this finds the same entry the search would.
    int32_t last = -1;
    for (uint32_t i = 0; i < modes; ++i) {
        DisplayMode mode{};
        if (platform.d3d8->enum_adapter_modes(d3d, adapter, i, &mode) != 0) continue;

        const uint32_t depth_bit = depth_bit_of(mode.Format);
        if (depth_bit == 0) continue;
        if (!usable_size(mode.Width, mode.Height)) continue;

        int32_t found = 0;
        if (last >= 0 && mode_table[last].width == mode.Width && mode_table[last].height == mode.Height) {
            found = last;
        } else {
            while (found < count &&
                   (mode_table[found].width != mode.Width || mode_table[found].height != mode.Height))
                ++found;
        }
        last = found;
        if (found < count) {
            // Later formats of a known size add their depth only; the
            // multisample bits stay those of the first format seen.
            mode_table[found].caps |= depth_bit;
            continue;
        }

        ModeEntry& entry = mode_table[count];
        entry.width = mode.Width;
        entry.height = mode.Height;
        entry.caps = depth_bit | multisample_bits(adapter, mode.Format);
        if (++count == MODE_TABLE_SIZE) break;
    }
    return count;
}

void fill_resolution_list(int32_t count) {
    if (resolution_control == nullptr) return;
    const DialogHostApi* host = platform.host;
    host->list_reset(resolution_control);

    if (count < 0) count = 0;
    if (count > MODE_TABLE_SIZE) count = MODE_TABLE_SIZE;
    const auto want_width = static_cast<uint32_t>(static_cast<int32_t>(settings.width));
    const auto want_height = static_cast<uint32_t>(static_cast<int32_t>(settings.height));

    for (int32_t i = 0; i < count; ++i) {
        const ModeEntry& entry = mode_table[i];
        std::snprintf(format_buffer, FORMAT_BUFFER_SIZE, "%4d x %4d", static_cast<int>(entry.width),
                      static_cast<int>(entry.height));
        // The list sorts by text; the host keeps an earlier selection on its
        // item when this one lands in front of it.
        const int32_t pos = host->list_add_sorted(resolution_control, format_buffer);
        if (pos < 0) continue;
        host->list_set_data(resolution_control, pos, reinterpret_cast<intptr_t>(&entry));
        if (entry.width == want_width && entry.height == want_height) host->list_set_selection(resolution_control, pos);
    }
}

const ModeEntry* mode_entry_of(intptr_t data) {
    // Item data are only ever turned back into an entry when they are the
    // address of one inside the table.
    const auto base = reinterpret_cast<uintptr_t>(&mode_table[0]);
    const auto address = static_cast<uintptr_t>(data);
    if (address < base) return nullptr;
    const uintptr_t offset = address - base;
    if (offset % sizeof(ModeEntry) != 0 || offset / sizeof(ModeEntry) >= MODE_TABLE_SIZE) return nullptr;
    return &mode_table[offset / sizeof(ModeEntry)];
}

const ModeEntry* listed_mode_entry(int32_t width, int32_t height) {
    if (resolution_control == nullptr) return nullptr;
    const auto want_width = static_cast<uint32_t>(width);
    const auto want_height = static_cast<uint32_t>(height);
    const int32_t items = platform.host->list_count(resolution_control);
    for (int32_t pos = 0; pos < items; ++pos) {
        const ModeEntry* entry = mode_entry_of(platform.host->list_get_data(resolution_control, pos));
        if (entry != nullptr && entry->width == want_width && entry->height == want_height) return entry;
    }
    return nullptr;
}

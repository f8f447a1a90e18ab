#include "probe/mode_table.h"

#include <cmath>
#include <cstdio>

#include "app/state.h"
#include "settings/settings.h"

ModeTable mode_table;

namespace {

// The aspect test was tuned with single-precision constants: the float nearest
// to 4/3 and the float nearest to 0.001, compared in double precision. Keeping
// the exact values keeps the same sizes on the borderline.
constexpr double ASPECT_4_3 = static_cast<double>(1.33333333333333333f);
constexpr double ASPECT_TOLERANCE = static_cast<double>(0.001f);
static_assert(ASPECT_4_3 == 1.33333337306976318359375);
static_assert(ASPECT_TOLERANCE == 0.001000000047497451305389404296875);

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

bool usable_size(uint32_t width, uint32_t height) {
    if (width < MIN_WIDTH) return false;
    if (height == 0) return false;  // would divide to infinity, which fails the test anyway
    const double ratio = static_cast<double>(width) / static_cast<double>(height);
    return std::fabs(ratio - ASPECT_4_3) < ASPECT_TOLERANCE;
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

// A heavy adapter: 256 distinct 4:3 sizes, each at 8 refresh rates in 4
// formats (8,192 modes). Enumerated format by format, as drivers tend to
// report them, except that the 256th size comes last: the table then fills
// only at the very end, so nearly every mode is examined against a nearly
// full table, the worst case for a build.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/seams.h"

constexpr uint32_t HEAVY_SIZES = 256;
constexpr uint32_t HEAVY_RATES = 8;
constexpr uint32_t HEAVY_FORMATS = 4;
constexpr uint32_t HEAVY_MODES = HEAVY_SIZES * HEAVY_RATES * HEAVY_FORMATS;
// Mode number that creates the 256th entry: the first mode of the last size.
constexpr uint32_t HEAVY_LAST_EXAMINED = HEAVY_MODES - HEAVY_RATES * HEAVY_FORMATS;

inline std::vector<DisplayMode> heavy_adapter_modes() {
    static const uint32_t formats[HEAVY_FORMATS] = {FORMAT_R5G6B5, FORMAT_X1R5G5B5, FORMAT_A8R8G8B8,
                                                    FORMAT_X8R8G8B8};
    static const uint32_t rates[HEAVY_RATES] = {60, 70, 72, 75, 85, 100, 120, 144};
    std::vector<DisplayMode> modes;
    modes.reserve(HEAVY_MODES);
    for (uint32_t format : formats)
        for (uint32_t k = 0; k + 1 < HEAVY_SIZES; ++k)
            for (uint32_t rate : rates) modes.push_back(DisplayMode{640 + 4 * k, 480 + 3 * k, rate, format});
    const uint32_t k = HEAVY_SIZES - 1;
    for (uint32_t format : formats)
        for (uint32_t rate : rates) modes.push_back(DisplayMode{640 + 4 * k, 480 + 3 * k, rate, format});
    return modes;
}

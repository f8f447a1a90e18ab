#include "probe/option_lists.h"

#include <cstdio>

#include "app/state.h"
#include "platform/winapi_values.h"
#include "probe/mode_table.h"
#include "settings/settings.h"

namespace {

constexpr uint32_t IDS_DEFAULT_RATE = 37;
constexpr uint32_t IDS_ANTIALIAS_OFF = 40;

int32_t depth_of(uint32_t format) {
    switch (format) {
        case FORMAT_A8R8G8B8:
        case FORMAT_X8R8G8B8:
            return 32;
        case FORMAT_R5G6B5:
        case FORMAT_X1R5G5B5:
            return 16;
        default:
            return 0;
    }
}

const char* load_text(uint32_t id) {
    if (text_buffer == nullptr) return "";
    text_buffer[0] = '\0';  // a failed load leaves an empty text, not stale bytes
    platform.host->load_string(id, text_buffer, TEXT_BUFFER_SIZE);
    return text_buffer;
}

int32_t append_item(HostWindow list, const char* text, intptr_t data) {
    const int32_t pos = platform.host->list_append(list, text);
    if (pos >= 0) platform.host->list_set_data(list, pos, data);
    return pos;
}

const ModeEntry* entry_at(int32_t position) {
    if (resolution_control == nullptr) return nullptr;
    return mode_entry_of(platform.host->list_get_data(resolution_control, position));
}

}  // namespace

bool build_refresh_list() {
    const DialogHostApi* host = platform.host;
    if (refresh_control != nullptr) {
        host->list_reset(refresh_control);
        append_item(refresh_control, load_text(IDS_DEFAULT_RATE), 0);
    }
    if (d3d == nullptr) return false;
    if (refresh_control == nullptr) return true;

    const auto adapter = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(settings.adapter)));
    const auto want_width = static_cast<uint32_t>(static_cast<int32_t>(settings.width));
    const auto want_height = static_cast<uint32_t>(static_cast<int32_t>(settings.height));
    const int32_t want_depth = settings.bit_depth;
    const int32_t want_rate = settings.refresh_rate;

    int32_t selection = 0;
    const uint32_t modes = platform.d3d8->get_adapter_mode_count(d3d, adapter);
    for (uint32_t i = 0; i < modes; ++i) {
        DisplayMode mode{};
        if (platform.d3d8->enum_adapter_modes(d3d, adapter, i, &mode) != 0) continue;
        const int32_t depth = depth_of(mode.Format);
        if (depth == 0) continue;
        if (depth != want_depth || mode.Width != want_width || mode.Height != want_height || mode.RefreshRate == 0)
            continue;

        const auto rate = static_cast<int32_t>(mode.RefreshRate);
        std::snprintf(format_buffer, FORMAT_BUFFER_SIZE, "%d Hz", static_cast<int>(rate));
        // Equal rates in two formats of one depth stay two items; the later wins.
        const int32_t pos = append_item(refresh_control, format_buffer, rate);
        if (pos >= 0 && rate == want_rate) selection = pos;
    }

    host->list_set_selection(refresh_control, selection);
    if (selection == 0) settings.refresh_rate = 0;
    return true;
}

bool build_depth_and_aa_lists(int32_t position) {
    const DialogHostApi* host = platform.host;
    if (bit_depth_control != nullptr) host->list_reset(bit_depth_control);
    if (antialias_control != nullptr) {
        host->list_reset(antialias_control);
        append_item(antialias_control, load_text(IDS_ANTIALIAS_OFF), 0);
    }

    const ModeEntry* entry = position == -1 ? listed_mode_entry(settings.width, settings.height) : entry_at(position);
    if (entry == nullptr) return false;

    const uint32_t caps = entry->caps;
    const bool fullscreen = settings.fullscreen != 0;
    const uint32_t ms2 = fullscreen ? CAPS_MS2_FULLSCREEN : CAPS_MS2_WINDOWED;
    const uint32_t ms4 = fullscreen ? CAPS_MS4_FULLSCREEN : CAPS_MS4_WINDOWED;
    const uint8_t antialiasing = settings.antialiasing;

    if (antialias_control != nullptr && (antialiasing == 0 || (caps & ms2) == 0 || (caps & ms4) == 0))
        host->list_set_selection(antialias_control, 0);

    const bool has16 = (caps & CAPS_16BIT) != 0;
    const bool has32 = (caps & CAPS_32BIT) != 0;
    if (has16) {
        if (bit_depth_control != nullptr) append_item(bit_depth_control, "16", 16);
        if (!has32 && settings.bit_depth == 32) settings.bit_depth = 16;
    }
    if (has32) {
        if (bit_depth_control != nullptr) append_item(bit_depth_control, "32", 32);
        if (!has16 && settings.bit_depth == 16) settings.bit_depth = 32;
    }
    if (bit_depth_control != nullptr)
        host->list_set_selection(bit_depth_control, (has16 && has32 && settings.bit_depth != 16) ? 1 : 0);

    if (antialias_control != nullptr) {
        if (caps & ms2) {
            const int32_t pos = append_item(antialias_control, " 2x", 2);
            if (antialiasing == 2) host->list_set_selection(antialias_control, pos);
        }
        if (caps & ms4) {
            const int32_t pos = append_item(antialias_control, " 4x", 4);
            if (antialiasing == 4) host->list_set_selection(antialias_control, pos);
        }
    }
    return true;
}

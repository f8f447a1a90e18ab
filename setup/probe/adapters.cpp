#include "probe/adapters.h"

#include <cstdio>

#include "app/state.h"
#include "probe/mode_table.h"
#include "probe/option_lists.h"
#include "probe/video_memory.h"
#include "settings/settings.h"

namespace {

constexpr uint32_t IDS_DRIVER_VERSION = 38;

// The stored ordinal is a signed byte: 128..255 count as negative.
int32_t signed_adapter() { return static_cast<int8_t>(settings.adapter); }

D3DObject* create_d3d() { return platform.d3d8->create(D3D_SDK_VERSION_8); }

bool query_identifier(uint32_t ordinal, AdapterIdentifier* id) {
    if (platform.d3d8->get_adapter_identifier(d3d, ordinal, 0, id) != 0) return false;
    // The description is shown as text: never read past its buffer.
    id->Description[sizeof id->Description - 1] = '\0';
    return true;
}

void show_driver_version(bool known, uint64_t version) {
    if (!known) {
        platform.host->set_text(driver_version_control, "");
        return;
    }
    const char* label = "";
    if (text_buffer != nullptr) {
        text_buffer[0] = '\0';
        platform.host->load_string(IDS_DRIVER_VERSION, text_buffer, TEXT_BUFFER_SIZE);
        label = text_buffer;
    }
    // The label is data, not a format: only the fixed suffix is formatted.
    std::snprintf(format_buffer, FORMAT_BUFFER_SIZE, "%s %d.%02d.%02d.%04d", label,
                  static_cast<int>(static_cast<uint16_t>(version >> 48)),
                  static_cast<int>(static_cast<uint16_t>(version >> 32)),
                  static_cast<int>(static_cast<uint16_t>(version >> 16)), static_cast<int>(static_cast<uint16_t>(version)));
    platform.host->set_text(driver_version_control, format_buffer);
}

}  // namespace

bool build_adapter_list() {
    // Only one Direct3D object may be alive: drop the old one before asking again.
    if (d3d != nullptr) {
        platform.d3d8->release(d3d);
        d3d = nullptr;
    }
    if (adapter_control == nullptr) {
        d3d = create_d3d();
        return d3d != nullptr;
    }
    d3d = create_d3d();
    if (d3d == nullptr) return false;

    const DialogHostApi* host = platform.host;
    const uint32_t count = platform.d3d8->get_adapter_count(d3d);
    const int32_t current = signed_adapter();
    if (current < 0 || static_cast<uint32_t>(current) >= count) settings.adapter = 0;

    host->list_reset(adapter_control);
    int32_t selection = 0;
    for (uint32_t i = 0; i < count; ++i) {
        AdapterIdentifier id{};
        if (!query_identifier(i, &id)) continue;  // no item for an adapter that cannot name itself
        const int32_t pos = host->list_append(adapter_control, id.Description);
        if (pos >= 0) host->list_set_data(adapter_control, pos, static_cast<intptr_t>(i));
        if (static_cast<int32_t>(i) == signed_adapter()) selection = host->list_count(adapter_control) - 1;
    }
    host->list_set_selection(adapter_control, selection);

    select_adapter();
    return true;
}

bool select_adapter() {
    if (d3d == nullptr) return false;

    const auto ordinal = static_cast<uint32_t>(signed_adapter());
    AdapterIdentifier id{};
    const bool known = query_identifier(ordinal, &id);

    // Always the primary display device, whichever adapter is current.
    video_memory_mb = measure_video_memory(nullptr);

    if (driver_version_control != nullptr) show_driver_version(known, id.DriverVersion);
    if (vram_control != nullptr) {
        std::snprintf(format_buffer, FORMAT_BUFFER_SIZE, "VRAM: %iMB", static_cast<int>(video_memory_mb));
        platform.host->set_text(vram_control, format_buffer);
    }
    if (resolution_control == nullptr) return true;

    fill_resolution_list(build_mode_table());
    build_refresh_list();
    return true;
}

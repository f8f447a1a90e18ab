#include "app/state.h"

#include "probe/mode_table.h"
#include "settings/settings.h"

HostWindow dialog_window = nullptr;
HostWindow adapter_control = nullptr;
HostWindow resolution_control = nullptr;
HostWindow bit_depth_control = nullptr;
HostWindow antialias_control = nullptr;
HostWindow driver_version_control = nullptr;
HostWindow vram_control = nullptr;
HostWindow refresh_control = nullptr;

int32_t video_memory_mb = 0;
D3DObject* d3d = nullptr;

char* text_buffer = nullptr;
char* caption_buffer = nullptr;
char format_buffer[FORMAT_BUFFER_SIZE];

bool settings_loaded = false;
bool expert_visible = true;

void reset_process_state() {
    set_defaults(&settings);
    dialog_window = nullptr;
    adapter_control = resolution_control = bit_depth_control = antialias_control = nullptr;
    driver_version_control = vram_control = refresh_control = nullptr;
    video_memory_mb = 0;
    d3d = nullptr;
    format_buffer[0] = '\0';
    settings_loaded = false;
    expert_visible = true;
    for (auto& e : mode_table) e = ModeEntry{};
}

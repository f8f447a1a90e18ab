// Shared scripting for the dialog tests: a plausible machine, the entry's
// start-up steps that matter to the dialog, and record helpers.
#pragma once

#include <cstdint>
#include <vector>

#include "fakes.h"
#include "settings/settings.h"
#include "settings/store.h"

namespace dialog_test {

inline void add_modes(FakeAdapter& a, uint32_t w, uint32_t h, uint32_t format, std::vector<uint32_t> rates) {
    for (uint32_t r : rates) a.modes.push_back(mode(w, h, format, r));
}

// 640x480, 800x600 and 1024x768 in 16 and 32 bits; 1280x960 too when asked.
// Multisampling: 2 and 4 samples full screen, 2 samples windowed.
inline FakeAdapter standard_adapter(bool with_1280x960 = true) {
    FakeAdapter a;
    a.description = "Primary Test Adapter";
    a.driver_version = (6ull << 48) | 1;
    add_modes(a, 640, 480, FORMAT_R5G6B5, {60});
    add_modes(a, 640, 480, FORMAT_X8R8G8B8, {60});
    add_modes(a, 800, 600, FORMAT_R5G6B5, {60, 75});
    add_modes(a, 800, 600, FORMAT_X8R8G8B8, {60, 75});
    add_modes(a, 1024, 768, FORMAT_R5G6B5, {60});
    add_modes(a, 1024, 768, FORMAT_X8R8G8B8, {60, 75, 85});
    if (with_1280x960) add_modes(a, 1280, 960, FORMAT_X8R8G8B8, {60, 85});
    for (uint32_t format : {FORMAT_R5G6B5, FORMAT_X8R8G8B8}) {
        a.multisample[{format, 0, 2}] = true;
        a.multisample[{format, 0, 4}] = true;
        a.multisample[{format, 1, 2}] = true;
    }
    return a;
}

// Resets everything and scripts a machine with one standard adapter and
// `vram_mb` of local video memory.
inline FakeMachine& standard_machine(uint32_t vram_mb = 64, bool with_1280x960 = true) {
    FakeMachine& m = reset_fakes();
    m.d3d.adapters.push_back(standard_adapter(with_1280x960));
    m.ddraw.total_bytes = vram_mb << 20;
    return m;
}

// What the entry does before the dialog runs, then WM_INITDIALOG.
inline void open_dialog() {
    settings_loaded = load_settings();
    fake_init_dialog();
}

// A record as the game would have it stored: sensible values the standard
// adapter offers, different from both the defaults and any profile.
inline SetupSettings stored_record() {
    SetupSettings s = default_settings();
    s.width = 800;
    s.height = 600;
    s.bit_depth = 32;
    s.refresh_rate = 75;
    s.fullscreen = 1;
    s.vsync = 1;
    s.speaker_config = 1;
    s.option_1011 = 0;
    return s;
}

inline void open_dialog_with(const SetupSettings& stored) {
    store_bytes(bytes_of(stored));
    open_dialog();
}

// The observable state of every control, for "nothing changed" checks.
struct ControlSnapshot {
    int32_t id;
    bool enabled;
    std::string text;
    uint32_t check;
    std::vector<std::pair<std::string, intptr_t>> items;
    int32_t selection;
    bool operator==(const ControlSnapshot&) const = default;
};

inline std::vector<ControlSnapshot> snapshot_controls() {
    std::vector<ControlSnapshot> out;
    for (const FakeControl& c : fake_machine().dialog.controls) {
        ControlSnapshot s{c.id, c.enabled, c.text, c.check, {}, c.selection};
        for (const FakeItem& i : c.items) s.items.emplace_back(i.text, i.data);
        out.push_back(s);
    }
    return out;
}

}  // namespace dialog_test

// Shared set-up for the display probe tests: the fake machine, the seven
// control handles the probe fills, and readers for the lists it builds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/state.h"
#include "dialog/controller.h"
#include "fakes.h"
#include "probe/mode_table.h"
#include "res/resource.h"

// The handles the dialog caches at initialisation, looked up in the fake host.
inline void attach_probe_controls() {
    const HostWindow dlg = fake_dialog_handle();
    cache_control_handles(dlg);
}

// A fresh fake machine with the probe's controls attached.
inline FakeMachine& probe_machine() {
    FakeMachine& m = reset_fakes();
    attach_probe_controls();
    return m;
}

// The Direct3D object as build_adapter_list would leave it, for tests that
// drive the mode table and the option lists directly.
inline void open_d3d() { d3d = platform.d3d8->create(D3D_SDK_VERSION_8); }

inline FakeAdapter& add_adapter(FakeMachine& m, std::vector<DisplayMode> modes = {}) {
    m.d3d.adapters.emplace_back();
    m.d3d.adapters.back().modes = std::move(modes);
    return m.d3d.adapters.back();
}

inline std::vector<intptr_t> fake_list_data(int32_t id) {
    std::vector<intptr_t> out;
    if (FakeControl* c = fake_control(id))
        for (const auto& i : c->items) out.push_back(i.data);
    return out;
}

inline int32_t fake_selection(int32_t id) {
    FakeControl* c = fake_control(id);
    return c ? c->selection : -2;
}

inline intptr_t entry_address(int32_t index) { return reinterpret_cast<intptr_t>(&mode_table[index]); }

struct Size {
    uint32_t width;
    uint32_t height;
    bool operator==(const Size&) const = default;
};

inline std::vector<Size> table_sizes(int32_t count) {
    std::vector<Size> out;
    for (int32_t i = 0; i < count; ++i) out.push_back(Size{mode_table[i].width, mode_table[i].height});
    return out;
}

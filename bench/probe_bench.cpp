// How long the display probe takes to rebuild its lists for a heavy adapter
// (256 sizes x 8 rates x 4 formats), with two hosts: the test fakes, whose
// lists hold std::string items, and a host of fixed storage, which leaves the
// core's own cost.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "app/state.h"
#include "fakes.h"
#include "fixed_host.h"
#include "probe/adapters.h"
#include "probe/mode_table.h"
#include "probe/option_lists.h"
#include "probe_helpers.h"
#include "settings/settings.h"
#include "workload.h"

namespace {

enum class Host { Fake, Fixed };

void heavy_machine(Host host) {
    FakeMachine& m = probe_machine();
    FakeAdapter& a = add_adapter(m, heavy_adapter_modes());
    a.multisample_all = true;
    m.d3d.record_probes = false;  // the probe log would grow with every iteration
    settings.width = 1024;
    settings.height = 768;
    settings.bit_depth = 32;
    settings.refresh_rate = 75;
    if (host == Host::Fixed) fixed_host::install();
    open_d3d();
}

void check(benchmark::State& state, bool ok) {
    if (!ok) state.SkipWithError("the probe did not do the expected work");
}

// What an adapter change costs: select_adapter (video memory, labels, mode
// table, resolution list, refresh list) and the depth and antialiasing lists.
void adapter_rebuild(benchmark::State& state, Host host) {
    heavy_machine(host);
    for (auto _ : state) {
        select_adapter();
        build_depth_and_aa_lists(-1);
    }
    check(state, platform.host->list_count(resolution_control) == 256 &&
                     platform.host->list_get_selection(resolution_control) >= 0);
    state.SetItemsProcessed(state.iterations() * HEAVY_MODES);
}

// What the controller does when the player picks a size.
void resolution_change(benchmark::State& state, Host host) {
    heavy_machine(host);
    select_adapter();
    const int32_t pos = 0;  // the first item in text order: 640 x 480
    const auto* entry = reinterpret_cast<const ModeEntry*>(platform.host->list_get_data(resolution_control, pos));
    for (auto _ : state) {
        settings.width = static_cast<int32_t>(entry->width);
        settings.height = static_cast<int32_t>(entry->height);
        build_refresh_list();
        build_depth_and_aa_lists(pos);
    }
    check(state, entry->width == 640 && platform.host->list_count(refresh_control) == 17);
    state.SetItemsProcessed(state.iterations() * HEAVY_MODES);
}

void build_table(benchmark::State& state) {
    heavy_machine(Host::Fixed);
    int32_t count = 0;
    for (auto _ : state) {
        count = build_mode_table();
        benchmark::DoNotOptimize(count);
    }
    check(state, count == 256);
    state.SetItemsProcessed(state.iterations() * HEAVY_MODES);
}

void fill_list(benchmark::State& state, Host host) {
    heavy_machine(host);
    const int32_t count = build_mode_table();
    for (auto _ : state) fill_resolution_list(count);
    check(state, platform.host->list_count(resolution_control) == 256);
    state.SetItemsProcessed(state.iterations() * 256);
}

void refresh_list(benchmark::State& state, Host host) {
    heavy_machine(host);
    for (auto _ : state) build_refresh_list();
    check(state, platform.host->list_count(refresh_control) == 17);
    state.SetItemsProcessed(state.iterations() * HEAVY_MODES);
}

// The fake Direct3D's own share: enumerating every mode and nothing else.
void enumerate_only(benchmark::State& state) {
    heavy_machine(Host::Fixed);
    for (auto _ : state) {
        const uint32_t n = platform.d3d8->get_adapter_mode_count(d3d, 0);
        for (uint32_t i = 0; i < n; ++i) {
            DisplayMode m{};
            benchmark::DoNotOptimize(platform.d3d8->enum_adapter_modes(d3d, 0, i, &m));
            benchmark::DoNotOptimize(m);
        }
    }
    state.SetItemsProcessed(state.iterations() * HEAVY_MODES);
}

void whole_adapter_list(benchmark::State& state, Host host) {
    heavy_machine(host);
    for (auto _ : state) {
        build_adapter_list();
        build_depth_and_aa_lists(-1);
    }
    check(state, fake_machine().d3d.alive() == 1);
}

}  // namespace

BENCHMARK_CAPTURE(adapter_rebuild, fake_host, Host::Fake)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(adapter_rebuild, fixed_host, Host::Fixed)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(resolution_change, fake_host, Host::Fake)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(resolution_change, fixed_host, Host::Fixed)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(whole_adapter_list, fake_host, Host::Fake)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(whole_adapter_list, fixed_host, Host::Fixed)->Unit(benchmark::kMicrosecond);
BENCHMARK(build_table)->Unit(benchmark::kMicrosecond);
BENCHMARK(enumerate_only)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fill_list, fake_host, Host::Fake)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(fill_list, fixed_host, Host::Fixed)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(refresh_list, fake_host, Host::Fake)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(refresh_list, fixed_host, Host::Fixed)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

// How long the display probe takes to rebuild its lists for a heavy adapter:
// 256 sizes at 8 rates in 4 formats (8,192 modes), enumerated format by
// format with the 256th size last, so nearly every mode meets a nearly full
// table. Run against the in-memory test machine, whose list items are
// std::strings: a share of each figure is that host's own.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#include "app/state.h"
#include "dialog/controller.h"
#include "fakes.h"
#include "probe/adapters.h"
#include "probe/mode_table.h"
#include "probe/option_lists.h"
#include "probe/video_memory.h"
#include "res/resource.h"

// Every allocation of the process is counted: the mode table and the video
// memory probe must make none.
namespace {
long allocations = 0;
}
void* operator new(size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

constexpr int64_t MODES = 256 * 8 * 4;

void heavy_machine() {
    FakeMachine& m = reset_fakes();
    const uint32_t formats[] = {23, 24, 21, 22};
    const uint32_t rates[] = {60, 70, 72, 75, 85, 100, 120, 144};
    for (uint32_t last = 0; last < 2; ++last)
        for (uint32_t format : formats)
            for (uint32_t k = last ? 255 : 0; k < (last ? 256 : 255); ++k)
                for (uint32_t rate : rates) m.adapters[0].modes.push_back(mode(640 + 4 * k, 480 + 3 * k, format, rate));
    for (uint32_t format : formats) m.adapters[0].multisample[format] = 0x3C;
    settings.refresh_rate = 75;
    cache_control_handles(fake_dialog());
    build_adapter_list();
}

void check(benchmark::State& state, bool ok) {
    if (!ok) state.SkipWithError("the probe did not do the expected work");
}

// An adapter change: video memory, labels, mode table, resolution and
// refresh lists, then the depth and antialiasing lists.
void adapter_change(benchmark::State& state) {
    heavy_machine();
    for (auto _ : state) {
        select_adapter();
        build_depth_and_aa_lists(-1);
    }
    check(state, texts(IDC_RESOLUTION).size() == 256 && selected(IDC_REFRESH) == "75 Hz");
    state.SetItemsProcessed(state.iterations() * MODES);
}

// The player picks a size.
void resolution_change(benchmark::State& state) {
    heavy_machine();
    for (auto _ : state) choose(IDC_RESOLUTION, 0);
    check(state, settings.width == 640 && texts(IDC_REFRESH).size() == 17);
    state.SetItemsProcessed(state.iterations() * MODES);
}

// The mode table is fixed storage and the video memory a figure: neither
// may allocate, however often it is built or measured.
void mode_table_alone(benchmark::State& state) {
    heavy_machine();
    const long before = allocations;
    int32_t count = build_mode_table();
    const long made = allocations - before;
    for (auto _ : state) benchmark::DoNotOptimize(count = build_mode_table());
    state.counters["allocations"] = static_cast<double>(made);
    check(state, count == 256 && made == 0);
    state.SetItemsProcessed(state.iterations() * MODES);
}

void video_memory(benchmark::State& state) {
    heavy_machine();
    const long before = allocations;
    int32_t mb = measure_video_memory(nullptr);
    const long made = allocations - before;
    for (auto _ : state) benchmark::DoNotOptimize(mb = measure_video_memory(nullptr));
    state.counters["allocations"] = static_cast<double>(made);
    check(state, mb == 64 && made == 0);
}

}  // namespace

BENCHMARK(adapter_change)->Unit(benchmark::kMicrosecond);
BENCHMARK(resolution_change)->Unit(benchmark::kMicrosecond);
BENCHMARK(mode_table_alone)->Unit(benchmark::kMicrosecond);
BENCHMARK(video_memory);
BENCHMARK_MAIN();

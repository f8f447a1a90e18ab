// Counts every allocation of this program through replaced global operators,
// so the probe's claim of building its table without allocating is checked
// rather than assumed. The operators still allocate normally.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "fakes.h"
#include "fixed_host.h"
#include "probe/adapters.h"
#include "probe/mode_table.h"
#include "probe/option_lists.h"
#include "probe/video_memory.h"
#include "probe_helpers.h"
#include "settings/settings.h"
#include "workload.h"

// The replacements pair malloc with free themselves; once inlined, GCC
// mistakes that for freeing memory from operator new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

FakeMachine& heavy_machine() {
    FakeMachine& m = probe_machine();
    FakeAdapter& a = add_adapter(m, heavy_adapter_modes());
    a.multisample_all = true;
    m.d3d.record_probes = false;  // the fake's probe log would allocate
    settings.width = 1024;
    settings.height = 768;
    settings.bit_depth = 32;
    settings.refresh_rate = 75;
    return m;
}

TEST(Allocation, CountingOperatorsSeeAllocations) {
    // Called by name: a new-expression whose result goes unused may be elided.
    const long before = allocations.load();
    void* volatile p = ::operator new(16);
    ::operator delete(p);
    std::vector<int> v(100);
    EXPECT_GE(allocations.load() - before, 1);
}

TEST(Allocation, BuildingTheModeTableAllocatesNothing) {
    FakeMachine& m = heavy_machine();
    open_d3d();

    const long before = allocations.load();
    const int32_t count = build_mode_table();
    const long made = allocations.load() - before;

    EXPECT_EQ(made, 0);
    // The work was really done: the table filled on the last size.
    ASSERT_EQ(count, 256);
    EXPECT_EQ(m.d3d.enum_calls, static_cast<int>(HEAVY_LAST_EXAMINED) + 1);
    EXPECT_EQ(m.d3d.highest_mode_queried, HEAVY_LAST_EXAMINED);
    EXPECT_EQ(m.d3d.multisample_calls, 1024);
    EXPECT_EQ(mode_table[254].caps, 0x3Fu);
    EXPECT_EQ(mode_table[255].caps, 0x3Du);  // its 32-bit modes come after the stop
}

TEST(Allocation, MeasuringVideoMemoryAllocatesNothing) {
    heavy_machine();
    const long before = allocations.load();
    EXPECT_EQ(measure_video_memory(nullptr), 64);
    EXPECT_EQ(allocations.load() - before, 0);
}

// With a host of fixed storage, everything an adapter rebuild does is the
// core's own: the whole select_adapter and the lists that follow it.
TEST(Allocation, WholeAdapterRebuildAllocatesNothingWithAFixedHost) {
    heavy_machine();
    fixed_host::install();
    open_d3d();

    const long before = allocations.load();
    EXPECT_TRUE(select_adapter());
    EXPECT_TRUE(build_depth_and_aa_lists(-1));
    const int32_t pos = platform.host->list_get_selection(resolution_control);
    EXPECT_TRUE(build_refresh_list());
    EXPECT_TRUE(build_depth_and_aa_lists(pos));
    const long made = allocations.load() - before;

    EXPECT_EQ(made, 0);
    EXPECT_EQ(fixed_host::controls[1].count, 256);
    ASSERT_GE(pos, 0);
    EXPECT_STREQ(fixed_host::list_text(1, pos), "1024 x  768");
    EXPECT_EQ(fixed_host::controls[6].count, 1 + 16);  // Default and 8 rates in each 32-bit format
    EXPECT_EQ(fixed_host::controls[2].count, 2);
    EXPECT_EQ(fixed_host::controls[3].count, 3);
    EXPECT_STREQ(fixed_host::controls[5].text, "VRAM: 64MB");
    reset_fakes();
}

// The fixed host must order and select the way the fake host does, or the
// figures above would describe other work.
TEST(Allocation, FixedHostListsMatchTheFakeHost) {
    heavy_machine();
    open_d3d();
    select_adapter();
    const auto texts = fake_list_texts(IDC_RESOLUTION);
    const auto data = fake_list_data(IDC_RESOLUTION);
    const auto selected = fake_selection(IDC_RESOLUTION);
    const auto rates = fake_list_texts(IDC_REFRESH);
    const auto rate_selected = fake_selection(IDC_REFRESH);

    fixed_host::install();
    select_adapter();
    ASSERT_EQ(fixed_host::controls[1].count, static_cast<int32_t>(texts.size()));
    for (int32_t i = 0; i < fixed_host::controls[1].count; ++i) {
        EXPECT_EQ(fixed_host::list_text(1, i), texts[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(platform.host->list_get_data(resolution_control, i), data[static_cast<size_t>(i)]) << i;
    }
    EXPECT_EQ(fixed_host::controls[1].selection, selected);
    ASSERT_EQ(fixed_host::controls[6].count, static_cast<int32_t>(rates.size()));
    for (int32_t i = 0; i < fixed_host::controls[6].count; ++i)
        EXPECT_EQ(fixed_host::list_text(6, i), rates[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(fixed_host::controls[6].selection, rate_selected);
    reset_fakes();
}

TEST(Allocation, BuildAdapterListAllocatesNothingWithAFixedHost) {
    FakeMachine& m = heavy_machine();
    fixed_host::install();

    const long before = allocations.load();
    EXPECT_TRUE(build_adapter_list());
    EXPECT_TRUE(build_adapter_list());
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_EQ(fixed_host::controls[0].count, 1);
    EXPECT_EQ(m.d3d.alive(), 1);
    reset_fakes();
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "fakes.h"
#include "probe/mode_table.h"
#include "probe/option_lists.h"
#include "probe_helpers.h"
#include "settings/settings.h"

namespace {

constexpr uint32_t F21 = FORMAT_A8R8G8B8;
constexpr uint32_t F22 = FORMAT_X8R8G8B8;
constexpr uint32_t F23 = FORMAT_R5G6B5;
constexpr uint32_t F24 = FORMAT_X1R5G5B5;

struct ExpectedEntry {
    uint32_t width;
    uint32_t height;
    uint32_t caps;
};

using Support = std::tuple<uint32_t, int32_t, uint32_t>;  // format, windowed, samples

struct FormatMixRow {
    const char* name;
    std::vector<DisplayMode> modes;
    std::vector<Support> supported;
    std::vector<ExpectedEntry> entries;
};

const std::vector<FormatMixRow>& format_mix_rows() {
    static const std::vector<FormatMixRow> rows = {
        {"sixteen_then_thirty_two_probes_with_sixteen",
         {mode(640, 480, F23), mode(640, 480, F22), mode(800, 600, F23)},
         {{F23, 1, 2}, {F23, 0, 4}, {F22, 1, 4}, {F22, 0, 2}},
         {{640, 480, 0x01 | 0x02 | 0x04 | 0x20}, {800, 600, 0x01 | 0x04 | 0x20}}},
        {"thirty_two_then_sixteen_probes_with_thirty_two",
         {mode(640, 480, F22), mode(640, 480, F23)},
         {{F23, 1, 2}, {F23, 0, 4}, {F22, 1, 4}, {F22, 0, 2}},
         {{640, 480, 0x01 | 0x02 | 0x08 | 0x10}}},
        {"formats_21_then_22_one_depth_bit_bits_of_21",
         {mode(1024, 768, F21), mode(1024, 768, F22)},
         {{F21, 1, 4}},
         {{1024, 768, 0x02 | 0x08}}},
        {"formats_22_then_21_bits_of_22",
         {mode(1024, 768, F22), mode(1024, 768, F21)},
         {{F21, 1, 4}},
         {{1024, 768, 0x02}}},
        {"formats_24_then_23",
         {mode(800, 600, F24), mode(800, 600, F23)},
         {{F23, 0, 2}, {F24, 0, 4}, {F24, 1, 2}},
         {{800, 600, 0x01 | 0x04 | 0x20}}},
        {"rejected_size_adds_no_depth_bit",
         {mode(640, 480, F23), mode(1280, 1024, F22)},
         {},
         {{640, 480, 0x01}}},
        {"other_formats_are_skipped",
         {mode(640, 480, 20), mode(640, 480, 25), mode(800, 600, 0), mode(800, 600, F24)},
         {{20, 1, 2}, {25, 1, 2}},
         {{800, 600, 0x01}}},
        {"all_four_bits_in_probe_order",
         {mode(1600, 1200, F21)},
         {{F21, 1, 2}, {F21, 1, 4}, {F21, 0, 2}, {F21, 0, 4}},
         {{1600, 1200, 0x3E}}},
        {"windowed_only",
         {mode(1600, 1200, F21)},
         {{F21, 1, 2}, {F21, 1, 4}},
         {{1600, 1200, 0x0E}}},
        {"full_screen_only",
         {mode(1600, 1200, F21)},
         {{F21, 0, 2}, {F21, 0, 4}},
         {{1600, 1200, 0x32}}},
    };
    return rows;
}

class ModeTableFormats : public ::testing::TestWithParam<FormatMixRow> {};

TEST_P(ModeTableFormats, DepthBitsJoinAndMultisampleBitsComeFromTheFirstFormat) {
    FakeMachine& m = probe_machine();
    FakeAdapter& a = add_adapter(m, GetParam().modes);
    for (const Support& s : GetParam().supported) a.multisample[s] = true;
    open_d3d();

    const int32_t count = build_mode_table();

    ASSERT_EQ(count, static_cast<int32_t>(GetParam().entries.size()));
    for (int32_t i = 0; i < count; ++i) {
        const ExpectedEntry& e = GetParam().entries[static_cast<size_t>(i)];
        EXPECT_EQ(mode_table[i].width, e.width) << i;
        EXPECT_EQ(mode_table[i].height, e.height) << i;
        EXPECT_EQ(mode_table[i].caps, e.caps) << i;
    }
    EXPECT_EQ(m.d3d.multisample_calls, 4 * count);
}

INSTANTIATE_TEST_SUITE_P(Table, ModeTableFormats, ::testing::ValuesIn(format_mix_rows()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ModeTable, ProbesAreMadeInOrderWithTheModesFormatOnTheHalDevice) {
    FakeMachine& m = probe_machine();
    add_adapter(m);
    add_adapter(m, {mode(640, 480, F24), mode(640, 480, F22)});
    settings.adapter = 1;
    open_d3d();

    ASSERT_EQ(build_mode_table(), 1);
    using P = std::tuple<uint32_t, uint32_t, int32_t, uint32_t, uint32_t>;  // adapter, format, windowed, samples, type
    const std::vector<P> expected = {P{1, F24, 1, 2, 1}, P{1, F24, 1, 4, 1}, P{1, F24, 0, 2, 1}, P{1, F24, 0, 4, 1}};
    EXPECT_EQ(m.d3d.probes, expected);
}

TEST(ModeTable, OneSizeAtFiveRatesIsOneEntryWithFourProbes) {
    FakeMachine& m = probe_machine();
    add_adapter(m, {mode(1024, 768, F22, 60), mode(1024, 768, F22, 70), mode(1024, 768, F22, 72),
                    mode(1024, 768, F22, 75), mode(1024, 768, F22, 85)});
    open_d3d();
    EXPECT_EQ(build_mode_table(), 1);
    EXPECT_EQ(m.d3d.multisample_calls, 4);
    EXPECT_EQ(m.d3d.enum_calls, 5);
}

struct AspectRow {
    uint32_t width;
    uint32_t height;
    bool usable;
};

const AspectRow kAspect[] = {
    {640, 480, true},
    {800, 600, true},
    {1024, 768, true},
    {1152, 864, true},
    {1280, 960, true},
    {1400, 1050, true},
    {1600, 1200, true},
    {1366, 1024, true},
    {1333, 1000, true},
    {1332, 1000, false},
    {1334, 1000, true},
    {1335, 1000, false},
    {1280, 1024, false},
    {1280, 720, false},
    {512, 384, false},
    {320, 240, false},
    {639, 479, false},  // 4:3 within tolerance, but narrower than 640
    {640, 0, false},
    {0, 0, false},
    {1024, 0, false},
    // The tolerance is the single-precision 0.001 around the single-precision
    // 4/3, compared in double precision: these sizes sit on that border.
    {4003, 3000, true},    // exact 4/3 and 0.001 would reject it
    {3997, 3000, false},   // exact 4/3 and 0.001 would accept it
    {10215, 7667, true},   // a single-precision quotient would reject it
    // Width is unsigned: a width with the top bit set is not "negative".
    {3221225472u, 2415919104u, true},
};

class ModeTableAspect : public ::testing::TestWithParam<AspectRow> {};

TEST_P(ModeTableAspect, OnlyFourByThreeFromSixHundredFortyIsUsable) {
    FakeMachine& m = probe_machine();
    add_adapter(m, {mode(GetParam().width, GetParam().height, F22)});
    open_d3d();
    const int32_t count = build_mode_table();
    EXPECT_EQ(count, GetParam().usable ? 1 : 0) << GetParam().width << " x " << GetParam().height;
    EXPECT_EQ(m.d3d.multisample_calls, GetParam().usable ? 4 : 0);
}

INSTANTIATE_TEST_SUITE_P(Table, ModeTableAspect, ::testing::ValuesIn(kAspect));

std::vector<DisplayMode> distinct_sizes(int n, uint32_t format = F22) {
    std::vector<DisplayMode> modes;
    for (int k = 0; k < n; ++k)
        modes.push_back(mode(640 + 4 * static_cast<uint32_t>(k), 480 + 3 * static_cast<uint32_t>(k), format));
    return modes;
}

TEST(ModeTable, ThreeHundredSizesStopAtTwoHundredFiftySixWithoutLookingFurther) {
    FakeMachine& m = probe_machine();
    add_adapter(m, distinct_sizes(300));
    open_d3d();

    EXPECT_EQ(build_mode_table(), 256);
    EXPECT_EQ(m.d3d.enum_calls, 256);
    EXPECT_EQ(m.d3d.highest_mode_queried, 255u);
    EXPECT_EQ(m.d3d.multisample_calls, 1024);
    EXPECT_EQ(mode_table[255].width, 640u + 4 * 255);
    EXPECT_EQ(mode_table[255].height, 480u + 3 * 255);
}

TEST(ModeTable, AfterTheTableIsFullNotEvenADepthBitIsAdded) {
    FakeMachine& m = probe_machine();
    std::vector<DisplayMode> modes = distinct_sizes(256, F22);
    modes.push_back(mode(640, 480, F23));  // would add CAPS_16BIT to entry 0
    add_adapter(m, modes);
    open_d3d();

    EXPECT_EQ(build_mode_table(), 256);
    EXPECT_EQ(mode_table[0].caps, CAPS_32BIT);
    EXPECT_EQ(m.d3d.highest_mode_queried, 255u);
}

TEST(ModeTable, RefreshRatesAndSkippedModesDoNotCountTowardsTheLimit) {
    FakeMachine& m = probe_machine();
    std::vector<DisplayMode> modes;
    for (const DisplayMode& d : distinct_sizes(256)) {
        modes.push_back(d);
        modes.push_back(mode(d.Width, d.Height, F23, 85));  // joins the entry
        modes.push_back(mode(d.Width, d.Height + 1, F22));  // not 4:3
    }
    add_adapter(m, modes);
    open_d3d();

    EXPECT_EQ(build_mode_table(), 256);
    // The 256th size is the last mode examined; its two followers are not.
    EXPECT_EQ(m.d3d.highest_mode_queried, 255u * 3);
    EXPECT_EQ(mode_table[254].caps, CAPS_16BIT | CAPS_32BIT);
    EXPECT_EQ(mode_table[255].caps, CAPS_32BIT);
}

TEST(ModeTable, FailedQueriesAreSkipped) {
    FakeMachine& m = probe_machine();
    FakeAdapter& a = add_adapter(m, {mode(640, 480, F22), mode(800, 600, F22), mode(1024, 768, F23)});
    a.failing_modes = {0, 2};
    open_d3d();
    ASSERT_EQ(build_mode_table(), 1);
    EXPECT_EQ(table_sizes(1), (std::vector<Size>{{800, 600}}));
    EXPECT_EQ(m.d3d.enum_calls, 3);
}

TEST(ModeTable, FirstOccurrenceOrderIsKept) {
    FakeMachine& m = probe_machine();
    add_adapter(m, {mode(1024, 768, F22), mode(640, 480, F22), mode(1024, 768, F23), mode(800, 600, F23),
                    mode(640, 480, F23)});
    open_d3d();
    ASSERT_EQ(build_mode_table(), 3);
    EXPECT_EQ(table_sizes(3), (std::vector<Size>{{1024, 768}, {640, 480}, {800, 600}}));
}

TEST(ModeTable, EachBuildStartsAgainAndLeavesLaterPositionsAlone) {
    FakeMachine& m = probe_machine();
    add_adapter(m, {mode(640, 480, F22), mode(800, 600, F22), mode(1024, 768, F22)});
    add_adapter(m, {mode(1600, 1200, F23)});
    open_d3d();
    ASSERT_EQ(build_mode_table(), 3);
    settings.adapter = 1;
    ASSERT_EQ(build_mode_table(), 1);
    EXPECT_EQ(mode_table[0].width, 1600u);
    EXPECT_EQ(mode_table[0].caps, CAPS_16BIT);
    // Beyond the count: what the earlier build left.
    EXPECT_EQ(mode_table[1].width, 800u);
    EXPECT_EQ(mode_table[2].width, 1024u);
}

TEST(ModeTable, NoModesOrNoSuchAdapterGiveAnEmptyTable) {
    FakeMachine& m = probe_machine();
    add_adapter(m);
    open_d3d();
    EXPECT_EQ(build_mode_table(), 0);
    settings.adapter = 7;
    EXPECT_EQ(build_mode_table(), 0);
    EXPECT_EQ(m.d3d.enum_calls, 0);
}

TEST(ModeTable, WithoutDirect3DTheTableIsEmpty) {
    FakeMachine& m = probe_machine();
    add_adapter(m, {mode(640, 480, F22)});
    EXPECT_EQ(build_mode_table(), 0);
    EXPECT_EQ(m.d3d.enum_calls, 0);
}

// The stored ordinal is a signed byte: 200 reaches the platform as -56.
std::vector<uint32_t> mode_count_ordinals;
uint32_t recording_mode_count(D3DObject*, uint32_t adapter) {
    mode_count_ordinals.push_back(adapter);
    return 0;
}

TEST(ModeTable, AdapterIsReadAsASignedByte) {
    FakeMachine& m = probe_machine();
    add_adapter(m, {mode(640, 480, F22)});
    Direct3DApi api = *platform.d3d8;
    api.get_adapter_mode_count = recording_mode_count;
    platform.d3d8 = &api;
    open_d3d();
    mode_count_ordinals.clear();

    settings.adapter = 200;
    EXPECT_EQ(build_mode_table(), 0);
    build_refresh_list();
    settings.adapter = 127;
    build_mode_table();
    build_refresh_list();
    const auto minus_56 = static_cast<uint32_t>(-56);
    EXPECT_EQ(mode_count_ordinals, (std::vector<uint32_t>{minus_56, minus_56, 127u, 127u}));
    (void)m;
    reset_fakes();
}

// ---------------------------------------------------------------- resolution list

TEST(ResolutionList, TextsArePaddedToFourDigits) {
    FakeMachine& m = probe_machine();
    add_adapter(m, {mode(800, 600, F22), mode(1024, 768, F22), mode(10000, 7500, F22)});
    open_d3d();
    fill_resolution_list(build_mode_table());
    const auto texts = fake_list_texts(IDC_RESOLUTION);
    // Sorted by text: a blank orders before a digit, and a five-digit width
    // is no longer in numeric order.
    EXPECT_EQ(texts, (std::vector<std::string>{" 800 x  600", "10000 x 7500", "1024 x  768"}));
}

struct OrderRow {
    const char* name;
    std::vector<Size> enumerated;
    Size record;
    std::vector<std::string> texts;   // list order
    std::vector<int32_t> table_index;  // entry each list item points at
    int32_t selected;                  // list position, -1 none
};

const std::vector<OrderRow>& order_rows() {
    static const std::vector<OrderRow> rows = {
        {"selected_first_then_pushed_back",
         {{1024, 768}, {640, 480}, {800, 600}},
         {1024, 768},
         {" 640 x  480", " 800 x  600", "1024 x  768"},
         {1, 2, 0},
         2},
        {"selected_in_the_middle",
         {{1024, 768}, {640, 480}, {800, 600}},
         {800, 600},
         {" 640 x  480", " 800 x  600", "1024 x  768"},
         {1, 2, 0},
         1},
        {"selected_last_added_first_in_list",
         {{1600, 1200}, {1024, 768}, {640, 480}},
         {640, 480},
         {" 640 x  480", "1024 x  768", "1600 x 1200"},
         {2, 1, 0},
         0},
        {"same_width_orders_by_height",
         {{4000, 3001}, {1280, 960}, {4000, 2999}, {4000, 3000}},
         {4000, 3000},
         {"1280 x  960", "4000 x 2999", "4000 x 3000", "4000 x 3001"},
         {1, 2, 3, 0},
         2},
        {"record_size_not_listed",
         {{1024, 768}, {640, 480}},
         {1280, 1024},
         {" 640 x  480", "1024 x  768"},
         {1, 0},
         -1},
    };
    return rows;
}

class ResolutionListOrder : public ::testing::TestWithParam<OrderRow> {};

TEST_P(ResolutionListOrder, ListIsSortedAndEachItemPointsAtItsEntry) {
    FakeMachine& m = probe_machine();
    std::vector<DisplayMode> modes;
    for (const Size& s : GetParam().enumerated) modes.push_back(mode(s.width, s.height, F22));
    add_adapter(m, modes);
    settings.width = static_cast<int32_t>(GetParam().record.width);
    settings.height = static_cast<int32_t>(GetParam().record.height);
    const auto before = settings_bytes();
    open_d3d();

    const int32_t count = build_mode_table();
    ASSERT_EQ(count, static_cast<int32_t>(GetParam().enumerated.size()));
    EXPECT_EQ(table_sizes(count), GetParam().enumerated);  // the table keeps enumeration order
    fill_resolution_list(count);

    EXPECT_EQ(fake_list_texts(IDC_RESOLUTION), GetParam().texts);
    std::vector<intptr_t> expected_data;
    for (int32_t i : GetParam().table_index) expected_data.push_back(entry_address(i));
    EXPECT_EQ(fake_list_data(IDC_RESOLUTION), expected_data);
    EXPECT_EQ(fake_selection(IDC_RESOLUTION), GetParam().selected);
    EXPECT_EQ(settings_bytes(), before);  // the list never writes the record
}

INSTANTIATE_TEST_SUITE_P(Table, ResolutionListOrder, ::testing::ValuesIn(order_rows()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ResolutionList, ItemDataAreFullAddresses) {
    FakeMachine& m = probe_machine();
    add_adapter(m, {mode(640, 480, F22)});
    open_d3d();
    fill_resolution_list(build_mode_table());
    ASSERT_EQ(fake_list_data(IDC_RESOLUTION).size(), 1u);
    const auto* entry = reinterpret_cast<const ModeEntry*>(fake_list_data(IDC_RESOLUTION)[0]);
    EXPECT_EQ(entry, &mode_table[0]);
    EXPECT_EQ(entry->width, 640u);
}

TEST(ResolutionList, IsEmptiedEvenWhenThereIsNothingToShow) {
    FakeMachine& m = probe_machine();
    add_adapter(m, {mode(640, 480, F22)});
    open_d3d();
    fill_resolution_list(build_mode_table());
    ASSERT_EQ(fake_list_texts(IDC_RESOLUTION).size(), 1u);
    fill_resolution_list(0);
    EXPECT_TRUE(fake_list_texts(IDC_RESOLUTION).empty());
    EXPECT_EQ(fake_selection(IDC_RESOLUTION), -1);
}

TEST(ResolutionList, CountIsKeptWithinTheTable) {
    FakeMachine& m = probe_machine();
    add_adapter(m);
    fill_resolution_list(-3);
    EXPECT_TRUE(fake_list_texts(IDC_RESOLUTION).empty());
    fill_resolution_list(100000);
    EXPECT_EQ(fake_list_texts(IDC_RESOLUTION).size(), 256u);
    (void)m;
}

TEST(ResolutionList, WithoutItsControlNothingHappens) {
    FakeMachine& m = probe_machine();
    add_adapter(m, {mode(640, 480, F22)});
    open_d3d();
    const int32_t count = build_mode_table();
    resolution_control = nullptr;
    fill_resolution_list(count);
    EXPECT_TRUE(fake_list_texts(IDC_RESOLUTION).empty());
}

}  // namespace

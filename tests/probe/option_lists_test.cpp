#include <gtest/gtest.h>

#include <cstdint>
#include <string>
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

using Texts = std::vector<std::string>;

// ---------------------------------------------------------------- refresh rates

struct RefreshRow {
    const char* name;
    std::vector<DisplayMode> modes;
    int32_t width, height, depth, rate;
    Texts texts;
    std::vector<intptr_t> data;
    int32_t selected;
    int32_t rate_after;
};

const std::vector<DisplayMode> kXga = {mode(1024, 768, F22, 60), mode(1024, 768, F22, 75), mode(1024, 768, F22, 85),
                                       mode(1024, 768, F23, 60)};

const std::vector<RefreshRow>& refresh_rows() {
    static const std::vector<RefreshRow> rows = {
        {"offered_rate_is_selected", kXga, 1024, 768, 32, 75,
         {"Default", "60 Hz", "75 Hz", "85 Hz"}, {0, 60, 75, 85}, 2, 75},
        {"missing_rate_falls_back_to_default", kXga, 1024, 768, 32, 100,
         {"Default", "60 Hz", "75 Hz", "85 Hz"}, {0, 60, 75, 85}, 0, 0},
        {"other_depth_only_its_own_rates", kXga, 1024, 768, 16, 75, {"Default", "60 Hz"}, {0, 60}, 0, 0},
        {"other_depth_rate_offered", kXga, 1024, 768, 16, 60, {"Default", "60 Hz"}, {0, 60}, 1, 60},
        {"default_rate_stays_default", kXga, 1024, 768, 32, 0,
         {"Default", "60 Hz", "75 Hz", "85 Hz"}, {0, 60, 75, 85}, 0, 0},
        {"equal_rates_are_not_merged_later_wins",
         {mode(800, 600, F21, 60), mode(800, 600, F22, 60)}, 800, 600, 32, 60,
         {"Default", "60 Hz", "60 Hz"}, {0, 60, 60}, 2, 60},
        {"rate_zero_gives_no_item",
         {mode(800, 600, F22, 0), mode(800, 600, F22, 72)}, 800, 600, 32, 72,
         {"Default", "72 Hz"}, {0, 72}, 1, 72},
        {"other_sizes_and_formats_are_left_out",
         {mode(800, 600, F22, 60), mode(1024, 768, F22, 70), mode(1024, 600, F22, 71), mode(800, 768, F22, 72),
          mode(1024, 768, 20, 73), mode(1024, 768, 25, 74), mode(1024, 768, F24, 75), mode(1024, 768, F21, 76)},
         1024, 768, 32, 76, {"Default", "70 Hz", "76 Hz"}, {0, 70, 76}, 2, 76},
        {"sixteen_bit_formats_24_and_23",
         {mode(640, 480, F24, 60), mode(640, 480, F23, 85), mode(640, 480, F22, 100)}, 640, 480, 16, 85,
         {"Default", "60 Hz", "85 Hz"}, {0, 60, 85}, 2, 85},
        {"size_the_table_rejects_still_lists_rates",
         {mode(1280, 1024, F22, 60), mode(1280, 1024, F22, 75)}, 1280, 1024, 32, 75,
         {"Default", "60 Hz", "75 Hz"}, {0, 60, 75}, 2, 75},
        {"no_modes", {}, 1024, 768, 32, 60, {"Default"}, {0}, 0, 0},
        {"high_rate", {mode(640, 480, F22, 360)}, 640, 480, 32, 360, {"Default", "360 Hz"}, {0, 360}, 1, 360},
        {"odd_depth_matches_nothing", kXga, 1024, 768, 24, 60, {"Default"}, {0}, 0, 0},
    };
    return rows;
}

class RefreshList : public ::testing::TestWithParam<RefreshRow> {};

TEST_P(RefreshList, ListsTheRatesOfTheRecordsSizeAndDepth) {
    const RefreshRow& r = GetParam();
    FakeMachine& m = probe_machine();
    add_adapter(m, r.modes);
    settings.width = r.width;
    settings.height = r.height;
    settings.bit_depth = r.depth;
    settings.refresh_rate = r.rate;
    open_d3d();

    EXPECT_TRUE(build_refresh_list());
    EXPECT_EQ(fake_list_texts(IDC_REFRESH), r.texts);
    EXPECT_EQ(fake_list_data(IDC_REFRESH), r.data);
    EXPECT_EQ(fake_selection(IDC_REFRESH), r.selected);
    EXPECT_EQ(static_cast<int32_t>(settings.refresh_rate), r.rate_after);
    EXPECT_EQ(static_cast<int32_t>(settings.bit_depth), r.depth);
    EXPECT_EQ(static_cast<int32_t>(settings.width), r.width);
}

INSTANTIATE_TEST_SUITE_P(Table, RefreshList, ::testing::ValuesIn(refresh_rows()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(RefreshListEdges, FailedQueriesAreSkipped) {
    FakeMachine& m = probe_machine();
    FakeAdapter& a = add_adapter(m, kXga);
    a.failing_modes = {1};
    settings.refresh_rate = 75;
    open_d3d();
    build_refresh_list();
    EXPECT_EQ(fake_list_texts(IDC_REFRESH), (Texts{"Default", "60 Hz", "85 Hz"}));
    EXPECT_EQ(fake_selection(IDC_REFRESH), 0);
    EXPECT_EQ(static_cast<int32_t>(settings.refresh_rate), 0);
}

TEST(RefreshListEdges, UsesTheCurrentAdapter) {
    FakeMachine& m = probe_machine();
    add_adapter(m, {mode(1024, 768, F22, 60)});
    add_adapter(m, {mode(1024, 768, F22, 100)});
    settings.adapter = 1;
    settings.refresh_rate = 100;
    open_d3d();
    build_refresh_list();
    EXPECT_EQ(fake_list_texts(IDC_REFRESH), (Texts{"Default", "100 Hz"}));
    EXPECT_EQ(static_cast<int32_t>(settings.refresh_rate), 100);
}

TEST(RefreshListEdges, WithoutDirect3DOnlyDefaultUnselectedAndRateKept) {
    FakeMachine& m = probe_machine();
    add_adapter(m, kXga);
    settings.refresh_rate = 75;
    fake_control(IDC_REFRESH)->items = {FakeItem{"stale", 5}};
    fake_control(IDC_REFRESH)->selection = 0;

    EXPECT_FALSE(build_refresh_list());
    EXPECT_EQ(fake_list_texts(IDC_REFRESH), (Texts{"Default"}));
    EXPECT_EQ(fake_list_data(IDC_REFRESH), (std::vector<intptr_t>{0}));
    EXPECT_EQ(fake_selection(IDC_REFRESH), -1);
    EXPECT_EQ(static_cast<int32_t>(settings.refresh_rate), 75);
    EXPECT_EQ(m.d3d.enum_calls, 0);
}

TEST(RefreshListEdges, WithoutItsControlNothingIsQueried) {
    FakeMachine& m = probe_machine();
    add_adapter(m, kXga);
    settings.refresh_rate = 100;
    refresh_control = nullptr;
    EXPECT_FALSE(build_refresh_list());  // no object yet
    open_d3d();
    EXPECT_TRUE(build_refresh_list());
    EXPECT_EQ(m.d3d.enum_calls, 0);
    EXPECT_EQ(static_cast<int32_t>(settings.refresh_rate), 100);
}

TEST(RefreshListEdges, DefaultTextComesFromTheStringTable) {
    FakeMachine& m = probe_machine();
    add_adapter(m, kXga);
    m.dialog.strings[37] = "Standard";
    open_d3d();
    build_refresh_list();
    ASSERT_FALSE(fake_list_texts(IDC_REFRESH).empty());
    EXPECT_EQ(fake_list_texts(IDC_REFRESH)[0], "Standard");
}

// ---------------------------------------------------------------- bit depth and antialiasing

// Builds a one-entry table of 1024 x 768 with the given caps and lists it.
void one_entry(uint32_t caps) {
    mode_table[0] = ModeEntry{1024, 768, caps};
    fill_resolution_list(1);
}

struct DepthRow {
    uint32_t caps;
    int32_t depth_before;
    Texts items;
    int32_t depth_after;
    std::string selected;
};

const DepthRow kDepth[] = {
    {0x01, 32, {"16"}, 16, "16"},
    {0x01, 16, {"16"}, 16, "16"},
    {0x01, 24, {"16"}, 24, "16"},
    {0x02, 16, {"32"}, 32, "32"},
    {0x02, 32, {"32"}, 32, "32"},
    {0x02, 24, {"32"}, 24, "32"},
    {0x03, 16, {"16", "32"}, 16, "16"},
    {0x03, 32, {"16", "32"}, 32, "32"},
    {0x03, 24, {"16", "32"}, 24, "32"},
    {0x03, 0, {"16", "32"}, 0, "32"},
    {0x3F, 16, {"16", "32"}, 16, "16"},
};

class DepthList : public ::testing::TestWithParam<DepthRow> {};

TEST_P(DepthList, OffersTheEntrysDepthsAndCorrectsTheRecord) {
    const DepthRow& r = GetParam();
    for (int32_t position : {-1, 0}) {
        probe_machine();
        one_entry(r.caps);
        settings.bit_depth = r.depth_before;

        EXPECT_TRUE(build_depth_and_aa_lists(position));
        EXPECT_EQ(fake_list_texts(IDC_BIT_DEPTH), r.items) << position;
        std::vector<intptr_t> data;
        for (const auto& t : r.items) data.push_back(std::stoi(t));
        EXPECT_EQ(fake_list_data(IDC_BIT_DEPTH), data) << position;
        EXPECT_EQ(static_cast<int32_t>(settings.bit_depth), r.depth_after) << position;
        EXPECT_EQ(fake_selected_text(IDC_BIT_DEPTH), r.selected) << position;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DepthList, ::testing::ValuesIn(kDepth));

enum class Bits { Both, TwoOnly, FourOnly, Neither };

struct AntialiasRow {
    uint8_t antialiasing;
    Bits bits;
    const char* selected;  // "" = nothing selected
};

// Every cell of the selection table.
const AntialiasRow kAntialias[] = {
    {0, Bits::Both, " OFF"},    {0, Bits::TwoOnly, " OFF"}, {0, Bits::FourOnly, " OFF"}, {0, Bits::Neither, " OFF"},
    {2, Bits::Both, " 2x"},     {2, Bits::TwoOnly, " 2x"},  {2, Bits::FourOnly, " OFF"}, {2, Bits::Neither, " OFF"},
    {4, Bits::Both, " 4x"},     {4, Bits::TwoOnly, " OFF"}, {4, Bits::FourOnly, " 4x"},  {4, Bits::Neither, " OFF"},
    {3, Bits::Both, ""},        {3, Bits::TwoOnly, " OFF"}, {3, Bits::FourOnly, " OFF"}, {3, Bits::Neither, " OFF"},
    {1, Bits::Both, ""},        {255, Bits::Both, ""},      {8, Bits::TwoOnly, " OFF"},
};

struct AntialiasCase {
    AntialiasRow row;
    bool fullscreen;
};

std::vector<AntialiasCase> antialias_cases() {
    std::vector<AntialiasCase> out;
    for (bool fs : {false, true})
        for (const AntialiasRow& r : kAntialias) out.push_back({r, fs});
    return out;
}

class AntialiasList : public ::testing::TestWithParam<AntialiasCase> {};

TEST_P(AntialiasList, OffersTheCurrentWindowModesLevelsAndSelectsTheRecords) {
    const AntialiasRow& r = GetParam().row;
    const bool fs = GetParam().fullscreen;
    const uint32_t ms2 = fs ? CAPS_MS2_FULLSCREEN : CAPS_MS2_WINDOWED;
    const uint32_t ms4 = fs ? CAPS_MS4_FULLSCREEN : CAPS_MS4_WINDOWED;
    const uint32_t other2 = fs ? CAPS_MS2_WINDOWED : CAPS_MS2_FULLSCREEN;
    const uint32_t other4 = fs ? CAPS_MS4_WINDOWED : CAPS_MS4_FULLSCREEN;
    uint32_t caps = CAPS_32BIT;
    Texts items = {" OFF"};
    std::vector<intptr_t> data = {0};
    // The other window mode gets the opposite bits, so reading the wrong pair shows.
    switch (r.bits) {
        case Bits::Both:
            caps |= ms2 | ms4;
            items = {" OFF", " 2x", " 4x"};
            data = {0, 2, 4};
            break;
        case Bits::TwoOnly:
            caps |= ms2 | other4;
            items = {" OFF", " 2x"};
            data = {0, 2};
            break;
        case Bits::FourOnly:
            caps |= ms4 | other2;
            items = {" OFF", " 4x"};
            data = {0, 4};
            break;
        case Bits::Neither:
            caps |= other2 | other4;
            break;
    }

    probe_machine();
    one_entry(caps);
    settings.fullscreen = fs ? 1 : 0;
    settings.antialiasing = r.antialiasing;

    EXPECT_TRUE(build_depth_and_aa_lists(-1));
    EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), items);
    EXPECT_EQ(fake_list_data(IDC_ANTIALIAS), data);
    EXPECT_EQ(fake_selected_text(IDC_ANTIALIAS), r.selected);
    EXPECT_EQ(settings.antialiasing, r.antialiasing);  // never written here
}

INSTANTIATE_TEST_SUITE_P(Table, AntialiasList, ::testing::ValuesIn(antialias_cases()));

TEST(DepthAndAntialias, FullScreenFourWithTwoSampleBitOnlyKeepsTheRecord) {
    probe_machine();
    one_entry(CAPS_32BIT | CAPS_MS2_FULLSCREEN);
    settings.fullscreen = 1;
    settings.antialiasing = 4;
    EXPECT_TRUE(build_depth_and_aa_lists(-1));
    EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), (Texts{" OFF", " 2x"}));
    EXPECT_EQ(fake_selected_text(IDC_ANTIALIAS), " OFF");
    EXPECT_EQ(settings.antialiasing, 4);
}

TEST(DepthAndAntialias, MissingRecordSizeLeavesEmptyListsAndTheRecordAlone) {
    probe_machine();
    one_entry(0x3F);
    settings.width = 1280;
    settings.height = 1024;
    settings.bit_depth = 16;
    settings.antialiasing = 2;
    fake_control(IDC_BIT_DEPTH)->items = {FakeItem{"stale", 1}};
    const auto before = settings_bytes();

    EXPECT_FALSE(build_depth_and_aa_lists(-1));
    EXPECT_TRUE(fake_list_texts(IDC_BIT_DEPTH).empty());
    EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), (Texts{" OFF"}));
    EXPECT_EQ(fake_selection(IDC_ANTIALIAS), -1);
    EXPECT_EQ(settings_bytes(), before);
}

TEST(DepthAndAntialias, EmptyResolutionListFindsNothing) {
    probe_machine();
    mode_table[0] = ModeEntry{1024, 768, 0x03};  // in the table but not listed
    EXPECT_FALSE(build_depth_and_aa_lists(-1));
    EXPECT_TRUE(fake_list_texts(IDC_BIT_DEPTH).empty());
    EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), (Texts{" OFF"}));
}

// Table order 1024 x 768, 640 x 480, 800 x 600; list order by text.
void three_entries() {
    FakeMachine& m = fake_machine();
    add_adapter(m, {mode(1024, 768, F23), mode(640, 480, F22), mode(800, 600, F22), mode(800, 600, F23)});
    m.d3d.adapters.back().multisample[{F22, 1, 2}] = true;
    open_d3d();
    fill_resolution_list(build_mode_table());
}

TEST(DepthAndAntialias, RecordSizeIsFoundWhateverTheListOrder) {
    probe_machine();
    settings.width = 640;
    settings.height = 480;
    settings.bit_depth = 16;
    three_entries();
    ASSERT_EQ(fake_list_texts(IDC_RESOLUTION), (Texts{" 640 x  480", " 800 x  600", "1024 x  768"}));

    EXPECT_TRUE(build_depth_and_aa_lists(-1));
    EXPECT_EQ(fake_list_texts(IDC_BIT_DEPTH), (Texts{"32"}));
    EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), (Texts{" OFF", " 2x"}));
    EXPECT_EQ(static_cast<int32_t>(settings.bit_depth), 32);
}

TEST(DepthAndAntialias, PositionIsAListPositionNotATableIndex) {
    probe_machine();
    settings.bit_depth = 32;
    three_entries();

    // List position 2 is 1024 x 768, table index 0: 16-bit only.
    EXPECT_TRUE(build_depth_and_aa_lists(2));
    EXPECT_EQ(fake_list_texts(IDC_BIT_DEPTH), (Texts{"16"}));
    EXPECT_EQ(static_cast<int32_t>(settings.bit_depth), 16);
    // The record's size is not looked at for a real position.
    settings.width = 1;
    EXPECT_TRUE(build_depth_and_aa_lists(1));
    EXPECT_EQ(fake_list_texts(IDC_BIT_DEPTH), (Texts{"16", "32"}));
    EXPECT_EQ(fake_selected_text(IDC_BIT_DEPTH), "16");
}

TEST(DepthAndAntialias, PositionWithoutAnEntryIsRefused) {
    probe_machine();
    three_entries();
    fake_control(IDC_RESOLUTION)->items[0].data = 0;
    fake_control(IDC_RESOLUTION)->items[1].data = entry_address(0) + 1;  // not an entry's address
    const auto before = settings_bytes();
    for (int32_t position : {0, 1, 3, -2, 1000}) {
        EXPECT_FALSE(build_depth_and_aa_lists(position)) << position;
        EXPECT_TRUE(fake_list_texts(IDC_BIT_DEPTH).empty()) << position;
        EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), (Texts{" OFF"})) << position;
    }
    EXPECT_EQ(settings_bytes(), before);
}

TEST(DepthAndAntialias, NullControlsAreSkippedButTheDepthIsStillCorrected) {
    probe_machine();
    one_entry(CAPS_16BIT | CAPS_MS2_WINDOWED);
    settings.bit_depth = 32;
    settings.antialiasing = 2;
    bit_depth_control = nullptr;
    antialias_control = nullptr;
    EXPECT_TRUE(build_depth_and_aa_lists(-1));
    EXPECT_TRUE(fake_list_texts(IDC_BIT_DEPTH).empty());
    EXPECT_TRUE(fake_list_texts(IDC_ANTIALIAS).empty());
    EXPECT_EQ(static_cast<int32_t>(settings.bit_depth), 16);
}

TEST(DepthAndAntialias, OffTextComesFromTheStringTable) {
    FakeMachine& m = probe_machine();
    m.dialog.strings[40] = " AUS";
    one_entry(CAPS_32BIT);
    build_depth_and_aa_lists(-1);
    EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), (Texts{" AUS"}));
}

TEST(DepthAndAntialias, ListsAreRebuiltFromScratch) {
    probe_machine();
    one_entry(CAPS_16BIT | CAPS_32BIT | CAPS_MS2_WINDOWED | CAPS_MS4_WINDOWED);
    build_depth_and_aa_lists(-1);
    build_depth_and_aa_lists(-1);
    EXPECT_EQ(fake_list_texts(IDC_BIT_DEPTH), (Texts{"16", "32"}));
    EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), (Texts{" OFF", " 2x", " 4x"}));
}

}  // namespace

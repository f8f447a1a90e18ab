// What the display hardware offers, as the lists show it: the video memory
// figure, the mode table and its filter, the adapter list, the texts, and
// the refresh, bit-depth and antialiasing rules.
#include <gtest/gtest.h>

#include <cmath>

#include "app/state.h"
#include "dialog/controller.h"
#include "fakes.h"
#include "probe/adapters.h"
#include "probe/mode_table.h"
#include "probe/option_lists.h"
#include "probe/video_memory.h"
#include "res/resource.h"

namespace {

using Strings = std::vector<std::string>;

// A machine with one adapter offering `modes`, the dialog's handles cached
// and the lists built as at dialog initialisation.
FakeMachine& lists_for(std::vector<DisplayMode> modes, std::map<uint32_t, uint32_t> multisample = {}) {
    FakeMachine& m = reset_fakes();
    m.adapters[0].modes = std::move(modes);
    m.adapters[0].multisample = std::move(multisample);
    cache_control_handles(fake_dialog());
    return m;
}

// The mode table alone, straight from the Direct3D object.
int32_t table_for(std::vector<DisplayMode> modes, std::map<uint32_t, uint32_t> multisample = {}) {
    reset_fakes();
    machine().adapters[0].modes = std::move(modes);
    machine().adapters[0].multisample = std::move(multisample);
    d3d = platform.d3d8->create(220);
    return build_mode_table();
}

TEST(VideoMemory, RoundsUpToAPowerOfTwoAndFailsToZero) {
    const std::pair<uint32_t, int32_t> table[] = {{0, 1},        {524288, 1},   {1048576, 1},      {31457280, 32},
                                                  {66060288, 64}, {67108864, 64}, {68157440, 128}, {4294967295u, 4096}};
    for (const auto& [bytes, mb] : table) {
        FakeMachine& m = reset_fakes();
        m.vram_bytes = bytes;
        EXPECT_EQ(measure_video_memory(nullptr), mb) << bytes;
        EXPECT_EQ(m.ddraw_alive, 0);
        EXPECT_TRUE(m.ddraw_args_ok);
    }
    for (int failing = 0; failing < 3; ++failing) {
        FakeMachine& m = reset_fakes();
        m.ddraw_create_fails = failing == 0, m.ddraw_query_fails = failing == 1, m.ddraw_no_object = failing == 2;
        EXPECT_EQ(measure_video_memory(nullptr), 0);
        EXPECT_EQ(m.ddraw_alive, 0);
    }
}

// The filter answers as |W/H - R| < T computed in double, R and T the floats
// nearest to 4/3 and 0.001, for every height up to 65535 and every width on
// either side of both bounds. (The borderline sizes themselves run in every
// build, i686 included: mode_filter_sizes_main.cpp.)
TEST(ModeTable, FilterAnswersAsTheDoubleComparisonForEverySize) {
    const double r = 1.33333337306976318359375, t = 0.001000000047497451305389404296875;
    int64_t kept = 0, mismatches = 0;
    for (uint32_t h = 2; h <= 65535; ++h) {
        const auto from = static_cast<uint32_t>(h * (r - t)) - 2, to = static_cast<uint32_t>(h * (r + t)) + 2;
        for (uint32_t w = from; w <= to; ++w) {
            const bool want = w >= 640 && std::fabs(static_cast<double>(w) / h - r) < t;
            kept += want;
            if (usable_size(w, h) != want && ++mismatches < 10) ADD_FAILURE() << w << " x " << h;
        }
        EXPECT_FALSE(usable_size(from, h) || usable_size(to, h)) << h;
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(kept, 60000);
}

TEST(ModeTable, KeepsTheFourDepthFormatsOnly) {
    const std::pair<uint32_t, uint32_t> formats[] = {{20, 0}, {21, CAPS_32BIT}, {22, CAPS_32BIT}, {23, CAPS_16BIT},
                                                     {24, CAPS_16BIT}, {25, 0}, {0, 0}};
    for (const auto& [format, caps] : formats) {
        EXPECT_EQ(table_for({mode(640, 480, format)}), caps ? 1 : 0) << format;
        if (caps) {
            EXPECT_EQ(mode_table[0].caps, caps) << format;
        }
    }
}

TEST(ModeTable, OneEntryPerSizeWithTheFirstFormatsMultisampleBits) {
    EXPECT_EQ(table_for({mode(640, 480, 23), mode(1280, 1024, 22), mode(640, 480, 22), mode(800, 600, 23)},
                        {{23, 0x14}, {22, 0x28}}),
              2);
    EXPECT_EQ(mode_table[0].width, 640u);
    EXPECT_EQ(mode_table[0].caps, 0x17u);
    EXPECT_EQ(mode_table[1].height, 600u);
    EXPECT_EQ(mode_table[1].caps, 0x15u);

    EXPECT_EQ(table_for({mode(1366, 1024, 22), mode(640, 480, 22), mode(1366, 1025, 22), mode(640, 480, 23)}), 3);
    EXPECT_EQ(table_for({mode(800, 600, 21), mode(800, 600, 22)}, {{21, 0x04}, {22, 0x3C}}), 1);
    EXPECT_EQ(mode_table[0].caps, CAPS_32BIT | CAPS_MS2_WINDOWED);

    // Refresh rates of one size are probed once; a failing query is skipped.
    EXPECT_EQ(table_for({mode(800, 600, 22, 60), mode(0xFFFFFFFF, 0, 22), mode(800, 600, 22, 75),
                         mode(800, 600, 22, 85), mode(800, 600, 22, 100), mode(800, 600, 22, 120)}),
              1);
    EXPECT_EQ(machine().multisample_probes, 4);

    std::vector<DisplayMode> many;
    for (uint32_t i = 0; i < 300; ++i) many.push_back(mode(640 + 4 * i, 480 + 3 * i, i % 2 ? 22 : 23));
    EXPECT_EQ(table_for(many), 256);
    EXPECT_EQ(machine().mode_queries, 256);  // the 257th size is never looked at
    EXPECT_EQ(mode_table[255].width, 640u + 4 * 255);
}

TEST(AdapterList, ListsWhatCanNameItselfAndBringsTheRecordIntoRange) {
    struct Case {
        uint8_t adapter;
        size_t count;
        int failing;
        std::vector<intptr_t> items;
        int32_t selection;
        uint8_t adapter_after;
    };
    const Case cases[] = {
        {1, 1, -1, {0}, 0, 0},       {200, 2, -1, {0, 1}, 0, 0}, {128, 2, -1, {0, 1}, 0, 0},
        {0, 0, -1, {}, -1, 0},       {2, 3, 1, {0, 2}, 1, 2},    {2, 3, 2, {0, 1}, 0, 2},
        {1, 2, -1, {0, 1}, 1, 1},   {1, 2, 0, {1}, 0, 1},
    };
    for (const Case& c : cases) {
        FakeMachine& m = lists_for({mode(640, 480, 22)});
        m.adapters.resize(c.count);
        if (c.failing >= 0) m.adapters[static_cast<size_t>(c.failing)].identifier_fails = true;
        settings.adapter = c.adapter;
        EXPECT_TRUE(build_adapter_list());
        std::vector<intptr_t> items;
        for (const FakeItem& item : control(IDC_ADAPTER)->items) items.push_back(item.data);
        EXPECT_EQ(items, c.items) << int{c.adapter};
        EXPECT_EQ(control(IDC_ADAPTER)->selection, c.selection) << int{c.adapter};
        EXPECT_EQ(settings.adapter, c.adapter_after) << int{c.adapter};
        EXPECT_EQ(m.d3d_sdk_seen, 220u);
    }

    // An unterminated 512-byte description is cut, never read past.
    FakeMachine& m = lists_for({});
    m.adapters[0].description = std::string(600, 'a');
    build_adapter_list();
    EXPECT_EQ(texts(IDC_ADAPTER), Strings{std::string(511, 'a')});
    EXPECT_EQ(control(IDC_DRIVER_VERSION)->text, "Driver version: 0.00.00.0000");
    EXPECT_TRUE(texts(IDC_RESOLUTION).empty());

    // Rebuilding keeps one Direct3D object; none at all fails without a list.
    EXPECT_TRUE(build_adapter_list());
    EXPECT_EQ(m.d3d_alive, 1);
    m.d3d_fails = true;
    EXPECT_FALSE(build_adapter_list());
    EXPECT_EQ(m.d3d_alive, 0);
    EXPECT_EQ(d3d, nullptr);
    reset_fakes();  // without an adapter list, only the object
    EXPECT_TRUE(build_adapter_list());
    EXPECT_EQ(machine().d3d_alive, 1);
}

TEST(AdapterList, ShowsTheDriverVersionAndTheMemoryMeasuredAtEverySelection) {
    const std::pair<uint64_t, const char*> versions[] = {
        {0x0004000500070000 | 12, "Driver version: 4.05.07.0012"},
        {0x0006000000000001, "Driver version: 6.00.00.0001"},
        {0xFFFF00630064ull << 16 | 10000, "Driver version: 65535.99.100.10000"},
    };
    for (const auto& [version, text] : versions) {
        FakeMachine& m = lists_for({});
        m.adapters.resize(2);
        m.adapters[1].driver_version = version;
        m.adapters[0].identifier_fails = true;
        settings.adapter = 1;
        build_adapter_list();
        EXPECT_EQ(control(IDC_DRIVER_VERSION)->text, text);
        EXPECT_EQ(control(IDC_VRAM)->text, "VRAM: 64MB");

        // The primary device's figure, measured again on every adapter change.
        m.vram_bytes = 300u << 20;
        settings.adapter = 0;
        select_adapter();
        EXPECT_EQ(control(IDC_DRIVER_VERSION)->text, "");
        EXPECT_EQ(control(IDC_VRAM)->text, "VRAM: 512MB");
        EXPECT_EQ(video_memory_mb, 512);
        m.ddraw_create_fails = true;
        select_adapter();
        EXPECT_EQ(control(IDC_VRAM)->text, "VRAM: 0MB");
        m.strings_fail = true;  // the label goes, never a stale text
        settings.adapter = 1;
        select_adapter();
        EXPECT_EQ(control(IDC_DRIVER_VERSION)->text, std::string(text).substr(15));
    }
}

TEST(RefreshList, OffersTheRatesOfTheRecordsSizeAndDepth) {
    struct Case {
        int32_t depth, rate;
        Strings items;
        std::string chosen;
        int32_t rate_after;
    };
    const Case cases[] = {
        {32, 75, {"Default", "60 Hz", "75 Hz", "85 Hz", "60 Hz"}, "75 Hz", 75},
        {32, 100, {"Default", "60 Hz", "75 Hz", "85 Hz", "60 Hz"}, "Default", 0},
        {16, 60, {"Default", "60 Hz"}, "60 Hz", 60},
        {32, 0, {"Default", "60 Hz", "75 Hz", "85 Hz", "60 Hz"}, "Default", 0},
    };
    for (const Case& c : cases) {
        lists_for({mode(1024, 768, 22, 60), mode(1024, 768, 22, 75), mode(1024, 768, 23, 60), mode(1024, 768, 22, 85),
                   mode(1024, 768, 22, 0), mode(800, 600, 22, 70), mode(1024, 768, 21, 60)});
        settings.bit_depth = c.depth;
        settings.refresh_rate = c.rate;
        build_adapter_list();
        EXPECT_EQ(texts(IDC_REFRESH), c.items) << c.rate;
        EXPECT_EQ(selected(IDC_REFRESH), c.chosen) << c.rate;
        EXPECT_EQ(settings.refresh_rate, c.rate_after) << c.rate;
    }
    // Equal rates in two formats of one depth: the later one is selected.
    lists_for({mode(1024, 768, 21, 60), mode(1024, 768, 22, 60)});
    settings.refresh_rate = 60;
    build_adapter_list();
    EXPECT_EQ(control(IDC_REFRESH)->selection, 2);

    // A size the table rejects still has its rates; no object, no rates.
    lists_for({mode(1280, 1024, 22, 72)});
    settings.width = 1280;
    settings.height = 1024;
    settings.refresh_rate = 72;
    build_adapter_list();
    EXPECT_EQ(selected(IDC_REFRESH), "72 Hz");
    d3d = nullptr;
    EXPECT_FALSE(build_refresh_list());
    EXPECT_EQ(texts(IDC_REFRESH), Strings{"Default"});
    EXPECT_EQ(control(IDC_REFRESH)->selection, -1);
    EXPECT_EQ(settings.refresh_rate, 72);
}

TEST(DepthList, OffersTheEntrysDepthsAndCorrectsTheRecord) {
    struct Case {
        std::vector<uint32_t> formats;
        int32_t depth;
        Strings items;
        std::string chosen;
        int32_t depth_after;
    };
    const Case cases[] = {
        {{23}, 32, {"16"}, "16", 16},         {{22}, 16, {"32"}, "32", 32},         {{23, 22}, 16, {"16", "32"}, "16", 16},
        {{22, 24}, 32, {"16", "32"}, "32", 32}, {{21, 23}, 24, {"16", "32"}, "32", 24}, {{24}, 24, {"16"}, "16", 24},
    };
    for (const Case& c : cases) {
        std::vector<DisplayMode> modes = {mode(640, 480, 21)};  // sorted first, never the record's
        for (uint32_t f : c.formats) modes.push_back(mode(1024, 768, f));
        lists_for(modes);
        settings.bit_depth = c.depth;
        build_adapter_list();
        EXPECT_TRUE(build_depth_and_aa_lists(-1));
        EXPECT_EQ(texts(IDC_BIT_DEPTH), c.items) << c.depth;
        EXPECT_EQ(selected(IDC_BIT_DEPTH), c.chosen) << c.depth;
        EXPECT_EQ(settings.bit_depth, c.depth_after) << c.depth;
    }
    // No entry of the record's size: nothing offered, nothing changed.
    lists_for({mode(800, 600, 23)});
    build_adapter_list();
    EXPECT_FALSE(build_depth_and_aa_lists(-1));
    EXPECT_TRUE(texts(IDC_BIT_DEPTH).empty());
    EXPECT_EQ(texts(IDC_ANTIALIAS), Strings{" OFF"});
    EXPECT_EQ(control(IDC_ANTIALIAS)->selection, -1);
    EXPECT_EQ(settings.bit_depth, 32);
}

TEST(AntialiasList, FollowsTheEntrysBitsOfTheCurrentWindowMode) {
    // Selected item by the record's value (rows: 0, 2, 4, 3) and the bits of
    // the window mode (columns: both, 2 only, 4 only, neither).
    const char* chosen[4][4] = {{" OFF", " OFF", " OFF", " OFF"},
                                {" 2x", " 2x", " OFF", " OFF"},
                                {" 4x", " OFF", " 4x", " OFF"},
                                {"", " OFF", " OFF", " OFF"}};
    const uint8_t values[] = {0, 2, 4, 3};
    const uint32_t bits[] = {0x3, 0x1, 0x2, 0x0};  // 2 samples, 4 samples
    for (uint8_t fullscreen = 0; fullscreen < 2; ++fullscreen)
        for (int b = 0; b < 4; ++b)
            for (int v = 0; v < 4; ++v) {
                const uint32_t mine = bits[b] << (fullscreen ? 4 : 2);
                const uint32_t other = bits[3 - b] << (fullscreen ? 2 : 4);  // the other mode's bits never count
                lists_for({mode(1024, 768, 22)}, {{22, mine | other}});
                settings.fullscreen = fullscreen;
                settings.antialiasing = values[v];
                build_adapter_list();
                build_depth_and_aa_lists(-1);
                Strings items = {" OFF"};
                if (bits[b] & 1) items.push_back(" 2x");
                if (bits[b] & 2) items.push_back(" 4x");
                const std::string label = "fullscreen " + std::to_string(fullscreen) + ", bits " +
                                          std::to_string(bits[b]) + ", value " + std::to_string(values[v]);
                EXPECT_EQ(texts(IDC_ANTIALIAS), items) << label;
                EXPECT_EQ(selected(IDC_ANTIALIAS), chosen[v][b]) << label;
                EXPECT_EQ(settings.antialiasing, values[v]) << label;
                for (const FakeItem& item : control(IDC_ANTIALIAS)->items)
                    EXPECT_EQ(item.data, item.text == " OFF" ? 0 : item.text[1] - '0');
            }
}

}  // namespace

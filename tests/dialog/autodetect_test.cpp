#include <gtest/gtest.h>

#include "app/state.h"
#include "dialog/autodetect.h"
#include "dialog_support.h"
#include "platform/winapi_values.h"
#include "probe/mode_table.h"
#include "res/resource.h"

using namespace dialog_test;

namespace {

struct TierRow {
    int32_t memory_mb;
    int32_t width;
    int32_t height;
    int32_t bit_depth;
    uint8_t triple_buffering;
    uint8_t low_detail_textures;
    uint8_t compressed_textures;
    uint8_t true_color_textures;
    uint8_t option_1011;
};

// The top tier here has no resolution list to look at: 1024 x 768.
const TierRow kTiers[] = {
    {-1, 640, 480, 16, 0, 1, 1, 0, 0},        {0, 640, 480, 16, 0, 1, 1, 0, 0},
    {1, 640, 480, 16, 0, 1, 1, 0, 0},         {8, 640, 480, 16, 0, 1, 1, 0, 0},
    {9, 800, 600, 16, 0, 1, 1, 0, 1},         {16, 800, 600, 16, 0, 1, 1, 0, 1},
    {17, 800, 600, 32, 1, 0, 1, 0, 1},        {32, 800, 600, 32, 1, 0, 1, 0, 1},
    {33, 1024, 768, 32, 1, 0, 1, 0, 1},       {64, 1024, 768, 32, 1, 0, 1, 0, 1},
    {65, 1024, 768, 32, 1, 0, 0, 1, 1},       {128, 1024, 768, 32, 1, 0, 0, 1, 1},
    {4096, 1024, 768, 32, 1, 0, 0, 1, 1},     {INT32_MAX, 1024, 768, 32, 1, 0, 0, 1, 1},
};

// A record where every field differs from what the profile writes.
SetupSettings scrambled_record() {
    SetupSettings s = default_settings();
    s.tag = 99;
    s.adapter = 3;
    s.width = 1;
    s.height = 2;
    s.bit_depth = 3;
    s.refresh_rate = 100;
    s.antialiasing = 4;
    s.multipass_rendering = 1;
    s.option_1028 = 1;
    s.fullscreen = 0;
    s.hardware_tnl = 0;
    s.vsync = 1;
    s.low_detail_textures = 7;
    s.triple_buffering = 7;
    s.option_1011 = 7;
    s.compressed_textures = 7;
    s.true_color_textures = 7;
    s.sound_disabled = 1;
    s.disable_eax = 1;
    s.suspend_when_inactive = 0;
    s.software_mixing_only = 0;
    s.speaker_config = 2;
    s.voice_chat = 1;
    return s;
}

TEST(AutodetectProfile, TierTable) {
    for (const TierRow& row : kTiers) {
        SCOPED_TRACE(row.memory_mb);
        reset_fakes();
        settings = scrambled_record();
        apply_autodetect_profile(row.memory_mb);

        EXPECT_EQ(settings.width, row.width);
        EXPECT_EQ(settings.height, row.height);
        EXPECT_EQ(settings.bit_depth, row.bit_depth);
        EXPECT_EQ(settings.triple_buffering, row.triple_buffering);
        EXPECT_EQ(settings.low_detail_textures, row.low_detail_textures);
        EXPECT_EQ(settings.compressed_textures, row.compressed_textures);
        EXPECT_EQ(settings.true_color_textures, row.true_color_textures);
        EXPECT_EQ(settings.option_1011, row.option_1011);
        EXPECT_FALSE(settings.compressed_textures && settings.true_color_textures);

        // The same in every tier.
        EXPECT_EQ(settings.multipass_rendering, 0);
        EXPECT_EQ(settings.suspend_when_inactive, 1);
        EXPECT_EQ(settings.option_1028, 0);
        EXPECT_EQ(settings.antialiasing, 0);
        EXPECT_EQ(settings.fullscreen, 1);
        EXPECT_EQ(settings.hardware_tnl, 1);
        EXPECT_EQ(settings.vsync, 0);
        EXPECT_EQ(settings.refresh_rate, 0);
        EXPECT_EQ(settings.sound_disabled, 0);
        EXPECT_EQ(settings.software_mixing_only, 1);
        EXPECT_EQ(settings.disable_eax, 0);

        // Never touched.
        EXPECT_EQ(settings.tag, 99);
        EXPECT_EQ(settings.adapter, 3);
        EXPECT_EQ(settings.speaker_config, 2);
        EXPECT_EQ(settings.voice_chat, 1);
    }
}

// ---------------------------------------------------------------- resolution_listed

// Fills the resolution list with items for the given sizes, each pointing at
// its own table entry, in the given order.
void list_sizes(const std::vector<std::pair<uint32_t, uint32_t>>& sizes) {
    resolution_control = fake_control(IDC_RESOLUTION);
    FakeControl* list = fake_control(IDC_RESOLUTION);
    list->items.clear();
    for (size_t i = 0; i < sizes.size(); ++i) {
        mode_table[i] = ModeEntry{sizes[i].first, sizes[i].second, CAPS_32BIT};
        list->items.push_back(FakeItem{"item", reinterpret_cast<intptr_t>(&mode_table[i])});
    }
}

TEST(ResolutionListed, EmptyListOrNoControlIsFalse) {
    reset_fakes();
    EXPECT_FALSE(resolution_listed(1280, 960)) << "no control";
    list_sizes({});
    EXPECT_FALSE(resolution_listed(1280, 960)) << "no items";
}

TEST(ResolutionListed, FindsTheSizeAtAnyPosition) {
    const std::vector<std::pair<uint32_t, uint32_t>> others = {{640, 480}, {800, 600}, {1024, 768}};
    for (size_t at = 0; at <= others.size(); ++at) {
        SCOPED_TRACE(at);
        reset_fakes();
        auto sizes = others;
        sizes.insert(sizes.begin() + static_cast<std::ptrdiff_t>(at), {1280, 960});
        list_sizes(sizes);
        EXPECT_TRUE(resolution_listed(1280, 960));
        EXPECT_FALSE(resolution_listed(1280, 1024));
        EXPECT_FALSE(resolution_listed(960, 1280));
    }
}

TEST(ResolutionListed, WidthAloneIsNotEnough) {
    reset_fakes();
    list_sizes({{640, 480}, {1280, 1024}, {1280, 720}});
    EXPECT_FALSE(resolution_listed(1280, 960));
}

TEST(ResolutionListed, ItemsWithoutAnEntryAreSkipped) {
    reset_fakes();
    list_sizes({{640, 480}, {1280, 960}});
    fake_control(IDC_RESOLUTION)->items.insert(fake_control(IDC_RESOLUTION)->items.begin(), FakeItem{"none", 0});
    EXPECT_TRUE(resolution_listed(1280, 960));
}

TEST(ResolutionListed, SeesTheListNotTheTable) {
    reset_fakes();
    list_sizes({{640, 480}});
    mode_table[1] = ModeEntry{1280, 960, CAPS_32BIT};  // in the table, not in the list
    EXPECT_FALSE(resolution_listed(1280, 960));
}

TEST(AutodetectProfile, TopTierTakes1280x960WhenListed) {
    const std::vector<std::vector<std::pair<uint32_t, uint32_t>>> lists = {
        {{1280, 960}, {640, 480}},
        {{640, 480}, {1280, 960}, {1024, 768}},
        {{640, 480}, {800, 600}, {1280, 960}},
    };
    for (const auto& sizes : lists) {
        reset_fakes();
        list_sizes(sizes);
        apply_autodetect_profile(128);
        EXPECT_EQ(settings.width, 1280);
        EXPECT_EQ(settings.height, 960);
    }
    // Only the top tier asks.
    reset_fakes();
    list_sizes({{1280, 960}});
    apply_autodetect_profile(64);
    EXPECT_EQ(settings.width, 1024);
}

TEST(AutodetectProfile, TopTierWith1280OfAnotherHeightStaysAt1024x768) {
    reset_fakes();
    list_sizes({{640, 480}, {1280, 1024}});
    apply_autodetect_profile(128);
    EXPECT_EQ(settings.width, 1024);
    EXPECT_EQ(settings.height, 768);
}

// ---------------------------------------------------------------- in the dialog

TEST(AutodetectInDialog, FirstStartGives1024x768ThenTheButtonGives1280x960) {
    FakeMachine& m = standard_machine(128);
    open_dialog();
    EXPECT_EQ(video_memory_mb, 128);
    EXPECT_EQ(settings.width, 1024);
    EXPECT_EQ(settings.height, 768);
    EXPECT_EQ(fake_selected_text(IDC_RESOLUTION), "1024 x  768");
    const int created_before = m.d3d.created;

    ASSERT_TRUE(fake_click(IDC_AUTODETECT));
    EXPECT_EQ(settings.width, 1280);
    EXPECT_EQ(settings.height, 960);
    EXPECT_EQ(fake_selected_text(IDC_RESOLUTION), "1280 x  960");
    EXPECT_EQ(fake_list_texts(IDC_BIT_DEPTH), (std::vector<std::string>{"32"}));
    EXPECT_EQ(m.d3d.created, created_before + 1) << "the button rebuilds the adapter list";
    EXPECT_EQ(m.d3d.alive(), 1);
    EXPECT_FALSE(m.dialog.ended);
}

TEST(AutodetectInDialog, MachineWithout1280x960StaysAt1024x768) {
    standard_machine(128, false);
    open_dialog();
    ASSERT_TRUE(fake_click(IDC_AUTODETECT));
    EXPECT_EQ(settings.width, 1024);
    EXPECT_EQ(settings.height, 768);
}

TEST(AutodetectInDialog, UsesTheFigureAlreadyHeld) {
    FakeMachine& m = standard_machine(128);
    open_dialog_with(stored_record());
    ASSERT_EQ(video_memory_mb, 128);
    // The machine now reports less; the button must not measure before the profile.
    m.ddraw.total_bytes = 8u << 20;
    ASSERT_TRUE(fake_click(IDC_AUTODETECT));
    EXPECT_EQ(settings.width, 1280);
    EXPECT_EQ(settings.true_color_textures, 1);
    // The adapter selection after the profile measured again.
    EXPECT_EQ(video_memory_mb, 8);
}

TEST(AutodetectInDialog, KeepsSpeakersAdapterAndVoiceChat) {
    FakeMachine& m = standard_machine(32);
    FakeAdapter second;
    second.description = "Second";
    add_modes(second, 800, 600, FORMAT_X8R8G8B8, {60});
    m.d3d.adapters.push_back(second);
    SetupSettings s = stored_record();
    s.voice_chat = 1;
    open_dialog_with(s);

    ASSERT_TRUE(fake_choose(IDC_SPEAKERS, 0));
    ASSERT_TRUE(fake_choose(IDC_ADAPTER, 1));
    ASSERT_TRUE(fake_click(IDC_FULLSCREEN));  // windowed
    ASSERT_TRUE(fake_click(IDC_SOUND));       // sound off
    fake_control(IDC_SOFTWARE_MIXING)->check = BST_UNCHECKED;
    settings.software_mixing_only = 0;

    ASSERT_TRUE(fake_click(IDC_AUTODETECT));
    EXPECT_EQ(settings.speaker_config, 0);
    EXPECT_EQ(settings.adapter, 1);
    EXPECT_EQ(settings.voice_chat, 1);
    EXPECT_EQ(fake_selected_text(IDC_SPEAKERS), "Stereo headphones");
    EXPECT_EQ(fake_selected_text(IDC_ADAPTER), "Second");
    EXPECT_EQ(settings.fullscreen, 1);
    EXPECT_EQ(settings.sound_disabled, 0);
    EXPECT_EQ(settings.software_mixing_only, 1);
    EXPECT_EQ(fake_control(IDC_FULLSCREEN)->check, static_cast<uint32_t>(BST_CHECKED));
    EXPECT_EQ(fake_control(IDC_SOUND)->check, static_cast<uint32_t>(BST_CHECKED));
    EXPECT_EQ(fake_control(IDC_SOFTWARE_MIXING)->check, static_cast<uint32_t>(BST_CHECKED));
    EXPECT_TRUE(fake_control(IDC_SPEAKERS)->enabled);
}

TEST(AutodetectInDialog, AnyNotificationRunsTheProfile) {
    standard_machine(8);
    open_dialog_with(stored_record());
    fake_command(IDC_AUTODETECT, 6);
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 480);
    EXPECT_EQ(settings.bit_depth, 16);
}

TEST(AutodetectInDialog, FirstStartThenExitAsks) {
    FakeMachine& m = standard_machine(64);
    open_dialog();
    m.dialog.box_answers.push_back(IDNO);
    ASSERT_TRUE(fake_click(IDCANCEL));
    ASSERT_EQ(m.dialog.boxes.size(), 1u);
    EXPECT_EQ(m.dialog.boxes[0].text, "Discard changes ?!");
    EXPECT_FALSE(m.dialog.ended);
}

TEST(AutodetectInDialog, FailedMeasurementGivesTheLowestTier) {
    FakeMachine& m = standard_machine();
    m.ddraw.create_fails = true;
    open_dialog();
    EXPECT_EQ(video_memory_mb, 0);
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 480);
    EXPECT_EQ(settings.bit_depth, 16);
    EXPECT_EQ(settings.low_detail_textures, 1);
    EXPECT_EQ(settings.option_1011, 0);
    EXPECT_EQ(fake_control(IDC_VRAM)->text, "VRAM: 0MB");
}

}  // namespace

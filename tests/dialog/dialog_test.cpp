// The dialog as a player meets it: the autodetect profile, the voice check,
// the controller's rules, the ways out, the captions and the fold, and the
// program's entry around it.
#include <gtest/gtest.h>

#include <cstring>

#include "app/state.h"
#include "dialog/autodetect.h"
#include "dialog/voice_check.h"
#include "fakes.h"
#include "platform/winapi_values.h"
#include "res/dialog_template.h"

namespace {

using Strings = std::vector<std::string>;

// Two adapters with a few 4:3 sizes, every multisample count supported.
FakeMachine& machine_with(const std::vector<DisplayMode>& modes) {
    FakeMachine& m = reset_fakes();
    m.adapters = {FakeAdapter{"First", 0, false, modes, {{22, 0x3C}, {23, 0x3C}}}, FakeAdapter{"Second", 0, false, modes, {}}};
    return m;
}
const std::vector<DisplayMode> SIZES = {mode(640, 480, 23), mode(800, 600, 22, 60), mode(800, 600, 22, 75),
                                        mode(1024, 768, 22), mode(1024, 768, 23), mode(1280, 960, 22)};

TEST(Autodetect, ChoosesATierFromVideoMemory) {
    struct Tier {
        int32_t mb, w, h, depth;
        uint8_t triple, low, compressed, true_color, option_1011;
    };
    const Tier tiers[] = {{-5, 640, 480, 16, 0, 1, 1, 0, 0},    {0, 640, 480, 16, 0, 1, 1, 0, 0},
                          {8, 640, 480, 16, 0, 1, 1, 0, 0},     {9, 800, 600, 16, 0, 1, 1, 0, 1},
                          {16, 800, 600, 16, 0, 1, 1, 0, 1},    {17, 800, 600, 32, 1, 0, 1, 0, 1},
                          {32, 800, 600, 32, 1, 0, 1, 0, 1},    {33, 1024, 768, 32, 1, 0, 1, 0, 1},
                          {64, 1024, 768, 32, 1, 0, 1, 0, 1},   {65, 1024, 768, 32, 1, 0, 0, 1, 1},
                          {4096, 1024, 768, 32, 1, 0, 0, 1, 1}};
    for (const Tier& t : tiers) {
        reset_fakes();
        std::memset(raw_bytes(&settings), 0x77, SETTINGS_SIZE);
        apply_autodetect_profile(t.mb);
        SetupSettings e;
        std::memset(raw_bytes(&e), 0x77, SETTINGS_SIZE);  // tag, adapter, speakers and voice chat stay
        e.width = t.w, e.height = t.h, e.bit_depth = t.depth, e.refresh_rate = 0;
        e.triple_buffering = t.triple, e.low_detail_textures = t.low, e.compressed_textures = t.compressed;
        e.true_color_textures = t.true_color, e.option_1011 = t.option_1011;
        e.multipass_rendering = 0, e.suspend_when_inactive = 1, e.option_1028 = 0, e.antialiasing = 0;
        e.fullscreen = 1, e.hardware_tnl = 1, e.vsync = 0, e.sound_disabled = 0, e.software_mixing_only = 1;
        e.disable_eax = 0;
        EXPECT_EQ(settings_bytes(), bytes_of(e)) << t.mb << " MB";
    }
}

TEST(VoiceCheck, KeepsVoiceChatUnlessNoObjectACancelOrAPendingWizard) {
    constexpr long RUNSETUP = 0x80150183, CANCEL = 0x80150180, PENDING = 0x80150173, FAIL = 0x80004005;
    struct Row {
        long create, query, wizard;
        bool keep;
        std::vector<uint32_t> flags;
    };
    const Row rows[] = {{FAIL, 0, 0, false, {}},           {0, 0, 0, true, {0x02}},
                        {0, 1, 0, true, {0x02}},           {0, 0x80004001, 0, true, {0x02}},
                        {0, RUNSETUP, 0, true, {0x02, 0x10}}, {0, RUNSETUP, CANCEL, false, {0x02, 0x10}},
                        {0, RUNSETUP, PENDING, false, {0x02, 0x10}}, {0, RUNSETUP, FAIL, true, {0x02, 0x10}}};
    for (const Row& r : rows) {
        FakeMachine& m = machine_with(SIZES);
        start_dialog(bytes_of(default_settings()));
        m.voice_create = r.create, m.voice_query = r.query, m.voice_wizard = r.wizard;
        const Bytes before = settings_bytes();
        control(IDC_VOICE_CHAT)->check = BST_CHECKED;
        command(IDC_VOICE_CHAT, 0);
        EXPECT_EQ(settings.voice_chat, r.keep ? 1 : 0) << std::hex << r.query << " " << r.wizard;
        EXPECT_EQ(control(IDC_VOICE_CHAT)->check, r.keep ? 1u : 0u);
        EXPECT_EQ(m.voice_flags, r.flags);
        EXPECT_EQ(m.voice_alive, 0);
        EXPECT_TRUE(m.voice_args_ok);
        Bytes after = settings_bytes();
        after[34] = 0;
        EXPECT_EQ(after, before);  // nothing else changes

        control(IDC_VOICE_CHAT)->check = BST_UNCHECKED;  // unchecking asks nothing
        command(IDC_VOICE_CHAT, 5);
        EXPECT_EQ(settings.voice_chat, 0);
        EXPECT_EQ(m.voice_flags, r.flags);
        EXPECT_FALSE(control(IDC_VOICE_CHAT)->enabled);
    }
}

TEST(Controller, TransformAndLightingExcludesMultipassAndOnlyThenRefills) {
    machine_with(SIZES);
    start_dialog(bytes_of(default_settings()));
    click(IDC_MULTIPASS);
    EXPECT_EQ(settings.multipass_rendering, 1);
    EXPECT_EQ(settings.hardware_tnl, 0);
    EXPECT_EQ(control(IDC_HW_TNL)->check, 0u);
    click(IDC_HW_TNL);
    EXPECT_EQ(settings.hardware_tnl, 1);
    EXPECT_EQ(settings.multipass_rendering, 0);
    EXPECT_EQ(control(IDC_MULTIPASS)->check, 0u);

    // With both off, a click stores its box and rebuilds nothing.
    click(IDC_HW_TNL);
    control(IDC_ANTIALIAS)->items = {{"marker", 9}};
    click(IDC_FULLSCREEN);
    EXPECT_EQ(texts(IDC_ANTIALIAS), Strings{"marker"});
    EXPECT_TRUE(control(IDC_VSYNC)->enabled);
    click(IDC_HW_TNL);
    EXPECT_EQ(texts(IDC_ANTIALIAS), (Strings{" OFF", " 2x", " 4x"}));
}

TEST(Controller, ListChoicesStoreTheChosenItemsData) {
    machine_with(SIZES);
    SetupSettings stored = default_settings();
    stored.refresh_rate = 75;
    stored.width = 800, stored.height = 600, stored.fullscreen = 1;
    start_dialog(bytes_of(stored));
    EXPECT_EQ(selected(IDC_REFRESH), "75 Hz");
    EXPECT_EQ(texts(IDC_BIT_DEPTH), Strings{"32"});  // the record's size, not the first listed (16 bits only)

    choose(IDC_RESOLUTION, 0);  // 640 x 480: 16 bits only, no 75 Hz
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.refresh_rate, 0);
    EXPECT_EQ(settings.bit_depth, 16);
    EXPECT_EQ(texts(IDC_BIT_DEPTH), Strings{"16"});
    choose(IDC_RESOLUTION, 2);
    EXPECT_EQ(settings.width, 1024);
    choose(IDC_BIT_DEPTH, 1);
    EXPECT_EQ(settings.bit_depth, 32);
    EXPECT_EQ(texts(IDC_REFRESH), (Strings{"Default", "60 Hz"}));  // still the 16-bit rates

    const Bytes before = settings_bytes();
    control(IDC_RESOLUTION)->items[0].data = 0;
    choose(IDC_RESOLUTION, 0);
    control(IDC_RESOLUTION)->items[0].data = CB_ERR;
    choose(IDC_RESOLUTION, 0);
    EXPECT_EQ(settings_bytes(), before);
}

TEST(Controller, ExitAsksAboutUnsavedChangesAndSaveStoresTheRecord) {
    FakeMachine& m = machine_with(SIZES);
    start_dialog();  // a first start: the profile is unsaved
    const Bytes profile = settings_bytes();
    m.answers = {IDNO};
    command(IDCANCEL, 0);
    ASSERT_EQ(m.boxes.size(), 1u);
    EXPECT_EQ(m.boxes[0].text, "Discard changes ?!");
    EXPECT_EQ(m.boxes[0].caption, "WARNING...");
    EXPECT_EQ(m.boxes[0].type, 0x34u);
    EXPECT_FALSE(m.ended);
    command(IDOK, 0);
    EXPECT_EQ(m.end_code, 0);
    EXPECT_EQ(*m.value, profile);

    machine_with(SIZES);
    start_dialog(profile);
    command(IDCANCEL, 0);
    EXPECT_TRUE(m.boxes.empty());
    EXPECT_EQ(m.end_code, -1);
}

TEST(Captions, EveryControlGetsItsTextAndTheFoldMovesOnlyTheBottomEdge) {
    const std::pair<int32_t, uint32_t> captions[] = {
        {1032, 1},  {1033, 2},  {1034, 3},  {1026, 4},  {2, 5},     {1, 6},     {1035, 7},  {1005, 8},  {1008, 9},
        {1021, 10}, {1024, 11}, {1036, 12}, {1007, 13}, {1012, 14}, {1020, 15}, {1037, 16}, {1022, 17}, {1017, 18},
        {1038, 20}, {1014, 21}, {1013, 22}, {1029, 23}, {1031, 24}, {1039, 25}};
    FakeMachine& m = machine_with(SIZES);
    start_dialog(bytes_of(default_settings()));
    for (const auto& [id, string] : captions) EXPECT_EQ(control(id)->text, find_template_string(string)) << id;
    EXPECT_EQ(texts(IDC_SPEAKERS), (Strings{"Stereo headphones", "Stereo speakers", "Quadraphonic speakers",
                                            "5.1 surround sound speakers", "Current Windows speaker conf."}));
    EXPECT_EQ(control(IDC_EXPERT_TOGGLE)->text, "Open expert settings...");
    EXPECT_EQ(m.rect.bottom - m.rect.top, 378 - 85);

    m.rect = {5, 7, 572, 300};  // moved by the player
    click(IDC_EXPERT_TOGGLE);
    EXPECT_EQ(control(IDC_EXPERT_TOGGLE)->text, "Close expert settings...");
    EXPECT_EQ(m.rect.left, 5);
    EXPECT_EQ(m.rect.top, 7);
    EXPECT_EQ(m.rect.bottom, 385);
    EXPECT_EQ(m.rect.right, 572);
    click(IDC_EXPERT_TOGGLE);
    EXPECT_EQ(m.rect.bottom, 300);
    EXPECT_EQ(control(IDC_EXPERT_TOGGLE)->text, "Open expert settings...");

    // A string that cannot be loaded leaves an empty caption, not a stale one.
    m.strings_fail = true;
    click(IDC_EXPERT_TOGGLE);
    EXPECT_EQ(control(IDC_EXPERT_TOGGLE)->text, "");
}

}  // namespace

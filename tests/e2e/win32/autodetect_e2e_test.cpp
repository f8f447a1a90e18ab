// The autodetect profile and the voice-chat check of setup.exe, driven from
// outside under Wine: the amount of video memory comes from Wine's per-program
// VideoMemorySize setting, the controls are read with real messages and the
// stored 35 bytes are checked field by field.
#include "driver.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace e2e;

// ---------------------------------------------------------------- video memory

// Wine reports its VideoMemorySize setting less the frame buffer of the
// screen (32 bits a pixel), in bytes; the program then rounds whole megabytes
// up to a power of two. Adding the frame buffer, rounded up to whole
// megabytes, to a power of two makes the program show exactly that power.
std::string setting_for(int wanted_mb) {
    const long long pixels =
        static_cast<long long>(GetSystemMetrics(SM_CXSCREEN)) * static_cast<long long>(GetSystemMetrics(SM_CYSCREEN));
    const long long frame_mb = (pixels * 4 + (1 << 20) - 1) >> 20;
    return std::to_string(wanted_mb + frame_mb);
}

// Sets (or, for 0, leaves unset) the per-program video memory for as long as
// it lives; without a setting Wine reports about 4 GB.
struct VideoMemory {
    explicit VideoMemory(int wanted_mb) {
        remove_wine_app_setting("Direct3D", "VideoMemorySize");
        if (wanted_mb > 0) {
            value = setting_for(wanted_mb);
            setting = std::make_unique<WineAppSetting>("Direct3D", "VideoMemorySize", value.c_str());
        }
    }
    ~VideoMemory() { remove_wine_app_setting("Direct3D", "VideoMemorySize"); }
    bool ok() const { return !setting || setting->ok; }

    std::string value;
    std::unique_ptr<WineAppSetting> setting;
};

// ---------------------------------------------------------------- the profile

// One row of the tier table, written out as the player should get it.
struct Tier {
    int32_t width, height, bit_depth;
    uint8_t triple_buffering, low_detail_textures, compressed_textures, true_color_textures, option_1011;
};

constexpr Tier LOWEST{640, 480, 16, 0, 1, 1, 0, 0};
constexpr Tier SMALL{800, 600, 16, 0, 1, 1, 0, 1};
constexpr Tier MEDIUM{800, 600, 32, 1, 0, 1, 0, 1};
constexpr Tier LARGE{1024, 768, 32, 1, 0, 1, 0, 1};
// More than 64 MB while 1280 x 960 is not listed.
constexpr Tier TOP_UNLISTED{1024, 768, 32, 1, 0, 0, 1, 1};
constexpr Tier TOP_LISTED{1280, 960, 32, 1, 0, 0, 1, 1};

// The record after the profile: `base` with every field the profile sets.
SetupSettings with_profile(SetupSettings s, const Tier& t) {
    s.width = t.width;
    s.height = t.height;
    s.bit_depth = t.bit_depth;
    s.refresh_rate = 0;
    s.antialiasing = 0;
    s.multipass_rendering = 0;
    s.option_1028 = 0;
    s.fullscreen = 1;
    s.hardware_tnl = 1;
    s.vsync = 0;
    s.low_detail_textures = t.low_detail_textures;
    s.triple_buffering = t.triple_buffering;
    s.option_1011 = t.option_1011;
    s.compressed_textures = t.compressed_textures;
    s.true_color_textures = t.true_color_textures;
    s.sound_disabled = 0;
    s.disable_eax = 0;
    s.suspend_when_inactive = 1;
    s.software_mixing_only = 1;
    return s;
}

// Field by field, so a failure names the field.
void expect_record(const SetupSettings& got, const SetupSettings& want) {
#define FIELD(f) EXPECT_EQ(static_cast<int32_t>(got.f), static_cast<int32_t>(want.f)) << #f
    FIELD(tag);
    FIELD(adapter);
    FIELD(width);
    FIELD(height);
    FIELD(bit_depth);
    FIELD(refresh_rate);
    FIELD(antialiasing);
    FIELD(multipass_rendering);
    FIELD(option_1028);
    FIELD(fullscreen);
    FIELD(hardware_tnl);
    FIELD(vsync);
    FIELD(low_detail_textures);
    FIELD(triple_buffering);
    FIELD(option_1011);
    FIELD(compressed_textures);
    FIELD(true_color_textures);
    FIELD(sound_disabled);
    FIELD(disable_eax);
    FIELD(suspend_when_inactive);
    FIELD(software_mixing_only);
    FIELD(speaker_config);
    FIELD(voice_chat);
#undef FIELD
    EXPECT_EQ(hex(bytes_of(got)), hex(bytes_of(want)));
}

// Sizes as "1024 x 768", whatever padding the list uses.
std::string size_text(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

std::string normalised_size(const std::string& item) {
    int w = 0, h = 0;
    if (std::sscanf(item.c_str(), "%d x %d", &w, &h) != 2) return item;
    return size_text(w, h);
}

bool listed(Program& p, int width, int height) {
    for (const std::string& item : p.list(IDC_RESOLUTION))
        if (normalised_size(item) == size_text(width, height)) return true;
    return false;
}

// The selected size, or "" when none is selected.
std::string selected_size(Program& p) {
    const int size = p.selection(IDC_RESOLUTION);
    if (size < 0) return "";
    return normalised_size(p.list(IDC_RESOLUTION).at(static_cast<size_t>(size)));
}

// The controls after the profile has run and the lists have been rebuilt.
void expect_profile_shown(Program& p, const Tier& t, int speaker, bool voice) {
    EXPECT_TRUE(p.checked(IDC_FULLSCREEN));
    EXPECT_EQ(p.checked(IDC_TRIPLE_BUFFER), t.triple_buffering == 1);
    EXPECT_FALSE(p.checked(IDC_VSYNC));
    EXPECT_TRUE(p.checked(IDC_HW_TNL));
    EXPECT_FALSE(p.checked(IDC_MULTIPASS));
    EXPECT_EQ(p.checked(IDC_TEX_LOW_DETAIL), t.low_detail_textures == 1);
    EXPECT_EQ(p.checked(IDC_TEX_COMPRESSED), t.compressed_textures == 1);
    EXPECT_EQ(p.checked(IDC_TEX_TRUE_COLOR), t.true_color_textures == 1);
    EXPECT_TRUE(p.checked(IDC_SOUND));
    EXPECT_TRUE(p.checked(IDC_SOFTWARE_MIXING));
    EXPECT_FALSE(p.checked(IDC_DISABLE_EAX));
    EXPECT_TRUE(p.checked(IDC_SUSPEND_INACTIVE));
    EXPECT_EQ(p.checked(IDC_VOICE_CHAT), voice);
    EXPECT_EQ(p.selection(IDC_SPEAKERS), speaker);
    // Full screen and sound are on: their dependent controls are enabled.
    EXPECT_TRUE(p.enabled(IDC_TRIPLE_BUFFER));
    EXPECT_TRUE(p.enabled(IDC_VSYNC));
    EXPECT_TRUE(p.enabled(IDC_SPEAKERS));
    EXPECT_TRUE(p.enabled(IDC_SOFTWARE_MIXING));
    EXPECT_TRUE(p.enabled(IDC_DISABLE_EAX));
    // Antialiasing off: " OFF" is the first entry and nothing else is chosen.
    const std::vector<std::string> levels = p.list(IDC_ANTIALIAS);
    ASSERT_FALSE(levels.empty());
    EXPECT_EQ(levels[0], " OFF");
    const int level = p.selection(IDC_ANTIALIAS);
    if (level >= 0) {
        EXPECT_EQ(levels.at(static_cast<size_t>(level)), " OFF");
    }
    // The refresh rate is the adapter's default.
    if (p.selection(IDC_REFRESH) >= 0) {
        EXPECT_EQ(p.selected_data(IDC_REFRESH), 0);
    }
    // When the tier's size is listed it is the one selected.
    if (listed(p, t.width, t.height)) {
        EXPECT_EQ(selected_size(p), size_text(t.width, t.height));
    }
}

std::string vram_text(int mb) { return "VRAM: " + std::to_string(mb) + "MB"; }

class Autodetect : public SetupExe {
protected:
    void SetUp() override {
        SetupExe::SetUp();
        remove_wine_app_setting("Direct3D", "VideoMemorySize");
    }
    void TearDown() override {
        remove_wine_app_setting("Direct3D", "VideoMemorySize");
        SetupExe::TearDown();
    }
};

// ---------------------------------------------------------------- first start

struct TierCase {
    const char* name;
    int video_memory;  // the figure shown; 4096 = no setting, Wine's own figure
    Tier tier;
};

class FirstStart : public Autodetect, public ::testing::WithParamInterface<TierCase> {};

// Each bound belongs to the lower tier; 4096 is what Wine reports unset.
const TierCase TIER_CASES[] = {
    {"vram_1", 1, LOWEST},      {"vram_8", 8, LOWEST},      {"vram_16", 16, SMALL},
    {"vram_32", 32, MEDIUM},    {"vram_64", 64, LARGE},     {"vram_128", 128, TOP_UNLISTED},
    {"unset_4096", 4096, TOP_UNLISTED},
};

TEST_P(FirstStart, ShowsTheTiersProfileAndSaveAndExitStoresIt) {
    const TierCase& c = GetParam();
    VideoMemory memory(c.video_memory == 4096 ? 0 : c.video_memory);
    ASSERT_TRUE(memory.ok());
    ASSERT_TRUE(stored_value().empty());

    Program p;
    START_READY(p);
    ASSERT_EQ(p.text(IDC_VRAM), vram_text(c.video_memory)) << "VideoMemorySize " << memory.value;
    // The profile ran before any list was filled: even when the adapter lists
    // 1280 x 960, the top tier starts with 1024 x 768.
    expect_profile_shown(p, c.tier, 4, false);
    // The tier's size is not among Wine's modes here: no size and no depth is
    // selected, so the record keeps the tier's size and depth.
    if (!listed(p, c.tier.width, c.tier.height)) {
        EXPECT_EQ(p.selection(IDC_RESOLUTION), -1);
        EXPECT_TRUE(p.list(IDC_BIT_DEPTH).empty());
    }

    p.post_click(IDOK);
    ASSERT_EQ(p.wait_exit(), 0u);
    const std::vector<uint8_t> stored = stored_value();
    ASSERT_EQ(stored.size(), SETTINGS_SIZE);
    // Untouched by the profile: tag, adapter, speakers and voice chat keep the defaults.
    expect_record(as_record(stored), with_profile(default_settings(), c.tier));
}

INSTANTIATE_TEST_SUITE_P(Tiers, FirstStart, ::testing::ValuesIn(TIER_CASES),
                         [](const ::testing::TestParamInfo<TierCase>& row) { return std::string(row.param.name); });

TEST_F(Autodetect, ExitRightAfterAFirstStartAsksAndYesStoresNothing) {
    VideoMemory memory(8);
    ASSERT_TRUE(memory.ok());
    Program p;
    START_READY(p);
    EXPECT_EQ(p.text(IDC_VRAM), vram_text(8));

    p.post_click(IDCANCEL);
    HWND box = p.wait_for_box("WARNING...");
    ASSERT_NE(box, nullptr) << "the profile differs from the defaults: Exit must ask";
    EXPECT_EQ(box_message(box), "Discard changes ?!");
    // No keeps the dialog as it was.
    PostMessageA(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
    ASSERT_TRUE(p.wait_gone(box));
    EXPECT_EQ(send(p.dialog, WM_NULL), 0);
    EXPECT_TRUE(p.alive());
    expect_profile_shown(p, LOWEST, 4, false);

    p.post_click(IDCANCEL);
    ASSERT_TRUE(p.answer_box("WARNING...", IDYES));
    EXPECT_EQ(p.wait_exit(), 0u);
    EXPECT_TRUE(stored_value().empty());
    EXPECT_TRUE(stored_value(KEY_WOW64_64KEY).empty());
}

// ---------------------------------------------------------------- the button

// A stored record far from every profile, with a tag other than 12, a chosen
// speaker configuration and voice chat on.
SetupSettings stored_start() {
    SetupSettings s = default_settings();
    s.tag = 0x2A;
    s.width = 800;
    s.height = 600;
    s.bit_depth = 16;
    s.antialiasing = 2;
    s.fullscreen = 1;
    s.speaker_config = 1;
    s.voice_chat = 1;
    return s;
}

struct ButtonCase {
    const char* name;
    int video_memory;
    Tier tier;
};

class AutodetectButton : public Autodetect, public ::testing::WithParamInterface<ButtonCase> {};

const ButtonCase BUTTON_CASES[] = {
    {"vram_8", 8, LOWEST},
    {"vram_32", 32, MEDIUM},
    {"unset_4096", 4096, TOP_UNLISTED},
};

TEST_P(AutodetectButton, RestoresTheProfileAndKeepsSpeakersAdapterVoiceAndTag) {
    const ButtonCase& c = GetParam();
    VideoMemory memory(c.video_memory == 4096 ? 0 : c.video_memory);
    ASSERT_TRUE(memory.ok());
    const SetupSettings start = stored_start();
    store_value(bytes_of(start));

    Program p;
    START_READY(p);
    EXPECT_EQ(p.text(IDC_VRAM), vram_text(c.video_memory));
    // A stored record was accepted: no profile at start.
    EXPECT_EQ(p.selection(IDC_SPEAKERS), 1);
    EXPECT_TRUE(p.checked(IDC_VOICE_CHAT));
    const int adapter = p.selection(IDC_ADAPTER);
    ASSERT_GE(adapter, 0);

    // The player changes whatever the profile sets. Full screen goes last:
    // it disables triple buffering and vertical synchronization.
    p.click(IDC_TRIPLE_BUFFER);
    p.click(IDC_VSYNC);
    p.click(IDC_TEX_LOW_DETAIL);
    if (!c.tier.true_color_textures) p.click(IDC_TEX_TRUE_COLOR);
    else if (!p.checked(IDC_TEX_COMPRESSED)) p.click(IDC_TEX_COMPRESSED);
    p.click(IDC_DISABLE_EAX);
    p.click(IDC_SOFTWARE_MIXING);
    p.click(IDC_SUSPEND_INACTIVE);
    p.click(IDC_EXPERT_TOGGLE);
    p.click(IDC_MULTIPASS);
    p.choose(IDC_SPEAKERS, 3);
    p.click(IDC_SOUND);
    p.click(IDC_FULLSCREEN);

    // The clicks took: otherwise the profile would have nothing to restore.
    EXPECT_FALSE(p.checked(IDC_TRIPLE_BUFFER));
    EXPECT_TRUE(p.checked(IDC_VSYNC));
    EXPECT_TRUE(p.checked(IDC_TEX_LOW_DETAIL));
    EXPECT_NE(p.checked(IDC_TEX_TRUE_COLOR), c.tier.true_color_textures == 1);
    EXPECT_TRUE(p.checked(IDC_DISABLE_EAX));
    EXPECT_FALSE(p.checked(IDC_SOFTWARE_MIXING));
    EXPECT_FALSE(p.checked(IDC_SUSPEND_INACTIVE));
    EXPECT_TRUE(p.checked(IDC_MULTIPASS));
    EXPECT_FALSE(p.checked(IDC_HW_TNL));
    EXPECT_EQ(p.selection(IDC_SPEAKERS), 3);
    EXPECT_FALSE(p.checked(IDC_SOUND));
    EXPECT_FALSE(p.checked(IDC_FULLSCREEN));
    EXPECT_FALSE(p.enabled(IDC_TRIPLE_BUFFER));
    EXPECT_FALSE(p.enabled(IDC_SPEAKERS));

    // The top tier takes 1280 x 960 when the list holds it (not so on
    // Wine's plain desktop, which offers only the screen's own size).
    const Tier tier = c.video_memory > 64 && listed(p, 1280, 960) ? TOP_LISTED : c.tier;
    p.click(IDC_AUTODETECT);
    ASSERT_TRUE(p.alive());
    ASSERT_EQ(window_of(p.pi.dwProcessId, "Setup error"), nullptr);
    // Not measured again: the same figure.
    EXPECT_EQ(p.text(IDC_VRAM), vram_text(c.video_memory));
    EXPECT_EQ(p.selection(IDC_ADAPTER), adapter);
    expect_profile_shown(p, tier, 3, true);

    p.post_click(IDOK);
    ASSERT_EQ(p.wait_exit(), 0u);
    const std::vector<uint8_t> stored = stored_value();
    ASSERT_EQ(stored.size(), SETTINGS_SIZE);
    SetupSettings want = with_profile(start, tier);
    want.speaker_config = 3;
    expect_record(as_record(stored), want);
}

INSTANTIATE_TEST_SUITE_P(Tiers, AutodetectButton, ::testing::ValuesIn(BUTTON_CASES),
                         [](const ::testing::TestParamInfo<ButtonCase>& row) { return std::string(row.param.name); });

// ---------------------------------------------------------------- voice chat

// Wine has the voice test object but its check answers E_NOTIMPL, an error
// that says nothing about the setup: voice chat stays on.
TEST_F(Autodetect, VoiceChatCheckedStaysOnWithWinesVoiceTestAndIsStored) {
    if (!running_on_wine()) GTEST_SKIP() << "relies on Wine's answer of the voice test";
    SetupSettings start = default_settings();
    start.fullscreen = 1;
    store_value(bytes_of(start));

    Program p;
    START_READY(p);
    ASSERT_FALSE(p.checked(IDC_VOICE_CHAT));
    EXPECT_FALSE(p.enabled(IDC_VOICE_CHAT)) << "the player cannot click it";
    // What the dialog shows, with voice chat on; nothing else may change.
    SetupSettings want = record_shown(p, start);
    want.voice_chat = 1;

    send(p.item(IDC_VOICE_CHAT), BM_SETCHECK, BST_CHECKED);
    p.command(IDC_VOICE_CHAT, BN_CLICKED);
    EXPECT_TRUE(p.alive());
    EXPECT_TRUE(p.checked(IDC_VOICE_CHAT));
    EXPECT_FALSE(p.enabled(IDC_VOICE_CHAT));

    p.post_click(IDOK);
    ASSERT_EQ(p.wait_exit(), 0u);
    const std::vector<uint8_t> stored = stored_value();
    ASSERT_EQ(stored.size(), SETTINGS_SIZE);
    expect_record(as_record(stored), want);
}

TEST_F(Autodetect, VoiceChatUncheckedIsStoredOff) {
    SetupSettings start = default_settings();
    start.fullscreen = 1;
    start.voice_chat = 1;
    store_value(bytes_of(start));

    Program p;
    START_READY(p);
    ASSERT_TRUE(p.checked(IDC_VOICE_CHAT));
    SetupSettings want = record_shown(p, start);
    want.voice_chat = 0;

    send(p.item(IDC_VOICE_CHAT), BM_SETCHECK, BST_UNCHECKED);
    p.command(IDC_VOICE_CHAT, BN_CLICKED);
    EXPECT_FALSE(p.checked(IDC_VOICE_CHAT));

    p.post_click(IDOK);
    ASSERT_EQ(p.wait_exit(), 0u);
    const std::vector<uint8_t> stored = stored_value();
    ASSERT_EQ(stored.size(), SETTINGS_SIZE);
    expect_record(as_record(stored), want);
}

// ---------------------------------------------------------------- 1280 x 960 listed

// A Wine virtual desktop offers the usual sizes up to its own, 1280 x 960
// among them; the desktop gets its size from
// HKCU\Software\Wine\Explorer\Desktops\<name> when it is first used.
constexpr const char* DESKTOPS_KEY = "Software\\Wine\\Explorer\\Desktops";

struct VirtualDesktop {
    explicit VirtualDesktop(const char* name_) : name(name_) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, DESKTOPS_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            const char size[] = "1280x960";
            sized = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(size), sizeof size) ==
                    ERROR_SUCCESS;
            RegCloseKey(key);
        }
        desktop = CreateDesktopA(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    }
    ~VirtualDesktop() {
        if (desktop) CloseDesktop(desktop);
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, DESKTOPS_KEY, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, name);
            RegCloseKey(key);
        }
    }
    VirtualDesktop(const VirtualDesktop&) = delete;
    VirtualDesktop& operator=(const VirtualDesktop&) = delete;

    const char* name;
    bool sized = false;
    HDESK desktop = nullptr;
};

class AutodetectOnVirtualDesktop : public Autodetect {};

TEST_F(AutodetectOnVirtualDesktop, FirstStartGives1024x768AndTheButtonThen1280x960WhenListed) {
    if (!running_on_wine()) GTEST_SKIP() << "uses a Wine virtual desktop for its list of sizes";
    char name[] = "SetupAutodetect";
    VirtualDesktop screen(name);
    ASSERT_TRUE(screen.sized);
    ASSERT_NE(screen.desktop, nullptr);

    Program p;
    p.desktop = name;
    START_READY(p);
    EXPECT_EQ(p.text(IDC_VRAM), vram_text(4096));
    ASSERT_TRUE(listed(p, 1280, 960)) << "the virtual desktop offers no 1280 x 960";
    ASSERT_TRUE(listed(p, 1024, 768));
    // The list was empty when the profile ran at the first start.
    EXPECT_EQ(selected_size(p), "1024 x 768");
    expect_profile_shown(p, TOP_UNLISTED, 4, false);

    p.click(IDC_AUTODETECT);
    ASSERT_TRUE(p.alive());
    EXPECT_EQ(selected_size(p), "1280 x 960");
    expect_profile_shown(p, TOP_LISTED, 4, false);
    if (p.selection(IDC_BIT_DEPTH) >= 0) {
        EXPECT_EQ(p.selected_data(IDC_BIT_DEPTH), 32);
    }

    p.post_click(IDOK);
    ASSERT_EQ(p.wait_exit(), 0u);
    const std::vector<uint8_t> stored = stored_value();
    ASSERT_EQ(stored.size(), SETTINGS_SIZE);
    expect_record(as_record(stored), with_profile(default_settings(), TOP_LISTED));
}

}  // namespace

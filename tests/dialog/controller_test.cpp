// Initialisation, the check boxes, the shared option group and its rules.
#include <gtest/gtest.h>

#include <set>

#include "app/state.h"
#include "dialog/controller.h"
#include "dialog_support.h"
#include "platform/winapi_values.h"
#include "res/resource.h"

using namespace dialog_test;

namespace {

constexpr uint32_t CBN_DROPDOWN_ = 7;
constexpr uint32_t CBN_SETFOCUS_ = 3;
constexpr uint32_t CBN_EDITCHANGE_ = 5;

const std::vector<std::string> kSpeakerTexts = {"Stereo headphones", "Stereo speakers", "Quadraphonic speakers",
                                                "5.1 surround sound speakers", "Current Windows speaker conf."};

bool checked(int32_t id) { return fake_control(id)->check == BST_CHECKED; }
bool enabled(int32_t id) { return fake_control(id)->enabled; }

// Empties a list behind the controller's back, so that a later refill shows.
void tamper(int32_t id) {
    fake_control(id)->items.clear();
    fake_control(id)->selection = -1;
}

// ---------------------------------------------------------------- initialisation

TEST(Init, CachesTheSevenProbeControls) {
    standard_machine();
    open_dialog();
    EXPECT_EQ(dialog_window, fake_dialog_handle());
    EXPECT_EQ(adapter_control, fake_control(IDC_ADAPTER));
    EXPECT_EQ(resolution_control, fake_control(IDC_RESOLUTION));
    EXPECT_EQ(bit_depth_control, fake_control(IDC_BIT_DEPTH));
    EXPECT_EQ(antialias_control, fake_control(IDC_ANTIALIAS));
    EXPECT_EQ(driver_version_control, fake_control(IDC_DRIVER_VERSION));
    EXPECT_EQ(vram_control, fake_control(IDC_VRAM));
    EXPECT_EQ(refresh_control, fake_control(IDC_REFRESH));
}

TEST(Init, ProcedureAnswersZeroForEveryMessage) {
    standard_machine();
    EXPECT_EQ(setup_dialog_proc(fake_dialog_handle(), WM_INITDIALOG, 0, 0), 0);
    EXPECT_EQ(setup_dialog_proc(fake_dialog_handle(), WM_COMMAND, IDC_VSYNC, 0), 0);
    EXPECT_EQ(setup_dialog_proc(fake_dialog_handle(), WM_COMMAND, 4242, 0), 0);
    EXPECT_EQ(setup_dialog_proc(fake_dialog_handle(), 0x000F /* WM_PAINT */, 0, 0), 0);
}

TEST(Init, OtherMessagesAndUnknownIdsChangeNothing) {
    standard_machine();
    open_dialog();
    const auto record = settings_bytes();
    const auto controls = snapshot_controls();
    setup_dialog_proc(fake_dialog_handle(), 0x0200 /* WM_MOUSEMOVE */, IDC_VSYNC, 0);
    fake_command(4242, 0);
    fake_command(IDC_LOGO, 0);
    fake_command(IDC_VRAM, 0);
    EXPECT_EQ(settings_bytes(), record);
    EXPECT_EQ(snapshot_controls(), controls);
    EXPECT_FALSE(fake_machine().dialog.ended);
}

TEST(Init, StoredRecordIsShownWithoutMeasuringFirst) {
    FakeMachine& m = standard_machine();
    open_dialog_with(stored_record());
    EXPECT_TRUE(settings_loaded);
    // Only the adapter selection measures.
    EXPECT_EQ(m.ddraw.created, 1);
    EXPECT_EQ(m.ddraw.alive(), 0);
    EXPECT_EQ(settings_bytes(), bytes_of(stored_record()));
    EXPECT_TRUE(checked(IDC_FULLSCREEN));
    EXPECT_TRUE(checked(IDC_VSYNC));
    EXPECT_EQ(fake_selected_text(IDC_SPEAKERS), "Stereo speakers");
    EXPECT_EQ(fake_selected_text(IDC_RESOLUTION), " 800 x  600");
    EXPECT_EQ(fake_selected_text(IDC_REFRESH), "75 Hz");
    EXPECT_EQ(fake_selected_text(IDC_BIT_DEPTH), "32");
    EXPECT_EQ(fake_selected_text(IDC_ANTIALIAS), " OFF");
}

TEST(Init, FirstStartMeasuresThenAppliesTheProfile) {
    FakeMachine& m = standard_machine(16);
    open_dialog();
    EXPECT_FALSE(settings_loaded);
    EXPECT_EQ(m.ddraw.created, 2);  // the first start, then the adapter selection
    EXPECT_EQ(m.ddraw.alive(), 0);
    EXPECT_EQ(video_memory_mb, 16);
    EXPECT_EQ(settings.width, 800);
    EXPECT_EQ(settings.height, 600);
    EXPECT_EQ(settings.bit_depth, 16);
    EXPECT_TRUE(checked(IDC_FULLSCREEN));
    EXPECT_EQ(fake_selected_text(IDC_RESOLUTION), " 800 x  600");
    EXPECT_EQ(fake_selected_text(IDC_BIT_DEPTH), "16");
}

TEST(Init, StoredMultipassWithTnlIsCorrectedByTheFirstRefill) {
    standard_machine();
    SetupSettings s = stored_record();
    s.hardware_tnl = 1;
    s.multipass_rendering = 1;
    open_dialog_with(s);
    EXPECT_EQ(settings.multipass_rendering, 0);
    EXPECT_EQ(settings.hardware_tnl, 1);
    EXPECT_FALSE(checked(IDC_MULTIPASS));
    EXPECT_TRUE(checked(IDC_HW_TNL));
}

// ---------------------------------------------------------------- refill

TEST(Refill, SetsTheBoxesInOrder) {
    FakeMachine& m = standard_machine();
    open_dialog();
    m.dialog.checks_set.clear();
    m.dialog.log_calls = true;
    sync_controls_from_settings();
    const std::vector<int32_t> order = {IDC_FULLSCREEN,     IDC_TRIPLE_BUFFER,  IDC_HW_TNL,          IDC_TEX_TRUE_COLOR,
                                        IDC_TEX_LOW_DETAIL, IDC_VSYNC,          IDC_OPTION_1011,     IDC_TEX_COMPRESSED,
                                        IDC_SOUND,          IDC_SOFTWARE_MIXING, IDC_DISABLE_EAX,    IDC_SUSPEND_INACTIVE,
                                        IDC_OPTION_1028,    IDC_MULTIPASS,      IDC_VOICE_CHAT};
    std::vector<int32_t> seen;
    for (const auto& [id, state] : m.dialog.checks_set) seen.push_back(id);
    EXPECT_EQ(seen, order);
}

struct BoxField {
    int32_t id;
    uint8_t SetupSettings::*field;
    bool inverted;
};

const BoxField kBoxes[] = {
    {IDC_FULLSCREEN, &SetupSettings::fullscreen, false},
    {IDC_TRIPLE_BUFFER, &SetupSettings::triple_buffering, false},
    {IDC_HW_TNL, &SetupSettings::hardware_tnl, false},
    {IDC_TEX_TRUE_COLOR, &SetupSettings::true_color_textures, false},
    {IDC_TEX_LOW_DETAIL, &SetupSettings::low_detail_textures, false},
    {IDC_VSYNC, &SetupSettings::vsync, false},
    {IDC_TEX_COMPRESSED, &SetupSettings::compressed_textures, false},
    {IDC_SOUND, &SetupSettings::sound_disabled, true},
    {IDC_SOFTWARE_MIXING, &SetupSettings::software_mixing_only, false},
    {IDC_DISABLE_EAX, &SetupSettings::disable_eax, false},
    {IDC_SUSPEND_INACTIVE, &SetupSettings::suspend_when_inactive, false},
    {IDC_MULTIPASS, &SetupSettings::multipass_rendering, false},
    {IDC_VOICE_CHAT, &SetupSettings::voice_chat, false},
};

TEST(Refill, EveryBoxShowsItsField) {
    for (const uint8_t value : {uint8_t{0}, uint8_t{1}, uint8_t{7}}) {
        for (const BoxField& b : kBoxes) {
            SCOPED_TRACE(b.id);
            SCOPED_TRACE(static_cast<int>(value));
            standard_machine();
            open_dialog_with(stored_record());
            if (b.id == IDC_MULTIPASS) settings.hardware_tnl = 0;  // else the refill clears it
            settings.*b.field = value;
            sync_controls_from_settings();
            const bool on = value != 0;
            EXPECT_EQ(checked(b.id), b.inverted ? !on : on);
            EXPECT_EQ(settings.*b.field, value) << "the refill shows fields, it does not rewrite them";
        }
    }
}

TEST(Refill, SpeakerListHoldsTheFiveEntriesAndSelectsTheRecord) {
    for (uint8_t speaker = 0; speaker <= 4; ++speaker) {
        SCOPED_TRACE(static_cast<int>(speaker));
        FakeMachine& m = standard_machine();
        SetupSettings s = stored_record();
        s.speaker_config = speaker;
        store_bytes(bytes_of(s));
        m.dialog.log_calls = true;
        open_dialog();
        EXPECT_EQ(fake_list_texts(IDC_SPEAKERS), kSpeakerTexts);
        EXPECT_EQ(fake_control(IDC_SPEAKERS)->selection, speaker);
        // Strings 30 to 34, one after the other.
        std::vector<uint32_t> speaker_loads;
        for (uint32_t id : m.dialog.strings_loaded)
            if (id >= 30 && id <= 34) speaker_loads.push_back(id);
        EXPECT_EQ(speaker_loads, (std::vector<uint32_t>{30, 31, 32, 33, 34}));
    }
}

TEST(Refill, OutOfRangeSpeakerValueSelectsNothing) {
    for (const uint8_t speaker : {uint8_t{5}, uint8_t{128}, uint8_t{255}}) {
        SCOPED_TRACE(static_cast<int>(speaker));
        standard_machine();
        SetupSettings s = stored_record();
        s.speaker_config = speaker;
        open_dialog_with(s);
        EXPECT_EQ(fake_list_texts(IDC_SPEAKERS), kSpeakerTexts);
        EXPECT_EQ(fake_control(IDC_SPEAKERS)->selection, -1);
        EXPECT_EQ(settings.speaker_config, speaker);
    }
}

// ---------------------------------------------------------------- shared option group

TEST(SharedGroup, ReadsTheTwelveBoxesInOrder) {
    FakeMachine& m = standard_machine();
    open_dialog();
    m.dialog.log_calls = true;
    ASSERT_TRUE(fake_click(IDC_TEX_LOW_DETAIL));
    const std::vector<int32_t> order = {IDC_FULLSCREEN,  IDC_TRIPLE_BUFFER,   IDC_HW_TNL,      IDC_TEX_LOW_DETAIL,
                                        IDC_VSYNC,       IDC_OPTION_1011,     IDC_SOUND,       IDC_SOFTWARE_MIXING,
                                        IDC_DISABLE_EAX, IDC_SUSPEND_INACTIVE, IDC_OPTION_1028, IDC_MULTIPASS};
    ASSERT_GE(m.dialog.checks_read.size(), order.size());
    EXPECT_EQ(std::vector<int32_t>(m.dialog.checks_read.begin(), m.dialog.checks_read.begin() + 12), order);
    EXPECT_EQ(m.dialog.checks_read.size(), order.size()) << "no other box is read";
}

struct Toggle {
    int32_t id;
    uint8_t SetupSettings::*field;
};

const Toggle kPlainToggles[] = {
    {IDC_TRIPLE_BUFFER, &SetupSettings::triple_buffering},
    {IDC_TEX_LOW_DETAIL, &SetupSettings::low_detail_textures},
    {IDC_VSYNC, &SetupSettings::vsync},
    {IDC_SOFTWARE_MIXING, &SetupSettings::software_mixing_only},
    {IDC_DISABLE_EAX, &SetupSettings::disable_eax},
    {IDC_SUSPEND_INACTIVE, &SetupSettings::suspend_when_inactive},
    {IDC_FULLSCREEN, &SetupSettings::fullscreen},
};

TEST(SharedGroup, EachClickStoresTheNewStateOfItsBox) {
    for (const Toggle& t : kPlainToggles) {
        SCOPED_TRACE(t.id);
        standard_machine();
        open_dialog_with(stored_record());  // full screen on, so every box is enabled
        const uint8_t before = settings.*t.field;
        ASSERT_TRUE(fake_click(t.id));
        EXPECT_EQ(settings.*t.field, before ? 0 : 1);
        EXPECT_EQ(checked(t.id), before == 0);
        ASSERT_TRUE(fake_click(t.id));
        EXPECT_EQ(settings.*t.field, before);
    }
}

TEST(SharedGroup, SoundBoxIsInverted) {
    standard_machine();
    open_dialog_with(stored_record());
    ASSERT_TRUE(checked(IDC_SOUND));
    ASSERT_TRUE(fake_click(IDC_SOUND));
    EXPECT_EQ(settings.sound_disabled, 1);
    ASSERT_TRUE(fake_click(IDC_SOUND));
    EXPECT_EQ(settings.sound_disabled, 0);
}

const int32_t kSharedIds[] = {IDC_SPEAKERS,   IDC_FULLSCREEN,  IDC_TRIPLE_BUFFER,    IDC_SOUND,
                              IDC_TEX_LOW_DETAIL, IDC_VSYNC,    IDC_OPTION_1011,      IDC_SUSPEND_INACTIVE,
                              IDC_HW_TNL,     IDC_DISABLE_EAX, IDC_SOFTWARE_MIXING,  IDC_OPTION_1028,
                              IDC_MULTIPASS};

TEST(SharedGroup, AnyCommandOfTheGroupZeroesTheTwoHiddenFlags) {
    for (const int32_t id : kSharedIds) {
        SCOPED_TRACE(id);
        standard_machine();
        SetupSettings s = stored_record();
        s.option_1011 = 1;
        s.option_1028 = 1;
        open_dialog_with(s);
        ASSERT_EQ(settings.option_1011, 1);
        ASSERT_EQ(settings.option_1028, 1);
        if (!fake_click(id)) fake_command(id, 0);  // 1011 and 1028 have no control
        EXPECT_EQ(settings.option_1011, 0);
        EXPECT_EQ(settings.option_1028, 0);
    }
}

TEST(SharedGroup, HiddenFlagsSurviveCommandsOutsideTheGroup) {
    standard_machine();
    SetupSettings s = stored_record();
    s.option_1011 = 1;
    s.option_1028 = 1;
    open_dialog_with(s);
    ASSERT_TRUE(fake_click(IDC_TEX_TRUE_COLOR));
    ASSERT_TRUE(fake_click(IDC_EXPERT_TOGGLE));
    fake_choose(IDC_REFRESH, 1);
    EXPECT_EQ(settings.option_1011, 1);
    EXPECT_EQ(settings.option_1028, 1);
}

// ---------------------------------------------------------------- exclusive pair: T&L / multipass

TEST(TnlMultipass, MultipassOnTurnsTnlOff) {
    standard_machine();
    open_dialog_with(stored_record());
    ASSERT_EQ(settings.hardware_tnl, 1);
    ASSERT_TRUE(fake_click(IDC_MULTIPASS));
    EXPECT_EQ(settings.multipass_rendering, 1);
    EXPECT_EQ(settings.hardware_tnl, 0);
    EXPECT_TRUE(checked(IDC_MULTIPASS));
    EXPECT_FALSE(checked(IDC_HW_TNL));
}

TEST(TnlMultipass, TnlOnTurnsMultipassOff) {
    standard_machine();
    SetupSettings s = stored_record();
    s.hardware_tnl = 0;
    s.multipass_rendering = 1;
    open_dialog_with(s);
    ASSERT_TRUE(checked(IDC_MULTIPASS));
    ASSERT_TRUE(fake_click(IDC_HW_TNL));
    EXPECT_EQ(settings.hardware_tnl, 1);
    EXPECT_EQ(settings.multipass_rendering, 0);
    EXPECT_TRUE(checked(IDC_HW_TNL));
    EXPECT_FALSE(checked(IDC_MULTIPASS));
}

TEST(TnlMultipass, OtherCommandsKeepMultipassWhenTnlIsOff) {
    standard_machine();
    SetupSettings s = stored_record();
    s.hardware_tnl = 0;
    s.multipass_rendering = 1;
    open_dialog_with(s);
    ASSERT_TRUE(fake_click(IDC_VSYNC));
    EXPECT_EQ(settings.multipass_rendering, 1);
    EXPECT_EQ(settings.hardware_tnl, 0);
}

TEST(TnlMultipass, MultipassOffLeavesBothOff) {
    standard_machine();
    SetupSettings s = stored_record();
    s.hardware_tnl = 0;
    s.multipass_rendering = 1;
    open_dialog_with(s);
    ASSERT_TRUE(fake_click(IDC_MULTIPASS));
    EXPECT_EQ(settings.multipass_rendering, 0);
    EXPECT_EQ(settings.hardware_tnl, 0);
}

// ---------------------------------------------------------------- when the refill runs

TEST(RefillRule, WithBothOffAVsyncClickDoesNotRefill) {
    FakeMachine& m = standard_machine();
    SetupSettings s = stored_record();
    s.hardware_tnl = 0;
    open_dialog_with(s);
    tamper(IDC_SPEAKERS);
    tamper(IDC_ANTIALIAS);
    tamper(IDC_BIT_DEPTH);
    m.dialog.log_calls = true;

    ASSERT_TRUE(fake_click(IDC_VSYNC));
    EXPECT_EQ(settings.vsync, 0);
    EXPECT_TRUE(fake_list_texts(IDC_SPEAKERS).empty());
    EXPECT_TRUE(fake_list_texts(IDC_ANTIALIAS).empty());
    EXPECT_TRUE(fake_list_texts(IDC_BIT_DEPTH).empty());
    EXPECT_TRUE(m.dialog.checks_set.empty());
    EXPECT_TRUE(m.dialog.list_resets.empty());
    // The enabled states are still brought up to date.
    EXPECT_EQ(m.dialog.enables.size(), 7u);
}

TEST(RefillRule, WithTnlOnAVsyncClickRefills) {
    standard_machine();
    open_dialog_with(stored_record());
    tamper(IDC_SPEAKERS);
    tamper(IDC_ANTIALIAS);
    tamper(IDC_BIT_DEPTH);
    ASSERT_TRUE(fake_click(IDC_VSYNC));
    EXPECT_EQ(fake_list_texts(IDC_SPEAKERS), kSpeakerTexts);
    EXPECT_EQ(fake_selected_text(IDC_SPEAKERS), "Stereo speakers");
    EXPECT_EQ(fake_list_texts(IDC_BIT_DEPTH), (std::vector<std::string>{"16", "32"}));
    EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), (std::vector<std::string>{" OFF", " 2x", " 4x"}));
}

TEST(RefillRule, FullscreenSwitchRebuildsAntialiasingOnlyWithTnlOn) {
    // The standard adapter offers 4 samples full screen only.
    {
        standard_machine();
        open_dialog_with(stored_record());
        ASSERT_EQ(fake_list_texts(IDC_ANTIALIAS), (std::vector<std::string>{" OFF", " 2x", " 4x"}));
        ASSERT_TRUE(fake_click(IDC_FULLSCREEN));
        EXPECT_EQ(settings.fullscreen, 0);
        EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), (std::vector<std::string>{" OFF", " 2x"}));
    }
    {
        standard_machine();
        SetupSettings s = stored_record();
        s.hardware_tnl = 0;
        open_dialog_with(s);
        ASSERT_TRUE(fake_click(IDC_FULLSCREEN));
        EXPECT_EQ(settings.fullscreen, 0);
        EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), (std::vector<std::string>{" OFF", " 2x", " 4x"}));
    }
}

TEST(RefillRule, SpeakerListNotificationsRunTheWholeHandler) {
    for (const uint32_t code : {CBN_DROPDOWN_, CBN_SETFOCUS_, static_cast<uint32_t>(CBN_SELCHANGE)}) {
        SCOPED_TRACE(code);
        standard_machine();
        open_dialog_with(stored_record());
        tamper(IDC_ANTIALIAS);
        fake_command(IDC_SPEAKERS, code);
        EXPECT_EQ(fake_list_texts(IDC_SPEAKERS), kSpeakerTexts);
        EXPECT_EQ(fake_selected_text(IDC_SPEAKERS), "Stereo speakers");
        EXPECT_FALSE(fake_list_texts(IDC_ANTIALIAS).empty());
    }
}

// ---------------------------------------------------------------- speaker list

TEST(Speakers, ChoosingAnEntryStoresItsIndex) {
    for (int32_t pos = 0; pos <= 4; ++pos) {
        SCOPED_TRACE(pos);
        standard_machine();
        open_dialog_with(stored_record());
        ASSERT_TRUE(fake_choose(IDC_SPEAKERS, pos));
        EXPECT_EQ(settings.speaker_config, pos);
        EXPECT_EQ(fake_control(IDC_SPEAKERS)->selection, pos);
    }
}

TEST(Speakers, TypedTextKeepsAValidChoice) {
    standard_machine();
    open_dialog_with(stored_record());
    ASSERT_TRUE(fake_choose(IDC_SPEAKERS, 2));
    // Typing into the field deselects the entry.
    fake_control(IDC_SPEAKERS)->selection = CB_ERR;
    fake_control(IDC_SPEAKERS)->text = "my speakers";
    fake_command(IDC_SPEAKERS, CBN_EDITCHANGE_);
    EXPECT_EQ(settings.speaker_config, 2);
    EXPECT_EQ(fake_control(IDC_SPEAKERS)->selection, 2) << "the refill selects the kept entry again";
}

TEST(Speakers, NoSelectionWithAnOutOfRangeValueStoresCurrentWindows) {
    for (const uint8_t speaker : {uint8_t{5}, uint8_t{200}}) {
        SCOPED_TRACE(static_cast<int>(speaker));
        standard_machine();
        SetupSettings s = stored_record();
        s.speaker_config = speaker;
        open_dialog_with(s);
        ASSERT_EQ(fake_control(IDC_SPEAKERS)->selection, -1);
        ASSERT_TRUE(fake_click(IDC_VSYNC));
        EXPECT_EQ(settings.speaker_config, 4);
        EXPECT_EQ(fake_selected_text(IDC_SPEAKERS), "Current Windows speaker conf.");
    }
}

TEST(Speakers, NoSelectionStoresCurrentWindowsEvenWithoutRefill) {
    standard_machine();
    SetupSettings s = stored_record();
    s.speaker_config = 9;
    s.hardware_tnl = 0;
    open_dialog_with(s);
    ASSERT_TRUE(fake_click(IDC_VSYNC));
    EXPECT_EQ(settings.speaker_config, 4);
}

// ---------------------------------------------------------------- enabling rules

TEST(Enabling, UpdatesTheSevenControlsInOrder) {
    FakeMachine& m = standard_machine();
    open_dialog_with(stored_record());
    m.dialog.log_calls = true;
    settings.fullscreen = 0;
    settings.sound_disabled = 1;
    update_enabled_controls();
    const std::vector<std::pair<int32_t, bool>> expected = {
        {IDC_TRIPLE_BUFFER, false}, {IDC_VSYNC, false},          {IDC_REFRESH, false},    {IDC_BIT_DEPTH, false},
        {IDC_SPEAKERS, false},      {IDC_SOFTWARE_MIXING, false}, {IDC_DISABLE_EAX, false}};
    EXPECT_EQ(m.dialog.enables, expected);
}

TEST(Enabling, SoundOffDisablesTheSoundOptionsAndKeepsTheirFields) {
    standard_machine();
    SetupSettings s = stored_record();
    s.software_mixing_only = 0;
    s.disable_eax = 1;
    s.speaker_config = 3;
    open_dialog_with(s);
    ASSERT_TRUE(fake_click(IDC_SOUND));
    EXPECT_EQ(settings.sound_disabled, 1);
    EXPECT_FALSE(enabled(IDC_SPEAKERS));
    EXPECT_FALSE(enabled(IDC_SOFTWARE_MIXING));
    EXPECT_FALSE(enabled(IDC_DISABLE_EAX));
    EXPECT_EQ(settings.software_mixing_only, 0);
    EXPECT_EQ(settings.disable_eax, 1);
    EXPECT_EQ(settings.speaker_config, 3);
    EXPECT_TRUE(enabled(IDC_VSYNC)) << "full-screen options do not follow the sound box";
    EXPECT_FALSE(fake_click(IDC_DISABLE_EAX)) << "a disabled box cannot be clicked";

    ASSERT_TRUE(fake_click(IDC_SOUND));
    EXPECT_TRUE(enabled(IDC_SPEAKERS));
    EXPECT_TRUE(enabled(IDC_SOFTWARE_MIXING));
    EXPECT_TRUE(enabled(IDC_DISABLE_EAX));
}

TEST(Enabling, WindowedDisablesTheFullscreenOptionsAndKeepsTheirFields) {
    standard_machine();
    open_dialog_with(stored_record());
    ASSERT_TRUE(enabled(IDC_TRIPLE_BUFFER));
    ASSERT_TRUE(fake_click(IDC_FULLSCREEN));
    EXPECT_FALSE(enabled(IDC_TRIPLE_BUFFER));
    EXPECT_FALSE(enabled(IDC_VSYNC));
    EXPECT_FALSE(enabled(IDC_REFRESH));
    EXPECT_FALSE(enabled(IDC_BIT_DEPTH));
    EXPECT_EQ(settings.triple_buffering, 1);
    EXPECT_EQ(settings.vsync, 1);
    EXPECT_EQ(settings.refresh_rate, 75);
    EXPECT_EQ(settings.bit_depth, 32);
    EXPECT_TRUE(enabled(IDC_SPEAKERS));
}

TEST(Enabling, NothingElseIsEverEnabledOrDisabled) {
    FakeMachine& m = standard_machine();
    m.dialog.log_calls = true;
    open_dialog();
    fake_click(IDC_FULLSCREEN);
    fake_click(IDC_SOUND);
    fake_click(IDC_AUTODETECT);
    const std::set<int32_t> allowed = {IDC_TRIPLE_BUFFER, IDC_VSYNC,           IDC_REFRESH,    IDC_BIT_DEPTH,
                                       IDC_SPEAKERS,      IDC_SOFTWARE_MIXING, IDC_DISABLE_EAX};
    for (const auto& [id, on] : m.dialog.enables) EXPECT_TRUE(allowed.count(id)) << id;
    EXPECT_FALSE(enabled(IDC_VOICE_CHAT));
    EXPECT_TRUE(enabled(IDC_ANTIALIAS));
}

// ---------------------------------------------------------------- texture pair

TEST(TexturePair, TrueColorOnUnchecksCompressed) {
    FakeMachine& m = standard_machine();
    open_dialog_with(stored_record());
    ASSERT_TRUE(checked(IDC_TEX_COMPRESSED));
    tamper(IDC_SPEAKERS);
    m.dialog.log_calls = true;
    ASSERT_TRUE(fake_click(IDC_TEX_TRUE_COLOR));
    EXPECT_EQ(settings.true_color_textures, 1);
    EXPECT_EQ(settings.compressed_textures, 0);
    EXPECT_TRUE(checked(IDC_TEX_TRUE_COLOR));
    EXPECT_FALSE(checked(IDC_TEX_COMPRESSED));
    // Neither a refill nor a change of enabled states.
    EXPECT_TRUE(fake_list_texts(IDC_SPEAKERS).empty());
    EXPECT_TRUE(m.dialog.enables.empty());
}

TEST(TexturePair, CompressedOnUnchecksTrueColor) {
    standard_machine();
    SetupSettings s = stored_record();
    s.compressed_textures = 0;
    s.true_color_textures = 1;
    open_dialog_with(s);
    ASSERT_TRUE(fake_click(IDC_TEX_COMPRESSED));
    EXPECT_EQ(settings.compressed_textures, 1);
    EXPECT_EQ(settings.true_color_textures, 0);
    EXPECT_FALSE(checked(IDC_TEX_TRUE_COLOR));
}

TEST(TexturePair, TurningEitherOffLeavesBothOff) {
    for (const int32_t id : {IDC_TEX_COMPRESSED, IDC_TEX_TRUE_COLOR}) {
        SCOPED_TRACE(id);
        standard_machine();
        SetupSettings s = stored_record();
        s.compressed_textures = id == IDC_TEX_COMPRESSED;
        s.true_color_textures = id == IDC_TEX_TRUE_COLOR;
        open_dialog_with(s);
        ASSERT_TRUE(checked(id));
        ASSERT_TRUE(fake_click(id));
        EXPECT_EQ(settings.compressed_textures, 0);
        EXPECT_EQ(settings.true_color_textures, 0);
        EXPECT_FALSE(checked(IDC_TEX_COMPRESSED));
        EXPECT_FALSE(checked(IDC_TEX_TRUE_COLOR));
    }
}

}  // namespace

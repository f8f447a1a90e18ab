#include <gtest/gtest.h>

#include "app/state.h"
#include "dialog/voice_check.h"
#include "dialog_support.h"
#include "platform/winapi_values.h"
#include "res/resource.h"

using namespace dialog_test;

namespace {

constexpr long E_FAIL_ = static_cast<long>(static_cast<int32_t>(0x80004005u));
constexpr long REGDB_E_CLASSNOTREG_ = static_cast<long>(static_cast<int32_t>(0x80040154u));
constexpr long DVERR_INVALIDPARAM_ = static_cast<long>(static_cast<int32_t>(0x80070057u));
constexpr long S_FALSE_ = 1;

struct VoiceRow {
    const char* name;
    long create_result;
    long query_result;
    long wizard_result;
    bool expected;
    std::vector<uint32_t> flags;  // CheckAudioSetup calls, in order
};

const std::vector<VoiceRow> kRows = {
    {"not created", REGDB_E_CLASSNOTREG_, 0, 0, false, {}},
    {"not created, E_FAIL", E_FAIL_, 0, 0, false, {}},
    {"query succeeds", 0, 0, 0, true, {DVFLAGS_QUERYONLY}},
    {"query S_FALSE", 0, S_FALSE_, 0, true, {DVFLAGS_QUERYONLY}},
    {"query other error", 0, E_FAIL_, DVERR_USERCANCEL, true, {DVFLAGS_QUERYONLY}},
    {"query user cancel", 0, DVERR_USERCANCEL, DVERR_USERCANCEL, true, {DVFLAGS_QUERYONLY}},
    {"wizard succeeds", 0, DVERR_RUNSETUP, 0, true, {DVFLAGS_QUERYONLY, DVFLAGS_ALLOWBACK}},
    {"wizard S_FALSE", 0, DVERR_RUNSETUP, S_FALSE_, true, {DVFLAGS_QUERYONLY, DVFLAGS_ALLOWBACK}},
    {"wizard cancelled", 0, DVERR_RUNSETUP, DVERR_USERCANCEL, false, {DVFLAGS_QUERYONLY, DVFLAGS_ALLOWBACK}},
    {"wizard pending", 0, DVERR_RUNSETUP, DVERR_ALREADYPENDING, false, {DVFLAGS_QUERYONLY, DVFLAGS_ALLOWBACK}},
    {"wizard other error", 0, DVERR_RUNSETUP, DVERR_INVALIDPARAM_, true, {DVFLAGS_QUERYONLY, DVFLAGS_ALLOWBACK}},
    {"wizard asks again", 0, DVERR_RUNSETUP, DVERR_RUNSETUP, true, {DVFLAGS_QUERYONLY, DVFLAGS_ALLOWBACK}},
};

void script(FakeMachine& m, const VoiceRow& row) {
    m.voice.create_result = row.create_result;
    m.voice.query_result = row.query_result;
    m.voice.wizard_result = row.wizard_result;
}

TEST(VoiceCheck, ResultTable) {
    for (const VoiceRow& row : kRows) {
        SCOPED_TRACE(row.name);
        FakeMachine& m = reset_fakes();
        script(m, row);
        EXPECT_EQ(run_voice_audio_check(), row.expected);
        EXPECT_EQ(m.voice.flags_seen, row.flags);
        EXPECT_EQ(m.voice.created, row.create_result < 0 ? 0 : 1);
        EXPECT_EQ(m.voice.released, m.voice.created) << "released on every path where created";
        EXPECT_TRUE(m.voice.guids_ok) << "published identifiers, no parent window";
    }
}

TEST(VoiceCheck, EachCheckOwnsItsObject) {
    FakeMachine& m = reset_fakes();
    m.voice.query_result = DVERR_RUNSETUP;
    for (int i = 0; i < 3; ++i) run_voice_audio_check();
    EXPECT_EQ(m.voice.created, 3);
    EXPECT_EQ(m.voice.alive(), 0);
}

// ---------------------------------------------------------------- the check box

// The box is disabled, so a command can only come from the platform; the box
// has already been flipped when it arrives.
void command_voice_box(uint32_t state) {
    fake_control(IDC_VOICE_CHAT)->check = state;
    fake_command(IDC_VOICE_CHAT, 0);
}

TEST(VoiceChatBox, CheckingStoresTheCheckResultAndShowsIt) {
    for (const VoiceRow& row : kRows) {
        SCOPED_TRACE(row.name);
        FakeMachine& m = standard_machine();
        open_dialog_with(stored_record());
        script(m, row);
        const auto before = settings_bytes();

        command_voice_box(BST_CHECKED);
        EXPECT_EQ(settings.voice_chat, row.expected ? 1 : 0);
        EXPECT_EQ(fake_control(IDC_VOICE_CHAT)->check, row.expected ? 1u : 0u);
        EXPECT_EQ(m.voice.alive(), 0);
        // No other field changes.
        auto after = settings_bytes();
        after[34] = before[34];
        EXPECT_EQ(after, before);
    }
}

TEST(VoiceChatBox, UncheckingStoresZeroAndCallsNothing) {
    FakeMachine& m = standard_machine();
    SetupSettings s = stored_record();
    s.voice_chat = 1;
    open_dialog_with(s);
    ASSERT_EQ(fake_control(IDC_VOICE_CHAT)->check, static_cast<uint32_t>(BST_CHECKED));

    command_voice_box(BST_UNCHECKED);
    EXPECT_EQ(settings.voice_chat, 0);
    EXPECT_EQ(m.voice.created, 0);
    EXPECT_TRUE(m.voice.flags_seen.empty());
    EXPECT_EQ(fake_control(IDC_VOICE_CHAT)->check, static_cast<uint32_t>(BST_UNCHECKED));
}

TEST(VoiceChatBox, NoRefillAndNoEnablingFollow) {
    FakeMachine& m = standard_machine();
    open_dialog_with(stored_record());
    fake_control(IDC_SPEAKERS)->items.clear();
    m.dialog.log_calls = true;
    command_voice_box(BST_CHECKED);
    EXPECT_TRUE(fake_list_texts(IDC_SPEAKERS).empty());
    EXPECT_TRUE(m.dialog.enables.empty());
    EXPECT_EQ(m.dialog.checks_read, (std::vector<int32_t>{IDC_VOICE_CHAT}));
}

TEST(VoiceChatBox, StaysDisabledAndShowsTheStoredValue) {
    for (const uint8_t value : {uint8_t{0}, uint8_t{1}}) {
        standard_machine();
        SetupSettings s = stored_record();
        s.voice_chat = value;
        open_dialog_with(s);
        EXPECT_FALSE(fake_control(IDC_VOICE_CHAT)->enabled);
        EXPECT_EQ(fake_control(IDC_VOICE_CHAT)->check, value);
        EXPECT_FALSE(fake_click(IDC_VOICE_CHAT)) << "the player cannot click it";
        fake_click(IDC_AUTODETECT);
        fake_click(IDC_VSYNC);
        EXPECT_FALSE(fake_control(IDC_VOICE_CHAT)->enabled);
        EXPECT_EQ(settings.voice_chat, value);
    }
}

}  // namespace

// The three ways out of the dialog: Save and exit, Exit, the fatal setup error.
#include <gtest/gtest.h>

#include "app/state.h"
#include "dialog/controller.h"
#include "dialog_support.h"
#include "platform/winapi_values.h"
#include "res/resource.h"

using namespace dialog_test;

namespace {

const char* const kDiscardText = "Discard changes ?!";
const char* const kWarningCaption = "WARNING...";
const char* const kSetupError = "Setup error";
const char* const kNoDevices = "DirectX : Display devices could not be enumerated.";
const char* const kSaveFailed = "The settings could not be saved.";

// ---------------------------------------------------------------- Save and exit

TEST(SaveAndExit, StoresExactlyTheRecordAndEndsWithZero) {
    FakeMachine& m = standard_machine();
    open_dialog();
    ASSERT_TRUE(fake_click(IDC_VSYNC));
    ASSERT_TRUE(fake_choose(IDC_SPEAKERS, 0));
    const auto record = settings_bytes();

    ASSERT_TRUE(fake_click(IDOK));
    EXPECT_EQ(stored_bytes(), record);
    EXPECT_EQ(stored_bytes().size(), SETTINGS_SIZE);
    EXPECT_EQ(m.registry.keys[SETTINGS_SUBKEY][SETTINGS_VALUE].type, REG_TYPE_BINARY);
    EXPECT_TRUE(m.dialog.ended);
    EXPECT_EQ(m.dialog.end_result, 0);
    EXPECT_EQ(m.dialog.end_calls, 1);
    EXPECT_TRUE(m.dialog.boxes.empty());
    EXPECT_EQ(m.registry.open_handles, 0);
}

TEST(SaveAndExit, AnyNotificationSaves) {
    FakeMachine& m = standard_machine();
    open_dialog();
    fake_command(IDOK, 5);
    EXPECT_EQ(stored_bytes(), settings_bytes());
    EXPECT_TRUE(m.dialog.ended);
}

TEST(SaveAndExit, FailedSaveKeepsTheDialogOpenAndSaysSo) {
    for (const bool fail_create : {true, false}) {
        SCOPED_TRACE(fail_create ? "key cannot be created" : "value cannot be written");
        FakeMachine& m = standard_machine();
        open_dialog_with(stored_record());
        ASSERT_TRUE(fake_click(IDC_VSYNC));
        m.registry.fail_create = fail_create;
        m.registry.fail_set = !fail_create;
        const auto record = settings_bytes();
        const auto controls = snapshot_controls();

        ASSERT_TRUE(fake_click(IDOK));
        EXPECT_FALSE(m.dialog.ended);
        EXPECT_EQ(m.dialog.end_calls, 0);
        ASSERT_EQ(m.dialog.boxes.size(), 1u);
        EXPECT_EQ(m.dialog.boxes[0].text, kSaveFailed);
        EXPECT_EQ(m.dialog.boxes[0].caption, kSetupError);
        EXPECT_EQ(m.dialog.boxes[0].type, static_cast<uint32_t>(MB_OK));
        EXPECT_EQ(settings_bytes(), record);
        EXPECT_EQ(snapshot_controls(), controls);
        EXPECT_EQ(stored_bytes(), bytes_of(stored_record())) << "the old value stays";
        EXPECT_EQ(m.registry.open_handles, 0);

        // Once the store works again the same choices are saved.
        m.registry.fail_create = m.registry.fail_set = false;
        ASSERT_TRUE(fake_click(IDOK));
        EXPECT_EQ(stored_bytes(), record);
        EXPECT_TRUE(m.dialog.ended);
        EXPECT_EQ(m.dialog.end_result, 0);
    }
}

// ---------------------------------------------------------------- Exit

TEST(Exit, UnchangedStoredRecordEndsWithoutAsking) {
    FakeMachine& m = standard_machine();
    open_dialog_with(stored_record());
    ASSERT_FALSE(has_unsaved_changes());
    ASSERT_TRUE(fake_click(IDCANCEL));
    EXPECT_TRUE(m.dialog.boxes.empty());
    EXPECT_TRUE(m.dialog.ended);
    EXPECT_EQ(m.dialog.end_result, -1);
}

TEST(Exit, SaveThenNewStartThenExitDoesNotAsk) {
    FakeMachine& m = standard_machine();
    open_dialog();
    ASSERT_TRUE(fake_click(IDOK));
    const auto saved = stored_bytes();

    // A new run of the program on the same machine.
    FakeMachine kept = m;
    FakeMachine& again = standard_machine();
    again.registry = kept.registry;
    open_dialog();
    EXPECT_TRUE(settings_loaded);
    ASSERT_TRUE(fake_click(IDCANCEL));
    EXPECT_TRUE(again.dialog.boxes.empty());
    EXPECT_EQ(again.dialog.end_result, -1);
    EXPECT_EQ(stored_bytes(), saved);
}

TEST(Exit, FirstStartCountsAsChanged) {
    FakeMachine& m = standard_machine();
    open_dialog();
    EXPECT_TRUE(has_unsaved_changes());
    m.dialog.box_answers.push_back(IDNO);
    ASSERT_TRUE(fake_click(IDCANCEL));
    ASSERT_EQ(m.dialog.boxes.size(), 1u);
    EXPECT_EQ(m.dialog.boxes[0].text, kDiscardText);
    EXPECT_EQ(m.dialog.boxes[0].caption, kWarningCaption);
    EXPECT_EQ(m.dialog.boxes[0].type, static_cast<uint32_t>(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(m.dialog.boxes[0].type, 0x34u);
}

TEST(Exit, CorrectedStoredRecordCountsAsChanged) {
    // An adapter ordinal beyond the adapter count is brought back to 0.
    FakeMachine& m = standard_machine();
    SetupSettings s = stored_record();
    s.adapter = 3;
    open_dialog_with(s);
    ASSERT_EQ(settings.adapter, 0);
    ASSERT_TRUE(fake_click(IDCANCEL));
    EXPECT_EQ(m.dialog.boxes.size(), 1u);
}

TEST(Exit, ComparesTheTagToo) {
    FakeMachine& m = standard_machine();
    open_dialog_with(stored_record());
    settings.tag = 13;
    EXPECT_TRUE(has_unsaved_changes());
    settings.tag = 12;
    EXPECT_FALSE(has_unsaved_changes());
    EXPECT_EQ(m.registry.open_handles, 0);
}

TEST(Exit, AnsweringNoLeavesEverythingAsItWas) {
    FakeMachine& m = standard_machine();
    open_dialog_with(stored_record());
    ASSERT_TRUE(fake_click(IDC_VSYNC));
    ASSERT_TRUE(fake_choose(IDC_SPEAKERS, 3));
    const auto record = settings_bytes();
    const auto controls = snapshot_controls();
    const HostRect rect = m.dialog.rect;

    m.dialog.box_answers.push_back(IDNO);
    ASSERT_TRUE(fake_click(IDCANCEL));
    EXPECT_EQ(m.dialog.boxes.size(), 1u);
    EXPECT_FALSE(m.dialog.ended);
    EXPECT_EQ(settings_bytes(), record);
    EXPECT_EQ(snapshot_controls(), controls);
    EXPECT_EQ(m.dialog.rect.bottom, rect.bottom);
    EXPECT_EQ(stored_bytes(), bytes_of(stored_record()));
}

TEST(Exit, AnsweringYesEndsWithMinusOneAndStoresNothing) {
    for (const int32_t answer : {IDYES, IDOK, IDCANCEL}) {
        SCOPED_TRACE(answer);
        FakeMachine& m = standard_machine();
        open_dialog_with(stored_record());
        ASSERT_TRUE(fake_click(IDC_VSYNC));
        m.dialog.box_answers.push_back(answer);
        ASSERT_TRUE(fake_click(IDCANCEL));
        EXPECT_TRUE(m.dialog.ended);
        EXPECT_EQ(m.dialog.end_result, -1);
        EXPECT_EQ(stored_bytes(), bytes_of(stored_record()));
    }
}

TEST(Exit, FirstStartYesStoresNothing) {
    FakeMachine& m = standard_machine();
    open_dialog();
    ASSERT_TRUE(fake_click(IDCANCEL));
    EXPECT_TRUE(m.dialog.ended);
    EXPECT_EQ(m.dialog.end_result, -1);
    EXPECT_TRUE(stored_bytes().empty());
}

// ---------------------------------------------------------------- fatal setup error

void expect_fatal_box(const FakeMachine& m) {
    ASSERT_EQ(m.dialog.boxes.size(), 1u);
    EXPECT_EQ(m.dialog.boxes[0].text, kNoDevices);
    EXPECT_EQ(m.dialog.boxes[0].caption, kSetupError);
    EXPECT_EQ(m.dialog.boxes[0].type, static_cast<uint32_t>(MB_OK));
    EXPECT_TRUE(m.dialog.ended);
    EXPECT_EQ(m.dialog.end_result, 0);
    EXPECT_EQ(m.dialog.end_calls, 1);
}

TEST(FatalError, NoDirect3DAtInitEndsWithZero) {
    FakeMachine& m = standard_machine();
    m.d3d.create_fails = true;
    open_dialog();
    expect_fatal_box(m);
    EXPECT_TRUE(stored_bytes().empty());
    // The initialisation still finishes its refill.
    EXPECT_EQ(fake_list_texts(IDC_SPEAKERS).size(), 5u);
    EXPECT_TRUE(fake_list_texts(IDC_BIT_DEPTH).empty());
    EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), (std::vector<std::string>{" OFF"}));
}

TEST(FatalError, NoDirect3DAfterAutodetectDropsChangesWithoutAsking) {
    FakeMachine& m = standard_machine();
    open_dialog_with(stored_record());
    ASSERT_TRUE(fake_click(IDC_VSYNC));
    m.d3d.create_fails = true;
    ASSERT_TRUE(fake_click(IDC_AUTODETECT));
    expect_fatal_box(m);
    EXPECT_EQ(stored_bytes(), bytes_of(stored_record()));
    // The refill after the profile still runs: full screen is on again.
    EXPECT_EQ(fake_control(IDC_FULLSCREEN)->check, static_cast<uint32_t>(BST_CHECKED));
}

TEST(FatalError, ShowsTheGivenTextWithTheSetupErrorCaption) {
    FakeMachine& m = standard_machine();
    open_dialog_with(stored_record());
    fatal_setup_error("anything at all");
    ASSERT_EQ(m.dialog.boxes.size(), 1u);
    EXPECT_EQ(m.dialog.boxes[0].text, "anything at all");
    EXPECT_EQ(m.dialog.boxes[0].caption, kSetupError);
    EXPECT_STREQ(caption_buffer, kSetupError);
    EXPECT_EQ(m.dialog.end_result, 0);
}

}  // namespace

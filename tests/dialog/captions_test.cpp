#include <gtest/gtest.h>

#include <set>

#include "app/state.h"
#include "dialog/captions.h"
#include "dialog_support.h"
#include "res/dialog_template.h"
#include "res/resource.h"

using namespace dialog_test;

namespace {

struct ExpectedCaption {
    int32_t control;
    uint32_t string;
    const char* text;
};

const ExpectedCaption kCaptions[] = {
    {IDC_DISPLAY_GROUP, 1, "Display"},
    {IDC_RESOLUTION_LABEL, 2, "Resolution"},
    {IDC_ANTIALIAS_LABEL, 3, "Fullscene antialiasing"},
    {IDC_AUTODETECT, 4, "Autodetect"},
    {IDCANCEL, 5, "Exit"},
    {IDOK, 6, "Save and exit"},
    {IDC_FULLSCREEN_GROUP, 7, "      Fullscreen"},
    {IDC_TRIPLE_BUFFER, 8, "Triple buffering"},
    {IDC_VSYNC, 9, "Vertical synchronization"},
    {IDC_REFRESH_LABEL, 10, "Refresh rate"},
    {IDC_BIT_DEPTH_LABEL, 11, "Bit depth"},
    {IDC_TEXTURE_GROUP, 12, "Texture quality/size"},
    {IDC_TEX_LOW_DETAIL, 13, "Low detail"},
    {IDC_TEX_COMPRESSED, 14, "Compressed"},
    {IDC_TEX_TRUE_COLOR, 15, "True color"},
    {IDC_SOUND_GROUP, 16, "      Sound"},
    {IDC_SOFTWARE_MIXING, 17, "Software mixing only"},
    {IDC_DISABLE_EAX, 18, "Disable EAX"},
    {IDC_EXPERT_TOGGLE, 26, "Open expert settings..."},
    {IDC_EXPERT_GROUP, 20, "Expert settings"},
    {IDC_HW_TNL, 21, "Hardware Transform&&Lighting"},
    {IDC_SUSPEND_INACTIVE, 22, "Suspend when inactive"},
    {IDC_MULTIPASS, 23, "Multipass rendering"},
    {IDC_VOICE_CHAT, 24, "Multiplayer VoiceChat"},
    {IDC_VERSION_LABEL, 25, "ver. 1.05"},
};

constexpr int32_t kFullHeight = 378;  // the fake's unfolded window, in pixels
constexpr int32_t kFullWidth = 567;

TEST(CaptionTable, PairsInOrder) {
    ASSERT_EQ(std::size(kCaptions), static_cast<size_t>(CAPTION_COUNT));
    for (int32_t i = 0; i < CAPTION_COUNT; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(caption_table[i].control_id, kCaptions[i].control);
        EXPECT_EQ(caption_table[i].string_id, kCaptions[i].string);
    }
}

TEST(CaptionTable, EveryPairNamesATemplateControlAndAString) {
    std::set<int32_t> controls;
    for (const CaptionPair& p : caption_table) {
        SCOPED_TRACE(p.control_id);
        EXPECT_NE(find_template_control(p.control_id), nullptr);
        const char* text = find_template_string(p.string_id);
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(controls.insert(p.control_id).second) << "one caption per control";
    }
    for (const ExpectedCaption& e : kCaptions) EXPECT_STREQ(find_template_string(e.string), e.text);
}

TEST(ApplyCaptions, PutsEveryTextOnItsControl) {
    reset_fakes();
    dialog_window = fake_dialog_handle();
    apply_captions(fake_dialog_handle());
    for (const ExpectedCaption& e : kCaptions) {
        SCOPED_TRACE(e.control);
        EXPECT_EQ(fake_control(e.control)->text, e.text);
    }
    // Controls outside the table keep their text (lists, fields, logo).
    EXPECT_EQ(fake_control(IDC_VRAM)->text, "");
    EXPECT_EQ(fake_control(IDC_SPEAKERS)->text, "");
}

TEST(ApplyCaptions, LoadsEachStringIntoTheTextBufferInTableOrder) {
    FakeMachine& m = reset_fakes();
    m.dialog.log_calls = true;
    apply_captions(fake_dialog_handle());
    std::vector<uint32_t> expected;
    for (const ExpectedCaption& e : kCaptions) expected.push_back(e.string);
    EXPECT_EQ(m.dialog.strings_loaded, expected);
    EXPECT_STREQ(text_buffer, "ver. 1.05");  // the last one loaded
}

TEST(ApplyCaptions, AMissingStringLeavesTheOtherPairsApplied) {
    FakeMachine& m = reset_fakes();
    m.dialog.strings.erase(3);
    fake_control(IDC_ANTIALIAS_LABEL)->text = "stale";
    apply_captions(fake_dialog_handle());
    EXPECT_EQ(fake_control(IDC_ANTIALIAS_LABEL)->text, "");
    EXPECT_EQ(fake_control(IDC_AUTODETECT)->text, "Autodetect");
    EXPECT_EQ(fake_control(IDC_VERSION_LABEL)->text, "ver. 1.05");
}

TEST(ExpertFold, DialogOpensFoldedBy85PixelsWithOpenText) {
    FakeMachine& m = standard_machine();
    open_dialog();
    EXPECT_FALSE(expert_visible);
    EXPECT_EQ(m.dialog.rect.bottom - m.dialog.rect.top, kFullHeight - EXPERT_FOLD_PIXELS);
    EXPECT_EQ(m.dialog.rect.right - m.dialog.rect.left, kFullWidth);
    EXPECT_EQ(m.dialog.rect.left, 100);
    EXPECT_EQ(m.dialog.rect.top, 100);
    EXPECT_EQ(m.dialog.window_pos_calls, 1);
    EXPECT_EQ(fake_control(IDC_EXPERT_TOGGLE)->text, "Open expert settings...");
}

TEST(ExpertFold, TwoClicksRestoreTheFoldedHeightToThePixel) {
    FakeMachine& m = standard_machine();
    open_dialog();
    const HostRect folded = m.dialog.rect;

    ASSERT_TRUE(fake_click(IDC_EXPERT_TOGGLE));
    EXPECT_TRUE(expert_visible);
    EXPECT_EQ(m.dialog.rect.bottom - m.dialog.rect.top, kFullHeight);
    EXPECT_EQ(m.dialog.rect.top, folded.top);
    EXPECT_EQ(fake_control(IDC_EXPERT_TOGGLE)->text, "Close expert settings...");

    ASSERT_TRUE(fake_click(IDC_EXPERT_TOGGLE));
    EXPECT_FALSE(expert_visible);
    EXPECT_EQ(m.dialog.rect.left, folded.left);
    EXPECT_EQ(m.dialog.rect.top, folded.top);
    EXPECT_EQ(m.dialog.rect.right, folded.right);
    EXPECT_EQ(m.dialog.rect.bottom, folded.bottom);
    EXPECT_EQ(fake_control(IDC_EXPERT_TOGGLE)->text, "Open expert settings...");
}

TEST(ExpertFold, MovedDialogKeepsItsTopLeftCorner) {
    FakeMachine& m = standard_machine();
    open_dialog();
    // The player drags the folded dialog elsewhere.
    m.dialog.rect = HostRect{-40, 700, -40 + kFullWidth, 700 + kFullHeight - EXPERT_FOLD_PIXELS};

    ASSERT_TRUE(fake_click(IDC_EXPERT_TOGGLE));
    EXPECT_EQ(m.dialog.rect.left, -40);
    EXPECT_EQ(m.dialog.rect.top, 700);
    EXPECT_EQ(m.dialog.rect.right, -40 + kFullWidth);
    EXPECT_EQ(m.dialog.rect.bottom, 700 + kFullHeight);
}

TEST(ExpertFold, ToggleWithoutInitFoldsFromTheShownState) {
    FakeMachine& m = reset_fakes();
    dialog_window = fake_dialog_handle();
    ASSERT_TRUE(expert_visible);  // the band is shown when the process starts
    toggle_expert_section();
    EXPECT_EQ(m.dialog.rect.bottom, 100 + kFullHeight - EXPERT_FOLD_PIXELS);
    toggle_expert_section();
    EXPECT_EQ(m.dialog.rect.bottom, 100 + kFullHeight);
    EXPECT_EQ(m.dialog.window_pos_calls, 2);
}

TEST(ExpertFold, FoldComesBeforeTheCaptionsAtInit) {
    FakeMachine& m = standard_machine();
    m.dialog.log_calls = true;
    open_dialog();
    // String 26 is loaded by the fold and again by the caption table; the
    // fold's load comes first, before string 1 of the table.
    ASSERT_GE(m.dialog.strings_loaded.size(), 2u);
    EXPECT_EQ(m.dialog.strings_loaded[0], 26u);
    EXPECT_EQ(m.dialog.strings_loaded[1], 1u);
}

}  // namespace

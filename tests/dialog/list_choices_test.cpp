// What the controller stores from the entry the player picks in a list.
#include <gtest/gtest.h>

#include "app/state.h"
#include "dialog_support.h"
#include "platform/winapi_values.h"
#include "probe/mode_table.h"
#include "res/resource.h"

using namespace dialog_test;

namespace {

constexpr uint32_t CBN_CLOSEUP_ = 8;

int32_t position_of(int32_t id, const std::string& text) {
    const auto texts = fake_list_texts(id);
    for (size_t i = 0; i < texts.size(); ++i)
        if (texts[i] == text) return static_cast<int32_t>(i);
    return -1;
}

void set_item_data(int32_t id, int32_t pos, intptr_t data) {
    fake_control(id)->items.at(static_cast<size_t>(pos)).data = data;
}

// ---------------------------------------------------------------- adapter

FakeAdapter second_adapter() {
    FakeAdapter a;
    a.description = "Second Test Adapter";
    add_modes(a, 640, 480, FORMAT_X8R8G8B8, {60});
    add_modes(a, 1152, 864, FORMAT_X8R8G8B8, {70});
    return a;
}

TEST(AdapterChoice, StoresTheOrdinalAndRebuildsTheAdapterLists) {
    FakeMachine& m = standard_machine();
    m.d3d.adapters.push_back(second_adapter());
    open_dialog_with(stored_record());
    ASSERT_EQ(fake_list_texts(IDC_ADAPTER).size(), 2u);
    const int ddraw_before = m.ddraw.created;

    ASSERT_TRUE(fake_choose(IDC_ADAPTER, 1));
    EXPECT_EQ(settings.adapter, 1);
    EXPECT_EQ(fake_list_texts(IDC_RESOLUTION), (std::vector<std::string>{" 640 x  480", "1152 x  864"}));
    EXPECT_EQ(m.ddraw.created, ddraw_before + 1) << "the adapter change measures again";
    EXPECT_EQ(m.d3d.alive(), 1);
}

TEST(AdapterChoice, StoresTheLowEightBitsOfTheData) {
    FakeMachine& m = standard_machine();
    m.d3d.adapters.push_back(second_adapter());
    open_dialog_with(stored_record());
    set_item_data(IDC_ADAPTER, 0, 0x7701);
    ASSERT_TRUE(fake_choose(IDC_ADAPTER, 0));
    EXPECT_EQ(settings.adapter, 1);
    set_item_data(IDC_ADAPTER, 0, 0x12F1);
    ASSERT_TRUE(fake_choose(IDC_ADAPTER, 0));
    EXPECT_EQ(settings.adapter, 0xF1);
}

TEST(AdapterChoice, OtherNotificationsAreIgnored) {
    FakeMachine& m = standard_machine();
    m.d3d.adapters.push_back(second_adapter());
    open_dialog_with(stored_record());
    fake_control(IDC_ADAPTER)->selection = 1;
    fake_command(IDC_ADAPTER, CBN_CLOSEUP_);
    EXPECT_EQ(settings.adapter, 0);
}

// ---------------------------------------------------------------- resolution

TEST(ResolutionChoice, CopiesTheEntrySizeAndRebuildsTheModeLists) {
    standard_machine();
    SetupSettings s = stored_record();  // 800 x 600, 32 bits, 75 Hz
    s.refresh_rate = 75;
    open_dialog_with(s);
    const int32_t pos = position_of(IDC_RESOLUTION, "1280 x  960");
    ASSERT_GE(pos, 0);
    ASSERT_TRUE(fake_choose(IDC_RESOLUTION, pos));
    EXPECT_EQ(settings.width, 1280);
    EXPECT_EQ(settings.height, 960);
    // 75 Hz is not offered at 1280 x 960: "Default" and rate 0.
    EXPECT_EQ(fake_list_texts(IDC_REFRESH), (std::vector<std::string>{"Default", "60 Hz", "85 Hz"}));
    EXPECT_EQ(fake_selected_text(IDC_REFRESH), "Default");
    EXPECT_EQ(settings.refresh_rate, 0);
    // 1280 x 960 comes in 32 bits only.
    EXPECT_EQ(fake_list_texts(IDC_BIT_DEPTH), (std::vector<std::string>{"32"}));
}

TEST(ResolutionChoice, SixteenBitOnlySizeSwitchesTheDepth) {
    FakeMachine& m = reset_fakes();
    FakeAdapter a = standard_adapter();
    add_modes(a, 1600, 1200, FORMAT_R5G6B5, {60});
    m.d3d.adapters.push_back(a);
    open_dialog_with(stored_record());
    ASSERT_TRUE(fake_choose(IDC_RESOLUTION, position_of(IDC_RESOLUTION, "1600 x 1200")));
    EXPECT_EQ(settings.bit_depth, 16);
    EXPECT_EQ(fake_selected_text(IDC_BIT_DEPTH), "16");
}

TEST(ResolutionChoice, UsesTheChosenItemNotTheTablePosition) {
    // Enumerated 1024, 640, 800: the sorted list puts them in another order.
    FakeMachine& m = reset_fakes();
    FakeAdapter a;
    add_modes(a, 1024, 768, FORMAT_X8R8G8B8, {60});
    add_modes(a, 640, 480, FORMAT_X8R8G8B8, {60});
    add_modes(a, 800, 600, FORMAT_X8R8G8B8, {60, 72});
    m.d3d.adapters.push_back(a);
    open_dialog_with(stored_record());
    ASSERT_EQ(fake_list_texts(IDC_RESOLUTION),
              (std::vector<std::string>{" 640 x  480", " 800 x  600", "1024 x  768"}));
    ASSERT_TRUE(fake_choose(IDC_RESOLUTION, 0));
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 480);
    ASSERT_TRUE(fake_choose(IDC_RESOLUTION, 1));
    EXPECT_EQ(settings.width, 800);
    EXPECT_EQ(fake_list_texts(IDC_REFRESH), (std::vector<std::string>{"Default", "60 Hz", "72 Hz"}));
}

TEST(ResolutionChoice, DepthListsComeFromTheChosenItem) {
    standard_machine();
    open_dialog_with(stored_record());
    // The last item now carries a second 1024 x 768 entry that offers 16 bits only;
    // looking the size up would find the real 1024 x 768 item first.
    mode_table[MODE_TABLE_SIZE - 2] = ModeEntry{1024, 768, CAPS_16BIT};
    const int32_t last = static_cast<int32_t>(fake_list_texts(IDC_RESOLUTION).size()) - 1;
    set_item_data(IDC_RESOLUTION, last, reinterpret_cast<intptr_t>(&mode_table[MODE_TABLE_SIZE - 2]));
    ASSERT_TRUE(fake_choose(IDC_RESOLUTION, last));
    EXPECT_EQ(settings.width, 1024);
    EXPECT_EQ(fake_list_texts(IDC_BIT_DEPTH), (std::vector<std::string>{"16"}));
    EXPECT_EQ(settings.bit_depth, 16);
}

TEST(ResolutionChoice, DataZeroOrCbErrIsIgnored) {
    for (const intptr_t data : {intptr_t{0}, intptr_t{CB_ERR}}) {
        SCOPED_TRACE(data);
        FakeMachine& m = standard_machine();
        open_dialog_with(stored_record());
        m.dialog.log_calls = true;
        set_item_data(IDC_RESOLUTION, 0, data);
        const auto record = settings_bytes();
        ASSERT_TRUE(fake_choose(IDC_RESOLUTION, 0));
        EXPECT_EQ(settings_bytes(), record);
        EXPECT_TRUE(m.dialog.list_resets.empty()) << "nothing is rebuilt";
    }
}

TEST(ResolutionChoice, DataThatIsNoTableEntryIsIgnored) {
    standard_machine();
    open_dialog_with(stored_record());
    ModeEntry outside{1600, 1200, CAPS_32BIT};
    set_item_data(IDC_RESOLUTION, 0, reinterpret_cast<intptr_t>(&outside));
    set_item_data(IDC_RESOLUTION, 1, reinterpret_cast<intptr_t>(&mode_table[0]) + 1);
    const auto record = settings_bytes();
    ASSERT_TRUE(fake_choose(IDC_RESOLUTION, 0));
    ASSERT_TRUE(fake_choose(IDC_RESOLUTION, 1));
    EXPECT_EQ(settings_bytes(), record);
}

TEST(ResolutionChoice, ReadsTheWholeAddressOfAnEntry) {
    standard_machine();
    open_dialog_with(stored_record());
    // A table entry far from the start: its address needs every bit.
    mode_table[MODE_TABLE_SIZE - 1] = ModeEntry{1400, 1050, CAPS_32BIT};
    set_item_data(IDC_RESOLUTION, 0, reinterpret_cast<intptr_t>(&mode_table[MODE_TABLE_SIZE - 1]));
    ASSERT_TRUE(fake_choose(IDC_RESOLUTION, 0));
    EXPECT_EQ(settings.width, 1400);
    EXPECT_EQ(settings.height, 1050);
}

TEST(ResolutionChoice, NoSelectionIsIgnored) {
    standard_machine();
    open_dialog_with(stored_record());
    const auto record = settings_bytes();
    fake_choose(IDC_RESOLUTION, -1);
    EXPECT_EQ(settings_bytes(), record);
}

// ---------------------------------------------------------------- refresh, depth, antialiasing

TEST(RefreshChoice, StoresTheWholeData) {
    for (const intptr_t data : {intptr_t{0}, intptr_t{60}, intptr_t{360}, intptr_t{0x12345}}) {
        SCOPED_TRACE(data);
        standard_machine();
        open_dialog_with(stored_record());
        set_item_data(IDC_REFRESH, 1, data);
        ASSERT_TRUE(fake_choose(IDC_REFRESH, 1));
        EXPECT_EQ(settings.refresh_rate, static_cast<int32_t>(data));
    }
}

TEST(RefreshChoice, ChoosingDefaultStoresZeroAndRebuildsNothing) {
    FakeMachine& m = standard_machine();
    open_dialog_with(stored_record());
    m.dialog.log_calls = true;
    ASSERT_TRUE(fake_choose(IDC_REFRESH, 0));
    EXPECT_EQ(settings.refresh_rate, 0);
    EXPECT_TRUE(m.dialog.list_resets.empty());
}

TEST(BitDepthChoice, StoresTheWholeDataAndKeepsTheRefreshList) {
    FakeMachine& m = standard_machine();
    open_dialog_with(stored_record());
    const auto refresh_items = fake_list_texts(IDC_REFRESH);
    m.dialog.log_calls = true;
    ASSERT_TRUE(fake_choose(IDC_BIT_DEPTH, 0));
    EXPECT_EQ(settings.bit_depth, 16);
    EXPECT_EQ(fake_list_texts(IDC_REFRESH), refresh_items);
    EXPECT_TRUE(m.dialog.list_resets.empty());

    set_item_data(IDC_BIT_DEPTH, 1, 0x10020);
    ASSERT_TRUE(fake_choose(IDC_BIT_DEPTH, 1));
    EXPECT_EQ(settings.bit_depth, 0x10020);
}

TEST(AntialiasingChoice, StoresTheLowEightBits) {
    standard_machine();
    open_dialog_with(stored_record());
    ASSERT_EQ(fake_list_texts(IDC_ANTIALIAS), (std::vector<std::string>{" OFF", " 2x", " 4x"}));
    ASSERT_TRUE(fake_choose(IDC_ANTIALIAS, 2));
    EXPECT_EQ(settings.antialiasing, 4);
    set_item_data(IDC_ANTIALIAS, 1, 0x302);
    ASSERT_TRUE(fake_choose(IDC_ANTIALIAS, 1));
    EXPECT_EQ(settings.antialiasing, 2);
    set_item_data(IDC_ANTIALIAS, 1, 0x1234);
    ASSERT_TRUE(fake_choose(IDC_ANTIALIAS, 1));
    EXPECT_EQ(settings.antialiasing, 0x34);
    ASSERT_TRUE(fake_choose(IDC_ANTIALIAS, 0));
    EXPECT_EQ(settings.antialiasing, 0);
}

struct ListCase {
    int32_t id;
    const char* name;
};

TEST(ListChoices, ActOnlyOnSelectionChange) {
    const ListCase lists[] = {{IDC_REFRESH, "refresh"},
                              {IDC_BIT_DEPTH, "depth"},
                              {IDC_ANTIALIAS, "antialiasing"},
                              {IDC_RESOLUTION, "resolution"}};
    for (const ListCase& l : lists) {
        SCOPED_TRACE(l.name);
        standard_machine();
        open_dialog_with(stored_record());
        const auto record = settings_bytes();
        fake_control(l.id)->selection = 0;
        for (const uint32_t code : {0u, 2u, 3u, 4u, 7u, 8u, 9u, 10u}) fake_command(l.id, code);
        EXPECT_EQ(settings_bytes(), record);
    }
}

TEST(ListChoices, ListWithoutSelectionStoresNothing) {
    const int32_t lists[] = {IDC_ADAPTER, IDC_REFRESH, IDC_BIT_DEPTH, IDC_ANTIALIAS};
    for (const int32_t id : lists) {
        SCOPED_TRACE(id);
        standard_machine();
        open_dialog_with(stored_record());
        const auto record = settings_bytes();
        fake_choose(id, -1);
        EXPECT_EQ(settings_bytes(), record);
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fakes.h"
#include "probe/adapters.h"
#include "probe/mode_table.h"
#include "probe_helpers.h"
#include "settings/settings.h"

namespace {

constexpr uint32_t F22 = FORMAT_X8R8G8B8;
constexpr uint32_t F23 = FORMAT_R5G6B5;

using Texts = std::vector<std::string>;

uint64_t version(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    return (uint64_t{a} << 48) | (uint64_t{b} << 32) | (uint64_t{c} << 16) | uint64_t{d};
}

FakeAdapter& named_adapter(FakeMachine& m, const char* description, std::vector<DisplayMode> modes = {}) {
    FakeAdapter& a = add_adapter(m, std::move(modes));
    a.description = description;
    return a;
}

// ---------------------------------------------------------------- the adapter list

struct RangeRow {
    const char* name;
    int adapters;
    std::vector<int> failing;  // ordinals whose identifier query fails
    uint8_t stored;
    uint8_t adapter_after;
    Texts items;
    std::vector<intptr_t> data;
    int32_t selected;
};

const std::vector<RangeRow>& range_rows() {
    static const std::vector<RangeRow> rows = {
        {"one_adapter_record_names_1", 1, {}, 1, 0, {"A0"}, {0}, 0},
        {"ordinal_200_reads_negative", 3, {}, 200, 0, {"A0", "A1", "A2"}, {0, 1, 2}, 0},
        {"ordinal_128_reads_negative", 3, {}, 128, 0, {"A0", "A1", "A2"}, {0, 1, 2}, 0},
        {"ordinal_255_reads_negative", 3, {}, 255, 0, {"A0", "A1", "A2"}, {0, 1, 2}, 0},
        {"ordinal_127_out_of_range", 3, {}, 127, 0, {"A0", "A1", "A2"}, {0, 1, 2}, 0},
        {"ordinal_equal_to_count", 3, {}, 3, 0, {"A0", "A1", "A2"}, {0, 1, 2}, 0},
        {"last_ordinal_kept", 3, {}, 2, 2, {"A0", "A1", "A2"}, {0, 1, 2}, 2},
        {"no_adapters", 0, {}, 5, 0, {}, {}, -1},
        {"no_adapters_record_zero", 0, {}, 0, 0, {}, {}, -1},
        {"failing_ordinal_1_record_2", 3, {1}, 2, 2, {"A0", "A2"}, {0, 2}, 1},
        {"record_names_the_failing_ordinal", 3, {1}, 1, 1, {"A0", "A2"}, {0, 2}, 0},
        {"first_fails_record_0", 2, {0}, 0, 0, {"A1"}, {1}, 0},
        {"all_fail", 2, {0, 1}, 1, 1, {}, {}, -1},
    };
    return rows;
}

class AdapterRange : public ::testing::TestWithParam<RangeRow> {};

TEST_P(AdapterRange, ListsNamedAdaptersAndBringsTheRecordIntoRange) {
    const RangeRow& r = GetParam();
    FakeMachine& m = probe_machine();
    for (int i = 0; i < r.adapters; ++i) named_adapter(m, std::string("A").append(std::to_string(i)).c_str());
    for (int i : r.failing) m.d3d.adapters[static_cast<size_t>(i)].identifier_fails = true;
    settings.adapter = r.stored;

    EXPECT_TRUE(build_adapter_list());
    EXPECT_EQ(settings.adapter, r.adapter_after);
    EXPECT_EQ(fake_list_texts(IDC_ADAPTER), r.items);
    EXPECT_EQ(fake_list_data(IDC_ADAPTER), r.data);
    EXPECT_EQ(fake_selection(IDC_ADAPTER), r.selected);
    // select_adapter ran: the memory was measured.
    EXPECT_EQ(m.ddraw.created, 1);
    EXPECT_EQ(m.d3d.alive(), 1);
    EXPECT_EQ(m.d3d.last_sdk_version, 220u);
}

INSTANTIATE_TEST_SUITE_P(Table, AdapterRange, ::testing::ValuesIn(range_rows()),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(AdapterList, SelectAdapterWorksOnAnUnlistedOrdinal) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0", {mode(640, 480, F22)});
    FakeAdapter& broken = named_adapter(m, "A1", {mode(800, 600, F22), mode(1024, 768, F22)});
    broken.identifier_fails = true;
    settings.adapter = 1;

    EXPECT_TRUE(build_adapter_list());
    EXPECT_EQ(fake_selected_text(IDC_ADAPTER), "A0");
    EXPECT_EQ(settings.adapter, 1);
    EXPECT_EQ(fake_control(IDC_DRIVER_VERSION)->text, "");
    EXPECT_EQ(fake_list_texts(IDC_RESOLUTION), (Texts{" 800 x  600", "1024 x  768"}));
}

TEST(AdapterList, NoAdaptersStillRunsSelectAdapter) {
    FakeMachine& m = probe_machine();
    fake_control(IDC_DRIVER_VERSION)->text = "old";
    fake_control(IDC_RESOLUTION)->items = {FakeItem{"old", 0}};
    settings.adapter = 3;
    settings.refresh_rate = 75;

    EXPECT_TRUE(build_adapter_list());
    EXPECT_EQ(settings.adapter, 0);
    EXPECT_TRUE(fake_list_texts(IDC_ADAPTER).empty());
    EXPECT_EQ(fake_control(IDC_DRIVER_VERSION)->text, "");
    EXPECT_EQ(fake_control(IDC_VRAM)->text, "VRAM: 64MB");
    EXPECT_TRUE(fake_list_texts(IDC_RESOLUTION).empty());
    EXPECT_EQ(fake_list_texts(IDC_REFRESH), (Texts{"Default"}));
    EXPECT_EQ(fake_selection(IDC_REFRESH), 0);
    EXPECT_EQ(static_cast<int32_t>(settings.refresh_rate), 0);
    EXPECT_EQ(m.ddraw.created, 1);
}

TEST(AdapterList, EqualDescriptionsGiveTwoItems) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "Same");
    named_adapter(m, "Same");
    settings.adapter = 1;
    build_adapter_list();
    EXPECT_EQ(fake_list_texts(IDC_ADAPTER), (Texts{"Same", "Same"}));
    EXPECT_EQ(fake_selection(IDC_ADAPTER), 1);
}

TEST(AdapterList, ListIsRefilledNotExtended) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0");
    named_adapter(m, "A1");
    build_adapter_list();
    build_adapter_list();
    EXPECT_EQ(fake_list_texts(IDC_ADAPTER), (Texts{"A0", "A1"}));
}

// Peak number of Direct3D objects alive, seen through the seam.
int peak_alive = 0;
const Direct3DApi* real_d3d = nullptr;
D3DObject* counting_create(uint32_t sdk) {
    D3DObject* d = real_d3d->create(sdk);
    peak_alive = std::max(peak_alive, fake_machine().d3d.alive());
    return d;
}

TEST(AdapterList, TwoBuildsLeaveOneObjectAliveAndNeverTwo) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0", {mode(640, 480, F22)});
    real_d3d = platform.d3d8;
    Direct3DApi api = *platform.d3d8;
    api.create = counting_create;
    platform.d3d8 = &api;
    peak_alive = 0;

    EXPECT_TRUE(build_adapter_list());
    D3DObject* first = d3d;
    EXPECT_TRUE(build_adapter_list());
    EXPECT_EQ(m.d3d.created, 2);
    EXPECT_EQ(m.d3d.released, 1);
    EXPECT_EQ(m.d3d.alive(), 1);
    EXPECT_EQ(peak_alive, 1);
    EXPECT_NE(d3d, nullptr);
    (void)first;
    reset_fakes();
}

TEST(AdapterList, FailedCreateTouchesNothing) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0", {mode(640, 480, F22)});
    m.d3d.create_fails = true;
    settings.adapter = 200;
    fake_control(IDC_ADAPTER)->items = {FakeItem{"old", 9}};
    fake_control(IDC_ADAPTER)->selection = 0;
    fake_control(IDC_VRAM)->text = "old";
    const auto before = settings_bytes();

    EXPECT_FALSE(build_adapter_list());
    EXPECT_EQ(d3d, nullptr);
    EXPECT_EQ(settings_bytes(), before);
    EXPECT_EQ(fake_list_texts(IDC_ADAPTER), (Texts{"old"}));
    EXPECT_EQ(fake_selection(IDC_ADAPTER), 0);
    EXPECT_EQ(fake_control(IDC_VRAM)->text, "old");
    EXPECT_EQ(m.ddraw.created, 0);
}

TEST(AdapterList, FailedRecreateReleasesTheOldObject) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0", {mode(640, 480, F22)});
    EXPECT_TRUE(build_adapter_list());
    m.d3d.create_fails = true;
    EXPECT_FALSE(build_adapter_list());
    EXPECT_EQ(d3d, nullptr);
    EXPECT_EQ(m.d3d.alive(), 0);
    // The lists keep what the earlier build gave them.
    EXPECT_EQ(fake_list_texts(IDC_ADAPTER), (Texts{"A0"}));
    EXPECT_EQ(fake_list_texts(IDC_RESOLUTION), (Texts{" 640 x  480"}));
}

TEST(AdapterList, WithoutItsControlOnlyTheObjectIsCreated) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0", {mode(640, 480, F22)});
    adapter_control = nullptr;
    settings.adapter = 200;

    EXPECT_TRUE(build_adapter_list());
    EXPECT_NE(d3d, nullptr);
    EXPECT_EQ(settings.adapter, 200);  // no clamping on this path
    EXPECT_EQ(m.ddraw.created, 0);     // no select_adapter
    EXPECT_TRUE(fake_list_texts(IDC_RESOLUTION).empty());

    EXPECT_TRUE(build_adapter_list());
    EXPECT_EQ(m.d3d.alive(), 1);
    m.d3d.create_fails = true;
    EXPECT_FALSE(build_adapter_list());
    EXPECT_EQ(m.d3d.alive(), 0);
}

// A back end that fills the whole description without a terminator.
const Direct3DApi* plain_d3d = nullptr;
long unterminated_identifier(D3DObject* d, uint32_t adapter, uint32_t flags, AdapterIdentifier* out) {
    const long r = plain_d3d->get_adapter_identifier(d, adapter, flags, out);
    std::memset(out->Description, 'D', sizeof out->Description);
    return r;
}

TEST(AdapterList, DescriptionIsNeverReadPastItsBuffer) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0");
    plain_d3d = platform.d3d8;
    Direct3DApi api = *platform.d3d8;
    api.get_adapter_identifier = unterminated_identifier;
    platform.d3d8 = &api;

    EXPECT_TRUE(build_adapter_list());
    ASSERT_EQ(fake_list_texts(IDC_ADAPTER).size(), 1u);
    EXPECT_EQ(fake_list_texts(IDC_ADAPTER)[0], std::string(511, 'D'));
    reset_fakes();
}

// ---------------------------------------------------------------- driver identity

struct VersionRow {
    uint16_t a, b, c, d;
    const char* text;
};

const VersionRow kVersions[] = {
    {4, 5, 7, 12, "Driver version: 4.05.07.0012"},
    {6, 0, 0, 1, "Driver version: 6.00.00.0001"},
    {65535, 99, 100, 10000, "Driver version: 65535.99.100.10000"},
    {0, 0, 0, 0, "Driver version: 0.00.00.0000"},
    {65535, 65535, 65535, 65535, "Driver version: 65535.65535.65535.65535"},
    {6, 14, 10, 9371, "Driver version: 6.14.10.9371"},
};

class DriverVersion : public ::testing::TestWithParam<VersionRow> {};

TEST_P(DriverVersion, FourSixteenBitPartsHighestFirst) {
    const VersionRow& r = GetParam();
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0").driver_version = version(r.a, r.b, r.c, r.d);
    EXPECT_TRUE(build_adapter_list());
    EXPECT_EQ(fake_control(IDC_DRIVER_VERSION)->text, r.text);
}

INSTANTIATE_TEST_SUITE_P(Table, DriverVersion, ::testing::ValuesIn(kVersions));

TEST(DriverIdentity, LabelFromTheStringTableIsTextNotAFormat) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0").driver_version = version(4, 5, 7, 12);
    m.dialog.strings[38] = "Version %s%n%d:";
    build_adapter_list();
    EXPECT_EQ(fake_control(IDC_DRIVER_VERSION)->text, "Version %s%n%d: 4.05.07.0012");
}

TEST(DriverIdentity, OverlongLabelIsCutToTheFormatBuffer) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0").driver_version = version(4, 5, 7, 12);
    m.dialog.strings[38] = std::string(1000, 'L');
    build_adapter_list();
    EXPECT_EQ(fake_control(IDC_DRIVER_VERSION)->text, std::string(FORMAT_BUFFER_SIZE - 1, 'L'));
}

TEST(DriverIdentity, MissingLabelLeavesTheVersion) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0").driver_version = version(1, 2, 3, 4);
    m.dialog.strings.erase(38);
    build_adapter_list();
    EXPECT_EQ(fake_control(IDC_DRIVER_VERSION)->text, " 1.02.03.0004");
}

TEST(DriverIdentity, FollowsTheCurrentAdapter) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0").driver_version = version(1, 0, 0, 1);
    named_adapter(m, "A1").driver_version = version(2, 0, 0, 2);
    named_adapter(m, "A2").identifier_fails = true;
    build_adapter_list();
    EXPECT_EQ(fake_control(IDC_DRIVER_VERSION)->text, "Driver version: 1.00.00.0001");
    settings.adapter = 1;
    EXPECT_TRUE(select_adapter());
    EXPECT_EQ(fake_control(IDC_DRIVER_VERSION)->text, "Driver version: 2.00.00.0002");
    settings.adapter = 2;
    EXPECT_TRUE(select_adapter());
    EXPECT_EQ(fake_control(IDC_DRIVER_VERSION)->text, "");
    settings.adapter = 200;  // no such adapter: the query fails
    EXPECT_TRUE(select_adapter());
    EXPECT_EQ(fake_control(IDC_DRIVER_VERSION)->text, "");
}

// ---------------------------------------------------------------- select_adapter

// Ordinals as they reach the platform.
std::vector<uint32_t> identifier_ordinals;
const Direct3DApi* recorded_d3d = nullptr;
long recording_identifier(D3DObject* d, uint32_t adapter, uint32_t flags, AdapterIdentifier* out) {
    identifier_ordinals.push_back(adapter);
    return recorded_d3d->get_adapter_identifier(d, adapter, flags, out);
}

TEST(SelectAdapter, AdapterIsReadAsASignedByte) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0");
    recorded_d3d = platform.d3d8;
    Direct3DApi api = *platform.d3d8;
    api.get_adapter_identifier = recording_identifier;
    platform.d3d8 = &api;
    open_d3d();
    identifier_ordinals.clear();

    settings.adapter = 200;
    select_adapter();
    settings.adapter = 127;
    select_adapter();
    EXPECT_EQ(identifier_ordinals, (std::vector<uint32_t>{static_cast<uint32_t>(-56), 127u}));
    reset_fakes();
}

TEST(SelectAdapter, VramTextFollowsEveryAdapterChange) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0");
    named_adapter(m, "A1");
    m.ddraw.total_bytes = 64u << 20;
    build_adapter_list();
    EXPECT_EQ(fake_control(IDC_VRAM)->text, "VRAM: 64MB");
    EXPECT_EQ(video_memory_mb, 64);

    m.ddraw.total_bytes = 100u << 20;
    settings.adapter = 1;
    select_adapter();
    EXPECT_EQ(fake_control(IDC_VRAM)->text, "VRAM: 128MB");
    EXPECT_EQ(video_memory_mb, 128);

    m.ddraw.query_fails = true;
    settings.adapter = 0;
    select_adapter();
    EXPECT_EQ(fake_control(IDC_VRAM)->text, "VRAM: 0MB");
    EXPECT_EQ(video_memory_mb, 0);

    m.ddraw.query_fails = false;
    m.ddraw.total_bytes = 4'294'967'295u;
    m.ddraw.device_was_null = false;
    select_adapter();
    EXPECT_EQ(fake_control(IDC_VRAM)->text, "VRAM: 4096MB");
    EXPECT_EQ(m.ddraw.created, 4);
    EXPECT_EQ(m.ddraw.alive(), 0);
    EXPECT_TRUE(m.ddraw.device_was_null);  // always the primary device
}

TEST(SelectAdapter, SecondAdapterStillShowsThePrimaryDevicesMemory) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "Primary");
    named_adapter(m, "Secondary");
    m.ddraw.total_bytes = 32u << 20;
    m.ddraw.device_was_null = false;
    settings.adapter = 1;
    build_adapter_list();
    EXPECT_EQ(fake_selected_text(IDC_ADAPTER), "Secondary");
    EXPECT_TRUE(m.ddraw.device_was_null);
    EXPECT_EQ(fake_control(IDC_VRAM)->text, "VRAM: 32MB");
}

TEST(SelectAdapter, WithoutDirect3DNothingChanges) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0", {mode(640, 480, F22)});
    video_memory_mb = 7;
    const auto before = settings_bytes();
    EXPECT_FALSE(select_adapter());
    EXPECT_EQ(video_memory_mb, 7);
    EXPECT_EQ(m.ddraw.created, 0);
    EXPECT_EQ(fake_control(IDC_VRAM)->text, "");
    EXPECT_TRUE(fake_list_texts(IDC_RESOLUTION).empty());
    EXPECT_TRUE(fake_list_texts(IDC_REFRESH).empty());
    EXPECT_EQ(settings_bytes(), before);
}

TEST(SelectAdapter, MeasuresEvenWithoutLabelsAndStopsWithoutResolutionList) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0", {mode(640, 480, F22)});
    open_d3d();
    driver_version_control = nullptr;
    vram_control = nullptr;
    resolution_control = nullptr;
    m.ddraw.total_bytes = 32u << 20;

    EXPECT_TRUE(select_adapter());
    EXPECT_EQ(video_memory_mb, 32);
    EXPECT_EQ(fake_control(IDC_VRAM)->text, "");
    EXPECT_EQ(fake_control(IDC_DRIVER_VERSION)->text, "");
    EXPECT_EQ(m.d3d.enum_calls, 0);
    EXPECT_TRUE(fake_list_texts(IDC_REFRESH).empty());  // the refresh list is not built either
}

TEST(SelectAdapter, RebuildsTableResolutionAndRefreshListsButNotDepthOrAntialias) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0", {mode(1024, 768, F22, 60), mode(1024, 768, F22, 75), mode(800, 600, F22, 60)});
    named_adapter(m, "A1", {mode(640, 480, F23, 60), mode(1024, 768, F22, 85)});
    settings.refresh_rate = 75;
    fake_control(IDC_BIT_DEPTH)->items = {FakeItem{"keep", 1}};
    fake_control(IDC_ANTIALIAS)->items = {FakeItem{"keep", 1}};

    build_adapter_list();
    EXPECT_EQ(fake_list_texts(IDC_RESOLUTION), (Texts{" 800 x  600", "1024 x  768"}));
    EXPECT_EQ(fake_selected_text(IDC_RESOLUTION), "1024 x  768");
    EXPECT_EQ(fake_list_texts(IDC_REFRESH), (Texts{"Default", "60 Hz", "75 Hz"}));
    EXPECT_EQ(fake_selected_text(IDC_REFRESH), "75 Hz");

    settings.adapter = 1;
    select_adapter();
    EXPECT_EQ(fake_list_texts(IDC_RESOLUTION), (Texts{" 640 x  480", "1024 x  768"}));
    EXPECT_EQ(fake_list_data(IDC_RESOLUTION), (std::vector<intptr_t>{entry_address(0), entry_address(1)}));
    EXPECT_EQ(fake_list_texts(IDC_REFRESH), (Texts{"Default", "85 Hz"}));
    EXPECT_EQ(fake_selected_text(IDC_REFRESH), "Default");
    EXPECT_EQ(static_cast<int32_t>(settings.refresh_rate), 0);
    EXPECT_EQ(fake_list_texts(IDC_BIT_DEPTH), (Texts{"keep"}));
    EXPECT_EQ(fake_list_texts(IDC_ANTIALIAS), (Texts{"keep"}));
}

TEST(SelectAdapter, RecordSizeTheAdapterLacksLeavesNoSelection) {
    FakeMachine& m = probe_machine();
    named_adapter(m, "A0", {mode(640, 480, F22), mode(1280, 1024, F22)});
    settings.width = 1280;
    settings.height = 1024;
    build_adapter_list();
    EXPECT_EQ(fake_list_texts(IDC_RESOLUTION), (Texts{" 640 x  480"}));
    EXPECT_EQ(fake_selection(IDC_RESOLUTION), -1);
    EXPECT_EQ(static_cast<int32_t>(settings.width), 1280);
    EXPECT_EQ(static_cast<int32_t>(settings.height), 1024);
}

}  // namespace

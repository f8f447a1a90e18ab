#include <gtest/gtest.h>

#include <cstdint>

#include "fakes.h"
#include "probe/video_memory.h"

namespace {

struct RoundingRow {
    uint32_t total_bytes;
    int32_t megabytes;
};

const RoundingRow kRounding[] = {
    {0u, 1},
    {524'288u, 1},
    {1'048'576u, 1},
    {31'457'280u, 32},
    {66'060'288u, 64},
    {67'108'864u, 64},
    {68'157'440u, 128},
    {4'294'967'295u, 4096},
    // Around the edges of the table above.
    {67'108'863u, 64},       // one byte below 64 MB: 63 whole MB
    {1'048'575u, 1},         // one byte below 1 MB
    {2'097'152u, 2},         // 2 MB
    {3'145'728u, 4},         // 3 MB
    {2'147'483'648u, 2048},  // 2 GB exactly
    {2'148'532'224u, 4096},  // 2 GB + 1 MB
};

class VideoMemoryRounding : public ::testing::TestWithParam<RoundingRow> {};

TEST_P(VideoMemoryRounding, MeasuredTotalIsRoundedUpToAPowerOfTwo) {
    FakeMachine& m = reset_fakes();
    m.ddraw.total_bytes = GetParam().total_bytes;

    EXPECT_EQ(measure_video_memory(nullptr), GetParam().megabytes);
    EXPECT_EQ(round_video_memory(GetParam().total_bytes), GetParam().megabytes);
    EXPECT_EQ(m.ddraw.created, 1);
    EXPECT_EQ(m.ddraw.alive(), 0);
}

INSTANTIATE_TEST_SUITE_P(Table, VideoMemoryRounding, ::testing::ValuesIn(kRounding));

TEST(VideoMemory, EveryWholeMegabyteCountGivesTheSmallestPowerOfTwoNotBelowIt) {
    for (uint32_t mb = 0; mb <= 4095; ++mb) {
        int32_t expected = 1;
        while (static_cast<uint32_t>(expected) < mb) expected *= 2;
        // Any remainder below a megabyte is dropped.
        ASSERT_EQ(round_video_memory(mb << 20), expected) << mb << " MB";
        ASSERT_EQ(round_video_memory((mb << 20) | 0xFFFFFu), expected) << mb << " MB + remainder";
    }
}

TEST(VideoMemory, AsksOnlyForLocalVideoMemoryOfTheActiveDevice) {
    FakeMachine& m = reset_fakes();
    m.ddraw.device_was_null = false;
    measure_video_memory(nullptr);
    EXPECT_TRUE(m.ddraw.device_was_null);
    EXPECT_EQ(m.ddraw.last_caps[0], 0x10000000u);
    EXPECT_EQ(m.ddraw.last_caps[1], 0u);
    EXPECT_EQ(m.ddraw.last_caps[2], 0u);
    EXPECT_EQ(m.ddraw.last_caps[3], 0u);
}

TEST(VideoMemory, FailedCreateGivesZeroAndReleasesNothing) {
    FakeMachine& m = reset_fakes();
    m.ddraw.create_fails = true;
    EXPECT_EQ(measure_video_memory(nullptr), 0);
    EXPECT_EQ(m.ddraw.created, 0);
    EXPECT_EQ(m.ddraw.released, 0);
}

TEST(VideoMemory, FailedQueryGivesZeroWithTheObjectReleased) {
    FakeMachine& m = reset_fakes();
    m.ddraw.query_fails = true;
    EXPECT_EQ(measure_video_memory(nullptr), 0);
    EXPECT_EQ(m.ddraw.created, 1);
    EXPECT_EQ(m.ddraw.released, 1);
    EXPECT_EQ(m.ddraw.alive(), 0);
}

TEST(VideoMemory, EveryCallAsksAgain) {
    FakeMachine& m = reset_fakes();
    m.ddraw.total_bytes = 64u << 20;
    EXPECT_EQ(measure_video_memory(nullptr), 64);
    m.ddraw.total_bytes = 256u << 20;
    EXPECT_EQ(measure_video_memory(nullptr), 256);
    m.ddraw.query_fails = true;
    EXPECT_EQ(measure_video_memory(nullptr), 0);
    EXPECT_EQ(m.ddraw.created, 3);
    EXPECT_EQ(m.ddraw.alive(), 0);
}

// A back end that reports success but hands back no object must not be
// queried or released.
long create_without_object(const Guid*, DDrawObject** out) {
    *out = nullptr;
    return 0;
}
int null_queries = 0;
long count_query(DDrawObject* dd, const uint32_t*, uint32_t*, uint32_t*) {
    if (dd == nullptr) ++null_queries;
    return 0;
}
int null_releases = 0;
uint32_t count_release(DDrawObject* dd) {
    if (dd == nullptr) ++null_releases;
    return 0;
}

TEST(VideoMemory, SuccessWithoutAnObjectCountsAsFailure) {
    reset_fakes();
    const DirectDrawApi odd = {create_without_object, count_query, count_release};
    platform.ddraw = &odd;
    null_queries = null_releases = 0;
    EXPECT_EQ(measure_video_memory(nullptr), 0);
    EXPECT_EQ(null_queries, 0);
    EXPECT_EQ(null_releases, 0);
    reset_fakes();
}

}  // namespace

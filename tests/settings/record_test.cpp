#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fakes.h"
#include "settings/settings.h"

namespace {

const std::vector<uint8_t> kDefaultBytes = {0x0C, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x20, 0x00,
                                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
                                            0x00, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x01, 0x01, 0x04, 0x00};

TEST(Record, DefaultsAreTheReferenceBytes) {
    EXPECT_EQ(bytes_of(default_settings()), kDefaultBytes);
    SetupSettings s;
    std::memset(&s, 0xAB, sizeof s);
    set_defaults(&s);
    EXPECT_EQ(bytes_of(s), kDefaultBytes);
}

// Taken during dynamic initialisation, before main and before any test has
// touched the record: it must already hold the defaults then.
const std::vector<uint8_t> kRecordAtStart = bytes_of(settings);

TEST(Record, ProcessWideRecordStartsWithDefaults) { EXPECT_EQ(kRecordAtStart, kDefaultBytes); }

TEST(Record, WidthIsLittleEndianAtOffsetTwo) {
    SetupSettings s = default_settings();
    s.width = 1280;
    const auto b = bytes_of(s);
    EXPECT_EQ(b[2], 0x00);
    EXPECT_EQ(b[3], 0x05);
    EXPECT_EQ(b[4], 0x00);
    EXPECT_EQ(b[5], 0x00);
}

TEST(Record, SignedFieldsRoundTrip) {
    struct Case {
        int32_t value;
        uint8_t bytes[4];
    };
    const Case cases[] = {
        {0, {0, 0, 0, 0}},
        {-1, {0xFF, 0xFF, 0xFF, 0xFF}},
        {360, {0x68, 0x01, 0, 0}},
        {INT32_MIN, {0, 0, 0, 0x80}},
        {INT32_MAX, {0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const auto& c : cases) {
        SetupSettings s = default_settings();
        s.refresh_rate = c.value;
        EXPECT_EQ(0, std::memcmp(raw_bytes(&s) + 14, c.bytes, 4)) << c.value;
        EXPECT_EQ(static_cast<int32_t>(s.refresh_rate), c.value);
    }
}

TEST(Record, ArbitraryBytesRoundTripThroughFields) {
    uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        uint8_t in[SETTINGS_SIZE];
        for (auto& b : in) {
            seed = seed * 1103515245u + 12345u;
            b = static_cast<uint8_t>(seed >> 16);
        }
        SetupSettings s;
        std::memcpy(&s, in, SETTINGS_SIZE);
        SetupSettings copy = default_settings();
        // Field by field, as the program reads and writes them.
        copy.tag = s.tag;
        copy.adapter = s.adapter;
        copy.width = static_cast<int32_t>(s.width);
        copy.height = static_cast<int32_t>(s.height);
        copy.bit_depth = static_cast<int32_t>(s.bit_depth);
        copy.refresh_rate = static_cast<int32_t>(s.refresh_rate);
        std::memcpy(raw_bytes(&copy) + 18, raw_bytes(&s) + 18, SETTINGS_SIZE - 18);
        EXPECT_EQ(0, std::memcmp(raw_bytes(&copy), in, SETTINGS_SIZE));
    }
}

}  // namespace

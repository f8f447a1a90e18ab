// The record's bytes and the store's rule: a value is taken only when it is
// exactly 35 bytes long, whatever its type or content.
#include <gtest/gtest.h>

#include <cstring>

#include "fakes.h"
#include "settings/store.h"

namespace {

const Bytes DEFAULT_BYTES = {0x0C, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x20, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
                             0x00, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x01, 0x01, 0x04, 0x00};

TEST(Record, DefaultsAndFieldOffsets) {
    EXPECT_EQ(bytes_of(default_settings()), DEFAULT_BYTES);
    SetupSettings filled;
    std::memset(raw_bytes(&filled), 0xEE, SETTINGS_SIZE);
    set_defaults(&filled);
    EXPECT_EQ(bytes_of(filled), DEFAULT_BYTES);

    // 32-bit fields are little-endian at their offsets, whatever the host.
    SetupSettings s = default_settings();
    s.width = 1280, s.refresh_rate = -2;
    Bytes expected = DEFAULT_BYTES;
    expected[3] = 0x05;  // 1280 = 00 05 00 00
    std::fill(expected.begin() + 14, expected.begin() + 18, 0xFF), expected[14] = 0xFE;
    EXPECT_EQ(bytes_of(s), expected);
}

Bytes numbered(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(0xA0 + i);
    return b;
}

TEST(Store, OnlyA35ByteValueIsTaken) {
    struct Case {
        bool key;
        std::optional<Bytes> value;
        uint32_t type;
        bool taken;
    };
    const Case cases[] = {
        {false, std::nullopt, 3, false}, {true, std::nullopt, 3, false}, {true, Bytes{}, 3, false},
        {true, numbered(1), 3, false},   {true, numbered(34), 3, false}, {true, numbered(35), 3, true},
        {true, numbered(35), 1, true},   {true, numbered(35), 4, true},  {true, numbered(36), 3, false},
        {true, numbered(1000), 3, false},
    };
    for (const Case& c : cases) {
        const std::string label = "key " + std::to_string(c.key) + ", " +
                                  (c.value ? std::to_string(c.value->size()) + " bytes" : "no value");
        FakeMachine& m = reset_fakes();
        m.key_exists = c.key;
        m.value = c.value;
        m.value_type = c.type;
        set_defaults(&settings);
        settings.width = 77;  // a rejected value leaves the live record alone
        const Bytes before = settings_bytes();
        EXPECT_EQ(load_settings(), c.taken) << label;
        EXPECT_EQ(settings_bytes(), c.taken ? *c.value : before) << label;

        SetupSettings copy;
        std::memset(raw_bytes(&copy), 0xEE, SETTINGS_SIZE);
        read_stored_copy(&copy);
        EXPECT_EQ(bytes_of(copy), c.taken ? *c.value : DEFAULT_BYTES) << label;
        EXPECT_EQ(m.keys_open, 0) << label;
        // One key, one value, asked with room for the record and no more.
        for (const std::string& call : m.registry_calls)
            EXPECT_TRUE(call == "open Software\\Brannick\\Velmora" || call == "query Orvex_setup 35") << call;
    }
}

TEST(Store, SaveWritesTheWholeRecordAndReportsFailure) {
    for (int failing = 0; failing < 3; ++failing) {
        FakeMachine& m = reset_fakes();
        m.fail_create = failing == 1;
        m.fail_set = failing == 2;
        SetupSettings record = record_of(numbered(35));
        EXPECT_EQ(save_settings(&record), failing == 0);
        EXPECT_EQ(m.keys_open, 0);
        if (failing) continue;
        EXPECT_EQ(*m.value, numbered(35));
        EXPECT_EQ(m.registry_calls, (std::vector<std::string>{"create Software\\Brannick\\Velmora 983103",
                                                               "set Orvex_setup 3"}));
        set_defaults(&settings);
        EXPECT_TRUE(load_settings());
        EXPECT_EQ(settings_bytes(), numbered(35));
    }
}

}  // namespace

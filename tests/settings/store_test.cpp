#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fakes.h"
#include "settings/settings.h"
#include "settings/store.h"

namespace {

const std::vector<uint8_t> kDefaults = bytes_of(default_settings());

// Distinct from the defaults at every offset, with a tag other than 12.
std::vector<uint8_t> pattern(size_t size, uint8_t seed = 0x51) {
    std::vector<uint8_t> b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(seed + 7 * i);
    for (size_t i = 0; i < size && i < SETTINGS_SIZE; ++i)
        if (b[i] == kDefaults[i]) b[i] ^= 0x80;
    return b;
}

// A live record that is neither the defaults nor any stored pattern, so an
// unwanted overwrite always shows.
void scribble_live_record() {
    settings.width = 1600;
    settings.height = 1200;
    settings.voice_chat = 1;
    settings.tag = 99;
}

class Store : public ::testing::Test {
protected:
    void SetUp() override { reset_fakes(); }
    void TearDown() override { EXPECT_EQ(fake_machine().registry.open_handles, 0) << "a key handle was left open"; }
    FakeRegistry& reg() { return fake_machine().registry; }
};

// ---------------------------------------------------------------- load

TEST_F(Store, NoKeyLeavesTheRecordAlone) {
    scribble_live_record();
    const auto before = settings_bytes();
    EXPECT_FALSE(load_settings());
    EXPECT_EQ(settings_bytes(), before);
}

TEST_F(Store, KeyWithoutValueIsNotAccepted) {
    reg().keys[SETTINGS_SUBKEY]["Something_else"] = FakeRegValue{REG_TYPE_BINARY, pattern(35)};
    scribble_live_record();
    const auto before = settings_bytes();
    EXPECT_FALSE(load_settings());
    EXPECT_EQ(settings_bytes(), before);
}

TEST_F(Store, OpenFailureIsNotAccepted) {
    store_bytes(pattern(35));
    reg().fail_open = true;
    scribble_live_record();
    const auto before = settings_bytes();
    EXPECT_FALSE(load_settings());
    EXPECT_EQ(settings_bytes(), before);
}

struct SizeCase {
    size_t size;
    bool accepted;
};

class StoreSizes : public Store, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(StoreSizes, OnlyExactly35BytesAreAccepted) {
    const auto stored = pattern(GetParam().size);
    store_bytes(stored);
    scribble_live_record();
    const auto before = settings_bytes();

    EXPECT_EQ(load_settings(), GetParam().accepted);
    if (GetParam().accepted)
        EXPECT_EQ(settings_bytes(), stored);
    else
        EXPECT_EQ(settings_bytes(), before) << "a rejected value must not touch the record";
    EXPECT_EQ(reg().open_handles, 0);

    SetupSettings copy;
    std::memset(&copy, 0xAB, sizeof copy);
    read_stored_copy(&copy);
    EXPECT_EQ(bytes_of(copy), GetParam().accepted ? stored : kDefaults);
    // Reading never changes what is stored.
    EXPECT_EQ(stored_bytes(), stored);
}

INSTANTIATE_TEST_SUITE_P(Sizes, StoreSizes,
                         ::testing::Values(SizeCase{0, false}, SizeCase{1, false}, SizeCase{34, false},
                                           SizeCase{35, true}, SizeCase{36, false}, SizeCase{1000, false}),
                         [](const auto& param_info) { return "Bytes" + std::to_string(param_info.param.size); });

class StoreTypes : public Store, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(StoreTypes, TypeIsNotExamined) {
    const auto stored = pattern(35, 0x20);
    store_bytes(stored, GetParam());
    EXPECT_TRUE(load_settings());
    EXPECT_EQ(settings_bytes(), stored);
    SetupSettings copy;
    read_stored_copy(&copy);
    EXPECT_EQ(bytes_of(copy), stored);
}

// REG_NONE, REG_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, an unknown type
INSTANTIATE_TEST_SUITE_P(Types, StoreTypes, ::testing::Values(0u, 1u, 3u, 4u, 7u, 0x1234u));

TEST_F(Store, AnyContentIsTakenAsItIs) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> zeros(35, 0x00), ones(35, 0xFF), tag7 = kDefaults;
    tag7[0] = 7;
    std::vector<uint8_t> wild = kDefaults;
    wild[1] = 200;              // adapter far out of range
    wild[2] = wild[3] = 0xFF;  // width -1 ...
    wild[4] = wild[5] = 0xFF;
    wild[33] = 17;  // no such speaker entry
    const Case cases[] = {{"all zero", zeros}, {"all 0xFF", ones}, {"tag 7", tag7}, {"out of range", wild}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        set_defaults(&settings);
        store_bytes(c.bytes);
        EXPECT_TRUE(load_settings());
        EXPECT_EQ(settings_bytes(), c.bytes);
    }
}

TEST_F(Store, EachOperationOpensTheKeyOnce) {
    store_bytes(pattern(35));
    SetupSettings copy;
    const struct {
        const char* what;
        void (*run)(SetupSettings*);
    } ops[] = {
        {"load", [](SetupSettings*) { load_settings(); }},
        {"save", [](SetupSettings*) { save_settings(&settings); }},
        {"copy", [](SetupSettings* c) { read_stored_copy(c); }},
    };
    for (const auto& op : ops) {
        SCOPED_TRACE(op.what);
        const int before = reg().opens;
        op.run(&copy);
        EXPECT_EQ(reg().opens - before, 1);
        EXPECT_EQ(reg().open_handles, 0);
    }
}

// ---------------------------------------------------------------- read_stored_copy

TEST_F(Store, CopyIsTheDefaultsWhenNothingValidIsStored) {
    struct Case {
        const char* what;
        void (*arrange)();
    };
    const Case cases[] = {
        {"no key", [] {}},
        {"key without value", [] { fake_machine().registry.keys[SETTINGS_SUBKEY]; }},
        {"34 bytes", [] { store_bytes(pattern(34)); }},
        {"36 bytes", [] { store_bytes(pattern(36)); }},
        {"open fails", [] {
             store_bytes(pattern(35));
             fake_machine().registry.fail_open = true;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reset_fakes();
        c.arrange();
        scribble_live_record();
        const auto live = settings_bytes();
        SetupSettings copy;
        std::memset(&copy, 0xAB, sizeof copy);
        read_stored_copy(&copy);
        EXPECT_EQ(bytes_of(copy), kDefaults);
        EXPECT_EQ(settings_bytes(), live) << "the copy must not touch the live record";
        EXPECT_EQ(reg().open_handles, 0);
    }
}

TEST_F(Store, DefaultRecordCountsAsUnchangedWhenNothingIsStored) {
    SetupSettings copy;
    read_stored_copy(&copy);
    EXPECT_EQ(std::memcmp(raw_bytes(&copy), raw_bytes(&settings), SETTINGS_SIZE), 0);
}

// ---------------------------------------------------------------- save

TEST_F(Store, SaveThenLoadReproducesTheRecord) {
    SetupSettings record = default_settings();
    std::memcpy(raw_bytes(&record), pattern(35, 0x33).data(), SETTINGS_SIZE);
    EXPECT_TRUE(save_settings(&record));

    set_defaults(&settings);
    EXPECT_TRUE(load_settings());
    EXPECT_EQ(settings_bytes(), bytes_of(record));

    SetupSettings copy;
    read_stored_copy(&copy);
    EXPECT_EQ(bytes_of(copy), bytes_of(record));
}

TEST_F(Store, SaveWritesOneBinaryValueOf35BytesWithFullAccess) {
    scribble_live_record();
    EXPECT_TRUE(save_settings(&settings));
    EXPECT_EQ(reg().last_create_access, 0xF003Fu);
    ASSERT_EQ(reg().keys.count(SETTINGS_SUBKEY), 1u);
    const auto& values = reg().keys[SETTINGS_SUBKEY];
    ASSERT_EQ(values.size(), 1u);
    const auto& v = values.at("Orvex_setup");
    EXPECT_EQ(v.type, 3u);
    EXPECT_EQ(v.data, settings_bytes());
}

TEST_F(Store, SaveReplacesAnyEarlierValue) {
    store_bytes(pattern(1000), 1);
    scribble_live_record();
    EXPECT_TRUE(save_settings(&settings));
    EXPECT_EQ(stored_bytes(), settings_bytes());
    EXPECT_EQ(reg().keys[SETTINGS_SUBKEY][SETTINGS_VALUE].type, REG_TYPE_BINARY);
}

TEST_F(Store, SaveReportsFailureAndStoresNothing) {
    struct Case {
        const char* what;
        bool fail_create;
        bool fail_set;
        bool had_value;
    };
    const Case cases[] = {
        {"create fails", true, false, false},
        {"set fails", false, true, false},
        {"create fails over an old value", true, false, true},
        {"set fails over an old value", false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        reset_fakes();
        const auto old = pattern(35, 0x70);
        if (c.had_value) store_bytes(old);
        reg().fail_create = c.fail_create;
        reg().fail_set = c.fail_set;
        scribble_live_record();
        EXPECT_FALSE(save_settings(&settings));
        EXPECT_EQ(stored_bytes(), c.had_value ? old : std::vector<uint8_t>{});
        EXPECT_EQ(reg().open_handles, 0);
    }
}

// ---------------------------------------------------------------- read contract in detail
// A scripted registry whose one value read behaves as told, to pin down what
// the store does with the buffer and the reported length.

struct Script {
    long result = 0;
    uint32_t reported_length = 35;
    bool write_data = false;
    uint8_t fill = 0;
    uint32_t buffer_size_seen = 0;
    bool type_pointer_given = false;
    int open = 0;
} script;

const RegistryApi scripted_registry = {
    [](const char*, RegKey** key) -> long {
        static int token;
        *key = reinterpret_cast<RegKey*>(&token);
        ++script.open;
        return 0;
    },
    [](RegKey*, const char* name, uint32_t* type, uint8_t* data, uint32_t* length) -> long {
        if (std::strcmp(name, "Orvex_setup") != 0) return 2;
        script.buffer_size_seen = *length;
        script.type_pointer_given = type != nullptr;
        if (type) *type = 1;
        if (script.write_data) std::memset(data, script.fill, *length < 35 ? *length : 35);
        *length = script.reported_length;
        return script.result;
    },
    [](const char*, uint32_t, RegKey**) -> long { return 5; },
    [](RegKey*, const char*, uint32_t, const uint8_t*, uint32_t) -> long { return 5; },
    [](RegKey*) -> long {
        --script.open;
        return 0;
    },
};

TEST_F(Store, ReadContract) {
    struct Case {
        const char* what;
        long result;
        uint32_t reported;
        bool write_data;
        bool accepted;
        bool expect_defaults;  // when accepted: the pre-filled defaults came through
    };
    const Case cases[] = {
        // A read that succeeds but fills nothing yields the pre-filled defaults.
        {"success, nothing written", 0, 35, false, true, true},
        {"success, 35 bytes", 0, 35, true, true, false},
        // A failed read never counts, whatever length it leaves behind.
        {"failure leaving length 35", 234, 35, true, false, false},
        {"failure leaving length 35, nothing written", 5, 35, false, false, false},
        // A successful read of any other length is rejected.
        {"success, length 34", 0, 34, true, false, false},
        {"success, length 36", 0, 36, true, false, false},
        {"success, length 0", 0, 0, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        platform.registry = &scripted_registry;
        script = Script{};
        script.result = c.result;
        script.reported_length = c.reported;
        script.write_data = c.write_data;
        script.fill = 0x5A;

        scribble_live_record();
        const auto live = settings_bytes();
        EXPECT_EQ(load_settings(), c.accepted);
        EXPECT_EQ(script.buffer_size_seen, 35u);
        EXPECT_TRUE(script.type_pointer_given);
        EXPECT_EQ(script.open, 0);
        const std::vector<uint8_t> filled(35, 0x5A);
        if (!c.accepted)
            EXPECT_EQ(settings_bytes(), live);
        else
            EXPECT_EQ(settings_bytes(), c.expect_defaults ? kDefaults : filled);

        SetupSettings copy;
        std::memset(&copy, 0xAB, sizeof copy);
        read_stored_copy(&copy);
        EXPECT_EQ(script.open, 0);
        if (!c.accepted)
            EXPECT_EQ(bytes_of(copy), kDefaults);
        else
            EXPECT_EQ(bytes_of(copy), c.expect_defaults ? kDefaults : filled);
    }
}

}  // namespace

// The store through the real registry back end, against the registry of the
// machine it runs on (Wine's under ctest). The value must land in the 32-bit
// view, where the game's 32-bit engine reads it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fakes.h"
#include "settings/settings.h"
#include "settings/store.h"
#include "win32_backends.h"

namespace {

constexpr const char* kSubkey = "Software\\Brannick\\Velmora";
constexpr const char* kValue = "Orvex_setup";

const std::vector<uint8_t> kDefaults = bytes_of(default_settings());

// Printable, so it survives string types too; differs from the defaults everywhere.
std::vector<uint8_t> pattern(size_t size, uint8_t seed = 0) {
    std::vector<uint8_t> b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>('A' + (seed + 5 * i) % 26);
    return b;
}

void delete_key_in(REGSAM view) {
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brannick", 0, KEY_ALL_ACCESS | view, &parent) ==
        ERROR_SUCCESS) {
        RegDeleteTreeA(parent, "Velmora");
        RegCloseKey(parent);
    }
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "Software\\Brannick", view, 0);
}

void delete_key() {
    delete_key_in(KEY_WOW64_32KEY);
    delete_key_in(KEY_WOW64_64KEY);
}

// Writes the value directly into the 32-bit view.
void write_value(const std::vector<uint8_t>& bytes, DWORD type = REG_BINARY) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSubkey, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, kValue, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())), ERROR_SUCCESS);
    RegCloseKey(key);
}

struct Read {
    DWORD type = 0;
    std::vector<uint8_t> data;
};

std::optional<Read> read_value(const char* subkey, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return std::nullopt;
    Read r;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, kValue, nullptr, &r.type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        r.data.resize(size);
        result = RegQueryValueExA(key, kValue, nullptr, &r.type, r.data.data(), &size);
        r.data.resize(size);
    }
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return std::nullopt;
    return r;
}

// The real back end, counting the key handles it hands out and takes back.
int open_keys = 0;
const RegistryApi counting_registry = {
    [](const char* subkey, RegKey** key) {
        const long r = win32_registry_api.open_key(subkey, key);
        if (r == 0) ++open_keys;
        return r;
    },
    win32_registry_api.query_value,
    [](const char* subkey, uint32_t access, RegKey** key) {
        const long r = win32_registry_api.create_key(subkey, access, key);
        if (r == 0) ++open_keys;
        return r;
    },
    win32_registry_api.set_value,
    [](RegKey* key) {
        --open_keys;
        return win32_registry_api.close_key(key);
    },
};

class RegistryWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        delete_key();
        reset_fakes();
        platform.registry = &counting_registry;
        open_keys = 0;
    }
    void TearDown() override {
        EXPECT_EQ(open_keys, 0) << "a key handle was left open";
        delete_key();
    }
};

TEST_F(RegistryWin32, NoKeyLeavesTheRecordAlone) {
    settings.width = 1600;
    const auto live = settings_bytes();
    EXPECT_FALSE(load_settings());
    EXPECT_EQ(settings_bytes(), live);
    SetupSettings copy;
    std::memset(&copy, 0xAB, sizeof copy);
    read_stored_copy(&copy);
    EXPECT_EQ(bytes_of(copy), kDefaults);
}

TEST_F(RegistryWin32, OnlyExactly35BytesAreAccepted) {
    const struct {
        size_t size;
        bool accepted;
    } cases[] = {{0, false}, {1, false}, {34, false}, {35, true}, {36, false}, {1000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size));
        const auto stored = pattern(c.size, 3);
        write_value(stored);
        set_defaults(&settings);
        settings.height = 1050;
        const auto live = settings_bytes();
        EXPECT_EQ(load_settings(), c.accepted);
        EXPECT_EQ(settings_bytes(), c.accepted ? stored : live);
        SetupSettings copy;
        read_stored_copy(&copy);
        EXPECT_EQ(bytes_of(copy), c.accepted ? stored : kDefaults);
    }
}

TEST_F(RegistryWin32, TypeIsNotExamined) {
    // REG_NONE, REG_SZ, REG_BINARY, REG_DWORD, an unknown type
    for (DWORD type : {DWORD{REG_NONE}, DWORD{REG_SZ}, DWORD{REG_BINARY}, DWORD{REG_DWORD}, DWORD{0x1234}}) {
        SCOPED_TRACE("type " + std::to_string(type));
        auto stored = pattern(35, static_cast<uint8_t>(type));
        // A string goes through a character-set conversion both ways; with its
        // terminator inside the 35 bytes it comes back as it went in.
        if (type == REG_SZ) stored.back() = 0;
        write_value(stored, type);
        set_defaults(&settings);
        EXPECT_TRUE(load_settings());
        EXPECT_EQ(settings_bytes(), stored);
    }
}

TEST_F(RegistryWin32, SaveThenLoadReproducesTheRecord) {
    write_value(pattern(1000));  // an earlier, oversized value is replaced
    SetupSettings record;
    std::memcpy(raw_bytes(&record), pattern(35, 11).data(), SETTINGS_SIZE);
    record.tag = 0xFE;
    ASSERT_TRUE(save_settings(&record));

    set_defaults(&settings);
    EXPECT_TRUE(load_settings());
    EXPECT_EQ(settings_bytes(), bytes_of(record));
    SetupSettings copy;
    read_stored_copy(&copy);
    EXPECT_EQ(bytes_of(copy), bytes_of(record));
}

TEST_F(RegistryWin32, SavedValueLandsInThe32BitView) {
    settings.width = 1280;
    settings.tag = 5;
    ASSERT_TRUE(save_settings(&settings));

    const auto in32 = read_value(kSubkey, KEY_WOW64_32KEY);
    ASSERT_TRUE(in32);
    EXPECT_EQ(in32->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(in32->data, settings_bytes());
    EXPECT_EQ(in32->data.size(), 35u);

    // Where the 32-bit view lives as seen from the 64-bit one.
    const auto node = read_value("Software\\Wow6432Node\\Brannick\\Velmora", KEY_WOW64_64KEY);
    ASSERT_TRUE(node);
    EXPECT_EQ(node->data, settings_bytes());

    EXPECT_FALSE(read_value(kSubkey, KEY_WOW64_64KEY)) << "the value must not land in the 64-bit view";
}

TEST_F(RegistryWin32, ValueOnlyInThe64BitViewIsNotSeen) {
    // What an earlier 64-bit build without the view flag would have left.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSubkey, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const auto bytes = pattern(35, 9);
    ASSERT_EQ(RegSetValueExA(key, kValue, 0, REG_BINARY, bytes.data(), 35), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_FALSE(load_settings());
}

TEST_F(RegistryWin32, BackEndSpeaksTheRegistryContract) {
    const auto bytes = pattern(50, 1);
    write_value(bytes, REG_DWORD);

    RegKey* key = nullptr;
    ASSERT_EQ(win32_registry_api.open_key(kSubkey, &key), 0);
    uint8_t buffer[35];
    uint32_t type = 0, length = sizeof buffer;
    EXPECT_EQ(win32_registry_api.query_value(key, kValue, &type, buffer, &length), ERROR_MORE_DATA);
    EXPECT_EQ(length, 50u);
    length = 0;
    EXPECT_EQ(win32_registry_api.query_value(key, kValue, &type, nullptr, &length), 0);
    EXPECT_EQ(length, 50u);
    EXPECT_EQ(type, static_cast<uint32_t>(REG_DWORD));
    EXPECT_EQ(win32_registry_api.query_value(key, "Missing", &type, buffer, &length), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(win32_registry_api.close_key(key), 0);
    // Closing really gives the handle back.
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(reinterpret_cast<HKEY>(key), kValue, nullptr, nullptr, nullptr, &size),
              ERROR_INVALID_HANDLE);

    ASSERT_EQ(win32_registry_api.create_key(kSubkey, KEY_ALL_ACCESS, &key), 0);
    EXPECT_EQ(win32_registry_api.set_value(key, "Other", REG_BINARY, bytes.data(), 3), 0);
    EXPECT_EQ(win32_registry_api.close_key(key), 0);
    const auto other = [] {
        HKEY k = nullptr;
        std::vector<uint8_t> data(16);
        DWORD other_size = 16, other_type = 0;
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSubkey, 0, KEY_READ | KEY_WOW64_32KEY, &k);
        RegQueryValueExA(k, "Other", nullptr, &other_type, data.data(), &other_size);
        RegCloseKey(k);
        data.resize(other_size);
        return data;
    }();
    EXPECT_EQ(other, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 3));

    EXPECT_EQ(win32_registry_api.open_key("Software\\Brannick\\NoSuchGame", &key), ERROR_FILE_NOT_FOUND);
}

}  // namespace

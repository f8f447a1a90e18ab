#include "settings/store.h"

#include <cstring>

#include "platform/seams.h"

namespace {

// Reads the stored value into `out`, which must already hold the defaults.
// One key handle, closed before returning. Only a value of exactly the
// record's size counts; its type is not looked at, so a record written by
// hand as another type still works.
bool read_value(SetupSettings* out) {
    const RegistryApi* reg = platform.registry;
    RegKey* key = nullptr;
    if (reg->open_key(SETTINGS_SUBKEY, &key) != 0) return false;

    uint32_t type = 0;
    uint32_t length = SETTINGS_SIZE;
    // A larger value fails here (the buffer is too small) and so counts as missing.
    if (reg->query_value(key, SETTINGS_VALUE, &type, raw_bytes(out), &length) != 0) length = 0;
    reg->close_key(key);

    return length == SETTINGS_SIZE;
}

}  // namespace

bool load_settings() {
    // Read into a scratch record so a rejected or half-filled value never
    // reaches the live one.
    SetupSettings stored = default_settings();
    if (!read_value(&stored)) return false;
    std::memcpy(raw_bytes(&settings), raw_bytes(&stored), SETTINGS_SIZE);
    return true;
}

bool save_settings(const SetupSettings* record) {
    const RegistryApi* reg = platform.registry;
    RegKey* key = nullptr;
    if (reg->create_key(SETTINGS_SUBKEY, REG_ACCESS_ALL, &key) != 0) return false;
    const bool stored = reg->set_value(key, SETTINGS_VALUE, REG_TYPE_BINARY, raw_bytes(record),
                                       static_cast<uint32_t>(SETTINGS_SIZE)) == 0;
    reg->close_key(key);
    return stored;
}

void read_stored_copy(SetupSettings* copy) {
    set_defaults(copy);
    SetupSettings stored = default_settings();
    if (read_value(&stored)) std::memcpy(raw_bytes(copy), raw_bytes(&stored), SETTINGS_SIZE);
}

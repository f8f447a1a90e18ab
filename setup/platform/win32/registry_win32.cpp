#include <windows.h>

#include "win32_backends.h"

// The game's engine is a 32-bit program, so it reads the 32-bit registry
// view. A 32-bit build lands there by itself; a 64-bit build has to ask for
// that view on every open and create, or it would store where the engine
// never looks.

namespace {

HKEY to_hkey(RegKey* key) { return reinterpret_cast<HKEY>(key); }

long reg_open(const char* subkey, RegKey** key) {
    HKEY opened = nullptr;
#if defined(_WIN64)
    const LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ | KEY_WOW64_32KEY, &opened);
#else
    const LONG result = RegOpenKeyA(HKEY_LOCAL_MACHINE, subkey, &opened);
#endif
    if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey*>(opened);
    return result;
}

long reg_query(RegKey* key, const char* name, uint32_t* type, uint8_t* data, uint32_t* length) {
    DWORD value_type = 0;
    DWORD size = length ? *length : 0;
    const LONG result = RegQueryValueExA(to_hkey(key), name, nullptr, type ? &value_type : nullptr, data,
                                         length ? &size : nullptr);
    if (type) *type = value_type;
    if (length) *length = size;
    return result;
}

long reg_create(const char* subkey, uint32_t access, RegKey** key) {
    REGSAM sam = access;
#if defined(_WIN64)
    sam |= KEY_WOW64_32KEY;
#endif
    HKEY created = nullptr;
    DWORD disposition = 0;
    const LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, sam,
                                        nullptr, &created, &disposition);
    if (result == ERROR_SUCCESS) *key = reinterpret_cast<RegKey*>(created);
    return result;
}

long reg_set(RegKey* key, const char* name, uint32_t type, const uint8_t* data, uint32_t length) {
    return RegSetValueExA(to_hkey(key), name, 0, type, data, length);
}

long reg_close(RegKey* key) { return RegCloseKey(to_hkey(key)); }

}  // namespace

const RegistryApi win32_registry_api = {.open_key = reg_open,
                                        .query_value = reg_query,
                                        .create_key = reg_create,
                                        .set_value = reg_set,
                                        .close_key = reg_close};

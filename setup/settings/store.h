// The stored copy of the record: one binary value of exactly 35 bytes,
// HKEY_LOCAL_MACHINE\Software\Brannick\Velmora\Orvex_setup, reached through
// platform.registry.
#pragma once

#include "settings/settings.h"

constexpr const char* SETTINGS_SUBKEY = "Software\\Brannick\\Velmora";
constexpr const char* SETTINGS_VALUE = "Orvex_setup";

// Replaces the process-wide record by the stored one when a value of exactly
// 35 bytes is found; true when it was accepted.
bool load_settings();

// Stores the record whole. Returns whether the value was written.
bool save_settings(const SetupSettings* record);

// The stored record, or the defaults when none is valid.
void read_stored_copy(SetupSettings* copy);

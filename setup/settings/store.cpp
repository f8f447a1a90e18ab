#include "settings/store.h"

// Placeholder until the store lands.
bool load_settings() { return false; }
bool save_settings(const SetupSettings*) { return false; }
void read_stored_copy(SetupSettings* copy) { set_defaults(copy); }

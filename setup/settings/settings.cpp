#include "settings/settings.h"

constinit SetupSettings settings = default_settings();

void set_defaults(SetupSettings* record) { *record = default_settings(); }

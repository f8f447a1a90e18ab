#include "dialog/controller.h"

// Placeholder until the controller lands.
intptr_t setup_dialog_proc(HostWindow, uint32_t, uintptr_t, intptr_t) { return 0; }
void sync_controls_from_settings() {}
void update_enabled_controls() {}
void read_options_from_controls() {}
bool has_unsaved_changes() { return false; }
void fatal_setup_error(const char*) {}

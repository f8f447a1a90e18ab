// The dialog procedure: keeps the controls and the settings record in step.
#pragma once

#include <cstdint>

#include "platform/seams.h"

// Handles WM_INITDIALOG and WM_COMMAND; returns 0 for every message.
intptr_t setup_dialog_proc(HostWindow dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Keeps the dialog handle and the handles of the seven controls the probe fills.
void cache_control_handles(HostWindow dialog);

void sync_controls_from_settings();
void update_enabled_controls();
void read_options_from_controls();
bool has_unsaved_changes();
void fatal_setup_error(const char* text);

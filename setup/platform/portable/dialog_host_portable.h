// The Qt dialog host's public face, for the program and the tests: IDD_SETUP
// built from the shared template tables, with the Windows dialog manager's
// rules (automatic check boxes, commands only for what the player does,
// EndDialog taking effect once the procedure returns). Its parts, and the map
// of its files, are in dialog_host_parts.h.
#pragma once

#include <cstdint>

#include <QFont>
#include <QRect>

#include "app/entry.h"
#include "platform/seams.h"

// The dialog font: the template's 8-point font stands for 6 x 13 pixel dialog
// base units at 96 DPI; this face and pixel size keep every caption inside its
// control as the template was laid out for.
constexpr const char* QT_DIALOG_FONT_FAMILY = "Liberation Sans Narrow";
constexpr int QT_DIALOG_FONT_PIXELS = 11;
QFont qt_dialog_font();

// Dialog units to pixels, rounded as MapDialogRect rounds.
int qt_dialog_x(int dialog_units);
int qt_dialog_y(int dialog_units);
// A control's rectangle in the dialog's client area; combo boxes count only
// their closed field.
QRect qt_control_rect(int32_t id);
constexpr int QT_COMBO_FIELD_HEIGHT = 21;  // pixels, the closed field of a combo box

// The whole modal run, as DialogBoxParamA: build, WM_INITDIALOG, the modal
// loop until the procedure ends the dialog. Returns the end code.
intptr_t qt_run_dialog();

// Where the dialog sends its messages: setup_dialog_proc, or a test's recorder.
using QtDialogProcedure = intptr_t (*)(HostWindow dialog, uint32_t message, uintptr_t wparam, intptr_t lparam);
extern QtDialogProcedure qt_dialog_procedure;

// What the native entry hands setup_main: malloc and free, nothing to do for
// COM or the common controls, the Qt dialog run modally (platform_portable.cpp).
extern const ProgramHost qt_program_host;

// Installs the five portable back ends in `platform` (platform_portable.cpp).
void install_portable_platform();

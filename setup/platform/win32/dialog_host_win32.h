// The Win32 dialog host: the instance the program's resources come from and
// the dialog procedure user32 calls.
#pragma once

#include <windows.h>

// Module whose string table LoadStringA reads; WinMain sets it before the
// dialog runs (tests set it to their own module).
extern HINSTANCE setup_instance;

// DLGPROC for IDD_SETUP: forwards to the core's setup_dialog_proc and returns
// its result (0 = let the dialog manager do its default processing).
INT_PTR CALLBACK win32_setup_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

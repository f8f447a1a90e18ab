// The floor for setup.exe's start-up: the least a Win32 dialog from a
// resource template costs. One button; OK or Esc ends it.
#include <windows.h>

#include "floor_win32.h"

namespace {

INT_PTR CALLBACK floor_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
    }
    return FALSE;
}

// The same SETUP_EXIT_WHEN_SHOWN hook as setup.exe.
void CALLBACK exit_when_shown(HWND, UINT, UINT_PTR, DWORD) {
    char line[128] = "shown ";
    GetWindowTextA(GetActiveWindow(), line + 6, static_cast<int>(sizeof line) - 8);
    lstrcatA(line, "\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
    ExitProcess(0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    char flag[8];
    const DWORD length = GetEnvironmentVariableA("SETUP_EXIT_WHEN_SHOWN", flag, sizeof flag);
    if (length > 0 && length < sizeof flag) SetTimer(nullptr, 0, 0, exit_when_shown);
    return static_cast<int>(DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_FLOOR), nullptr, floor_proc, 0));
}

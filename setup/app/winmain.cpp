// The Windows entry: installs the Win32 back ends and runs the shared
// start-up and shutdown sequence. The command line is not used.
#include <windows.h>
#include <objbase.h>

#include "app/entry.h"
#include "dialog_host_win32.h"
#include "res/resource.h"
#include "win32_backends.h"

namespace {

void* allocate(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }

void release_memory(void* block) { HeapFree(GetProcessHeap(), 0, block); }

void com_initialize() { CoInitialize(nullptr); }

// Ordinal 17 of comctl32 is InitCommonControls. The library stays loaded for
// the whole run: its window classes must outlive the dialog.
void init_common_controls() {
    HMODULE comctl = LoadLibraryA("comctl32.dll");
    if (!comctl) return;
    using InitProc = void(WINAPI*)();
    // FARPROC to the real type through void (*)(), the type GCC takes for any
    // function: function pointer to function pointer, no object pointer between.
    auto init = reinterpret_cast<InitProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(comctl, MAKEINTRESOURCEA(17))));
    if (init) init();
}

#ifdef SETUP_STARTUP_PROBE
// Only in the start-up measurement build (setup_startup_probe.exe), never in
// the program: with SETUP_EXIT_WHEN_SHOWN=1, once the dialog's loop runs and
// has painted it (a timer comes after paints), print "shown <title>" on
// stdout and leave, saving nothing.
void CALLBACK exit_when_shown(HWND, UINT, UINT_PTR, DWORD) {
    char line[128] = "shown ";
    GetWindowTextA(GetActiveWindow(), line + 6, static_cast<int>(sizeof line) - 8);
    lstrcatA(line, "\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
    ExitProcess(0);
}
#endif

intptr_t run_dialog() {
#ifdef SETUP_STARTUP_PROBE
    char flag[8];
    const DWORD length = GetEnvironmentVariableA("SETUP_EXIT_WHEN_SHOWN", flag, sizeof flag);
    if (length > 0 && length < sizeof flag) SetTimer(nullptr, 0, 0, exit_when_shown);
#endif
    return DialogBoxParamA(setup_instance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, win32_setup_dialog_proc, 0);
}

void com_uninitialize() { CoUninitialize(); }

const ProgramHost win32_program_host = {.allocate = allocate,
                                        .release_memory = release_memory,
                                        .com_initialize = com_initialize,
                                        .init_common_controls = init_common_controls,
                                        .run_dialog = run_dialog,
                                        .com_uninitialize = com_uninitialize};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    platform = Platform{.registry = &win32_registry_api,
                        .d3d8 = &win32_d3d8_api,
                        .ddraw = &win32_ddraw_api,
                        .voice = &win32_voice_api,
                        .host = &win32_dialog_host_api};
    setup_instance = instance;
    return setup_main(&win32_program_host);
}

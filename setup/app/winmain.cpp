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
    auto init = reinterpret_cast<InitProc>(reinterpret_cast<void*>(GetProcAddress(comctl, MAKEINTRESOURCEA(17))));
    if (init) init();
}

intptr_t run_dialog() {
    return DialogBoxParamA(setup_instance, MAKEINTRESOURCEA(IDD_SETUP), nullptr, win32_setup_dialog_proc, 0);
}

void com_uninitialize() { CoUninitialize(); }

const ProgramHost win32_program_host = {allocate, release_memory, com_initialize,
                                        init_common_controls, run_dialog, com_uninitialize};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    platform.registry = &win32_registry_api;
    platform.d3d8 = &win32_d3d8_api;
    platform.ddraw = &win32_ddraw_api;
    platform.voice = &win32_voice_api;
    platform.host = &win32_dialog_host_api;
    setup_instance = instance;
    return setup_main(&win32_program_host);
}

// Program entry and lifetime, written once for both platforms.
#pragma once

#include <cstddef>
#include <cstdint>

// What differs between the Windows entry and the portable one.
struct ProgramHost {
    void* (*allocate)(size_t size);  // null on failure
    void (*release_memory)(void* block);
    void (*com_initialize)();         // CoInitialize(NULL); result not examined
    void (*init_common_controls)();   // comctl32 ordinal 17
    intptr_t (*run_dialog)();         // DialogBoxParamA(instance, 101, NULL, setup_dialog_proc, 0)
    void (*com_uninitialize)();       // CoUninitialize()
};

// The start-up and shutdown sequence: buffers, COM, common controls,
// load_settings, the modal dialog, release of the Direct3D object, COM,
// buffers. Returns the exit code: 0, or -1 when a buffer cannot be allocated.
int setup_main(const ProgramHost* host);

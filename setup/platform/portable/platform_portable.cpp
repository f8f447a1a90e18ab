// The native program's platform: the five portable back ends in the seam
// table, and what the entry hands setup_main.
#include <cstdlib>

#include "dialog_host_portable.h"
#include "portable_backends.h"

namespace {

void* allocate(size_t size) { return std::malloc(size); }
void release_memory(void* block) { std::free(block); }
void nothing() {}

}  // namespace

const ProgramHost qt_program_host = {.allocate = allocate,
                                     .release_memory = release_memory,
                                     .com_initialize = nothing,
                                     .init_common_controls = nothing,
                                     .run_dialog = qt_run_dialog,
                                     .com_uninitialize = nothing};

void install_portable_platform() {
    platform = Platform{.registry = &portable_registry_api,
                        .d3d8 = &portable_d3d8_api,
                        .ddraw = &portable_ddraw_api,
                        .voice = &portable_voice_api,
                        .host = &portable_dialog_host_api};
}

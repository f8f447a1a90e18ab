#include "app/entry.h"

#include "app/state.h"
#include "settings/store.h"

int setup_main(const ProgramHost* host) {
    text_buffer = static_cast<char*>(host->allocate(TEXT_BUFFER_SIZE));
    if (!text_buffer) return -1;
    caption_buffer = static_cast<char*>(host->allocate(TEXT_BUFFER_SIZE));
    if (!caption_buffer) {
        // Not in the original order of things, but a buffer must not leak.
        host->release_memory(text_buffer);
        text_buffer = nullptr;
        return -1;
    }
    text_buffer[0] = '\0';
    caption_buffer[0] = '\0';

    host->com_initialize();
    host->init_common_controls();
    settings_loaded = load_settings();
    host->run_dialog();

    if (d3d) {
        platform.d3d8->release(d3d);
        d3d = nullptr;
    }
    host->com_uninitialize();
    host->release_memory(text_buffer);
    host->release_memory(caption_buffer);
    text_buffer = nullptr;
    caption_buffer = nullptr;
    return 0;
}

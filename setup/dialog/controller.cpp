#include "dialog/controller.h"

#include <cstring>

#include "app/state.h"
#include "dialog/autodetect.h"
#include "dialog/captions.h"
#include "dialog/voice_check.h"
#include "platform/winapi_values.h"
#include "probe/adapters.h"
#include "probe/mode_table.h"
#include "probe/option_lists.h"
#include "probe/video_memory.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "settings/store.h"

namespace {

constexpr uint32_t STRING_SETUP_ERROR = 28;
constexpr uint32_t STRING_NO_DISPLAY_DEVICES = 29;
constexpr uint32_t STRING_FIRST_SPEAKER = 30;
constexpr uint32_t SPEAKER_ENTRIES = 5;
constexpr uint8_t SPEAKER_CURRENT_WINDOWS = 4;
constexpr uint32_t STRING_WARNING = 35;
constexpr uint32_t STRING_DISCARD_CHANGES = 36;

constexpr intptr_t END_SAVED = 0;
constexpr intptr_t END_DISCARDED = -1;
constexpr intptr_t END_FATAL = 0;

// A string that cannot be loaded leaves an empty text rather than the
// previous one.
void load_into(char* buffer, uint32_t id) {
    buffer[0] = '\0';
    platform.host->load_string(id, buffer, TEXT_BUFFER_SIZE);
}

uint8_t is_checked(int32_t id) { return platform.host->get_check(dialog_window, id) == BST_CHECKED ? 1 : 0; }

void set_checked(int32_t id, bool on) { platform.host->set_check(dialog_window, id, on ? BST_CHECKED : BST_UNCHECKED); }

void enable_control(int32_t id, bool enabled) {
    if (HostWindow control = platform.host->get_item(dialog_window, id)) platform.host->enable(control, enabled);
}

HostWindow speaker_list() { return platform.host->get_item(dialog_window, IDC_SPEAKERS); }

// The data of the selected entry of a probe list, or false when the list is
// missing or has no selected entry.
bool selected_data(HostWindow list, int32_t* position, intptr_t* data) {
    if (!list) return false;
    const int32_t selected = platform.host->list_get_selection(list);
    if (selected < 0) return false;
    *position = selected;
    *data = platform.host->list_get_data(list, selected);
    return true;
}

// ---------------------------------------------------------------- handlers

void shared_option_command(int32_t sender) {
    read_options_from_controls();
    update_enabled_controls();

    // Hardware transform and lighting and multipass rendering exclude each
    // other; the box just clicked wins.
    if (settings.hardware_tnl == 1 && sender != IDC_MULTIPASS) {
        settings.multipass_rendering = 0;
    } else if (settings.multipass_rendering == 1) {
        settings.hardware_tnl = 0;
    } else {
        return;
    }
    sync_controls_from_settings();
}

void texture_pair_command(int32_t sender) {
    if (sender == IDC_TEX_COMPRESSED) {
        settings.compressed_textures = is_checked(IDC_TEX_COMPRESSED);
        settings.true_color_textures = 0;
        set_checked(IDC_TEX_TRUE_COLOR, false);
    } else {
        settings.true_color_textures = is_checked(IDC_TEX_TRUE_COLOR);
        settings.compressed_textures = 0;
        set_checked(IDC_TEX_COMPRESSED, false);
    }
}

void adapter_chosen() {
    int32_t position;
    intptr_t data;
    if (!selected_data(adapter_control, &position, &data)) return;
    settings.adapter = static_cast<uint8_t>(data & 0xFF);
    select_adapter();
}

void resolution_chosen() {
    int32_t position;
    intptr_t data;
    if (!selected_data(resolution_control, &position, &data)) return;
    // Item data hold the entry's whole address; 0, CB_ERR or anything that is
    // not an entry leaves the record's size alone.
    const ModeEntry* entry = mode_entry_of(data);
    if (!entry) return;
    settings.width = static_cast<int32_t>(entry->width);
    settings.height = static_cast<int32_t>(entry->height);
    build_refresh_list();
    build_depth_and_aa_lists(position);
}

void refresh_chosen() {
    int32_t position;
    intptr_t data;
    if (!selected_data(refresh_control, &position, &data)) return;
    settings.refresh_rate = static_cast<int32_t>(data);
}

void bit_depth_chosen() {
    int32_t position;
    intptr_t data;
    if (!selected_data(bit_depth_control, &position, &data)) return;
    settings.bit_depth = static_cast<int32_t>(data);
}

void antialiasing_chosen() {
    int32_t position;
    intptr_t data;
    if (!selected_data(antialias_control, &position, &data)) return;
    settings.antialiasing = static_cast<uint8_t>(data & 0xFF);
}

void rebuild_display_lists() {
    if (!build_adapter_list()) {
        load_into(text_buffer, STRING_NO_DISPLAY_DEVICES);
        fatal_setup_error(text_buffer);
    }
    // Runs even after a fatal error: the dialog closes once the procedure returns.
    sync_controls_from_settings();
}

void autodetect_command() {
    // The figure of the latest adapter selection; not measured again.
    apply_autodetect_profile(video_memory_mb);
    rebuild_display_lists();
}

void save_and_exit() {
    if (!save_settings(&settings)) {
        // The player's choices stay in the open dialog so that nothing is lost.
        load_into(caption_buffer, STRING_SETUP_ERROR);
        load_into(text_buffer, IDS_SAVE_FAILED);
        platform.host->message_box(dialog_window, text_buffer, caption_buffer, MB_OK);
        return;
    }
    platform.host->end_dialog(dialog_window, END_SAVED);
}

void exit_command() {
    if (has_unsaved_changes()) {
        load_into(text_buffer, STRING_DISCARD_CHANGES);
        load_into(caption_buffer, STRING_WARNING);
        const int32_t answer =
            platform.host->message_box(dialog_window, text_buffer, caption_buffer, MB_YESNO | MB_ICONWARNING);
        if (answer == IDNO) return;
    }
    platform.host->end_dialog(dialog_window, END_DISCARDED);
}

void init_dialog(HostWindow dialog) {
    cache_control_handles(dialog);

    toggle_expert_section();
    apply_captions(dialog);

    if (!settings_loaded) {
        video_memory_mb = measure_video_memory(nullptr);
        apply_autodetect_profile(video_memory_mb);
    }
    rebuild_display_lists();
}

void command(int32_t id, uint32_t code) {
    switch (id) {
        case IDOK:
            save_and_exit();
            break;
        case IDCANCEL:
            exit_command();
            break;
        case IDC_SPEAKERS:
        case IDC_FULLSCREEN:
        case IDC_TRIPLE_BUFFER:
        case IDC_SOUND:
        case IDC_TEX_LOW_DETAIL:
        case IDC_VSYNC:
        case IDC_OPTION_1011:
        case IDC_SUSPEND_INACTIVE:
        case IDC_HW_TNL:
        case IDC_DISABLE_EAX:
        case IDC_SOFTWARE_MIXING:
        case IDC_OPTION_1028:
        case IDC_MULTIPASS:
            shared_option_command(id);
            break;
        case IDC_TEX_COMPRESSED:
        case IDC_TEX_TRUE_COLOR:
            texture_pair_command(id);
            break;
        case IDC_ADAPTER:
            if (code == CBN_SELCHANGE) adapter_chosen();
            break;
        case IDC_RESOLUTION:
            if (code == CBN_SELCHANGE) resolution_chosen();
            break;
        case IDC_REFRESH:
            if (code == CBN_SELCHANGE) refresh_chosen();
            break;
        case IDC_BIT_DEPTH:
            if (code == CBN_SELCHANGE) bit_depth_chosen();
            break;
        case IDC_ANTIALIAS:
            if (code == CBN_SELCHANGE) antialiasing_chosen();
            break;
        case IDC_AUTODETECT:
            autodetect_command();
            break;
        case IDC_EXPERT_TOGGLE:
            toggle_expert_section();
            break;
        case IDC_VOICE_CHAT:
            voice_chat_command();
            break;
        default:
            break;
    }
}

}  // namespace

void cache_control_handles(HostWindow dialog) {
    dialog_window = dialog;
    adapter_control = platform.host->get_item(dialog, IDC_ADAPTER);
    resolution_control = platform.host->get_item(dialog, IDC_RESOLUTION);
    bit_depth_control = platform.host->get_item(dialog, IDC_BIT_DEPTH);
    antialias_control = platform.host->get_item(dialog, IDC_ANTIALIAS);
    driver_version_control = platform.host->get_item(dialog, IDC_DRIVER_VERSION);
    vram_control = platform.host->get_item(dialog, IDC_VRAM);
    refresh_control = platform.host->get_item(dialog, IDC_REFRESH);
}

intptr_t setup_dialog_proc(HostWindow dialog, uint32_t message, uintptr_t wparam, intptr_t) {
    if (message == WM_INITDIALOG) {
        init_dialog(dialog);
    } else if (message == WM_COMMAND) {
        command(static_cast<int32_t>(wparam & 0xFFFF), static_cast<uint32_t>((wparam >> 16) & 0xFFFF));
    }
    return 0;
}

void read_options_from_controls() {
    settings.fullscreen = is_checked(IDC_FULLSCREEN);
    settings.triple_buffering = is_checked(IDC_TRIPLE_BUFFER);
    settings.hardware_tnl = is_checked(IDC_HW_TNL);
    settings.low_detail_textures = is_checked(IDC_TEX_LOW_DETAIL);
    settings.vsync = is_checked(IDC_VSYNC);
    settings.option_1011 = is_checked(IDC_OPTION_1011);
    settings.sound_disabled = is_checked(IDC_SOUND) ? 0 : 1;
    settings.software_mixing_only = is_checked(IDC_SOFTWARE_MIXING);
    settings.disable_eax = is_checked(IDC_DISABLE_EAX);
    settings.suspend_when_inactive = is_checked(IDC_SUSPEND_INACTIVE);
    settings.option_1028 = is_checked(IDC_OPTION_1028);
    settings.multipass_rendering = is_checked(IDC_MULTIPASS);

    HostWindow list = speaker_list();
    const int32_t selected = list ? platform.host->list_get_selection(list) : CB_ERR;
    if (selected >= 0) {
        settings.speaker_config = static_cast<uint8_t>(selected & 0xFF);
    } else if (settings.speaker_config > SPEAKER_CURRENT_WINDOWS) {
        // Typed text selects nothing; keep a valid choice, else follow Windows.
        settings.speaker_config = SPEAKER_CURRENT_WINDOWS;
    }
}

void update_enabled_controls() {
    const bool fullscreen = settings.fullscreen != 0;
    enable_control(IDC_TRIPLE_BUFFER, fullscreen);
    enable_control(IDC_VSYNC, fullscreen);
    enable_control(IDC_REFRESH, fullscreen);
    enable_control(IDC_BIT_DEPTH, fullscreen);

    const bool sound = settings.sound_disabled == 0;
    enable_control(IDC_SPEAKERS, sound);
    enable_control(IDC_SOFTWARE_MIXING, sound);
    enable_control(IDC_DISABLE_EAX, sound);
}

void sync_controls_from_settings() {
    set_checked(IDC_FULLSCREEN, settings.fullscreen != 0);
    set_checked(IDC_TRIPLE_BUFFER, settings.triple_buffering != 0);
    set_checked(IDC_HW_TNL, settings.hardware_tnl != 0);
    if (settings.hardware_tnl != 0) settings.multipass_rendering = 0;

    set_checked(IDC_TEX_TRUE_COLOR, settings.true_color_textures != 0);
    set_checked(IDC_TEX_LOW_DETAIL, settings.low_detail_textures != 0);
    set_checked(IDC_VSYNC, settings.vsync != 0);
    set_checked(IDC_OPTION_1011, settings.option_1011 != 0);
    set_checked(IDC_TEX_COMPRESSED, settings.compressed_textures != 0);
    set_checked(IDC_SOUND, settings.sound_disabled == 0);
    set_checked(IDC_SOFTWARE_MIXING, settings.software_mixing_only != 0);
    set_checked(IDC_DISABLE_EAX, settings.disable_eax != 0);
    set_checked(IDC_SUSPEND_INACTIVE, settings.suspend_when_inactive != 0);
    set_checked(IDC_OPTION_1028, settings.option_1028 != 0);
    set_checked(IDC_MULTIPASS, settings.multipass_rendering != 0);
    set_checked(IDC_VOICE_CHAT, settings.voice_chat != 0);

    if (HostWindow list = speaker_list()) {
        platform.host->list_reset(list);
        for (uint32_t i = 0; i < SPEAKER_ENTRIES; ++i) {
            load_into(text_buffer, STRING_FIRST_SPEAKER + i);
            platform.host->list_append(list, text_buffer);
        }
        // A value outside the list leaves no entry selected.
        platform.host->list_set_selection(list, settings.speaker_config);
    }

    build_depth_and_aa_lists(-1);
    update_enabled_controls();
}

bool has_unsaved_changes() {
    SetupSettings stored;
    read_stored_copy(&stored);
    return std::memcmp(raw_bytes(&stored), raw_bytes(&settings), SETTINGS_SIZE) != 0;
}

void fatal_setup_error(const char* text) {
    load_into(caption_buffer, STRING_SETUP_ERROR);
    platform.host->message_box(dialog_window, text, caption_buffer, MB_OK);
    platform.host->end_dialog(dialog_window, END_FATAL);
}

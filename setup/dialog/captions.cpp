#include "dialog/captions.h"

#include "app/state.h"
#include "res/resource.h"

// The template carries no texts of its own: every caption comes from the
// string table, in this order.
const CaptionPair caption_table[CAPTION_COUNT] = {
    {IDC_DISPLAY_GROUP, 1},     {IDC_RESOLUTION_LABEL, 2}, {IDC_ANTIALIAS_LABEL, 3},   {IDC_AUTODETECT, 4},
    {IDCANCEL, 5},              {IDOK, 6},                 {IDC_FULLSCREEN_GROUP, 7},  {IDC_TRIPLE_BUFFER, 8},
    {IDC_VSYNC, 9},             {IDC_REFRESH_LABEL, 10},   {IDC_BIT_DEPTH_LABEL, 11},  {IDC_TEXTURE_GROUP, 12},
    {IDC_TEX_LOW_DETAIL, 13},   {IDC_TEX_COMPRESSED, 14},  {IDC_TEX_TRUE_COLOR, 15},   {IDC_SOUND_GROUP, 16},
    {IDC_SOFTWARE_MIXING, 17},  {IDC_DISABLE_EAX, 18},     {IDC_EXPERT_TOGGLE, 26},    {IDC_EXPERT_GROUP, 20},
    {IDC_HW_TNL, 21},           {IDC_SUSPEND_INACTIVE, 22}, {IDC_MULTIPASS, 23},       {IDC_VOICE_CHAT, 24},
    {IDC_VERSION_LABEL, 25},
};

namespace {

constexpr uint32_t STRING_OPEN_EXPERT = 26;
constexpr uint32_t STRING_CLOSE_EXPERT = 27;

// A string that cannot be loaded leaves an empty text rather than the
// previous one.
void load_text(uint32_t id) {
    text_buffer[0] = '\0';
    platform.host->load_string(id, text_buffer, TEXT_BUFFER_SIZE);
}

}  // namespace

void apply_captions(HostWindow dialog) {
    for (const CaptionPair& pair : caption_table) {
        HostWindow control = platform.host->get_item(dialog, pair.control_id);
        load_text(pair.string_id);
        if (control) platform.host->set_text(control, text_buffer);
    }
}

void toggle_expert_section() {
    HostRect rect = {0, 0, 0, 0};
    const bool have_rect = platform.host->get_window_rect(dialog_window, &rect);
    const int32_t width = rect.right - rect.left;
    const int32_t height = rect.bottom - rect.top;

    // Only the bottom edge moves; the window is not centred again.
    uint32_t caption;
    if (expert_visible) {
        if (have_rect) platform.host->set_window_pos(dialog_window, rect.left, rect.top, width, height - EXPERT_FOLD_PIXELS);
        expert_visible = false;
        caption = STRING_OPEN_EXPERT;
    } else {
        if (have_rect) platform.host->set_window_pos(dialog_window, rect.left, rect.top, width, height + EXPERT_FOLD_PIXELS);
        expert_visible = true;
        caption = STRING_CLOSE_EXPERT;
    }

    load_text(caption);
    if (HostWindow toggle = platform.host->get_item(dialog_window, IDC_EXPERT_TOGGLE))
        platform.host->set_text(toggle, text_buffer);
}

// Where the controls lie: the template's dialog units in pixels, the
// rectangles, the order the controls are made in, which group holds what.
#include <QPoint>
#include <algorithm>
#include <cstring>
#include <iterator>

#include "dialog_host_parts.h"
#include "dialog_host_portable.h"
#include "res/resource.h"

namespace {

// Base units of the template's font at 96 DPI.
constexpr int BASE_UNIT_X = 6;
constexpr int BASE_UNIT_Y = 13;

int mul_div(int value, int numerator, int denominator) {
    // MulDiv: rounded half away from zero.
    const long long p = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(p >= 0 ? (p + half) / denominator : (p - half) / denominator);
}

// The controls column by column, each column top to bottom, a group box before
// what it holds and a label just before its list. This is the order in which
// the controls are made: a screen reader's tree reads it, Tab follows it
// through the controls a player changes (not the template's tab stops, which
// reach three buttons), and no two overlapping controls stack otherwise than in
// the template.
constexpr int32_t READING_ORDER[] = {
    IDC_DISPLAY_GROUP,  IDC_ADAPTER,          IDC_DRIVER_VERSION, IDC_VRAM,          IDC_RESOLUTION_LABEL,
    IDC_RESOLUTION,     IDC_ANTIALIAS_LABEL,  IDC_ANTIALIAS,      IDC_AUTODETECT,    IDCANCEL,
    IDOK,               IDC_LOGO,             IDC_FULLSCREEN_GROUP, IDC_FULLSCREEN,  IDC_TRIPLE_BUFFER,
    IDC_VSYNC,          IDC_REFRESH_LABEL,    IDC_REFRESH,        IDC_BIT_DEPTH_LABEL, IDC_BIT_DEPTH,
    IDC_TEXTURE_GROUP,  IDC_TEX_LOW_DETAIL,   IDC_TEX_COMPRESSED, IDC_TEX_TRUE_COLOR, IDC_SOUND_GROUP,
    IDC_SOUND,          IDC_SPEAKERS,         IDC_SOFTWARE_MIXING, IDC_DISABLE_EAX,  IDC_EXPERT_TOGGLE,
    IDC_EXPERT_GROUP,   IDC_HW_TNL,           IDC_SUSPEND_INACTIVE, IDC_MULTIPASS,   IDC_VOICE_CHAT,
    IDC_VERSION_LABEL,
};
constexpr bool every_control_once() {
    for (const TemplateControl& c : template_controls) {
        int n = 0;
        for (const int32_t id : READING_ORDER) n += id == c.id ? 1 : 0;
        if (n != 1) return false;
    }
    return std::size(READING_ORDER) == template_control_count;
}
static_assert(every_control_once(), "every control of the template once in the reading order");

}  // namespace

namespace qt_host {

std::span<const int32_t> reading_order() { return READING_ORDER; }

bool is_group(const TemplateControl& t) {
    return std::strcmp(t.class_name, "BUTTON") == 0 && (t.style & BUTTON_TYPE_MASK) == BUTTON_GROUPBOX;
}

const TemplateControl* group_of(const TemplateControl& t) {
    if (is_group(t)) return nullptr;
    const QPoint centre = qt_control_rect(t.id).center();
    for (const TemplateControl& g : template_controls)
        if (is_group(g) && qt_control_rect(g.id).contains(centre)) return &g;
    return nullptr;
}

int lift_of(const TemplateControl& group) {
    int lift = 0;
    for (const TemplateControl& c : template_controls)
        if (group_of(c) == &group) lift = std::max(lift, qt_control_rect(group.id).top() - qt_control_rect(c.id).top());
    return lift;
}

}  // namespace qt_host

QFont qt_dialog_font() {
    QFont font(QString::fromLatin1(QT_DIALOG_FONT_FAMILY));
    font.setPixelSize(QT_DIALOG_FONT_PIXELS);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

int qt_dialog_x(int dialog_units) { return mul_div(dialog_units, BASE_UNIT_X, 4); }
int qt_dialog_y(int dialog_units) { return mul_div(dialog_units, BASE_UNIT_Y, 8); }

QRect qt_control_rect(int32_t id) {
    const TemplateControl* t = find_template_control(id);
    if (!t) return QRect();
    const bool combo = std::strcmp(t->class_name, "COMBOBOX") == 0;
    return QRect(qt_dialog_x(t->x), qt_dialog_y(t->y), qt_dialog_x(t->w),
                 combo ? QT_COMBO_FIELD_HEIGHT : qt_dialog_y(t->h));
}


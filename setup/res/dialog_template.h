// The dialog template and string table as C++ tables, expanded from the same
// .def files the resource script includes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "res/resource.h"

struct TemplateControl {
    int32_t id;
    const char* class_name;  // "BUTTON", "COMBOBOX", "EDIT", "STATIC"
    uint32_t style;
    uint32_t ex_style;
    int32_t x, y, w, h;  // dialog units
};

struct TemplateString {
    uint32_t id;
    const char* text;
};

inline constexpr TemplateControl template_controls[] = {
#define SETUP_CONTROL(id, cls, style, ex, x, y, w, h) {id, cls, style, ex, x, y, w, h},
#include "res/dialog_controls.def"
#undef SETUP_CONTROL
};

inline constexpr TemplateString template_strings[] = {
#define SETUP_STRING(id, text) {id, text},
#include "res/strings.def"
#undef SETUP_STRING
};

inline constexpr size_t template_control_count = sizeof(template_controls) / sizeof(template_controls[0]);
inline constexpr size_t template_string_count = sizeof(template_strings) / sizeof(template_strings[0]);

// The template control of an id, or null.
constexpr const TemplateControl* find_template_control(int32_t id) {
    for (const auto& c : template_controls)
        if (c.id == id) return &c;
    return nullptr;
}

// The string-table text of an id, or null when the table has none.
constexpr const char* find_template_string(uint32_t id) {
    for (const auto& s : template_strings)
        if (s.id == id) return s.text;
    return nullptr;
}

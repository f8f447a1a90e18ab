// A dialog host with fixed storage: the seven probe controls as plain arrays,
// sorted insertion for the resolution list, strings from the template table.
// It allocates nothing, so what it shows about allocation or speed is the
// core's own. Only the calls the display probe makes are answered.
#pragma once

#include <cstdint>
#include <cstring>

#include "app/state.h"
#include "platform/seams.h"
#include "platform/winapi_values.h"
#include "res/dialog_template.h"

namespace fixed_host {

constexpr int32_t MAX_ITEMS = 512;
constexpr int32_t MAX_TEXT = 64;

struct Item {
    char text[MAX_TEXT];
    intptr_t data;
};

// Items stay in the slot they were added to; `order` maps list positions to
// slots, so a sorted insertion moves two bytes per item, as cheap as a real
// list control can be.
struct Control {
    bool sorted = false;
    int32_t count = 0;
    int32_t selection = -1;
    char text[256] = {};
    Item items[MAX_ITEMS];
    int16_t order[MAX_ITEMS];
};

inline Control controls[7];  // adapter, resolution, bit depth, antialias, driver, vram, refresh

inline Control* of(HostWindow w) { return static_cast<Control*>(w); }

inline int compare_nocase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y || x == 0) return x - y;
    }
}

inline void copy_text(char* to, const char* from, size_t size) {
    std::strncpy(to, from ? from : "", size - 1);
    to[size - 1] = '\0';
}

inline HostWindow get_item(HostWindow, int32_t) { return nullptr; }
inline uint32_t get_check(HostWindow, int32_t) { return 0; }
inline void set_check(HostWindow, int32_t, uint32_t) {}
inline void enable(HostWindow, bool) {}
inline void set_text(HostWindow c, const char* text) { copy_text(of(c)->text, text, sizeof of(c)->text); }
inline void list_reset(HostWindow c) {
    of(c)->count = 0;
    of(c)->selection = -1;
}
inline Item& at(Control* c, int32_t pos) { return c->items[c->order[pos]]; }
inline int32_t insert_at(Control* c, int32_t pos, const char* text) {
    if (c->count >= MAX_ITEMS) return -1;
    const int32_t slot = c->count;
    copy_text(c->items[slot].text, text, MAX_TEXT);
    c->items[slot].data = 0;
    std::memmove(&c->order[pos + 1], &c->order[pos], sizeof(int16_t) * static_cast<size_t>(c->count - pos));
    c->order[pos] = static_cast<int16_t>(slot);
    ++c->count;
    if (c->selection >= pos) ++c->selection;
    return pos;
}
inline int32_t list_append(HostWindow c, const char* text) { return insert_at(of(c), of(c)->count, text); }
inline int32_t list_add_sorted(HostWindow w, const char* text) {
    Control* c = of(w);
    if (!c->sorted) return list_append(w, text);
    // After every item that does not sort above the new one.
    int32_t low = 0, high = c->count;
    while (low < high) {
        const int32_t mid = (low + high) / 2;
        if (compare_nocase(at(c, mid).text, text) <= 0)
            low = mid + 1;
        else
            high = mid;
    }
    return insert_at(c, low, text);
}
inline int32_t list_count(HostWindow c) { return of(c)->count; }
inline void list_set_data(HostWindow c, int32_t pos, intptr_t data) {
    if (pos >= 0 && pos < of(c)->count) at(of(c), pos).data = data;
}
inline intptr_t list_get_data(HostWindow c, int32_t pos) {
    return (pos >= 0 && pos < of(c)->count) ? at(of(c), pos).data : CB_ERR;
}
inline const char* list_text(int32_t control, int32_t pos) { return at(&controls[control], pos).text; }
inline int32_t list_get_selection(HostWindow c) { return of(c)->selection; }
inline void list_set_selection(HostWindow c, int32_t pos) {
    of(c)->selection = (pos >= 0 && pos < of(c)->count) ? pos : -1;
}
inline int32_t load_string(uint32_t id, char* buffer, int32_t size) {
    if (size <= 0) return 0;
    buffer[0] = '\0';
    for (const TemplateString& s : template_strings) {
        if (s.id != id) continue;
        copy_text(buffer, s.text, static_cast<size_t>(size));
        return static_cast<int32_t>(std::strlen(buffer));
    }
    return 0;
}
inline int32_t message_box(HostWindow, const char*, const char*, uint32_t) { return IDOK; }
inline void end_dialog(HostWindow, intptr_t) {}
inline bool get_window_rect(HostWindow, HostRect*) { return false; }
inline void set_window_pos(HostWindow, int32_t, int32_t, int32_t, int32_t) {}

inline const DialogHostApi api = {get_item,         get_check,      set_check,          enable,
                                  set_text,         list_reset,     list_append,        list_add_sorted,
                                  list_count,       list_set_data,  list_get_data,      list_get_selection,
                                  list_set_selection, load_string,  message_box,        end_dialog,
                                  get_window_rect,  set_window_pos};

// Installs the host over whatever else `platform` holds and points the seven
// control handles at its storage.
inline void install() {
    for (Control& c : controls) {
        c.count = 0;
        c.selection = -1;
        c.text[0] = '\0';
        c.sorted = false;
    }
    controls[1].sorted = true;
    platform.host = &api;
    adapter_control = &controls[0];
    resolution_control = &controls[1];
    bit_depth_control = &controls[2];
    antialias_control = &controls[3];
    driver_version_control = &controls[4];
    vram_control = &controls[5];
    refresh_control = &controls[6];
}

}  // namespace fixed_host

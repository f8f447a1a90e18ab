#include <windows.h>

#include "dialog_host_win32.h"
#include "dialog/controller.h"
#include "win32_backends.h"

HINSTANCE setup_instance = nullptr;

namespace {

HWND hwnd(HostWindow w) { return static_cast<HWND>(w); }

LRESULT send(HostWindow control, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return SendMessageA(hwnd(control), message, wparam, lparam);
}

HostWindow get_item(HostWindow dialog, int32_t id) { return GetDlgItem(hwnd(dialog), id); }

// SendDlgItemMessageA answers 0 for an id without a control, which reads as
// unchecked, and a set on such an id goes nowhere: the contract for free.
uint32_t get_check(HostWindow dialog, int32_t id) {
    return static_cast<uint32_t>(SendDlgItemMessageA(hwnd(dialog), id, BM_GETCHECK, 0, 0));
}

void set_check(HostWindow dialog, int32_t id, uint32_t state) {
    SendDlgItemMessageA(hwnd(dialog), id, BM_SETCHECK, state, 0);
}

void enable(HostWindow control, bool enabled) { EnableWindow(hwnd(control), enabled ? TRUE : FALSE); }

void set_text(HostWindow control, const char* text) { SetWindowTextA(hwnd(control), text); }

void list_reset(HostWindow list) { send(list, CB_RESETCONTENT); }

// CB_INSERTSTRING at -1 appends even to a sorted list.
int32_t list_append(HostWindow list, const char* text) {
    return static_cast<int32_t>(send(list, CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)));
}

int32_t list_add_sorted(HostWindow list, const char* text) {
    return static_cast<int32_t>(send(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

int32_t list_count(HostWindow list) { return static_cast<int32_t>(send(list, CB_GETCOUNT)); }

// Item data is pointer-sized on Win64: the resolution list carries addresses.
void list_set_data(HostWindow list, int32_t pos, intptr_t data) {
    send(list, CB_SETITEMDATA, static_cast<WPARAM>(pos), static_cast<LPARAM>(data));
}

intptr_t list_get_data(HostWindow list, int32_t pos) {
    return static_cast<intptr_t>(send(list, CB_GETITEMDATA, static_cast<WPARAM>(pos)));
}

int32_t list_get_selection(HostWindow list) { return static_cast<int32_t>(send(list, CB_GETCURSEL)); }

// Windows clears the selection for an index outside the list, Wine keeps the
// old one; asking for -1 then gives "none selected" on both.
void list_set_selection(HostWindow list, int32_t pos) {
    if (pos < 0 || pos >= list_count(list)) pos = -1;
    send(list, CB_SETCURSEL, static_cast<WPARAM>(pos));
}

int32_t load_string(uint32_t id, char* buffer, int32_t size) {
    return LoadStringA(setup_instance, id, buffer, size);
}

int32_t message_box(HostWindow owner, const char* text, const char* caption, uint32_t type) {
    return MessageBoxA(hwnd(owner), text, caption, type);
}

void end_dialog(HostWindow dialog, intptr_t result) { EndDialog(hwnd(dialog), result); }

bool get_window_rect(HostWindow window, HostRect* rect) {
    RECT r;
    if (!GetWindowRect(hwnd(window), &r)) return false;
    rect->left = r.left;
    rect->top = r.top;
    rect->right = r.right;
    rect->bottom = r.bottom;
    return true;
}

void set_window_pos(HostWindow window, int32_t x, int32_t y, int32_t width, int32_t height) {
    SetWindowPos(hwnd(window), HWND_TOP, x, y, width, height, SWP_SHOWWINDOW);
}

}  // namespace

INT_PTR CALLBACK win32_setup_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    return setup_dialog_proc(dialog, message, wparam, lparam);
}

const DialogHostApi win32_dialog_host_api = {.get_item = get_item,
                                             .get_check = get_check,
                                             .set_check = set_check,
                                             .enable = enable,
                                             .set_text = set_text,
                                             .list_reset = list_reset,
                                             .list_append = list_append,
                                             .list_add_sorted = list_add_sorted,
                                             .list_count = list_count,
                                             .list_set_data = list_set_data,
                                             .list_get_data = list_get_data,
                                             .list_get_selection = list_get_selection,
                                             .list_set_selection = list_set_selection,
                                             .load_string = load_string,
                                             .message_box = message_box,
                                             .end_dialog = end_dialog,
                                             .get_window_rect = get_window_rect,
                                             .set_window_pos = set_window_pos};

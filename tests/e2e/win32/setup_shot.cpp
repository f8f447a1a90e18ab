// Helper of tools/screenshot-win32.sh: steers a running setup.exe so that the
// script can photograph it.
//   setup_shot wait    wait for the dialog, print its window rectangle
//   setup_shot toggle  click the expert toggle, print the new rectangle
//   setup_shot close   close the dialog, answering a warning with Yes
// Rectangles are printed as "left top width height" in screen pixels.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "res/resource.h"

namespace {

HWND find_dialog(DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout_ms) {
        HWND dialog = FindWindowA("#32770", "Velmora");
        DWORD_PTR count = 0;
        if (dialog &&
            SendMessageTimeoutA(GetDlgItem(dialog, IDC_SPEAKERS), CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count) &&
            count == 5)
            return dialog;
        Sleep(100);
    }
    return nullptr;
}

void print_rect(HWND dialog) {
    RECT r;
    GetWindowRect(dialog, &r);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: setup_shot wait|toggle|close\n");
        return 2;
    }
    HWND dialog = find_dialog(120000);
    if (!dialog) {
        std::fprintf(stderr, "setup_shot: no dialog\n");
        return 1;
    }
    DWORD_PTR ignored;
    if (std::strcmp(argv[1], "toggle") == 0)
        SendMessageTimeoutA(GetDlgItem(dialog, IDC_EXPERT_TOGGLE), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 10000, &ignored);
    if (std::strcmp(argv[1], "close") == 0) {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
        for (int i = 0; i < 200 && IsWindow(dialog); ++i) {
            if (HWND box = FindWindowA("#32770", "WARNING...")) PostMessageA(GetDlgItem(box, IDYES), BM_CLICK, 0, 0);
            Sleep(100);
        }
        return IsWindow(dialog) ? 1 : 0;
    }
    // Let the window repaint before anyone looks at it.
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &ignored);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &ignored);
    print_rect(dialog);
    std::fflush(stdout);
    return 0;
}

// The Win32 dialog host against real user32, on the real template (setup.rc is
// linked into this program). Each check pins one platform behaviour the core
// relies on, in the manner of a conformance test.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/entry.h"
#include "app/state.h"
#include "dialog_host_win32.h"
#include "fakes.h"
#include "res/dialog_template.h"
#include "settings/settings.h"
#include "win32_backends.h"

namespace {

struct Command {
    int id;
    int code;
    LRESULT check_at_arrival;  // BM_GETCHECK of the sender when the command arrived
};

std::vector<Command> commands;

INT_PTR CALLBACK recording_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_COMMAND) {
        const int id = LOWORD(wparam);
        commands.push_back({id, HIWORD(wparam), SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0)});
    }
    return FALSE;
}

// Delivers whatever the controls posted, so a late WM_COMMAND would be seen.
void pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HINSTANCE own_module() { return GetModuleHandleA(nullptr); }

const uint8_t* dialog_resource() {
    HRSRC res = FindResourceA(own_module(), MAKEINTRESOURCEA(IDD_SETUP), MAKEINTRESOURCEA(5));  // RT_DIALOG
    if (!res) return nullptr;
    return static_cast<const uint8_t*>(LockResource(LoadResource(own_module(), res)));
}

// The real template without WS_VISIBLE: destroying a window that was never
// shown is instant under Wine without a window manager, a shown one takes
// seconds. Everything else is byte for byte the resource.
std::vector<uint8_t> hidden_template() {
    HRSRC res = FindResourceA(own_module(), MAKEINTRESOURCEA(IDD_SETUP), MAKEINTRESOURCEA(5));
    const uint8_t* bytes = dialog_resource();
    if (!res || !bytes) return {};
    std::vector<uint8_t> copy(bytes, bytes + SizeofResource(own_module(), res));
    uint32_t style;
    std::memcpy(&style, copy.data() + 12, 4);  // DLGTEMPLATEEX.style
    style &= ~uint32_t{WS_VISIBLE};
    std::memcpy(copy.data() + 12, &style, 4);
    return copy;
}

class Win32DialogHost : public ::testing::Test {
protected:
    const DialogHostApi& host = win32_dialog_host_api;
    HWND dialog = nullptr;

    void SetUp() override {
        setup_instance = own_module();
        commands.clear();
        const std::vector<uint8_t> bytes = hidden_template();
        ASSERT_FALSE(bytes.empty());
        dialog = CreateDialogIndirectParamA(own_module(), reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data()), nullptr,
                                            recording_proc, 0);
        ASSERT_NE(dialog, nullptr) << "CreateDialogIndirectParamA failed: " << GetLastError();
        pump();
        commands.clear();
    }

    void TearDown() override {
        if (dialog) DestroyWindow(dialog);
        pump();
    }

    HostWindow item(int id) const { return host.get_item(dialog, id); }

    std::vector<std::string> list_texts(int id) const {
        std::vector<std::string> texts;
        HWND list = GetDlgItem(dialog, id);
        const LRESULT n = SendMessageA(list, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            char text[256] = {};
            SendMessageA(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            texts.emplace_back(text);
        }
        return texts;
    }
};

// ---------------------------------------------------------------- template bytes

// Reads the compiled DLGTEMPLATEEX of IDD_SETUP field by field.
struct TemplateReader {
    const uint8_t* p;
    uint16_t word() {
        uint16_t v;
        std::memcpy(&v, p, 2);
        p += 2;
        return v;
    }
    uint32_t dword() {
        uint32_t v;
        std::memcpy(&v, p, 4);
        p += 4;
        return v;
    }
    void align4(const uint8_t* base) {
        while ((p - base) % 4) ++p;
    }
    // sz_Or_Ord: 0 = empty, 0xFFFF + ordinal, or a UTF-16 string.
    std::string name_or_ordinal(uint16_t* ordinal) {
        *ordinal = 0;
        const uint16_t first = word();
        if (first == 0xFFFF) {
            *ordinal = word();
            return {};
        }
        std::string s;
        for (uint16_t c = first; c != 0; c = word()) s.push_back(static_cast<char>(c));
        return s;
    }
};

TEST(Win32Template, DialogHeaderIsExactlyTheTemplate) {
    const uint8_t* base = dialog_resource();
    ASSERT_NE(base, nullptr);
    TemplateReader r{base};
    EXPECT_EQ(r.word(), 1u);       // dlgVer
    EXPECT_EQ(r.word(), 0xFFFFu);  // signature: extended template
    r.dword();                     // helpID
    EXPECT_EQ(r.dword(), 0u) << "extended style";
    EXPECT_EQ(r.dword(), 0x90CA08C0u) << "the resource compiler must add nothing to the style";
    EXPECT_EQ(r.word(), template_control_count);
    EXPECT_EQ(static_cast<int16_t>(r.word()), 0);
    EXPECT_EQ(static_cast<int16_t>(r.word()), 0);
    EXPECT_EQ(r.word(), 378u);
    EXPECT_EQ(r.word(), 215u);
    uint16_t ord;
    EXPECT_EQ(r.name_or_ordinal(&ord), "");  // no menu
    EXPECT_EQ(ord, 0u);
    EXPECT_EQ(r.name_or_ordinal(&ord), "");  // no class of its own
    EXPECT_EQ(ord, 0u);
    EXPECT_EQ(r.name_or_ordinal(&ord), "Velmora");
    EXPECT_EQ(r.word(), 8u);   // point size
    EXPECT_EQ(r.word(), 0u);   // weight
    EXPECT_EQ(*r.p++, 0u);     // italic
    EXPECT_EQ(*r.p++, 1u);     // charset: DEFAULT_CHARSET
    EXPECT_EQ(r.name_or_ordinal(&ord), "MS Sans Serif");
}

TEST(Win32Template, ControlsAreExactlyTheTableInOrder) {
    const uint8_t* base = dialog_resource();
    ASSERT_NE(base, nullptr);
    TemplateReader r{base};
    r.p += 2 + 2 + 4 + 4 + 4;
    const uint16_t count = r.word();
    ASSERT_EQ(count, template_control_count);
    r.p += 8;
    uint16_t ord;
    r.name_or_ordinal(&ord);
    r.name_or_ordinal(&ord);
    r.name_or_ordinal(&ord);
    r.p += 6;
    r.name_or_ordinal(&ord);
    for (size_t i = 0; i < count; ++i) {
        const TemplateControl& want = template_controls[i];
        SCOPED_TRACE("control #" + std::to_string(i) + " id " + std::to_string(want.id));
        r.align4(base);
        r.dword();  // helpID
        EXPECT_EQ(r.dword(), want.ex_style);
        EXPECT_EQ(r.dword(), want.style);
        EXPECT_EQ(static_cast<int16_t>(r.word()), want.x);
        EXPECT_EQ(static_cast<int16_t>(r.word()), want.y);
        EXPECT_EQ(static_cast<int16_t>(r.word()), want.w);
        EXPECT_EQ(static_cast<int16_t>(r.word()), want.h);
        EXPECT_EQ(static_cast<int32_t>(r.dword()), want.id);
        // Predefined classes are stored as atoms: 0x80 button, 0x81 edit, 0x82 static, 0x85 combo box.
        uint16_t atom;
        const std::string cls = r.name_or_ordinal(&atom);
        const std::string wanted_class = want.class_name;
        const uint16_t wanted_atom = wanted_class == "BUTTON"   ? 0x80
                                     : wanted_class == "EDIT"   ? 0x81
                                     : wanted_class == "STATIC" ? 0x82
                                                                : 0x85;
        EXPECT_TRUE(atom == wanted_atom || _stricmp(cls.c_str(), want.class_name) == 0) << cls << " / " << atom;
        const std::string text = r.name_or_ordinal(&ord);
        if (want.id == IDC_LOGO) {
            EXPECT_EQ(ord, IDB_LOGO) << "the logo's text is the bitmap's ordinal";
        } else {
            EXPECT_EQ(text, "");
            EXPECT_EQ(ord, 0u);
        }
        const uint16_t extra = r.word();
        r.p += extra;
    }
}

TEST(Win32Template, LogoBitmapIs160x112At8BitsWithPaletteUncompressed) {
    HRSRC res = FindResourceA(own_module(), MAKEINTRESOURCEA(IDB_LOGO), MAKEINTRESOURCEA(2));  // RT_BITMAP
    ASSERT_NE(res, nullptr);
    const auto* info = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(own_module(), res)));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(info->biWidth, 160);
    EXPECT_EQ(info->biHeight, 112);
    EXPECT_EQ(info->biBitCount, 8);
    EXPECT_EQ(info->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_TRUE(info->biClrUsed == 0 || info->biClrUsed <= 256u);
}

TEST(Win32Template, IconGroupHolds32And16PixelImagesAt32Bits) {
    HRSRC res = FindResourceA(own_module(), MAKEINTRESOURCEA(IDI_SETUP), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(res, nullptr);
    const auto* dir = static_cast<const uint8_t*>(LockResource(LoadResource(own_module(), res)));
    ASSERT_NE(dir, nullptr);
    uint16_t type, count;
    std::memcpy(&type, dir + 2, 2);
    std::memcpy(&count, dir + 4, 2);
    EXPECT_EQ(type, 1u);
    ASSERT_EQ(count, 2u);
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const uint8_t* entry = dir + 6 + 14 * i;  // GRPICONDIRENTRY
        uint16_t bits;
        std::memcpy(&bits, entry + 6, 2);
        EXPECT_EQ(entry[0], entry[1]);
        EXPECT_EQ(bits, 32u);
        sizes.push_back(entry[0]);
    }
    EXPECT_EQ(sizes, (std::vector<int>{32, 16}));
}

// ---------------------------------------------------------------- the window

TEST(Win32Template, DialogWindowCarriesTheTemplateStyle) {
    HWND dialog = CreateDialogParamA(own_module(), MAKEINTRESOURCEA(IDD_SETUP), nullptr, recording_proc, 0);
    ASSERT_NE(dialog, nullptr);
    const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
    DestroyWindow(dialog);
    // The window manager adds WS_CLIPSIBLINGS to a captioned top-level window
    // and DS_3DLOOK to every dialog; the rest is the template's.
    EXPECT_EQ(style & ~DWORD{WS_CLIPSIBLINGS | DS_3DLOOK}, 0x90CA08C0u);
}

TEST_F(Win32DialogHost, DialogHasTheTitleAndNoMaximizeOrSizingFrame) {
    const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0u);
    EXPECT_EQ(style & WS_THICKFRAME, 0u);
    EXPECT_EQ(style & WS_MINIMIZEBOX, DWORD{WS_MINIMIZEBOX});
    char title[64] = {};
    GetWindowTextA(dialog, title, sizeof title);
    EXPECT_STREQ(title, "Velmora");
}

TEST_F(Win32DialogHost, EveryTemplateControlExistsWithClassStyleAndPosition) {
    for (const TemplateControl& want : template_controls) {
        SCOPED_TRACE("id " + std::to_string(want.id));
        HWND control = static_cast<HWND>(item(want.id));
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetDlgCtrlID(control), want.id);
        char cls[64] = {};
        GetClassNameA(control, cls, sizeof cls);
        EXPECT_EQ(_stricmp(cls, want.class_name), 0) << cls;
        // What the platform does to a template's styles: the dialog manager
        // adds WS_EX_NOPARENTNOTIFY to every child and turns WS_BORDER into
        // WS_EX_CLIENTEDGE; a combo box hands WS_VSCROLL to its dropped list.
        DWORD style = want.style, ex_style = want.ex_style | WS_EX_NOPARENTNOTIFY;
        if (style & WS_BORDER) {
            style &= ~DWORD{WS_BORDER};
            ex_style |= WS_EX_CLIENTEDGE;
        }
        if (_stricmp(want.class_name, "COMBOBOX") == 0) style &= ~DWORD{WS_VSCROLL};
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)), style);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(control, GWL_EXSTYLE)), ex_style);

        // Origin and size are converted separately, as the dialog manager does.
        RECT expected = {want.x, want.y, want.w, want.h};
        ASSERT_TRUE(MapDialogRect(dialog, &expected));
        RECT actual;
        GetWindowRect(control, &actual);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        if (want.id == IDC_LOGO) {
            // A bitmap static takes the bitmap's size, whatever the template says.
            EXPECT_EQ(actual.right - actual.left, 160);
            EXPECT_EQ(actual.bottom - actual.top, 112);
            continue;
        }
        EXPECT_EQ(actual.right - actual.left, expected.right);
        // A combo box's template height includes the dropped list; on screen
        // it is only the closed field.
        if (_stricmp(want.class_name, "COMBOBOX") != 0)
            EXPECT_EQ(actual.bottom - actual.top, expected.bottom);
        else
            EXPECT_LT(actual.bottom - actual.top, expected.bottom);
    }
}

TEST_F(Win32DialogHost, ChildrenStandInTemplateOrder) {
    std::vector<int> ids;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ids.push_back(GetDlgCtrlID(c));
    std::vector<int> want;
    for (const TemplateControl& t : template_controls) want.push_back(t.id);
    EXPECT_EQ(ids, want);
}

TEST_F(Win32DialogHost, StringTableEqualsTheSharedTable) {
    char buffer[TEXT_BUFFER_SIZE];
    for (const TemplateString& s : template_strings) {
        SCOPED_TRACE("string " + std::to_string(s.id));
        const int32_t n = host.load_string(s.id, buffer, TEXT_BUFFER_SIZE);
        EXPECT_EQ(n, static_cast<int32_t>(std::strlen(s.text)));
        EXPECT_STREQ(buffer, s.text);
    }
    for (uint32_t absent : {19u, 39u}) {
        buffer[0] = 'x';
        EXPECT_EQ(host.load_string(absent, buffer, TEXT_BUFFER_SIZE), 0) << absent;
    }
}

TEST_F(Win32DialogHost, LoadStringStopsAtTheBufferSize) {
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    // "DirectX : Display devices could not be enumerated." is far longer.
    EXPECT_EQ(host.load_string(29, buffer, 8), 7);
    EXPECT_STREQ(buffer, "DirectX");
}

TEST_F(Win32DialogHost, LogoStaticShowsTheBitmap) {
    HWND logo = static_cast<HWND>(item(IDC_LOGO));
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(SendMessageA(logo, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_TRUE(GetObjectA(bitmap, sizeof info, &info));
    EXPECT_EQ(info.bmWidth, 160);
    EXPECT_EQ(info.bmHeight, 112);
    // The sunken edge the dialog manager gives a bordered control takes two
    // pixels a side of the bitmap's own size: the artwork keeps its edges plain.
    RECT client;
    GetClientRect(logo, &client);
    EXPECT_EQ(client.right, 160 - 4);
    EXPECT_EQ(client.bottom, 112 - 4);
}

// ---------------------------------------------------------------- no command from the program

TEST_F(Win32DialogHost, SetCheckSendsNoCommand) {
    host.set_check(dialog, IDC_VSYNC, BST_CHECKED);
    host.set_check(dialog, IDC_FULLSCREEN, BST_CHECKED);
    pump();
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(host.get_check(dialog, IDC_VSYNC), static_cast<uint32_t>(BST_CHECKED));
    EXPECT_EQ(host.get_check(dialog, IDC_FULLSCREEN), static_cast<uint32_t>(BST_CHECKED));
    host.set_check(dialog, IDC_VSYNC, BST_UNCHECKED);
    pump();
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(host.get_check(dialog, IDC_VSYNC), static_cast<uint32_t>(BST_UNCHECKED));
}

TEST_F(Win32DialogHost, ListResetSendsNoCommand) {
    host.list_append(item(IDC_SPEAKERS), "one");
    host.list_set_selection(item(IDC_SPEAKERS), 0);
    pump();
    commands.clear();
    host.list_reset(item(IDC_SPEAKERS));
    pump();
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(host.list_count(item(IDC_SPEAKERS)), 0);
}

TEST_F(Win32DialogHost, ListAddSendsNoCommand) {
    host.list_add_sorted(item(IDC_RESOLUTION), "1024 x  768");
    host.list_append(item(IDC_REFRESH), "Default");
    pump();
    EXPECT_TRUE(commands.empty());
}

TEST_F(Win32DialogHost, ListSetSelectionSendsNoCommand) {
    for (const char* text : {"a", "b", "c"}) host.list_append(item(IDC_BIT_DEPTH), text);
    pump();
    commands.clear();
    host.list_set_selection(item(IDC_BIT_DEPTH), 2);
    host.list_set_selection(item(IDC_BIT_DEPTH), 0);
    pump();
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(host.list_get_selection(item(IDC_BIT_DEPTH)), 0);
}

TEST_F(Win32DialogHost, EnableSendsNoCommand) {
    host.enable(item(IDC_TRIPLE_BUFFER), false);
    host.enable(item(IDC_REFRESH), false);
    pump();
    EXPECT_FALSE(IsWindowEnabled(static_cast<HWND>(item(IDC_TRIPLE_BUFFER))));
    EXPECT_FALSE(IsWindowEnabled(static_cast<HWND>(item(IDC_REFRESH))));
    host.enable(item(IDC_TRIPLE_BUFFER), true);
    host.enable(item(IDC_REFRESH), true);
    pump();
    EXPECT_TRUE(IsWindowEnabled(static_cast<HWND>(item(IDC_TRIPLE_BUFFER))));
    EXPECT_TRUE(commands.empty());
}

TEST_F(Win32DialogHost, SetTextOnButtonsLabelsAndListsSendsNoCommand) {
    host.set_text(item(IDC_EXPERT_TOGGLE), "Open expert settings...");
    host.set_text(item(IDC_TRIPLE_BUFFER), "Triple buffering");
    host.set_text(item(IDC_SOUND_GROUP), "      Sound");
    host.set_text(item(IDC_REFRESH_LABEL), "Refresh rate");
    host.set_text(item(IDC_SPEAKERS), "typed");
    pump();
    for (const Command& c : commands) ADD_FAILURE() << "command " << c.id << " code " << std::hex << c.code;
    char text[64] = {};
    GetWindowTextA(static_cast<HWND>(item(IDC_EXPERT_TOGGLE)), text, sizeof text);
    EXPECT_STREQ(text, "Open expert settings...");
}

// An edit control reports every change of its text, programmatic or not
// (EN_UPDATE, then EN_CHANGE). The two read-only fields are the only edits of
// the template and the controller acts on no command of theirs.
TEST_F(Win32DialogHost, SetTextOnAReadOnlyFieldReportsOnlyItsEditNotifications) {
    for (int id : {IDC_DRIVER_VERSION, IDC_VRAM}) {
        SCOPED_TRACE(id);
        commands.clear();
        host.set_text(item(id), "VRAM: 64MB");
        pump();
        ASSERT_EQ(commands.size(), 2u);
        EXPECT_EQ(commands[0].id, id);
        EXPECT_EQ(commands[0].code, EN_UPDATE);
        EXPECT_EQ(commands[1].id, id);
        EXPECT_EQ(commands[1].code, EN_CHANGE);
    }
}

// ---------------------------------------------------------------- clicks

TEST_F(Win32DialogHost, ClickFlipsAnAutoCheckBoxBeforeItsCommandArrives) {
    for (int id : {IDC_VSYNC, IDC_FULLSCREEN, IDC_SOUND}) {
        SCOPED_TRACE(id);
        commands.clear();
        const uint32_t before = host.get_check(dialog, id);
        SendMessageA(static_cast<HWND>(item(id)), BM_CLICK, 0, 0);
        pump();
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].id, id);
        EXPECT_EQ(commands[0].code, BN_CLICKED);
        EXPECT_EQ(commands[0].check_at_arrival, static_cast<LRESULT>(before ? BST_UNCHECKED : BST_CHECKED));
        EXPECT_EQ(host.get_check(dialog, id), before ? 0u : 1u);
    }
}

TEST_F(Win32DialogHost, IdsWithoutControlReadUncheckedAndIgnoreSet) {
    for (int id : {IDC_OPTION_1011, IDC_OPTION_1028}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(host.get_item(dialog, id), nullptr);
        EXPECT_EQ(host.get_check(dialog, id), 0u);
        host.set_check(dialog, id, BST_CHECKED);
        EXPECT_EQ(host.get_check(dialog, id), 0u);
    }
    pump();
    EXPECT_TRUE(commands.empty());
}

TEST_F(Win32DialogHost, VoiceChatBoxIsCreatedDisabled) {
    EXPECT_FALSE(IsWindowEnabled(static_cast<HWND>(item(IDC_VOICE_CHAT))));
    host.set_check(dialog, IDC_VOICE_CHAT, BST_CHECKED);
    EXPECT_EQ(host.get_check(dialog, IDC_VOICE_CHAT), 1u) << "a disabled box still shows its state";
}

// ---------------------------------------------------------------- lists

TEST_F(Win32DialogHost, SortedListOrdersCaseInsensitivelyBlankBeforeDigits) {
    HostWindow list = item(IDC_RESOLUTION);
    for (const char* text : {"1280 x 1024", " 800 x  600", "1024 x  768", " 640 x  480"})
        EXPECT_GE(host.list_add_sorted(list, text), 0);
    EXPECT_EQ(list_texts(IDC_RESOLUTION),
              (std::vector<std::string>{" 640 x  480", " 800 x  600", "1024 x  768", "1280 x 1024"}));

    host.list_reset(list);
    for (const char* text : {"beta", "Gamma", "alpha", "Delta"}) host.list_add_sorted(list, text);
    EXPECT_EQ(list_texts(IDC_RESOLUTION), (std::vector<std::string>{"alpha", "beta", "Delta", "Gamma"}));
}

TEST_F(Win32DialogHost, SortedAddReturnsThePositionAndTheSelectionFollowsItsItem) {
    HostWindow list = item(IDC_RESOLUTION);
    host.list_add_sorted(list, "1024 x  768");
    host.list_add_sorted(list, "1280 x 1024");
    host.list_set_selection(list, 0);
    EXPECT_EQ(host.list_add_sorted(list, " 640 x  480"), 0);
    EXPECT_EQ(host.list_add_sorted(list, " 800 x  600"), 1);
    const int32_t selected = host.list_get_selection(list);
    ASSERT_EQ(selected, 2);
    EXPECT_EQ(list_texts(IDC_RESOLUTION)[static_cast<size_t>(selected)], "1024 x  768");
}

TEST_F(Win32DialogHost, AppendKeepsInsertionOrderAndReturnsThePosition) {
    HostWindow list = item(IDC_SPEAKERS);
    EXPECT_EQ(host.list_append(list, "Stereo speakers"), 0);
    EXPECT_EQ(host.list_append(list, "5.1 surround sound speakers"), 1);
    EXPECT_EQ(host.list_append(list, "Current Windows speaker conf."), 2);
    EXPECT_EQ(host.list_count(list), 3);
    EXPECT_EQ(list_texts(IDC_SPEAKERS),
              (std::vector<std::string>{"Stereo speakers", "5.1 surround sound speakers",
                                        "Current Windows speaker conf."}));

    // Appending ignores the sort order even on a sorted list.
    HostWindow sorted = item(IDC_RESOLUTION);
    host.list_add_sorted(sorted, "b");
    EXPECT_EQ(host.list_append(sorted, "a"), 1);
    EXPECT_EQ(list_texts(IDC_RESOLUTION), (std::vector<std::string>{"b", "a"}));
}

TEST_F(Win32DialogHost, ItemDataRoundTripsAFullPointer) {
    HostWindow list = item(IDC_RESOLUTION);
    static int target;
    const intptr_t address = reinterpret_cast<intptr_t>(&target);
    const intptr_t wide = sizeof(intptr_t) == 8 ? static_cast<intptr_t>(0x7EDCBA9876543210LL) : 0x76543210;
    host.list_add_sorted(list, "b");
    host.list_add_sorted(list, "a");
    host.list_set_data(list, 1, address);
    host.list_set_data(list, 0, wide);
    EXPECT_EQ(host.list_get_data(list, 1), address);
    EXPECT_EQ(host.list_get_data(list, 0), wide);
    EXPECT_EQ(host.list_get_data(list, 2), CB_ERR);
    EXPECT_EQ(host.list_get_data(list, -1), CB_ERR);
}

TEST_F(Win32DialogHost, SelectionOutsideTheListSelectsNothing) {
    HostWindow list = item(IDC_SPEAKERS);
    EXPECT_EQ(host.list_get_selection(list), CB_ERR);
    host.list_append(list, "only");
    host.list_set_selection(list, 0);
    EXPECT_EQ(host.list_get_selection(list), 0);
    host.list_set_selection(list, 5);
    EXPECT_EQ(host.list_get_selection(list), CB_ERR);
    host.list_set_selection(list, 0);
    host.list_set_selection(list, -1);
    EXPECT_EQ(host.list_get_selection(list), CB_ERR);
}

// ---------------------------------------------------------------- window size

TEST_F(Win32DialogHost, WindowRectAndPositionAreScreenPixels) {
    HostRect r{};
    ASSERT_TRUE(host.get_window_rect(dialog, &r));
    RECT real;
    GetWindowRect(dialog, &real);
    EXPECT_EQ(r.left, real.left);
    EXPECT_EQ(r.top, real.top);
    EXPECT_EQ(r.right, real.right);
    EXPECT_EQ(r.bottom, real.bottom);

    const int32_t w = r.right - r.left, h = r.bottom - r.top;
    ShowWindow(dialog, SW_HIDE);
    host.set_window_pos(dialog, r.left + 10, r.top + 20, w, h - 85);
    EXPECT_TRUE(IsWindowVisible(dialog)) << "SWP_SHOWWINDOW shows the window";
    HostRect moved{};
    ASSERT_TRUE(host.get_window_rect(dialog, &moved));
    EXPECT_EQ(moved.left, r.left + 10);
    EXPECT_EQ(moved.top, r.top + 20);
    EXPECT_EQ(moved.right - moved.left, w);
    EXPECT_EQ(moved.bottom - moved.top, h - 85);
    EXPECT_EQ(GetWindow(GetDesktopWindow(), GW_CHILD), dialog) << "HWND_TOP puts it first";
    EXPECT_FALSE(host.get_window_rect(nullptr, &moved));
}

// ---------------------------------------------------------------- boxes

struct BoxAnswer {
    const char* caption;
    int button;
    bool found;
};

// Finds this process's message box by caption and presses a button.
DWORD WINAPI answer_box(void* param) {
    auto* answer = static_cast<BoxAnswer*>(param);
    for (int i = 0; i < 500 && !answer->found; ++i) {
        HWND box = FindWindowA("#32770", answer->caption);
        if (box) {
            answer->found = true;
            PostMessageA(GetDlgItem(box, answer->button), BM_CLICK, 0, 0);
        }
        Sleep(20);
    }
    return 0;
}

TEST_F(Win32DialogHost, MessageBoxReturnsTheButtonPressed) {
    for (int button : {IDNO, IDYES}) {
        BoxAnswer answer{"WARNING...", button, false};
        HANDLE thread = CreateThread(nullptr, 0, answer_box, &answer, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        const int32_t result = host.message_box(dialog, "Discard changes ?!", "WARNING...", MB_YESNO | MB_ICONWARNING);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        EXPECT_TRUE(answer.found);
        EXPECT_EQ(result, button);
    }
}

// ---------------------------------------------------------------- the real procedure

struct Scripted {
    bool found = false;
    std::string toggle_text;
    int folded_height = 0;
    int template_height = 0;  // the template's full height in pixels, frame included
    bool edit_notice_changed_record = true;
    std::vector<uint8_t> before_sound_click;
};

std::string window_text(HWND window) {
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// Waits until the real dialog is up and filled, looks at it, then plays the
// player: a notice from a read-only field, a click on the Sound title box,
// "Save and exit".
DWORD WINAPI play(void* param) {
    auto* script = static_cast<Scripted*>(param);
    HWND dialog = nullptr;
    for (int i = 0; i < 3000 && !dialog; ++i) {
        dialog = FindWindowA("#32770", "Velmora");
        if (dialog && SendMessageA(GetDlgItem(dialog, IDC_SPEAKERS), CB_GETCOUNT, 0, 0) != 5) dialog = nullptr;
        if (!dialog) Sleep(10);
    }
    if (!dialog) return 1;
    script->found = true;
    script->toggle_text = window_text(GetDlgItem(dialog, IDC_EXPERT_TOGGLE));
    RECT window, client, full = {0, 0, 0, 215};
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    MapDialogRect(dialog, &full);
    script->folded_height = window.bottom - window.top;
    script->template_height = full.bottom + (window.bottom - window.top) - client.bottom;

    const std::vector<uint8_t> before = settings_bytes();
    HWND field = GetDlgItem(dialog, IDC_DRIVER_VERSION);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_DRIVER_VERSION, EN_CHANGE), reinterpret_cast<LPARAM>(field));
    script->edit_notice_changed_record = settings_bytes() != before;

    script->before_sound_click = settings_bytes();
    SendMessageA(GetDlgItem(dialog, IDC_SOUND), BM_CLICK, 0, 0);
    SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    return 0;
}

intptr_t run_real_dialog() {
    return DialogBoxParamA(own_module(), MAKEINTRESOURCEA(IDD_SETUP), nullptr, win32_setup_dialog_proc, 0);
}

void* heap_allocate(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }
void heap_free(void* block) { HeapFree(GetProcessHeap(), 0, block); }
void nothing() {}

// The whole controller on real user32: the folded dialog, a click on the
// Sound title box and "Save and exit" store what the controls showed.
TEST(Win32DialogProc, ControllerRunsOnTheRealDialogAndSavesWhatItShows) {
    FakeMachine& m = reset_fakes();
    FakeAdapter adapter;
    adapter.modes = {mode(640, 480, FORMAT_X8R8G8B8), mode(1024, 768, FORMAT_X8R8G8B8),
                     mode(1024, 768, FORMAT_R5G6B5)};
    m.d3d.adapters.push_back(adapter);
    store_bytes(std::vector<uint8_t>(raw_bytes(&settings), raw_bytes(&settings) + SETTINGS_SIZE));
    platform.host = &win32_dialog_host_api;
    setup_instance = own_module();

    Scripted script;
    HANDLE thread = CreateThread(nullptr, 0, play, &script, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    const ProgramHost program = {heap_allocate, heap_free, nothing, nothing, run_real_dialog, nothing};
    EXPECT_EQ(setup_main(&program), 0);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    ASSERT_TRUE(script.found);

    EXPECT_EQ(script.toggle_text, "Open expert settings...");
    EXPECT_EQ(script.folded_height, script.template_height - 85);
    EXPECT_FALSE(script.edit_notice_changed_record);

    const std::vector<uint8_t> stored = stored_bytes();
    ASSERT_EQ(stored.size(), static_cast<size_t>(SETTINGS_SIZE));
    std::vector<uint8_t> expected = script.before_sound_click;
    ASSERT_EQ(expected.size(), static_cast<size_t>(SETTINGS_SIZE));
    expected[29] = 1;  // sound_disabled: the Sound title box was unchecked
    expected[20] = 0;  // the shared handler reads the two absent boxes as unchecked
    expected[26] = 0;
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(stored, settings_bytes());
}

}  // namespace

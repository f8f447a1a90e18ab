#include "fakes.h"

#include <algorithm>
#include <cstring>

#include <strings.h>

#include "app/state.h"
#include "dialog/controller.h"
#include "dialog/voice_check.h"
#include "platform/winapi_values.h"
#include "res/dialog_template.h"
#include "settings/store.h"

namespace {

FakeMachine fake;
int token;  // every object handle points here; the core never looks inside

template <typename T>
T* handle() {
    return reinterpret_cast<T*>(&token);
}

constexpr long FAILED = static_cast<long>(static_cast<int32_t>(0x80004005u));

// ---------------------------------------------------------------- registry
long reg_open(const char* subkey, RegKey** key) {
    fake.registry_calls.push_back(std::string("open ") + subkey);
    if (fake.fail_open || !fake.key_exists) return 2;  // ERROR_FILE_NOT_FOUND
    ++fake.keys_open;
    *key = handle<RegKey>();
    return 0;
}
long reg_query(RegKey*, const char* name, uint32_t* type, uint8_t* data, uint32_t* length) {
    fake.registry_calls.push_back(std::string("query ") + name + " " + std::to_string(*length));
    if (!fake.value) return 2;
    *type = fake.value_type;
    const auto size = static_cast<uint32_t>(fake.value->size());
    const bool fits = size <= *length;
    if (fits && size) std::memcpy(data, fake.value->data(), size);
    *length = size;
    return fits ? 0 : 234;  // ERROR_MORE_DATA
}
long reg_create(const char* subkey, uint32_t access, RegKey** key) {
    fake.registry_calls.push_back(std::string("create ") + subkey + " " + std::to_string(access));
    if (fake.fail_create) return 5;  // ERROR_ACCESS_DENIED
    fake.key_exists = true;
    ++fake.keys_open;
    *key = handle<RegKey>();
    return 0;
}
long reg_set(RegKey*, const char* name, uint32_t type, const uint8_t* data, uint32_t length) {
    fake.registry_calls.push_back(std::string("set ") + name + " " + std::to_string(type));
    if (fake.fail_set) return 5;
    fake.value = Bytes(data, data + length);
    fake.value_type = type;
    return 0;
}
long reg_close(RegKey*) {
    --fake.keys_open;
    return 0;
}

// ---------------------------------------------------------------- Direct3D
FakeAdapter* adapter(uint32_t ordinal) { return ordinal < fake.adapters.size() ? &fake.adapters[ordinal] : nullptr; }
D3DObject* d3d_create(uint32_t sdk) {
    fake.d3d_sdk_seen = sdk;
    if (fake.d3d_fails) return nullptr;
    ++fake.d3d_alive;
    return handle<D3DObject>();
}
uint32_t d3d_count(D3DObject*) { return static_cast<uint32_t>(fake.adapters.size()); }
long d3d_identifier(D3DObject*, uint32_t ordinal, uint32_t flags, AdapterIdentifier* out) {
    FakeAdapter* a = adapter(ordinal);
    if (!a || a->identifier_fails || flags != 0) return FAILED;
    // Fill the whole buffer first: the description is not always terminated.
    std::memset(out->Description, 'X', sizeof out->Description);
    std::memcpy(out->Description, a->description.data(), std::min(a->description.size() + 1, sizeof out->Description));
    out->DriverVersion = a->driver_version;
    return 0;
}
uint32_t d3d_mode_count(D3DObject*, uint32_t ordinal) {
    FakeAdapter* a = adapter(ordinal);
    return a ? static_cast<uint32_t>(a->modes.size()) : 0;
}
long d3d_mode(D3DObject*, uint32_t ordinal, uint32_t number, DisplayMode* out) {
    ++fake.mode_queries;
    FakeAdapter* a = adapter(ordinal);
    if (!a || number >= a->modes.size() || a->modes[number].Width == 0xFFFFFFFFu) return FAILED;
    *out = a->modes[number];
    return 0;
}
long d3d_multisample(D3DObject*, uint32_t ordinal, uint32_t device, uint32_t format, int32_t windowed,
                     uint32_t samples) {
    ++fake.multisample_probes;
    FakeAdapter* a = adapter(ordinal);
    if (!a || device != D3DDEVTYPE_HAL_ || (samples != 2 && samples != 4)) return FAILED;
    const uint32_t bit = (windowed ? 0x04u : 0x10u) << (samples == 4 ? 1 : 0);
    const auto it = a->multisample.find(format);
    return it != a->multisample.end() && (it->second & bit) ? 0 : FAILED;
}
uint32_t d3d_release(D3DObject*) { return static_cast<uint32_t>(--fake.d3d_alive); }

// ---------------------------------------------------------------- DirectDraw
long dd_create(const Guid* device, DDrawObject** out) {
    if (device) fake.ddraw_args_ok = false;
    if (fake.ddraw_create_fails) return FAILED;
    if (fake.ddraw_no_object) return 0;  // says it worked, gives nothing
    ++fake.ddraw_alive;
    *out = handle<DDrawObject>();
    return 0;
}
long dd_vidmem(DDrawObject*, const uint32_t caps[4], uint32_t* total, uint32_t* free_bytes) {
    if (caps[0] != DDSCAPS_LOCALVIDMEM_ || caps[1] || caps[2] || caps[3]) fake.ddraw_args_ok = false;
    if (fake.ddraw_query_fails) return FAILED;
    *total = fake.vram_bytes;
    *free_bytes = 0;
    return 0;
}
uint32_t dd_release(DDrawObject*) { return static_cast<uint32_t>(--fake.ddraw_alive); }

// ---------------------------------------------------------------- voice test
// The published identifiers, written out here rather than taken from the core.
constexpr Guid CLSID_TEST = {0x0F0F094B, 0xB01C, 0x4091, {0xA1, 0x4D, 0xDD, 0x0C, 0xD8, 0x07, 0x71, 0x1A}};
constexpr Guid IID_TEST = {0xD26AF734, 0x208B, 0x41DA, {0x82, 0x24, 0xE0, 0xCE, 0x79, 0x81, 0x0B, 0xE1}};
constexpr Guid PLAYBACK = {0xDEF00002, 0x9C6D, 0x47ED, {0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};
constexpr Guid CAPTURE = {0xDEF00003, 0x9C6D, 0x47ED, {0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};
bool same(const Guid* a, const Guid& b) { return a && std::memcmp(a, &b, sizeof b) == 0; }

long voice_create(const Guid* clsid, const Guid* iid, VoiceTestObject** out) {
    if (!same(clsid, CLSID_TEST) || !same(iid, IID_TEST)) fake.voice_args_ok = false;
    if (static_cast<int32_t>(fake.voice_create) < 0) return fake.voice_create;
    ++fake.voice_alive;
    *out = handle<VoiceTestObject>();
    return fake.voice_create;
}
long voice_check(VoiceTestObject*, const Guid* playback, const Guid* capture, HostWindow parent, uint32_t flags) {
    if (!same(playback, PLAYBACK) || !same(capture, CAPTURE) || parent) fake.voice_args_ok = false;
    fake.voice_flags.push_back(flags);
    return flags == 0x02 ? fake.voice_query : fake.voice_wizard;
}
uint32_t voice_release(VoiceTestObject*) { return static_cast<uint32_t>(--fake.voice_alive); }

// ---------------------------------------------------------------- dialog host
int dialog_token;
FakeControl* of(HostWindow w) { return static_cast<FakeControl*>(w); }
bool is_auto_check(const FakeControl& c) { return c.class_name == "BUTTON" && (c.style & 0x0F) == 0x03; }

HostWindow get_item(HostWindow dialog, int32_t id) { return dialog == fake_dialog() ? control(id) : nullptr; }
uint32_t get_check(HostWindow dialog, int32_t id) {
    FakeControl* c = of(get_item(dialog, id));
    return c ? c->check : 0;
}
void set_check(HostWindow dialog, int32_t id, uint32_t state) {
    if (FakeControl* c = of(get_item(dialog, id))) c->check = state;
}
void enable(HostWindow w, bool on) { of(w)->enabled = on; }
void set_text(HostWindow w, const char* text) {
    if (w != fake_dialog()) of(w)->text = text;
}
void list_reset(HostWindow w) { of(w)->items.clear(), of(w)->selection = -1; }
int32_t list_append(HostWindow w, const char* text) {
    of(w)->items.push_back({text, 0});
    return static_cast<int32_t>(of(w)->items.size()) - 1;
}
int32_t list_add_sorted(HostWindow w, const char* text) {
    FakeControl* c = of(w);
    if (!(c->style & 0x0100)) return list_append(w, text);  // no CBS_SORT
    auto at = c->items.begin();  // after every item not greater, ignoring case
    while (at != c->items.end() && strcasecmp(at->text.c_str(), text) <= 0) ++at;
    const auto pos = static_cast<int32_t>(at - c->items.begin());
    c->items.insert(at, {text, 0});
    if (c->selection >= pos) ++c->selection;  // the selection stays on its item
    return pos;
}
int32_t list_count(HostWindow w) { return static_cast<int32_t>(of(w)->items.size()); }
bool inside(FakeControl* c, int32_t pos) { return pos >= 0 && pos < static_cast<int32_t>(c->items.size()); }
void list_set_data(HostWindow w, int32_t pos, intptr_t data) {
    if (inside(of(w), pos)) of(w)->items[static_cast<size_t>(pos)].data = data;
}
intptr_t list_get_data(HostWindow w, int32_t pos) {
    return inside(of(w), pos) ? of(w)->items[static_cast<size_t>(pos)].data : CB_ERR;
}
int32_t list_get_selection(HostWindow w) { return of(w)->selection; }
void list_set_selection(HostWindow w, int32_t pos) { of(w)->selection = inside(of(w), pos) ? pos : -1; }
int32_t load_string(uint32_t id, char* buffer, int32_t size) {
    const char* text = fake.strings_fail ? nullptr : find_template_string(id);
    if (!text) return 0;  // leaves the buffer as it was, as LoadStringA does
    const auto n = static_cast<int32_t>(std::min<size_t>(std::strlen(text), static_cast<size_t>(size - 1)));
    std::memcpy(buffer, text, static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}
int32_t message_box(HostWindow, const char* text, const char* caption, uint32_t type) {
    fake.boxes.push_back({text, caption, type});
    if (fake.answers.empty()) return (type & 0x0F) == MB_YESNO ? IDYES : IDOK;
    const int32_t answer = fake.answers.front();
    fake.answers.pop_front();
    return answer;
}
void end_dialog(HostWindow, intptr_t code) {
    fake.ended = true;
    fake.end_code = code;
    ++fake.ends;
}
bool get_window_rect(HostWindow w, HostRect* rect) {
    if (w != fake_dialog()) return false;
    *rect = fake.rect;
    return true;
}
void set_window_pos(HostWindow w, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (w == fake_dialog()) fake.rect = {x, y, x + width, y + height};
}

const RegistryApi fake_registry = {.open_key = reg_open, .query_value = reg_query, .create_key = reg_create,
                                   .set_value = reg_set, .close_key = reg_close};
const Direct3DApi fake_d3d8 = {.create = d3d_create, .get_adapter_count = d3d_count,
                               .get_adapter_identifier = d3d_identifier, .get_adapter_mode_count = d3d_mode_count,
                               .enum_adapter_modes = d3d_mode, .check_device_multisample_type = d3d_multisample,
                               .release = d3d_release};
const DirectDrawApi fake_ddraw = {.create = dd_create, .get_available_vid_mem = dd_vidmem, .release = dd_release};
const VoiceTestApi fake_voice = {.create = voice_create, .check_audio_setup = voice_check, .release = voice_release};
const DialogHostApi fake_host = {
    .get_item = get_item, .get_check = get_check, .set_check = set_check, .enable = enable, .set_text = set_text,
    .list_reset = list_reset, .list_append = list_append, .list_add_sorted = list_add_sorted,
    .list_count = list_count, .list_set_data = list_set_data, .list_get_data = list_get_data,
    .list_get_selection = list_get_selection, .list_set_selection = list_set_selection, .load_string = load_string,
    .message_box = message_box, .end_dialog = end_dialog, .get_window_rect = get_window_rect,
    .set_window_pos = set_window_pos};

char text_storage[TEXT_BUFFER_SIZE];
char caption_storage[TEXT_BUFFER_SIZE];

}  // namespace

FakeMachine& machine() { return fake; }

FakeMachine& reset_fakes() {
    fake = FakeMachine{};
    for (const TemplateControl& t : template_controls)
        fake.controls.push_back({t.id, t.class_name, t.style, (t.style & 0x08000000u) == 0, "", 0, {}, -1});
    reset_process_state();
    text_buffer = text_storage;
    caption_buffer = caption_storage;
    platform = {.registry = &fake_registry, .d3d8 = &fake_d3d8, .ddraw = &fake_ddraw, .voice = &fake_voice,
                .host = &fake_host};
    return fake;
}

FakeControl* control(int32_t id) {
    for (FakeControl& c : fake.controls)
        if (c.id == id) return &c;
    return nullptr;
}

HostWindow fake_dialog() { return &dialog_token; }

void init_dialog() { fake.nonzero_results += setup_dialog_proc(fake_dialog(), WM_INITDIALOG, 0, 0) != 0; }

void command(int32_t id, uint32_t code) {
    const uintptr_t wparam = (uintptr_t{code} << 16) | (static_cast<uint32_t>(id) & 0xFFFF);
    fake.nonzero_results += setup_dialog_proc(fake_dialog(), WM_COMMAND, wparam, 0) != 0;
}

bool click(int32_t id) {
    FakeControl* c = control(id);
    if (!c || !c->enabled) return false;
    if (is_auto_check(*c)) c->check = c->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    command(id, 0);
    return true;
}

bool choose(int32_t id, int32_t position) {
    FakeControl* c = control(id);
    if (!c || !c->enabled) return false;
    c->selection = position;
    command(id, CBN_SELCHANGE);
    return true;
}

void start_dialog(const std::optional<Bytes>& stored) {
    if (stored) {
        fake.key_exists = true;
        fake.value = stored;
    }
    settings_loaded = load_settings();
    init_dialog();
}

DisplayMode mode(uint32_t w, uint32_t h, uint32_t format, uint32_t rate) { return {w, h, rate, format}; }

std::vector<std::string> texts(int32_t id) {
    std::vector<std::string> out;
    for (const FakeItem& item : control(id)->items) out.push_back(item.text);
    return out;
}

std::string selected(int32_t id) {
    const FakeControl* c = control(id);
    return c->selection < 0 ? "" : c->items[static_cast<size_t>(c->selection)].text;
}

Bytes bytes_of(const SetupSettings& record) {
    const uint8_t* b = raw_bytes(&record);
    return Bytes(b, b + SETTINGS_SIZE);
}

Bytes settings_bytes() { return bytes_of(settings); }

SetupSettings record_of(const Bytes& bytes) {
    SetupSettings s = default_settings();
    std::memcpy(raw_bytes(&s), bytes.data(), std::min(bytes.size(), SETTINGS_SIZE));
    return s;
}

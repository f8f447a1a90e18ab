#include "fakes.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "app/state.h"
#include "dialog/controller.h"
#include "dialog/voice_check.h"
#include "platform/winapi_values.h"
#include "res/dialog_template.h"
#include "settings/settings.h"
#include "settings/store.h"

namespace {

FakeMachine machine;

// Handles are addresses of fake objects; RegKey/D3DObject etc. are opaque to the core.
struct FakeKeyHandle {
    std::string path;
};
int d3d_token;
int ddraw_token;
int voice_token;
int dialog_token;

D3DObject* d3d_handle() { return reinterpret_cast<D3DObject*>(&d3d_token); }

// ---------------------------------------------------------------- registry
long reg_open(const char* subkey, RegKey** key) {
    auto& r = machine.registry;
    if (r.fail_open || r.keys.find(subkey) == r.keys.end()) return 2;  // ERROR_FILE_NOT_FOUND
    *key = reinterpret_cast<RegKey*>(new FakeKeyHandle{subkey});
    ++r.open_handles;
    ++r.opens;
    return 0;
}
long reg_query(RegKey* key, const char* name, uint32_t* type, uint8_t* data, uint32_t* length) {
    auto* k = reinterpret_cast<FakeKeyHandle*>(key);
    auto& values = machine.registry.keys[k->path];
    auto it = values.find(name);
    if (it == values.end()) return 2;
    if (type) *type = it->second.type;
    const auto size = static_cast<uint32_t>(it->second.data.size());
    if (size > *length) {
        *length = size;
        return 234;  // ERROR_MORE_DATA
    }
    if (size != 0) std::memcpy(data, it->second.data.data(), size);  // an empty value has no data pointer
    *length = size;
    return 0;
}
long reg_create(const char* subkey, uint32_t access, RegKey** key) {
    auto& r = machine.registry;
    r.last_create_access = access;
    if (r.fail_create) return 5;  // ERROR_ACCESS_DENIED
    r.keys[subkey];
    *key = reinterpret_cast<RegKey*>(new FakeKeyHandle{subkey});
    ++r.open_handles;
    ++r.opens;
    return 0;
}
long reg_set(RegKey* key, const char* name, uint32_t type, const uint8_t* data, uint32_t length) {
    if (machine.registry.fail_set) return 5;
    auto* k = reinterpret_cast<FakeKeyHandle*>(key);
    machine.registry.keys[k->path][name] = FakeRegValue{type, std::vector<uint8_t>(data, data + length)};
    return 0;
}
long reg_close(RegKey* key) {
    delete reinterpret_cast<FakeKeyHandle*>(key);
    --machine.registry.open_handles;
    return 0;
}
const RegistryApi fake_registry_api = {reg_open, reg_query, reg_create, reg_set, reg_close};

// ---------------------------------------------------------------- Direct3D
FakeAdapter* adapter_at(uint32_t ordinal) {
    if (ordinal >= machine.d3d.adapters.size()) return nullptr;
    return &machine.d3d.adapters[ordinal];
}
D3DObject* d3d_create(uint32_t sdk) {
    machine.d3d.last_sdk_version = sdk;
    if (machine.d3d.create_fails) return nullptr;
    ++machine.d3d.created;
    return d3d_handle();
}
uint32_t d3d_count(D3DObject*) { return static_cast<uint32_t>(machine.d3d.adapters.size()); }
long d3d_identifier(D3DObject*, uint32_t adapter, uint32_t, AdapterIdentifier* out) {
    FakeAdapter* a = adapter_at(adapter);
    if (!a || a->identifier_fails) return -2005530516;  // D3DERR_INVALIDCALL
    std::memset(out, 0, sizeof *out);
    std::strncpy(out->Description, a->description.c_str(), sizeof out->Description - 1);
    out->DriverVersion = a->driver_version;
    return 0;
}
uint32_t d3d_mode_count(D3DObject*, uint32_t adapter) {
    FakeAdapter* a = adapter_at(adapter);
    return a ? static_cast<uint32_t>(a->modes.size()) : 0;
}
long d3d_enum(D3DObject*, uint32_t adapter, uint32_t mode_number, DisplayMode* out) {
    ++machine.d3d.enum_calls;
    machine.d3d.highest_mode_queried = std::max(machine.d3d.highest_mode_queried, mode_number);
    FakeAdapter* a = adapter_at(adapter);
    if (!a || mode_number >= a->modes.size()) return -2005530516;
    if (std::find(a->failing_modes.begin(), a->failing_modes.end(), mode_number) != a->failing_modes.end())
        return -2005530516;
    *out = a->modes[mode_number];
    return 0;
}
long d3d_multisample(D3DObject*, uint32_t adapter, uint32_t device_type, uint32_t format, int32_t windowed,
                     uint32_t samples) {
    ++machine.d3d.multisample_calls;
    if (machine.d3d.record_probes) machine.d3d.probes.emplace_back(adapter, format, windowed, samples, device_type);
    FakeAdapter* a = adapter_at(adapter);
    if (!a) return -2005530516;
    if (a->multisample_all) return 0;
    auto it = a->multisample.find({format, windowed, samples});
    return (it != a->multisample.end() && it->second) ? 0 : -2005530518;  // D3DERR_NOTAVAILABLE
}
uint32_t d3d_release(D3DObject*) {
    ++machine.d3d.released;
    return static_cast<uint32_t>(std::max(0, machine.d3d.alive()));
}
const Direct3DApi fake_d3d_api = {d3d_create, d3d_count, d3d_identifier, d3d_mode_count,
                                  d3d_enum,   d3d_multisample, d3d_release};

// ---------------------------------------------------------------- DirectDraw
long dd_create(const Guid* device, DDrawObject** out) {
    machine.ddraw.device_was_null = device == nullptr;
    if (machine.ddraw.create_fails) return static_cast<long>(static_cast<int32_t>(0x80004005u));
    ++machine.ddraw.created;
    *out = reinterpret_cast<DDrawObject*>(&ddraw_token);
    return 0;
}
long dd_vidmem(DDrawObject*, const uint32_t caps[4], uint32_t* total, uint32_t* free_bytes) {
    std::memcpy(machine.ddraw.last_caps, caps, sizeof machine.ddraw.last_caps);
    if (machine.ddraw.query_fails) return static_cast<long>(static_cast<int32_t>(0x80004005u));
    *total = machine.ddraw.total_bytes;
    *free_bytes = machine.ddraw.total_bytes / 2;
    return 0;
}
uint32_t dd_release(DDrawObject*) {
    ++machine.ddraw.released;
    return 0;
}
const DirectDrawApi fake_ddraw_api = {dd_create, dd_vidmem, dd_release};

// ---------------------------------------------------------------- voice
bool same_guid(const Guid* a, const Guid& b) { return a && std::memcmp(a, &b, sizeof b) == 0; }
long voice_create(const Guid* clsid, const Guid* iid, VoiceTestObject** out) {
    if (!same_guid(clsid, CLSID_DirectPlayVoiceTest) || !same_guid(iid, IID_IDirectPlayVoiceTest))
        machine.voice.guids_ok = false;
    if (machine.voice.create_result < 0) return machine.voice.create_result;
    ++machine.voice.created;
    *out = reinterpret_cast<VoiceTestObject*>(&voice_token);
    return machine.voice.create_result;
}
long voice_check(VoiceTestObject*, const Guid* playback, const Guid* capture, HostWindow parent, uint32_t flags) {
    if (!same_guid(playback, DSDEVID_DefaultVoicePlayback) || !same_guid(capture, DSDEVID_DefaultVoiceCapture) ||
        parent != nullptr)
        machine.voice.guids_ok = false;
    machine.voice.flags_seen.push_back(flags);
    return (flags & DVFLAGS_QUERYONLY) ? machine.voice.query_result : machine.voice.wizard_result;
}
uint32_t voice_release(VoiceTestObject*) {
    ++machine.voice.released;
    return 0;
}
const VoiceTestApi fake_voice_api = {voice_create, voice_check, voice_release};

// ---------------------------------------------------------------- dialog host
FakeControl* control_of(HostWindow w) { return static_cast<FakeControl*>(w); }
FakeControl* find_control(int32_t id) {
    for (auto& c : machine.dialog.controls)
        if (c.id == id) return &c;
    return nullptr;
}
bool is_sorted_list(const FakeControl* c) { return c->class_name == "COMBOBOX" && (c->style & 0x0100u); }
bool is_auto_checkbox(const FakeControl* c) {
    return c->class_name == "BUTTON" && (c->style & 0x0Fu) == 0x03u;
}
int compare_nocase(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int x = std::tolower(static_cast<unsigned char>(a[i]));
        const int y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

HostWindow host_get_item(HostWindow dialog, int32_t id) {
    if (dialog != fake_dialog_handle()) return nullptr;
    return find_control(id);
}
uint32_t host_get_check(HostWindow dialog, int32_t id) {
    if (machine.dialog.log_calls) machine.dialog.checks_read.push_back(id);
    FakeControl* c = static_cast<FakeControl*>(host_get_item(dialog, id));
    return c ? c->check : 0;
}
void host_set_check(HostWindow dialog, int32_t id, uint32_t state) {
    if (machine.dialog.log_calls) machine.dialog.checks_set.emplace_back(id, state);
    if (FakeControl* c = static_cast<FakeControl*>(host_get_item(dialog, id))) c->check = state;
}
void host_enable(HostWindow control, bool enabled) {
    if (control && machine.dialog.log_calls) machine.dialog.enables.emplace_back(control_of(control)->id, enabled);
    if (control) control_of(control)->enabled = enabled;
}
void host_set_text(HostWindow control, const char* text) {
    if (control) control_of(control)->text = text ? text : "";
}
void host_list_reset(HostWindow list) {
    FakeControl* c = control_of(list);
    if (machine.dialog.log_calls) machine.dialog.list_resets.push_back(c->id);
    c->items.clear();
    c->selection = -1;
}
int32_t host_list_append(HostWindow list, const char* text) {
    FakeControl* c = control_of(list);
    c->items.push_back(FakeItem{text, 0});
    return static_cast<int32_t>(c->items.size() - 1);
}
int32_t host_list_add_sorted(HostWindow list, const char* text) {
    FakeControl* c = control_of(list);
    if (!is_sorted_list(c)) return host_list_append(list, text);
    const std::string key = text;  // once, not once per comparison
    size_t pos = 0;
    while (pos < c->items.size() && compare_nocase(c->items[pos].text, key) <= 0) ++pos;
    c->items.insert(c->items.begin() + static_cast<std::ptrdiff_t>(pos), FakeItem{key, 0});
    if (c->selection >= static_cast<int32_t>(pos)) ++c->selection;  // selection stays on its item
    return static_cast<int32_t>(pos);
}
int32_t host_list_count(HostWindow list) { return static_cast<int32_t>(control_of(list)->items.size()); }
void host_list_set_data(HostWindow list, int32_t pos, intptr_t data) {
    FakeControl* c = control_of(list);
    if (pos >= 0 && pos < static_cast<int32_t>(c->items.size())) c->items[static_cast<size_t>(pos)].data = data;
}
intptr_t host_list_get_data(HostWindow list, int32_t pos) {
    FakeControl* c = control_of(list);
    if (pos < 0 || pos >= static_cast<int32_t>(c->items.size())) return CB_ERR;
    return c->items[static_cast<size_t>(pos)].data;
}
int32_t host_list_get_selection(HostWindow list) { return control_of(list)->selection; }
void host_list_set_selection(HostWindow list, int32_t pos) {
    FakeControl* c = control_of(list);
    c->selection = (pos >= 0 && pos < static_cast<int32_t>(c->items.size())) ? pos : -1;
}
int32_t host_load_string(uint32_t id, char* buffer, int32_t size) {
    if (machine.dialog.log_calls) machine.dialog.strings_loaded.push_back(id);
    auto it = machine.dialog.strings.find(id);
    if (size <= 0) return 0;
    if (it == machine.dialog.strings.end()) {
        buffer[0] = '\0';
        return 0;
    }
    const auto n = static_cast<int32_t>(std::min<size_t>(it->second.size(), static_cast<size_t>(size - 1)));
    std::memcpy(buffer, it->second.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}
int32_t host_message_box(HostWindow, const char* text, const char* caption, uint32_t type) {
    machine.dialog.boxes.push_back(FakeMessageBox{text ? text : "", caption ? caption : "", type});
    if (!machine.dialog.box_answers.empty()) {
        const int32_t a = machine.dialog.box_answers.front();
        machine.dialog.box_answers.pop_front();
        return a;
    }
    return (type & 0x0Fu) == MB_YESNO ? IDYES : IDOK;
}
void host_end_dialog(HostWindow, intptr_t result) {
    machine.dialog.ended = true;
    machine.dialog.end_result = result;
    ++machine.dialog.end_calls;
}
bool host_get_window_rect(HostWindow window, HostRect* rect) {
    if (window != fake_dialog_handle()) return false;
    *rect = machine.dialog.rect;
    return true;
}
void host_set_window_pos(HostWindow window, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (window != fake_dialog_handle()) return;
    ++machine.dialog.window_pos_calls;
    machine.dialog.rect = HostRect{x, y, x + w, y + h};
}
const DialogHostApi fake_host_api = {host_get_item,       host_get_check,        host_set_check,
                                     host_enable,         host_set_text,         host_list_reset,
                                     host_list_append,    host_list_add_sorted,  host_list_count,
                                     host_list_set_data,  host_list_get_data,    host_list_get_selection,
                                     host_list_set_selection, host_load_string,  host_message_box,
                                     host_end_dialog,     host_get_window_rect,  host_set_window_pos};

char fake_text_buffer[TEXT_BUFFER_SIZE];
char fake_caption_buffer[TEXT_BUFFER_SIZE];

}  // namespace

FakeMachine& fake_machine() { return machine; }

FakeMachine& reset_fakes() {
    machine = FakeMachine{};
    for (const auto& t : template_controls) {
        FakeControl c;
        c.id = t.id;
        c.class_name = t.class_name;
        c.style = t.style;
        c.enabled = (t.style & 0x08000000u) == 0;  // WS_DISABLED
        machine.dialog.controls.push_back(c);
    }
    for (const auto& s : template_strings) machine.dialog.strings[s.id] = s.text;
    reset_process_state();
    text_buffer = fake_text_buffer;
    caption_buffer = fake_caption_buffer;
    platform = Platform{&fake_registry_api, &fake_d3d_api, &fake_ddraw_api, &fake_voice_api, &fake_host_api};
    return machine;
}

HostWindow fake_dialog_handle() { return &dialog_token; }
FakeControl* fake_control(int32_t id) { return find_control(id); }

void fake_command(int32_t id, uint32_t code) {
    ++machine.dialog.commands;
    setup_dialog_proc(fake_dialog_handle(), WM_COMMAND,
                      (static_cast<uintptr_t>(code) << 16) | (static_cast<uint32_t>(id) & 0xFFFFu), 0);
}

void fake_init_dialog() { setup_dialog_proc(fake_dialog_handle(), WM_INITDIALOG, 0, 0); }

bool fake_click(int32_t id) {
    FakeControl* c = find_control(id);
    if (!c || !c->enabled) return false;
    if (is_auto_checkbox(c)) c->check = c->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
    fake_command(id, 0);  // BN_CLICKED
    return true;
}

bool fake_choose(int32_t id, int32_t position) {
    FakeControl* c = find_control(id);
    if (!c || !c->enabled) return false;
    c->selection = position;
    fake_command(id, CBN_SELCHANGE);
    return true;
}

DisplayMode mode(uint32_t w, uint32_t h, uint32_t format, uint32_t rate) { return DisplayMode{w, h, rate, format}; }

std::vector<std::string> fake_list_texts(int32_t id) {
    std::vector<std::string> out;
    if (FakeControl* c = find_control(id))
        for (const auto& i : c->items) out.push_back(i.text);
    return out;
}

std::string fake_selected_text(int32_t id) {
    FakeControl* c = find_control(id);
    if (!c || c->selection < 0 || c->selection >= static_cast<int32_t>(c->items.size())) return "";
    return c->items[static_cast<size_t>(c->selection)].text;
}

std::vector<uint8_t> bytes_of(const SetupSettings& record) {
    return std::vector<uint8_t>(raw_bytes(&record), raw_bytes(&record) + SETTINGS_SIZE);
}

std::vector<uint8_t> settings_bytes() { return bytes_of(settings); }

std::vector<uint8_t> stored_bytes() {
    auto k = machine.registry.keys.find(SETTINGS_SUBKEY);
    if (k == machine.registry.keys.end()) return {};
    auto v = k->second.find(SETTINGS_VALUE);
    if (v == k->second.end()) return {};
    return v->second.data;
}

void store_bytes(const std::vector<uint8_t>& bytes, uint32_t type) {
    machine.registry.keys[SETTINGS_SUBKEY][SETTINGS_VALUE] = FakeRegValue{type, bytes};
}

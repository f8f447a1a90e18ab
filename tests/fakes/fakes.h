// In-memory back ends for every seam: a scripted machine (registry,
// Direct3D 8, DirectDraw 7, voice test) and a dialog host built from the real
// template. They keep the host contract: a click flips an automatic check box
// before its command arrives, an id without a control reads unchecked, and no
// programmatic change ever becomes a command.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/seams.h"
#include "settings/settings.h"

// ---------------------------------------------------------------- registry
struct FakeRegValue {
    uint32_t type = REG_TYPE_BINARY;
    std::vector<uint8_t> data;
};

struct FakeRegistry {
    // key path (as passed) -> value name -> value
    std::map<std::string, std::map<std::string, FakeRegValue>> keys;
    bool fail_open = false;    // open_key fails even when the key exists
    bool fail_create = false;  // create_key fails
    bool fail_set = false;     // set_value fails
    int open_handles = 0;      // handles opened and not yet closed
    int opens = 0;             // successful open_key/create_key calls
    uint32_t last_create_access = 0;
};

// ---------------------------------------------------------------- Direct3D 8
struct FakeAdapter {
    std::string description = "Fake Display Adapter";
    uint64_t driver_version = 0;
    bool identifier_fails = false;
    std::vector<DisplayMode> modes;
    std::vector<uint32_t> failing_modes;  // mode numbers whose query fails
    // Multisample support by (format, windowed, samples); absent = unsupported.
    std::map<std::tuple<uint32_t, int32_t, uint32_t>, bool> multisample;
    bool multisample_all = false;  // every probe succeeds
};

struct FakeD3D {
    bool create_fails = false;
    std::vector<FakeAdapter> adapters;
    int created = 0;
    int released = 0;
    int alive() const { return created - released; }
    uint32_t last_sdk_version = 0;
    int enum_calls = 0;
    int multisample_calls = 0;
    uint32_t highest_mode_queried = 0;
    // Every multisample probe: adapter, format, windowed, samples, device type.
    std::vector<std::tuple<uint32_t, uint32_t, int32_t, uint32_t, uint32_t>> probes;
    bool record_probes = true;  // off: probes are only counted (no allocation)
};

// ---------------------------------------------------------------- DirectDraw 7
struct FakeDDraw {
    bool create_fails = false;
    bool query_fails = false;
    uint32_t total_bytes = 64u << 20;
    int created = 0;
    int released = 0;
    int alive() const { return created - released; }
    bool device_was_null = true;
    uint32_t last_caps[4] = {};
};

// ---------------------------------------------------------------- voice test
struct FakeVoice {
    long create_result = 0;
    long query_result = 0;
    long wizard_result = 0;
    int created = 0;
    int released = 0;
    int alive() const { return created - released; }
    std::vector<uint32_t> flags_seen;  // flags of each CheckAudioSetup call
    bool guids_ok = true;              // every call passed the published identifiers
};

// ---------------------------------------------------------------- dialog host
struct FakeItem {
    std::string text;
    intptr_t data = 0;
};

struct FakeControl {
    int32_t id = 0;
    std::string class_name;
    uint32_t style = 0;
    bool enabled = true;
    std::string text;
    uint32_t check = 0;
    std::vector<FakeItem> items;
    int32_t selection = -1;
};

struct FakeMessageBox {
    std::string text;
    std::string caption;
    uint32_t type = 0;
};

struct FakeDialog {
    std::vector<FakeControl> controls;  // from the template, in template order
    HostRect rect = {100, 100, 100 + 567, 100 + 378};
    bool ended = false;
    intptr_t end_result = 0;
    int end_calls = 0;
    int window_pos_calls = 0;
    std::vector<FakeMessageBox> boxes;    // every message box shown
    std::deque<int32_t> box_answers;      // answers to give; IDYES/IDOK when empty
    std::map<uint32_t, std::string> strings;  // the string table
    int commands = 0;                     // WM_COMMANDs delivered by the fake
    // Call logs, in call order, for tests of ordering; kept only while
    // log_calls is set (off by default so long benchmark loops do not grow them).
    bool log_calls = false;
    std::vector<int32_t> checks_read;                    // ids passed to get_check
    std::vector<std::pair<int32_t, uint32_t>> checks_set;  // (id, state) passed to set_check
    std::vector<std::pair<int32_t, bool>> enables;         // (control id, enabled) passed to enable
    std::vector<uint32_t> strings_loaded;                // ids passed to load_string
    std::vector<int32_t> list_resets;                    // control ids of list_reset calls
};

struct FakeMachine {
    FakeRegistry registry;
    FakeD3D d3d;
    FakeDDraw ddraw;
    FakeVoice voice;
    FakeDialog dialog;
};

// Resets every fake, resets the process-wide state and installs the fakes in
// `platform`. Returns the machine to script.
FakeMachine& reset_fakes();
FakeMachine& fake_machine();

// The dialog's window handle as the core sees it.
HostWindow fake_dialog_handle();
FakeControl* fake_control(int32_t id);

// Player actions: each delivers a command to setup_dialog_proc the way a real
// host would. Return false (and deliver nothing) for a missing or disabled control.
bool fake_click(int32_t id);                       // flips an automatic check box first
bool fake_choose(int32_t id, int32_t position);    // selects, then CBN_SELCHANGE
void fake_command(int32_t id, uint32_t code);      // raw WM_COMMAND
void fake_init_dialog();                           // WM_INITDIALOG

// Helpers for scripting and reading.
DisplayMode mode(uint32_t w, uint32_t h, uint32_t format, uint32_t rate = 60);
std::vector<std::string> fake_list_texts(int32_t id);
std::string fake_selected_text(int32_t id);  // "" when none
std::vector<uint8_t> bytes_of(const SetupSettings& record);  // a record's 35 bytes
std::vector<uint8_t> settings_bytes();       // the process-wide record
std::vector<uint8_t> stored_bytes();         // the fake registry's value, empty when absent
void store_bytes(const std::vector<uint8_t>& bytes, uint32_t type = REG_TYPE_BINARY);

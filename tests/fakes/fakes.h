// In-memory back ends for every seam, the dialog host built from the real template and keeping the real
// hosts' contract: a click flips an automatic box before its command, an id without a control reads
// unchecked, no programmatic change becomes a command.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/seams.h"
#include "settings/settings.h"

using Bytes = std::vector<uint8_t>;

struct FakeAdapter {
    std::string description = "Fake Adapter";
    uint64_t driver_version = 0;
    bool identifier_fails = false;
    std::vector<DisplayMode> modes;
    // Multisample support by the format probed, in the caps bits of the mode
    // table (0x04 2 samples windowed ... 0x20 4 samples full screen).
    std::map<uint32_t, uint32_t> multisample;
};

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

struct FakeBox {
    std::string text, caption;
    uint32_t type = 0;
};

// Grouped by size rather than by seam: the static analysis wants no padding.
struct FakeMachine {
    std::optional<Bytes> value;               // the stored value, when there is one
    std::vector<std::string> registry_calls;  // "open <subkey>", "query <name> <size>", "create ...", "set ..."
    std::vector<FakeAdapter> adapters = {FakeAdapter{}};
    std::vector<uint32_t> voice_flags;       // the flags of every CheckAudioSetup
    std::vector<FakeControl> controls;       // the template's, in template order
    std::vector<FakeBox> boxes;              // every message box shown
    std::deque<int32_t> answers;             // box answers to give; IDYES / IDOK when empty
    long voice_create = 0, voice_query = 0, voice_wizard = 0;  // the voice test's answers
    intptr_t end_code = 0;
    HostRect rect = {100, 100, 667, 478};
    uint32_t value_type = REG_TYPE_BINARY, d3d_sdk_seen = 0, vram_bytes = 64u << 20;
    // Objects and keys alive, calls made.
    int keys_open = 0, d3d_alive = 0, ddraw_alive = 0, voice_alive = 0, ends = 0;
    int multisample_probes = 0, mode_queries = 0;
    int nonzero_results = 0;  // the dialog procedure answers 0 to every message
    bool key_exists = false, fail_open = false, fail_create = false, fail_set = false;
    bool d3d_fails = false, ddraw_create_fails = false, ddraw_query_fails = false, ddraw_no_object = false;
    bool ddraw_args_ok = true;  // no device, local video memory caps only
    bool voice_args_ok = true;  // the published identifiers, no parent window
    bool ended = false;
    bool strings_fail = false;  // every string load fails
};

// Resets the fakes and the process-wide state and installs the fakes.
FakeMachine& reset_fakes();
FakeMachine& machine();

FakeControl* control(int32_t id);
HostWindow fake_dialog();

// The player, as a host delivers it. False (nothing delivered) for a missing
// or disabled control.
void init_dialog();                             // WM_INITDIALOG
void command(int32_t id, uint32_t code);        // a raw WM_COMMAND
bool click(int32_t id);                         // flips an automatic check box first
bool choose(int32_t id, int32_t position);      // selects, then CBN_SELCHANGE
// A first start or a start with `stored` as the stored value: runs the
// entry's load and the dialog's initialisation.
void start_dialog(const std::optional<Bytes>& stored = std::nullopt);

DisplayMode mode(uint32_t w, uint32_t h, uint32_t format, uint32_t rate = 60);
std::vector<std::string> texts(int32_t id);
std::string selected(int32_t id);  // "" when nothing is selected
Bytes bytes_of(const SetupSettings& record);
Bytes settings_bytes();
SetupSettings record_of(const Bytes& bytes);

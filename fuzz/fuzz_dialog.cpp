// The whole program on a machine the input makes up (a stored value of any
// length and content, adapters with any modes, formats, multisample answers
// and failures, any video memory and voice answers), then up to 256 player
// actions. After every action the dialog and the record must agree, and
// each action must have done exactly what it is for.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include <strings.h>

#include "app/entry.h"
#include "app/state.h"
#include "fakes.h"
#include "platform/winapi_values.h"
#include "probe/mode_table.h"
#include "res/resource.h"
#include "support.h"

namespace {

const Bytes DEFAULTS = bytes_of(default_settings());

// Box id, record offset, and whether checked means 0.
struct Box {
    size_t offset;
    int32_t id;
    bool inverted;
};
constexpr Box BOXES[] = {{21, IDC_FULLSCREEN, false},     {25, IDC_TRIPLE_BUFFER, false}, {22, IDC_HW_TNL, false},
                         {24, IDC_TEX_LOW_DETAIL, false}, {23, IDC_VSYNC, false},         {29, IDC_SOUND, true},
                         {32, IDC_SOFTWARE_MIXING, false}, {30, IDC_DISABLE_EAX, false},  {31, IDC_SUSPEND_INACTIVE, false},
                         {19, IDC_MULTIPASS, false},      {28, IDC_TEX_TRUE_COLOR, false}, {27, IDC_TEX_COMPRESSED, false},
                         {34, IDC_VOICE_CHAT, false}};
constexpr int32_t SHARED[] = {IDC_SPEAKERS, IDC_FULLSCREEN, IDC_TRIPLE_BUFFER, IDC_SOUND, IDC_TEX_LOW_DETAIL,
                              IDC_VSYNC, IDC_OPTION_1011, IDC_SUSPEND_INACTIVE, IDC_HW_TNL, IDC_DISABLE_EAX,
                              IDC_SOFTWARE_MIXING, IDC_OPTION_1028, IDC_MULTIPASS};
constexpr int32_t LISTS[] = {IDC_ADAPTER, IDC_RESOLUTION, IDC_REFRESH, IDC_BIT_DEPTH, IDC_ANTIALIAS, IDC_SPEAKERS};
constexpr int32_t OTHER_IDS[] = {IDOK, IDCANCEL, IDC_AUTODETECT, IDC_EXPERT_TOGGLE, IDC_VOICE_CHAT, IDC_TEX_COMPRESSED,
                                 IDC_TEX_TRUE_COLOR, 1016, 1019, 1018, 0, 999, 1040, 0x7FFF};
constexpr long VOICE_CODES[] = {0, 0x80150183, 0x80150180, 0x80004005};

// Everything the dialog shows, to tell whether an action changed anything.
std::string shown() {
    std::string s;
    for (const FakeControl& c : machine().controls) {
        s += std::to_string(c.id) + c.text + char('0' + c.check) + char('0' + c.enabled) + std::to_string(c.selection);
        for (const FakeItem& item : c.items) s += "|" + item.text + "=" + std::to_string(item.data);
    }
    return s + std::to_string(machine().rect.bottom);
}

bool usable(const ModeEntry& e) {
    const double ratio = static_cast<double>(e.width) / e.height;
    return e.width >= 640 && e.height != 0 && std::fabs(ratio - 1.33333337306976318359375) < 0.001000000047497451305389404296875;
}

intptr_t selected_data(int32_t id) {
    const FakeControl* c = control(id);
    return c->selection < 0 ? CB_ERR : c->items[static_cast<size_t>(c->selection)].data;
}

void check_consistent() {
    const FakeMachine& m = machine();
    const Bytes record = settings_bytes();
    for (const Box& b : BOXES) FUZZ_CHECK((control(b.id)->check == BST_CHECKED) == ((record[b.offset] != 0) != b.inverted));
    for (int32_t id : {IDC_TRIPLE_BUFFER, IDC_VSYNC, IDC_REFRESH, IDC_BIT_DEPTH})
        FUZZ_CHECK(control(id)->enabled == (settings.fullscreen != 0));
    for (int32_t id : {IDC_SPEAKERS, IDC_SOFTWARE_MIXING, IDC_DISABLE_EAX})
        FUZZ_CHECK(control(id)->enabled == (settings.sound_disabled == 0));
    FUZZ_CHECK(!control(IDC_VOICE_CHAT)->enabled);
    FUZZ_CHECK(!(settings.hardware_tnl && settings.multipass_rendering));
    FUZZ_CHECK(m.d3d_alive == (d3d ? 1 : 0) && m.ddraw_alive == 0 && m.voice_alive == 0 && m.keys_open == 0);
    FUZZ_CHECK(m.ddraw_args_ok && m.voice_args_ok && m.d3d_sdk_seen == 220);
    if (!d3d) return;

    // The lists show the record; one adapter item per adapter that names itself.
    FUZZ_CHECK(selected_data(IDC_REFRESH) == settings.refresh_rate && m.nonzero_results == 0);
    const auto& adapters = control(IDC_ADAPTER)->items;
    std::vector<intptr_t> named;
    for (size_t i = 0; i < m.adapters.size(); ++i)
        if (!m.adapters[i].identifier_fails) named.push_back(static_cast<intptr_t>(i));
    FUZZ_CHECK(std::equal(adapters.begin(), adapters.end(), named.begin(), named.end(),
                          [](const FakeItem& item, intptr_t ordinal) { return item.data == ordinal; }));
    const bool adapter_listed =
        std::any_of(adapters.begin(), adapters.end(), [](const FakeItem& i) { return i.data == settings.adapter; });
    FUZZ_CHECK(adapter_listed ? selected_data(IDC_ADAPTER) == settings.adapter
                              : control(IDC_ADAPTER)->selection == (adapters.empty() ? -1 : 0));
    if (control(IDC_BIT_DEPTH)->selection >= 0)
        FUZZ_CHECK(selected_data(IDC_BIT_DEPTH) == settings.bit_depth || (settings.bit_depth != 16 && settings.bit_depth != 32));
    FUZZ_CHECK(control(IDC_BIT_DEPTH)->items.empty() == (control(IDC_BIT_DEPTH)->selection < 0));
    if (control(IDC_ANTIALIAS)->selection >= 0)
        FUZZ_CHECK(selected_data(IDC_ANTIALIAS) == settings.antialiasing || selected_data(IDC_ANTIALIAS) == 0);
    if (control(IDC_SPEAKERS)->selection >= 0) FUZZ_CHECK(control(IDC_SPEAKERS)->selection == settings.speaker_config);

    // The resolution list is the mode table: unique usable sizes, sorted by
    // text, the record's size selected when it is there.
    const auto& items = control(IDC_RESOLUTION)->items;
    bool record_size_listed = false;
    for (size_t i = 0; i < items.size(); ++i) {
        const ModeEntry* e = mode_entry_of(items[i].data);
        FUZZ_CHECK(e && usable(*e) && (e->caps & 3) && items.size() <= MODE_TABLE_SIZE);
        char text[32];
        std::snprintf(text, sizeof text, "%4d x %4d", static_cast<int>(e->width), static_cast<int>(e->height));
        FUZZ_CHECK(items[i].text == text && (i == 0 || strcasecmp(items[i - 1].text.c_str(), text) <= 0));
        for (size_t j = 0; j < i; ++j) FUZZ_CHECK(mode_entry_of(items[j].data) != e && items[j].text != text);
        const bool is_record = e->width == static_cast<uint32_t>(settings.width) &&
                               e->height == static_cast<uint32_t>(settings.height);
        if (is_record) FUZZ_CHECK(control(IDC_RESOLUTION)->selection == static_cast<int32_t>(i));
        record_size_listed |= is_record;
    }
    if (!record_size_listed) FUZZ_CHECK(control(IDC_RESOLUTION)->selection == -1);
}

// The profile's own table, written out again: an oracle does not reuse the
// code under test.
void check_profile(int32_t memory, bool listed_1280, const Bytes& before) {
    const int tier = memory <= 8 ? 0 : memory <= 16 ? 1 : memory <= 32 ? 2 : memory <= 64 ? 3 : 4;
    const int32_t widths[] = {640, 800, 800, 1024, listed_1280 ? 1280 : 1024};
    FUZZ_CHECK(settings.width == widths[tier]);
    FUZZ_CHECK(settings.height == widths[tier] * 3 / 4);
    FUZZ_CHECK(settings.triple_buffering == (tier >= 2) && settings.low_detail_textures == (tier <= 1));
    FUZZ_CHECK(settings.compressed_textures == (tier < 4) && settings.true_color_textures == (tier == 4));
    FUZZ_CHECK(settings.option_1011 == (tier > 0) && settings.option_1028 == 0 && settings.refresh_rate == 0);
    FUZZ_CHECK(settings.fullscreen == 1 && settings.hardware_tnl == 1 && settings.multipass_rendering == 0);
    FUZZ_CHECK(settings.antialiasing == 0 && settings.vsync == 0 && settings.suspend_when_inactive == 1);
    FUZZ_CHECK(settings.sound_disabled == 0 && settings.software_mixing_only == 1 && settings.disable_eax == 0);
    const Bytes now = settings_bytes();
    FUZZ_CHECK(now[0] == before[0] && now[33] == before[33] && now[34] == before[34]);
    FUZZ_CHECK(now[1] == before[1] || now[1] == 0);
}

bool listed(uint32_t w, uint32_t h) {
    for (const FakeItem& item : control(IDC_RESOLUTION)->items) {
        const ModeEntry* e = mode_entry_of(item.data);
        if (e && e->width == w && e->height == h) return true;
    }
    return false;
}

Input input(nullptr, 0);
int com;
bool controls_ready;

// No display device: the one box, the dialog ended, its controls still refilled.
void check_fatal() {
    const FakeBox& box = machine().boxes.back();
    FUZZ_CHECK(box.text == "DirectX : Display devices could not be enumerated." && box.caption == "Setup error" &&
               box.type == 0 && machine().end_code == 0 && machine().ends == 1 && texts(IDC_SPEAKERS).size() == 5);
}

void act() {
    FakeMachine& m = machine();
    const Bytes before = settings_bytes();
    const std::string screen = shown();
    const Bytes stored = m.value && m.value->size() == SETTINGS_SIZE ? *m.value : DEFAULTS;
    const std::optional<Bytes> value = m.value;
    const size_t boxes = m.boxes.size();
    switch (input.below(7)) {
        case 0: {  // a click on a check box or button of the shared group
            const int32_t id = input.pick(SHARED);
            if (!click(id)) break;
            FUZZ_CHECK(settings.option_1011 == 0 && settings.option_1028 == 0 && settings.speaker_config <= 4);
            for (const Box& b : BOXES)  // every box of the group read as exactly 0 or 1
                FUZZ_CHECK(b.id == IDC_VOICE_CHAT || b.offset == 27 || b.offset == 28 ||
                           settings_bytes()[b.offset] == ((control(b.id)->check == BST_CHECKED) != b.inverted));
            break;
        }
        case 1: {  // a choice from an open list
            const int32_t id = input.pick(LISTS);
            const auto n = static_cast<uint32_t>(control(id)->items.size());
            if (n == 0 || !choose(id, static_cast<int32_t>(input.below(n)))) break;
            const intptr_t data = selected_data(id);
            if (id == IDC_REFRESH) FUZZ_CHECK(settings.refresh_rate == data);
            if (id == IDC_BIT_DEPTH) FUZZ_CHECK(settings.bit_depth == data);
            if (id == IDC_ANTIALIAS) FUZZ_CHECK(settings.antialiasing == data);
            if (id == IDC_ADAPTER) FUZZ_CHECK(settings.adapter == data);
            break;
        }
        case 2: {  // texture pair
            const bool true_color = input.byte() & 1;
            if (!click(true_color ? IDC_TEX_TRUE_COLOR : IDC_TEX_COMPRESSED)) break;
            FUZZ_CHECK(!(settings.compressed_textures && settings.true_color_textures));
            Bytes expected = before;
            expected[true_color ? 28 : 27] ^= 1;
            expected[true_color ? 27 : 28] = 0;
            if (before[true_color ? 28 : 27] > 1) expected[true_color ? 28 : 27] = 0;
            FUZZ_CHECK(settings_bytes() == expected);
            break;
        }
        case 3: {  // typing in the speaker box selects nothing
            control(IDC_SPEAKERS)->selection = -1;
            command(IDC_SPEAKERS, 5);
            FUZZ_CHECK(settings.speaker_config == (before[33] <= 4 ? before[33] : 4));
            break;
        }
        case 4: {  // Autodetect, now and then with the display gone meanwhile
            const int32_t memory = video_memory_mb;
            const bool listed_1280 = listed(1280, 960);
            m.d3d_fails = input.below(8) == 0;
            click(IDC_AUTODETECT);
            FUZZ_CHECK(m.ended == m.d3d_fails && m.value == value);
            if (m.ended) check_fatal();
            if (d3d) check_profile(memory, listed_1280, before);
            break;
        }
        case 5: {  // Save and exit, or Exit with an answer
            if (input.byte() & 1) {
                m.fail_set = input.below(4) == 0;
                command(IDOK, 0);
                FUZZ_CHECK(settings_bytes() == before);
                if (!m.fail_set) FUZZ_CHECK(m.ended && m.end_code == 0 && m.value == before && m.value_type == 3);
                if (m.fail_set)
                    FUZZ_CHECK(!m.ended && m.boxes.back().text == "The settings could not be saved." &&
                               m.boxes.back().caption == "Setup error" && m.boxes.back().type == 0);
                break;
            }
            const int32_t answer = input.byte() & 1 ? IDYES : IDNO;
            m.answers = {answer};
            command(IDCANCEL, 0);
            const bool asked = m.boxes.size() > boxes;
            FUZZ_CHECK(asked == (before != stored) && m.value == value);
            FUZZ_CHECK(m.ended == (!asked || answer == IDYES) && (!m.ended || m.end_code == -1));
            if (!m.ended) FUZZ_CHECK(settings_bytes() == before && shown() == screen);
            m.answers.clear();
            break;
        }
        default: {  // anything else a dialog may be sent
            const int32_t id = input.byte() & 1 ? input.pick(LISTS) : input.pick(OTHER_IDS);
            const uint32_t code = input.pick({0u, 1u, 3u, 4u, 5u, 7u, 8u, 0x300u});
            if (id == IDOK || id == IDCANCEL || id == IDC_SPEAKERS) break;
            command(id, code);
            if (id == IDC_VOICE_CHAT) break;  // the voice answers' own table is a unit test
            const bool list_choice = (id == IDC_ADAPTER || id == IDC_RESOLUTION || id == IDC_REFRESH ||
                                      id == IDC_BIT_DEPTH || id == IDC_ANTIALIAS) && code == CBN_SELCHANGE;
            const bool acts = list_choice || id == IDC_AUTODETECT || id == IDC_EXPERT_TOGGLE ||
                              id == IDC_TEX_COMPRESSED || id == IDC_TEX_TRUE_COLOR;
            if (!acts) FUZZ_CHECK(settings_bytes() == before && shown() == screen);
            if (list_choice && id != IDC_ADAPTER) FUZZ_CHECK(settings.adapter == before[1]);
            break;
        }
    }
}

intptr_t run_dialog() {
    FakeMachine& m = machine();
    const bool stored = m.value && m.value->size() == SETTINGS_SIZE;
    FUZZ_CHECK(settings_loaded == stored);
    const Bytes before = settings_bytes();
    init_dialog();
    FUZZ_CHECK(com == 1 && controls_ready && m.ended == (d3d == nullptr));
    if (m.ended) return check_fatal(), 0;
    if (!stored) check_profile(video_memory_mb, false, before);
    // A stored record stands, but for what the lists bring in line.
    Bytes now = settings_bytes();
    if (stored) {
        for (size_t i : {1, 10, 11, 12, 13, 14, 15, 16, 17, 19}) now[i] = before[i];
        FUZZ_CHECK(now == before);
    }
    check_consistent();
    for (int steps = 0; steps < 256 && !input.empty() && !m.ended; ++steps) {
        act();
        if (!m.ended) check_consistent();
    }
    return 0;
}

int allocated, allocations, failing_allocation;
const ProgramHost HOST = {.allocate = [](size_t n) -> void* {
                              return ++allocations == failing_allocation ? nullptr : (++allocated, std::malloc(n));
                          },
                          .release_memory = [](void* p) { --allocated, std::free(p); },
                          .com_initialize = [] { ++com; },
                          .init_common_controls = [] { controls_ready = true; },
                          .run_dialog = run_dialog,
                          .com_uninitialize = [] { --com; }};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    input = Input(data, size);
    Input& in = input;
    FakeMachine& m = reset_fakes();
    const uint8_t flags = in.byte();
    if (flags & 1) {
        m.key_exists = true;
        m.value = Bytes(flags & 2 ? SETTINGS_SIZE : in.below(40));
        for (uint8_t& b : *m.value) b = in.byte();
    }
    m.d3d_fails = flags & 4;
    m.ddraw_create_fails = flags & 8;
    m.ddraw_query_fails = flags & 16;
    // Around every tier's bounds, or anything.
    m.vram_bytes = in.pick({0u, 1u << 20, 8u << 20, 9u << 20, 16u << 20, 17u << 20, 32u << 20, 33u << 20, 64u << 20,
                            65u << 20, 0xFFFFFFFFu, in.u32()});
    m.voice_create = in.pick(VOICE_CODES), m.voice_query = in.pick(VOICE_CODES), m.voice_wizard = in.pick(VOICE_CODES);
    m.adapters.resize(in.below(4));
    for (FakeAdapter& a : m.adapters) {
        a.identifier_fails = in.below(8) == 0;
        const uint32_t modes = in.below(20);
        const bool many = modes == 19;  // past the table's 256 entries
        for (uint32_t i = 0; i < (many ? 300 : modes); ++i) {
            constexpr uint32_t WIDTHS[] = {640, 800, 1024, 1280, 1600, 320, 1366, 3997, 4003, 0};
            constexpr uint32_t HEIGHTS[] = {480, 600, 768, 960, 1200, 1024, 240, 3000, 0, 720};
            const uint32_t w = many ? 640 + 4 * i : in.pick(WIDTHS), h = many ? 480 + 3 * i : in.pick(HEIGHTS);
            a.modes.push_back(mode(w, h, in.pick({20u, 21u, 22u, 23u, 24u, 25u}), in.pick({0u, 60u, 75u, 85u, 360u})));
        }
        for (uint32_t format = 21; format <= 24; ++format) a.multisample[format] = in.byte();
    }
    m.key_exists |= in.below(2) == 0;
    allocations = 0, failing_allocation = static_cast<int>(in.below(16));  // 1 or 2: a scratch buffer fails
    com = 0, controls_ready = false;
    const bool ran = failing_allocation != 1 && failing_allocation != 2;
    FUZZ_CHECK(setup_main(&HOST) == (ran ? 0 : -1) && ran == !control(IDC_SPEAKERS)->items.empty() && com == 0);
    FUZZ_CHECK(m.d3d_alive == 0 && m.ddraw_alive == 0 && m.voice_alive == 0 && m.keys_open == 0 && allocated == 0);
    return 0;
}

#include "fuzz_support.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "app/entry.h"
#include "app/state.h"
#include "dialog/voice_check.h"
#include "platform/winapi_values.h"
#include "probe/mode_table.h"
#include "res/dialog_template.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "settings/store.h"

void fuzz_fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", what, file, line);
    std::abort();
}

namespace {

// ---------------------------------------------------------------- machines
// Sizes around the edges of the 4:3 filter and the table.
constexpr DisplayMode kSizes[] = {
    {640, 480, 0, 0},   {800, 600, 0, 0},    {1024, 768, 0, 0},  {1152, 864, 0, 0},   {1280, 960, 0, 0},
    {1600, 1200, 0, 0}, {1280, 1024, 0, 0},  {1280, 720, 0, 0},  {1333, 1000, 0, 0},  {1332, 1000, 0, 0},
    {1366, 1024, 0, 0}, {320, 240, 0, 0},    {512, 384, 0, 0},   {640, 0, 0, 0},      {0, 0, 0, 0},
    {4096, 3072, 0, 0}, {65532, 49149, 0, 0}, {0xFFFFFFFCu, 0xBFFFFFFDu, 0, 0}, {639, 479, 0, 0}, {800, 601, 0, 0},
};
constexpr uint32_t kFormats[] = {FORMAT_A8R8G8B8, FORMAT_X8R8G8B8, FORMAT_R5G6B5, FORMAT_X1R5G5B5, 20, 25, 0, 0xFFFFFFFFu};
constexpr uint32_t kRates[] = {0, 60, 70, 72, 75, 85, 100, 120, 360, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
constexpr uint32_t kVideoBytes[] = {0,         1u << 19,  1u << 20,  8u << 20,   16u << 20,  30u << 20,   32u << 20,
                                    63u << 20, 64u << 20, 65u << 20, 128u << 20, 256u << 20, 0xFFFFFFFFu, 0x7FFFFFFFu};
constexpr long kVoiceResults[] = {0, 1, -1, DVERR_RUNSETUP, DVERR_USERCANCEL, DVERR_ALREADYPENDING,
                                  static_cast<long>(static_cast<int32_t>(0x80004005u))};

template <typename T, size_t N>
const T& pick(FuzzedDataProvider& in, const T (&values)[N]) {
    return values[in.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

DisplayMode decode_mode(FuzzedDataProvider& in, bool raw) {
    if (raw && in.ConsumeIntegralInRange<int>(0, 7) == 0) {
        DisplayMode m{};
        m.Width = in.ConsumeIntegral<uint32_t>();
        m.Height = in.ConsumeIntegral<uint32_t>();
        m.RefreshRate = in.ConsumeIntegral<uint32_t>();
        m.Format = in.ConsumeIntegral<uint32_t>();
        return m;
    }
    DisplayMode m = pick(in, kSizes);
    m.Format = pick(in, kFormats);
    m.RefreshRate = pick(in, kRates);
    return m;
}

}  // namespace

void decode_machine(FuzzedDataProvider& in, const MachineLimits& limits) {
    FakeMachine& m = fake_machine();

    m.d3d.create_fails = in.ConsumeIntegralInRange<int>(0, 31) == 0;

    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: m.ddraw.create_fails = true; break;
        case 1: m.ddraw.query_fails = true; break;
        case 2: m.ddraw.total_bytes = in.ConsumeIntegral<uint32_t>(); break;
        default: m.ddraw.total_bytes = pick(in, kVideoBytes); break;
    }

    const int adapters = in.ConsumeIntegralInRange<int>(0, limits.max_adapters);
    for (int a = 0; a < adapters; ++a) {
        FakeAdapter adapter;
        adapter.identifier_fails = in.ConsumeIntegralInRange<int>(0, 7) == 0;
        adapter.driver_version = in.ConsumeIntegral<uint64_t>();
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
            case 0: adapter.description = in.ConsumeRandomLengthString(48); break;
            case 1: adapter.description = std::string(in.ConsumeIntegralInRange<size_t>(500, 700), 'W'); break;
            case 2: adapter.description.clear(); break;
            default: adapter.description = "Adapter " + std::to_string(a); break;
        }

        const int singles = in.ConsumeIntegralInRange<int>(0, limits.max_modes);
        for (int i = 0; i < singles; ++i) adapter.modes.push_back(decode_mode(in, limits.raw_values));

        // A run of distinct exact 4:3 sizes, to fill and overflow the table.
        int ramp = 0;
        switch (in.ConsumeIntegralInRange<int>(0, 3)) {
            case 2: ramp = in.ConsumeIntegralInRange<int>(0, limits.max_ramp < 16 ? limits.max_ramp : 16); break;
            case 3: ramp = in.ConsumeIntegralInRange<int>(limits.max_ramp * 3 / 4, limits.max_ramp); break;
            default: break;
        }
        if (ramp > 0) {
            const uint32_t first = in.ConsumeIntegralInRange<uint32_t>(0, 64);
            const bool in_front = in.ConsumeBool();
            const uint32_t formats = in.ConsumeIntegralInRange<uint32_t>(1, 2);
            std::vector<DisplayMode> run;
            for (int j = 0; j < ramp; ++j) {
                const uint32_t w = 640 + 4 * (first + static_cast<uint32_t>(j));
                for (uint32_t f = 0; f < formats; ++f)
                    run.push_back(DisplayMode{w, w / 4 * 3, 60, f == 0 ? FORMAT_R5G6B5 : FORMAT_X8R8G8B8});
            }
            adapter.modes.insert(in_front ? adapter.modes.begin() : adapter.modes.end(), run.begin(), run.end());
        }

        const int failing = in.ConsumeIntegralInRange<int>(0, 3);
        for (int i = 0; i < failing && !adapter.modes.empty(); ++i)
            adapter.failing_modes.push_back(
                in.ConsumeIntegralInRange<uint32_t>(0, static_cast<uint32_t>(adapter.modes.size() - 1)));

        if (in.ConsumeBool()) {
            adapter.multisample_all = true;
        } else {
            const int answers = in.ConsumeIntegralInRange<int>(0, 8);
            for (int i = 0; i < answers; ++i)
                adapter.multisample[{pick(in, kFormats), in.ConsumeIntegralInRange<int32_t>(0, 1),
                                     in.ConsumeBool() ? 2u : 4u}] = true;
        }
        m.d3d.adapters.push_back(std::move(adapter));
    }

    m.voice.create_result = pick(in, kVoiceResults);
    m.voice.query_result = pick(in, kVoiceResults);
    m.voice.wizard_result = pick(in, kVoiceResults);
}

void decode_stored_record(FuzzedDataProvider& in) {
    FakeMachine& m = fake_machine();
    m.registry.fail_open = in.ConsumeIntegralInRange<int>(0, 15) == 0;
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: return;  // first start: no key
        case 1: m.registry.keys[SETTINGS_SUBKEY]; return;  // key without the value
        case 2: {
            const size_t n = in.ConsumeIntegralInRange<size_t>(0, 80);
            store_bytes(in.ConsumeBytes<uint8_t>(n), in.ConsumeIntegral<uint32_t>());
            return;
        }
        default: break;
    }
    // A 35-byte record: the defaults with fields the dialog could have
    // written, and now and then bytes it never would.
    SetupSettings r = default_settings();
    constexpr int32_t kWidths[] = {640, 800, 1024, 1280, 1600, 1280, 0, -1};
    constexpr int32_t kHeights[] = {480, 600, 768, 960, 1200, 1024, 0, -1};
    const size_t size_index = in.ConsumeIntegralInRange<size_t>(0, 7);
    r.width = kWidths[size_index];
    r.height = kHeights[in.ConsumeBool() ? size_index : in.ConsumeIntegralInRange<size_t>(0, 7)];
    constexpr int32_t kDepths[] = {16, 32, 24, 0};
    r.bit_depth = pick(in, kDepths);
    r.refresh_rate = static_cast<int32_t>(pick(in, kRates));
    constexpr uint8_t kAdapters[] = {0, 1, 2, 3, 127, 128, 200, 255};
    r.adapter = pick(in, kAdapters);
    constexpr uint8_t kSamples[] = {0, 2, 4, 3};
    r.antialiasing = pick(in, kSamples);
    uint8_t* bytes = raw_bytes(&r);
    for (size_t offset = 19; offset <= 34; ++offset) {
        if (offset == 33) continue;
        const int v = in.ConsumeIntegralInRange<int>(0, 7);
        bytes[offset] = static_cast<uint8_t>(v < 4 ? 0 : (v < 7 ? 1 : 2));
    }
    r.speaker_config = static_cast<uint8_t>(in.ConsumeIntegralInRange<int>(0, 6));
    const int raw = in.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < raw; ++i)
        bytes[in.ConsumeIntegralInRange<size_t>(0, SETTINGS_SIZE - 1)] = in.ConsumeIntegral<uint8_t>();
    store_bytes(std::vector<uint8_t>(bytes, bytes + SETTINGS_SIZE), REG_TYPE_BINARY);
}

// ---------------------------------------------------------------- program
namespace {

void (*current_dialog)(void*) = nullptr;
void* current_context = nullptr;
int blocks_allocated = 0;
int blocks_freed = 0;
int com_depth = 0;

int allocation_to_fail = 0;
int allocation_attempts = 0;
int dialogs_run = 0;

void* host_allocate(size_t size) {
    if (++allocation_attempts == allocation_to_fail) return nullptr;
    ++blocks_allocated;
    return std::malloc(size);
}
void host_release(void* block) {
    ++blocks_freed;
    std::free(block);
}
void host_com_initialize() { ++com_depth; }
void host_init_common_controls() {}
intptr_t host_run_dialog() {
    FUZZ_CHECK(text_buffer != nullptr && caption_buffer != nullptr);
    FUZZ_CHECK(com_depth == 1);
    ++dialogs_run;
    current_dialog(current_context);
    return fake_machine().dialog.end_result;
}
void host_com_uninitialize() { --com_depth; }

const ProgramHost fuzz_host = {host_allocate,   host_release,          host_com_initialize,
                               host_init_common_controls, host_run_dialog, host_com_uninitialize};

}  // namespace

int run_program(void (*dialog)(void*), void* context, int failing_allocation) {
    current_dialog = dialog;
    current_context = context;
    blocks_allocated = blocks_freed = com_depth = 0;
    allocation_to_fail = failing_allocation;
    allocation_attempts = dialogs_run = 0;
    const FakeMachine& m = fake_machine();
    const int opens_before = m.registry.opens;
    // As a fresh process has them: the entry allocates its own.
    text_buffer = caption_buffer = nullptr;
    const int code = setup_main(&fuzz_host);
    current_dialog = nullptr;
    current_context = nullptr;
    if (failing_allocation == 1 || failing_allocation == 2) {
        // No buffer, no program: nothing else is touched.
        FUZZ_CHECK(code == -1);
        FUZZ_CHECK(dialogs_run == 0);
        FUZZ_CHECK(m.registry.opens == opens_before);
        FUZZ_CHECK(m.d3d.created == 0);
    } else {
        FUZZ_CHECK(code == 0);
        FUZZ_CHECK(dialogs_run == 1);
    }
    FUZZ_CHECK(blocks_allocated == blocks_freed);
    FUZZ_CHECK(com_depth == 0);
    FUZZ_CHECK(text_buffer == nullptr && caption_buffer == nullptr);
    FUZZ_CHECK(d3d == nullptr);
    FUZZ_CHECK(m.d3d.alive() == 0);
    FUZZ_CHECK(m.ddraw.alive() == 0);
    FUZZ_CHECK(m.voice.alive() == 0);
    FUZZ_CHECK(m.registry.open_handles == 0);
    return code;
}

// ---------------------------------------------------------------- invariants
namespace {

struct BoundBox {
    uint8_t SetupSettings::*field;
    int32_t id;
    bool inverted;
};
constexpr BoundBox kBoxes[] = {
    {&SetupSettings::fullscreen, IDC_FULLSCREEN, false},
    {&SetupSettings::triple_buffering, IDC_TRIPLE_BUFFER, false},
    {&SetupSettings::hardware_tnl, IDC_HW_TNL, false},
    {&SetupSettings::low_detail_textures, IDC_TEX_LOW_DETAIL, false},
    {&SetupSettings::vsync, IDC_VSYNC, false},
    {&SetupSettings::sound_disabled, IDC_SOUND, true},
    {&SetupSettings::software_mixing_only, IDC_SOFTWARE_MIXING, false},
    {&SetupSettings::disable_eax, IDC_DISABLE_EAX, false},
    {&SetupSettings::suspend_when_inactive, IDC_SUSPEND_INACTIVE, false},
    {&SetupSettings::multipass_rendering, IDC_MULTIPASS, false},
    {&SetupSettings::true_color_textures, IDC_TEX_TRUE_COLOR, false},
    {&SetupSettings::compressed_textures, IDC_TEX_COMPRESSED, false},
    {&SetupSettings::voice_chat, IDC_VOICE_CHAT, false},
};

__attribute__((format(printf, 1, 2))) std::string format_text(const char* format, ...) {
    char text[64];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

const ModeEntry* entry_of(intptr_t data) {
    const auto first = reinterpret_cast<uintptr_t>(&mode_table[0]);
    const auto address = static_cast<uintptr_t>(data);
    if (address < first || address >= first + sizeof mode_table) return nullptr;
    if ((address - first) % sizeof(ModeEntry) != 0) return nullptr;
    return &mode_table[(address - first) / sizeof(ModeEntry)];
}

void check_adapter_list() {
    const FakeControl* list = fake_control(IDC_ADAPTER);
    const auto& adapters = fake_machine().d3d.adapters;
    intptr_t previous = -1;
    for (const FakeItem& item : list->items) {
        FUZZ_CHECK(item.data > previous);
        FUZZ_CHECK(item.data < static_cast<intptr_t>(adapters.size()));
        const FakeAdapter& a = adapters[static_cast<size_t>(item.data)];
        FUZZ_CHECK(!a.identifier_fails);
        // The identifier carries a NUL-terminated text of at most 511 characters.
        const std::string shown = a.description.substr(0, a.description.find('\0'));
        FUZZ_CHECK(item.text == shown.substr(0, sizeof(AdapterIdentifier::Description) - 1));
        previous = item.data;
    }
    FUZZ_CHECK(list->items.empty() || list->selection >= 0);
    const auto adapter = static_cast<int8_t>(settings.adapter);
    if (adapters.empty())
        FUZZ_CHECK(adapter == 0);
    else
        FUZZ_CHECK(adapter >= 0 && adapter < static_cast<int>(adapters.size()));
}

void check_resolution_list() {
    const FakeControl* list = fake_control(IDC_RESOLUTION);
    const size_t count = list->items.size();
    FUZZ_CHECK(count <= static_cast<size_t>(MODE_TABLE_SIZE));
    std::vector<bool> seen(count, false);
    bool record_size_listed = false;
    for (size_t i = 0; i < count; ++i) {
        const FakeItem& item = list->items[i];
        const ModeEntry* e = entry_of(item.data);
        FUZZ_CHECK(e != nullptr);
        const auto index = static_cast<size_t>(e - mode_table);
        FUZZ_CHECK(index < count);  // within the table's count: one item per entry
        FUZZ_CHECK(!seen[index]);
        seen[index] = true;
        FUZZ_CHECK((e->caps & (CAPS_16BIT | CAPS_32BIT)) != 0);
        FUZZ_CHECK(e->width >= 640 && e->height != 0);
        FUZZ_CHECK(item.text == format_text("%4d x %4d", static_cast<int32_t>(e->width),
                                            static_cast<int32_t>(e->height)) ||
                   item.text == format_text("%4u x %4u", e->width, e->height));
        if (static_cast<int32_t>(e->width) == settings.width && static_cast<int32_t>(e->height) == settings.height)
            record_size_listed = true;
    }
    std::vector<uint64_t> sizes;
    for (size_t i = 0; i < count; ++i) sizes.push_back((uint64_t{mode_table[i].width} << 32) | mode_table[i].height);
    std::sort(sizes.begin(), sizes.end());
    FUZZ_CHECK(std::adjacent_find(sizes.begin(), sizes.end()) == sizes.end());  // no size twice
    if (list->selection >= 0) {
        FUZZ_CHECK(static_cast<size_t>(list->selection) < count);
        const ModeEntry* e = entry_of(list->items[static_cast<size_t>(list->selection)].data);
        FUZZ_CHECK(static_cast<int32_t>(e->width) == settings.width);
        FUZZ_CHECK(static_cast<int32_t>(e->height) == settings.height);
    } else {
        FUZZ_CHECK(!record_size_listed);
    }
}

void check_option_lists() {
    const FakeControl* refresh = fake_control(IDC_REFRESH);
    if (!refresh->items.empty()) {
        FUZZ_CHECK(refresh->items[0].data == 0);
        for (size_t i = 1; i < refresh->items.size(); ++i) {
            const auto rate = static_cast<uint32_t>(refresh->items[i].data);
            FUZZ_CHECK(rate != 0);
            FUZZ_CHECK(refresh->items[i].text == format_text("%d Hz", static_cast<int32_t>(rate)) ||
                       refresh->items[i].text == format_text("%u Hz", rate));
        }
    }
    if (refresh->selection >= 0) {
        FUZZ_CHECK(static_cast<size_t>(refresh->selection) < refresh->items.size());
        FUZZ_CHECK(static_cast<uint32_t>(refresh->items[static_cast<size_t>(refresh->selection)].data) ==
                   static_cast<uint32_t>(static_cast<int32_t>(settings.refresh_rate)));
    }

    const FakeControl* depth = fake_control(IDC_BIT_DEPTH);
    FUZZ_CHECK(depth->items.size() <= 2);
    for (size_t i = 0; i < depth->items.size(); ++i) {
        const FakeItem& item = depth->items[i];
        FUZZ_CHECK((item.text == "16" && item.data == 16 && i == 0) || (item.text == "32" && item.data == 32));
    }
    if (depth->selection >= 0) {
        FUZZ_CHECK(static_cast<size_t>(depth->selection) < depth->items.size());
        const int32_t bit_depth = settings.bit_depth;
        if (bit_depth == 16 || bit_depth == 32)
            FUZZ_CHECK(depth->items[static_cast<size_t>(depth->selection)].data == bit_depth);
    }

    const FakeControl* aa = fake_control(IDC_ANTIALIAS);
    FUZZ_CHECK(aa->items.size() <= 3);
    for (size_t i = 0; i < aa->items.size(); ++i) {
        const FakeItem& item = aa->items[i];
        if (i == 0)
            FUZZ_CHECK(item.text == " OFF" && item.data == 0);
        else
            FUZZ_CHECK((item.text == " 2x" && item.data == 2 && i == 1) || (item.text == " 4x" && item.data == 4));
    }
    if (aa->selection >= 0) {
        FUZZ_CHECK(static_cast<size_t>(aa->selection) < aa->items.size());
        const intptr_t data = aa->items[static_cast<size_t>(aa->selection)].data;
        FUZZ_CHECK(data == 0 || data == settings.antialiasing);
    } else {
        // " OFF" is selected whenever antialiasing is off and the lists were built from an entry.
        FUZZ_CHECK(depth->items.empty() || settings.antialiasing != 0);
    }

    const FakeControl* speakers = fake_control(IDC_SPEAKERS);
    FUZZ_CHECK(speakers->items.size() == 5);
    if (speakers->selection >= 0) FUZZ_CHECK(speakers->selection == settings.speaker_config);
}

void check_controls() {
    for (const BoundBox& box : kBoxes) {
        const FakeControl* c = fake_control(box.id);
        const bool on = (settings.*box.field) != 0;
        FUZZ_CHECK((c->check == BST_CHECKED) == (box.inverted ? !on : on));
    }
    const bool fullscreen = settings.fullscreen != 0;
    const bool sound = settings.sound_disabled == 0;
    for (const FakeControl& c : fake_machine().dialog.controls) {
        bool expected = (c.style & 0x08000000u) == 0;  // as the template made it
        switch (c.id) {
            case IDC_TRIPLE_BUFFER:
            case IDC_VSYNC:
            case IDC_REFRESH:
            case IDC_BIT_DEPTH: expected = fullscreen; break;
            case IDC_SPEAKERS:
            case IDC_SOFTWARE_MIXING:
            case IDC_DISABLE_EAX: expected = sound; break;
            default: break;
        }
        FUZZ_CHECK(c.enabled == expected);
    }

    const std::string& version = fake_control(IDC_DRIVER_VERSION)->text;
    FUZZ_CHECK(version.empty() || version.rfind("Driver version: ", 0) == 0);
    FUZZ_CHECK(fake_control(IDC_VRAM)->text == format_text("VRAM: %dMB", video_memory_mb));
    FUZZ_CHECK(video_memory_mb == 0 || (video_memory_mb >= 1 && video_memory_mb <= 4096 &&
                                        (video_memory_mb & (video_memory_mb - 1)) == 0));
}

}  // namespace

void check_no_transient_objects() {
    const FakeMachine& m = fake_machine();
    FUZZ_CHECK(m.ddraw.alive() == 0);
    FUZZ_CHECK(m.voice.alive() == 0);
    FUZZ_CHECK(m.registry.open_handles == 0);
    FUZZ_CHECK(m.d3d.alive() == (d3d != nullptr ? 1 : 0));
}

void check_open_dialog(SessionState& session) {
    check_no_transient_objects();
    if (session.tag < 0) session.tag = settings.tag;
    FUZZ_CHECK(settings.tag == session.tag);
    FUZZ_CHECK(!(settings.hardware_tnl != 0 && settings.multipass_rendering != 0));
    if (session.texture_pair_clean)
        FUZZ_CHECK(!(settings.compressed_textures != 0 && settings.true_color_textures != 0));
    if (session.shared_handler_ran) FUZZ_CHECK(settings.speaker_config <= 4);
    check_controls();
    check_adapter_list();
    check_resolution_list();
    check_option_lists();
}

std::vector<uint8_t> expected_stored_copy() {
    std::vector<uint8_t> stored = stored_bytes();
    if (fake_machine().registry.fail_open || stored.size() != SETTINGS_SIZE) {
        const SetupSettings defaults = default_settings();
        const uint8_t* p = raw_bytes(&defaults);
        stored.assign(p, p + SETTINGS_SIZE);
    }
    return stored;
}

// ---------------------------------------------------------------- player
namespace {

bool same_controls(const std::vector<FakeControl>& a, const std::vector<FakeControl>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const FakeControl& x = a[i];
        const FakeControl& y = b[i];
        if (x.enabled != y.enabled || x.text != y.text || x.check != y.check || x.selection != y.selection ||
            x.items.size() != y.items.size())
            return false;
        for (size_t j = 0; j < x.items.size(); ++j)
            if (x.items[j].text != y.items[j].text || x.items[j].data != y.items[j].data) return false;
    }
    return true;
}

bool is_shared_option(int32_t id) {
    switch (id) {
        case IDC_SPEAKERS:
        case IDC_FULLSCREEN:
        case IDC_TRIPLE_BUFFER:
        case IDC_SOUND:
        case IDC_TEX_LOW_DETAIL:
        case IDC_VSYNC:
        case IDC_OPTION_1011:
        case IDC_SUSPEND_INACTIVE:
        case IDC_HW_TNL:
        case IDC_DISABLE_EAX:
        case IDC_SOFTWARE_MIXING:
        case IDC_OPTION_1028:
        case IDC_MULTIPASS: return true;
        default: return false;
    }
}

int32_t pick_control_id(FuzzedDataProvider& in) {
    const size_t n = std::size(template_controls);
    const size_t i = in.ConsumeIntegralInRange<size_t>(0, n + 3);
    if (i < n) return template_controls[i].id;
    if (i == n) return IDC_OPTION_1011;
    if (i == n + 1) return IDC_OPTION_1028;
    if (i == n + 2) return in.ConsumeIntegralInRange<int32_t>(0, 0xFFFF);  // anything at all
    return in.ConsumeIntegralInRange<int32_t>(1040, 1100);                // just past the template
}

// Whether a command of this id and notification code does anything at all.
bool has_effect(int32_t id, uint32_t code) {
    switch (id) {
        case IDC_RESOLUTION:
        case IDC_REFRESH:
        case IDC_BIT_DEPTH:
        case IDC_ADAPTER:
        case IDC_ANTIALIAS: return code == CBN_SELCHANGE;
        case IDOK:
        case IDCANCEL:
        case IDC_TEX_COMPRESSED:
        case IDC_TEX_TRUE_COLOR:
        case IDC_AUTODETECT:
        case IDC_EXPERT_TOGGLE:
        case IDC_VOICE_CHAT: return true;
        default: return is_shared_option(id);
    }
}

enum class Way { none, saved, exited, fatal };

// Save and exit: the record is stored exactly, or, when the store fails,
// nothing is stored and the record stays as it was.
Way save_and_exit(uint32_t code) {
    FakeMachine& m = fake_machine();
    const std::vector<uint8_t> before_stored = stored_bytes();
    const std::vector<uint8_t> before_record = settings_bytes();
    const bool store_works = !m.registry.fail_create && !m.registry.fail_set;
    fake_command(IDOK, code);
    if (store_works) {
        FUZZ_CHECK(m.dialog.ended && m.dialog.end_result == 0);
        FUZZ_CHECK(stored_bytes() == settings_bytes());
        FUZZ_CHECK(settings_bytes() == before_record);
    } else {
        FUZZ_CHECK(stored_bytes() == before_stored);
        FUZZ_CHECK(settings_bytes() == before_record);
    }
    return m.dialog.ended ? Way::saved : Way::none;
}

// Exit: a warning exactly when the record differs from the stored copy; No
// leaves everything as it was; nothing is ever stored.
Way exit_dialog(uint32_t code, int32_t answer) {
    FakeMachine& m = fake_machine();
    const std::vector<uint8_t> before_stored = stored_bytes();
    const std::vector<uint8_t> before_record = settings_bytes();
    const std::vector<FakeControl> before_controls = m.dialog.controls;
    const bool unsaved = before_record != expected_stored_copy();
    const size_t boxes = m.dialog.boxes.size();
    m.dialog.box_answers.assign(1, answer);
    fake_command(IDCANCEL, code);
    m.dialog.box_answers.clear();
    FUZZ_CHECK(stored_bytes() == before_stored);
    if (!unsaved) {
        FUZZ_CHECK(m.dialog.boxes.size() == boxes);
        FUZZ_CHECK(m.dialog.ended && m.dialog.end_result == -1);
        return Way::exited;
    }
    FUZZ_CHECK(m.dialog.boxes.size() == boxes + 1);
    const FakeMessageBox& box = m.dialog.boxes.back();
    FUZZ_CHECK(box.text == "Discard changes ?!" && box.caption == "WARNING..." && box.type == 0x34);
    if (answer == IDNO) {
        FUZZ_CHECK(!m.dialog.ended);
        FUZZ_CHECK(settings_bytes() == before_record);
        FUZZ_CHECK(same_controls(m.dialog.controls, before_controls));
        return Way::none;
    }
    FUZZ_CHECK(m.dialog.ended && m.dialog.end_result == -1);
    return Way::exited;
}

// A fatal setup error ends the dialog with its box and stores nothing.
void check_fatal_end(size_t boxes_before, const std::vector<uint8_t>& stored_before) {
    FakeMachine& m = fake_machine();
    FUZZ_CHECK(m.dialog.ended && m.dialog.end_result == 0);
    FUZZ_CHECK(m.dialog.boxes.size() > boxes_before);
    FUZZ_CHECK(m.dialog.boxes.back().caption == "Setup error");
    FUZZ_CHECK(m.dialog.boxes.back().text == "DirectX : Display devices could not be enumerated.");
    FUZZ_CHECK(stored_bytes() == stored_before);
}

}  // namespace

bool play_one_action(FuzzedDataProvider& in, SessionState& session) {
    FakeMachine& m = fake_machine();
    const size_t boxes_before = m.dialog.boxes.size();
    const std::vector<uint8_t> stored_before = stored_bytes();
    const std::vector<uint8_t> record_before = settings_bytes();
    const std::vector<FakeControl> controls_before = m.dialog.controls;
    const HostRect rect_before = m.dialog.rect;
    int32_t sender = 0;
    uint32_t code = 0;
    bool delivered = false;

    switch (in.ConsumeIntegralInRange<int>(0, 15)) {
        case 0:
        case 1:
        case 2:
        case 3: {  // a click, as the player makes it
            sender = pick_control_id(in);
            if (sender == IDOK || sender == IDCANCEL) sender = IDC_HW_TNL;
            delivered = fake_click(sender);
            break;
        }
        case 4:
        case 5:
        case 6: {  // a choice in one of the lists
            constexpr int32_t kLists[] = {IDC_ADAPTER, IDC_RESOLUTION, IDC_REFRESH,
                                          IDC_BIT_DEPTH, IDC_ANTIALIAS, IDC_SPEAKERS};
            sender = pick(in, kLists);
            const auto count = static_cast<int32_t>(fake_control(sender)->items.size());
            if (count > 0) delivered = fake_choose(sender, in.ConsumeIntegralInRange<int32_t>(0, count - 1));
            code = CBN_SELCHANGE;
            break;
        }
        case 7:
        case 8: {  // any command with any notification code, from anywhere
            sender = pick_control_id(in);
            if (sender == IDOK || sender == IDCANCEL) sender = IDC_EXPERT_TOGGLE;
            code = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 10) : in.ConsumeIntegral<uint16_t>();
            fake_command(sender, code);
            delivered = true;
            break;
        }
        case 9: {  // typing into the speaker box deselects its entry
            FakeControl* speakers = fake_control(IDC_SPEAKERS);
            if (speakers->enabled) {
                speakers->selection = -1;
                sender = IDC_SPEAKERS;
                fake_command(IDC_SPEAKERS, 5);  // CBN_EDITCHANGE
                delivered = true;
            }
            break;
        }
        case 10: {
            if (save_and_exit(in.ConsumeBool() ? 0 : in.ConsumeIntegral<uint16_t>()) != Way::none) return false;
            break;
        }
        case 11: {
            constexpr int32_t kAnswers[] = {IDNO, IDYES, IDOK, IDCANCEL, 0};
            if (exit_dialog(in.ConsumeBool() ? 0 : in.ConsumeIntegral<uint16_t>(), pick(in, kAnswers)) != Way::none)
                return false;
            break;
        }
        case 12: {  // the store starts or stops failing
            m.registry.fail_create = in.ConsumeIntegralInRange<int>(0, 3) == 0;
            m.registry.fail_set = in.ConsumeIntegralInRange<int>(0, 3) == 0;
            break;
        }
        case 13: {  // the hardware changes under the dialog
            m.d3d.create_fails = in.ConsumeIntegralInRange<int>(0, 3) == 0;
            m.ddraw.create_fails = in.ConsumeIntegralInRange<int>(0, 7) == 0;
            m.ddraw.total_bytes = pick(in, kVideoBytes);
            m.voice.create_result = pick(in, kVoiceResults);
            m.voice.query_result = pick(in, kVoiceResults);
            m.voice.wizard_result = pick(in, kVoiceResults);
            break;
        }
        default: {
            sender = IDC_AUTODETECT;
            fake_command(IDC_AUTODETECT, in.ConsumeBool() ? 0 : in.ConsumeIntegral<uint16_t>());
            delivered = true;
            break;
        }
    }

    if (m.dialog.ended) {
        // The only other way out: Direct3D gone when the adapter list is rebuilt.
        FUZZ_CHECK(sender == IDC_AUTODETECT && m.d3d.create_fails);
        check_fatal_end(boxes_before, stored_before);
        return false;
    }
    FUZZ_CHECK(stored_bytes() == stored_before);
    if (delivered && !has_effect(sender, code)) {
        // Commands the dialog does not handle change nothing at all.
        FUZZ_CHECK(settings_bytes() == record_before);
        FUZZ_CHECK(same_controls(m.dialog.controls, controls_before));
        FUZZ_CHECK(m.dialog.boxes.size() == boxes_before);
        FUZZ_CHECK(m.dialog.rect.left == rect_before.left && m.dialog.rect.bottom == rect_before.bottom);
    }
    if (delivered && sender == IDC_AUTODETECT) {
        // The profile leaves these to the player.
        SetupSettings before{};
        std::memcpy(raw_bytes(&before), record_before.data(), SETTINGS_SIZE);
        FUZZ_CHECK(settings.adapter == before.adapter);
        FUZZ_CHECK(settings.speaker_config == before.speaker_config);
        FUZZ_CHECK(settings.voice_chat == before.voice_chat);
        session.texture_pair_clean = true;
    }
    if (delivered && is_shared_option(sender)) session.shared_handler_ran = true;
    if (delivered && (sender == IDC_TEX_COMPRESSED || sender == IDC_TEX_TRUE_COLOR)) session.texture_pair_clean = true;
    check_open_dialog(session);
    return true;
}

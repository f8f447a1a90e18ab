// Any stored value, of any type and length, through the store and a whole run
// of the program on a small fake machine. A value is accepted exactly when it
// is 35 bytes long, and then the record equals it until the dialog corrects
// what the hardware does not offer; nothing reads or writes past the record.
#include <cstdint>
#include <vector>

#include "app/state.h"
#include "fuzz_support.h"
#include "platform/winapi_values.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "settings/store.h"

namespace {

std::vector<uint8_t> value;
bool value_present = false;
uint8_t ending = 0;

void script_machine() {
    FakeMachine& m = fake_machine();
    FakeAdapter a;
    a.description = "Primary";
    a.driver_version = 0x0004000500070012ull;
    a.modes = {mode(640, 480, FORMAT_R5G6B5),    mode(640, 480, FORMAT_X8R8G8B8, 75),
               mode(800, 600, FORMAT_R5G6B5),    mode(1024, 768, FORMAT_X8R8G8B8, 60),
               mode(1024, 768, FORMAT_X8R8G8B8, 85), mode(1280, 960, FORMAT_A8R8G8B8),
               mode(1280, 1024, FORMAT_X8R8G8B8)};
    a.multisample[{FORMAT_R5G6B5, 1, 2}] = true;
    a.multisample[{FORMAT_X8R8G8B8, 0, 4}] = true;
    m.d3d.adapters.push_back(a);
    FakeAdapter b;
    b.description = "Secondary";
    b.modes = {mode(800, 600, FORMAT_X1R5G5B5, 60)};
    m.d3d.adapters.push_back(b);
    m.ddraw.total_bytes = 64u << 20;
}

void dialog(void*) {
    const FakeMachine& m = fake_machine();
    const bool accepted = value_present && !m.registry.fail_open && value.size() == SETTINGS_SIZE;
    FUZZ_CHECK(settings_loaded == accepted);
    const SetupSettings defaults = default_settings();
    const std::vector<uint8_t> default_bytes(raw_bytes(&defaults), raw_bytes(&defaults) + SETTINGS_SIZE);
    FUZZ_CHECK(settings_bytes() == (accepted ? value : default_bytes));

    SetupSettings copy{};
    read_stored_copy(&copy);
    FUZZ_CHECK(std::vector<uint8_t>(raw_bytes(&copy), raw_bytes(&copy) + SETTINGS_SIZE) ==
               (accepted ? value : default_bytes));
    check_no_transient_objects();

    fake_init_dialog();
    FUZZ_CHECK(!fake_machine().dialog.ended);
    SessionState session;
    session.texture_pair_clean = !(settings.compressed_textures != 0 && settings.true_color_textures != 0);
    check_open_dialog(session);

    switch (ending % 3) {
        case 0: {  // Save and exit stores the record as the dialog holds it
            const std::vector<uint8_t> record = settings_bytes();
            fake_command(IDOK, 0);
            FUZZ_CHECK(fake_machine().dialog.ended);
            FUZZ_CHECK(stored_bytes() == record);
            break;
        }
        case 1:  // a change to a check box, then Exit answered Yes
            fake_click(IDC_TEX_LOW_DETAIL);
            fake_command(IDCANCEL, 0);
            FUZZ_CHECK(fake_machine().dialog.ended);
            FUZZ_CHECK(stored_bytes() == (value_present ? value : std::vector<uint8_t>{}));
            break;
        default:  // Exit straight away, answered Yes if asked
            fake_command(IDCANCEL, 0);
            FUZZ_CHECK(fake_machine().dialog.ended);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    reset_fakes();
    script_machine();
    // Integers come from the end of the input, the value is the rest.
    const uint8_t flags = in.ConsumeIntegral<uint8_t>();
    const uint32_t type = in.ConsumeIntegral<uint32_t>();
    value = in.ConsumeRemainingBytes<uint8_t>();
    ending = static_cast<uint8_t>(flags >> 4);

    FakeMachine& m = fake_machine();
    value_present = (flags & 0x03) != 0x03;  // 3: first start, no key at all
    if (value_present) store_bytes(value, type);
    m.registry.fail_open = (flags & 0x0C) == 0x0C;

    run_program(dialog, nullptr);
    return 0;
}

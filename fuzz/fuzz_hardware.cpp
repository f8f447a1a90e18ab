// Whatever the display hardware answers: adapter counts, identifier failures,
// mode lists of any size, format, rate and shape, multisample answers, video
// memory figures. The dialog starts, the player picks adapters and sizes, and
// the mode table, the lists and the Direct3D object stay sound throughout.
#include <cstdint>

#include "app/state.h"
#include "fuzz_support.h"
#include "platform/winapi_values.h"
#include "probe/mode_table.h"
#include "res/resource.h"
#include "settings/settings.h"

namespace {

// Rebuilding the table straight away gives what the list shows: at most 256
// entries, four multisample probes per entry at most.
void check_table_rebuild() {
    FakeMachine& m = fake_machine();
    const int probes_before = m.d3d.multisample_calls;
    const int32_t count = build_mode_table();
    FUZZ_CHECK(count >= 0 && count <= MODE_TABLE_SIZE);
    FUZZ_CHECK(static_cast<size_t>(count) == fake_control(IDC_RESOLUTION)->items.size());
    FUZZ_CHECK(m.d3d.multisample_calls - probes_before <= 4 * count);
    for (int32_t i = 0; i < count; ++i) FUZZ_CHECK((mode_table[i].caps & (CAPS_16BIT | CAPS_32BIT)) != 0);
}

void dialog(void* context) {
    FuzzedDataProvider& in = *static_cast<FuzzedDataProvider*>(context);
    FakeMachine& m = fake_machine();
    fake_init_dialog();
    FUZZ_CHECK(m.d3d.alive() <= 1);
    if (m.d3d.create_fails) {
        // No Direct3D: the fatal box, the dialog ends, nothing is stored.
        FUZZ_CHECK(m.dialog.ended && m.dialog.end_result == 0);
        FUZZ_CHECK(!m.dialog.boxes.empty() && m.dialog.boxes.back().caption == "Setup error");
        FUZZ_CHECK(d3d == nullptr);
        return;
    }
    FUZZ_CHECK(!m.dialog.ended);
    SessionState session;
    session.texture_pair_clean = !(settings.compressed_textures != 0 && settings.true_color_textures != 0);
    check_open_dialog(session);

    for (int step = 0; step < 12 && in.remaining_bytes() > 0; ++step) {
        int32_t list = 0;
        switch (in.ConsumeIntegralInRange<int>(0, 7)) {
            case 0:
            case 1: list = IDC_ADAPTER; break;
            case 2:
            case 3: list = IDC_RESOLUTION; break;
            case 4: list = in.ConsumeBool() ? IDC_REFRESH : IDC_BIT_DEPTH; break;
            case 5: list = IDC_ANTIALIAS; break;
            case 6: fake_click(IDC_FULLSCREEN); break;
            default:
                fake_command(IDC_AUTODETECT, 0);
                session.texture_pair_clean = true;
                break;
        }
        if (list != 0) {
            const auto count = static_cast<int32_t>(fake_control(list)->items.size());
            if (count > 0) fake_choose(list, in.ConsumeIntegralInRange<int32_t>(0, count - 1));
        }
        FUZZ_CHECK(!m.dialog.ended);
        FUZZ_CHECK(m.d3d.alive() == 1);
        check_open_dialog(session);
    }
    check_table_rebuild();
    check_open_dialog(session);

    m.dialog.box_answers.assign(1, IDYES);
    fake_command(IDCANCEL, 0);
    FUZZ_CHECK(m.dialog.ended);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    reset_fakes();
    decode_machine(in, MachineLimits{5, 40, 320, true});
    decode_stored_record(in);
    run_program(dialog, &in);
    return 0;
}

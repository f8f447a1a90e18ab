// Any sequence of player actions and window messages on a small fake machine:
// clicks, list choices, commands of every id with every notification code,
// typing into the speaker box, Save and exit and Exit with either answer, a
// store that fails and hardware that changes under the dialog. After every
// action the record and the controls agree and the dialog's rules hold.
#include <cstdint>

#include "app/state.h"
#include "fuzz_support.h"
#include "platform/winapi_values.h"
#include "res/resource.h"
#include "settings/settings.h"

namespace {

void dialog(void* context) {
    FuzzedDataProvider& in = *static_cast<FuzzedDataProvider*>(context);
    FakeMachine& m = fake_machine();
    fake_init_dialog();
    if (m.dialog.ended) {
        FUZZ_CHECK(m.d3d.create_fails);
        return;
    }
    SessionState session;
    session.texture_pair_clean = !(settings.compressed_textures != 0 && settings.true_color_textures != 0);
    check_open_dialog(session);

    for (int step = 0; step < 256 && in.remaining_bytes() > 0; ++step)
        if (!play_one_action(in, session)) return;

    // The player leaves without saving.
    m.registry.fail_create = m.registry.fail_set = false;
    m.dialog.box_answers.assign(1, IDYES);
    fake_command(IDCANCEL, 0);
    FUZZ_CHECK(m.dialog.ended && m.dialog.end_result == -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    reset_fakes();
    decode_machine(in, MachineLimits{3, 12, 8, false});
    decode_stored_record(in);
    FakeMachine& m = fake_machine();
    m.registry.fail_create = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    m.registry.fail_set = in.ConsumeIntegralInRange<int>(0, 7) == 0;
    // Now and then no memory for a scratch buffer at start.
    const int failing_allocation = in.ConsumeIntegralInRange<int>(0, 15);
    run_program(dialog, &in, failing_allocation <= 2 ? failing_allocation : 0);
    return 0;
}

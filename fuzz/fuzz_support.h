// Shared by the fuzz targets: a fake machine decoded from fuzz input, the
// whole program run through setup_main on the fakes, and the invariants that
// must hold whatever the input.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

#include "fakes.h"

// Aborts with the broken condition and where it was checked; libFuzzer keeps
// the input that led there.
[[noreturn]] void fuzz_fail(const char* what, const char* file, int line);
#define FUZZ_CHECK(cond)                                      \
    do {                                                      \
        if (!(cond)) fuzz_fail(#cond, __FILE__, __LINE__);    \
    } while (0)

// ---------------------------------------------------------------- machines
// How much of the hardware space a decoder may use.
struct MachineLimits {
    int max_adapters;
    int max_modes;         // per adapter, single modes
    int max_ramp;          // per adapter, runs of distinct 4:3 sizes (to pass 256 entries)
    bool raw_values;       // sizes, formats and rates may be any 32-bit value
};

// Scripts FakeD3D and FakeDDraw from the input. Call after reset_fakes().
void decode_machine(FuzzedDataProvider& in, const MachineLimits& limits);

// A stored record: nothing, a value of any size, or a 35-byte record whose
// fields come from the input (often close to what the dialog writes itself).
void decode_stored_record(FuzzedDataProvider& in);

// ---------------------------------------------------------------- program
// Runs setup_main on the fakes; `dialog` (given `context`) plays the part of
// the modal dialog: it is called where the entry runs it, after load_settings.
// A `failing_allocation` of 1 or 2 makes that scratch-buffer allocation fail:
// then the entry must end with -1 before COM, the store or the dialog.
// Checks that the buffers are freed, that no Direct3D, DirectDraw or voice
// object and no registry key is left open, and returns the exit code.
int run_program(void (*dialog)(void* context), void* context, int failing_allocation = 0);

// ---------------------------------------------------------------- invariants
struct SessionState {
    bool shared_handler_ran = false;  // speaker_config must be 0..4 from then on
    bool texture_pair_clean = false;  // compressed/true colour were not both on
    int tag = -1;                     // the record's tag, carried through unchanged
};

// Everything that must hold while the dialog is open (between commands).
void check_open_dialog(SessionState& session);

// Objects that live for one call only, and the registry handles.
void check_no_transient_objects();

// The record the stored value stands for: the stored 35 bytes, or the defaults.
std::vector<uint8_t> expected_stored_copy();

// One player action decoded from the input, delivered, then checked. Returns
// false once the dialog has ended.
bool play_one_action(FuzzedDataProvider& in, SessionState& session);

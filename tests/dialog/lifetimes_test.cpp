// Object lifetimes over whole runs of the program: setup_main with a host
// whose modal dialog is the fake one, driven along every way out of the
// dialog. While the dialog is open at most one Direct3D object is alive and
// no DirectDraw object, voice test object or registry key outlives the call
// that made it; after the entry's shutdown nothing at all is alive and every
// block the entry allocated is freed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "app/entry.h"
#include "app/state.h"
#include "dialog/voice_check.h"
#include "dialog_support.h"
#include "fakes.h"
#include "platform/winapi_values.h"
#include "res/resource.h"
#include "settings/settings.h"

namespace {

using dialog_test::standard_adapter;
using dialog_test::standard_machine;
using dialog_test::stored_record;

// ---------------------------------------------------------------- the host
struct HostLog {
    int allocated = 0;
    int freed = 0;
    int com_depth = 0;
    int com_peak = 0;
    int dialogs = 0;
    int most_d3d_alive = 0;
    std::vector<std::string> transient_faults;  // what was alive when it should not be
} host_log;

void (*drive_dialog)() = nullptr;

// Whatever the dialog has done so far, only the Direct3D object may be alive,
// and only while `d3d` holds it.
void check_between_actions(const char* after) {
    const FakeMachine& m = fake_machine();
    host_log.most_d3d_alive = std::max(host_log.most_d3d_alive, m.d3d.alive());
    const auto fault = [&](const std::string& what) { host_log.transient_faults.push_back(what + " after " + after); };
    if (m.ddraw.alive() != 0) fault(std::to_string(m.ddraw.alive()) + " DirectDraw object(s) alive");
    if (m.voice.alive() != 0) fault(std::to_string(m.voice.alive()) + " voice test object(s) alive");
    if (m.registry.open_handles != 0) fault(std::to_string(m.registry.open_handles) + " registry key(s) open");
    if (m.d3d.alive() != (d3d != nullptr ? 1 : 0))
        fault(std::to_string(m.d3d.alive()) + " Direct3D object(s) alive with d3d " + (d3d ? "set" : "null"));
}

void* host_allocate(size_t size) {
    ++host_log.allocated;
    return std::malloc(size);
}
void host_release(void* block) {
    ++host_log.freed;
    std::free(block);
}
void host_com_initialize() { host_log.com_peak = std::max(host_log.com_peak, ++host_log.com_depth); }
void host_init_common_controls() {}
intptr_t host_run_dialog() {
    ++host_log.dialogs;
    check_between_actions("load_settings");
    drive_dialog();
    return fake_machine().dialog.end_result;
}
void host_com_uninitialize() { --host_log.com_depth; }

const ProgramHost fake_program_host = {host_allocate,   host_release,          host_com_initialize,
                                       host_init_common_controls, host_run_dialog, host_com_uninitialize};

// ---------------------------------------------------------------- player
void init() {
    fake_init_dialog();
    check_between_actions("WM_INITDIALOG");
}
void click(int32_t id, const char* what) {
    fake_click(id);
    check_between_actions(what);
}
void command(int32_t id, const char* what) {
    fake_command(id, 0);
    check_between_actions(what);
}
void choose(int32_t id, int32_t position, const char* what) {
    fake_choose(id, position);
    check_between_actions(what);
}
void answer(std::deque<int32_t> answers) { fake_machine().dialog.box_answers = std::move(answers); }

// The voice-chat box is disabled in the template; its command arrives as a
// host would deliver it with the box checked.
void voice_command_checked() {
    fake_control(IDC_VOICE_CHAT)->check = BST_CHECKED;
    command(IDC_VOICE_CHAT, "the voice-chat command");
}

void leave_with_yes() {
    answer({IDYES});
    command(IDCANCEL, "Exit");
}

// ---------------------------------------------------------------- the paths
struct LifetimePath {
    const char* name;
    void (*script)(FakeMachine& m);  // the machine before the program starts
    void (*drive)();                 // the player, inside the modal dialog
    intptr_t end_result;             // how the dialog ended
    int d3d_created;                 // Direct3D objects made over the run
    int voice_created;               // voice test objects made over the run
};

void no_script(FakeMachine&) {}

const LifetimePath paths[] = {
    {"FatalErrorAtInit", [](FakeMachine& m) { m.d3d.create_fails = true; }, [] { init(); }, 0, 0, 0},
    {"FatalErrorAfterAutodetect", no_script,
     [] {
         init();
         fake_machine().d3d.create_fails = true;
         click(IDC_AUTODETECT, "Autodetect without Direct3D");
     },
     0, 1, 0},
    {"SaveAndExit", no_script,
     [] {
         init();
         click(IDC_TEX_LOW_DETAIL, "a toggle");
         click(IDOK, "Save and exit");
     },
     0, 1, 0},
    {"SaveAndExitAfterAdapterAndSizeChanges",
     [](FakeMachine& m) {
         FakeAdapter second = standard_adapter(false);
         second.description = "Second Test Adapter";
         m.d3d.adapters.push_back(second);
     },
     [] {
         init();
         choose(IDC_ADAPTER, 1, "choosing the second adapter");
         choose(IDC_RESOLUTION, 0, "choosing a size");
         choose(IDC_ADAPTER, 0, "choosing the first adapter again");
         click(IDOK, "Save and exit");
     },
     0, 1, 0},
    {"FailedSaveThenExit", [](FakeMachine& m) { m.registry.fail_set = true; },
     [] {
         init();
         click(IDOK, "Save and exit that cannot store");
         if (!fake_machine().dialog.ended) leave_with_yes();
     },
     -1, 1, 0},
    {"ExitAfterNoThenYes", no_script,
     [] {
         init();
         answer({IDNO});
         command(IDCANCEL, "Exit answered No");
         leave_with_yes();
     },
     -1, 1, 0},
    {"ExitWithNothingUnsaved", [](FakeMachine&) { store_bytes(bytes_of(stored_record())); },
     [] {
         init();
         command(IDCANCEL, "Exit");
     },
     -1, 1, 0},
    {"AutodetectTwiceThenExit", no_script,
     [] {
         init();
         click(IDC_AUTODETECT, "Autodetect");
         click(IDC_AUTODETECT, "Autodetect again");
         leave_with_yes();
     },
     -1, 3, 0},
    {"NoAdaptersAtAll", [](FakeMachine& m) { m.d3d.adapters.clear(); },
     [] {
         init();
         click(IDC_AUTODETECT, "Autodetect");
         leave_with_yes();
     },
     -1, 2, 0},
    {"IdentifierFailures",
     [](FakeMachine& m) {
         m.d3d.adapters[0].identifier_fails = true;
         m.d3d.adapters.push_back(standard_adapter());
     },
     [] {
         init();
         choose(IDC_ADAPTER, 0, "choosing the only listed adapter");
         leave_with_yes();
     },
     -1, 1, 0},
    {"DirectDrawCannotBeCreated", [](FakeMachine& m) { m.ddraw.create_fails = true; },
     [] {
         init();
         choose(IDC_ADAPTER, 0, "choosing the adapter");
         leave_with_yes();
     },
     -1, 1, 0},
    {"VideoMemoryQueryFails", [](FakeMachine& m) { m.ddraw.query_fails = true; },
     [] {
         init();
         choose(IDC_ADAPTER, 0, "choosing the adapter");
         leave_with_yes();
     },
     -1, 1, 0},
    {"VoiceObjectCannotBeCreated", [](FakeMachine& m) { m.voice.create_result = -1; },
     [] {
         init();
         voice_command_checked();
         leave_with_yes();
     },
     -1, 1, 0},
    {"VoiceSetupAlreadyRun", no_script,
     [] {
         init();
         voice_command_checked();
         leave_with_yes();
     },
     -1, 1, 1},
    {"VoiceQueryFailsOtherwise", [](FakeMachine& m) { m.voice.query_result = -1; },
     [] {
         init();
         voice_command_checked();
         leave_with_yes();
     },
     -1, 1, 1},
    {"VoiceWizardSucceeds", [](FakeMachine& m) { m.voice.query_result = DVERR_RUNSETUP; },
     [] {
         init();
         voice_command_checked();
         leave_with_yes();
     },
     -1, 1, 1},
    {"VoiceWizardCancelled",
     [](FakeMachine& m) {
         m.voice.query_result = DVERR_RUNSETUP;
         m.voice.wizard_result = DVERR_USERCANCEL;
     },
     [] {
         init();
         voice_command_checked();
         voice_command_checked();  // and once more: each check makes its own object
         leave_with_yes();
     },
     -1, 1, 2},
    {"VoiceWizardAlreadyPending",
     [](FakeMachine& m) {
         m.voice.query_result = DVERR_RUNSETUP;
         m.voice.wizard_result = DVERR_ALREADYPENDING;
     },
     [] {
         init();
         voice_command_checked();
         leave_with_yes();
     },
     -1, 1, 1},
    {"VoiceWizardFailsOtherwise",
     [](FakeMachine& m) {
         m.voice.query_result = DVERR_RUNSETUP;
         m.voice.wizard_result = -1;
     },
     [] {
         init();
         voice_command_checked();
         leave_with_yes();
     },
     -1, 1, 1},
    {"VoiceUncheckedCallsNothing", no_script,
     [] {
         init();
         fake_control(IDC_VOICE_CHAT)->check = BST_UNCHECKED;
         command(IDC_VOICE_CHAT, "the voice-chat command, unchecked");
         leave_with_yes();
     },
     -1, 1, 0},
};

class Lifetimes : public ::testing::TestWithParam<LifetimePath> {};

TEST_P(Lifetimes, NothingOutlivesTheRun) {
    const LifetimePath& path = GetParam();
    FakeMachine& m = standard_machine();
    path.script(m);
    host_log = HostLog{};
    drive_dialog = path.drive;

    const int code = setup_main(&fake_program_host);

    EXPECT_EQ(code, 0);
    EXPECT_EQ(host_log.dialogs, 1);
    EXPECT_TRUE(m.dialog.ended) << "the dialog is still open after the player left";
    EXPECT_EQ(m.dialog.end_calls, 1);
    EXPECT_EQ(m.dialog.end_result, path.end_result);

    // While the dialog ran.
    EXPECT_EQ(host_log.transient_faults, std::vector<std::string>{});
    EXPECT_LE(host_log.most_d3d_alive, 1);

    // After the entry's shutdown.
    EXPECT_EQ(m.d3d.created, path.d3d_created);
    EXPECT_EQ(m.d3d.alive(), 0) << "Direct3D objects left alive";
    EXPECT_EQ(d3d, nullptr);
    EXPECT_EQ(m.ddraw.alive(), 0) << "DirectDraw objects left alive";
    EXPECT_EQ(m.voice.created, path.voice_created);
    EXPECT_EQ(m.voice.alive(), 0) << "voice test objects left alive";
    EXPECT_EQ(m.registry.open_handles, 0) << "registry keys left open";
    EXPECT_EQ(host_log.allocated, 2);
    EXPECT_EQ(host_log.freed, host_log.allocated) << "scratch buffers not freed";
    EXPECT_EQ(text_buffer, nullptr);
    EXPECT_EQ(caption_buffer, nullptr);
    EXPECT_EQ(host_log.com_peak, 1);
    EXPECT_EQ(host_log.com_depth, 0) << "COM left initialised";
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, Lifetimes, ::testing::ValuesIn(paths),
                         [](const ::testing::TestParamInfo<LifetimePath>& path) { return path.param.name; });

// The same run twice in one process, as a second start of the program: the
// first run's objects are gone and the second makes and releases its own.
TEST(LifetimesAcrossRuns, SecondRunStartsFromNothing) {
    FakeMachine& m = standard_machine();
    host_log = HostLog{};
    drive_dialog = [] {
        init();
        click(IDOK, "Save and exit");
    };
    ASSERT_EQ(setup_main(&fake_program_host), 0);
    ASSERT_EQ(m.d3d.alive(), 0);

    m.dialog.ended = false;
    m.dialog.end_calls = 0;
    const size_t boxes = m.dialog.boxes.size();
    drive_dialog = [] {
        init();
        command(IDCANCEL, "Exit");
    };
    ASSERT_EQ(setup_main(&fake_program_host), 0);
    EXPECT_EQ(m.d3d.created, 2);
    EXPECT_EQ(m.d3d.alive(), 0);
    EXPECT_EQ(m.ddraw.alive(), 0);
    EXPECT_EQ(m.registry.open_handles, 0);
    EXPECT_EQ(host_log.transient_faults, std::vector<std::string>{});
    EXPECT_EQ(host_log.freed, 4);
    EXPECT_EQ(m.dialog.end_result, -1);
    EXPECT_EQ(m.dialog.boxes.size(), boxes) << "the saved record counts as unchanged on the second start";
}

}  // namespace

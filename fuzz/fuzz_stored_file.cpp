// The record file of the portable build, whatever is found where it should
// be: any content of any length, or a folder, a FIFO, a link to a device, a
// file where the folder should be. The program runs through it as a player
// starts it; a value is accepted exactly when it is a regular file of 35
// bytes, Save and exit leaves exactly the record (and no temporary file), and
// no file descriptor is left open.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/state.h"
#include "fuzz_support.h"
#include "platform/winapi_values.h"
#include "portable_backends.h"
#include "res/resource.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

namespace {

fs::path config_root;
fs::path key_folder;
fs::path value_file;

enum class Planted { file, no_value, no_folder, folder_as_value, fifo, device_link, file_as_folder, dangling_link };

Planted planted = Planted::file;
std::vector<uint8_t> content;

size_t open_descriptors() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

std::vector<uint8_t> read_value() {
    std::ifstream in(value_file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void plant() {
    std::error_code ignored;
    fs::remove_all(config_root / "Brannick", ignored);
    switch (planted) {
        case Planted::no_folder: return;
        case Planted::file_as_folder:
            fs::create_directories(config_root / "Brannick");
            std::ofstream(key_folder, std::ios::binary) << "not a folder";
            return;
        default: fs::create_directories(key_folder); break;
    }
    switch (planted) {
        case Planted::file: {
            std::ofstream out(value_file, std::ios::binary);
            out.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
            break;
        }
        case Planted::folder_as_value: fs::create_directories(value_file); break;
        case Planted::fifo: ::mkfifo(value_file.c_str(), 0600); break;
        case Planted::device_link: fs::create_symlink("/dev/zero", value_file); break;
        case Planted::dangling_link: fs::create_symlink(config_root / "nowhere", value_file); break;
        default: break;
    }
}

void dialog(void*) {
    FakeMachine& m = fake_machine();
    const bool accepted = planted == Planted::file && content.size() == SETTINGS_SIZE;
    FUZZ_CHECK(settings_loaded == accepted);
    if (accepted) FUZZ_CHECK(settings_bytes() == content);

    fake_init_dialog();
    FUZZ_CHECK(!m.dialog.ended);
    check_no_transient_objects();

    const std::vector<uint8_t> record = settings_bytes();
    fake_command(IDOK, 0);
    if (m.dialog.ended) {
        // Stored: exactly the record, in a regular file, nothing left beside it.
        struct stat st {};
        FUZZ_CHECK(::lstat(value_file.c_str(), &st) == 0 && S_ISREG(st.st_mode));
        FUZZ_CHECK(read_value() == record);
        for (const auto& entry : fs::directory_iterator(key_folder))
            FUZZ_CHECK(entry.path().filename() == value_file.filename());
        return;
    }
    // Not stored (the value cannot be replaced): the dialog stays open and
    // says so; the player then leaves without saving.
    FUZZ_CHECK(settings_bytes() == record);
    m.dialog.box_answers.assign(1, IDYES);
    fake_command(IDCANCEL, 0);
    FUZZ_CHECK(m.dialog.ended);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A private configuration folder, in memory when the machine has one
    // (every save syncs the file and its folder).
    const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    config_root = base / ("setup-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(config_root);
    key_folder = config_root / "Brannick" / "Velmora";
    value_file = key_folder / "Orvex_setup";
    ::setenv("XDG_CONFIG_HOME", config_root.c_str(), 1);
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(config_root, ignored);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const uint8_t kind = in.ConsumeIntegral<uint8_t>();
    planted = kind < 0xC0 ? Planted::file : static_cast<Planted>(1 + kind % 7);
    content = in.ConsumeRemainingBytes<uint8_t>();

    reset_fakes();
    FakeMachine& m = fake_machine();
    FakeAdapter a;
    a.modes = {mode(640, 480, FORMAT_R5G6B5), mode(800, 600, FORMAT_X8R8G8B8), mode(1024, 768, FORMAT_X8R8G8B8, 75)};
    m.d3d.adapters.push_back(a);
    platform.registry = &file_registry_api;
    plant();

    const size_t descriptors = open_descriptors();
    run_program(dialog, nullptr);
    FUZZ_CHECK(open_descriptors() == descriptors);
    return 0;
}

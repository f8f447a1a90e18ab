// The record file of the portable build, whatever is found where it should
// be: any content of any length, or a folder, a FIFO, a link to a device, a
// file where the folder should be; and the file system failing any one call
// (open, read, write, sync, close, rename) with any error, or writing short.
// The program runs through it as a player starts it; a value is accepted
// exactly when it is a regular file of 35 bytes that could be read, Save and
// exit either reports success with exactly the record stored or leaves the old
// value whole, never a mix and never a temporary file, and no file descriptor
// is left open.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/state.h"
#include "fuzz_support.h"
#include "platform/winapi_values.h"
#include "portable_backends.h"
#include "res/resource.h"
#include "settings/settings.h"

namespace fs = std::filesystem;

// ---------------------------------------------------------------- faults
// The link wraps these calls (-Wl,--wrap=...): while a run is armed, the
// n-th call of the chosen one fails the way the kernel would let it.
extern "C" {
ssize_t __real_write(int fd, const void* data, size_t size);
ssize_t __real_read(int fd, void* data, size_t size);
int __real_fsync(int fd);
int __real_close(int fd);
int __real_renameat(int from_dir, const char* from, int to_dir, const char* to);
int __real_openat(int dir, const char* path, int flags, ...);
}

namespace {

enum class Call { none, openat, read, write, fsync, close, renameat };

struct Fault {
    Call call = Call::none;
    int nth = 1;          // which call of that kind fails
    int error = EIO;
    bool short_io = false;  // read/write: move fewer bytes instead of failing
    bool armed = false;
    int seen = 0;
    bool fired = false;
} fault;

bool fires(Call call) {
    if (!fault.armed || fault.call != call || fault.fired) return false;
    if (++fault.seen != fault.nth) return false;
    fault.fired = true;
    return true;
}

}  // namespace

extern "C" ssize_t __wrap_write(int fd, const void* data, size_t size) {
    if (fires(Call::write)) {
        if (fault.short_io && size > 1) return __real_write(fd, data, size / 2);
        errno = fault.error;
        return -1;
    }
    return __real_write(fd, data, size);
}
extern "C" ssize_t __wrap_read(int fd, void* data, size_t size) {
    if (fires(Call::read)) {
        if (fault.short_io && size > 1) return __real_read(fd, data, size / 2);
        errno = fault.error;
        return -1;
    }
    return __real_read(fd, data, size);
}
extern "C" int __wrap_fsync(int fd) {
    if (fires(Call::fsync)) {
        errno = fault.error;
        return -1;
    }
    return __real_fsync(fd);
}
extern "C" int __wrap_close(int fd) {
    // Linux releases the descriptor even when close reports an error.
    const int result = __real_close(fd);
    if (fires(Call::close)) {
        errno = fault.error;
        return -1;
    }
    return result;
}
extern "C" int __wrap_renameat(int from_dir, const char* from, int to_dir, const char* to) {
    if (fires(Call::renameat)) {
        errno = fault.error;
        return -1;
    }
    return __real_renameat(from_dir, from, to_dir, to);
}
extern "C" int __wrap_openat(int dir, const char* path, int flags, ...) {
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = static_cast<mode_t>(va_arg(args, int));
        va_end(args);
    }
    if (fires(Call::openat)) {
        errno = fault.error;
        return -1;
    }
    return __real_openat(dir, path, flags, mode);
}

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

bool value_exists() {
    struct stat st {};
    return ::lstat(value_file.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void dialog(void*) {
    FakeMachine& m = fake_machine();
    const bool acceptable = planted == Planted::file && content.size() == SETTINGS_SIZE;
    if (fault.fired)
        FUZZ_CHECK(!settings_loaded || acceptable);  // a failed read may reject, never half-accept
    else
        FUZZ_CHECK(settings_loaded == acceptable);
    if (settings_loaded) FUZZ_CHECK(settings_bytes() == content);

    fake_init_dialog();
    FUZZ_CHECK(!m.dialog.ended);
    check_no_transient_objects();

    const std::vector<uint8_t> record = settings_bytes();
    const bool existed = value_exists();
    const std::vector<uint8_t> old_value = existed ? read_value() : std::vector<uint8_t>{};
    fake_command(IDOK, 0);
    // Whatever happened, the value is the old one or the new one, whole, and
    // no temporary file is left beside it.
    if (fs::is_directory(key_folder))
        for (const auto& entry : fs::directory_iterator(key_folder))
            FUZZ_CHECK(entry.path().filename() == value_file.filename());
    if (value_exists())
        FUZZ_CHECK(read_value() == record || (existed && read_value() == old_value));
    if (m.dialog.ended) {
        // Reported as stored: exactly the record, in a regular file.
        FUZZ_CHECK(value_exists());
        FUZZ_CHECK(read_value() == record);
        return;
    }
    // Not stored: the dialog stays open and says so; the player then leaves
    // without saving.
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
    // A run that crashed (the point of fuzzing) never cleaned up after itself.
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(base, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("setup-fuzz-", 0) == 0 && !fs::exists("/proc/" + name.substr(11)))
            fs::remove_all(entry.path(), ignored);
    }
    config_root = base / ("setup-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(config_root);
    key_folder = config_root / "Brannick" / "Velmora";
    value_file = key_folder / "Orvex_setup";
    ::setenv("XDG_CONFIG_HOME", config_root.c_str(), 1);
    std::atexit([] {
        std::error_code error;
        fs::remove_all(config_root, error);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const uint8_t kind = in.ConsumeIntegral<uint8_t>();
    planted = kind < 0xC0 ? Planted::file : static_cast<Planted>(1 + kind % 7);
    fault = Fault{};
    const int call = in.ConsumeIntegralInRange<int>(0, 12);
    if (call > 6) {
        fault.call = static_cast<Call>(call - 6);
        fault.nth = in.ConsumeIntegralInRange<int>(1, 3);
        constexpr int kErrors[] = {EIO, ENOSPC, EDQUOT, EINTR, EACCES, EROFS, EFBIG, EINVAL};
        fault.error = kErrors[in.ConsumeIntegralInRange<size_t>(0, std::size(kErrors) - 1)];
        fault.short_io = in.ConsumeIntegralInRange<int>(0, 3) == 0;
    }
    content = in.ConsumeRemainingBytes<uint8_t>();

    reset_fakes();
    FakeMachine& m = fake_machine();
    FakeAdapter a;
    a.modes = {mode(640, 480, FORMAT_R5G6B5), mode(800, 600, FORMAT_X8R8G8B8), mode(1024, 768, FORMAT_X8R8G8B8, 75)};
    m.d3d.adapters.push_back(a);
    platform.registry = &file_registry_api;
    plant();

    const size_t descriptors = open_descriptors();
    fault.armed = true;
    run_program(dialog, nullptr);
    fault.armed = false;
    FUZZ_CHECK(open_descriptors() == descriptors);
    return 0;
}

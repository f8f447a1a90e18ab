// The native build's record file, whatever is found where it should be (any
// content, a folder, a FIFO, a link to a device, a file for the folder), with
// any one file system call failing or moving short. A value is taken exactly
// when it is a readable 35-byte regular file; "Save and exit" either reports
// success with exactly the record stored or keeps the dialog open and the old
// value whole; no temporary file and no descriptor is left behind.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/state.h"
#include "fakes.h"
#include "platform/winapi_values.h"
#include "portable_backends.h"
#include "settings/store.h"
#include "support.h"

namespace fs = std::filesystem;

enum Call : uint8_t { NONE, OPENAT, READ, WRITE, FSYNC, CLOSE, RENAMEAT };
struct Fault {
    int call = NONE, nth = 1, error = EIO, seen = 0;
    bool short_io = false, armed = false, fired = false;
} fault;

static bool fires(int call) {
    if (!fault.armed || fault.call != call || fault.fired || ++fault.seen != fault.nth) return false;
    fault.fired = true;
    return true;
}

// The link wraps these calls (-Wl,--wrap=...).
extern "C" {
ssize_t __real_write(int, const void*, size_t);
ssize_t __real_read(int, void*, size_t);
int __real_fsync(int);
int __real_close(int);
int __real_renameat(int, const char*, int, const char*);
int __real_openat(int, const char*, int, ...);

ssize_t __wrap_write(int fd, const void* data, size_t size) {
    if (!fires(WRITE)) return __real_write(fd, data, size);
    if (fault.short_io && size > 1) return __real_write(fd, data, size / 2);
    return errno = fault.error, -1;
}
ssize_t __wrap_read(int fd, void* data, size_t size) {
    if (!fires(READ)) return __real_read(fd, data, size);
    if (fault.short_io && size > 1) return __real_read(fd, data, size / 2);
    return errno = fault.error, -1;
}
int __wrap_fsync(int fd) { return fires(FSYNC) ? (errno = fault.error, -1) : __real_fsync(fd); }
int __wrap_close(int fd) {
    const int result = __real_close(fd);  // Linux frees the descriptor even when close fails
    return fires(CLOSE) ? (errno = fault.error, -1) : result;
}
int __wrap_renameat(int a, const char* from, int b, const char* to) {
    return fires(RENAMEAT) ? (errno = fault.error, -1) : __real_renameat(a, from, b, to);
}
int __wrap_openat(int dir, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const auto mode = (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(args, int)) : 0;
    va_end(args);
    return fires(OPENAT) ? (errno = fault.error, -1) : __real_openat(dir, path, flags, mode);
}
}

namespace {

fs::path root, folder, value;

Bytes read_value() {
    std::ifstream in(value, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool regular_value() {
    struct stat st {};
    return ::lstat(value.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

size_t descriptors() { return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {})); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    root = fs::temp_directory_path() / ("setup-fuzz-" + std::to_string(::getpid()));
    folder = root / "Brannick" / "Velmora";
    value = folder / "Orvex_setup";
    ::setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    std::atexit([] { fs::remove_all(root); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const uint32_t planted = in.below(8);  // 0-1: a file, else something odd
    fault = Fault{};
    if (const uint32_t call = in.below(12); call <= RENAMEAT) {
        fault.call = static_cast<int>(call);
        fault.nth = static_cast<int>(1 + in.below(3));
        fault.error = in.pick({EIO, ENOSPC, EDQUOT, EINTR, EACCES, EROFS, EFBIG, EINVAL});
        fault.short_io = in.below(4) == 0;
    }
    Bytes content;
    while (!in.empty()) content.push_back(in.byte());

    fs::remove_all(root);
    fs::create_directories(planted == 6 ? root / "Brannick" : folder);
    switch (planted) {
        case 0: case 1: std::ofstream(value, std::ios::binary).write(reinterpret_cast<char*>(content.data()),
                                                                     static_cast<std::streamsize>(content.size())); break;
        case 2: break;
        case 3: fs::create_directories(value); break;
        case 4: ::mkfifo(value.c_str(), 0600); break;
        case 5: fs::create_symlink("/dev/zero", value); break;
        case 6: std::ofstream(folder) << "not a folder"; break;
        default: fs::create_symlink(root / "nowhere", value); break;
    }

    FakeMachine& m = reset_fakes();
    m.adapters[0].modes = {mode(640, 480, 23), mode(1024, 768, 22, 75)};
    platform.registry = &portable_registry_api;
    const size_t open_before = descriptors();
    fault.armed = true;

    settings_loaded = load_settings();
    const bool acceptable = planted <= 1 && content.size() == SETTINGS_SIZE;
    FUZZ_CHECK(fault.fired ? !settings_loaded || acceptable : settings_loaded == acceptable);
    if (settings_loaded) FUZZ_CHECK(settings_bytes() == content);
    init_dialog();
    const Bytes record = settings_bytes();
    const bool existed = regular_value();
    const Bytes old_value = existed ? read_value() : Bytes{};
    command(IDOK, 0);
    fault.armed = false;

    // The old value or the new one, whole; nothing beside it.
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder)) FUZZ_CHECK(entry.path() == value);
    if (regular_value()) FUZZ_CHECK(read_value() == record || (existed && read_value() == old_value));
    if (m.ended) FUZZ_CHECK(regular_value() && read_value() == record);
    else FUZZ_CHECK(settings_bytes() == record && m.boxes.back().text == "The settings could not be saved.");
    FUZZ_CHECK(descriptors() == open_before);
    return 0;
}

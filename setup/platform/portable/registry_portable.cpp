// The record's registry key as a folder and its value as a file:
//   <config>/Brannick/Velmora/Orvex_setup
// where <config> is $XDG_CONFIG_HOME when it is an absolute path, else
// $HOME/.config. A key handle is the folder's open descriptor, so every
// access of one operation sees the same folder even if paths change under it.
//
// A value is replaced by writing a temporary file beside it, syncing it and
// renaming it over the value, so a crash or a full disk leaves the old bytes
// or the new ones, never a mix. Temporary files start with a dot, and value
// names that start with a dot are refused, so a stale one is never read; the
// next save removes those this machine's writers left and are gone from. A
// temporary name carries the machine's tag: a home folder may be shared
// (NFS) with machines whose pids mean nothing here.
#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "portable_backends.h"

namespace {

// The Win32 codes the core and the tests know.
constexpr long OK = 0;
constexpr long FILE_NOT_FOUND = 2;
constexpr long PATH_NOT_FOUND = 3;
constexpr long ACCESS_DENIED = 5;
constexpr long INVALID_HANDLE = 6;
constexpr long WRITE_FAULT = 29;
constexpr long READ_FAULT = 30;
constexpr long INVALID_PARAMETER = 87;
constexpr long DISK_FULL = 112;
constexpr long MORE_DATA = 234;

constexpr const char* KEY_SUBKEY = "Software\\Brannick\\Velmora";
constexpr const char* KEY_FOLDER = "Brannick/Velmora";

long from_errno(int error, long fallback) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return FILE_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
            return ACCESS_DENIED;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return DISK_FULL;
        default:
            return fallback;
    }
}

// The configuration folder; false when neither variable gives one or the
// path does not fit.
bool config_home(char* out, size_t size) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    int n;
    if (xdg && xdg[0] == '/') {
        n = std::snprintf(out, size, "%s", xdg);
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') return false;
        n = std::snprintf(out, size, "%s/.config", home);
    }
    return n > 0 && static_cast<size_t>(n) < size;
}

bool key_folder(const char* subkey, char* out, size_t size) {
    if (!subkey || std::strcmp(subkey, KEY_SUBKEY) != 0) return false;
    char home[PATH_MAX];
    if (!config_home(home, sizeof home)) return false;
    const int n = std::snprintf(out, size, "%s/%s", home, KEY_FOLDER);
    return n > 0 && static_cast<size_t>(n) < size;
}

// A value name must be a plain file name of the folder. A leading dot is
// reserved for temporary files (and rules out "." and "..").
bool valid_value_name(const char* name) {
    if (!name || name[0] == '\0' || name[0] == '.') return false;
    if (std::strchr(name, '/')) return false;
    return std::strlen(name) < NAME_MAX - 48;  // room for the temporary name's additions
}

RegKey* to_key(int fd) { return reinterpret_cast<RegKey*>(static_cast<uintptr_t>(fd) + 1); }
int to_fd(RegKey* key) { return static_cast<int>(reinterpret_cast<uintptr_t>(key) - 1); }

long open_folder(const char* path, RegKey** key) {
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return from_errno(errno, FILE_NOT_FOUND);
    *key = to_key(fd);
    return OK;
}

long file_open_key(const char* subkey, RegKey** key) {
    if (!key) return INVALID_PARAMETER;
    char folder[PATH_MAX];
    if (!key_folder(subkey, folder, sizeof folder)) return FILE_NOT_FOUND;
    return open_folder(folder, key);
}

// Reads until `size` bytes or end of file; -1 on error.
ssize_t read_fully(int fd, uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

long file_query_value(RegKey* key, const char* name, uint32_t* type, uint8_t* data, uint32_t* length) {
    if (!key) return INVALID_HANDLE;
    if (!valid_value_name(name)) return FILE_NOT_FOUND;
    if (data && !length) return INVALID_PARAMETER;

    // Non-blocking so a FIFO planted under the value's name cannot hang the
    // dialog; it is refused below as not a regular file.
    const int fd = ::openat(to_fd(key), name, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return from_errno(errno, FILE_NOT_FOUND);

    long result = OK;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        result = READ_FAULT;
    } else if (!S_ISREG(st.st_mode)) {
        result = FILE_NOT_FOUND;
    } else {
        const uint32_t size = st.st_size > static_cast<off_t>(UINT32_MAX) ? UINT32_MAX
                                                                           : static_cast<uint32_t>(st.st_size);
        if (type) *type = REG_TYPE_BINARY;
        if (!data) {
            if (length) *length = size;
        } else if (size > *length) {
            *length = size;
            result = MORE_DATA;
        } else {
            const ssize_t got = read_fully(fd, data, *length);
            uint8_t extra;
            if (got < 0) {
                result = READ_FAULT;
            } else if (static_cast<uint32_t>(got) == *length && read_fully(fd, &extra, 1) != 0) {
                // Grew since fstat: too large for the buffer after all.
                *length = *length == UINT32_MAX ? UINT32_MAX : *length + 1;
                result = MORE_DATA;
            } else {
                *length = static_cast<uint32_t>(got);
            }
        }
    }
    ::close(fd);
    return result;
}

// mkdir -p, new folders private to the user. Existing parts are fine; the
// caller's open of the final folder decides whether it worked.
void make_folders(char* path) {
    for (char* p = path + 1; *p; ++p) {
        if (*p != '/') continue;
        *p = '\0';
        ::mkdir(path, 0700);
        *p = '/';
    }
    ::mkdir(path, 0700);
}

long file_create_key(const char* subkey, uint32_t /*access: files have no access masks*/, RegKey** key) {
    if (!key) return INVALID_PARAMETER;
    char folder[PATH_MAX];
    if (!key_folder(subkey, folder, sizeof folder)) return PATH_NOT_FOUND;
    make_folders(folder);
    return open_folder(folder, key);
}

bool write_fully(int fd, const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

int sync_fd(int fd) {
    int r;
    do r = ::fsync(fd);
    while (r != 0 && errno == EINTR);
    return r;
}

// Eight hex digits (FNV-1a) of the first that exists of the machine id, the
// boot id and the host name: the same for every program of this machine.
const char* machine_tag() {
    static const std::array<char, 9> tag = [] {
        char id[256] = "";
        for (const char* file : {"/etc/machine-id", "/proc/sys/kernel/random/boot_id"}) {
            if (std::FILE* f = std::fopen(file, "re")) {
                if (!std::fgets(id, sizeof id, f)) id[0] = '\0';
                std::fclose(f);
            }
            id[std::strcspn(id, " \t\r\n")] = '\0';
            if (id[0]) break;
        }
        if (!id[0] && ::gethostname(id, sizeof id - 1) != 0) id[0] = '\0';
        uint32_t hash = 2166136261u;
        for (const char* c = id; *c; ++c) hash = (hash ^ static_cast<unsigned char>(*c)) * 16777619u;
        std::array<char, 9> text{};
        std::snprintf(text.data(), text.size(), "%08x", hash);
        return text;
    }();
    return tag.data();
}

// Creates a temporary file beside the value; its name goes to `tmp`.
int create_temporary(int folder, const char* name, char* tmp, size_t size) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 64; ++attempt) {
        unsigned noise = 0;
        if (::getrandom(&noise, sizeof noise, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof noise))
            noise = static_cast<unsigned>(attempt) * 2654435761u;
        const int n = std::snprintf(tmp, size, ".%s.%s.%ld.%u.%08x.tmp", name, machine_tag(),
                                    static_cast<long>(::getpid()), ++counter, noise);
        if (n <= 0 || static_cast<size_t>(n) >= size) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const int fd = ::openat(folder, tmp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// The writer's pid in a temporary name of this value written on this machine,
// ".<name>.<machine>.<pid>.<n>.<hex>.tmp"; 0 when the name is not one.
long writer_of(const char* file, const char* name) {
    const size_t length = std::strlen(name);
    if (file[0] != '.' || std::strncmp(file + 1, name, length) != 0 || file[length + 1] != '.') return 0;
    const char* machine = file + length + 2;
    if (std::strncmp(machine, machine_tag(), 8) != 0 || machine[8] != '.') return 0;
    char* end = nullptr;
    const char* pid_text = machine + 9;
    const long pid = std::strtol(pid_text, &end, 10);
    if (end == pid_text || *end != '.' || pid <= 0) return 0;
    const char* counter = end + 1;
    std::strtoul(counter, &end, 10);
    if (end == counter || *end != '.') return 0;
    for (int i = 1; i <= 8; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(end[i]))) return 0;
    if (std::strcmp(end + 9, ".tmp") != 0) return 0;
    return pid;
}

// A save killed between writing its temporary file and the rename leaves the
// file behind. It goes once its writer, on this machine, is no longer
// running: ESRCH, not EPERM (another user's process). A writer in another pid
// namespace looks gone too, so a file must also be a minute old; a save takes
// milliseconds. Only a regular file of this user's is a save's leftover.
void remove_stale_temporaries(int folder, const char* name) {
    // A listing of its own: a dup() of the key's descriptor shares its
    // offset, and the next listing through the key would find it at the end.
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0) ::close(listing);
        return;
    }
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const long pid = writer_of(entry->d_name, name);
        struct stat st;
        if (pid <= 0 || pid == ::getpid() || pid > INT_MAX) continue;
        if (::fstatat(folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid() || now - st.st_mtime < 60)
            continue;
        if (::kill(static_cast<pid_t>(pid), 0) == -1 && errno == ESRCH) ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(dir);
}

long file_set_value(RegKey* key, const char* name, uint32_t type, const uint8_t* data, uint32_t length) {
    if (!key) return INVALID_HANDLE;
    if (!valid_value_name(name)) return INVALID_PARAMETER;
    // The file keeps bytes only; reading reports binary, so store nothing else.
    if (type != REG_TYPE_BINARY) return INVALID_PARAMETER;
    if (!data && length != 0) return INVALID_PARAMETER;

    const int folder = to_fd(key);
    char tmp[NAME_MAX + 1];
    const int fd = create_temporary(folder, name, tmp, sizeof tmp);
    if (fd < 0) return from_errno(errno, WRITE_FAULT);

    bool ok = write_fully(fd, data, length) && sync_fd(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::renameat(folder, tmp, folder, name) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlinkat(folder, tmp, 0);
        return from_errno(error, WRITE_FAULT);
    }
    // Make the rename itself durable. Some file systems cannot sync a folder
    // (EINVAL); there the rename is as durable as it gets.
    if (sync_fd(folder) != 0 && errno != EINVAL) return from_errno(errno, WRITE_FAULT);
    remove_stale_temporaries(folder, name);
    return OK;
}

long file_close_key(RegKey* key) {
    if (!key) return INVALID_HANDLE;
    return ::close(to_fd(key)) == 0 ? OK : INVALID_HANDLE;
}

}  // namespace

const char* registry_machine_tag() { return machine_tag(); }

const RegistryApi portable_registry_api = {.open_key = file_open_key,
                                           .query_value = file_query_value,
                                           .create_key = file_create_key,
                                           .set_value = file_set_value,
                                           .close_key = file_close_key};

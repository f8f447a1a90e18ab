// The file-backed registry against the real file system, each test in a
// fresh configuration folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "fakes.h"
#include "portable_backends.h"
#include "settings/settings.h"
#include "settings/store.h"

namespace fs = std::filesystem;

namespace {

constexpr long MORE_DATA = 234;

const std::vector<uint8_t> kDefaults = bytes_of(default_settings());

std::vector<uint8_t> pattern(size_t size, uint8_t seed = 0x41) {
    std::vector<uint8_t> b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(seed + 13 * i);
    for (size_t i = 0; i < size && i < SETTINGS_SIZE; ++i)
        if (b[i] == kDefaults[i]) b[i] ^= 0x80;
    return b;
}

void write_file(const fs::path& p, const std::vector<uint8_t>& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << p;
}

std::optional<std::vector<uint8_t>> read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> entries(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int open_descriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

void set_or_unset(const char* name, const std::optional<std::string>& value) {
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

std::optional<std::string> get_env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
}

// Runs `body` in a child process and returns its exit status (or -signal).
template <typename Body>
int in_child(Body body) {
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1000;
    if (WIFSIGNALED(status)) return -WTERMSIG(status);
    return WEXITSTATUS(status);
}

class FileRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        saved_xdg_ = get_env("XDG_CONFIG_HOME");
        saved_home_ = get_env("HOME");
        char tmpl[] = "/tmp/store-registry-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        setenv("XDG_CONFIG_HOME", root_.c_str(), 1);
        reset_fakes();
        platform.registry = &file_registry_api;
        descriptors_ = open_descriptors();
    }
    void TearDown() override {
        EXPECT_EQ(open_descriptors(), descriptors_) << "a descriptor was left open";
        set_or_unset("XDG_CONFIG_HOME", saved_xdg_);
        set_or_unset("HOME", saved_home_);
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(root_, ec))
            if (e.is_directory()) fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root_, ec);
    }

    fs::path folder() const { return root_ / "Brannick" / "Velmora"; }
    fs::path value() const { return folder() / "Orvex_setup"; }

    fs::path root_;
    int descriptors_ = 0;
    std::optional<std::string> saved_xdg_, saved_home_;
};

// ---------------------------------------------------------------- reading

TEST_F(FileRegistry, MissingFolderIsNoKey) {
    RegKey* key = nullptr;
    EXPECT_NE(file_registry_api.open_key(SETTINGS_SUBKEY, &key), 0);
    settings.width = 1600;
    const auto live = settings_bytes();
    EXPECT_FALSE(load_settings());
    EXPECT_EQ(settings_bytes(), live);
    SetupSettings copy;
    std::memset(&copy, 0xAB, sizeof copy);
    read_stored_copy(&copy);
    EXPECT_EQ(bytes_of(copy), kDefaults);
    EXPECT_FALSE(fs::exists(root_ / "Brannick")) << "reading must not create anything";
}

TEST_F(FileRegistry, FolderWithoutValueIsNotAccepted) {
    fs::create_directories(folder());
    RegKey* key = nullptr;
    ASSERT_EQ(file_registry_api.open_key(SETTINGS_SUBKEY, &key), 0);
    uint8_t buffer[35];
    uint32_t length = sizeof buffer;
    EXPECT_NE(file_registry_api.query_value(key, SETTINGS_VALUE, nullptr, buffer, &length), 0);
    EXPECT_EQ(file_registry_api.close_key(key), 0);
    EXPECT_FALSE(load_settings());
}

TEST_F(FileRegistry, OnlyExactly35BytesAreAccepted) {
    const struct {
        size_t size;
        bool accepted;
    } cases[] = {{0, false}, {1, false}, {34, false}, {35, true}, {36, false}, {1000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("size " + std::to_string(c.size));
        const auto stored = pattern(c.size);
        write_file(value(), stored);
        set_defaults(&settings);
        settings.height = 1050;
        const auto live = settings_bytes();
        EXPECT_EQ(load_settings(), c.accepted);
        EXPECT_EQ(settings_bytes(), c.accepted ? stored : live);
        SetupSettings copy;
        read_stored_copy(&copy);
        EXPECT_EQ(bytes_of(copy), c.accepted ? stored : kDefaults);
        EXPECT_EQ(read_file(value()), stored) << "reading changed the file";
    }
}

TEST_F(FileRegistry, QueryReportsBinaryTypeAndSizes) {
    write_file(value(), pattern(100));
    RegKey* key = nullptr;
    ASSERT_EQ(file_registry_api.open_key(SETTINGS_SUBKEY, &key), 0);

    uint8_t buffer[35];
    std::memset(buffer, 0xEE, sizeof buffer);
    uint32_t type = 0, length = sizeof buffer;
    EXPECT_EQ(file_registry_api.query_value(key, SETTINGS_VALUE, &type, buffer, &length), MORE_DATA);
    EXPECT_EQ(length, 100u) << "a failed read reports the size it needs";
    EXPECT_EQ(buffer[0], 0xEE) << "nothing is copied when the buffer is too small";

    length = 0;
    EXPECT_EQ(file_registry_api.query_value(key, SETTINGS_VALUE, &type, nullptr, &length), 0);
    EXPECT_EQ(length, 100u);
    EXPECT_EQ(type, REG_TYPE_BINARY);
    EXPECT_EQ(file_registry_api.close_key(key), 0);

    write_file(value(), pattern(20));
    ASSERT_EQ(file_registry_api.open_key(SETTINGS_SUBKEY, &key), 0);
    type = 0;
    length = sizeof buffer;
    EXPECT_EQ(file_registry_api.query_value(key, SETTINGS_VALUE, &type, buffer, &length), 0);
    EXPECT_EQ(length, 20u);
    EXPECT_EQ(type, REG_TYPE_BINARY);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 20), pattern(20));
    EXPECT_EQ(file_registry_api.close_key(key), 0);
}

TEST_F(FileRegistry, FolderInPlaceOfTheValueIsRefused) {
    fs::create_directories(value());
    EXPECT_FALSE(load_settings());
    EXPECT_FALSE(save_settings(&settings));
    EXPECT_TRUE(fs::is_directory(value()));
    EXPECT_EQ(entries(folder()), std::vector<std::string>{"Orvex_setup"}) << "temporary file left behind";
}

TEST_F(FileRegistry, FifoInPlaceOfTheValueNeitherHangsNorCounts) {
    fs::create_directories(folder());
    ASSERT_EQ(mkfifo(value().c_str(), 0600), 0);
    // In a child with a deadline, so a blocking open fails the test instead of hanging it.
    const int status = in_child([] {
        alarm(20);
        if (load_settings()) return 1;
        settings.width = 1360;
        return save_settings(&settings) ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: the FIFO was read as a value, 2: saving over it failed, -14: hung";
    settings.width = 1360;
    EXPECT_EQ(read_file(value()), settings_bytes()) << "the save replaces the FIFO by the value";
}

TEST_F(FileRegistry, StaleTemporaryFilesAreNeverRead) {
    const auto stale = pattern(35, 0x10);
    write_file(folder() / ".Orvex_setup.4242.1.0000abcd.tmp", stale);
    write_file(folder() / ".Orvex_setup", stale);
    EXPECT_FALSE(load_settings()) << "only the value itself counts";

    const auto good = pattern(35, 0x90);
    write_file(value(), good);
    EXPECT_TRUE(load_settings());
    EXPECT_EQ(settings_bytes(), good);
}

// ---------------------------------------------------------------- writing

TEST_F(FileRegistry, SaveCreatesTheFoldersAndExactly35Bytes) {
    // Nothing exists yet, not even the configuration folder itself.
    const fs::path config = root_ / "new" / "config";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const fs::path dir = config / "Brannick" / "Velmora";

    settings.width = 1280;
    settings.tag = 3;
    ASSERT_TRUE(save_settings(&settings));
    const auto stored = read_file(dir / "Orvex_setup");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size(), 35u);
    EXPECT_EQ(*stored, settings_bytes());
    EXPECT_EQ(entries(dir), std::vector<std::string>{"Orvex_setup"});

    struct stat st;
    ASSERT_EQ(stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(stat((dir / "Orvex_setup").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(FileRegistry, SaveThenLoadReproducesTheRecord) {
    write_file(value(), pattern(1000));  // an earlier, oversized value is replaced
    SetupSettings record;
    std::memcpy(raw_bytes(&record), pattern(35, 0x77).data(), SETTINGS_SIZE);
    ASSERT_TRUE(save_settings(&record));
    EXPECT_EQ(read_file(value()), bytes_of(record));

    set_defaults(&settings);
    EXPECT_TRUE(load_settings());
    EXPECT_EQ(settings_bytes(), bytes_of(record));
    SetupSettings copy;
    read_stored_copy(&copy);
    EXPECT_EQ(bytes_of(copy), bytes_of(record));

    // And again over its own value.
    record.width = 800;
    ASSERT_TRUE(save_settings(&record));
    EXPECT_TRUE(load_settings());
    EXPECT_EQ(settings_bytes(), bytes_of(record));
    EXPECT_EQ(entries(folder()), std::vector<std::string>{"Orvex_setup"});
}

TEST_F(FileRegistry, InterruptedWriteLeavesTheOldValue) {
    // A crash between creating the temporary file and renaming it leaves a
    // partial temporary file and the old value.
    const auto old = pattern(35, 0x31);
    write_file(value(), old);
    write_file(folder() / ".Orvex_setup.999.7.12345678.tmp", std::vector<uint8_t>(12, 0xCC));

    EXPECT_TRUE(load_settings());
    EXPECT_EQ(settings_bytes(), old);

    settings.width = 640;
    ASSERT_TRUE(save_settings(&settings));
    EXPECT_EQ(read_file(value()), settings_bytes());
    SetupSettings copy;
    read_stored_copy(&copy);
    EXPECT_EQ(bytes_of(copy), settings_bytes());
}

TEST_F(FileRegistry, FullDiskKeepsTheOldValue) {
    const auto old = pattern(35, 0x52);
    write_file(value(), old);
    for (rlim_t limit : {rlim_t{0}, rlim_t{10}, rlim_t{34}}) {
        SCOPED_TRACE("file size limit " + std::to_string(limit));
        const int status = in_child([limit] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit small = {limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &small) != 0) return 90;
            settings.width = 1920;
            return save_settings(&settings) ? 1 : 0;
        });
        EXPECT_EQ(status, 0) << "save must report the failure";
        EXPECT_EQ(read_file(value()), old);
        EXPECT_EQ(entries(folder()), std::vector<std::string>{"Orvex_setup"}) << "temporary file left behind";
    }
}

TEST_F(FileRegistry, ReadOnlyFolderKeepsTheOldValue) {
    const auto old = pattern(35, 0x63);
    write_file(value(), old);
    // An unprivileged user may pass through and read, but not write.
    fs::permissions(value(), fs::perms(0644));
    fs::permissions(root_, fs::perms(0755));
    fs::permissions(root_ / "Brannick", fs::perms(0755));
    fs::permissions(folder(), fs::perms(0555));

    const int status = in_child([] {
        if (geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
                setresuid(65534, 65534, 65534) != 0)
                return 90;
        }
        settings.width = 1920;
        if (save_settings(&settings)) return 1;
        // Reading still works for the same user.
        return load_settings() && settings.width != 1920 ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "1: save claimed success, 2: the old value did not read back";
    fs::permissions(folder(), fs::perms(0700));
    EXPECT_EQ(read_file(value()), old);
    EXPECT_EQ(entries(folder()), std::vector<std::string>{"Orvex_setup"});
}

// ---------------------------------------------------------------- where the folder is

TEST_F(FileRegistry, ConfigurationFolderFromTheEnvironment) {
    const std::string root = root_.string();
    const std::string too_long = "/" + std::string(5000, 'x');
    const struct {
        const char* what;
        std::optional<std::string> xdg, home;
        std::optional<std::string> expected_folder;  // none: no place to store
    } cases[] = {
        {"absolute XDG_CONFIG_HOME", root + "/xdg", root + "/home", root + "/xdg/Brannick/Velmora"},
        {"relative XDG_CONFIG_HOME", std::string("relative/xdg"), root + "/home",
         root + "/home/.config/Brannick/Velmora"},
        {"empty XDG_CONFIG_HOME", std::string(""), root + "/home", root + "/home/.config/Brannick/Velmora"},
        {"no XDG_CONFIG_HOME", std::nullopt, root + "/home", root + "/home/.config/Brannick/Velmora"},
        {"neither", std::nullopt, std::nullopt, std::nullopt},
        {"relative HOME", std::nullopt, std::string("relative/home"), std::nullopt},
        {"over-long path", too_long, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        set_or_unset("XDG_CONFIG_HOME", c.xdg);
        set_or_unset("HOME", c.home);
        settings.width = 1152;
        EXPECT_EQ(save_settings(&settings), c.expected_folder.has_value());
        if (c.expected_folder) {
            EXPECT_EQ(read_file(fs::path(*c.expected_folder) / "Orvex_setup"), settings_bytes());
            set_defaults(&settings);
            EXPECT_TRUE(load_settings());
            EXPECT_EQ(settings.width, 1152);
            fs::remove_all(*c.expected_folder);
        } else {
            EXPECT_FALSE(load_settings());
        }
    }
    EXPECT_FALSE(fs::exists("relative")) << "nothing may be created relative to the working folder";
}

TEST_F(FileRegistry, OnlyTheGamesKeyAndPlainValueNames) {
    const char* other_keys[] = {"Software\\Brannick", "software\\brannick\\velmora", "Software/Brannick/Velmora",
                                "Software\\Brannick\\Velmora\\..", "", "Software\\Brannick\\Velmora\\Sub"};
    for (const char* subkey : other_keys) {
        SCOPED_TRACE(subkey);
        RegKey* key = nullptr;
        EXPECT_NE(file_registry_api.create_key(subkey, REG_ACCESS_ALL, &key), 0);
        EXPECT_NE(file_registry_api.open_key(subkey, &key), 0);
    }
    EXPECT_TRUE(entries(root_).empty()) << "a refused key created folders";

    RegKey* key = nullptr;
    ASSERT_EQ(file_registry_api.create_key(SETTINGS_SUBKEY, REG_ACCESS_ALL, &key), 0);
    const uint8_t data[35] = {};
    const char* bad_names[] = {"", ".", "..", "../escape", "a/b", "/etc/passwd", ".hidden"};
    for (const char* name : bad_names) {
        SCOPED_TRACE(name);
        EXPECT_NE(file_registry_api.set_value(key, name, REG_TYPE_BINARY, data, sizeof data), 0);
        uint8_t buffer[35];
        uint32_t length = sizeof buffer;
        EXPECT_NE(file_registry_api.query_value(key, name, nullptr, buffer, &length), 0);
    }
    const std::string long_name(300, 'n');
    EXPECT_NE(file_registry_api.set_value(key, long_name.c_str(), REG_TYPE_BINARY, data, sizeof data), 0);
    // The file holds bytes only, so it takes binary values only.
    EXPECT_NE(file_registry_api.set_value(key, SETTINGS_VALUE, 1, data, sizeof data), 0);
    EXPECT_EQ(file_registry_api.close_key(key), 0);
    EXPECT_TRUE(entries(folder()).empty());
    EXPECT_FALSE(fs::exists(root_ / "escape"));
    EXPECT_FALSE(fs::exists(root_ / "Brannick" / "escape"));
}

}  // namespace

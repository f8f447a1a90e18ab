// The record file's folder after a save that was killed before its rename,
// and names planted there that a save must leave alone.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "portable_backends.h"

namespace fs = std::filesystem;

TEST(RegistryFile, ASaveRemovesThisMachinesTemporariesOfGoneWritersOnly) {
    const fs::path home = fs::temp_directory_path() / ("registry-test-" + std::to_string(getpid()));
    const fs::path folder = home / "Brannick/Velmora";
    fs::create_directories(folder);
    std::ofstream(folder / "target") << "kept";
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    const pid_t gone = fork();  // a writer that has ended
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string here = registry_machine_tag();
    const std::string elsewhere = here == "0badcafe" ? "cafe0bad" : "0badcafe";
    const std::string dead = here + "." + std::to_string(gone), alive = here + "." + std::to_string(getppid());
    const bool root = geteuid() == 0;  // only root can plant another user's file
    enum Kind { PLAIN, LINK, FOLDER, OTHER_USERS };
    const struct {
        std::string name;
        Kind kind;
        bool old, kept;
    } files[] = {
        {".Orvex_setup." + dead + ".3.0badf00d.tmp", PLAIN, true, false},
        {".Orvex_setup." + dead + ".4.0badf00d.tmp", PLAIN, false, true},  // a writer we cannot see may be writing
        {".Orvex_setup." + alive + ".3.0badf00d.tmp", PLAIN, true, true},
        {".Orvex_setup." + here + ".1.1.0badf00d.tmp", PLAIN, true, true},  // init: EPERM, not gone
        {".Orvex_setup." + elsewhere + "." + std::to_string(gone) + ".3.0badf00d.tmp", PLAIN, true, true},
        {".Orvex_setup." + std::to_string(gone) + ".3.0badf00d.tmp", PLAIN, true, true},  // no machine named
        {".Other." + dead + ".3.0badf00d.tmp", PLAIN, true, true},  // another value's
        {".Orvex_setup." + dead + ".3.0badf00d.tmp~", PLAIN, true, true},  // not one of ours
        {".Orvex_setup." + dead + ".5.0badf00d.tmp", LINK, true, true},
        {".Orvex_setup." + dead + ".6.0badf00d.tmp", FOLDER, true, true},
        {".Orvex_setup." + dead + ".7.0badf00d.tmp", OTHER_USERS, true, true},
    };
    // A first save through the same key: the second must still see the folder.
    RegKey* key = nullptr;
    ASSERT_EQ(portable_registry_api.create_key("Software\\Brannick\\Velmora", 0, &key), 0);
    uint8_t record[35] = {1};
    ASSERT_EQ(portable_registry_api.set_value(key, "Orvex_setup", REG_TYPE_BINARY, record, sizeof record), 0);
    for (const auto& file : files) {
        const fs::path path = folder / file.name;
        if (file.kind == OTHER_USERS && !root) continue;
        if (file.kind == LINK) fs::create_symlink(folder / "target", path);
        if (file.kind == FOLDER) fs::create_directory(path);
        if (file.kind == PLAIN || file.kind == OTHER_USERS) std::ofstream(path) << "half";
        if (file.kind == OTHER_USERS) {
            ASSERT_EQ(lchown(path.c_str(), 65534, 65534), 0);
        }
        const timespec hour_ago[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
        if (file.old) {
            ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), hour_ago, AT_SYMLINK_NOFOLLOW), 0) << file.name;
        }
    }
    record[34] = 0x5A;
    ASSERT_EQ(portable_registry_api.set_value(key, "Orvex_setup", REG_TYPE_BINARY, record, sizeof record), 0);
    portable_registry_api.close_key(key);
    for (const auto& file : files) {
        if (file.kind != OTHER_USERS || root) {
            EXPECT_EQ(fs::exists(fs::symlink_status(folder / file.name)), file.kept) << file.name;
        }
    }
    EXPECT_TRUE(fs::exists(folder / "target"));
    ASSERT_EQ(portable_registry_api.open_key("Software\\Brannick\\Velmora", &key), 0);
    uint8_t read_back[64] = {};
    uint32_t type = 0, length = sizeof read_back;
    EXPECT_EQ(portable_registry_api.query_value(key, "Orvex_setup", &type, read_back, &length), 0);
    portable_registry_api.close_key(key);
    EXPECT_EQ(length, sizeof record);
    EXPECT_EQ(std::memcmp(read_back, record, sizeof record), 0);
    fs::remove_all(home);
}

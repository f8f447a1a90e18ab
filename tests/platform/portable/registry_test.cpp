// The record file's folder after a save that was killed before its rename.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "portable_backends.h"

namespace fs = std::filesystem;

TEST(RegistryFile, ASaveRemovesTemporariesOfGoneWritersOnly) {
    const fs::path home = fs::temp_directory_path() / ("registry-test-" + std::to_string(getpid()));
    const fs::path folder = home / "Brannick/Velmora";
    fs::create_directories(folder);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    const pid_t gone = fork();  // a writer that has ended
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string dead = std::to_string(gone), alive = std::to_string(getppid());
    const struct {
        std::string name;
        bool old, kept;
    } files[] = {
        {".Orvex_setup." + dead + ".3.0badf00d.tmp", true, false},
        {".Orvex_setup." + dead + ".4.0badf00d.tmp", false, true},  // a writer we cannot see may be writing
        {".Orvex_setup." + alive + ".3.0badf00d.tmp", true, true},
        {".Orvex_setup.1.1.0badf00d.tmp", true, true},              // init: EPERM, not gone
        {".Other." + dead + ".3.0badf00d.tmp", true, true},         // another value's
        {".Orvex_setup." + dead + ".3.0badf00d.tmp~", true, true},  // not one of ours
    };
    for (const auto& file : files) {
        std::ofstream(folder / file.name) << "half";
        if (file.old) fs::last_write_time(folder / file.name, fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
    RegKey* key = nullptr;
    ASSERT_EQ(portable_registry_api.create_key("Software\\Brannick\\Velmora", 0, &key), 0);
    const uint8_t record[35] = {1};
    ASSERT_EQ(portable_registry_api.set_value(key, "Orvex_setup", REG_TYPE_BINARY, record, sizeof record), 0);
    portable_registry_api.close_key(key);
    for (const auto& file : files) EXPECT_EQ(fs::exists(folder / file.name), file.kept) << file.name;
    EXPECT_EQ(fs::file_size(folder / "Orvex_setup"), sizeof record);
    fs::remove_all(home);
}

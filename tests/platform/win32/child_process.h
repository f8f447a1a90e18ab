// Runs one test of this program again in a child process, with extra
// environment variables, and hands back what it printed. Used where Wine only
// reads a setting when a process starts (DLL overrides, Direct3D settings).
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

// Set in the child's environment; child-only tests skip when it is absent.
constexpr const char* CHILD_MARKER = "SETUP_WIN32_TEST_CHILD";

struct ChildRun {
    bool started = false;
    bool finished = false;  // false: killed after the time limit
    DWORD exit_code = 0;
    std::string output;
};

inline bool running_as_child() { return GetEnvironmentVariableA(CHILD_MARKER, nullptr, 0) > 0; }

inline std::string environment_value(const char* name) {
    char value[4096];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    if (n == 0 || n >= sizeof value) return {};
    return std::string(value, n);
}

// A line "name=value" printed by the child; "" when absent.
inline std::string child_value(const std::string& output, const std::string& name) {
    const std::string key = "\n" + name + "=";
    const std::string text = "\n" + output;
    const size_t at = text.find(key);
    if (at == std::string::npos) return {};
    const size_t start = at + key.size();
    const size_t end = text.find_first_of("\r\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Prints a value for the parent to read with child_value.
inline void report_to_parent(const char* name, long long value) {
    std::printf("\n%s=%lld\n", name, value);
    std::fflush(stdout);
}

inline std::string this_program() {
    char program[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::string(program, length);
}

// Runs "<program> --gtest_filter=<test>" (this program unless another copy
// is named) with `extra` set in its environment (replacing variables of the
// same name) and the child marker.
inline ChildRun run_child_test(const char* test, std::vector<std::pair<std::string, std::string>> extra,
                               const std::string& program = this_program(), DWORD time_limit_ms = 120000) {
    ChildRun run;
    extra.emplace_back(CHILD_MARKER, "1");

    std::string block;
    if (char* strings = GetEnvironmentStringsA()) {
        for (const char* entry = strings; *entry; entry += std::strlen(entry) + 1) {
            const std::string line(entry);
            bool replaced = false;
            for (const auto& [name, value] : extra) {
                if (_strnicmp(line.c_str(), (name + "=").c_str(), name.size() + 1) == 0) replaced = true;
            }
            if (!replaced) block.append(line).push_back('\0');
        }
        FreeEnvironmentStringsA(strings);
    }
    for (const auto& [name, value] : extra) block.append(name + "=" + value).push_back('\0');
    block.push_back('\0');

    if (program.empty()) return run;
    std::string command = "\"" + program + "\" --gtest_filter=" + test;

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return run;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    PROCESS_INFORMATION process = {};
    run.started = CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, block.data(), nullptr,
                                 &startup, &process) != 0;
    CloseHandle(write_end);
    if (!run.started) {
        CloseHandle(read_end);
        return run;
    }

    const ULONGLONG deadline = GetTickCount64() + time_limit_ms;
    char chunk[4096];
    for (;;) {
        DWORD available = 0;
        if (PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            DWORD got = 0;
            if (ReadFile(read_end, chunk, sizeof chunk, &got, nullptr) && got > 0) run.output.append(chunk, got);
            continue;
        }
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) {
            // Whatever is still in the pipe, then the end.
            DWORD got = 0;
            while (PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
                   ReadFile(read_end, chunk, sizeof chunk, &got, nullptr) && got > 0) {
                run.output.append(chunk, got);
            }
            run.finished = true;
            break;
        }
        if (GetTickCount64() > deadline) {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 5000);
            break;
        }
    }
    GetExitCodeProcess(process.hProcess, &run.exit_code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    CloseHandle(read_end);
    return run;
}

// The child ran to the end, its one test passed, and it was not skipped.
inline ::testing::AssertionResult child_passed(const ChildRun& run) {
    if (!run.started) return ::testing::AssertionFailure() << "child process did not start";
    if (!run.finished) return ::testing::AssertionFailure() << "child process timed out:\n" << run.output;
    if (run.exit_code != 0)
        return ::testing::AssertionFailure() << "child exit code " << run.exit_code << ":\n" << run.output;
    if (run.output.find("[  PASSED  ] 1 test.") == std::string::npos ||
        run.output.find("[  SKIPPED ]") != std::string::npos)
        return ::testing::AssertionFailure() << "child did not run its test:\n" << run.output;
    return ::testing::AssertionSuccess();
}

// A copy of this program under its own name, with Wine settings that apply
// to that name alone (HKCU\Software\Wine\AppDefaults\<name>\...). Wine
// does not honour a DLL override placed in a child's environment, settings
// for this program's own name would reach this process too, and global ones
// would reach every other program in the prefix. Removed again, copy and
// settings, when it goes out of scope.
class ProgramCopy {
public:
    explicit ProgramCopy(const char* name) : name_(name) {
        const std::string self = this_program();
        const size_t slash = self.find_last_of("\\/");
        if (self.empty() || slash == std::string::npos) return;
        path_ = self.substr(0, slash + 1) + name_;
        if (!CopyFileA(self.c_str(), path_.c_str(), FALSE)) path_.clear();
        ready_ = !path_.empty();
    }
    ~ProgramCopy() {
        if (wrote_settings_) RegDeleteTreeA(HKEY_CURRENT_USER, app_key().c_str());
        if (!path_.empty()) DeleteFileA(path_.c_str());
    }
    ProgramCopy(const ProgramCopy&) = delete;
    ProgramCopy& operator=(const ProgramCopy&) = delete;

    // A REG_SZ value under AppDefaults\<name>\<subkey>.
    bool set(const std::string& subkey, const char* value_name, const std::string& value) {
        HKEY key = nullptr;
        wrote_settings_ = true;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (app_key() + "\\" + subkey).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, nullptr) != ERROR_SUCCESS) {
            ready_ = false;
            return false;
        }
        const bool stored = RegSetValueExA(key, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                           static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
        RegCloseKey(key);
        ready_ = ready_ && stored;
        return stored;
    }
    // Wine does not load the DLL into the copy at all (an empty load order).
    bool without_dll(const char* dll) { return set("DllOverrides", dll, ""); }

    bool ready() const { return ready_; }
    const std::string& path() const { return path_; }

private:
    std::string app_key() const { return "Software\\Wine\\AppDefaults\\" + name_; }

    std::string name_;
    std::string path_;
    bool ready_ = false;
    bool wrote_settings_ = false;
};

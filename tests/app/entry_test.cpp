#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/entry.h"
#include "app/state.h"
#include "fakes.h"
#include "settings/settings.h"
#include "settings/store.h"

namespace {

// Everything the entry does, in order, as the host and the registry saw it.
struct Recorder {
    std::vector<std::string> calls;
    int allocations = 0;     // attempts
    int fail_allocation = 0; // 1-based attempt that fails; 0 = none
    std::vector<void*> live; // blocks handed out and not yet freed
    std::vector<size_t> sizes;
    intptr_t dialog_result = 1;
    bool create_d3d = true;
    // Seen while the dialog ran.
    bool loaded_at_dialog = false;
    bool buffers_at_dialog = false;
    std::vector<uint8_t> record_at_dialog;
} rec;

const RegistryApi* fake_registry = nullptr;
Direct3DApi logging_d3d;  // the fake's table with a logging release
uint32_t (*fake_d3d_release)(D3DObject*) = nullptr;

std::vector<uint8_t> default_settings_bytes() {
    const SetupSettings d = default_settings();
    return std::vector<uint8_t>(raw_bytes(&d), raw_bytes(&d) + SETTINGS_SIZE);
}

// Forwards to the fake registry, logging each call in the sequence.
const RegistryApi logging_registry = {
    [](const char* subkey, RegKey** key) {
        rec.calls.push_back("reg_open");
        return fake_registry->open_key(subkey, key);
    },
    [](RegKey* key, const char* name, uint32_t* type, uint8_t* data, uint32_t* length) {
        rec.calls.push_back("reg_query");
        return fake_registry->query_value(key, name, type, data, length);
    },
    [](const char* subkey, uint32_t access, RegKey** key) {
        rec.calls.push_back("reg_create");
        return fake_registry->create_key(subkey, access, key);
    },
    [](RegKey* key, const char* name, uint32_t type, const uint8_t* data, uint32_t length) {
        rec.calls.push_back("reg_set");
        return fake_registry->set_value(key, name, type, data, length);
    },
    [](RegKey* key) {
        rec.calls.push_back("reg_close");
        return fake_registry->close_key(key);
    },
};

void* host_allocate(size_t size) {
    ++rec.allocations;
    rec.calls.push_back("allocate");
    rec.sizes.push_back(size);
    if (rec.allocations == rec.fail_allocation) return nullptr;
    void* p = std::malloc(size);
    rec.live.push_back(p);
    return p;
}

void host_release(void* block) {
    rec.calls.push_back("free");
    for (auto it = rec.live.begin(); it != rec.live.end(); ++it) {
        if (*it == block) {
            rec.live.erase(it);
            std::free(block);
            return;
        }
    }
    ADD_FAILURE() << "freed a block that was not allocated: " << block;
}

const ProgramHost host = {
    host_allocate,
    host_release,
    [] { rec.calls.push_back("com_init"); },
    [] { rec.calls.push_back("common_controls"); },
    []() -> intptr_t {
        rec.calls.push_back("run_dialog");
        rec.loaded_at_dialog = settings_loaded;
        rec.buffers_at_dialog = text_buffer != nullptr && caption_buffer != nullptr && text_buffer != caption_buffer;
        rec.record_at_dialog = settings_bytes();
        // The dialog's adapter list leaves a Direct3D object behind for the entry to release.
        if (rec.create_d3d) d3d = platform.d3d8->create(D3D_SDK_VERSION_8);
        return rec.dialog_result;
    },
    [] { rec.calls.push_back("com_uninit"); },
};

class Entry : public ::testing::Test {
protected:
    void SetUp() override {
        reset_fakes();
        fake_registry = platform.registry;
        platform.registry = &logging_registry;
        logging_d3d = *platform.d3d8;
        fake_d3d_release = logging_d3d.release;
        logging_d3d.release = [](D3DObject* object) {
            rec.calls.push_back("d3d_release");
            return fake_d3d_release(object);
        };
        platform.d3d8 = &logging_d3d;
        rec = Recorder{};
    }
    void TearDown() override {
        for (void* p : rec.live) std::free(p);
        EXPECT_TRUE(rec.live.empty()) << "scratch buffers leaked";
        EXPECT_EQ(fake_machine().registry.open_handles, 0);
    }
};

TEST_F(Entry, NormalRunInOrder) {
    const auto stored = std::vector<uint8_t>(35, 0x21);
    store_bytes(stored);

    EXPECT_EQ(setup_main(&host), 0);

    const std::vector<std::string> expected = {
        "allocate",   "allocate",    "com_init",   "common_controls", "reg_open", "reg_query", "reg_close",
        "run_dialog", "d3d_release", "com_uninit", "free",            "free",
    };
    EXPECT_EQ(rec.calls, expected);
    EXPECT_EQ(rec.sizes, (std::vector<size_t>{1024, 1024}));
    EXPECT_TRUE(rec.buffers_at_dialog);
    EXPECT_TRUE(rec.loaded_at_dialog);
    EXPECT_EQ(rec.record_at_dialog, stored) << "the dialog must start from the stored record";

    EXPECT_EQ(fake_machine().d3d.created, 1);
    EXPECT_EQ(fake_machine().d3d.alive(), 0) << "the Direct3D object must be released at exit";
    EXPECT_EQ(d3d, nullptr);
    EXPECT_EQ(text_buffer, nullptr);
    EXPECT_EQ(caption_buffer, nullptr);
}

TEST_F(Entry, NoDirect3DObjectIsFine) {
    rec.create_d3d = false;
    EXPECT_EQ(setup_main(&host), 0);
    EXPECT_EQ(fake_machine().d3d.released, 0);
    EXPECT_EQ(std::count(rec.calls.begin(), rec.calls.end(), "d3d_release"), 0);
    EXPECT_EQ(d3d, nullptr);
}

TEST_F(Entry, AllocationFailureEndsAtOnce) {
    struct Case {
        int failing;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {1, {"allocate"}},
        // The first buffer is given back; COM is never touched.
        {2, {"allocate", "allocate", "free"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("allocation " + std::to_string(c.failing) + " fails");
        SetUp();
        rec.fail_allocation = c.failing;
        store_bytes(std::vector<uint8_t>(35, 0x21));
        EXPECT_EQ(setup_main(&host), -1);
        EXPECT_EQ(rec.calls, c.calls);
        EXPECT_TRUE(rec.live.empty()) << "no buffer may leak";
        EXPECT_EQ(fake_machine().d3d.created, 0);
        EXPECT_EQ(settings_bytes(), default_settings_bytes()) << "nothing is loaded";
        EXPECT_FALSE(settings_loaded);
    }
}

TEST_F(Entry, SettingsLoadedFollowsTheStoredValue) {
    struct Case {
        const char* what;
        std::vector<uint8_t> stored;  // empty = nothing stored
        bool loaded;
    };
    const Case cases[] = {
        {"nothing stored", {}, false},
        {"35 bytes", std::vector<uint8_t>(35, 0x42), true},
        {"34 bytes", std::vector<uint8_t>(34, 0x42), false},
        {"36 bytes", std::vector<uint8_t>(36, 0x42), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        if (!c.stored.empty()) store_bytes(c.stored);
        EXPECT_EQ(setup_main(&host), 0);
        EXPECT_EQ(rec.loaded_at_dialog, c.loaded);
        EXPECT_EQ(settings_loaded, c.loaded);
        EXPECT_EQ(rec.record_at_dialog, c.loaded ? c.stored : default_settings_bytes());
    }
}

TEST_F(Entry, ExitCodeIsZeroHoweverTheDialogEnds) {
    // Save and exit, Exit, the fatal setup error, a failed dialog.
    for (intptr_t result : {intptr_t{1}, intptr_t{2}, intptr_t{0}, intptr_t{-1}}) {
        SCOPED_TRACE(result);
        SetUp();
        rec.dialog_result = result;
        EXPECT_EQ(setup_main(&host), 0);
        EXPECT_TRUE(rec.live.empty());
        EXPECT_EQ(fake_machine().d3d.alive(), 0);
    }
}

TEST_F(Entry, NothingIsWrittenByTheEntry) {
    EXPECT_EQ(setup_main(&host), 0);
    for (const auto& call : rec.calls) {
        EXPECT_NE(call, "reg_create");
        EXPECT_NE(call, "reg_set");
    }
    EXPECT_TRUE(stored_bytes().empty());
}

}  // namespace

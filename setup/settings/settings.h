// The settings record the game's engine reads: 35 packed bytes, little-endian,
// one process-wide instance that holds the defaults before any code runs.
#pragma once

#include <cstddef>
#include <cstdint>

// A 32-bit signed field stored as four little-endian bytes, so the record has
// no alignment gaps and the same bytes on every host.
struct le_i32 {
    uint8_t b[4];

    constexpr operator int32_t() const {
        return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                    (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
    }
    constexpr le_i32& operator=(int32_t v) {
        const auto u = static_cast<uint32_t>(v);
        b[0] = static_cast<uint8_t>(u);
        b[1] = static_cast<uint8_t>(u >> 8);
        b[2] = static_cast<uint8_t>(u >> 16);
        b[3] = static_cast<uint8_t>(u >> 24);
        return *this;
    }
};

struct SetupSettings {
    uint8_t tag;
    uint8_t adapter;
    le_i32 width;
    le_i32 height;
    le_i32 bit_depth;
    le_i32 refresh_rate;
    uint8_t antialiasing;
    uint8_t multipass_rendering;
    uint8_t option_1028;
    uint8_t fullscreen;
    uint8_t hardware_tnl;
    uint8_t vsync;
    uint8_t low_detail_textures;
    uint8_t triple_buffering;
    uint8_t option_1011;
    uint8_t compressed_textures;
    uint8_t true_color_textures;
    uint8_t sound_disabled;
    uint8_t disable_eax;
    uint8_t suspend_when_inactive;
    uint8_t software_mixing_only;
    uint8_t speaker_config;
    uint8_t voice_chat;
};

constexpr size_t SETTINGS_SIZE = 35;

static_assert(sizeof(SetupSettings) == SETTINGS_SIZE, "the record is exactly 35 bytes");
static_assert(alignof(SetupSettings) == 1, "the record has no alignment");
static_assert(offsetof(SetupSettings, adapter) == 1);
static_assert(offsetof(SetupSettings, width) == 2);
static_assert(offsetof(SetupSettings, height) == 6);
static_assert(offsetof(SetupSettings, bit_depth) == 10);
static_assert(offsetof(SetupSettings, refresh_rate) == 14);
static_assert(offsetof(SetupSettings, antialiasing) == 18);
static_assert(offsetof(SetupSettings, option_1028) == 20);
static_assert(offsetof(SetupSettings, hardware_tnl) == 22);
static_assert(offsetof(SetupSettings, option_1011) == 26);
static_assert(offsetof(SetupSettings, sound_disabled) == 29);
static_assert(offsetof(SetupSettings, speaker_config) == 33);
static_assert(offsetof(SetupSettings, voice_chat) == 34);

constexpr SetupSettings default_settings() {
    SetupSettings s{};
    s.tag = 12;
    s.adapter = 0;
    s.width = 1024;
    s.height = 768;
    s.bit_depth = 32;
    s.refresh_rate = 0;
    s.antialiasing = 0;
    s.multipass_rendering = 0;
    s.option_1028 = 0;
    s.fullscreen = 0;
    s.hardware_tnl = 1;
    s.vsync = 0;
    s.low_detail_textures = 0;
    s.triple_buffering = 1;
    s.option_1011 = 1;
    s.compressed_textures = 1;
    s.true_color_textures = 0;
    s.sound_disabled = 0;
    s.disable_eax = 0;
    s.suspend_when_inactive = 1;
    s.software_mixing_only = 1;
    s.speaker_config = 4;
    s.voice_chat = 0;
    return s;
}

// The process-wide record (constant-initialised: defaults before any code runs).
extern SetupSettings settings;

// Fill a record with the defaults, byte for byte.
void set_defaults(SetupSettings* record);

// The record as its 35 stored bytes.
inline uint8_t* raw_bytes(SetupSettings* record) { return reinterpret_cast<uint8_t*>(record); }
inline const uint8_t* raw_bytes(const SetupSettings* record) { return reinterpret_cast<const uint8_t*>(record); }

#include "dialog/autodetect.h"

#include "app/state.h"
#include "probe/mode_table.h"
#include "settings/settings.h"

namespace {

struct Tier {
    int32_t width;
    int32_t height;
    int32_t bit_depth;
    uint8_t triple_buffering;
    uint8_t low_detail_textures;
    uint8_t compressed_textures;
    uint8_t true_color_textures;
    uint8_t option_1011;
};

// Up to 8, 16, 32 and 64 MB; each bound belongs to the lower tier.
constexpr int32_t TIER_BOUNDS[] = {8, 16, 32, 64};

constexpr Tier TIERS[] = {
    {640, 480, 16, 0, 1, 1, 0, 0},
    {800, 600, 16, 0, 1, 1, 0, 1},
    {800, 600, 32, 1, 0, 1, 0, 1},
    {1024, 768, 32, 1, 0, 1, 0, 1},
    // Width and height of the top tier depend on what the resolution list offers.
    {1024, 768, 32, 1, 0, 0, 1, 1},
};

constexpr int32_t TOP_TIER = 4;
constexpr int32_t TOP_WIDTH = 1280;
constexpr int32_t TOP_HEIGHT = 960;

}  // namespace

void apply_autodetect_profile(int32_t memory_mb) {
    settings.multipass_rendering = 0;
    settings.suspend_when_inactive = 1;
    settings.option_1028 = 0;
    settings.antialiasing = 0;
    settings.fullscreen = 1;
    settings.hardware_tnl = 1;
    settings.vsync = 0;
    settings.refresh_rate = 0;
    settings.sound_disabled = 0;
    settings.software_mixing_only = 1;
    settings.disable_eax = 0;

    int32_t tier = 0;
    while (tier < TOP_TIER && memory_mb > TIER_BOUNDS[tier]) ++tier;
    const Tier& t = TIERS[tier];

    settings.width = t.width;
    settings.height = t.height;
    if (tier == TOP_TIER && resolution_listed(TOP_WIDTH, TOP_HEIGHT)) {
        settings.width = TOP_WIDTH;
        settings.height = TOP_HEIGHT;
    }
    settings.bit_depth = t.bit_depth;
    settings.triple_buffering = t.triple_buffering;
    settings.low_detail_textures = t.low_detail_textures;
    settings.compressed_textures = t.compressed_textures;
    settings.true_color_textures = t.true_color_textures;
    settings.option_1011 = t.option_1011;
}

bool resolution_listed(int32_t width, int32_t height) { return listed_mode_entry(width, height) != nullptr; }

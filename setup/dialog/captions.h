// Captions of the controls and the expert fold.
#pragma once

#include <cstdint>

#include "platform/seams.h"

struct CaptionPair {
    int32_t control_id;
    uint32_t string_id;
};

constexpr int32_t CAPTION_COUNT = 25;
extern const CaptionPair caption_table[CAPTION_COUNT];

// Puts every caption of caption_table on its control.
void apply_captions(HostWindow dialog);

// Folds the bottom band away by 85 pixels, or shows it again, and retitles
// the toggle button.
void toggle_expert_section();

constexpr int32_t EXPERT_FOLD_PIXELS = 85;

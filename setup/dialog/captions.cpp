#include "dialog/captions.h"

// Placeholder until the dialog lands.
const CaptionPair caption_table[CAPTION_COUNT] = {};
void apply_captions(HostWindow) {}
void toggle_expert_section() {}

#include "dialog/autodetect.h"

// Placeholder until the profile lands.
void apply_autodetect_profile(int32_t) {}
bool resolution_listed(int32_t, int32_t) { return false; }

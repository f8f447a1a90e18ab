// Refresh-rate, bit-depth and antialiasing lists for the chosen size.
#pragma once

#include <cstdint>

bool build_refresh_list();

// position: a position in the resolution list, or -1 for the entry of the
// record's size.
bool build_depth_and_aa_lists(int32_t position);

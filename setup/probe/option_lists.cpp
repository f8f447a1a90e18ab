#include "probe/option_lists.h"

// Placeholder until the probe lands.
bool build_refresh_list() { return true; }
bool build_depth_and_aa_lists(int32_t) { return false; }

#include "probe/adapters.h"

// Placeholder until the probe lands: nothing to list.
bool build_adapter_list() { return true; }
bool select_adapter() { return true; }

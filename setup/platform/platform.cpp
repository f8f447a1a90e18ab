#include "platform/seams.h"

// Filled by the program's entry (or a test) before anything uses it.
Platform platform = {nullptr, nullptr, nullptr, nullptr, nullptr};

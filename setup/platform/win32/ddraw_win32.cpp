#include "win32_backends.h"

// Placeholder until this back end lands: every call fails.
const DirectDrawApi win32_ddraw_api = {[](const Guid*, DDrawObject**) -> long { return -1; }, [](DDrawObject*, const uint32_t*, uint32_t*, uint32_t*) -> long { return -1; }, [](DDrawObject*) -> uint32_t { return 0; }};

#include "portable_backends.h"

// Placeholder until this back end lands: every call fails.
const RegistryApi file_registry_api = {[](const char*, RegKey**) -> long { return 1; }, [](RegKey*, const char*, uint32_t*, uint8_t*, uint32_t*) -> long { return 1; }, [](const char*, uint32_t, RegKey**) -> long { return 1; }, [](RegKey*, const char*, uint32_t, const uint8_t*, uint32_t) -> long { return 1; }, [](RegKey*) -> long { return 0; }};

#include "win32_backends.h"

// Placeholder until this back end lands: every call fails.
const Direct3DApi win32_d3d8_api = {[](uint32_t) -> D3DObject* { return nullptr; }, [](D3DObject*) -> uint32_t { return 0; }, [](D3DObject*, uint32_t, uint32_t, AdapterIdentifier*) -> long { return -1; }, [](D3DObject*, uint32_t) -> uint32_t { return 0; }, [](D3DObject*, uint32_t, uint32_t, DisplayMode*) -> long { return -1; }, [](D3DObject*, uint32_t, uint32_t, uint32_t, int32_t, uint32_t) -> long { return -1; }, [](D3DObject*) -> uint32_t { return 0; }};

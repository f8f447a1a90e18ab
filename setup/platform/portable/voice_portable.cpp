#include "portable_backends.h"

// Placeholder until this back end lands: every call fails.
const VoiceTestApi portable_voice_api = {[](const Guid*, const Guid*, VoiceTestObject**) -> long { return -1; }, [](VoiceTestObject*, const Guid*, const Guid*, HostWindow, uint32_t) -> long { return -1; }, [](VoiceTestObject*) -> uint32_t { return 0; }};

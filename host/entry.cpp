// The plug-in's one exported entry point, also exported as `main` for hosts that look for
// that name. It checks the host, builds the effect through the deliverable's factory and
// hands the host the effect's AEffect record.
#include "host/audioeffect.h"

#include <new>

#define ORV_EXPORT extern "C" __attribute__((visibility("default")))

ORV_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    try {
        AudioEffect* effect = createEffectInstance(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    } catch (...) {
        return nullptr;  // nothing may cross into the host
    }
}

#if !defined(_WIN32)
// `main` as an assembler-level alias of the entry point.
asm(".globl main\n\t.type main, @function\n\t.set main, VSTPluginMain");
#endif

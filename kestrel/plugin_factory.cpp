#include "kestrel/kestrel.h"

#include <new>

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    return new (std::nothrow) Kestrel(audioMaster);
}

// The plug-in's one exported entry point, also exported as `main` for hosts that look for
// that name. It checks the host, builds the effect through the deliverable's factory and
// hands the host the effect's AEffect record.
#include "host/audioeffect.h"

#include <new>

#if defined(_WIN32)
#include "platform/module_handle.h"

#include <windows.h>
// The export table comes from plugin.def, which also exports the entry point as `main`.
#define ORV_EXPORT extern "C" __declspec(dllexport)
#else
#define ORV_EXPORT extern "C" __attribute__((visibility("default")))
#endif

ORV_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    try {
        AudioEffect* effect = createEffectInstance(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    } catch (...) {
        return nullptr;  // nothing may cross into the host
    }
}

#if defined(_WIN32)
// The load hook: records the library's own module handle, which the editor needs to find its
// bitmaps, and nothing else (the loader lock is held here).
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) orv::platform::setModuleHandle(instance);
    return TRUE;
}
#else
// `main` as an assembler-level alias of the entry point.
asm(".globl main\n\t.type main, @function\n\t.set main, VSTPluginMain");
#endif

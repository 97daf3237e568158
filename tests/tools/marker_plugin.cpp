// A minimal VST 2.4 plug-in for orv-host's tests, standing in for third-party plug-ins. It
// passes its audio through unchanged, a millisecond per block so that a run lasts long enough
// to be interrupted; it knows its editor's size only once the editor is open; and when the host
// closes it (effClose), it writes "closed" into the file named by ORV_MARKER_FILE, so a test can
// see that the host closed it properly.
#include "host/vst_interface.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

struct Marker {
    AEffect effect{};
    bool editorOpen = false;
    ERect rect{0, 0, 120, 200};
};

Marker* of(AEffect* e) { return static_cast<Marker*>(e->object); }

VstIntPtr ORV_VST_CALL dispatch(AEffect* e, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
    Marker* m = of(e);
    switch (opcode) {
        case effClose:
            if (const char* file = std::getenv("ORV_MARKER_FILE")) {
                if (std::FILE* f = std::fopen(file, "w")) {
                    std::fputs("closed", f);
                    std::fclose(f);
                }
            }
            delete m;
            return 1;
        case effEditOpen: m->editorOpen = true; return 1;
        case effEditClose: m->editorOpen = false; return 1;
        case effEditGetRect:
            if (!m->editorOpen || !ptr) return 0;
            *static_cast<ERect**>(ptr) = &m->rect;
            return 1;
        case effGetEffectName:
            if (ptr) std::strcpy(static_cast<char*>(ptr), "Marker");
            return 1;
        case effGetVstVersion: return 2400;
        default: return 0;
    }
}

void ORV_VST_CALL passThrough(AEffect*, float** in, float** out, VstInt32 frames) {
    for (int c = 0; c < 2; ++c)
        if (in[c] != out[c]) std::memmove(out[c], in[c], sizeof(float) * static_cast<std::size_t>(frames));
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void ORV_VST_CALL setParameter(AEffect*, VstInt32, float) {}
float ORV_VST_CALL getParameter(AEffect*, VstInt32) { return 0.0f; }

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback) {
    Marker* m = new Marker;
    AEffect& e = m->effect;
    e.magic = kEffectMagic;
    e.dispatcher = dispatch;
    e.process = passThrough;
    e.processReplacing = passThrough;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.numPrograms = 1;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsHasEditor | effFlagsCanReplacing;
    e.ioRatio = 1.0f;
    e.object = m;
    e.uniqueID = fourCharCode('O', 'r', 'M', 'k');
    e.version = 1;
    return &e;
}

// The binary's two LV2 entry points: the plug-in and its editor UI. Nothing else is exported.
#include "lv2/editor_ui.h"
#include "lv2/plugin_instance.h"

#include <lv2/core/lv2.h>

#include <cstring>

namespace orv::lv2 {

namespace {

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
    try {
        return PluginInstance::create(thisPlugin(), rate, features);
    } catch (...) {
        return nullptr;  // nothing may cross into the host
    }
}

PluginInstance& of(LV2_Handle h) { return *static_cast<PluginInstance*>(h); }

void connectPort(LV2_Handle h, uint32_t port, void* data) { of(h).connect(port, data); }
void activate(LV2_Handle h) { of(h).activate(); }
void run(LV2_Handle h, uint32_t frames) { of(h).run(frames); }
void deactivate(LV2_Handle h) { of(h).deactivate(); }
void cleanup(LV2_Handle h) { delete &of(h); }

LV2_State_Status save(LV2_Handle h, LV2_State_Store_Function store, LV2_State_Handle handle, uint32_t,
                      const LV2_Feature* const*) {
    try {
        return of(h).save(store, handle);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status restore(LV2_Handle h, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, uint32_t,
                         const LV2_Feature* const*) {
    try {
        return of(h).restore(retrieve, handle);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

const LV2_State_Interface kStateInterface = {save, restore};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_STATE__interface) == 0) return &kStateInterface;
    return nullptr;
}

}  // namespace

}  // namespace orv::lv2

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    using namespace orv::lv2;
    static const LV2_Descriptor descriptor = {thisPlugin().uri, instantiate, connectPort, activate, run,
                                              deactivate, cleanup, extensionData};
    return index == 0 ? &descriptor : nullptr;
}

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &orv::lv2::editorUiDescriptor() : nullptr;
}

#pragma once
// One LV2 instance: the plug-in's own AEffect record, created through its VST entry point with
// a host callback of the adapter's, and driven as a VST host drives it. Control ports become
// setParameter calls at the next block, the bank chunk is the LV2 state, and the editor (see
// editor_ui.h) reaches the same record through the instance-access feature.
#include "lv2/port_table.h"

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstdint>

namespace orv::lv2 {

constexpr int kMaxParameterPorts = 40;
constexpr const char* kBankStateKey = "urn:orv-tonekraft:state#bank";

// What the plug-in's editor asks of the host, answered by the LV2 UI that shows it.
class EditorLink {
public:
    virtual ~EditorLink() = default;
    virtual void parameterEdited(VstInt32 index, float normalised) = 0;
    virtual void editGesture(VstInt32 index, bool begins) = 0;
    virtual bool sizeWindow(int width, int height) = 0;
};

// The plug-in built into this binary (its binding file) and the gain its compressor applied to
// `channel` on the last processed sample (1 = none).
const PluginDescription& thisPlugin();
double compressorGain(AEffect* effect, int channel);

class PluginInstance {
public:
    // Null when the plug-in cannot be created (or was built without its processing state).
    static PluginInstance* create(const PluginDescription& description, double sampleRate,
                                  const LV2_Feature* const* features);
    ~PluginInstance();

    void connect(std::uint32_t port, void* data);
    void activate();
    void deactivate();
    void run(std::uint32_t frames);

    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    const PluginDescription& description() const { return desc; }
    AEffect* effect() const { return fx; }
    // The normalised value the processing last took from parameter port `port` (counted from
    // the first parameter port; NaN before any).
    float valueFromPort(int port) const { return fromPort[port].load(std::memory_order_relaxed); }
    // The LV2 port index of a plug-in parameter; -1 when it has no port.
    int portOfParameter(VstInt32 index) const;

    void attachEditor(EditorLink* link) { editorLink.store(link); }
    void detachEditor(EditorLink* link) {
        EditorLink* expected = link;
        editorLink.compare_exchange_strong(expected, nullptr);
    }

private:
    PluginInstance(const PluginDescription& description, double sampleRate);
    static VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt);
    void takeControlPorts();

    const PluginDescription& desc;
    AEffect* fx = nullptr;
    double rate;
    VstInt32 maxBlock = 4096;
    LV2_URID bankKey = 0;
    LV2_URID chunkType = 0;

    float* audio[6] = {};
    float* latencyPort = nullptr;
    float* gainReduction[2] = {};
    const float* controls[kMaxParameterPorts] = {};
    // The last value seen on each control port, as bits, so that a NaN counts as seen.
    std::uint32_t seenBits[kMaxParameterPorts] = {};
    std::atomic<float> fromPort[kMaxParameterPorts];
    // After a restored state the ports are taken as they stand at the next block, without
    // replacing the restored values.
    bool adoptPorts = false;
    std::atomic<bool> keysConnected{false};
    std::atomic<EditorLink*> editorLink{nullptr};
};

}  // namespace orv::lv2

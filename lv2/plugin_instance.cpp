// The LV2 instance around the plug-in's AEffect record.
#include "lv2/plugin_instance.h"
#include "lv2/features.h"

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/buf-size/buf-size.h>

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

namespace orv::lv2 {

namespace {

std::uint32_t bitsOf(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The largest block the host announced through the options feature, or 0.
VstInt32 announcedMaxBlock(const LV2_Feature* const* features, const LV2_URID_Map* map) {
    const auto* options = static_cast<const LV2_Options_Option*>(feature(features, LV2_OPTIONS__options));
    if (!options || !map) return 0;
    const LV2_URID maxKey = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID intType = map->map(map->handle, LV2_ATOM__Int);
    for (const LV2_Options_Option* o = options; o->key; ++o)
        if (o->key == maxKey && o->type == intType && o->size == sizeof(std::int32_t) && o->value)
            return *static_cast<const std::int32_t*>(o->value);
    return 0;
}

// The gain reduction in dB (positive) that a gain factor stands for, limited to a range a meter
// can show.
float reductionDb(double gain) {
    if (!(gain < 1.0)) return 0.0f;
    if (!(gain > 1e-3)) return 60.0f;
    return static_cast<float>(-20.0 * std::log10(gain));
}

}  // namespace

PluginInstance::PluginInstance(const PluginDescription& description, double sampleRate)
    : desc(description), rate(sampleRate) {
    for (auto& v : fromPort) v.store(NAN, std::memory_order_relaxed);
}

PluginInstance* PluginInstance::create(const PluginDescription& description, double sampleRate,
                                       const LV2_Feature* const* features) {
    const auto* map = static_cast<const LV2_URID_Map*>(feature(features, LV2_URID__map));
    if (!(sampleRate > 0.0) || description.numPorts > kMaxParameterPorts) return nullptr;
    auto* self = new (std::nothrow) PluginInstance(description, sampleRate);
    if (!self) return nullptr;
    // Without URIDs (a host such as lv2apply that offers no features) everything but the
    // state works.
    if (map) {
        self->bankKey = map->map(map->handle, kBankStateKey);
        self->chunkType = map->map(map->handle, LV2_ATOM__Chunk);
    }
    const VstInt32 announced = announcedMaxBlock(features, map);
    if (announced > 0) self->maxBlock = announced;

    AEffect* fx = VSTPluginMain(hostCallback);
    // A plug-in whose construction failed reports one input: it cannot process anything.
    if (!fx || fx->magic != kEffectMagic || fx->numInputs != 4 || fx->numOutputs != 2) {
        if (fx) fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
        delete self;
        return nullptr;
    }
    self->fx = fx;
    fx->user = self;
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effSetProcessPrecision, 0, kVstProcessPrecision32, nullptr, 0.0f);
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    fx->dispatcher(fx, effSetBlockSize, 0, self->maxBlock, nullptr, 0.0f);
    // The ports start where the plug-in starts (its Default preset, which is also what the
    // bundle gives as the ports' defaults), so a host's untouched defaults change nothing.
    for (int i = 0; i < description.numPorts; ++i) {
        const ParameterPort& p = description.ports[i];
        self->seenBits[i] = bitsOf(unitValue(p, fx->getParameter(fx, p.index)));
    }
    return self;
}

PluginInstance::~PluginInstance() {
    if (fx) fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
}

VstIntPtr PluginInstance::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                       float opt) {
    // While the plug-in is being constructed there is no instance behind the record yet.
    auto* self = effect ? static_cast<PluginInstance*>(effect->user) : nullptr;
    switch (opcode) {
        case audioMasterVersion: return 2400;
        case audioMasterPinConnected:
            // 0 means connected: the main pins always are, the key pins when the host connected them.
            if (self && (index == 2 || index == 3) && value == 0) return self->keysConnected.load() ? 0 : 1;
            return 0;
        case audioMasterGetSampleRate: return self ? static_cast<VstIntPtr>(self->rate) : 0;
        case audioMasterGetBlockSize: return self ? self->maxBlock : 0;
        case audioMasterAutomate:
            if (self)
                if (EditorLink* link = self->editorLink.load()) link->parameterEdited(index, opt);
            return 0;
        case audioMasterBeginEdit:
        case audioMasterEndEdit:
            if (self)
                if (EditorLink* link = self->editorLink.load()) link->editGesture(index, opcode == audioMasterBeginEdit);
            return 1;
        case audioMasterSizeWindow:
            if (self)
                if (EditorLink* link = self->editorLink.load())
                    return link->sizeWindow(index, static_cast<int>(value)) ? 1 : 0;
            return 0;
        default: return 0;
    }
}

int PluginInstance::portOfParameter(VstInt32 index) const {
    for (int i = 0; i < desc.numPorts; ++i)
        if (desc.ports[i].index == index) return static_cast<int>(kFirstParameterPort) + i;
    return -1;
}

void PluginInstance::connect(std::uint32_t port, void* data) {
    auto* f = static_cast<float*>(data);
    if (port <= kOutRight)
        audio[port] = f;
    else if (port == kLatency)
        latencyPort = f;
    else if (port == kGainReductionLeft || port == kGainReductionRight)
        gainReduction[port - kGainReductionLeft] = f;
    else if (port - kFirstParameterPort < static_cast<std::uint32_t>(desc.numPorts))
        controls[port - kFirstParameterPort] = f;
}

void PluginInstance::activate() { fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f); }

void PluginInstance::deactivate() { fx->dispatcher(fx, effMainsChanged, 0, 0, nullptr, 0.0f); }

void PluginInstance::takeControlPorts() {
    for (int i = 0; i < desc.numPorts; ++i) {
        const float* port = controls[i];
        if (!port) continue;  // an unconnected control keeps its value
        const float u = *port;
        const std::uint32_t bits = bitsOf(u);
        if (bits == seenBits[i] && !adoptPorts) continue;
        seenBits[i] = bits;
        // A port that reads NaN says nothing: the parameter keeps its value. The infinities
        // and values outside the range are taken at the nearest end.
        if (std::isnan(u)) continue;
        const ParameterPort& p = desc.ports[i];
        const float current = fx->getParameter(fx, p.index);
        if (!adoptPorts) {
            const float x = normalisedValue(p, u);
            // A port value that reads as what the plug-in already holds (the editor's own
            // change coming back from the host, or a value within rounding of it) changes nothing.
            if (unitValue(p, current) != unitValue(p, x)) {
                fx->setParameter(fx, p.index, x);
                fromPort[i].store(fx->getParameter(fx, p.index), std::memory_order_relaxed);
                continue;
            }
        }
        fromPort[i].store(current, std::memory_order_relaxed);
    }
    adoptPorts = false;
}

void PluginInstance::run(std::uint32_t frames) {
    takeControlPorts();
    if (audio[kInLeft] && audio[kInRight] && audio[kOutLeft] && audio[kOutRight] && frames > 0) {
        keysConnected.store(audio[kKeyLeft] && audio[kKeyRight], std::memory_order_relaxed);
        float* inputs[4] = {audio[kInLeft], audio[kInRight], audio[kKeyLeft], audio[kKeyRight]};
        float* outputs[2] = {audio[kOutLeft], audio[kOutRight]};
        // Hosts give blocks of any length; the plug-in takes at most what it was told.
        std::uint32_t done = 0;
        while (done < frames) {
            const std::uint32_t n = std::min<std::uint32_t>(frames - done, static_cast<std::uint32_t>(maxBlock));
            float* in[4];
            for (int c = 0; c < 4; ++c) in[c] = inputs[c] ? inputs[c] + done : nullptr;
            float* out[2] = {outputs[0] + done, outputs[1] + done};
            fx->processReplacing(fx, in, out, static_cast<VstInt32>(n));
            done += n;
        }
    }
    if (latencyPort) *latencyPort = static_cast<float>(fx->initialDelay);
    for (int c = 0; c < 2; ++c)
        if (gainReduction[c]) *gainReduction[c] = reductionDb(compressorGain(fx, c));
}

LV2_State_Status PluginInstance::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    if (!bankKey) return LV2_STATE_ERR_NO_FEATURE;
    void* data = nullptr;
    const VstIntPtr size = fx->dispatcher(fx, effGetChunk, 0, 0, &data, 0.0f);
    if (size <= 0 || !data) return LV2_STATE_ERR_UNKNOWN;
    return store(handle, bankKey, data, static_cast<size_t>(size), chunkType,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status PluginInstance::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    if (!bankKey) return LV2_STATE_ERR_NO_FEATURE;
    size_t size = 0;
    std::uint32_t type = 0, flags = 0;
    const void* data = retrieve(handle, bankKey, &size, &type, &flags);
    // A state without a bank (a preset of port values only) leaves the bank alone.
    if (!data) return LV2_STATE_SUCCESS;
    if (type != chunkType || size == 0 || size > 1u << 20) return LV2_STATE_ERR_BAD_TYPE;
    // The plug-in reads the chunk through a pointer it may not keep; a copy of our own keeps
    // the host's buffer untouched.
    std::vector<unsigned char> copy(static_cast<const unsigned char*>(data),
                                    static_cast<const unsigned char*>(data) + size);
    // The preset store answers a refused chunk (another plug-in's, another version, a wrong
    // size) with -1, and changes nothing then.
    if (fx->dispatcher(fx, effSetChunk, 0, static_cast<VstIntPtr>(size), copy.data(), 0.0f) < 0)
        return LV2_STATE_ERR_UNKNOWN;
    adoptPorts = true;
    return LV2_STATE_SUCCESS;
}

}  // namespace orv::lv2

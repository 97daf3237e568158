#include "tests/lv2/lilv_host.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvtest {

LilvWorld* lv2World() {
    static LilvWorld* world = [] {
        // The installed bundles when the caller names them, else the ones this build wrote.
        if (!std::getenv("LV2_PATH")) setenv("LV2_PATH", ORV_LV2_BUNDLES, 1);
        LilvWorld* w = lilv_world_new();
        lilv_world_load_all(w);
        return w;
    }();
    return world;
}

const LilvPlugin* lv2Plugin(const char* uri) {
    LilvNode* node = lilv_new_uri(lv2World(), uri);
    const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(lv2World()), node);
    lilv_node_free(node);
    return p;
}

Lv2Instance::Lv2Instance(const char* uri, double rate, bool activateNow) {
    plug = lv2Plugin(uri);
    if (!plug) return;
    options[0] = {LV2_OPTIONS_INSTANCE, 0, UridMap::id(LV2_BUF_SIZE__maxBlockLength), sizeof(std::int32_t),
                  UridMap::id(LV2_ATOM__Int), &maxBlock};
    options[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    mapFeature = {LV2_URID__map, &urids.mapFeatureData};
    unmapFeature = {LV2_URID__unmap, &urids.unmapFeatureData};
    optionsFeature = {LV2_OPTIONS__options, options};
    features = {&mapFeature, &unmapFeature, &optionsFeature, nullptr};
    instance = lilv_plugin_instantiate(plug, rate, features.data());
    if (!instance) return;
    const std::uint32_t n = lilv_plugin_get_num_ports(plug);
    controls.assign(n, 0.0f);
    audio.assign(n, std::vector<float>(kMaxBlock, 0.0f));
    std::vector<float> mins(n), maxs(n), defs(n);
    lilv_plugin_get_port_ranges_float(plug, mins.data(), maxs.data(), defs.data());
    for (std::uint32_t i = 0; i < n; ++i) {
        controls[i] = std::isnan(defs[i]) ? 0.0f : defs[i];
        lilv_instance_connect_port(instance, i, &controls[i]);
    }
    if (activateNow) activate();
}

void Lv2Instance::activate() {
    lilv_instance_activate(instance);
    active = true;
}

Lv2Instance::~Lv2Instance() {
    if (!instance) return;
    if (active) lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
}

std::uint32_t Lv2Instance::portIndex(const char* symbol) const {
    LilvNode* s = lilv_new_string(lv2World(), symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(plug, s);
    lilv_node_free(s);
    return port ? lilv_port_get_index(plug, port) : UINT32_MAX;
}

void Lv2Instance::process(const std::vector<float>* in, std::vector<float>* out,
                          const std::vector<std::uint32_t>& blocks) {
    const std::uint32_t total = static_cast<std::uint32_t>(in[0].size());
    out[0].assign(total, 0.0f);
    out[1].assign(total, 0.0f);
    std::uint32_t done = 0;
    for (std::size_t b = 0; done < total; ++b) {
        const std::uint32_t n = std::min(blocks[b % blocks.size()], total - done);
        // Each block in buffers of the host's own, as a host's are.
        for (int c = 0; c < 4; ++c) std::copy_n(in[c].begin() + done, n, audio[c].begin());
        for (int c = 0; c < 6; ++c) lilv_instance_connect_port(instance, c, audio[inPlace && c >= 4 ? c - 4 : c].data());
        if (!keysConnected) {
            lilv_instance_connect_port(instance, 2, nullptr);
            lilv_instance_connect_port(instance, 3, nullptr);
        }
        lilv_instance_run(instance, n);
        for (int c = 0; c < 2; ++c) std::copy_n(audio[(inPlace ? 0 : 4) + c].begin(), n, out[c].begin() + done);
        done += n;
    }
}

void Lv2Instance::runSilence(std::uint32_t frames) {
    for (int c = 0; c < 6; ++c) {
        std::fill(audio[c].begin(), audio[c].end(), 0.0f);
        lilv_instance_connect_port(instance, c, audio[c].data());
    }
    while (frames > 0) {
        const std::uint32_t n = std::min(frames, kMaxBlock);
        lilv_instance_run(instance, n);
        frames -= n;
    }
}

namespace {

struct ChunkStore {
    std::vector<unsigned char> data;
    LV2_URID type = 0;
};

LV2_State_Status storeChunk(LV2_State_Handle h, std::uint32_t, const void* value, size_t size, std::uint32_t type,
                            std::uint32_t) {
    auto* s = static_cast<ChunkStore*>(h);
    s->data.assign(static_cast<const unsigned char*>(value), static_cast<const unsigned char*>(value) + size);
    s->type = type;
    return LV2_STATE_SUCCESS;
}

const void* retrieveChunk(LV2_State_Handle h, std::uint32_t, size_t* size, std::uint32_t* type, std::uint32_t* flags) {
    auto* s = static_cast<ChunkStore*>(h);
    *size = s->data.size();
    *type = s->type;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return s->data.empty() ? nullptr : s->data.data();
}

const LV2_State_Interface* stateInterface(LilvInstance* instance) {
    return static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance, LV2_STATE__interface));
}

}  // namespace

std::vector<unsigned char> Lv2Instance::savedChunk() {
    ChunkStore store;
    const LV2_State_Interface* iface = stateInterface(instance);
    if (!iface) return {};
    iface->save(lilv_instance_get_handle(instance), storeChunk, &store, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE,
                features.data());
    return store.data;
}

LV2_State_Status Lv2Instance::restoreChunk(const std::vector<unsigned char>& chunk, LV2_URID type) {
    ChunkStore store{chunk, type};
    const LV2_State_Interface* iface = stateInterface(instance);
    if (!iface) return LV2_STATE_ERR_NO_FEATURE;
    return iface->restore(lilv_instance_get_handle(instance), retrieveChunk, &store, 0, features.data());
}

const void* Lv2Instance::portValue(const char* symbol, void* user, std::uint32_t* size, std::uint32_t* type) {
    auto* self = static_cast<Lv2Instance*>(user);
    const std::uint32_t i = self->portIndex(symbol);
    if (i == UINT32_MAX) return nullptr;
    *size = sizeof(float);
    *type = UridMap::id(LV2_ATOM__Float);
    return &self->controls[i];
}

void Lv2Instance::setPortValue(const char* symbol, void* user, const void* value, std::uint32_t size,
                               std::uint32_t type) {
    auto* self = static_cast<Lv2Instance*>(user);
    const std::uint32_t i = self->portIndex(symbol);
    if (i == UINT32_MAX || size != sizeof(float) || type != UridMap::id(LV2_ATOM__Float)) return;
    std::memcpy(&self->controls[i], value, sizeof(float));
}

LilvState* Lv2Instance::saveState() {
    return lilv_state_new_from_instance(plug, instance, &urids.mapFeatureData, nullptr, nullptr, nullptr, nullptr,
                                        portValue, this, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features.data());
}

void Lv2Instance::restoreState(const LilvState* state) {
    lilv_state_restore(state, instance, setPortValue, this, 0, features.data());
}

}  // namespace orvtest

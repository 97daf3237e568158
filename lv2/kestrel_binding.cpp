// Orv Kestrel in its LV2 binary: the port table and the compressor's gain for the meters.
#include "kestrel/kestrel.h"
#include "lv2/plugin_instance.h"

namespace orv::lv2 {

const PluginDescription& thisPlugin() { return kestrelPorts(); }

double compressorGain(AEffect* effect, int channel) {
    auto* object = static_cast<AudioEffect*>(effect->object);
    return object ? static_cast<Kestrel*>(object)->lastGain(channel) : 1.0;
}

}  // namespace orv::lv2

// Orv Borealis in its LV2 binary: the port table and the compressor's gain for the meters.
#include "borealis/borealis.h"
#include "lv2/plugin_instance.h"

namespace orv::lv2 {

const PluginDescription& thisPlugin() { return borealisPorts(); }

double compressorGain(AEffect* effect, int channel) {
    auto* object = static_cast<AudioEffect*>(effect->object);
    return object ? static_cast<Borealis*>(object)->currentGain(channel) : 1.0;
}

}  // namespace orv::lv2

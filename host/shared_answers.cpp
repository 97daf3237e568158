#include "host/shared_answers.h"

#include <cstdio>

const char kOrvVendorString[] = "Orv-tonekraft";

bool fillPinProperties(VstInt32 index, VstPinProperties* properties, bool input) {
    if (!properties || index < 0 || index > 1) return false;
    std::snprintf(properties->label, sizeof properties->label, input ? "My %1d In" : "My %1d Out",
                  static_cast<int>(index + 1));
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

ChannelRouting routingForArrangement(VstInt32 in, VstInt32 out) {
    if (in == 1 && out == 1) return {false, false, false, true};
    if (in == 1 && out == 2) return {false, false, true, true};
    if (in == 2 && out == 2) return {false, true, true, true};
    if (in == 4 && out == 2) return {true, true, true, true};
    if (in == 2 && out == 1) return {true, false, false, false};
    return {false, true, true, false};
}

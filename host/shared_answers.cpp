#include "host/shared_answers.h"

#include <cstdio>
#include <cstring>

const char kOrvVendorString[] = "Orv-tonekraft";

bool fillPinProperties(VstInt32 index, VstPinProperties* properties, bool input) {
    if (!properties || index < 0 || index > 1) return false;
    std::snprintf(properties->label, sizeof properties->label, input ? "My %1d In" : "My %1d Out",
                  static_cast<int>(index + 1));
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

void fillParameterProperties(VstParameterProperties* p, const char* name, VstInt32 flags, float step) {
    p->flags = flags;
    p->stepFloat = p->smallStepFloat = p->largeStepFloat = step;
    std::memset(p->label, 0, sizeof p->label);
    std::strncpy(p->label, name, sizeof p->label - 1);
    std::memset(p->shortLabel, 0, sizeof p->shortLabel);
    std::strncpy(p->shortLabel, name, 7);
}

ChannelRouting routingForArrangement(VstInt32 in, VstInt32 out) {
    if (in == 1 && out == 1) return {false, false, false, true};
    if (in == 1 && out == 2) return {false, false, true, true};
    if (in == 2 && out == 2) return {false, true, true, true};
    if (in == 4 && out == 2) return {true, true, true, true};
    if (in == 2 && out == 1) return {true, false, false, false};
    return {false, true, true, false};
}

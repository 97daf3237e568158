#pragma once
// Answers that both plug-ins give the host identically: pin properties and the channel routing
// chosen from a speaker arrangement.
#include "host/vst_interface.h"

// Fills the properties of main pin 0 or 1 ("My 1 In", "My 2 Out", active and stereo).
// Any other index answers false: the side-chain pins have no properties.
bool fillPinProperties(VstInt32 index, VstPinProperties* properties, bool input);

// Fills a parameter-properties record for a stepped parameter: the three float steps, the
// flags, the name as the 64-character label and its first 7 characters as the short label.
void fillParameterProperties(VstParameterProperties* properties, const char* name, VstInt32 flags, float step);

// The routing flags a speaker arrangement selects, and whether the plug-in accepts it.
struct ChannelRouting {
    bool sideChainOn;
    bool inputStereo;
    bool outputStereo;
    bool accepted;
};
ChannelRouting routingForArrangement(VstInt32 inputChannels, VstInt32 outputChannels);

// The vendor string both plug-ins report.
extern const char kOrvVendorString[];

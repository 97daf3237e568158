#pragma once
// What an LV2 host sees of one plug-in: its URIs, its ports and how each control port's value
// (in the units a user reads: dB, ms, s, Hz, %, a choice) maps to the plug-in's normalised
// parameter value and back. The same table drives the adapter at run time and the generator of
// the bundle's Turtle files, so the two cannot disagree.
#include "host/vst_interface.h"
#include "presets/preset_record.h"

#include <cstdint>

namespace orv::lv2 {

// Fixed port indices, before the parameter ports.
enum FixedPort : std::uint32_t {
    kInLeft = 0, kInRight, kKeyLeft, kKeyRight, kOutLeft, kOutRight,
    kLatency, kGainReductionLeft, kGainReductionRight,
    kFirstParameterPort,
};

enum class PortKind {
    Toggle,  // 0 or 1; a switch (on from 0.5)
    Linear,  // unit = a + b * x
    Power,   // unit = a * b^x
    Choice,  // an index into `choices` entries, each one step of the parameter
};

struct ParameterPort {
    VstInt32 index;      // the plug-in's parameter index
    const char* symbol;  // the LV2 port symbol (stable: sessions refer to it)
    PortKind kind;
    double a, b;             // Linear and Power constants
    int choices;             // Choice: number of entries
    int (*choiceOf)(float);  // Choice: the entry a normalised value selects
    const char* unit;        // LV2 unit name ("db", "ms", "s", "hz", "pc") or null
};

// The normalised value's meaning in port units (the port's value for a normalised value).
float unitValue(const ParameterPort& p, float x);
// The normalised value a port value asks for, in 0..1. A value outside the port's range is
// taken at the nearest end; NaN gives the port's lower end (the adapter ignores NaN itself).
float normalisedValue(const ParameterPort& p, float unit);
// The port's range in units.
float unitMinimum(const ParameterPort& p);
float unitMaximum(const ParameterPort& p);

struct PluginDescription {
    const char* uri;
    const char* uiUri;
    const char* bundleName;  // "OrvBorealis" for OrvBorealis.lv2
    const char* binaryName;  // file name of the shared object inside the bundle
    const ParameterPort* ports;
    int numPorts;
    const char* const* presetNames;         // the factory bank
    const FactoryPresetValues* presetValues;
};

const PluginDescription& borealisPorts();
const PluginDescription& kestrelPorts();

// The choice rules shared by both plug-ins.
int ratioStep(float x);          // 21 steps, trunc(20 x) in single precision as the engines do
int meterSourceChoice(float x);  // Pre below 0.33, GainRed below 0.66, else Post
int threeWayChoice(float x);     // trunc(2 x + 0.5): 0, 1 or 2

}  // namespace orv::lv2

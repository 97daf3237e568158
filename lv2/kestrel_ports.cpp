// Orv Kestrel as an LV2 host sees it: every named host parameter as a control port. The
// unnamed ones carry no meaning for the sound; they stay in the plug-in's state (the bank).
#include "kestrel/kestrel.h"
#include "lv2/port_table.h"

#include <cmath>

namespace orv::lv2 {

namespace {

using namespace kestrel;

const double kDbOf05 = 20.0 * std::log10(0.5);
const double kDbOf025 = 20.0 * std::log10(0.25);
const double kDbOf64 = 20.0 * std::log10(64.0);

const ParameterPort kPorts[] = {
    {kPower, "power", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kSoft, "soft_knee", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kRms, "rms", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kThreshold, "threshold", PortKind::Linear, -kDbOf05, -kDbOf64, 0, nullptr, "db"},
    {kRatio, "ratio", PortKind::Choice, 0, 0, 21, ratioStep, nullptr},
    {kAttack, "attack", PortKind::Power, 0.01, 100000.0, 0, nullptr, "ms"},
    {kRelease, "release", PortKind::Power, 0.0333, 100.0, 0, nullptr, "s"},
    {kAutoRelease, "auto_release", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kLowScf, "low_shelf", PortKind::Choice, 0, 0, 3, threeWayChoice, nullptr},
    {kHighScf, "high_shelf", PortKind::Choice, 0, 0, 3, threeWayChoice, nullptr},
    {kMakeup, "makeup", PortKind::Linear, kDbOf025, kDbOf64, 0, nullptr, "db"},
    {kAutoMakeup, "auto_makeup", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kLink, "link", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kMix, "mix", PortKind::Linear, 0.0, 100.0, 0, nullptr, "pc"},
    // The output gain as its display reads it: 18 x - 12 dB.
    {kOutput, "output", PortKind::Linear, -12.0, 18.0, 0, nullptr, "db"},
    {kMeters, "meters", PortKind::Choice, 0, 0, 3, threeWayChoice, nullptr},
    {kClassic, "classic", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kScExt, "sc_external", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kSmooth, "smooth", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kStereo, "stereo", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
};

const PluginDescription kKestrel = {
    "urn:orv-tonekraft:kestrel",
    "urn:orv-tonekraft:kestrel#ui",
    "OrvKestrel",
    "OrvKestrel_lv2.so",
    kPorts,
    static_cast<int>(sizeof(kPorts) / sizeof(kPorts[0])),
    kFactoryPresetNames,
    &kKestrelFactoryPresets,
};

}  // namespace

const PluginDescription& kestrelPorts() { return kKestrel; }

}  // namespace orv::lv2

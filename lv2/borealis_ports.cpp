// Orv Borealis as an LV2 host sees it: every host parameter as a control port.
#include "borealis/borealis.h"
#include "lv2/port_table.h"

#include <cmath>

namespace orv::lv2 {

namespace {

const double kDbOf05 = 20.0 * std::log10(0.5);
const double kDbOf025 = 20.0 * std::log10(0.25);
const double kDbOf16 = 20.0 * std::log10(16.0);
const double kDbOf64 = 20.0 * std::log10(64.0);

const ParameterPort kPorts[] = {
    {kPower, "power", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kFat, "fat", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kSoft, "soft_knee", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kRms, "rms", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kLimiter, "limiter", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    // The threshold in dB below full scale: 20 log10(1 / (0.5 * 64^x)).
    {kThreshold, "threshold", PortKind::Linear, -kDbOf05, -kDbOf64, 0, nullptr, "db"},
    {kRatio, "ratio", PortKind::Choice, 0, 0, 21, ratioStep, nullptr},
    {kAttack, "attack", PortKind::Power, 0.01, 100000.0, 0, nullptr, "ms"},
    {kAutoAttack, "auto_attack", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kRelease, "release", PortKind::Power, 0.1, 100.0, 0, nullptr, "s"},
    {kAutoRelease, "auto_release", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kMakeup, "makeup", PortKind::Linear, kDbOf025, kDbOf64, 0, nullptr, "db"},
    {kAutoMakeup, "auto_makeup", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kHighScf, "high_shelf_boost", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kHigh, "high_shelf_freq", PortKind::Power, 1000.0, 16.0, 0, nullptr, "hz"},
    {kLowScf, "low_shelf_boost", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kLow, "low_shelf_freq", PortKind::Power, 25.0, 16.0, 0, nullptr, "hz"},
    {kLinkHighCut, "link_high_cut", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kLinkLowCut, "link_low_cut", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kLink, "link", PortKind::Linear, 0.0, 100.0, 0, nullptr, "pc"},
    // Tilt towards the left (negative) or the right side-chain channel, as the display's L and R.
    {kTilt, "tilt", PortKind::Linear, -50.0, 100.0, 0, nullptr, "pc"},
    {kMix, "mix", PortKind::Linear, 0.0, 100.0, 0, nullptr, "pc"},
    {kOutput, "output", PortKind::Linear, kDbOf025, kDbOf16, 0, nullptr, "db"},
    {kMeters, "meters", PortKind::Choice, 0, 0, 3, meterSourceChoice, nullptr},
    {kClassic, "classic", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kScExt, "sc_external", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
    {kSmooth, "smooth", PortKind::Toggle, 0, 0, 0, nullptr, nullptr},
};

const PluginDescription kBorealis = {
    "urn:orv-tonekraft:borealis",
    "urn:orv-tonekraft:borealis#ui",
    "OrvBorealis",
    "OrvBorealis_lv2.so",
    kPorts,
    static_cast<int>(sizeof(kPorts) / sizeof(kPorts[0])),
    kFactoryPresetNames,
    &kBorealisFactoryPresets,
};

}  // namespace

const PluginDescription& borealisPorts() { return kBorealis; }

}  // namespace orv::lv2

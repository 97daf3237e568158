// Orv Borealis parameters: normalised values, engine values, names, displays and properties.
#include "borealis/borealis.h"
#include "borealis/format_fixed.h"
#include "host/shared_answers.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

const double kRatioTable[kNumRatios] = {
    0.5, 0.5946035575013605, 0.7071, 0.7711054127039704, 0.84, 0.9170040432046712, 1, 1.0905077326652577,
    1.2, 1.2968395546510096, 1.4, 1.681792830507429, 2, 2.378414230005442, 2.8, 3.363585661014858, 4, 5.6,
    8, 12, 64,
};
const double kSlopeTable[kNumRatios] = {
    2, 1.6817928305074292, 1.4142271248762552, 1.2968395546510096, 1.1904761904761905, 1.0905077326652577,
    1, 0.9170040432046712, 0.8333333333333334, 0.7711054127039704, 0.7142857142857143, 0.5946035575013605,
    0.5, 0.4204482076268573, 0.35714285714285715, 0.29730177875068026, 0.25, 0.17857142857142858, 0.125,
    0.08333333333333333, 0.015625,
};

namespace {

const char* const kParamNames[kNumParamSlots] = {
    " Power ", " FAT ", " Soft ", " RMS ", " Limiter ", " Threshold ", " Ratio ", " Attack ", "AutoAttck",
    " Release ", " AutoRel ", " Makeup ", "AutoMakeup", " HighSCF ", " High ", " LowSCF ", " Low ",
    "LnkHighCut", "LnkLowCut", " Link", " Tilt ", " Mix ", " Output ", " Meters ", " Classic ", "S.C.Ext",
    "Smooth", " - ", " - ", " - ", " - ", " - ", " - ", " - ", " - ", "S.C.Monit", " VU Integr ",
    " VU Refer ", " PPM Integr ", " PPM Return ", " OverIndic ",
};

int roundedSwitch(double x) { return static_cast<int>(x + 0.5); }

// Writes a number through formatFixed followed by its unit.
void numberWithUnit(char* text, double value, int decimals, const char* unit) {
    char number[16];
    formatFixed(value, decimals, number);
    std::snprintf(text, 24, "%s%s", number, unit);
}

bool isSwitchIndex(VstInt32 i) {
    switch (i) {
        case kPower: case kFat: case kSoft: case kRms: case kLimiter: case kAutoAttack: case kAutoRelease:
        case kAutoMakeup: case kHighScf: case kLowScf: case kLinkHighCut: case kLinkLowCut: case kClassic:
        case kScExt: case kSmooth: case kScMonit:
            return true;
        default:
            return false;
    }
}

}  // namespace

void Borealis::setParameter(VstInt32 index, float value) {
    meterSettingChanges.noteSet(index);
    // A host may send anything; the engine only ever sees a value in 0..1.
    double x = limitNormalized(value);
    if (index >= 0 && index < kNumParamSlots && index != kUnused) {
        normalized[index] = x;
        applySwitchOrValue(requested, normalized, index);
        x = normalized[index];  // OverIndic keeps its quantised value
        shownNormalized[index].store(x, std::memory_order_relaxed);
        // The processing takes the value over at its next block boundary.
        parameterHandover.publish(index, x);
    }
    recordParameterChange(index, static_cast<float>(x));
}

void Borealis::takeOverSettings(bool glide) {
    ParameterHandover::Taken taken;
    if (!parameterHandover.take(taken)) return;
    const BorealisSettings before = engine;
    for (VstInt32 index = 0; index < kNumParamSlots; ++index) {
        if (!(taken.changed & (std::uint64_t{1} << index))) continue;
        liveNormalized[index] = taken.values[index];
        applySwitchOrValue(engine, liveNormalized, index);
    }
    recomputeDerived(taken.changed, before);
    // A whole preset or bank meets a running envelope and running gains: carry them over, so
    // the level goes from the old settings' to the new ones' in one glide.
    const bool restarted = engine.fat != before.fat || engine.smooth != before.smooth;
    if (glide && taken.wholeSet && kernel) kernel->carryAcrossChange(before, engine, restarted);
}

void Borealis::applySwitchOrValue(BorealisSettings& s, double* x, VstInt32 index) {
    const double v = x[index];
    switch (index) {
        case kPower: s.powerOn = roundedSwitch(v); break;
        case kFat: s.fat = roundedSwitch(v); break;
        case kSoft: s.softKnee = roundedSwitch(v); break;
        case kRms: s.rmsMode = roundedSwitch(v); break;
        case kLimiter: s.limiter = roundedSwitch(v); break;
        case kThreshold:
            s.thresholdFactor = 0.5 * std::pow(64.0, v);
            s.thresholdFactorInverse = 1.0 / s.thresholdFactor;
            break;
        case kRatio: {
            // In single precision, as the host's value is: 0.95 selects step 19.
            int i = static_cast<int>(20.0f * static_cast<float>(v));
            s.ratioIndex = i > 20 ? 20 : i;
            s.ratio = kRatioTable[s.ratioIndex];
            s.slope = kSlopeTable[s.ratioIndex];
            applyTilt(s, x);  // the tilt direction depends on the ratio index
            break;
        }
        case kAttack: s.attackMs = 0.01 * std::pow(100000.0, v); break;
        case kAutoAttack: s.autoAttack = roundedSwitch(v); break;
        case kRelease: s.releaseMs = 100.0 * std::pow(100.0, v); break;
        case kAutoRelease: s.autoRelease = roundedSwitch(v); break;
        case kMakeup: s.makeupGain = 0.25 * std::pow(64.0, v); break;
        case kAutoMakeup: s.autoMakeup = roundedSwitch(v); break;
        case kHighScf: s.highShelfBoost = roundedSwitch(v); break;
        case kHigh: s.highShelfFreq = 1000.0 * std::pow(16.0, v); break;
        case kLowScf: s.lowShelfBoost = roundedSwitch(v); break;
        case kLow: s.lowShelfFreq = 25.0 * std::pow(16.0, v); break;
        case kLinkHighCut: s.linkHighCut = roundedSwitch(v); break;
        case kLinkLowCut: s.linkLowCut = roundedSwitch(v); break;
        case kLink: s.link = std::pow(v, 1.4); break;
        case kTilt: applyTilt(s, x); break;
        case kMix: s.mix = v; break;
        case kOutput: s.outputGain = 0.25 * std::pow(16.0, v); break;
        case kMeters: s.meterSource = v; break;
        case kClassic: s.classic = roundedSwitch(v); break;
        case kScExt: s.sideChainExternal = roundedSwitch(v); break;
        case kSmooth: s.smooth = roundedSwitch(v); break;
        case kScMonit: s.sideChainMonitor = roundedSwitch(v); break;
        case kVuIntegr: s.vuIntegrationMs = 30.0 * std::pow(100.0, v); break;
        case kVuRefer:
            s.vuReference = std::pow(0.06125, 1.0 - v);
            s.vuReferenceInverse = 1.0 / s.vuReference;
            break;
        case kPpmIntegr:
            s.ppmIntegrationMs = std::pow(101.0, v) - 1.0;
            s.ppmRatio = static_cast<float>(s.ppmIntegrationMs / s.ppmReturnMs);
            break;
        case kPpmReturn:
            s.ppmReturnMs = 100.0 * std::pow(100.0, v);
            s.ppmRatio = static_cast<float>(s.ppmIntegrationMs / s.ppmReturnMs);
            break;
        case kOverIndic: {
            double q = static_cast<int>(9.0 * v + 0.5) / 9.0;
            x[kOverIndic] = static_cast<float>(q);
            s.overCount = 9.0 * q + 1.0;
            break;
        }
        default: break;  // spare values are stored only
    }
}

// Coefficients, filters and delay geometry that depend on the changed parameters; runs where
// the processing cannot be in the middle of a block. Every value that was set is designed
// again, whether or not it differs from the last one, so the processing always runs on the
// current parameters. FAT and Smooth restart the delay chain, and the link switches the link
// filters' history, only when they really change: a preset that repeats the current values
// must not cut the audio.
void Borealis::recomputeDerived(std::uint64_t changed, const BorealisSettings& before) {
    if (!kernel) return;
    const BorealisSettings& s = engine;
    auto any = [changed](std::initializer_list<VstInt32> indices) {
        for (VstInt32 i : indices)
            if (changed & (std::uint64_t{1} << i)) return true;
        return false;
    };
    const bool fatChanged = s.fat != before.fat;
    if (fatChanged || s.smooth != before.smooth) kernel->rebuildDelays(s);
    if (fatChanged) kernel->updateLevelFilters(s);
    if (any({kFat, kRms, kAttack})) kernel->updateAttack(s);
    if (any({kFat, kRms, kRelease})) kernel->updateRelease(s);
    if (any({kThreshold, kRatio})) kernel->updateCurve(s);
    if (any({kHighScf, kHigh})) kernel->updateHighShelf(s);
    if (any({kLowScf, kLow})) kernel->updateLowShelf(s);
    if (any({kLinkHighCut, kLinkLowCut})) kernel->updateLinkFilters(s);
}

void Borealis::applyTilt(BorealisSettings& s, const double* x) {
    const double t = x[kTilt];
    const double a = 0.5 * std::pow(4.0, 1.0 - t);
    const double b = 0.5 * std::pow(4.0, t);
    const bool expanding = s.ratioIndex < 6;
    s.tiltLeft = expanding ? a : b;
    s.tiltRight = expanding ? b : a;
}

// What one index gives, from the value last set for it alone: getParameter, the displays and
// the editor read nothing else, so they may run while another thread sets parameters.
BorealisSettings Borealis::shownSettings(VstInt32 index, double& x) const {
    double values[kNumParamSlots] = {};
    values[index] = x = shownNormalized[index].load(std::memory_order_relaxed);
    BorealisSettings s;
    applySwitchOrValue(s, values, index);
    return s;
}

float Borealis::getParameter(VstInt32 index) {
    if (index < 0 || index >= kNumParamSlots || index == kUnused) return 0.0f;
    return static_cast<float>(shownNormalized[index].load(std::memory_order_relaxed));
}

void Borealis::getParameterName(VstInt32 index, char* text) {
    if (!text) return;
    const char* name = (index >= 0 && index < kNumParamSlots) ? kParamNames[index] : " - ";
    std::strcpy(text, name);
}

void Borealis::getParameterDisplay(VstInt32 index, char* text) {
    if (!text) return;
    text[0] = 0;
    if (index < 0 || index >= kNumParamSlots) return;
    double x;
    const BorealisSettings s = shownSettings(index, x);
    auto onOff = [&](int on) { std::strcpy(text, on ? " On " : " Off "); };
    switch (index) {
        case kPower: onOff(x >= 0.5); break;
        case kFat: onOff(s.fat); break;
        case kSoft: onOff(s.softKnee); break;
        case kRms: onOff(s.rmsMode); break;
        case kLimiter: onOff(s.limiter); break;
        case kAutoAttack: onOff(s.autoAttack); break;
        case kAutoRelease: onOff(s.autoRelease); break;
        case kClassic: onOff(s.classic); break;
        case kSmooth: onOff(s.smooth != 0.0); break;
        case kThreshold: numberWithUnit(text, 20.0 * std::log10(s.thresholdFactorInverse), 2, "dB"); break;
        case kRatio: numberWithUnit(text, static_cast<float>(s.ratio), 2, " : 1"); break;
        case kAttack: numberWithUnit(text, s.attackMs, 2, "ms"); break;
        case kRelease: numberWithUnit(text, s.releaseMs / 1000.0, 1, "s"); break;
        case kMakeup: numberWithUnit(text, 20.0 * std::log10(s.makeupGain), 2, "dB"); break;
        case kAutoMakeup: std::strcpy(text, s.autoMakeup != 0.0 ? " AutoMakeup " : " Off "); break;
        case kHighScf: std::strcpy(text, s.highShelfBoost != 0.0 ? " HighBoost " : " HighCut "); break;
        case kHigh: numberWithUnit(text, s.highShelfFreq / 1000.0, 2, "kHz"); break;
        case kLowScf: std::strcpy(text, s.lowShelfBoost != 0.0 ? " LowBoost " : " LowCut "); break;
        case kLow: numberWithUnit(text, s.lowShelfFreq, 0, "Hz"); break;
        case kLinkHighCut: std::strcpy(text, s.linkHighCut != 0.0 ? " HighCut " : " Off "); break;
        case kLinkLowCut: std::strcpy(text, s.linkLowCut != 0.0 ? " LowCut " : " Off "); break;
        case kLink: numberWithUnit(text, 100.0 * x, 0, "%"); break;
        case kTilt:
            if (x > 0.51)
                numberWithUnit(text, 100.0 * (x - 0.5), 0, "R");
            else if (x < 0.49)
                numberWithUnit(text, 100.0 * (0.5 - x), 0, "L");
            else
                std::strcpy(text, "C");
            break;
        case kMix: numberWithUnit(text, 100.0 * x, 0, "%"); break;
        case kOutput: numberWithUnit(text, 20.0 * std::log10(s.outputGain), 2, "dB"); break;
        case kMeters: std::strcpy(text, x < 0.33 ? " Pre " : x < 0.66 ? " GainRed " : " Post "); break;
        case kScExt: std::strcpy(text, s.sideChainExternal ? "S.C.Ext" : " Off "); break;
        case kScMonit: std::strcpy(text, s.sideChainMonitor ? "S.C.Monit" : " Off     "); break;
        case kVuIntegr: numberWithUnit(text, s.vuIntegrationMs, 1, "ms"); break;
        case kVuRefer: numberWithUnit(text, 20.0 * std::log10(s.vuReference), 2, "dBFS"); break;
        case kPpmIntegr: numberWithUnit(text, s.ppmIntegrationMs, 1, "ms"); break;
        case kPpmReturn: numberWithUnit(text, s.ppmReturnMs, 0, "ms"); break;
        case kOverIndic: numberWithUnit(text, s.overCount, 0, "smps"); break;
        default: break;  // spare and unused slots show nothing
    }
}

bool Borealis::getParameterProperties(VstInt32 index, VstParameterProperties* p) {
    if (!p) return false;
    if (isSwitchIndex(index))
        fillParameterProperties(p, kParamNames[index], kVstParameterIsSwitch | kVstParameterUsesFloatStep, 1.0f);
    else if (index == kMeters)
        fillParameterProperties(p, kParamNames[index], kVstParameterUsesFloatStep, 0.5f);
    else
        return false;
    return true;
}

float Borealis::getUnitValue(VstInt32 index) {
    if (index < 0 || index >= kNumParamSlots) return 0.0f;
    double x;
    const BorealisSettings s = shownSettings(index, x);
    switch (index) {
        case kFat: return static_cast<float>(s.fat);
        case kSoft: return static_cast<float>(s.softKnee);
        case kRms: return static_cast<float>(s.rmsMode);
        case kLimiter: return static_cast<float>(s.limiter);
        case kThreshold: return static_cast<float>(6.0 - 36.0 * x);
        case kRatio: return static_cast<float>(s.ratio);
        case kAttack: return static_cast<float>(0.01 * std::pow(100000.0, x));
        case kAutoAttack: return static_cast<float>(s.autoAttack);
        case kRelease: return static_cast<float>(100.0 * std::pow(100.0, x));
        case kAutoRelease: return static_cast<float>(s.autoRelease);
        case kMakeup: return static_cast<float>(36.0 * x - 12.0);
        case kAutoMakeup: return static_cast<float>(s.autoMakeup);
        case kHighScf: return static_cast<float>(s.highShelfBoost);
        case kHigh: return static_cast<float>(s.highShelfFreq);
        case kLowScf: return static_cast<float>(s.lowShelfBoost);
        case kLow: return static_cast<float>(s.lowShelfFreq);
        case kLinkHighCut: return static_cast<float>(s.linkHighCut);
        case kLinkLowCut: return static_cast<float>(s.linkLowCut);
        case kLink: return static_cast<float>(100.0 * x);
        case kTilt: return static_cast<float>(100.0 * (x - 0.5));
        case kMix: return static_cast<float>(100.0 * x);
        case kOutput: return static_cast<float>(24.0 * (x - 0.5));
        case kClassic: return static_cast<float>(s.classic);
        case kScExt: return static_cast<float>(s.sideChainExternal);
        case kScMonit: return static_cast<float>(s.sideChainMonitor);
        case kVuIntegr: return static_cast<float>(s.vuIntegrationMs);
        case kVuRefer: return static_cast<float>(s.vuReference);
        case kPpmIntegr: return static_cast<float>(s.ppmIntegrationMs);
        case kPpmReturn: return static_cast<float>(s.ppmReturnMs);
        case kOverIndic: return static_cast<float>(s.overCount);
        default: return 0.0f;
    }
}

// Orv Kestrel parameters: normalised values, engine values, names, displays and properties.
#include "borealis/format_fixed.h"
#include "host/shared_answers.h"
#include "kestrel/kestrel.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

using namespace kestrel;
using orv::dsp::Biquad;

namespace {

constexpr int kNumRatios = 21;
const double kRatios[kNumRatios] = {
    0.5, 0.5946035575013605, 0.7071, 0.7711054127039704, 0.84, 0.9170040432046712, 1, 1.0905077326652577,
    1.2, 1.2968395546510096, 1.4, 1.681792830507429, 2, 2.378414230005442, 2.8, 3.363585661014858, 4, 5.6,
    8, 12, 64,
};
const double kRatioInverses[kNumRatios] = {
    2, 1.6817928305074292, 1.4142271248762552, 1.2968395546510096, 1.1904761904761905, 1.0905077326652577,
    1, 0.9170040432046712, 0.8333333333333334, 0.7711054127039704, 0.7142857142857143, 0.5946035575013605,
    0.5, 0.4204482076268573, 0.35714285714285715, 0.29730177875068026, 0.25, 0.17857142857142858, 0.125,
    0.08333333333333333, 0.015625,
};

const char* const kParamNames[kNumParamSlots] = {
    " Power ", " - ", " Soft ", " RMS ", " - ", "Threshold ", "Ratio ", " - ", "Attack ", " - ", "Release ",
    "AutoRel ", " LowSCF ", " - ", " HighSCF ", " - ", "Makeup ", "AutoMakeup", " - ", " - ", " Link", " - ",
    "Mix ", "Output ", "Meters ", "Classic ", "S.C.Ext", "Smooth", "Stereo", " - ", " - ", " - ", " - ", " - ",
    " - ", "S.C.Monit", "VU Integr ", "VU Refer ", "PPM Integr ", "PPM Return ", "OverIndic ",
};

int roundedSwitch(double x) { return static_cast<int>(x + 0.5); }

void numberWithUnit(char* text, double value, int decimals, const char* unit) {
    char number[16];
    formatFixed(value, decimals, number);
    std::snprintf(text, 24, "%s%s", number, unit);
}

bool isSwitchIndex(VstInt32 i) {
    return (i >= kPower && i <= kHidden4) || i == kAutoRelease || (i >= kAutoMakeup && i <= kLink) ||
           (i >= kClassic && i <= kStereo) || i == kScMonit;
}

double attackMs(double x) { return 0.01 * std::pow(100000.0, x); }
double releaseSeconds(double x) { return 0.0333 * std::pow(100.0, x); }

}  // namespace

void Kestrel::setParameter(VstInt32 index, float value) {
    meterSettingChanges.noteSet(index);
    // A host may send anything; the engine only ever sees a value in 0..1.
    double x = limitNormalized(value);
    if (index >= 0 && index < kNumParamSlots && index != kUnused) {
        // Most values are kept in single precision, as the host sees them; Smooth and the
        // ballistics settings keep the double.
        const bool keepsDouble = index == kSmooth || (index >= kVuIntegr && index <= kPpmReturn);
        normalized[index] = keepsDouble ? x : static_cast<double>(static_cast<float>(x));
        applyValue(requested, normalized, index);
        x = normalized[index];  // OverIndic keeps its quantised value
        shownNormalized[index].store(x, std::memory_order_relaxed);
        // The processing takes the value over at its next block boundary.
        parameterHandover.publish(index, x);
        if (index == kRatio) setParameter(kBalance, static_cast<float>(normalized[kBalance]));
    }
    recordParameterChange(index, static_cast<float>(x));
}

void Kestrel::takeOverSettings(bool glide) {
    ParameterHandover::Taken taken;
    if (!parameterHandover.take(taken)) return;
    const KestrelSettings before = engine;
    // In ascending order, as a program is applied: a frequency follows its shelf mode.
    for (VstInt32 index = 0; index < kNumParamSlots; ++index) {
        if (!(taken.changed & (std::uint64_t{1} << index))) continue;
        liveNormalized[index] = taken.values[index];
        applyValue(engine, liveNormalized, index);
        applyToProcessing(index);
    }
    if (glide && taken.wholeSet) carryAcrossChange(before);
}

void Kestrel::applyValue(KestrelSettings& s, double* x, VstInt32 index) {
    const double v = x[index];
    switch (index) {
        case kPower: s.powerOn = roundedSwitch(v); break;
        case kSoft: s.softKnee = roundedSwitch(v); break;
        case kRms: s.rmsMode = roundedSwitch(v); break;
        case kHidden4: s.hidden4 = roundedSwitch(v); break;
        case kThreshold: {
            s.thresholdGain = 0.5 * std::pow(64.0, v);
            s.thresholdLevel = 1.0 / s.thresholdGain;
            const double t = 0.55 * s.thresholdGain;
            s.autoMakeupFactor = std::pow(t / std::pow(t, s.ratioInverse), 0.8);
            break;
        }
        case kRatio: {
            // In single precision, as the host's value is: 0.95 selects step 19.
            int i = static_cast<int>(20.0f * static_cast<float>(v));
            s.ratioIndex = i > 20 ? 20 : i;
            s.ratio = kRatios[s.ratioIndex];
            s.ratioInverse = kRatioInverses[s.ratioIndex];
            const double t = 0.55 * s.thresholdGain;
            s.autoMakeupFactor = std::pow(t / std::pow(t, s.ratioInverse), 0.8);
            s.knee = orv::dsp::kneePointsForSlope(s.ratioInverse);
            break;
        }
        case kAutoRelease: s.autoRelease = roundedSwitch(v); break;
        case kLowScf: s.lowShelfMode = static_cast<int>(2.0 * v + 0.5); break;
        case kLowFreq: s.lowShelfFreq = 25.0 * std::pow(16.0, v); break;
        case kHighScf: s.highShelfMode = static_cast<int>(2.0 * v + 0.5); break;
        case kHighFreq: s.highShelfFreq = 1000.0 * std::pow(16.0, v); break;
        case kMakeup: s.makeupGain = 0.25 * std::pow(64.0, v); break;
        case kAutoMakeup: s.autoMakeup = roundedSwitch(v); break;
        case kHidden18: s.hidden18 = roundedSwitch(v); break;
        case kHidden19: s.hidden19 = roundedSwitch(v); break;
        case kLink: s.link = roundedSwitch(v); break;
        case kMix: s.mix = v; break;
        case kOutput: s.outputGain = 0.25 * std::pow(8.0, v); break;
        case kMeters: s.meters = v; break;
        case kClassic: s.classic = roundedSwitch(v); break;
        case kScExt: s.sideChainExternal = roundedSwitch(v); break;
        case kSmooth: s.smooth = roundedSwitch(v); break;
        case kStereo: s.stereo = roundedSwitch(v); break;
        case kScMonit: s.sideChainMonitor = roundedSwitch(v); break;
        case kVuIntegr: s.meter.vuIntegrationMs = 30.0 * std::pow(100.0, v); break;
        case kVuRefer:
            s.vuReference = std::pow(0.06125, 1.0 - v);
            s.meter.vuReferenceInverse = 1.0 / s.vuReference;
            break;
        case kPpmIntegr:
            s.meter.ppmIntegrationMs = std::pow(101.0, v) - 1.0;
            s.ppmRatio = static_cast<float>(s.meter.ppmIntegrationMs / s.meter.ppmReturnMs);
            break;
        case kPpmReturn:
            s.meter.ppmReturnMs = 100.0 * std::pow(100.0, v);
            s.ppmRatio = static_cast<float>(s.meter.ppmIntegrationMs / s.meter.ppmReturnMs);
            break;
        case kOverIndic: {
            const double q = static_cast<int>(9.0 * v + 0.5) / 9.0;
            x[kOverIndic] = static_cast<float>(q);
            s.meter.overCount = 9.0 * q + 1.0;
            break;
        }
        default: break;  // the remaining values are stored only
    }
}

void Kestrel::applyToProcessing(VstInt32 index) {
    if (!kernel) return;  // construction failed: nothing processes
    const KestrelSettings& s = engine;
    switch (index) {
        case kReset: {
            // Brings the processing to the current rate. Filters, Hilbert table and delay lines
            // restart only where the rate really differs from the one they run at: replaying a
            // program or a bank must not cut the sound.
            kernel->setFilterRate(sampleRate, true);
            for (Biquad& f : spare)
                if (f.sampleRate() != static_cast<double>(sampleRate)) f.setRate(sampleRate);
            computeHilbert();
            updateAttack();
            updateRelease();
            break;
        }
        case kRms:
            updateAttack();
            updateRelease();
            break;
        case kAttack: updateAttack(); break;
        case kRelease: updateRelease(); break;
        case kLowScf: applyLowShelfMode(false); break;
        case kLowFreq:
            kernel->lowShelf().setFrequency(0.7 * s.lowShelfFreq);
            break;
        case kHighScf: applyHighShelfMode(false); break;
        case kHighFreq:
            kernel->highShelf().setFrequency(1.375 * s.highShelfFreq);
            break;
        case kVuIntegr: meterFeeds.setVuIntegration(s.meter.vuIntegrationMs); break;
        default: break;
    }
}

namespace {
// Where the makeup glide starts after a change: within 36 dB of its target, however many
// changes follow one another before it arrives (a NaN starts at the target).
double matchedMakeup(double start, double target) {
    if (!(start >= target / 64.0)) return start != start ? target : target / 64.0;
    return start > target * 64.0 ? target * 64.0 : start;
}
}  // namespace

void Kestrel::carryAcrossChange(const KestrelSettings& before) {
    if (!kernel) return;
    const KestrelSettings& now = engine;
    // The detector reads level * thresholdGain + 0.005; the envelope follows it, squared in RMS.
    constexpr double kOffset = 0.005, kFloor = 0.0001, kCeiling = 1e6;
    const double scale = before.thresholdGain > 0.0 ? now.thresholdGain / before.thresholdGain : 1.0;
    const double oldMakeup = before.autoMakeup != 0.0 ? before.autoMakeupFactor : 1.0;
    const double newMakeup = now.autoMakeup != 0.0 ? now.autoMakeupFactor : 1.0;
    const int channels = now.stereo ? 2 : 1;
    kestrel::Kernel::Followers& f = kernel->followers();
    double ratio = 1.0;
    // Both envelopes, also the one Mono leaves idle, so that it too matches the settings.
    for (int c = 0; c < 2; ++c) {
        const double level = before.rmsMode ? std::sqrt(f.envelope[c]) : f.envelope[c];
        double carried = (level - kOffset) * scale + kOffset;
        if (!(carried >= kFloor)) carried = kFloor;
        if (carried > kCeiling) carried = kCeiling;
        double env = now.rmsMode ? carried * carried : carried;
        if (!(env >= kFloor)) env = kFloor;
        f.envelope[c] = env;
        const double newLevel = now.rmsMode ? std::sqrt(env) : env;
        const double from = f.gain[c] * oldMakeup;
        const double to = orv::dsp::kneeGain(newLevel, now.ratioInverse, now.knee, now.softKnee != 0) * newMakeup;
        if (c < channels && from > 0.0 && to > 0.0) ratio *= from / to;
    }
    // One makeup glide serves both channels: match the geometric mean of their steps.
    ratio = channels == 2 ? std::sqrt(ratio) : ratio;
    f.makeup = matchedMakeup(f.makeup * ratio, now.makeupGain);
}

// The shelves the two mode switches select. A resume uses a table of its own with different gains.
void Kestrel::applyLowShelfMode(bool fromResume) {
    if (!kernel) return;
    double f, q, g;
    switch (engine.lowShelfMode) {
        case 2: f = 150.0, q = 0.35, g = -9.0; break;
        case 1: f = 100.0, q = 0.7, g = 0.0; break;
        default: f = 110.0, q = 1.0, g = fromResume ? 12.0 : 9.0; break;
    }
    orv::dsp::BiquadPair& b = kernel->lowShelf();
    b.setFrequency(f);
    b.setQ(q);
    b.setGain(g);
}

void Kestrel::applyHighShelfMode(bool fromResume) {
    if (!kernel) return;
    double f, q, g;
    switch (engine.highShelfMode) {
        case 2: f = 6000.0, q = 0.35, g = fromResume ? -9.0 : -6.0; break;
        case 1: f = 6000.0, q = 0.7, g = 0.0; break;
        default: f = 4500.0, q = 1.2, g = fromResume ? 20.0 : 12.0; break;
    }
    orv::dsp::BiquadPair& b = kernel->highShelf();
    b.setFrequency(f);
    b.setQ(q);
    b.setGain(g);
}

// The coefficients the processing uses, from the values it has taken over.
void Kestrel::updateAttack() {
    const double f = engine.rmsMode ? 0.0025 : 0.05;
    engine.attackCoeff = 1.0 - std::pow(f, 1.0 / (attackMs(liveNormalized[kAttack]) * 0.001 * sampleRate));
}

void Kestrel::updateRelease() {
    const double f = engine.rmsMode ? 0.0025 : 0.05;
    engine.releaseCoeff = 1.0 - std::pow(f, 1.0 / (releaseSeconds(liveNormalized[kRelease]) * sampleRate));
}

// What one index gives, from the value last set for it alone: getParameter, the displays and
// the editor read nothing else, so they may run while another thread sets parameters.
KestrelSettings Kestrel::shownSettings(VstInt32 index, double& x) const {
    double values[kNumParamSlots] = {};
    values[index] = x = shownNormalized[index].load(std::memory_order_relaxed);
    KestrelSettings s;
    applyValue(s, values, index);
    return s;
}

float Kestrel::getParameter(VstInt32 index) {
    if (index < 0 || index >= kNumParamSlots || index == kUnused) return 0.0f;
    return static_cast<float>(shownNormalized[index].load(std::memory_order_relaxed));
}

void Kestrel::getParameterName(VstInt32 index, char* text) {
    if (!text) return;
    std::strcpy(text, (index >= 0 && index < kNumParamSlots) ? kParamNames[index] : " - ");
}

void Kestrel::getParameterDisplay(VstInt32 index, char* text) {
    if (!text) return;
    text[0] = 0;
    if (index < 0 || index >= kNumParamSlots) return;
    double x;
    const KestrelSettings s = shownSettings(index, x);
    auto choose = [&](bool on, const char* yes, const char* no) { std::strcpy(text, on ? yes : no); };
    static const char* const kLowModes[3] = {"LoCut", "LoFlat", "LoBoost"};
    static const char* const kHighModes[3] = {"HiCut", "HiFlat", "HiBoost"};
    switch (index) {
        case kPower: choose(x >= 0.5, "On", "Off"); break;
        case kSoft: choose(s.softKnee, "Soft", "Hard"); break;
        case kRms: choose(s.rmsMode, "RMS", "Peak"); break;
        case kThreshold: numberWithUnit(text, 20.0 * std::log10(1.0 / s.thresholdGain), 2, "dB"); break;
        case kRatio: numberWithUnit(text, static_cast<float>(s.ratio), 2, " : 1"); break;
        case kAttack: numberWithUnit(text, attackMs(x), 2, "ms"); break;
        case kRelease: numberWithUnit(text, releaseSeconds(x), 2, "s"); break;
        case kAutoRelease: choose(s.autoRelease, "On", "Off"); break;
        case kLowScf: std::strcpy(text, kLowModes[s.lowShelfMode > 2 ? 2 : s.lowShelfMode]); break;
        case kHighScf: std::strcpy(text, kHighModes[s.highShelfMode > 2 ? 2 : s.highShelfMode]); break;
        case kMakeup: numberWithUnit(text, 20.0 * std::log10(s.makeupGain), 2, "dB"); break;
        case kAutoMakeup: choose(s.autoMakeup != 0.0, "AutoMakeup", "Off"); break;
        case kLink: choose(s.link != 0.0, "Linked", "Off"); break;
        case kMix: numberWithUnit(text, 100.0 * x, 0, "%"); break;
        case kOutput: numberWithUnit(text, 18.0 * x - 12.0, 2, "dB"); break;
        case kMeters: std::strcpy(text, x < 0.33 ? "Pre" : x < 0.66 ? "GainRed" : "Post"); break;
        case kScExt: choose(s.sideChainExternal, "S.C.Ext", "Off"); break;
        case kSmooth: choose(s.smooth != 0.0, "Smooth", "Draft"); break;
        case kStereo: choose(s.stereo, "Stereo", "Mono"); break;
        case kScMonit: choose(s.sideChainMonitor, "S.C.Monit", "Off"); break;
        case kVuIntegr: numberWithUnit(text, s.meter.vuIntegrationMs, 1, "ms"); break;
        case kVuRefer: numberWithUnit(text, 20.0 * std::log10(s.vuReference), 2, "dBFS"); break;
        case kPpmIntegr: numberWithUnit(text, s.meter.ppmIntegrationMs, 1, "ms"); break;
        case kPpmReturn: numberWithUnit(text, s.meter.ppmReturnMs, 0, "ms"); break;
        case kOverIndic: numberWithUnit(text, s.meter.overCount, 0, "smps"); break;
        default: break;  // Classic and the stored-only values show nothing
    }
}

bool Kestrel::getParameterProperties(VstInt32 index, VstParameterProperties* p) {
    if (!p || index < 0 || index >= kNumParamSlots) return false;
    if (isSwitchIndex(index))
        fillParameterProperties(p, kParamNames[index], kVstParameterIsSwitch | kVstParameterUsesFloatStep, 1.0f);
    else if (index == kLowScf || index == kHighScf || index == kMeters)
        fillParameterProperties(p, kParamNames[index], kVstParameterUsesFloatStep, 0.5f);
    else
        return false;
    return true;
}

float Kestrel::getUnitValue(VstInt32 index) {
    if (index < 0 || index >= kNumParamSlots) return 0.0f;
    double x;
    const KestrelSettings s = shownSettings(index, x);
    switch (index) {
        case kReset: return 0.0f;
        case kSoft: return static_cast<float>(s.softKnee);
        case kRms: return static_cast<float>(s.rmsMode);
        case kHidden4: return static_cast<float>(s.hidden4);
        case kThreshold: return static_cast<float>(6.0 - 36.0 * x);
        case kRatio: return static_cast<float>(s.ratio);
        case kAttack: return static_cast<float>(attackMs(x));
        case kRelease: return static_cast<float>(33.3333 * std::pow(100.0, x));
        case kAutoRelease: return static_cast<float>(s.autoRelease);
        case kLowScf: return static_cast<float>(s.lowShelfMode);
        case kLowFreq: return static_cast<float>(25.0 * std::pow(16.0, x));
        case kHighScf: return static_cast<float>(s.highShelfMode);
        case kHighFreq: return static_cast<float>(1000.0 * std::pow(16.0, x));
        case kMakeup: return static_cast<float>(36.0 * x - 12.0);
        case kAutoMakeup: return static_cast<float>(s.autoMakeup);
        case kHidden18: return static_cast<float>(s.hidden18);
        case kHidden19: return static_cast<float>(s.hidden19);
        case kLink: return static_cast<float>(s.link);
        case kBalance: return static_cast<float>(100.0 * (x - 0.5));
        case kMix: return static_cast<float>(100.0 * x);
        case kOutput: return static_cast<float>(18.0 * x - 12.0);
        case kClassic: return static_cast<float>(s.classic);
        case kScExt: return static_cast<float>(s.sideChainExternal);
        case kStereo: return static_cast<float>(s.stereo);
        case kScMonit: return static_cast<float>(s.sideChainMonitor);
        case kVuIntegr: return static_cast<float>(s.meter.vuIntegrationMs);
        case kVuRefer: return static_cast<float>(s.vuReference);
        case kPpmIntegr: return static_cast<float>(s.meter.ppmIntegrationMs);
        case kPpmReturn: return static_cast<float>(s.meter.ppmReturnMs);
        case kOverIndic: return static_cast<float>(s.meter.overCount);
        default: return 0.0f;
    }
}

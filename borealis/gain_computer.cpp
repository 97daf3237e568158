#include "borealis/gain_computer.h"

#include "borealis/filter_restart.h"

#include <cmath>

namespace borealis {

using orv::dsp::BiquadType;

namespace {
// The envelope follows the detector value (peak) or its square (RMS); the settling target is
// squared for RMS so that both settle to 5 % on the level scale in the set time.
double settlingTarget(const BorealisSettings& s) { return s.rmsMode ? 0.0025 : 0.05; }

double coefficientFor(double samples, double target) {
    if (samples < 1e-9) return 1.0;
    return 1.0 - std::pow(target, 1.0 / samples);
}

}  // namespace

GainComputer::GainComputer() {
    fast_.create(44100.0, BiquadType::Lowpass, 200.0, 0.5, 0.0);
    slow_.create(44100.0, BiquadType::Lowpass, 20.0, 0.5, 0.0);
    classicTable_[0] = 0.0f;
    for (int i = 1; i < kClassicTableSize; ++i) classicTable_[i] = static_cast<float>(std::pow(i, 0.05));
    for (int i = 0; i < kClassicTableSize; ++i) {
        classicPower_[i] = 0.0;
        classicPowerOf_[i] = -1.0;  // no release coefficient is negative: every entry starts unset
    }
}

void GainComputer::updateAttack(const BorealisSettings& s, double rate) {
    attack_ = coefficientFor(s.attackMs * 0.001 * rate, settlingTarget(s));
}

void GainComputer::updateRelease(const BorealisSettings& s, double rate) {
    release_ = coefficientFor(s.releaseMs * 0.001 * rate, settlingTarget(s));
}

void GainComputer::updateCurve(const BorealisSettings& s) {
    knee_ = orv::dsp::kneePointsForSlope(s.slope);
    makeup_ = automaticMakeupFor(s);
}

double GainComputer::automaticMakeupFor(const BorealisSettings& s) {
    return std::pow(0.55 * s.thresholdFactor, 0.8 * (1.0 - s.slope));
}

void GainComputer::carryEnvelopes(const BorealisSettings& before, const BorealisSettings& now, double gains[2]) {
    // The detector reads level * thresholdFactor + 0.005; the envelope follows it, squared in RMS.
    constexpr double kOffset = 0.005;
    const double scale = before.thresholdFactor > 0.0 ? now.thresholdFactor / before.thresholdFactor : 1.0;
    for (int c = 0; c < 2; ++c) {
        const double level = before.rmsMode ? std::sqrt(envelope_[c]) : envelope_[c];
        double carried = (level - kOffset) * scale + kOffset;
        if (!(carried >= kEnvelopeFloor)) carried = kEnvelopeFloor;
        if (carried > 1e6) carried = 1e6;
        double env = now.rmsMode ? carried * carried : carried;
        if (!(env >= kEnvelopeFloor)) env = kEnvelopeFloor;
        envelope_[c] = env;
        const double newLevel = now.rmsMode ? std::sqrt(env) : env;
        gains[c] = orv::dsp::kneeGain(newLevel, now.slope, knee_, now.softKnee != 0);
    }
}

void GainComputer::setLevelFilterRate(double rate) {
    fast_.create(rate, BiquadType::Lowpass, 200.0, 0.5, 0.0);
    slow_.create(rate, BiquadType::Lowpass, 20.0, 0.5, 0.0);
    restartFilter(fast_);
    restartFilter(slow_);
}

void GainComputer::reset() {
    envelope_[0] = envelope_[1] = kEnvelopeFloor;
    restartFilter(fast_);
    restartFilter(slow_);
}

}  // namespace borealis

#pragma once
// The envelope follower and static curve of Orv Borealis: per channel, the detector value
// (1.0 = at the threshold) becomes a linear gain factor.
#include "borealis/borealis_settings.h"
#include "borealis/dsp/biquad.h"
#include "borealis/dsp/knee_curve.h"

#include <cmath>

namespace borealis {

class GainComputer {
public:
    static constexpr double kEnvelopeFloor = 0.0001;
    static constexpr int kClassicTableSize = 1000;

    GainComputer();

    // Time constants for the gain-stage rate (host rate, doubled with FAT).
    void updateAttack(const BorealisSettings& s, double gainStageRate);
    void updateRelease(const BorealisSettings& s, double gainStageRate);
    // Knee points and automatic makeup from the threshold and ratio.
    void updateCurve(const BorealisSettings& s);
    // The four level filters at the gain-stage rate, histories cleared.
    void setLevelFilterRate(double gainStageRate);
    // Envelopes to rest, level filter histories cleared.
    void reset();

    // One gain-stage sample of both channels. With `tabulated` the Classic exponent comes from
    // the table (normal and FAT kernels); otherwise it is computed with the power function.
    template <bool Tabulated>
    void computeGains(double detectorL, double detectorR, const BorealisSettings& s, double& gainL, double& gainR);
    // `count` gain-stage samples, exactly as that many computeGains calls: gainL[i], gainR[i]
    // for detectorL[i], detectorR[i], with the filters and envelopes kept in registers meanwhile.
    // With `Wide` (the wide code path) the level filters fuse their products into their sums.
    // With `LastOnly` (on the wide path, for a caller that reads only the last gain of each
    // pair) only gainL[count - 1] and gainR[count - 1] are written; the envelopes run as ever.
    template <bool Tabulated, bool Wide = false, bool LastOnly = false>
    void computeGainsBlock(const double* detectorL, const double* detectorR, int count, const BorealisSettings& s,
                           double* gainL, double* gainR);

    // New settings replace `before` while the sound runs: each envelope is moved to what the
    // same key level reads with the new threshold and detection (peak or RMS); `gains` receives
    // the gain factor the new curve gives for it. Call after updateCurve for `now`.
    void carryEnvelopes(const BorealisSettings& before, const BorealisSettings& now, double gains[2]);
    // Attack and release coefficients for a while (updateAttack and updateRelease restore them).
    void overrideTimes(double attack, double release) {
        attack_ = attack;
        release_ = release;
    }
    // The automatic makeup of a threshold and ratio.
    static double automaticMakeupFor(const BorealisSettings& s);

    double automaticMakeup() const { return makeup_; }
    double attackCoefficient() const { return attack_; }
    double releaseCoefficient() const { return release_; }
    double envelope(int channel) const { return envelope_[channel]; }
    float classicExponent(int index) const { return classicTable_[index]; }
    // The Classic release step factor for a table index: the release coefficient raised to
    // the tabulated exponent, exactly std::pow(release, exponent).
    inline double classicReleasePower(int index, double release);

private:
#if defined(ORV_BIQUAD_FUSED)
    // The wide code path's envelopes and curve (not Classic) over `count` (left, right) pairs of
    // detector values and level filter outputs: each envelope step is one fused multiply-add.
    template <bool kProgram, bool kRms, bool kLastOnly>
    __attribute__((target("avx2,fma"))) void envelopeGainsFused(const double* d, const double* fastPairs,
                                                                const double* slowPairs, int count,
                                                                const BorealisSettings& s, double* outL,
                                                                double* outR);
#endif
    // Envelope and curve of one channel, after its level filters.
    template <bool Tabulated>
    double channelGain(int channel, double detector, double fast, double slow, const BorealisSettings& s);

    double envelope_[2] = {kEnvelopeFloor, kEnvelopeFloor};
    // The level filters of both channels always share their settings.
    orv::dsp::BiquadPair fast_;
    orv::dsp::BiquadPair slow_;
    double attack_ = 0.0;
    double release_ = 0.0;
    double makeup_ = 1.0;
    orv::dsp::KneePoints knee_ = orv::dsp::kneePointsForSlope(1.0);
    float classicTable_[kClassicTableSize];
    // release^classicTable_[i], kept with the release coefficient it was computed for: an entry
    // is computed on its first use after each change of Release (the powers in use change
    // slowly, so a whole-table refill per change would mostly be wasted work).
    double classicPower_[kClassicTableSize];
    double classicPowerOf_[kClassicTableSize];
};

inline double GainComputer::classicReleasePower(int index, double release) {
    if (classicPowerOf_[index] != release) {
        classicPower_[index] = std::pow(release, static_cast<double>(classicTable_[index]));
        classicPowerOf_[index] = release;
    }
    return classicPower_[index];
}

}  // namespace borealis

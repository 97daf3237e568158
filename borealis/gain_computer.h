#pragma once
// The envelope follower and static curve of Orv Borealis: per channel, the detector value
// (1.0 = at the threshold) becomes a linear gain factor.
#include "borealis/borealis_settings.h"
#include "borealis/dsp/biquad.h"
#include "borealis/dsp/knee_curve.h"

#include <cmath>

namespace borealis {

// Where Classic's release exponent comes from: its table, or the power function.
enum class ClassicExponent { Tabulated, Computed };
// Which gains a block writes: every one, or only the last (for a caller that reads no other).
enum class GainsWritten { Every, LastOnly };

class GainComputer {
public:
    static constexpr double kEnvelopeFloor = 0.0001;
    // The level filters' outputs are kept above this before their ratio is taken.
    static constexpr double kLevelFloor = 1e-6;
    // The program factors' ratio scales: the fast over the slow level times these.
    static constexpr double kAttackProgramScale = 0.1;
    static constexpr double kReleaseProgramScale = 0.15;
    // Classic releases towards a floor of the detector value (RMS and peak).
    static constexpr double kClassicFloorRms = 0.5;
    static constexpr double kClassicFloorPeak = 0.4;
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

    // `count` gain-stage samples of both channels: gainL[i], gainR[i] for detectorL[i],
    // detectorR[i], with the filters and envelopes kept in registers meanwhile. E: where the
    // Classic exponent comes from (the table in the normal and FAT kernels). With
    // GainsWritten::LastOnly only gainL[count - 1] and gainR[count - 1] are written; the
    // envelopes run as ever. A: the instruction set of the code path (simd.h).
    template <ClassicExponent E, class A, GainsWritten W = GainsWritten::Every>
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
    // The envelopes and curve over `count` (left, right) pairs of detector values and level
    // filter outputs.
    template <ClassicExponent E, class A, bool kProgram, GainsWritten W>
    void envelopeGains(const double* d, const double* fastPairs, const double* slowPairs, int count,
                       const BorealisSettings& s, double* outL, double* outR);
    // The Classic release step factor of one channel: the release coefficient raised to an
    // exponent that follows the fast level filter.
    template <ClassicExponent E>
    double classicPower(double fast);

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


template <ClassicExponent E>
inline double GainComputer::classicPower(double fast) {
    if constexpr (E == ClassicExponent::Tabulated) {
        const float quotient = static_cast<float>((fast + 3.0) / (1.2 * fast));
        int index = static_cast<int>(quotient + 0.5f);
        if (index < 0) index = 0;
        if (index > kClassicTableSize - 1) index = kClassicTableSize - 1;
        return classicReleasePower(index, release_);
    } else {
        return std::pow(release_, std::pow((fast + 3.0) / (1.2 * fast), 0.05));
    }
}

// The envelope follower, both channels side by side. A rising detector value takes the attack
// coefficient, any other the release one, each scaled by its program factor 2r / (r + 1) + 0.1
// (r the fast level over the slow one, times 0.1 for the attack and 0.15 for the release) when
// AutoAttck / AutoRel is on. Classic releases towards a raised floor with a coefficient that
// follows the fast level filter. The envelope never falls below kEnvelopeFloor; its level (its
// square root in RMS) goes through the curve.
template <ClassicExponent E, class A, bool kProgram, GainsWritten W>
void GainComputer::envelopeGains(const double* d, const double* fastPairs, const double* slowPairs, int count,
                                 const BorealisSettings& s, double* outL, double* outR) {
    using Pair = orv::simd::Doubles<A, 2>;
    const bool soft = s.softKnee != 0, rms = s.rmsMode != 0, classic = s.classic != 0;
    const Pair one = Pair::splat(1.0), two = Pair::splat(2.0), tenth = Pair::splat(0.1);
    const Pair levelFloor = Pair::splat(kLevelFloor), envelopeFloor = Pair::splat(kEnvelopeFloor);
    const Pair attack = Pair::splat(attack_), release = Pair::splat(release_);
    const Pair attackScale = Pair::splat(kAttackProgramScale), releaseScale = Pair::splat(kReleaseProgramScale);
    const double classicFloor = rms ? kClassicFloorRms : kClassicFloorPeak;
    const Pair targetScale = Pair::splat(1.0 - classicFloor), targetFloor = Pair::splat(classicFloor);
    auto program = [&](Pair scale, Pair fast, Pair slow, bool on) {
        if (!on) return one;
        const Pair ratio = scale * fast / slow;
        return two * ratio / (ratio + one) + tenth;
    };
    Pair env = Pair::load(envelope_);
    for (int i = 0; i < count; ++i) {
        const Pair dv = Pair::load(d + 2 * i);
        // max(x, floor) is "x > floor ? x : floor": a NaN gives the floor.
        const Pair fast = max(Pair::load(fastPairs + 2 * i), levelFloor);
        Pair attackFactor = one, releaseFactor = one;
        if constexpr (kProgram) {
            const Pair slow = max(Pair::load(slowPairs + 2 * i), levelFloor);
            attackFactor = program(attackScale, fast, slow, s.autoAttack != 0);
            releaseFactor = program(releaseScale, fast, slow, s.autoRelease != 0);
        }
        const Pair rising = greater(dv, env);
        const Pair diff = dv - env;
        if (!classic) {
            const Pair coefficient = select(rising, attack, release);
            if constexpr (kProgram)
                env = mulAdd(diff * coefficient, select(rising, attackFactor, releaseFactor), env);
            else
                env = mulAdd(diff, coefficient, env);
        } else {
            const Pair attacked = kProgram ? mulAdd(diff * attack, attackFactor, env) : mulAdd(diff, attack, env);
            env = select(rising, attacked, env);
            const Pair target = mulAdd(targetScale, dv, targetFloor);
            const Pair power = Pair::of(classicPower<E>(fast.lane0()), classicPower<E>(fast.lane1()));
            if constexpr (kProgram)
                env = mulAdd((target - env) * power, releaseFactor, env);
            else
                env = mulAdd(target - env, power, env);
        }
        env = max(env, envelopeFloor);
        if (W == GainsWritten::LastOnly && i + 1 < count) continue;
        const Pair gain = orv::dsp::kneeGainPair(rms ? sqrt(env) : env, s.slope, knee_, soft);
        gain.scatter(outL + i, outR + i);
    }
    env.store(envelope_);
}

template <ClassicExponent E, class A, GainsWritten W>
void GainComputer::computeGainsBlock(const double* detL, const double* detR, int count, const BorealisSettings& s,
                                     double* gainL, double* gainR) {
    const bool rms = s.rmsMode != 0;
    const bool program = s.autoAttack != 0 || s.autoRelease != 0;
    constexpr int kPart = 128;
    for (int done = 0; done < count; done += kPart) {
        const int part = count - done < kPart ? count - done : kPart;
        // (left, right) pairs side by side: the detector values and their two level filters,
        // both filters in one pass.
        alignas(32) double d[2 * kPart], fastPairs[2 * kPart], slowPairs[2 * kPart];
        for (int i = 0; i < part; ++i) {
            const double l = detL[done + i], r = detR[done + i];
            d[2 * i] = fastPairs[2 * i] = rms ? l * l : l;
            d[2 * i + 1] = fastPairs[2 * i + 1] = rms ? r * r : r;
        }
        orv::dsp::BiquadPair::processPlainPairsBoth<A>(fast_, slow_, fastPairs, slowPairs, part);
        double* const outL = gainL + done;
        double* const outR = gainR + done;
        // Parts before the last write every gain (only one part is needed in the kernels).
        const bool last = W == GainsWritten::LastOnly && done + part == count;
        constexpr GainsWritten kEvery = GainsWritten::Every, kLast = GainsWritten::LastOnly;
        if (program) {
            if (last)
                envelopeGains<E, A, true, kLast>(d, fastPairs, slowPairs, part, s, outL, outR);
            else
                envelopeGains<E, A, true, kEvery>(d, fastPairs, slowPairs, part, s, outL, outR);
        } else {
            if (last)
                envelopeGains<E, A, false, kLast>(d, fastPairs, slowPairs, part, s, outL, outR);
            else
                envelopeGains<E, A, false, kEvery>(d, fastPairs, slowPairs, part, s, outL, outR);
        }
    }
}

}  // namespace borealis

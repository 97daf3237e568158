#include "borealis/gain_computer.h"

#include "borealis/filter_restart.h"

#include <cmath>
#include <emmintrin.h>

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

double programFactor(double ratio) { return 2.0 * ratio / (ratio + 1.0) + 0.1; }
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

template <bool Tabulated>
void GainComputer::computeGains(double dL, double dR, const BorealisSettings& s, double& gainL, double& gainR) {
    if (s.rmsMode) {
        dL *= dL;
        dR *= dR;
    }
    double fasts[2] = {dL, dR}, slows[2] = {dL, dR};
    fast_.processPlain(fasts[0], fasts[1]);
    slow_.processPlain(slows[0], slows[1]);
    if (!s.classic) {
        // The envelopes of both channels side by side in SSE2 lanes: the same operations in
        // the same order as channelGain, with both ways of the attack/release choice computed
        // and the lane's own picked, so each lane gets exactly channelGain's value.
        const __m128d one = _mm_set1_pd(1.0);
        const __m128d floor6 = _mm_set1_pd(1e-6);
        const __m128d d = _mm_set_pd(dR, dL);
        // max(x, floor) is "x > floor ? x : floor": a NaN gives the floor.
        const __m128d fast = _mm_max_pd(_mm_set_pd(fasts[1], fasts[0]), floor6);
        const __m128d slow = _mm_max_pd(_mm_set_pd(slows[1], slows[0]), floor6);
        auto program = [&](double scale) {
            const __m128d ratio = _mm_div_pd(_mm_mul_pd(_mm_set1_pd(scale), fast), slow);
            return _mm_add_pd(_mm_div_pd(_mm_mul_pd(_mm_set1_pd(2.0), ratio), _mm_add_pd(ratio, one)),
                              _mm_set1_pd(0.1));
        };
        const __m128d attackFactor = s.autoAttack ? program(0.1) : one;
        const __m128d releaseFactor = s.autoRelease ? program(0.15) : one;
        __m128d env = _mm_loadu_pd(envelope_);
        const __m128d diff = _mm_sub_pd(d, env);
        const __m128d up = _mm_mul_pd(_mm_mul_pd(diff, _mm_set1_pd(attack_)), attackFactor);
        const __m128d down = _mm_mul_pd(_mm_mul_pd(diff, _mm_set1_pd(release_)), releaseFactor);
        const __m128d rising = _mm_cmpgt_pd(d, env);
        env = _mm_add_pd(env, _mm_or_pd(_mm_and_pd(rising, up), _mm_andnot_pd(rising, down)));
        env = _mm_max_pd(env, _mm_set1_pd(kEnvelopeFloor));
        _mm_storeu_pd(envelope_, env);
        double level[2];
        _mm_storeu_pd(level, s.rmsMode ? _mm_sqrt_pd(env) : env);
        const bool soft = s.softKnee != 0;
        gainL = orv::dsp::kneeGain(level[0], s.slope, knee_, soft);
        gainR = orv::dsp::kneeGain(level[1], s.slope, knee_, soft);
        return;
    }
    gainL = channelGain<Tabulated>(0, dL, fasts[0], slows[0], s);
    gainR = channelGain<Tabulated>(1, dR, fasts[1], slows[1], s);
}

template <bool Tabulated, bool Wide, bool LastOnly>
void GainComputer::computeGainsBlock(const double* detL, const double* detR, int count, const BorealisSettings& s,
                                     double* gainL, double* gainR) {
    const bool rms = s.rmsMode != 0, soft = s.softKnee != 0;
    const bool autoAttack = s.autoAttack != 0, autoRelease = s.autoRelease != 0;
    const double slope = s.slope;
    constexpr int kPart = 128;
    for (int done = 0; done < count; done += kPart) {
        const int part = count - done < kPart ? count - done : kPart;
        // (left, right) pairs side by side: the detector values and their two level filters.
        alignas(16) double d[2 * kPart], fastPairs[2 * kPart], slowPairs[2 * kPart];
#if defined(ORV_BIQUAD_FUSED)
        if constexpr (Wide) {
            // Both level filters side by side in one register.
            for (int i = 0; i < part; ++i) {
                const double l = detL[done + i], r = detR[done + i];
                d[2 * i] = fastPairs[2 * i] = rms ? l * l : l;
                d[2 * i + 1] = fastPairs[2 * i + 1] = rms ? r * r : r;
            }
            orv::dsp::BiquadPair::processPlainPairsFusedBoth(fast_, slow_, fastPairs, slowPairs, part);
        } else
#endif
        {
            for (int i = 0; i < part; ++i) {
                const double l = detL[done + i], r = detR[done + i];
                d[2 * i] = fastPairs[2 * i] = slowPairs[2 * i] = rms ? l * l : l;
                d[2 * i + 1] = fastPairs[2 * i + 1] = slowPairs[2 * i + 1] = rms ? r * r : r;
            }
            fast_.processPlainPairs(fastPairs, part);
            slow_.processPlainPairs(slowPairs, part);
        }
        double* const outL = gainL + done;
        double* const outR = gainR + done;
        if (s.classic) {
            for (int i = 0; i < part; ++i) {
                outL[i] = channelGain<Tabulated>(0, d[2 * i], fastPairs[2 * i], slowPairs[2 * i], s);
                outR[i] = channelGain<Tabulated>(1, d[2 * i + 1], fastPairs[2 * i + 1], slowPairs[2 * i + 1], s);
            }
            continue;
        }
#if defined(ORV_BIQUAD_FUSED)
        if constexpr (Wide) {
            const bool program = autoAttack || autoRelease;
            if (program && rms)
                envelopeGainsFused<true, true, LastOnly>(d, fastPairs, slowPairs, part, s, outL, outR);
            else if (program)
                envelopeGainsFused<true, false, LastOnly>(d, fastPairs, slowPairs, part, s, outL, outR);
            else if (rms)
                envelopeGainsFused<false, true, LastOnly>(d, fastPairs, slowPairs, part, s, outL, outR);
            else
                envelopeGainsFused<false, false, LastOnly>(d, fastPairs, slowPairs, part, s, outL, outR);
            continue;
        }
#endif
        // The operations of computeGains, lane for lane.
        const __m128d one = _mm_set1_pd(1.0), two = _mm_set1_pd(2.0), tenth = _mm_set1_pd(0.1);
        const __m128d floor6 = _mm_set1_pd(1e-6), envelopeFloor = _mm_set1_pd(kEnvelopeFloor);
        const __m128d attack = _mm_set1_pd(attack_), release = _mm_set1_pd(release_);
        const __m128d attackScale = _mm_set1_pd(0.1), releaseScale = _mm_set1_pd(0.15);
        __m128d env = _mm_loadu_pd(envelope_);
        for (int i = 0; i < part; ++i) {
            const __m128d dv = _mm_load_pd(d + 2 * i);
            const __m128d fast = _mm_max_pd(_mm_load_pd(fastPairs + 2 * i), floor6);
            const __m128d slow = _mm_max_pd(_mm_load_pd(slowPairs + 2 * i), floor6);
            auto program = [&](__m128d scale) {
                const __m128d ratio = _mm_div_pd(_mm_mul_pd(scale, fast), slow);
                return _mm_add_pd(_mm_div_pd(_mm_mul_pd(two, ratio), _mm_add_pd(ratio, one)), tenth);
            };
            const __m128d attackFactor = autoAttack ? program(attackScale) : one;
            const __m128d releaseFactor = autoRelease ? program(releaseScale) : one;
            const __m128d diff = _mm_sub_pd(dv, env);
            const __m128d up = _mm_mul_pd(_mm_mul_pd(diff, attack), attackFactor);
            const __m128d down = _mm_mul_pd(_mm_mul_pd(diff, release), releaseFactor);
            const __m128d rising = _mm_cmpgt_pd(dv, env);
            env = _mm_add_pd(env, _mm_or_pd(_mm_and_pd(rising, up), _mm_andnot_pd(rising, down)));
            env = _mm_max_pd(env, envelopeFloor);
            const __m128d level = rms ? _mm_sqrt_pd(env) : env;
            const __m128d gain = orv::dsp::kneeGainPair(level, slope, knee_, soft);
            outL[i] = _mm_cvtsd_f64(gain);
            outR[i] = _mm_cvtsd_f64(_mm_unpackhi_pd(gain, gain));
        }
        _mm_storeu_pd(envelope_, env);
    }
}

#if defined(ORV_BIQUAD_FUSED)
template <bool kProgram, bool kRms, bool kLastOnly>
void GainComputer::envelopeGainsFused(const double* d, const double* fastPairs, const double* slowPairs, int count,
                                      const BorealisSettings& s, double* outL, double* outR) {
    const bool soft = s.softKnee != 0;
    const double slope = s.slope;
    const __m128d one = _mm_set1_pd(1.0), two = _mm_set1_pd(2.0), tenth = _mm_set1_pd(0.1);
    const __m128d floor6 = _mm_set1_pd(1e-6), envelopeFloor = _mm_set1_pd(kEnvelopeFloor);
    const __m128d attack = _mm_set1_pd(attack_), release = _mm_set1_pd(release_);
    // The program factors scale the coefficients (1 while their switch is off).
    const __m128d attackScale = _mm_set1_pd(s.autoAttack ? 0.1 : 0.0);
    const __m128d releaseScale = _mm_set1_pd(s.autoRelease ? 0.15 : 0.0);
    const __m128d attackOn = _mm_castsi128_pd(_mm_set1_epi64x(s.autoAttack ? -1 : 0));
    const __m128d releaseOn = _mm_castsi128_pd(_mm_set1_epi64x(s.autoRelease ? -1 : 0));
    __m128d env = _mm_loadu_pd(envelope_);
    for (int i = 0; i < count; ++i) {
        const __m128d dv = _mm_load_pd(d + 2 * i);
        const __m128d rising = _mm_cmpgt_pd(dv, env);
        __m128d coefficient;
        if constexpr (kProgram) {
            const __m128d fast = _mm_max_pd(_mm_load_pd(fastPairs + 2 * i), floor6);
            const __m128d slow = _mm_max_pd(_mm_load_pd(slowPairs + 2 * i), floor6);
// (A macro: a lambda would not inherit the function's target.)
#define ORV_PROGRAM(scale)                                                                           \
    _mm_add_pd(_mm_div_pd(_mm_mul_pd(two, _mm_div_pd(_mm_mul_pd(scale, fast), slow)),                  \
                          _mm_add_pd(_mm_div_pd(_mm_mul_pd(scale, fast), slow), one)),                 \
               tenth)
            const __m128d attackFactor = _mm_blendv_pd(one, ORV_PROGRAM(attackScale), attackOn);
            const __m128d releaseFactor = _mm_blendv_pd(one, ORV_PROGRAM(releaseScale), releaseOn);
#undef ORV_PROGRAM
            coefficient = _mm_blendv_pd(_mm_mul_pd(release, releaseFactor), _mm_mul_pd(attack, attackFactor), rising);
        } else {
            coefficient = _mm_blendv_pd(release, attack, rising);
        }
        env = _mm_max_pd(_mm_fmadd_pd(_mm_sub_pd(dv, env), coefficient, env), envelopeFloor);
        if (kLastOnly && i + 1 < count) continue;
        const __m128d gain = orv::dsp::kneeGainPair(kRms ? _mm_sqrt_pd(env) : env, slope, knee_, soft);
        _mm_storel_pd(outL + i, gain);
        _mm_storeh_pd(outR + i, gain);
    }
    _mm_storeu_pd(envelope_, env);
}
#endif

template <bool Tabulated>
inline double GainComputer::channelGain(int ch, double d, double fast, double slow, const BorealisSettings& s) {
    // Written so that a NaN gives the floor: the comparison fails.
    fast = fast > 1e-6 ? fast : 1e-6;
    slow = slow > 1e-6 ? slow : 1e-6;

    double env = envelope_[ch];
    const double attackFactor = s.autoAttack ? programFactor(0.1 * fast / slow) : 1.0;
    const double releaseFactor = s.autoRelease ? programFactor(0.15 * fast / slow) : 1.0;
    if (!s.classic) {
        if (d > env)
            env += (d - env) * attack_ * attackFactor;
        else
            env += (d - env) * release_ * releaseFactor;
    } else {
        if (d > env) env += (d - env) * attack_ * attackFactor;
        const double floor = s.rmsMode ? 0.5 : 0.4;
        const double target = (1.0 - floor) * d + floor;
        double power;
        if (Tabulated) {
            const float quotient = static_cast<float>((fast + 3.0) / (1.2 * fast));
            int index = static_cast<int>(quotient + 0.5f);
            if (index < 0) index = 0;
            if (index > kClassicTableSize - 1) index = kClassicTableSize - 1;
            power = classicReleasePower(index, release_);
        } else {
            power = std::pow(release_, std::pow((fast + 3.0) / (1.2 * fast), 0.05));
        }
        env += (target - env) * power * releaseFactor;
    }
    env = env > kEnvelopeFloor ? env : kEnvelopeFloor;
    envelope_[ch] = env;

    const double level = s.rmsMode ? std::sqrt(env) : env;
    return orv::dsp::kneeGain(level, s.slope, knee_, s.softKnee != 0);
}

template void GainComputer::computeGains<true>(double, double, const BorealisSettings&, double&, double&);
template void GainComputer::computeGains<false>(double, double, const BorealisSettings&, double&, double&);
template void GainComputer::computeGainsBlock<true, false, false>(const double*, const double*, int,
                                                                  const BorealisSettings&, double*, double*);
template void GainComputer::computeGainsBlock<false, false, false>(const double*, const double*, int,
                                                                   const BorealisSettings&, double*, double*);
template void GainComputer::computeGainsBlock<true, true, false>(const double*, const double*, int,
                                                                 const BorealisSettings&, double*, double*);
template void GainComputer::computeGainsBlock<false, true, false>(const double*, const double*, int,
                                                                  const BorealisSettings&, double*, double*);
template void GainComputer::computeGainsBlock<false, true, true>(const double*, const double*, int,
                                                                 const BorealisSettings&, double*, double*);

}  // namespace borealis

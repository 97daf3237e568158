#include "kestrel/kestrel_meters.h"

#include <cmath>
#include <emmintrin.h>
#if ORV_HAS_WIDE_PATH
#include <immintrin.h>
#endif

namespace kestrel {

using orv::dsp::Biquad;
using orv::dsp::BiquadType;

Meters::Meters() {
    vu_.create(44100.0, BiquadType::Lowpass, 2.0, 0.583, 0.0);
}

void Meters::beginBlock(MeterSource source, const MeterSettings& s, double rate, bool expansion, bool powerOff) {
    source_ = source;
    // While processing, Pre and GainRed ballistics are calibrated for twice the host rate.
    const double r = (powerOff || source == MeterSource::Post) ? rate : 2.0 * rate;
    ballistics_.update(r, s.vuIntegrationMs, s.ppmIntegrationMs, s.ppmReturnMs);
    cVu_ = ballistics_.vu();
    cInt_ = ballistics_.integration();
    cRet_ = ballistics_.ret();
    referenceInverse_ = s.vuReferenceInverse;
    overLimit_ = static_cast<int>(s.overCount);
    expansion_ = expansion;
}

void Meters::levelCommon(Channel& c, double a, double noise) {
    c.ppm += (a - c.ppm) * (a <= c.ppm ? cRet_ : cInt_) + noise;
    if (a >= 1.0)
        ++c.overCount;
    else if (c.overCount < overLimit_)
        c.overCount = 0;  // a count that reached the limit waits for the latch
    if (c.ppm > c.ppmHold) {
        c.ppmHold = c.ppm;
        c.ppmHoldAge = 0;
    }
    if (c.vu > c.vuHold) {
        c.vuHold = c.vu;
        c.vuHoldAge = 0;
    }
}

void Meters::gainCommon(Channel& c, double m, double noise) {
    if (expansion_)
        c.ppm += (m - c.ppm) * (m <= c.ppm ? cRet_ : cInt_) + noise;
    else
        c.ppm += (m - c.ppm) * (c.ppm <= m ? cRet_ : cInt_) + noise;
    // A deeper reduction lowers the hold at once; a rise above unity raises it.
    auto hold = [](double value, double& held, int& age) {
        if ((value > 1.0 && value > held) || (value < held && value > 0.01)) {
            held = value;
            age = 0;
        }
    };
    hold(c.vu, c.vuHold, c.vuHoldAge);
    hold(c.ppm, c.ppmHold, c.ppmHoldAge);
}

void Meters::feedLevel(double left, double right, double noise) {
    const double k = 1.4142136 * 1.096 * referenceInverse_;
    const double a = std::fabs(left), b = std::fabs(right);
    double vL = a * k, vR = b * k;
    vu_.processPlain(vL, vR);
    ch_[0].vu = vL;
    ch_[1].vu = vR;
    levelCommon(ch_[0], a, noise);
    levelCommon(ch_[1], b, noise);
}

void Meters::feedGain(double left, double right, double noise) {
    double vL = left, vR = right;
    vu_.processPlain(vL, vR);
    ch_[0].vu = vL;
    ch_[1].vu = vR;
    gainCommon(ch_[0], left, noise);
    gainCommon(ch_[1], right, noise);
}

// The chunk feeds run both channels side by side in SSE2 lanes (left low, right high): per lane
// the operations of the single-frame feeds, in the same order. A hold age only ever returns to 0
// inside a chunk, so it is cleared once after the chunk when any frame of it moved the hold.
namespace {
inline __m128d pair(double left, double right) { return _mm_set_pd(right, left); }
inline __m128d select(__m128d mask, __m128d yes, __m128d no) {
    return _mm_or_pd(_mm_and_pd(mask, yes), _mm_andnot_pd(mask, no));
}
inline double lane(__m128d v, int i) { return i ? _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)) : _mm_cvtsd_f64(v); }
// The hold of a gain meter: taken over when the value rises above unity and above the hold, or
// falls below the hold while above the floor. "Above unity and above the hold" is "above the
// larger of both"; maxpd gives its second operand, the hold, when either is a NaN, and nothing
// is above a NaN, just as neither comparison holds for it.
inline void holdGain(__m128d value, __m128d& held, __m128d& moved, __m128d unity, __m128d floor) {
    const __m128d rise = _mm_cmpgt_pd(value, _mm_max_pd(unity, held));
    const __m128d fall = _mm_and_pd(_mm_cmplt_pd(value, held), _mm_cmpgt_pd(value, floor));
    const __m128d take = _mm_or_pd(rise, fall);
    held = select(take, value, held);
    moved = _mm_or_pd(moved, take);
}
}  // namespace

// Processing runs the VU through the ballistics low-pass, power off through the one-pole follower.
template <bool kPowerOff>
double Meters::levelChunk(const double* left, const double* right, const double* noise, int noiseStride, int n) {
    const double k = kPowerOff ? 1.096 * 1.4142136 * referenceInverse_ : 1.4142136 * 1.096 * referenceInverse_;
    const __m128d cInt = _mm_set1_pd(cInt_), cRet = _mm_set1_pd(cRet_), cVu = _mm_set1_pd(cVu_);
    const __m128d kk = _mm_set1_pd(k);
    const int overLimit = overLimit_;
    orv::dsp::BiquadPair f = vu_;
    __m128d vu = pair(ch_[0].vu, ch_[1].vu), ppm = pair(ch_[0].ppm, ch_[1].ppm);
    __m128d vuHold = pair(ch_[0].vuHold, ch_[1].vuHold), ppmHold = pair(ch_[0].ppmHold, ch_[1].ppmHold);
    __m128d vuMoved = _mm_setzero_pd(), ppmMoved = _mm_setzero_pd();
    int overL = ch_[0].overCount, overR = ch_[1].overCount;
    const __m128d sign = _mm_set1_pd(-0.0);
    __m128d nz = _mm_set1_pd(*noise);
    for (int i = 0; i < n; ++i) {
        const double aL = std::fabs(left[i]), aR = std::fabs(right[i]);
        const __m128d a = pair(aL, aR);
        nz = kPowerOff ? _mm_xor_pd(nz, sign) : _mm_set1_pd(noise[i * noiseStride]);
        if (kPowerOff) {
            vu = _mm_add_pd(vu, _mm_add_pd(_mm_mul_pd(_mm_sub_pd(_mm_mul_pd(a, kk), vu), cVu), nz));
        } else {
            double vL = aL * k, vR = aR * k;
            f.processPlain(vL, vR);
            vu = pair(vL, vR);
        }
        const __m128d c = select(_mm_cmple_pd(a, ppm), cRet, cInt);
        ppm = _mm_add_pd(ppm, _mm_add_pd(_mm_mul_pd(_mm_sub_pd(a, ppm), c), nz));
        if (aL >= 1.0)
            ++overL;
        else if (overL < overLimit)
            overL = 0;  // a count that reached the limit waits for the latch
        if (aR >= 1.0)
            ++overR;
        else if (overR < overLimit)
            overR = 0;
        ppmMoved = _mm_or_pd(ppmMoved, _mm_cmpgt_pd(ppm, ppmHold));
        ppmHold = _mm_max_pd(ppm, ppmHold);
        vuMoved = _mm_or_pd(vuMoved, _mm_cmpgt_pd(vu, vuHold));
        vuHold = _mm_max_pd(vu, vuHold);
    }
    if (!kPowerOff) vu_ = f;
    const int vuBits = _mm_movemask_pd(vuMoved), ppmBits = _mm_movemask_pd(ppmMoved);
    for (int c = 0; c < 2; ++c) {
        Channel& ch = ch_[c];
        if (kPowerOff || n > 0) ch.vu = lane(vu, c);
        ch.ppm = lane(ppm, c);
        ch.vuHold = lane(vuHold, c);
        ch.ppmHold = lane(ppmHold, c);
        if (vuBits & (1 << c)) ch.vuHoldAge = 0;
        if (ppmBits & (1 << c)) ch.ppmHoldAge = 0;
    }
    ch_[0].overCount = overL;
    ch_[1].overCount = overR;
    return _mm_cvtsd_f64(nz);
}

void Meters::feedLevelChunk(const double* left, const double* right, const double* noise, int noiseStride, int n) {
    levelChunk<false>(left, right, noise, noiseStride, n);
}

double Meters::feedLevelPowerOffChunk(const double* left, const double* right, double noise, int n) {
    return levelChunk<true>(left, right, &noise, 0, n);
}

// A deeper reduction lowers a hold at once; a rise above unity raises it.
template <bool kExpansion>
void Meters::gainChunk(const double* left, const double* right, const double* noise, int n) {
    const __m128d cInt = _mm_set1_pd(cInt_), cRet = _mm_set1_pd(cRet_);
    const __m128d unity = _mm_set1_pd(1.0), floor = _mm_set1_pd(0.01);
    orv::dsp::BiquadPair f = vu_;
    __m128d vu = pair(ch_[0].vu, ch_[1].vu), ppm = pair(ch_[0].ppm, ch_[1].ppm);
    __m128d vuHold = pair(ch_[0].vuHold, ch_[1].vuHold), ppmHold = pair(ch_[0].ppmHold, ch_[1].ppmHold);
    __m128d vuMoved = _mm_setzero_pd(), ppmMoved = _mm_setzero_pd();
    auto hold = [&](__m128d value, __m128d& held, __m128d& moved) { holdGain(value, held, moved, unity, floor); };
    for (int i = 0; i < n; ++i) {
        double vL = left[i], vR = right[i];
        const __m128d m = pair(vL, vR);
        f.processPlain(vL, vR);
        vu = pair(vL, vR);
        const __m128d returning = kExpansion ? _mm_cmple_pd(m, ppm) : _mm_cmple_pd(ppm, m);
        const __m128d c = select(returning, cRet, cInt);
        ppm = _mm_add_pd(ppm, _mm_add_pd(_mm_mul_pd(_mm_sub_pd(m, ppm), c), _mm_set1_pd(noise[i])));
        hold(vu, vuHold, vuMoved);
        hold(ppm, ppmHold, ppmMoved);
    }
    vu_ = f;
    const int vuBits = _mm_movemask_pd(vuMoved), ppmBits = _mm_movemask_pd(ppmMoved);
    for (int c = 0; c < 2; ++c) {
        Channel& ch = ch_[c];
        if (n > 0) ch.vu = lane(vu, c);
        ch.ppm = lane(ppm, c);
        ch.vuHold = lane(vuHold, c);
        ch.ppmHold = lane(ppmHold, c);
        if (vuBits & (1 << c)) ch.vuHoldAge = 0;
        if (ppmBits & (1 << c)) ch.ppmHoldAge = 0;
    }
}

void Meters::feedGainChunk(const double* left, const double* right, const double* noise, int n) {
    if (expansion_)
        gainChunk<true>(left, right, noise, n);
    else
        gainChunk<false>(left, right, noise, n);
}

#if ORV_HAS_WIDE_PATH
namespace {
// holdGain on four lanes: (VU left, VU right, PPM left, PPM right).
__attribute__((target("avx2,fma"))) inline void holdGains(__m256d value, __m256d& held, __m256d& moved, __m256d unity,
                                                          __m256d floor) {
    const __m256d rise = _mm256_cmp_pd(value, _mm256_max_pd(unity, held), _CMP_GT_OS);
    const __m256d fall =
        _mm256_and_pd(_mm256_cmp_pd(value, held, _CMP_LT_OS), _mm256_cmp_pd(value, floor, _CMP_GT_OS));
    const __m256d take = _mm256_or_pd(rise, fall);
    held = _mm256_blendv_pd(held, value, take);
    moved = _mm256_or_pd(moved, take);
}
}  // namespace

// gainChunk with the same operations per lane: the VU filter runs first over a stretch of
// frames, then the PPM, and the holds of all four meters move in one register.
template <bool kExpansion>
void Meters::gainChunkWide(const double* left, const double* right, const double* noise, int n) {
    const __m128d cInt = _mm_set1_pd(cInt_), cRet = _mm_set1_pd(cRet_);
    const __m256d unity = _mm256_set1_pd(1.0), floor = _mm256_set1_pd(0.01);
    orv::dsp::BiquadPair f = vu_;
    __m128d ppm = pair(ch_[0].ppm, ch_[1].ppm);
    __m256d held = _mm256_set_pd(ch_[1].ppmHold, ch_[0].ppmHold, ch_[1].vuHold, ch_[0].vuHold);
    __m256d moved = _mm256_setzero_pd();
    constexpr int kStretch = 64;
    alignas(32) double vu[2 * kStretch];
    for (int start = 0; start < n; start += kStretch) {
        const int m = n - start < kStretch ? n - start : kStretch;
        const double* l = left + start;
        const double* r = right + start;
        for (int i = 0; i < m; ++i) _mm_store_pd(vu + 2 * i, pair(l[i], r[i]));
        f.processPlainPairs(vu, m);
        for (int i = 0; i < m; ++i) {
            const __m128d g = pair(l[i], r[i]);
            const __m128d returning = kExpansion ? _mm_cmple_pd(g, ppm) : _mm_cmple_pd(ppm, g);
            const __m128d c = _mm_blendv_pd(cInt, cRet, returning);
            ppm = _mm_add_pd(ppm, _mm_add_pd(_mm_mul_pd(_mm_sub_pd(g, ppm), c), _mm_set1_pd(noise[start + i])));
            const __m256d value = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(vu + 2 * i)), ppm, 1);
            holdGains(value, held, moved, unity, floor);
        }
        if (start + m == n) {
            ch_[0].vu = vu[2 * m - 2];
            ch_[1].vu = vu[2 * m - 1];
        }
    }
    vu_ = f;
    alignas(32) double holds[4];
    _mm256_store_pd(holds, held);
    const int bits = _mm256_movemask_pd(moved);
    for (int c = 0; c < 2; ++c) {
        Channel& ch = ch_[c];
        ch.ppm = lane(ppm, c);
        ch.vuHold = holds[c];
        ch.ppmHold = holds[2 + c];
        if (bits & (1 << c)) ch.vuHoldAge = 0;
        if (bits & (4 << c)) ch.ppmHoldAge = 0;
    }
}

void Meters::feedGainChunkWide(const double* left, const double* right, const double* noise, int n) {
    if (expansion_)
        gainChunkWide<true>(left, right, noise, n);
    else
        gainChunkWide<false>(left, right, noise, n);
}
#else
// Without a wide path the baseline form serves.
void Meters::feedGainChunkWide(const double* left, const double* right, const double* noise, int n) {
    feedGainChunk(left, right, noise, n);
}
#endif

void Meters::feedLevelPowerOff(double left, double right, double noise) {
    const double k = 1.096 * 1.4142136 * referenceInverse_;
    const double a = std::fabs(left), b = std::fabs(right);
    ch_[0].vu += (a * k - ch_[0].vu) * cVu_ + noise;
    ch_[1].vu += (b * k - ch_[1].vu) * cVu_ + noise;
    levelCommon(ch_[0], a, noise);
    levelCommon(ch_[1], b, noise);
}

void Meters::feedUnityPowerOff(double noise) {
    for (Channel& c : ch_) {
        c.vu += (1.0 - c.vu) * cVu_ + noise;
        c.overCount = 0;
        gainCommon(c, 1.0, noise);
    }
}

// Both channels return towards unity; the holds as in gainChunk.
template <bool kExpansion>
double Meters::unityChunk(double noise, int n) {
    const __m128d cInt = _mm_set1_pd(cInt_), cRet = _mm_set1_pd(cRet_), cVu = _mm_set1_pd(cVu_);
    const __m128d unity = _mm_set1_pd(1.0), floor = _mm_set1_pd(0.01);
    __m128d vu = pair(ch_[0].vu, ch_[1].vu), ppm = pair(ch_[0].ppm, ch_[1].ppm);
    __m128d vuHold = pair(ch_[0].vuHold, ch_[1].vuHold), ppmHold = pair(ch_[0].ppmHold, ch_[1].ppmHold);
    __m128d vuMoved = _mm_setzero_pd(), ppmMoved = _mm_setzero_pd();
    auto hold = [&](__m128d value, __m128d& held, __m128d& moved) { holdGain(value, held, moved, unity, floor); };
    const __m128d sign = _mm_set1_pd(-0.0);
    __m128d nz = _mm_set1_pd(noise);
    for (int i = 0; i < n; ++i) {
        nz = _mm_xor_pd(nz, sign);
        vu = _mm_add_pd(vu, _mm_add_pd(_mm_mul_pd(_mm_sub_pd(unity, vu), cVu), nz));
        const __m128d returning = kExpansion ? _mm_cmple_pd(unity, ppm) : _mm_cmple_pd(ppm, unity);
        const __m128d c = select(returning, cRet, cInt);
        ppm = _mm_add_pd(ppm, _mm_add_pd(_mm_mul_pd(_mm_sub_pd(unity, ppm), c), nz));
        hold(vu, vuHold, vuMoved);
        hold(ppm, ppmHold, ppmMoved);
    }
    if (n <= 0) return noise;
    const int vuBits = _mm_movemask_pd(vuMoved), ppmBits = _mm_movemask_pd(ppmMoved);
    for (int c = 0; c < 2; ++c) {
        Channel& ch = ch_[c];
        ch.vu = lane(vu, c);
        ch.ppm = lane(ppm, c);
        ch.vuHold = lane(vuHold, c);
        ch.ppmHold = lane(ppmHold, c);
        ch.overCount = 0;
        if (vuBits & (1 << c)) ch.vuHoldAge = 0;
        if (ppmBits & (1 << c)) ch.ppmHoldAge = 0;
    }
    return _mm_cvtsd_f64(nz);
}

double Meters::feedUnityPowerOffChunk(double noise, int n) {
    return expansion_ ? unityChunk<true>(noise, n) : unityChunk<false>(noise, n);
}

void Meters::ageHolds(int samples) {
    // Ages saturate instead of overflowing when no editor ever releases the holds.
    constexpr int kMaxAge = 1 << 30;
    if (samples <= 0) return;
    for (Channel& c : ch_) {
        c.vuHoldAge = c.vuHoldAge > kMaxAge - samples ? kMaxAge : c.vuHoldAge + samples;
        c.ppmHoldAge = c.ppmHoldAge > kMaxAge - samples ? kMaxAge : c.ppmHoldAge + samples;
    }
}

void Meters::latchOvers(double limit) {
    for (Channel& c : ch_) {
        if (c.overCount >= limit) {
            c.overFlag = 1.0;
            c.overCount = 0;
        } else {
            c.overFlag = 0.0;
        }
    }
}

void Meters::setVuRate(double rate) { vu_.setRate(rate); }

void Meters::setVuIntegration(double ms) {
    vu_.setFrequency(700.0 / ms);
    vu_.reset();
}

void Meters::resetVuFilters() {
    vu_.setRate(vu_.filter().sampleRate());
    vu_.reset();
}

}  // namespace kestrel

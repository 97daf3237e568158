// The two dynamics kernels of Orv Kestrel (stereo and mono). Per sample: delay the input, shelve
// the side chain, derive a detector value (Hilbert envelope or the plain filtered key), follow
// it with the envelope, map it through the static curve and apply the gain with makeup and
// output gain, feeding the meters on the way.
//
// Timing. The key is read from the input ring 1022 - 2N samples after it was written and the
// Hilbert sum is centred 2N - 1 samples behind the newest key sample, so all N coefficient pairs
// reach only samples really written and the detector's centre sits 1021 samples behind the
// input at every rate. The main signal is read 1021 samples after it was written, so the gain
// computed for a sample is applied to that very sample; 1021 is the latency the host is told.
//
// Input. Each chunk's host samples pass the sample guard (chunkInputs) before they reach a ring.
//
// Cost. Each chunk runs in a variant chosen for it (Draft or Smooth detector; side-chain shelves
// gliding or plain) on local copies of the filters, the noise source and the envelopes, in
// stages over the whole chunk: noise, rings, shelves, detector, level filters, envelopes and
// gain. Each stage keeps only its own state in registers, the rings move as blocks, and the
// parts without recursion run as loops the compiler vectorises. The meters take their values
// from small per-chunk arrays after the chunk.
#include "kestrel/kestrel.h"

#include "borealis/dsp/code_path.h"
#include "borealis/dsp/sample_guard.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#if ORV_HAS_WIDE_PATH
#include <immintrin.h>
#endif
#include <initializer_list>

using namespace kestrel;
using orv::dsp::Biquad;
using orv::dsp::BiquadCoefficients;

namespace {

// Magnitude of the analytic signal in single precision: q * (1 / sqrt q) with the classic
// bit-level first guess and two Newton steps.
inline float fastMagnitude(double re, double im) {
    const float q = static_cast<float>(re * re + im * im);
    std::uint32_t bits;
    std::memcpy(&bits, &q, sizeof bits);
    bits = 0x5F3759DFu - (bits >> 1);
    float y;
    std::memcpy(&y, &bits, sizeof y);
    y = y * (1.5f - 0.5f * q * y * y);
    y = y * (1.5f - 0.5f * q * y * y);
    return q * y;
}

// The detector rings of both channels always take their values together, one parity for both.
// Right after a frame's push, its centre (2N - 1 frames behind it) is N - 1 pushes back in the
// other half, and its 2N Hilbert taps are the newest 2N values of the half it went to, oldest
// first.

inline double draft(double centre, double thresholdGain) { return centre * 0.83 * thresholdGain * 2.0 + 0.005; }

inline double smooth(double centre, double im, double thresholdGain) {
    const double magnitude = fastMagnitude(centre, im);
    return magnitude * 1.4142 * 0.582 * 1.005773063 * thresholdGain * 2.0 + 0.005;
}

inline double horizontalSum(__m128d a) { return _mm_cvtsd_f64(a) + _mm_cvtsd_f64(_mm_unpackhi_pd(a, a)); }

// Hilbert sums of two channels over the same coefficients; `length` (2N) is even, `h` aligned.
// Each accumulator takes its taps in order: l0 and r0 the taps 4k, 4k + 1, l1 and r1 the taps
// 4k + 2, 4k + 3, then the tail pair goes to l0 and r0. The loop takes four groups of four per
// pass; the products are written signal times coefficient, which is the same product and lets
// each coefficient load become part of its multiply.
inline void hilbertSums(const double* h, const double* left, const double* right, int length, double& imLeft,
                        double& imRight) {
    __m128d l0 = _mm_setzero_pd(), l1 = _mm_setzero_pd(), r0 = _mm_setzero_pd(), r1 = _mm_setzero_pd();
    auto pair = [&](int i, __m128d& l, __m128d& r) {
        l = _mm_add_pd(l, _mm_mul_pd(_mm_loadu_pd(left + i), _mm_load_pd(h + i)));
        r = _mm_add_pd(r, _mm_mul_pd(_mm_loadu_pd(right + i), _mm_load_pd(h + i)));
    };
    auto group = [&](int i) {
        pair(i, l0, r0);
        pair(i + 2, l1, r1);
    };
    int i = 0;
    for (; i + 16 <= length; i += 16) {
        group(i);
        group(i + 4);
        group(i + 8);
        group(i + 12);
    }
    if (i + 8 <= length) {
        group(i);
        group(i + 4);
        i += 8;
    }
    if (i + 4 <= length) {
        group(i);
        i += 4;
    }
    if (i < length) pair(i, l0, r0);
    imLeft = horizontalSum(_mm_add_pd(l0, l1));
    imRight = horizontalSum(_mm_add_pd(r0, r1));
}

// The same for one channel.
inline double hilbertSum(const double* h, const double* x, int length) {
    __m128d a0 = _mm_setzero_pd(), a1 = _mm_setzero_pd();
    auto group = [&](int i) {
        a0 = _mm_add_pd(a0, _mm_mul_pd(_mm_loadu_pd(x + i), _mm_load_pd(h + i)));
        a1 = _mm_add_pd(a1, _mm_mul_pd(_mm_loadu_pd(x + i + 2), _mm_load_pd(h + i + 2)));
    };
    int i = 0;
    for (; i + 16 <= length; i += 16) {
        group(i);
        group(i + 4);
        group(i + 8);
        group(i + 12);
    }
    if (i + 8 <= length) {
        group(i);
        group(i + 4);
        i += 8;
    }
    if (i + 4 <= length) {
        group(i);
        i += 4;
    }
    if (i < length) a0 = _mm_add_pd(a0, _mm_mul_pd(_mm_loadu_pd(x + i), _mm_load_pd(h + i)));
    return horizontalSum(_mm_add_pd(a0, a1));
}

// The wide path's Hilbert sums: out[j * stride] = sum over i of h[i] * x[j + i], for `count`
// consecutive frames, each product fused into its sum. Every frame sums its taps into four
// partial sums by tap number mod 4, in order, and adds them as (p0 + p1) + (p2 + p3), in the
// passes of several frames and in the one-frame passes for the last frames alike, so a frame's
// value never depends on how many frames a call takes. `length` is even.
//
// A frame's four partial sums are the lanes of one register: four taps of the frame are one
// multiply-add of four coefficients by four consecutive samples, and the coefficients loaded
// once serve every frame of the pass. The passes take sixteen taps at a time.
#if ORV_HAS_WIDE_PATH
// Four taps from i on into the partial sums p of the frame whose taps start at x (c: the four
// coefficients).
#define ORV_FOUR_TAPS(p, c, x, i) p = _mm256_fmadd_pd(c, _mm256_loadu_pd((x) + (i)), p)

// The last two taps (length % 4 == 2) go to p0 and p1 only; c holds their coefficients in
// lanes 0 and 1. The load takes only those two samples.
__attribute__((target("avx2,fma"))) inline __m256d hilbertLastTwo(__m256d p, __m256d c, const double* x) {
    const __m256d v = _mm256_insertf128_pd(_mm256_setzero_pd(), _mm_loadu_pd(x), 0);
    return _mm256_blend_pd(p, _mm256_fmadd_pd(c, v, p), 0x3);
}
__attribute__((target("avx2,fma"))) inline __m256d hilbertLastTwoTaps(const double* h) {
    return _mm256_insertf128_pd(_mm256_setzero_pd(), _mm_loadu_pd(h), 0);
}

// The sums (p0 + p1) + (p2 + p3) of four frames' partial sums, frame a's in lane 0.
__attribute__((target("avx2,fma"))) inline __m256d hilbertTotals(__m256d a, __m256d b, __m256d c, __m256d d) {
    const __m256d ab = _mm256_hadd_pd(a, b);  // a0 + a1, b0 + b1, a2 + a3, b2 + b3
    const __m256d cd = _mm256_hadd_pd(c, d);
    return _mm256_add_pd(_mm256_permute2f128_pd(ab, cd, 0x20), _mm256_permute2f128_pd(ab, cd, 0x31));
}
__attribute__((target("avx2,fma"))) inline double hilbertTotal(__m256d p) {
    const __m128d s = _mm_hadd_pd(_mm256_castpd256_pd128(p), _mm256_extractf128_pd(p, 1));  // p0 + p1, p2 + p3
    return _mm_cvtsd_f64(_mm_add_sd(s, _mm_unpackhi_pd(s, s)));
}

__attribute__((target("avx2,fma"))) inline void storeStrided(double* out, int stride, __m256d v) {
    alignas(32) double sums[4];
    _mm256_store_pd(sums, v);
    for (int k = 0; k < 4; ++k) out[k * stride] = sums[k];
}

// The totals of eight frames, four from a and four from b on, each frame summed as described
// above: frames a .. a + 3 in the lanes of totalsA, b .. b + 3 in those of totalsB.
__attribute__((target("avx2,fma"))) inline void hilbertEightFrames(const double* h, const double* a, const double* b,
                                                                   int length, __m256d& totalsA, __m256d& totalsB) {
    const int whole = length & ~3;
    __m256d p0 = _mm256_setzero_pd(), p1 = p0, p2 = p0, p3 = p0, p4 = p0, p5 = p0, p6 = p0, p7 = p0;
#define ORV_EIGHT_FRAMES(i)                         \
    {                                               \
        const __m256d c = _mm256_loadu_pd(h + (i)); \
        ORV_FOUR_TAPS(p0, c, a, i);                 \
        ORV_FOUR_TAPS(p1, c, a + 1, i);             \
        ORV_FOUR_TAPS(p2, c, a + 2, i);             \
        ORV_FOUR_TAPS(p3, c, a + 3, i);             \
        ORV_FOUR_TAPS(p4, c, b, i);                 \
        ORV_FOUR_TAPS(p5, c, b + 1, i);             \
        ORV_FOUR_TAPS(p6, c, b + 2, i);             \
        ORV_FOUR_TAPS(p7, c, b + 3, i);             \
    }
    int i = 0;
    for (; i + 16 <= whole; i += 16) {
        ORV_EIGHT_FRAMES(i)
        ORV_EIGHT_FRAMES(i + 4)
        ORV_EIGHT_FRAMES(i + 8)
        ORV_EIGHT_FRAMES(i + 12)
    }
    if (i + 8 <= whole) {
        ORV_EIGHT_FRAMES(i)
        ORV_EIGHT_FRAMES(i + 4)
        i += 8;
    }
    if (i < whole) ORV_EIGHT_FRAMES(i)
#undef ORV_EIGHT_FRAMES
    if (whole < length) {
        const __m256d c = hilbertLastTwoTaps(h + whole);
        p0 = hilbertLastTwo(p0, c, a + whole);
        p1 = hilbertLastTwo(p1, c, a + 1 + whole);
        p2 = hilbertLastTwo(p2, c, a + 2 + whole);
        p3 = hilbertLastTwo(p3, c, a + 3 + whole);
        p4 = hilbertLastTwo(p4, c, b + whole);
        p5 = hilbertLastTwo(p5, c, b + 1 + whole);
        p6 = hilbertLastTwo(p6, c, b + 2 + whole);
        p7 = hilbertLastTwo(p7, c, b + 3 + whole);
    }
    totalsA = hilbertTotals(p0, p1, p2, p3);
    totalsB = hilbertTotals(p4, p5, p6, p7);
}

// The total of one frame whose taps start at a.
__attribute__((target("avx2,fma"))) inline double hilbertOneFrame(const double* h, const double* a, int length) {
    const int whole = length & ~3;
    __m256d p = _mm256_setzero_pd();
    for (int i = 0; i < whole; i += 4) ORV_FOUR_TAPS(p, _mm256_loadu_pd(h + i), a, i);
    if (whole < length) p = hilbertLastTwo(p, hilbertLastTwoTaps(h + whole), a + whole);
    return hilbertTotal(p);
}

// One channel: passes of eight frames, then of four, then single frames.
__attribute__((target("avx2,fma"))) void hilbertSumsFused(const double* h, const double* x, int length, int count,
                                                          double* out, int stride) {
    const int whole = length & ~3;
    int j = 0;
    for (; j + 8 <= count; j += 8) {
        const double* a = x + j;
        // Frame 4 + f at tap i reads what frame f reads at tap i + 4; the compiler, seeing that,
        // would keep such samples in registers it has not got. The later frames go through a
        // pointer it cannot relate to `a`, and every sample stays an operand of its multiply-add.
        const double* b = a + 4;
        asm("" : "+r"(b));
        __m256d first, second;
        hilbertEightFrames(h, a, b, length, first, second);
        storeStrided(out + j * stride, stride, first);
        storeStrided(out + (j + 4) * stride, stride, second);
    }
    for (; j + 4 <= count; j += 4) {
        const double* a = x + j;
        __m256d p0 = _mm256_setzero_pd(), p1 = p0, p2 = p0, p3 = p0;
        for (int i = 0; i < whole; i += 4) {
            const __m256d c = _mm256_loadu_pd(h + i);
            ORV_FOUR_TAPS(p0, c, a, i);
            ORV_FOUR_TAPS(p1, c, a + 1, i);
            ORV_FOUR_TAPS(p2, c, a + 2, i);
            ORV_FOUR_TAPS(p3, c, a + 3, i);
        }
        if (whole < length) {
            const __m256d c = hilbertLastTwoTaps(h + whole);
            p0 = hilbertLastTwo(p0, c, a + whole);
            p1 = hilbertLastTwo(p1, c, a + 1 + whole);
            p2 = hilbertLastTwo(p2, c, a + 2 + whole);
            p3 = hilbertLastTwo(p3, c, a + 3 + whole);
        }
        storeStrided(out + j * stride, stride, hilbertTotals(p0, p1, p2, p3));
    }
    for (; j < count; ++j) out[j * stride] = hilbertOneFrame(h, x + j, length);
}

// Two channels over the same taps: out[j * stride] takes the left sum of frame j and
// out[j * stride + 1] the right one. Passes of four frames of both channels, then single frames
// of both.
__attribute__((target("avx2,fma"))) void hilbertPairSumsFused(const double* h, const double* left,
                                                              const double* right, int length, int count,
                                                              double* out, int stride) {
    int j = 0;
    for (; j + 4 <= count; j += 4) {
        __m256d sl, sr;
        hilbertEightFrames(h, left + j, right + j, length, sl, sr);
        // (left, right) of frames 0 and 2 in one register, of frames 1 and 3 in the other.
        const __m256d even = _mm256_unpacklo_pd(sl, sr), odd = _mm256_unpackhi_pd(sl, sr);
        double* o = out + j * stride;
        _mm_storeu_pd(o, _mm256_castpd256_pd128(even));
        _mm_storeu_pd(o + stride, _mm256_castpd256_pd128(odd));
        _mm_storeu_pd(o + 2 * stride, _mm256_extractf128_pd(even, 1));
        _mm_storeu_pd(o + 3 * stride, _mm256_extractf128_pd(odd, 1));
    }
    for (; j < count; ++j) {
        out[j * stride] = hilbertOneFrame(h, left + j, length);
        out[j * stride + 1] = hilbertOneFrame(h, right + j, length);
    }
}
#undef ORV_FOUR_TAPS
#else
// Without a wide path the sums are never asked for in these forms; the plain order serves.
void hilbertSumsFused(const double* h, const double* x, int length, int count, double* out, int stride) {
    for (int j = 0; j < count; ++j) out[j * stride] = hilbertSum(h, x + j, length);
}
void hilbertPairSumsFused(const double* h, const double* left, const double* right, int length, int count,
                          double* out, int stride) {
    for (int j = 0; j < count; ++j) hilbertSums(h, left + j, right + j, length, out[j * stride], out[j * stride + 1]);
}
#endif

// The envelope follower of one channel after its level filters, with the static curve behind it.
inline double follow(double& envelope, double e, double fast, double slow, const KestrelSettings& s) {
    // The floors are written so that a NaN gives the floor: the comparison fails.
    fast = fast > 1e-6 ? fast : 1e-6;
    slow = slow > 1e-6 ? slow : 1e-6;
    double env = envelope;
    if (e > env) {
        env += (e - env) * s.attackCoeff;
    } else if (s.autoRelease) {
        const double r = 0.5 * fast / slow;
        const double k = 2.0 * r / (r + 1.0) + 0.1;
        env += (e - env) * s.releaseCoeff * k;
    } else {
        env += (e - env) * s.releaseCoeff;
    }
    env = env > 0.0001 ? env : 0.0001;
    envelope = env;
    const double level = s.rmsMode ? std::sqrt(env) : env;
    return orv::dsp::kneeGain(level, s.ratioInverse, s.knee, s.softKnee != 0);
}

#if ORV_HAS_WIDE_PATH
// The wide path's envelope followers of both channels side by side over n frames, with the
// static curve behind them: per lane the steps of follow(), each envelope step one fused
// multiply-add with the lane's own coefficient. envelopes = {left, right}, in and out;
// gains[2i], gains[2i + 1] receive frame i's gains.
__attribute__((target("avx2,fma"))) void followBothFused(double envelopes[2], const double* detected,
                                                         const double* fastLR, const double* slowLR, int n,
                                                         const KestrelSettings& s, double* gains) {
    const __m128d floor6 = _mm_set1_pd(1e-6), envelopeFloor = _mm_set1_pd(0.0001);
    const __m128d attack = _mm_set1_pd(s.attackCoeff), release = _mm_set1_pd(s.releaseCoeff);
    const __m128d half = _mm_set1_pd(0.5), two = _mm_set1_pd(2.0), one = _mm_set1_pd(1.0), tenth = _mm_set1_pd(0.1);
    const bool autoRelease = s.autoRelease != 0, rms = s.rmsMode != 0, soft = s.softKnee != 0;
    __m128d env = _mm_loadu_pd(envelopes);
    for (int i = 0; i < n; ++i) {
        const __m128d e = _mm_load_pd(detected + 2 * i);
        __m128d releasing = release;
        if (autoRelease) {
            // max(x, floor) is "x > floor ? x : floor": a NaN gives the floor, as in follow().
            const __m128d fast = _mm_max_pd(_mm_load_pd(fastLR + 2 * i), floor6);
            const __m128d slow = _mm_max_pd(_mm_load_pd(slowLR + 2 * i), floor6);
            const __m128d r = _mm_div_pd(_mm_mul_pd(half, fast), slow);
            releasing = _mm_mul_pd(release, _mm_add_pd(_mm_div_pd(_mm_mul_pd(two, r), _mm_add_pd(r, one)), tenth));
        }
        const __m128d coefficient = _mm_blendv_pd(releasing, attack, _mm_cmpgt_pd(e, env));
        env = _mm_max_pd(_mm_fmadd_pd(_mm_sub_pd(e, env), coefficient, env), envelopeFloor);
        const __m128d level = rms ? _mm_sqrt_pd(env) : env;
        _mm_store_pd(gains + 2 * i, orv::dsp::kneeGainPair<orv::simd::Sse2>({level}, s.ratioInverse, s.knee, soft).v);
    }
    _mm_storeu_pd(envelopes, env);
}
#endif

// A pair of plain level filters (left, right) side by side in SSE2 lanes: per lane the
// operations of the plain biquad, in the same order, with each lane negating its own offset.
struct LevelPair {
    __m128d b0, b1, b2, a1, a2, x1, x2, y1, y2, offset;
    bool filters;

    static __m128d lanes(const double* v) { return _mm_loadu_pd(v); }
    static __m128d lanes(double left, double right) { return _mm_set_pd(right, left); }

    LevelPair(const Biquad& left, const Biquad& right, const LevelHistory& h) {
        const BiquadCoefficients& l = left.targets();
        const BiquadCoefficients& r = right.targets();
        b0 = lanes(l.b0, r.b0);
        b1 = lanes(l.b1, r.b1);
        b2 = lanes(l.b2, r.b2);
        a1 = lanes(l.a1, r.a1);
        a2 = lanes(l.a2, r.a2);
        x1 = lanes(h.x1);
        x2 = lanes(h.x2);
        y1 = lanes(h.y1);
        y2 = lanes(h.y2);
        offset = lanes(h.offset);
        filters = left.filters() && right.filters();
    }
    void store(LevelHistory& h) const {
        _mm_storeu_pd(h.x1, x1);
        _mm_storeu_pd(h.x2, x2);
        _mm_storeu_pd(h.y1, y1);
        _mm_storeu_pd(h.y2, y2);
        _mm_storeu_pd(h.offset, offset);
    }
    // n interleaved (left, right) pairs from `in` to `out`, the history in registers meanwhile.
    void run(const double* in, double* out, int n) {
        if (!filters) {
            std::memcpy(out, in, sizeof(double) * 2 * static_cast<unsigned>(n));
            return;
        }
        LevelPair f = *this;
        for (int i = 0; i < n; ++i) _mm_store_pd(out + 2 * i, f.run(_mm_load_pd(in + 2 * i)));
        *this = f;
    }
    inline __m128d run(__m128d x) {
        if (!filters) return x;
        const __m128d o = _mm_xor_pd(offset, _mm_set1_pd(-0.0));
        offset = o;
        const __m128d xo = _mm_add_pd(x, o);
        __m128d y = _mm_mul_pd(b0, xo);
        y = _mm_add_pd(y, _mm_mul_pd(b1, x1));
        y = _mm_add_pd(y, _mm_mul_pd(b2, x2));
        y = _mm_sub_pd(y, _mm_mul_pd(a1, y1));
        y = _mm_sub_pd(y, _mm_mul_pd(a2, y2));
        x2 = x1;
        x1 = xo;
        y2 = y1;
        y1 = _mm_add_pd(y, o);
        return y;
    }
};

#if ORV_HAS_WIDE_PATH
__attribute__((target("avx2,fma"))) inline __m256d joinLanes(__m128d low, __m128d high) {
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(low), high, 1);
}

// The wide path's level filters: the fast and the slow pair side by side in one register (fast
// left, fast right, slow left, slow right), both taking the same input, each product fused into
// its sum. Per lane the operations of the plain biquad with fused multiply-adds.
__attribute__((target("avx2,fma"))) void runLevelPairsFused(LevelPair& fast, LevelPair& slow, const double* in,
                                                            double* fastOut, double* slowOut, int n) {
    const __m256d b0 = joinLanes(fast.b0, slow.b0), b1 = joinLanes(fast.b1, slow.b1);
    const __m256d b2 = joinLanes(fast.b2, slow.b2), a1 = joinLanes(fast.a1, slow.a1);
    const __m256d a2 = joinLanes(fast.a2, slow.a2);
    __m256d x1 = joinLanes(fast.x1, slow.x1), x2 = joinLanes(fast.x2, slow.x2);
    __m256d y1 = joinLanes(fast.y1, slow.y1), y2 = joinLanes(fast.y2, slow.y2);
    __m256d o = joinLanes(fast.offset, slow.offset);
    const __m256d sign = _mm256_set1_pd(-0.0);
    for (int i = 0; i < n; ++i) {
        const __m256d x = _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(in + 2 * i));
        o = _mm256_xor_pd(o, sign);
        const __m256d xo = _mm256_add_pd(x, o);
        __m256d y = _mm256_mul_pd(b0, xo);
        y = _mm256_fmadd_pd(b1, x1, y);
        y = _mm256_fmadd_pd(b2, x2, y);
        y = _mm256_fnmadd_pd(a1, y1, y);
        y = _mm256_fnmadd_pd(a2, y2, y);
        x2 = x1;
        x1 = xo;
        y2 = y1;
        y1 = _mm256_add_pd(y, o);
        _mm_store_pd(fastOut + 2 * i, _mm256_castpd256_pd128(y));
        _mm_store_pd(slowOut + 2 * i, _mm256_extractf128_pd(y, 1));
    }
    fast.x1 = _mm256_castpd256_pd128(x1);
    fast.x2 = _mm256_castpd256_pd128(x2);
    fast.y1 = _mm256_castpd256_pd128(y1);
    fast.y2 = _mm256_castpd256_pd128(y2);
    fast.offset = _mm256_castpd256_pd128(o);
    slow.x1 = _mm256_extractf128_pd(x1, 1);
    slow.x2 = _mm256_extractf128_pd(x2, 1);
    slow.y1 = _mm256_extractf128_pd(y1, 1);
    slow.y2 = _mm256_extractf128_pd(y2, 1);
    slow.offset = _mm256_extractf128_pd(o, 1);
}
#else
// Without a wide path the fused form is never asked for; the plain form serves.
void runLevelPairsFused(LevelPair& fast, LevelPair& slow, const double* in, double* fastOut, double* slowOut, int n) {
    fast.run(in, fastOut, n);
    slow.run(in, slowOut, n);
}
#endif

// The left filter of a level pair alone, for the mono kernel (the right one keeps its history).
struct LevelLane {
    double b0, b1, b2, a1, a2, x1, x2, y1, y2, offset;
    bool filters;

    LevelLane(const Biquad& f, const LevelHistory& h)
        : b0(f.targets().b0), b1(f.targets().b1), b2(f.targets().b2), a1(f.targets().a1), a2(f.targets().a2),
          x1(h.x1[0]), x2(h.x2[0]), y1(h.y1[0]), y2(h.y2[0]), offset(h.offset[0]), filters(f.filters()) {}
    void store(LevelHistory& h) const {
        h.x1[0] = x1;
        h.x2[0] = x2;
        h.y1[0] = y1;
        h.y2[0] = y2;
        h.offset[0] = offset;
    }
    void run(const double* in, double* out, int n) {
        if (!filters) {
            std::memcpy(out, in, sizeof(double) * static_cast<unsigned>(n));
            return;
        }
        LevelLane f = *this;
        for (int i = 0; i < n; ++i) out[i] = f.run(in[i]);
        *this = f;
    }
    inline double run(double x) {
        if (!filters) return x;
        const double o = -offset;
        offset = o;
        const double y = b0 * (x + o) + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x + o;
        y2 = y1;
        y1 = y + o;
        return y;
    }
};

// One step of a shelf's noise source, the generator of DenormalNoise on three registers.
inline std::uint32_t stepNoise(std::uint32_t& r1, std::uint32_t& r2, std::uint32_t& r3) {
    r1 = (((r1 >> 6) ^ (r1 >> 15)) & 0x1FFFu) ^ (r1 << 13);
    r2 = (((r2 >> 7) ^ (r2 >> 9)) & 0xFFFFFu) ^ (r2 << 20);
    r3 = (((r3 >> 8) ^ (r3 >> 14)) & 0x1FFFFu) ^ (r3 << 17);
    return r1 ^ r2 ^ r3;
}

// The noise value of a register output: (u * 2.3283064365e-10 * 2 - 1) * 1e-13. Doubling
// commutes with rounding, so one product by the doubled constant gives the same bits.
constexpr double kNoiseStep = 2.3283064365e-10 * 2.0;
constexpr double kShelfNoiseScale = orv::dsp::DenormalNoise::kFilterScale;

// The four side-chain shelves of the stereo kernel as two lane pairs (low, high), each lane
// with its own history, gliding coefficients and noise source: per lane the operations of the
// Biquad's smoothed and plain forms, in the same order. The noise registers of all four shelves
// step together, one register kind per vector.
struct ShelfPairs {
    enum { kLow = 0, kHigh = 1 };
    __m128d x1[2], x2[2], y1[2], y2[2], noise[2];
    __m128d b0[2], b1[2], b2[2], a1[2], a2[2];   // gliding
    __m128d tb0[2], tb1[2], tb2[2], ta1[2], ta2[2], s[2];  // designs and glide speeds
    __m128i r1, r2, r3;

    ShelfPairs(const ShelfHistory& h, const Biquad* const lanes[4]) {
        for (int p = 0; p < 2; ++p) {
            const int i = 2 * p;
            x1[p] = _mm_load_pd(h.x1 + i);
            x2[p] = _mm_load_pd(h.x2 + i);
            y1[p] = _mm_load_pd(h.y1 + i);
            y2[p] = _mm_load_pd(h.y2 + i);
            noise[p] = _mm_load_pd(h.noise + i);
            b0[p] = _mm_load_pd(h.b0 + i);
            b1[p] = _mm_load_pd(h.b1 + i);
            b2[p] = _mm_load_pd(h.b2 + i);
            a1[p] = _mm_load_pd(h.a1 + i);
            a2[p] = _mm_load_pd(h.a2 + i);
            const BiquadCoefficients& l = lanes[i]->targets();
            const BiquadCoefficients& r = lanes[i + 1]->targets();
            tb0[p] = _mm_set_pd(r.b0, l.b0);
            tb1[p] = _mm_set_pd(r.b1, l.b1);
            tb2[p] = _mm_set_pd(r.b2, l.b2);
            ta1[p] = _mm_set_pd(r.a1, l.a1);
            ta2[p] = _mm_set_pd(r.a2, l.a2);
            s[p] = _mm_set_pd(lanes[i + 1]->smoothing(), lanes[i]->smoothing());
        }
        r1 = _mm_load_si128(reinterpret_cast<const __m128i*>(h.r1));
        r2 = _mm_load_si128(reinterpret_cast<const __m128i*>(h.r2));
        r3 = _mm_load_si128(reinterpret_cast<const __m128i*>(h.r3));
    }
    void store(ShelfHistory& h) const {
        for (int p = 0; p < 2; ++p) {
            const int i = 2 * p;
            _mm_store_pd(h.x1 + i, x1[p]);
            _mm_store_pd(h.x2 + i, x2[p]);
            _mm_store_pd(h.y1 + i, y1[p]);
            _mm_store_pd(h.y2 + i, y2[p]);
            _mm_store_pd(h.noise + i, noise[p]);
            _mm_store_pd(h.b0 + i, b0[p]);
            _mm_store_pd(h.b1 + i, b1[p]);
            _mm_store_pd(h.b2 + i, b2[p]);
            _mm_store_pd(h.a1 + i, a1[p]);
            _mm_store_pd(h.a2 + i, a2[p]);
        }
        _mm_store_si128(reinterpret_cast<__m128i*>(h.r1), r1);
        _mm_store_si128(reinterpret_cast<__m128i*>(h.r2), r2);
        _mm_store_si128(reinterpret_cast<__m128i*>(h.r3), r3);
    }

    // One step of all four noise sources; the values of the low and the high pair.
    inline void stepNoise() {
        r1 = _mm_xor_si128(_mm_and_si128(_mm_xor_si128(_mm_srli_epi32(r1, 6), _mm_srli_epi32(r1, 15)),
                                         _mm_set1_epi32(0x1FFF)),
                           _mm_slli_epi32(r1, 13));
        r2 = _mm_xor_si128(_mm_and_si128(_mm_xor_si128(_mm_srli_epi32(r2, 7), _mm_srli_epi32(r2, 9)),
                                         _mm_set1_epi32(0xFFFFF)),
                           _mm_slli_epi32(r2, 20));
        r3 = _mm_xor_si128(_mm_and_si128(_mm_xor_si128(_mm_srli_epi32(r3, 8), _mm_srli_epi32(r3, 14)),
                                         _mm_set1_epi32(0x1FFFF)),
                           _mm_slli_epi32(r3, 17));
        // Unsigned to double: flip the sign bit, convert as signed, add 2^31 back (all exact).
        const __m128i u = _mm_xor_si128(_mm_xor_si128(r1, r2), _mm_xor_si128(r3, _mm_set1_epi32(INT32_MIN)));
        const __m128d bias = _mm_set1_pd(2147483648.0);
        const __m128d low = _mm_add_pd(_mm_cvtepi32_pd(u), bias);
        const __m128d high = _mm_add_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(u, 0x0E)), bias);
        const __m128d step = _mm_set1_pd(kNoiseStep), one = _mm_set1_pd(1.0), scale = _mm_set1_pd(kShelfNoiseScale);
        noise[kLow] = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(low, step), one), scale);
        noise[kHigh] = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(high, step), one), scale);
    }

    static inline __m128d glide(__m128d c, __m128d t, __m128d s, __m128d m) {
        return _mm_add_pd(_mm_add_pd(c, _mm_mul_pd(_mm_sub_pd(t, c), s)), m);
    }

    // The noise of n frames for the smoothed form: the low pair's values to low, the high
    // pair's to high, one (left, right) pair per frame.
    void noiseFor(double* low, double* high, int n) {
        for (int i = 0; i < n; ++i) {
            stepNoise();
            _mm_store_pd(low + 2 * i, noise[kLow]);
            _mm_store_pd(high + 2 * i, noise[kHigh]);
        }
    }
    // Pair p over n interleaved (left, right) frames in place, with its state in registers
    // meanwhile; the smoothed form takes each frame's noise from `noisePairs` (noiseFor).
    template <bool kPlain>
    void run(int p, double* lr, const double* noisePairs, int n) {
        __m128d px1 = x1[p], px2 = x2[p], py1 = y1[p], py2 = y2[p], m = noise[p];
        __m128d c0 = b0[p], c1 = b1[p], c2 = b2[p], d1 = a1[p], d2 = a2[p];
        const __m128d t0 = tb0[p], t1 = tb1[p], t2 = tb2[p], u1 = ta1[p], u2 = ta2[p], sp = s[p];
        const __m128d sign = _mm_set1_pd(-0.0);
        for (int i = 0; i < n; ++i) {
            const __m128d x = _mm_load_pd(lr + 2 * i);
            __m128d xo, y;
            if (kPlain) {
                m = _mm_xor_pd(m, sign);
                xo = _mm_add_pd(x, m);
                y = _mm_mul_pd(t0, xo);
                y = _mm_add_pd(y, _mm_mul_pd(t1, px1));
                y = _mm_add_pd(y, _mm_mul_pd(t2, px2));
                y = _mm_sub_pd(y, _mm_mul_pd(u1, py1));
                y = _mm_sub_pd(y, _mm_mul_pd(u2, py2));
            } else {
                m = _mm_load_pd(noisePairs + 2 * i);
                c0 = glide(c0, t0, sp, m);
                d1 = glide(d1, u1, sp, m);
                d2 = glide(d2, u2, sp, m);
                c1 = glide(c1, t1, sp, m);
                c2 = glide(c2, t2, sp, m);
                xo = _mm_add_pd(x, m);
                y = _mm_mul_pd(c0, xo);
                y = _mm_add_pd(y, _mm_mul_pd(c1, px1));
                y = _mm_add_pd(y, _mm_mul_pd(c2, px2));
                y = _mm_sub_pd(y, _mm_mul_pd(d1, py1));
                y = _mm_sub_pd(y, _mm_mul_pd(d2, py2));
            }
            px2 = px1;
            px1 = xo;
            py2 = py1;
            py1 = _mm_add_pd(y, m);
            _mm_store_pd(lr + 2 * i, y);
        }
        x1[p] = px1;
        x2[p] = px2;
        y1[p] = py1;
        y2[p] = py2;
        noise[p] = m;
        b0[p] = c0;
        b1[p] = c1;
        b2[p] = c2;
        a1[p] = d1;
        a2[p] = d2;
    }
};

#if ORV_HAS_WIDE_PATH
// The wide path's plain shelves: both pairs in one register (low left, low right, high left,
// high right), per lane the operations of ShelfPairs::run<true> with each product fused into
// its sum. The high pair runs one frame behind the low one: each step takes the low pair's next
// frame and the high pair's frame before it, which is the low pair's previous output. The step
// before the first frame and the one after the last run the other pair's lanes idle (their
// state is put back), so every frame goes through the same operations wherever a chunk ends.
__attribute__((target("avx2,fma"))) void runShelfPairsPlainFused(ShelfPairs& f, double* lr, int n) {
    if (n <= 0) return;
    const int lo = ShelfPairs::kLow, hi = ShelfPairs::kHigh;
    __m256d x1 = joinLanes(f.x1[lo], f.x1[hi]), x2 = joinLanes(f.x2[lo], f.x2[hi]);
    __m256d y1 = joinLanes(f.y1[lo], f.y1[hi]), y2 = joinLanes(f.y2[lo], f.y2[hi]);
    __m256d m = joinLanes(f.noise[lo], f.noise[hi]);
    const __m256d t0 = joinLanes(f.tb0[lo], f.tb0[hi]), t1 = joinLanes(f.tb1[lo], f.tb1[hi]);
    const __m256d t2 = joinLanes(f.tb2[lo], f.tb2[hi]), u1 = joinLanes(f.ta1[lo], f.ta1[hi]);
    const __m256d u2 = joinLanes(f.ta2[lo], f.ta2[hi]);
    const __m256d sign = _mm256_set1_pd(-0.0);
#define ORV_SHELF_STEP(in)                       \
    {                                            \
        m = _mm256_xor_pd(m, sign);              \
        const __m256d xo = _mm256_add_pd(in, m); \
        y = _mm256_mul_pd(t0, xo);               \
        y = _mm256_fmadd_pd(t1, x1, y);          \
        y = _mm256_fmadd_pd(t2, x2, y);          \
        y = _mm256_fnmadd_pd(u1, y1, y);         \
        y = _mm256_fnmadd_pd(u2, y2, y);         \
        x2 = x1;                                 \
        x1 = xo;                                 \
        y2 = y1;                                 \
        y1 = _mm256_add_pd(y, m);                \
    }
    __m256d y;
    {
        // The low pair's first frame; the high lanes keep their state.
        const __m256d keepX1 = x1, keepX2 = x2, keepY1 = y1, keepY2 = y2, keepM = m;
        ORV_SHELF_STEP(_mm256_castpd128_pd256(_mm_load_pd(lr)))
        x1 = _mm256_blend_pd(x1, keepX1, 0xC);
        x2 = _mm256_blend_pd(x2, keepX2, 0xC);
        y1 = _mm256_blend_pd(y1, keepY1, 0xC);
        y2 = _mm256_blend_pd(y2, keepY2, 0xC);
        m = _mm256_blend_pd(m, keepM, 0xC);
    }
    for (int i = 1; i < n; ++i) {
        const __m256d in =
            _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(lr + 2 * i)), _mm256_castpd256_pd128(y), 1);
        ORV_SHELF_STEP(in)
        _mm_store_pd(lr + 2 * (i - 1), _mm256_extractf128_pd(y, 1));
    }
    {
        // The high pair's last frame; the low lanes keep their state.
        const __m256d keepX1 = x1, keepX2 = x2, keepY1 = y1, keepY2 = y2, keepM = m;
        const __m256d in = _mm256_insertf128_pd(_mm256_setzero_pd(), _mm256_castpd256_pd128(y), 1);
        ORV_SHELF_STEP(in)
        x1 = _mm256_blend_pd(x1, keepX1, 0x3);
        x2 = _mm256_blend_pd(x2, keepX2, 0x3);
        y1 = _mm256_blend_pd(y1, keepY1, 0x3);
        y2 = _mm256_blend_pd(y2, keepY2, 0x3);
        m = _mm256_blend_pd(m, keepM, 0x3);
        _mm_store_pd(lr + 2 * (n - 1), _mm256_extractf128_pd(y, 1));
    }
#undef ORV_SHELF_STEP
    f.x1[lo] = _mm256_castpd256_pd128(x1);
    f.x2[lo] = _mm256_castpd256_pd128(x2);
    f.y1[lo] = _mm256_castpd256_pd128(y1);
    f.y2[lo] = _mm256_castpd256_pd128(y2);
    f.noise[lo] = _mm256_castpd256_pd128(m);
    f.x1[hi] = _mm256_extractf128_pd(x1, 1);
    f.x2[hi] = _mm256_extractf128_pd(x2, 1);
    f.y1[hi] = _mm256_extractf128_pd(y1, 1);
    f.y2[hi] = _mm256_extractf128_pd(y2, 1);
    f.noise[hi] = _mm256_extractf128_pd(m, 1);
}
#else
// Without a wide path the fused forms are never asked for; the plain form serves.
void runShelfPairsPlainFused(ShelfPairs& f, double* lr, int n) {
    f.run<true>(ShelfPairs::kLow, lr, nullptr, n);
    f.run<true>(ShelfPairs::kHigh, lr, nullptr, n);
}
#endif

// One shelf alone (the mono kernel's left shelves): the scalar forms on one lane.
struct ShelfLane {
    double x1, x2, y1, y2, noise, b0, b1, b2, a1, a2;
    double tb0, tb1, tb2, ta1, ta2, s;
    std::uint32_t r1, r2, r3;
    int lane;

    ShelfLane(const ShelfHistory& h, int i, const Biquad& f)
        : x1(h.x1[i]), x2(h.x2[i]), y1(h.y1[i]), y2(h.y2[i]), noise(h.noise[i]), b0(h.b0[i]), b1(h.b1[i]),
          b2(h.b2[i]), a1(h.a1[i]), a2(h.a2[i]), tb0(f.targets().b0), tb1(f.targets().b1), tb2(f.targets().b2),
          ta1(f.targets().a1), ta2(f.targets().a2), s(f.smoothing()), r1(h.r1[i]), r2(h.r2[i]), r3(h.r3[i]),
          lane(i) {}
    void store(ShelfHistory& h) const {
        const int i = lane;
        h.x1[i] = x1;
        h.x2[i] = x2;
        h.y1[i] = y1;
        h.y2[i] = y2;
        h.noise[i] = noise;
        h.b0[i] = b0;
        h.b1[i] = b1;
        h.b2[i] = b2;
        h.a1[i] = a1;
        h.a2[i] = a2;
        h.r1[i] = r1;
        h.r2[i] = r2;
        h.r3[i] = r3;
    }
    inline double filter(double x, double c0, double c1, double c2, double d1, double d2, double o) {
        const double y = c0 * (x + o) + c1 * x1 + c2 * x2 - d1 * y1 - d2 * y2;
        x2 = x1;
        x1 = x + o;
        y2 = y1;
        y1 = y + o;
        return y;
    }
    inline double smoothed(double x) {
        const double m = (static_cast<double>(stepNoise(r1, r2, r3)) * kNoiseStep - 1.0) * kShelfNoiseScale;
        noise = m;
        b0 = b0 + (tb0 - b0) * s + m;
        a1 = a1 + (ta1 - a1) * s + m;
        a2 = a2 + (ta2 - a2) * s + m;
        b1 = b1 + (tb1 - b1) * s + m;
        b2 = b2 + (tb2 - b2) * s + m;
        return filter(x, b0, b1, b2, a1, a2, m);
    }
    inline double plain(double x) {
        noise = -noise;
        return filter(x, tb0, tb1, tb2, ta1, ta2, noise);
    }
    template <bool kPlain>
    inline double run(double x) {
        return kPlain ? plain(x) : smoothed(x);
    }
    // n values in place, the state in registers meanwhile.
    template <bool kPlain>
    void run(double* x, int n) {
        ShelfLane f = *this;
        for (int i = 0; i < n; ++i) x[i] = f.run<kPlain>(x[i]);
        *this = f;
    }
};

#if ORV_HAS_WIDE_PATH
// The wide path's mono level filters: the fast and the slow filter side by side in one register
// (fast low, slow high), both taking the same input, each product fused into its sum.
__attribute__((target("avx2,fma"))) void runLevelLanesFused(LevelLane& fast, LevelLane& slow, const double* in,
                                                            double* fastOut, double* slowOut, int n) {
    const __m128d b0 = _mm_set_pd(slow.b0, fast.b0), b1 = _mm_set_pd(slow.b1, fast.b1);
    const __m128d b2 = _mm_set_pd(slow.b2, fast.b2), a1 = _mm_set_pd(slow.a1, fast.a1);
    const __m128d a2 = _mm_set_pd(slow.a2, fast.a2);
    __m128d x1 = _mm_set_pd(slow.x1, fast.x1), x2 = _mm_set_pd(slow.x2, fast.x2);
    __m128d y1 = _mm_set_pd(slow.y1, fast.y1), y2 = _mm_set_pd(slow.y2, fast.y2);
    __m128d o = _mm_set_pd(slow.offset, fast.offset);
    const __m128d sign = _mm_set1_pd(-0.0);
    for (int i = 0; i < n; ++i) {
        const __m128d x = _mm_loaddup_pd(in + i);
        o = _mm_xor_pd(o, sign);
        const __m128d xo = _mm_add_pd(x, o);
        __m128d y = _mm_mul_pd(b0, xo);
        y = _mm_fmadd_pd(b1, x1, y);
        y = _mm_fmadd_pd(b2, x2, y);
        y = _mm_fnmadd_pd(a1, y1, y);
        y = _mm_fnmadd_pd(a2, y2, y);
        x2 = x1;
        x1 = xo;
        y2 = y1;
        y1 = _mm_add_pd(y, o);
        _mm_storel_pd(fastOut + i, y);
        _mm_storeh_pd(slowOut + i, y);
    }
    fast.x1 = _mm_cvtsd_f64(x1);
    fast.x2 = _mm_cvtsd_f64(x2);
    fast.y1 = _mm_cvtsd_f64(y1);
    fast.y2 = _mm_cvtsd_f64(y2);
    fast.offset = _mm_cvtsd_f64(o);
    slow.x1 = _mm_cvtsd_f64(_mm_unpackhi_pd(x1, x1));
    slow.x2 = _mm_cvtsd_f64(_mm_unpackhi_pd(x2, x2));
    slow.y1 = _mm_cvtsd_f64(_mm_unpackhi_pd(y1, y1));
    slow.y2 = _mm_cvtsd_f64(_mm_unpackhi_pd(y2, y2));
    slow.offset = _mm_cvtsd_f64(_mm_unpackhi_pd(o, o));
}

// The wide path's plain form of one shelf: the operations of ShelfLane::plain with each product
// fused into its sum.
__attribute__((target("avx2,fma"))) void runShelfLanePlainFused(ShelfLane& f, double* v, int n) {
    double x1 = f.x1, x2 = f.x2, y1 = f.y1, y2 = f.y2, o = f.noise;
    const double c0 = f.tb0, c1 = f.tb1, c2 = f.tb2, d1 = f.ta1, d2 = f.ta2;
    for (int i = 0; i < n; ++i) {
        o = -o;
        const double xo = v[i] + o;
        double y = c0 * xo;
        y = std::fma(c1, x1, y);
        y = std::fma(c2, x2, y);
        y = std::fma(-d1, y1, y);
        y = std::fma(-d2, y2, y);
        x2 = x1;
        x1 = xo;
        y2 = y1;
        y1 = y + o;
        v[i] = y;
    }
    f.x1 = x1;
    f.x2 = x2;
    f.y1 = y1;
    f.y2 = y2;
    f.noise = o;
}
#else
// Without a wide path the fused forms are never asked for; the plain forms serve.
void runLevelLanesFused(LevelLane& fast, LevelLane& slow, const double* in, double* fastOut, double* slowOut, int n) {
    fast.run(in, fastOut, n);
    slow.run(in, slowOut, n);
}
void runShelfLanePlainFused(ShelfLane& f, double* v, int n) { f.run<true>(v, n); }
#endif

bool sameCoefficients(const BiquadCoefficients& a, const BiquadCoefficients& b) {
    return a.b0 == b.b0 && a.b1 == b.b1 && a.b2 == b.b2 && a.a1 == b.a1 && a.a2 == b.a2;
}

// A gliding filter has arrived once every coefficient sits within the spread its own noise keeps
// up around the design (about six standard deviations of that spread).
bool arrived(const Biquad& f, const ShelfHistory& h, int lane) {
    if (!f.filters()) return true;
    const BiquadCoefficients& t = f.targets();
    const double tolerance = 3.5e-13 / std::sqrt(2.0 * f.smoothing());
    return std::fabs(h.b0[lane] - t.b0) <= tolerance && std::fabs(h.b1[lane] - t.b1) <= tolerance &&
           std::fabs(h.b2[lane] - t.b2) <= tolerance && std::fabs(h.a1[lane] - t.a1) <= tolerance &&
           std::fabs(h.a2[lane] - t.a2) <= tolerance;
}

}  // namespace

void Kestrel::resetLevelHistory() {
    for (int c = 0; c < 2; ++c) {
        for (LevelHistory* h : {&fastHistory, &slowHistory}) h->x1[c] = h->x2[c] = h->y1[c] = h->y2[c] = 0.0;
        fastHistory.offset[c] = fastLevel[c].noise();
        slowHistory.offset[c] = slowLevel[c].noise();
    }
    const Biquad* shelves[4] = {&lowShelves[0], &lowShelves[1], &highShelves[0], &highShelves[1]};
    ShelfHistory& h = shelfHistory;
    for (int i = 0; i < 4; ++i) {
        const BiquadCoefficients& t = shelves[i]->targets();
        h.x1[i] = h.x2[i] = h.y1[i] = h.y2[i] = 0.0;
        h.b0[i] = t.b0;
        h.b1[i] = t.b1;
        h.b2[i] = t.b2;
        h.a1[i] = t.a1;
        h.a2[i] = t.a2;
    }
}

void Kestrel::startShelfHistory() {
    const Biquad* shelves[4] = {&lowShelves[0], &lowShelves[1], &highShelves[0], &highShelves[1]};
    ShelfHistory& h = shelfHistory;
    for (int i = 0; i < 4; ++i) {
        h.x1[i] = h.x2[i] = h.y1[i] = h.y2[i] = 0.0;
        h.b0[i] = h.b1[i] = h.b2[i] = h.a1[i] = h.a2[i] = 1.0;
        h.noise[i] = shelves[i]->noise();
        h.r1[i] = orv::dsp::DenormalNoise::kSeed1;
        h.r2[i] = orv::dsp::DenormalNoise::kSeed2;
        h.r3[i] = orv::dsp::DenormalNoise::kSeed3;
    }
}

// The coefficients of the Hilbert sum over a frame's taps, oldest first, rebuilt when N has
// changed.
const double* Kestrel::hilbertTaps() {
    Buffers& b = *buffers;
    const int n = hilbertN;
    if (b.hilbertTapsLength != n) {
        for (int k = 0; k < n; ++k) {
            b.hilbertTaps[n - 1 - k] = -b.hilbert[k];
            b.hilbertTaps[n + k] = b.hilbert[k];
        }
        b.hilbertTapsLength = n;
    }
    return b.hilbertTaps;
}

// Whether the shelves of the first `channels` channels run plain in the chunk that starts now.
// A new design makes a shelf glide at once; arrival is only checked at whole multiples of kChunk
// frames, so the choice never depends on how the host cuts its blocks.
bool Kestrel::shelvesSettled(int channels) {
    const Biquad* shelves[4] = {&lowShelves[0], &highShelves[0], &lowShelves[1], &highShelves[1]};
    static constexpr int kLane[4] = {ShelfHistory::kLowLeft, ShelfHistory::kHighLeft, ShelfHistory::kLowRight,
                                     ShelfHistory::kHighRight};
    const bool checkpoint = (frameClock & (kChunk - 1)) == 0;
    bool all = true;
    for (int i = 0; i < 4; ++i) {
        const Biquad& f = *shelves[i];
        if (shelfArrived[i] && !sameCoefficients(shelfReached[i], f.targets())) shelfArrived[i] = false;
        if (!shelfArrived[i] && checkpoint && i < 2 * channels && arrived(f, shelfHistory, kLane[i])) {
            shelfArrived[i] = true;
            shelfReached[i] = f.targets();
        }
        if (i < 2 * channels) all = all && shelfArrived[i];
    }
    return all;
}

// The inputs of one chunk as the kernels read them: the host's buffers from `offset` on, or,
// when one of them holds a sample the engine does not take in (see sample_guard.h), copies in
// which such samples are silence. The outputs are left as they are.
Kestrel::Channels Kestrel::chunkInputs(const Channels& ch, int offset, int n) {
    Channels c = ch;
    for (int k = 0; k < 4; ++k) c.in[k] = ch.in[k] + offset;
    if (orv::dsp::admitsAll(c.in, 0, n)) return c;
    Buffers& b = *buffers;
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < n; ++i) b.admitted[k][i] = static_cast<float>(orv::dsp::admitSample(c.in[k][i]));
        c.in[k] = b.admitted[k];
    }
    return c;
}

// Copies a finished chunk to the outputs (left first, so a shared buffer keeps the right
// result) and runs the Post meters on it.
void Kestrel::writeChunk(const Channels& ch, int offset, int n) {
    const Buffers& b = *buffers;
    float* left = ch.out[0] + offset;
    float* right = ch.out[1] + offset;
    for (int i = 0; i < n; ++i) left[i] = static_cast<float>(b.chunkLeft[i]);
    for (int i = 0; i < n; ++i) right[i] = static_cast<float>(b.chunkRight[i]);
    if (meterFeeds.source() == MeterSource::Post) meterFeeds.feedLevelChunk(b.chunkLeft, b.chunkRight, &noiseNow, 0, n);
}

template <bool kSmooth, bool kPlainShelves, bool Wide>
void Kestrel::stereoChunk(const Channels& ch, int n) {
    const MeterSource source = meterFeeds.source();
    Buffers& b = *buffers;
    const KestrelSettings& s = engine;
    const int hn = hilbertN;
    const double* h = hilbertTaps();
    const unsigned mainBack = kRingSize - kDetectorDelay;           // 1021 behind
    const unsigned keyBack = static_cast<unsigned>(2 * hn + 2);  // 1022 - 2N behind
    const int centreAge = 2 * hn - 1;
    const double thresholdGain = s.thresholdGain;
    const bool link = s.link != 0.0;
    const bool monitoring = s.sideChainMonitor != 0;
    const double makeupTarget = s.makeupGain, outputTarget = s.outputGain;
    const double autoMakeup = s.autoMakeup != 0.0 ? s.autoMakeupFactor : 1.0;
    const double mix = s.mix;
    const bool rms = s.rmsMode != 0;

    // The kernel noise of the chunk, three values a frame: left, right and the smoothers' value
    // (smoother[0] is the previous frame's, which the Pre meters take).
    alignas(16) double noiseL[kChunk], noiseR[kChunk], smoother[kChunk + 1];
    smoother[0] = noiseNow;
    {
        double* const values[3] = {noiseL, noiseR, smoother + 1};
        noise.next<orv::simd::Sse2>(values, n);
    }

    // The rings: every value the chunk reads is older than the chunk (the key is at least
    // 1022 - 2 * kMaxHilbertLength frames old), so the reads come first, then the writes.
    static_assert(kChunk <= 1022 - 2 * kMaxHilbertLength, "a chunk must not read what it writes");
    alignas(16) double keyL[kChunk], keyR[kChunk];
    const unsigned first = (inWrite + 1) & kRingMask;
    copyFromRing(b.meterLeft, b.input[0], (first + mainBack) & kRingMask, n);
    copyFromRing(b.meterRight, b.input[1], (first + mainBack) & kRingMask, n);
    copyFromRing(keyL, b.input[2], (first + keyBack) & kRingMask, n);
    copyFromRing(keyR, b.input[3], (first + keyBack) & kRingMask, n);
    for (int c = 0; c < 4; ++c) copyIntoRing(b.input[c], first, ch.in[c], n);
    inWrite = (inWrite + static_cast<unsigned>(n)) & kRingMask;

    // The side chain as (left, right) pairs through the low and then the high shelves, each
    // pair of shelves over the whole chunk.
    alignas(16) double key[2 * kChunk];
    for (int i = 0; i < n; ++i) {
        key[2 * i] = keyL[i] + noiseL[i];
        key[2 * i + 1] = keyR[i] + noiseR[i];
    }
    const Biquad* const shelfLanes[4] = {&lowShelves[0], &lowShelves[1], &highShelves[0], &highShelves[1]};
    ShelfPairs shelves(shelfHistory, shelfLanes);
    if (kPlainShelves && Wide) {
        runShelfPairsPlainFused(shelves, key, n);
    } else if (kPlainShelves) {
        shelves.run<true>(ShelfPairs::kLow, key, nullptr, n);
        shelves.run<true>(ShelfPairs::kHigh, key, nullptr, n);
    } else {
        alignas(16) double lowNoise[2 * kChunk], highNoise[2 * kChunk];
        shelves.noiseFor(lowNoise, highNoise, n);
        shelves.run<false>(ShelfPairs::kLow, key, lowNoise, n);
        shelves.run<false>(ShelfPairs::kHigh, key, highNoise, n);
    }
    shelves.store(shelfHistory);

    // The detector values go into the halves of their rings, alternating from the half `next`
    // on (linked, both channels take the magnitude of the pair). Then each frame reads its
    // centre and taps as they stood after its own push, that is before the pushes of the later
    // frames of the chunk: the frames of one parity read consecutive values of one half.
    const unsigned next = b.detector[0].next;
    {
        alignas(16) double d[2][kChunk];
        if (link) {
            for (int i = 0; i < n; ++i) {
                const double fL = key[2 * i], fR = key[2 * i + 1];
                d[0][i] = 0.7071 * std::sqrt(fL * fL + fR * fR);
            }
        } else {
            for (int i = 0; i < n; ++i) d[0][i] = key[2 * i];
            for (int i = 0; i < n; ++i) d[1][i] = key[2 * i + 1];
        }
        alignas(16) double even[kChunk / 2], odd[kChunk / 2];
        for (int c = 0; c < 2; ++c) {
            const double* v = d[link ? 0 : c];
            for (int j = 0; 2 * j < n; ++j) even[j] = v[2 * j];
            for (int j = 0; 2 * j + 1 < n; ++j) odd[j] = v[2 * j + 1];
            b.detector[c].half[next].push(even, (n + 1) >> 1);
            b.detector[c].half[next ^ 1].push(odd, n >> 1);
        }
    }
    b.detector[0].next = b.detector[1].next = next ^ (static_cast<unsigned>(n) & 1);

    // Centres and (Smooth) Hilbert sums as (left, right) pairs per frame.
    alignas(16) double centres[2 * kChunk], imaginary[2 * kChunk];
    for (int q = 0; q < 2; ++q) {
        const int count = q ? n >> 1 : (n + 1) >> 1;  // frames q, q + 2, ...
        if (count == 0) continue;
        const unsigned into = next ^ static_cast<unsigned>(q);
        const int centreBack = hn - 1 + (q ? (n - 1) >> 1 : n >> 1);  // the first frame's
        const double* cL = b.detector[0].half[into ^ 1].newest(centreBack + 1);
        const double* cR = b.detector[1].half[into ^ 1].newest(centreBack + 1);
        for (int j = 0; j < count; ++j) {
            centres[4 * j + 2 * q] = cL[j];
            centres[4 * j + 2 * q + 1] = cR[j];
        }
        if (kSmooth) {
            const int tapBack = 2 * hn + (q ? (n - 2) >> 1 : (n - 1) >> 1);
            const double* tL = b.detector[0].half[into].newest(tapBack);
            const double* tR = b.detector[1].half[into].newest(tapBack);
            if constexpr (Wide) {
                hilbertPairSumsFused(h, tL, tR, 2 * hn, count, imaginary + 2 * q, 4);
            } else {
                for (int j = 0; j < count; ++j)
                    hilbertSums(h, tL + j, tR + j, 2 * hn, imaginary[4 * j + 2 * q], imaginary[4 * j + 2 * q + 1]);
            }
        }
    }
    alignas(16) double detected[2 * kChunk];
    if (kSmooth) {
        for (int k = 0; k < 2 * n; ++k) detected[k] = smooth(centres[k], imaginary[k], thresholdGain);
    } else {
        for (int k = 0; k < 2 * n; ++k) detected[k] = draft(centres[k], thresholdGain);
    }
    if (rms)
        for (int k = 0; k < 2 * n; ++k) detected[k] *= detected[k];

    // The level filters, each over the whole chunk.
    alignas(16) double fastLR[2 * kChunk], slowLR[2 * kChunk];
    if (Wide && fastLevel[0].filters() && fastLevel[1].filters() && slowLevel[0].filters() &&
        slowLevel[1].filters()) {
        LevelPair fast(fastLevel[0], fastLevel[1], fastHistory);
        LevelPair slow(slowLevel[0], slowLevel[1], slowHistory);
        runLevelPairsFused(fast, slow, detected, fastLR, slowLR, n);
        fast.store(fastHistory);
        slow.store(slowHistory);
    } else {
        LevelPair fast(fastLevel[0], fastLevel[1], fastHistory);
        fast.run(detected, fastLR, n);
        fast.store(fastHistory);
        LevelPair slow(slowLevel[0], slowLevel[1], slowHistory);
        slow.run(detected, slowLR, n);
        slow.store(slowHistory);
    }

    // The main signal with its noise; the monitor rings take it, or the shelved key.
    alignas(16) double mainL[kChunk], mainR[kChunk];
    for (int i = 0; i < n; ++i) mainL[i] = b.meterLeft[i] + noiseL[i];
    for (int i = 0; i < n; ++i) mainR[i] = b.meterRight[i] + noiseR[i];
    if (monitoring) {
        for (int i = 0; i < n; ++i) keyL[i] = key[2 * i];
        for (int i = 0; i < n; ++i) keyR[i] = key[2 * i + 1];
        b.monitor[0].push(keyL, n);
        b.monitor[1].push(keyR, n);
    } else {
        b.monitor[0].push(mainL, n);
        b.monitor[1].push(mainR, n);
    }

    double envelopeL = envelopes[0], envelopeR = envelopes[1];
    double makeup = makeupSmoothed, output = outputSmoothed;
    double gL = gains[0], gR = gains[1];
#if ORV_HAS_WIDE_PATH
    alignas(16) double followed[2 * kChunk];
    if constexpr (Wide) followBothFused(envelopes, detected, fastLR, slowLR, n, s, followed);
#endif
    for (int i = 0; i < n; ++i) {
#if ORV_HAS_WIDE_PATH
        if constexpr (Wide) {
            gL = followed[2 * i];
            gR = followed[2 * i + 1];
        } else
#endif
        {
            const double eL = detected[2 * i], eR = detected[2 * i + 1];
            gL = follow(envelopeL, eL, fastLR[2 * i], slowLR[2 * i], s);
            gR = follow(envelopeR, eR, fastLR[2 * i + 1], slowLR[2 * i + 1], s);
        }

        const double noiseValue = smoother[i + 1];
        makeup += (makeupTarget - makeup) * 0.001 + noiseValue;
        output += (outputTarget - output) * 0.001 + noiseValue;
        if (monitoring) {
            // The monitor value of frame i is centreAge frames older; the chunk's later
            // frames have been pushed after it.
            b.chunkLeft[i] = output * b.monitor[0].ago(centreAge + n - 1 - i);
            b.chunkRight[i] = output * b.monitor[1].ago(centreAge + n - 1 - i);
        } else {
            const double gain = makeup * autoMakeup * output;
            b.chunkLeft[i] = mainL[i] * gL * gain;
            b.chunkRight[i] = mainR[i] * gR * gain;
        }
        if (source == MeterSource::GainRed) {
            if (Wide) {
                // Both channels' meter values side by side: per lane the operations of
                // gainMeterValue.
                const __m128d g = _mm_mul_pd(_mm_set1_pd(0.98), _mm_set_pd(gR, gL));
                const __m128d m = _mm_add_pd(
                    _mm_mul_pd(_mm_sub_pd(_mm_andnot_pd(_mm_set1_pd(-0.0), g), _mm_set1_pd(1.0)), _mm_set1_pd(mix)),
                    _mm_set1_pd(1.0));
                _mm_storel_pd(b.meterLeft + i, m);
                _mm_storeh_pd(b.meterRight + i, m);
            } else {
                b.meterLeft[i] = Meters::gainMeterValue(gL, mix);
                b.meterRight[i] = Meters::gainMeterValue(gR, mix);
            }
        }
    }

    if (!Wide) {
        envelopes[0] = envelopeL;
        envelopes[1] = envelopeR;
    }
    gains[0] = gL;
    gains[1] = gR;
    makeupSmoothed = makeup;
    outputSmoothed = output;
    noiseNow = smoother[n];
    if (source == MeterSource::Pre)
        meterFeeds.feedLevelChunk(b.meterLeft, b.meterRight, smoother, 1, n);
    else if (source == MeterSource::GainRed)
        Wide ? meterFeeds.feedGainChunkWide(b.meterLeft, b.meterRight, smoother + 1, n)
             : meterFeeds.feedGainChunk(b.meterLeft, b.meterRight, smoother + 1, n);
}

// Mono: the sum of both channels is compressed and sent to both outputs. The rings keep both
// channels as they came in, so a switch between Mono, Stereo and power off never reads stale data.
template <bool kSmooth, bool kPlainShelves, bool Wide>
void Kestrel::monoChunk(const Channels& ch, int n) {
    const MeterSource source = meterFeeds.source();
    Buffers& b = *buffers;
    const KestrelSettings& s = engine;
    const int hn = hilbertN;
    const double* h = hilbertTaps();
    const unsigned mainBack = kRingSize - kDetectorDelay;
    const unsigned keyBack = static_cast<unsigned>(2 * hn + 2);
    const int centreAge = 2 * hn - 1;
    const double thresholdGain = s.thresholdGain;
    const bool monitoring = s.sideChainMonitor != 0;
    const double makeupTarget = s.makeupGain, outputTarget = s.outputGain;
    const double autoMakeup = s.autoMakeup != 0.0 ? s.autoMakeupFactor : 1.0;
    const double mix = s.mix;
    const bool rms = s.rmsMode != 0;

    // The kernel noise of the chunk: the left value of each frame (the right one is drawn and
    // unused in mono) and the smoothers' value (smoother[0] is the previous frame's).
    alignas(16) double noiseL[kChunk], smoother[kChunk + 1];
    smoother[0] = noiseNow;
    {
        alignas(16) double unused[kChunk];
        double* const values[3] = {noiseL, unused, smoother + 1};
        noise.next<orv::simd::Sse2>(values, n);
    }

    // The rings as in the stereo kernel: reads first, then the chunk's writes.
    alignas(16) double a[kChunk], c[kChunk], key[kChunk];
    const unsigned first = (inWrite + 1) & kRingMask;
    copyFromRing(a, b.input[0], (first + mainBack) & kRingMask, n);
    copyFromRing(c, b.input[1], (first + mainBack) & kRingMask, n);
    for (int i = 0; i < n; ++i) b.meterLeft[i] = (a[i] + c[i]) * 0.5;
    copyFromRing(a, b.input[2], (first + keyBack) & kRingMask, n);
    copyFromRing(c, b.input[3], (first + keyBack) & kRingMask, n);
    for (int i = 0; i < n; ++i) key[i] = (a[i] + c[i]) * 0.5;
    for (int k = 0; k < 4; ++k) copyIntoRing(b.input[k], first, ch.in[k], n);
    inWrite = (inWrite + static_cast<unsigned>(n)) & kRingMask;

    if (kPlainShelves && Wide) {
        ShelfLane low(shelfHistory, ShelfHistory::kLowLeft, lowShelves[0]);
        runShelfLanePlainFused(low, key, n);
        low.store(shelfHistory);
        ShelfLane high(shelfHistory, ShelfHistory::kHighLeft, highShelves[0]);
        runShelfLanePlainFused(high, key, n);
        high.store(shelfHistory);
    } else {
        ShelfLane low(shelfHistory, ShelfHistory::kLowLeft, lowShelves[0]);
        low.run<kPlainShelves>(key, n);
        low.store(shelfHistory);
        ShelfLane high(shelfHistory, ShelfHistory::kHighLeft, highShelves[0]);
        high.run<kPlainShelves>(key, n);
        high.store(shelfHistory);
    }

    // Both detector rings take the shelved key; the frames of one parity read consecutive
    // centres and tap windows of one half (see the stereo kernel).
    const unsigned next = b.detector[0].next;
    {
        alignas(16) double even[kChunk / 2], odd[kChunk / 2];
        for (int j = 0; 2 * j < n; ++j) even[j] = key[2 * j];
        for (int j = 0; 2 * j + 1 < n; ++j) odd[j] = key[2 * j + 1];
        for (int k = 0; k < 2; ++k) {
            b.detector[k].half[next].push(even, (n + 1) >> 1);
            b.detector[k].half[next ^ 1].push(odd, n >> 1);
        }
    }
    b.detector[0].next = b.detector[1].next = next ^ (static_cast<unsigned>(n) & 1);

    alignas(16) double centres[kChunk], imaginary[kChunk];
    for (int q = 0; q < 2; ++q) {
        const int count = q ? n >> 1 : (n + 1) >> 1;
        if (count == 0) continue;
        const unsigned into = next ^ static_cast<unsigned>(q);
        const int centreBack = hn - 1 + (q ? (n - 1) >> 1 : n >> 1);
        const double* cs = b.detector[0].half[into ^ 1].newest(centreBack + 1);
        for (int j = 0; j < count; ++j) centres[2 * j + q] = cs[j];
        if (kSmooth) {
            const double* t = b.detector[0].half[into].newest(2 * hn + (q ? (n - 2) >> 1 : (n - 1) >> 1));
            if constexpr (Wide)
                hilbertSumsFused(h, t, 2 * hn, count, imaginary + q, 2);
            else
                for (int j = 0; j < count; ++j) imaginary[2 * j + q] = hilbertSum(h, t + j, 2 * hn);
        }
    }
    alignas(16) double detected[kChunk];
    if (kSmooth) {
        for (int i = 0; i < n; ++i) detected[i] = smooth(centres[i], imaginary[i], thresholdGain);
    } else {
        for (int i = 0; i < n; ++i) detected[i] = draft(centres[i], thresholdGain);
    }
    if (rms)
        for (int i = 0; i < n; ++i) detected[i] *= detected[i];

    alignas(16) double fastOut[kChunk], slowOut[kChunk];
    if (Wide && fastLevel[0].filters() && slowLevel[0].filters()) {
        LevelLane fast(fastLevel[0], fastHistory);
        LevelLane slow(slowLevel[0], slowHistory);
        runLevelLanesFused(fast, slow, detected, fastOut, slowOut, n);
        fast.store(fastHistory);
        slow.store(slowHistory);
    } else {
        LevelLane fast(fastLevel[0], fastHistory);
        fast.run(detected, fastOut, n);
        fast.store(fastHistory);
        LevelLane slow(slowLevel[0], slowHistory);
        slow.run(detected, slowOut, n);
        slow.store(slowHistory);
    }

    // The main signal with its noise; both monitor rings take it, or the shelved key.
    for (int i = 0; i < n; ++i) a[i] = b.meterLeft[i] + noiseL[i];
    for (int k = 0; k < 2; ++k) b.monitor[k].push(monitoring ? key : a, n);
    const double* monitored = b.monitor[0].newest(centreAge + n);  // frame i's at i

    double envelope = envelopes[0];
    double makeup = makeupSmoothed, output = outputSmoothed;
    double g = gains[0];
    for (int i = 0; i < n; ++i) {
        g = follow(envelope, detected[i], fastOut[i], slowOut[i], s);
        const double noiseValue = smoother[i + 1];
        makeup += (makeupTarget - makeup) * 0.001 + noiseValue;
        output += (outputTarget - output) * 0.001 + noiseValue;
        double y;
        if (monitoring)
            y = output * monitored[i];
        else
            y = a[i] * g * makeup * autoMakeup * output;
        b.chunkLeft[i] = y;
        b.chunkRight[i] = y;
        if (source == MeterSource::GainRed) b.meterLeft[i] = Meters::gainMeterValue(g, mix);
    }

    envelopes[0] = envelope;
    gains[0] = gains[1] = g;
    makeupSmoothed = makeup;
    outputSmoothed = output;
    noiseNow = smoother[n];
    if (source == MeterSource::Pre)
        meterFeeds.feedLevelChunk(b.meterLeft, b.meterLeft, smoother, 1, n);
    else if (source == MeterSource::GainRed)
        Wide ? meterFeeds.feedGainChunkWide(b.meterLeft, b.meterLeft, smoother + 1, n)
             : meterFeeds.feedGainChunk(b.meterLeft, b.meterLeft, smoother + 1, n);
}

// Chunks end on whole multiples of kChunk frames, wherever the host's blocks begin.
template <bool Wide>
void Kestrel::processStereo(const Channels& ch, VstInt32 sampleFrames) {
    beginMeterBlock(false);
    const bool smooth = engine.smooth != 0.0;
    for (int done = 0; done < sampleFrames;) {
        const int room = kChunk - static_cast<int>(frameClock & (kChunk - 1));
        const int n = sampleFrames - done < room ? sampleFrames - done : room;
        const bool plain = shelvesSettled(2);
        const Channels in = chunkInputs(ch, done, n);
        if (smooth)
            plain ? stereoChunk<true, true, Wide>(in, n) : stereoChunk<true, false, Wide>(in, n);
        else
            plain ? stereoChunk<false, true, Wide>(in, n) : stereoChunk<false, false, Wide>(in, n);
        writeChunk(ch, done, n);
        frameClock += static_cast<unsigned>(n);
        done += n;
    }
    meterFeeds.ageHolds(sampleFrames);
}

template <bool Wide>
void Kestrel::processMono(const Channels& ch, VstInt32 sampleFrames) {
    beginMeterBlock(false);
    const bool smooth = engine.smooth != 0.0;
    for (int done = 0; done < sampleFrames;) {
        const int room = kChunk - static_cast<int>(frameClock & (kChunk - 1));
        const int n = sampleFrames - done < room ? sampleFrames - done : room;
        const bool plain = shelvesSettled(1);
        const Channels in = chunkInputs(ch, done, n);
        if (smooth)
            plain ? monoChunk<true, true, Wide>(in, n) : monoChunk<true, false, Wide>(in, n);
        else
            plain ? monoChunk<false, true, Wide>(in, n) : monoChunk<false, false, Wide>(in, n);
        writeChunk(ch, done, n);
        frameClock += static_cast<unsigned>(n);
        done += n;
    }
    meterFeeds.ageHolds(sampleFrames);
}

// The choice of kernel for the block, beside the kernels, so that the wide path inlines them.
template <bool Wide>
void Kestrel::processOnPath(const Channels& ch, VstInt32 sampleFrames) {
    if (engine.powerOn) {
        if (engine.stereo)
            processStereo<Wide>(ch, sampleFrames);
        else
            processMono<Wide>(ch, sampleFrames);
    } else {
        processPowerOff(ch, sampleFrames);
    }
}

template void Kestrel::processOnPath<false>(const Channels& ch, VstInt32 sampleFrames);

ORV_WIDE_PATH void Kestrel::processWide(const Channels& ch, VstInt32 sampleFrames) {
    processOnPath<true>(ch, sampleFrames);
}

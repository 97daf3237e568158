#include "borealis/dsp/half_band.h"

#include "borealis/dsp/code_path.h"

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#include <immintrin.h>
#define ORV_HALF_BAND_AVX 1
#endif

namespace orv::dsp {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
// Taps smaller than this are rounding residue of the sine and are cleared.
constexpr double kTinyTap = 1e-16;

// Half-band prototype: sin(pi i / 2) over a sine-shaped denominator close to pi i.
double prototype(int i) {
    if (i == 0) return 0.5;
    return std::sin(kPi * i / 2) / (256.0 * std::sin(kPi * i / 255.0));
}

// Puts a windowed kernel into its exact half-band form:
//  - the centre gets its exact value, and every even tap is zero (the prototype's zeros leave
//    sine rounding residue of about 1e-16, some of it above the clearing threshold);
//  - the odd taps are scaled to sum to `oddSum`. The prototype's denominator runs 1/255 above
//    pi i, which on its own would leave the two phases of the doubled stream 0.034 dB apart
//    and let images and aliases through at -54 dB; with the exact sum both phases have the
//    same gain and the windows' own rejection (beyond 90 dB) is reached.
void finishHalfBand(HalfBandKernel& kernel, double centre, double oddSum) {
    kernel[0] = centre;
    double sum = 0.0;
    for (int i = 1; i < kHalfBandHalfTaps; ++i) {
        if ((i & 1) == 0 || std::fabs(kernel[i]) < kTinyTap) {
            kernel[i] = 0.0;
        } else {
            sum += kernel[i];
        }
    }
    const double scale = oddSum / sum;
    for (int i = 1; i < kHalfBandHalfTaps; i += 2) kernel[i] *= scale;
}

}  // namespace

HalfBandKernel makeUpsamplerKernel() noexcept {
    HalfBandKernel k{};
    for (int i = 0; i < kHalfBandHalfTaps; ++i) {
        const double blackman =
            0.42 + 0.5 * std::cos(kTwoPi * i / 255.0) + 0.08 * std::cos(2.0 * kTwoPi * i / 255.0);
        k[i] = 2.0 * prototype(i) * blackman;
    }
    // Centre 1: every original sample passes unchanged. The odd taps, applied to both sides,
    // must then give a constant signal the same unit gain.
    finishHalfBand(k, 1.0, 0.5);
    return k;
}

HalfBandKernel makeDownsamplerKernel() noexcept {
    HalfBandKernel k{};
    for (int i = 0; i < kHalfBandHalfTaps; ++i) {
        const double hann = 0.5 + 0.5 * std::cos(kTwoPi * i / 255.0);
        k[i] = prototype(i) * hann;
    }
    // Centre 1/2 plus twice the odd sum: unit gain at DC.
    finishHalfBand(k, 0.5, 0.25);
    return k;
}

std::array<double, kHalfBandOddTaps> oddTaps(const HalfBandKernel& kernel) noexcept {
    std::array<double, kHalfBandOddTaps> odd{};
    for (int j = 0; j < kHalfBandOddTaps; ++j) odd[j] = kernel[2 * j + 1];
    return odd;
}

HalfBandPairedTaps pairedOddTaps(const HalfBandKernel& kernel) noexcept {
    HalfBandPairedTaps taps{};
    for (int j = 0; j < kHalfBandOddTaps; ++j) taps.v[2 * j] = taps.v[2 * j + 1] = kernel[2 * j + 1];
    return taps;
}

void foldedHalfBandSums(const double* x, const double* odd, double* out, int count) noexcept {
    for (int i = 0; i < count; ++i) {
        double acc = 0.0;
        for (int j = 0; j < kHalfBandOddTaps; ++j) acc += odd[j] * (x[i + 64 + j] + x[i + 63 - j]);
        out[i] = acc;
    }
}

#if defined(__SSE2__)
namespace {

// ahead + behind for two neighbouring outputs. The two addresses are an odd number of doubles
// apart, so exactly one of them is 16-byte aligned; that one is read as the memory operand of
// the add and only the other needs a load of its own.
template <bool kAheadAligned>
inline __m128d foldPair(const double* ahead, const double* behind) noexcept {
    if constexpr (kAheadAligned) return _mm_add_pd(_mm_load_pd(ahead), _mm_loadu_pd(behind));
    else return _mm_add_pd(_mm_loadu_pd(ahead), _mm_load_pd(behind));
}

// kAligned: whether x + 64 is 16-byte aligned. Outputs start at even i, so for even taps j
// the ahead reads are aligned exactly when kAligned holds, and for odd taps the behind reads.
// Each lane keeps its own output's sum in the order of the plain form (addition and
// multiplication of two values commute exactly), so the results are the same bit for bit.
template <bool kAligned>
void pairedSums(const double* x, const double* taps, double* out, int count) noexcept {
    int i = 0;
    // Eight outputs per pass in four registers; every tap costs, per register, one load, the
    // fold's add, a multiply and the accumulating add.
    for (; i + 8 <= count; i += 8) {
        __m128d a0 = _mm_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
        const double* ahead = x + i + 64;
        const double* behind = x + i + 63;
#pragma GCC unroll 2
        for (int j = 0; j < kHalfBandOddTaps; j += 2) {
            const __m128d c0 = _mm_load_pd(taps + 2 * j);
            const double* p = ahead + j;
            const double* q = behind - j;
            a0 = _mm_add_pd(a0, _mm_mul_pd(c0, foldPair<kAligned>(p, q)));
            a1 = _mm_add_pd(a1, _mm_mul_pd(c0, foldPair<kAligned>(p + 2, q + 2)));
            a2 = _mm_add_pd(a2, _mm_mul_pd(c0, foldPair<kAligned>(p + 4, q + 4)));
            a3 = _mm_add_pd(a3, _mm_mul_pd(c0, foldPair<kAligned>(p + 6, q + 6)));
            const __m128d c1 = _mm_load_pd(taps + 2 * j + 2);
            a0 = _mm_add_pd(a0, _mm_mul_pd(c1, foldPair<!kAligned>(p + 1, q - 1)));
            a1 = _mm_add_pd(a1, _mm_mul_pd(c1, foldPair<!kAligned>(p + 3, q + 1)));
            a2 = _mm_add_pd(a2, _mm_mul_pd(c1, foldPair<!kAligned>(p + 5, q + 3)));
            a3 = _mm_add_pd(a3, _mm_mul_pd(c1, foldPair<!kAligned>(p + 7, q + 5)));
        }
        _mm_storeu_pd(out + i, a0);
        _mm_storeu_pd(out + i + 2, a1);
        _mm_storeu_pd(out + i + 4, a2);
        _mm_storeu_pd(out + i + 6, a3);
    }
    for (; i + 2 <= count; i += 2) {
        __m128d a = _mm_setzero_pd();
        const double* ahead = x + i + 64;
        const double* behind = x + i + 63;
        for (int j = 0; j < kHalfBandOddTaps; j += 2) {
            a = _mm_add_pd(a, _mm_mul_pd(_mm_load_pd(taps + 2 * j), foldPair<kAligned>(ahead + j, behind - j)));
            a = _mm_add_pd(a, _mm_mul_pd(_mm_load_pd(taps + 2 * j + 2),
                                         foldPair<!kAligned>(ahead + j + 1, behind - j - 1)));
        }
        _mm_storeu_pd(out + i, a);
    }
    for (; i < count; ++i) {
        double acc = 0.0;
        for (int j = 0; j < kHalfBandOddTaps; ++j) acc += taps[2 * j] * (x[i + 64 + j] + x[i + 63 - j]);
        out[i] = acc;
    }
}

}  // namespace
#endif

namespace half_band_forms {

void twoLanes(const double* x, const HalfBandPairedTaps& taps, double* out, int count) noexcept {
#if defined(__SSE2__)
    if ((reinterpret_cast<std::uintptr_t>(x + 64) & 15) == 0) return pairedSums<true>(x, taps.v, out, count);
    if ((reinterpret_cast<std::uintptr_t>(x + 64) & 7) == 0) return pairedSums<false>(x, taps.v, out, count);
#endif
    for (int i = 0; i < count; ++i) {
        double acc = 0.0;
        for (int j = 0; j < kHalfBandOddTaps; ++j) acc += taps.v[2 * j] * (x[i + 64 + j] + x[i + 63 - j]);
        out[i] = acc;
    }
}

#if defined(ORV_HALF_BAND_AVX)
namespace {

// AVX (without FMA, so every product is rounded before it is added, as in the plain form):
// four outputs per register. VEX-encoded arithmetic takes unaligned memory operands, so each
// fold costs one load and one add wherever x lies.
__attribute__((target("avx"))) void quadSums(const double* x, const HalfBandPairedTaps& paired, double* out,
                                             int count) noexcept {
    const double* taps = paired.v;
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        __m256d a0 = _mm256_setzero_pd(), a1 = a0, a2 = a0, a3 = a0;
        const double* ahead = x + i + 64;
        const double* behind = x + i + 63;
        // Unrolled for the loop control only: each sum still takes its taps in order.
#pragma GCC unroll 4
        for (int j = 0; j < kHalfBandOddTaps; ++j) {
            const __m256d c = _mm256_broadcast_sd(taps + 2 * j);
            const double* p = ahead + j;
            const double* q = behind - j;
            a0 = _mm256_add_pd(a0, _mm256_mul_pd(c, _mm256_add_pd(_mm256_loadu_pd(p), _mm256_loadu_pd(q))));
            a1 = _mm256_add_pd(a1, _mm256_mul_pd(c, _mm256_add_pd(_mm256_loadu_pd(p + 4), _mm256_loadu_pd(q + 4))));
            a2 = _mm256_add_pd(a2, _mm256_mul_pd(c, _mm256_add_pd(_mm256_loadu_pd(p + 8), _mm256_loadu_pd(q + 8))));
            a3 = _mm256_add_pd(a3, _mm256_mul_pd(c, _mm256_add_pd(_mm256_loadu_pd(p + 12), _mm256_loadu_pd(q + 12))));
        }
        _mm256_storeu_pd(out + i, a0);
        _mm256_storeu_pd(out + i + 4, a1);
        _mm256_storeu_pd(out + i + 8, a2);
        _mm256_storeu_pd(out + i + 12, a3);
    }
    for (; i + 4 <= count; i += 4) {
        __m256d a = _mm256_setzero_pd();
        const double* ahead = x + i + 64;
        const double* behind = x + i + 63;
        for (int j = 0; j < kHalfBandOddTaps; ++j) {
            const __m256d c = _mm256_broadcast_sd(taps + 2 * j);
            a = _mm256_add_pd(a, _mm256_mul_pd(c, _mm256_add_pd(_mm256_loadu_pd(ahead + j), _mm256_loadu_pd(behind - j))));
        }
        _mm256_storeu_pd(out + i, a);
    }
    if (i < count) twoLanes(x + i, paired, out + i, count - i);
}

bool detectAvx() noexcept {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
}

// Decided once when the library loads; false until then, which only means the two-lane form.
const bool gHaveAvx = detectAvx();

}  // namespace
#endif

bool fourLanes(const double* x, const HalfBandPairedTaps& taps, double* out, int count) noexcept {
#if defined(ORV_HALF_BAND_AVX)
    if (!gHaveAvx) return false;
    quadSums(x, taps, out, count);
    return true;
#else
    (void)x, (void)taps, (void)out, (void)count;
    return false;
#endif
}

}  // namespace half_band_forms

void foldedHalfBandSums(const double* x, const HalfBandPairedTaps& taps, double* out, int count) noexcept {
    if (count <= 0) return;
    if (!half_band_forms::fourLanes(x, taps, out, count)) half_band_forms::twoLanes(x, taps, out, count);
}

#if ORV_HAS_WIDE_PATH && defined(ORV_HALF_BAND_AVX)
#define ORV_HALF_BAND_FUSED 1
namespace {

// The wide path's sums do not fold the symmetric taps: each of the two samples of a tap gets a
// fused multiply-add of its own, which reads its sample straight from memory and so takes fewer
// instructions than adding the pair first. One output with the scalar fused multiply-add, in the
// same order and with the same roundings as each lane of the vector passes below.
__attribute__((target("avx2,fma"))) inline double fusedSum(const double* x, const double* taps) noexcept {
    const double* ahead = x + 64;
    const double* behind = x + 63;
    __m128d acc = _mm_setzero_pd();
    for (int j = 0; j < kHalfBandOddTaps; ++j) {
        const __m128d c = _mm_load_sd(taps + 2 * j);
        acc = _mm_fmadd_sd(c, _mm_load_sd(ahead + j), acc);
        acc = _mm_fmadd_sd(c, _mm_load_sd(behind - j), acc);
    }
    return _mm_cvtsd_f64(acc);
}

// 4G neighbouring outputs, each lane one output, every lane summing as fusedSum does.
template <int G>
__attribute__((target("avx2,fma"))) inline void groupSumsFused(const double* x, const double* taps,
                                                               double* out) noexcept {
    const double* ahead = x + 64;
    const double* behind = x + 63;
    __m256d acc[G];
    for (int g = 0; g < G; ++g) acc[g] = _mm256_setzero_pd();
#pragma GCC unroll 2
    for (int j = 0; j < kHalfBandOddTaps; ++j) {
        const __m256d c = _mm256_broadcast_sd(taps + 2 * j);
#pragma GCC unroll 8
        for (int g = 0; g < G; ++g) acc[g] = _mm256_fmadd_pd(c, _mm256_loadu_pd(ahead + j + 4 * g), acc[g]);
#pragma GCC unroll 8
        for (int g = 0; g < G; ++g) acc[g] = _mm256_fmadd_pd(c, _mm256_loadu_pd(behind - j + 4 * g), acc[g]);
    }
    for (int g = 0; g < G; ++g) _mm256_storeu_pd(out + 4 * g, acc[g]);
}

// Thirty-two, then four outputs per pass; the last one to three outputs one at a time.
__attribute__((target("avx2,fma"))) void quadSumsFused(const double* x, const HalfBandPairedTaps& paired,
                                                       double* out, int count) noexcept {
    const double* taps = paired.v;
    int i = 0;
    for (; i + 32 <= count; i += 32) groupSumsFused<8>(x + i, taps, out + i);
    for (; i + 4 <= count; i += 4) groupSumsFused<1>(x + i, taps, out + i);
    for (; i < count; ++i) out[i] = fusedSum(x + i, taps);
}

}  // namespace
#endif

bool half_band_forms::fusedLanes(const double* x, const HalfBandPairedTaps& taps, double* out, int count) noexcept {
#if defined(ORV_HALF_BAND_FUSED)
    if (!processorRunsWidePath()) return false;
    if (count > 0) quadSumsFused(x, taps, out, count);
    return true;
#else
    (void)x, (void)taps, (void)out, (void)count;
    return false;
#endif
}

void foldedHalfBandSumsFused(const double* x, const HalfBandPairedTaps& taps, double* out, int count) noexcept {
    if (count <= 0) return;
#if defined(ORV_HALF_BAND_FUSED)
    quadSumsFused(x, taps, out, count);
#else
    foldedHalfBandSums(x, taps, out, count);
#endif
}

}  // namespace orv::dsp

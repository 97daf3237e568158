#include "borealis/hilbert.h"

#include "borealis/dsp/code_path.h"

#include <cmath>
#include <emmintrin.h>
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#include <immintrin.h>
#define ORV_HILBERT_AVX 1
#endif

namespace borealis {

constexpr double kPi = 3.141592653589793;

void HilbertTable::build(double sideChainRate, bool smooth) {
    int n = static_cast<int>(sideChainRate * (smooth ? 2.0 : 1.0) * 0.5 / 400.0);
    if (n < 1) n = 1;
    if (n > kMaxHalfLength) n = kMaxHalfLength;
    for (int k = 0; k < kMaxHalfLength; ++k) {
        c_[k] = k < n ? 2.0 / ((2 * k + 1) * kPi) : 0.0;
        pairs_[2 * k] = pairs_[2 * k + 1] = c_[k];
        for (int q = 0; q < 4; ++q) quads_[4 * k + q] = c_[k];
    }
    n_ = n;
}

double HilbertTable::transform(const double* centre) const {
    const double* newer = centre + 1;
    const double* older = centre - 1;
    const double* c = c_;
    const int n = n_;
    double sum = 0.0;
#pragma omp simd reduction(+ : sum)
    for (int k = 0; k < n; ++k) sum += c[k] * (newer[2 * k] - older[-2 * k]);
    return sum;
}

void HilbertTable::transformStereo(const double* centre, double& left, double& right) const {
    // Tap k reads the pairs 2k + 1 after and before the centre: 4k + 2 doubles away. Four
    // partial sums (taps k mod 4) keep the additions independent; they are combined in a fixed
    // order, so the result depends only on the history.
    const double* newer = centre + 2;
    const double* older = centre - 2;
    const double* c = pairs_;
    const int n = n_;
    __m128d s0 = _mm_setzero_pd(), s1 = _mm_setzero_pd(), s2 = _mm_setzero_pd(), s3 = _mm_setzero_pd();
    int k = 0;
    auto tap = [&](__m128d& acc, int j) {
        const __m128d d = _mm_sub_pd(_mm_load_pd(newer + 4 * j), _mm_load_pd(older - 4 * j));
        acc = _mm_add_pd(acc, _mm_mul_pd(_mm_load_pd(c + 2 * j), d));
    };
    // Eight taps a pass (each partial sum takes two), then four, then one at a time.
    for (; k + 8 <= n; k += 8) {
        tap(s0, k);
        tap(s1, k + 1);
        tap(s2, k + 2);
        tap(s3, k + 3);
        tap(s0, k + 4);
        tap(s1, k + 5);
        tap(s2, k + 6);
        tap(s3, k + 7);
    }
    for (; k + 4 <= n; k += 4) {
        const double* a = newer + 4 * k;
        const double* b = older - 4 * k;
        const double* ck = c + 2 * k;
        s0 = _mm_add_pd(s0, _mm_mul_pd(_mm_load_pd(ck), _mm_sub_pd(_mm_load_pd(a), _mm_load_pd(b))));
        s1 = _mm_add_pd(s1, _mm_mul_pd(_mm_load_pd(ck + 2), _mm_sub_pd(_mm_load_pd(a + 4), _mm_load_pd(b - 4))));
        s2 = _mm_add_pd(s2, _mm_mul_pd(_mm_load_pd(ck + 4), _mm_sub_pd(_mm_load_pd(a + 8), _mm_load_pd(b - 8))));
        s3 = _mm_add_pd(s3, _mm_mul_pd(_mm_load_pd(ck + 6), _mm_sub_pd(_mm_load_pd(a + 12), _mm_load_pd(b - 12))));
    }
    for (; k < n; ++k) {
        const __m128d d = _mm_sub_pd(_mm_load_pd(newer + 4 * k), _mm_load_pd(older - 4 * k));
        s0 = _mm_add_pd(s0, _mm_mul_pd(_mm_load_pd(c + 2 * k), d));
    }
    const __m128d sum = _mm_add_pd(_mm_add_pd(s0, s1), _mm_add_pd(s2, s3));
    left = _mm_cvtsd_f64(sum);
    right = _mm_cvtsd_f64(_mm_unpackhi_pd(sum, sum));
}

#if defined(ORV_HILBERT_AVX)
namespace {

bool detectAvx() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
}

// Decided once when the library loads; false until then, which only means the two-pass form.
const bool gHaveAvx = detectAvx();

// transformStereo for two neighbouring centres in the four lanes of each register: lanes 0, 1
// belong to `centre`, lanes 2, 3 to the pair after it. Each register's lanes take exactly the
// taps, in exactly the order, of the matching partial sum of transformStereo (taps k mod 4 up
// to the last multiple of four, the rest into the first), and the four are combined the same
// way, so every lane rounds as the one-centre pass does. No FMA: products are rounded first.
__attribute__((target("avx"))) void twiceAvx(const double* centre, const double* quads, int n, double out[4]) {
    const double* newer = centre + 2;
    const double* older = centre - 2;
    __m256d s0 = _mm256_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
// (A macro: a lambda would not inherit the function's target.)
#define ORV_HILBERT_TAP(acc, k)                                                                          \
    acc = _mm256_add_pd(acc, _mm256_mul_pd(_mm256_load_pd(quads + 4 * (k)),                              \
                                           _mm256_sub_pd(_mm256_loadu_pd(newer + 4 * (k)),              \
                                                         _mm256_loadu_pd(older - 4 * (k)))))
    int k = 0;
    // Eight taps a pass where they fit, so the loop's own steps cost less per tap.
    for (; k + 8 <= n; k += 8) {
        ORV_HILBERT_TAP(s0, k);
        ORV_HILBERT_TAP(s1, k + 1);
        ORV_HILBERT_TAP(s2, k + 2);
        ORV_HILBERT_TAP(s3, k + 3);
        ORV_HILBERT_TAP(s0, k + 4);
        ORV_HILBERT_TAP(s1, k + 5);
        ORV_HILBERT_TAP(s2, k + 6);
        ORV_HILBERT_TAP(s3, k + 7);
    }
    for (; k + 4 <= n; k += 4) {
        ORV_HILBERT_TAP(s0, k);
        ORV_HILBERT_TAP(s1, k + 1);
        ORV_HILBERT_TAP(s2, k + 2);
        ORV_HILBERT_TAP(s3, k + 3);
    }
    for (; k < n; ++k) ORV_HILBERT_TAP(s0, k);
#undef ORV_HILBERT_TAP
    _mm256_storeu_pd(out, _mm256_add_pd(_mm256_add_pd(s0, s1), _mm256_add_pd(s2, s3)));
}

}  // namespace
#endif

#if ORV_HAS_WIDE_PATH && defined(ORV_HILBERT_AVX)
#define ORV_HILBERT_FUSED 1
namespace {

// The wide path's sums for G neighbouring pairs of centres (2G outputs of both channels), lanes
// 0, 1 of register g for centre 2g, lanes 2, 3 for centre 2g + 1. Every lane takes the same
// steps in the same order, whatever G is: per tap, the newer sample's product is added and the
// older sample's subtracted, each fused into the sum. The taps run to N rounded up to a multiple
// of eight (the coefficients past N are zero, so those taps add nothing), so the history must
// reach kTapPadding pairs further on both sides than N asks for. With G registers sharing each
// coefficient load, a tap costs little more than its two fused steps per register.
template <int G>
__attribute__((target("avx2,fma"))) inline void groupsFused(const double* centre, const double* quads, int padded,
                                                            double* out) {
    const double* newer = centre + 2;
    const double* older = centre - 2;
    __m256d acc[G];
    for (int g = 0; g < G; ++g) acc[g] = _mm256_setzero_pd();
    for (int k = 0; k < padded; ++k) {
        const __m256d c = _mm256_load_pd(quads + 4 * k);
        // Register g's newer samples are register g + 1's at the tap before; left to itself the
        // compiler carries them over from tap to tap in registers and runs out of them. Hiding
        // where the pointers come from keeps every read a plain load from memory.
        const double* pn = newer + 4 * k;
        const double* po = older - 4 * k;
        asm("" : "+r"(pn), "+r"(po));
#pragma GCC unroll 12
        for (int g = 0; g < G; ++g) acc[g] = _mm256_fmadd_pd(c, _mm256_loadu_pd(pn + 4 * g), acc[g]);
#pragma GCC unroll 12
        for (int g = 0; g < G; ++g) acc[g] = _mm256_fnmadd_pd(c, _mm256_loadu_pd(po + 4 * g), acc[g]);
    }
    for (int g = 0; g < G; ++g) _mm256_storeu_pd(out + 4 * g, acc[g]);
}

}  // namespace
#endif

void HilbertTable::transformStereoRunFused(const double* first, int count, double* out) const {
#if defined(ORV_HILBERT_FUSED)
    const int padded = (n_ + 7) & ~7;
    int i = 0;
    for (; i + 24 <= count; i += 24) groupsFused<12>(first + 2 * i, quads_, padded, out + 2 * i);
    if (i + 16 <= count) {
        groupsFused<8>(first + 2 * i, quads_, padded, out + 2 * i);
        i += 16;
    }
    if (i + 8 <= count) {
        groupsFused<4>(first + 2 * i, quads_, padded, out + 2 * i);
        i += 8;
    }
    if (i + 4 <= count) {
        groupsFused<2>(first + 2 * i, quads_, padded, out + 2 * i);
        i += 4;
    }
    if (i + 2 <= count) {
        groupsFused<1>(first + 2 * i, quads_, padded, out + 2 * i);
        i += 2;
    }
    if (i < count) {
        // A lone centre as the second of a pair whose first is the centre before it, so the
        // history need not reach past its own newest tap.
        double pair[4];
        groupsFused<1>(first + 2 * (i - 1), quads_, padded, pair);
        out[2 * i] = pair[2];
        out[2 * i + 1] = pair[3];
    }
#else
    for (int i = 0; i < count; ++i) transformStereo(first + 2 * i, out[2 * i], out[2 * i + 1]);
#endif
}

void HilbertTable::transformStereoTwice(const double* centre, double out[4]) const {
#if defined(ORV_HILBERT_AVX)
    if (gHaveAvx) {
        twiceAvx(centre, quads_, n_, out);
        return;
    }
#endif
    transformStereo(centre, out[0], out[1]);
    transformStereo(centre + 2, out[2], out[3]);
}

}  // namespace borealis

#pragma once
// Which input samples the engines take in. A NaN or an infinity would stay in every ring,
// filter history and envelope it reaches for the rest of the session, and a finite value beyond
// +-2^32 (about +193 dBFS) can overflow the squares and single-precision magnitudes downstream
// into the same state. Such a sample is garbage rather than audio and enters as silence.
//
// Checking each sample where it enters would cost a compare and a select per channel in loops
// that are otherwise dominated by ring stores; instead each chunk of host samples is scanned in
// one vector pass (about one instruction per sample), and only a chunk that fails is taken in
// sample by sample through admitSample.
#include <emmintrin.h>

namespace orv::dsp {

constexpr double kLargestSample = 4294967296.0;  // 2^32

// The sample itself, or 0 for a NaN, an infinity or a magnitude beyond kLargestSample.
inline double admitSample(double x) {
    // A NaN fails the comparison too.
    return (x <= kLargestSample && x >= -kLargestSample) ? x : 0.0;
}
inline double admitSample(float x) { return admitSample(static_cast<double>(x)); }

// Whether admitSample leaves all `count` samples unchanged. "Not less or equal" is true for a
// NaN as well as for a magnitude above the limit.
inline bool admitsAll(const float* x, int count) {
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 limit = _mm_set1_ps(static_cast<float>(kLargestSample));
    __m128 bad = _mm_setzero_ps();
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128 a = _mm_and_ps(_mm_loadu_ps(x + i), magnitude);
        const __m128 b = _mm_and_ps(_mm_loadu_ps(x + i + 4), magnitude);
        bad = _mm_or_ps(bad, _mm_or_ps(_mm_cmpnle_ps(a, limit), _mm_cmpnle_ps(b, limit)));
    }
    for (; i < count; ++i) {
        const __m128 a = _mm_and_ps(_mm_load_ss(x + i), magnitude);
        bad = _mm_or_ps(bad, _mm_cmpnle_ss(a, limit));
    }
    return _mm_movemask_ps(bad) == 0;
}

inline bool admitsAll(const double* x, int count) {
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFLL));
    const __m128d limit = _mm_set1_pd(kLargestSample);
    __m128d bad = _mm_setzero_pd();
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128d a = _mm_and_pd(_mm_loadu_pd(x + i), magnitude);
        const __m128d b = _mm_and_pd(_mm_loadu_pd(x + i + 2), magnitude);
        bad = _mm_or_pd(bad, _mm_or_pd(_mm_cmpnle_pd(a, limit), _mm_cmpnle_pd(b, limit)));
    }
    for (; i < count; ++i) {
        const __m128d a = _mm_and_pd(_mm_load_sd(x + i), magnitude);
        bad = _mm_or_pd(bad, _mm_cmpnle_sd(a, limit));
    }
    return _mm_movemask_pd(bad) == 0;
}

// Whether every distinct channel among `channels` admits its `count` samples from `offset` on.
// Channels often share a buffer (the key is the main input, mono fills both sides); each
// buffer is scanned once.
template <class T, int N>
inline bool admitsAll(const T* const (&channels)[N], int offset, int count) {
    for (int c = 0; c < N; ++c) {
        bool seen = false;
        for (int d = 0; d < c; ++d) seen = seen || channels[d] == channels[c];
        if (!seen && !admitsAll(channels[c] + offset, count)) return false;
    }
    return true;
}

}  // namespace orv::dsp

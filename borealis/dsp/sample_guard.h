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
#include "borealis/dsp/simd.h"

namespace orv::dsp {

constexpr double kLargestSample = 4294967296.0;  // 2^32

// The sample itself, or 0 for a NaN, an infinity or a magnitude beyond kLargestSample.
ORV_SIMD_INLINE double admitSample(double x) {
    // A NaN fails the comparison too.
    return (x <= kLargestSample && x >= -kLargestSample) ? x : 0.0;
}
ORV_SIMD_INLINE double admitSample(float x) { return admitSample(static_cast<double>(x)); }

// Whether admitSample leaves all `count` samples unchanged.
ORV_SIMD_INLINE bool admitsAll(const float* x, int count) {
    return simd::allWithin(x, count, static_cast<float>(kLargestSample));
}
ORV_SIMD_INLINE bool admitsAll(const double* x, int count) { return simd::allWithin(x, count, kLargestSample); }

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

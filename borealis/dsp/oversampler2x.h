#pragma once
// 2x resampler for one stream in each direction: a 255-tap half-band interpolator (upsample)
// and a 255-tap half-band decimator (downsample). Its rings also provide the 64-sample delays
// that replace the two resampling steps when the gain stage runs at the host rate, so both
// paths have the same structure.
//
// Timing: upsample turns input x[n] into the pair (value halfway between x[n-65] and x[n-64],
// x[n-64]); downsample turns the pair (z[2n], z[2n+1]) into the decimated value centred on
// z[2n-129]. Upsample then downsample returns a band-limited signal 129 samples late with unit
// gain; delayIn then delayOut returns any signal exactly 128 samples late.
//
// All storage lives inside the object; no call allocates.
#include <array>

#include "borealis/dsp/half_band.h"
#include "borealis/dsp/mirrored_ring.h"

namespace orv::dsp {

class Oversampler2x {
public:
    // The latency value the effect reports for this block (63 for each direction).
    static constexpr int kLatency = 126;
    // Delay of upsample followed by downsample, in host-rate samples.
    static constexpr int kRoundTripDelay = 129;
    // Delay of the original samples inside the doubled stream, in host-rate samples.
    static constexpr int kUpsampleDelay = 64;
    // Delay of delayIn and of delayOut, each.
    static constexpr int kBypassDelay = 64;

    Oversampler2x() noexcept;

    // Clears both rings.
    void reset() noexcept;

    // `count` samples at the start of `buffer` become 2 * count samples in place; the buffer
    // must have room for 2 * count values. Any count works; count <= 0 does nothing.
    // A: the instruction set of the code path (simd.h).
    template <class A>
    void upsample(double* buffer, int count) noexcept;
    // `doubledCount` samples become doubledCount / 2 in place; returns that number. An odd last
    // sample is ignored.
    template <class A>
    int downsample(double* buffer, int doubledCount) noexcept;
    // Delay the stream by exactly kBypassDelay samples, in place. delayIn shares the ring of
    // upsample, delayOut the ring of downsample.
    void delayIn(double* buffer, int count) noexcept;
    void delayOut(double* buffer, int count) noexcept;

    int latency() const noexcept { return kLatency; }

    const HalfBandKernel& upsamplerKernel() const noexcept { return upKernel_; }
    const HalfBandKernel& downsamplerKernel() const noexcept { return downKernel_; }

private:
    static constexpr int kRingSize = 256;
    // Samples handled per pass: the newest kHalfBandReach + kChunk values fit in a ring.
    static constexpr int kChunk = kRingSize - kHalfBandReach;

    template <class A>
    void upsampleChunk(const double* in, int stride, double* out, int count) noexcept;
    template <class A>
    void downsampleChunk(const double* in, double* out, int count) noexcept;

    // Input stream of the upsampler.
    MirroredRing<kRingSize> up_;
    // First and second sample of each pair of the downsampler's doubled stream.
    MirroredRing<kRingSize> downFirst_;
    MirroredRing<kRingSize> downSecond_;
    HalfBandKernel upKernel_;
    HalfBandKernel downKernel_;
    HalfBandTaps upTaps_;
    HalfBandTaps downTaps_;
};

template <class A>
inline void Oversampler2x::upsample(double* buffer, int count) noexcept {
    if (buffer == nullptr || count <= 0) return;
    if (count <= kChunk) {
        upsampleChunk<A>(buffer, 1, buffer, count);
        return;
    }
    // Several passes: first move every input to its own output position (backwards, so nothing
    // unread is overwritten); each pass then reads its inputs before writing over them.
    for (int i = count - 1; i > 0; --i) buffer[2 * i] = buffer[i];
    for (int start = 0; start < count; start += kChunk) {
        const int n = count - start < kChunk ? count - start : kChunk;
        upsampleChunk<A>(buffer + 2 * start, 2, buffer + 2 * start, n);
    }
}

template <class A>
inline void Oversampler2x::upsampleChunk(const double* in, int stride, double* out, int count) noexcept {
    for (int i = 0; i < count; ++i) up_.push(in[i * stride]);
    // x[0] is the input 128 samples before the first of this pass.
    const double* x = up_.newest(kHalfBandReach + count);
    double halfway[kChunk];
    foldedHalfBandSums<A>(x, upTaps_, halfway, count);
    for (int i = 0; i < count; ++i) {
        out[2 * i] = halfway[i];
        out[2 * i + 1] = x[i + kHalfBandReach - kUpsampleDelay];
    }
}

template <class A>
inline int Oversampler2x::downsample(double* buffer, int doubledCount) noexcept {
    if (buffer == nullptr || doubledCount < 2) return 0;
    const int count = doubledCount / 2;
    // Each pass reads its pairs before it writes, and writes only below what it read.
    for (int start = 0; start < count; start += kChunk) {
        const int n = count - start < kChunk ? count - start : kChunk;
        downsampleChunk<A>(buffer + 2 * start, buffer + start, n);
    }
    return count;
}

template <class A>
inline void Oversampler2x::downsampleChunk(const double* in, double* out, int count) noexcept {
    for (int i = 0; i < count; ++i) {
        downFirst_.push(in[2 * i]);
        downSecond_.push(in[2 * i + 1]);
    }
    // first[0] and second[0] hold the pair 128 pairs before the first of this pass.
    const double* first = downFirst_.newest(kHalfBandReach + count);
    const double* second = downSecond_.newest(kHalfBandReach + count);
    double sums[kChunk];
    foldedHalfBandSums<A>(first, downTaps_, sums, count);
    // The centre tap falls on the second sample of the pair 65 pairs back.
    const double centre = downKernel_[0];
    for (int i = 0; i < count; ++i) out[i] = sums[i] + centre * second[i + kHalfBandReach - 65];
}


}  // namespace orv::dsp

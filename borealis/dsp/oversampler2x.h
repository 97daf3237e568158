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
    // Fused: the filter sums of the wide code path (foldedHalfBandSumsFused), only for callers
    // on that path.
    template <bool Fused = false>
    void upsample(double* buffer, int count) noexcept;
    // `doubledCount` samples become doubledCount / 2 in place; returns that number. An odd last
    // sample is ignored. Fused as for upsample.
    template <bool Fused = false>
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

    template <bool Fused>
    void upsampleChunk(const double* in, int stride, double* out, int count) noexcept;
    template <bool Fused>
    void downsampleChunk(const double* in, double* out, int count) noexcept;

    // Input stream of the upsampler.
    MirroredRing<kRingSize> up_;
    // First and second sample of each pair of the downsampler's doubled stream.
    MirroredRing<kRingSize> downFirst_;
    MirroredRing<kRingSize> downSecond_;
    HalfBandKernel upKernel_;
    HalfBandKernel downKernel_;
    HalfBandPairedTaps upTaps_;
    HalfBandPairedTaps downTaps_;
};

}  // namespace orv::dsp

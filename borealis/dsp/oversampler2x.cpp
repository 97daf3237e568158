#include "borealis/dsp/oversampler2x.h"

#include <algorithm>

namespace orv::dsp {

Oversampler2x::Oversampler2x() noexcept
    : upKernel_(makeUpsamplerKernel()),
      downKernel_(makeDownsamplerKernel()),
      upTaps_(pairedOddTaps(upKernel_)),
      downTaps_(pairedOddTaps(downKernel_)) {}

void Oversampler2x::reset() noexcept {
    up_.clear();
    downFirst_.clear();
    downSecond_.clear();
}

template <bool Fused>
void Oversampler2x::upsample(double* buffer, int count) noexcept {
    if (buffer == nullptr || count <= 0) return;
    if (count <= kChunk) {
        upsampleChunk<Fused>(buffer, 1, buffer, count);
        return;
    }
    // Several passes: first move every input to its own output position (backwards, so nothing
    // unread is overwritten); each pass then reads its inputs before writing over them.
    for (int i = count - 1; i > 0; --i) buffer[2 * i] = buffer[i];
    for (int start = 0; start < count; start += kChunk) {
        const int n = std::min(kChunk, count - start);
        upsampleChunk<Fused>(buffer + 2 * start, 2, buffer + 2 * start, n);
    }
}

template <bool Fused>
void Oversampler2x::upsampleChunk(const double* in, int stride, double* out, int count) noexcept {
    for (int i = 0; i < count; ++i) up_.push(in[i * stride]);
    // x[0] is the input 128 samples before the first of this pass.
    const double* x = up_.newest(kHalfBandReach + count);
    double halfway[kChunk];
    if constexpr (Fused)
        foldedHalfBandSumsFused(x, upTaps_, halfway, count);
    else
        foldedHalfBandSums(x, upTaps_, halfway, count);
    for (int i = 0; i < count; ++i) {
        out[2 * i] = halfway[i];
        out[2 * i + 1] = x[i + kHalfBandReach - kUpsampleDelay];
    }
}

template <bool Fused>
int Oversampler2x::downsample(double* buffer, int doubledCount) noexcept {
    if (buffer == nullptr || doubledCount < 2) return 0;
    const int count = doubledCount / 2;
    // Each pass reads its pairs before it writes, and writes only below what it read.
    for (int start = 0; start < count; start += kChunk) {
        const int n = std::min(kChunk, count - start);
        downsampleChunk<Fused>(buffer + 2 * start, buffer + start, n);
    }
    return count;
}

template <bool Fused>
void Oversampler2x::downsampleChunk(const double* in, double* out, int count) noexcept {
    for (int i = 0; i < count; ++i) {
        downFirst_.push(in[2 * i]);
        downSecond_.push(in[2 * i + 1]);
    }
    // first[0] and second[0] hold the pair 128 pairs before the first of this pass.
    const double* first = downFirst_.newest(kHalfBandReach + count);
    const double* second = downSecond_.newest(kHalfBandReach + count);
    double sums[kChunk];
    if constexpr (Fused)
        foldedHalfBandSumsFused(first, downTaps_, sums, count);
    else
        foldedHalfBandSums(first, downTaps_, sums, count);
    // The centre tap falls on the second sample of the pair 65 pairs back.
    const double centre = downKernel_[0];
    for (int i = 0; i < count; ++i) out[i] = sums[i] + centre * second[i + kHalfBandReach - 65];
}

void Oversampler2x::delayIn(double* buffer, int count) noexcept {
    if (buffer == nullptr) return;
    up_.pushDelayed(buffer, count, kBypassDelay);
}

void Oversampler2x::delayOut(double* buffer, int count) noexcept {
    if (buffer == nullptr) return;
    downFirst_.pushDelayed(buffer, count, kBypassDelay);
}

template void Oversampler2x::upsample<false>(double*, int) noexcept;
template void Oversampler2x::upsample<true>(double*, int) noexcept;
template int Oversampler2x::downsample<false>(double*, int) noexcept;
template int Oversampler2x::downsample<true>(double*, int) noexcept;

}  // namespace orv::dsp

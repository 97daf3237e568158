#pragma once
// The half-band kernels of the 2x resampler and the folded sum that applies them.
//
// A kernel is symmetric with 255 taps, stored as its 128 half-taps h[0..127] (h[0] is the
// centre, h[i] the taps at +-i). Only the centre and the odd taps are non-zero, so a filter
// output needs only the 64 odd taps, applied to pairs of samples mirrored about the centre.
#include <array>

namespace orv::dsp {

constexpr int kHalfBandHalfTaps = 128;
constexpr int kHalfBandOddTaps = 64;
// Samples before the newest one that a folded sum reaches back.
constexpr int kHalfBandReach = 128;

using HalfBandKernel = std::array<double, kHalfBandHalfTaps>;

// Interpolator of the upsampler (Blackman window). Centre 1; the odd taps sum to 1/2, so the
// interpolated samples carry a constant signal at exactly the gain of the original ones.
HalfBandKernel makeUpsamplerKernel() noexcept;
// Anti-alias filter of the downsampler (Hann window). Centre 1/2; unit gain at DC.
HalfBandKernel makeDownsamplerKernel() noexcept;

// The odd taps h[1], h[3], ..., h[127] of a kernel, in that order.
std::array<double, kHalfBandOddTaps> oddTaps(const HalfBandKernel& kernel) noexcept;

// For i = 0 .. count - 1:
//   out[i] = sum over j = 0 .. 63, in that order, of odd[j] * (x[i + 64 + j] + x[i + 63 - j])
// that is, the odd taps applied about the point halfway between x[i + 63] and x[i + 64].
// x must hold count + 127 values. Summed in the same order for every output, so the result
// does not depend on how a stream is cut into blocks. This is the plain one-at-a-time form;
// the filters use the faster one below, which gives the same values bit for bit.
void foldedHalfBandSums(const double* x, const double* odd, double* out, int count) noexcept;

// The odd taps, each stored twice side by side (odd[j] at v[2j] and v[2j + 1]) so that the
// vector sums can multiply two lanes by a tap straight from memory.
struct alignas(16) HalfBandPairedTaps {
    double v[2 * kHalfBandOddTaps];
};
HalfBandPairedTaps pairedOddTaps(const HalfBandKernel& kernel) noexcept;

// The same sums as above, equal to them bit for bit, computed several outputs at a time with
// the widest vectors the processor offers.
void foldedHalfBandSums(const double* x, const HalfBandPairedTaps& taps, double* out, int count) noexcept;

// The wide code path's form of the same sums: each sample's product is fused into its output's
// sum, the two samples of a tap one after the other (acc = fma(odd[j], ahead, acc), then
// acc = fma(odd[j], behind, acc), taps in the plain form's order), so the results differ from
// the plain sums in the last bits. Every output is summed the same way however many
// outputs a call takes and wherever x lies, so a stream gets the same values however it is
// cut into blocks. Call it only where processorRunsWidePath() holds (code_path.h); builds
// without the wide path give the plain sums.
void foldedHalfBandSumsFused(const double* x, const HalfBandPairedTaps& taps, double* out, int count) noexcept;

// The vector forms one by one, so tests can hold each to the plain sums on any machine.
namespace half_band_forms {
// Two outputs per 128-bit register (the plain loop where SSE2 is not available).
void twoLanes(const double* x, const HalfBandPairedTaps& taps, double* out, int count) noexcept;
// Four outputs per 256-bit register. Returns false, computing nothing, where the processor or
// the build has no AVX.
bool fourLanes(const double* x, const HalfBandPairedTaps& taps, double* out, int count) noexcept;
// The fused sums of foldedHalfBandSumsFused. Returns false, computing nothing, where the
// processor does not run the wide path or the build has no fused form.
bool fusedLanes(const double* x, const HalfBandPairedTaps& taps, double* out, int count) noexcept;
}  // namespace half_band_forms

}  // namespace orv::dsp

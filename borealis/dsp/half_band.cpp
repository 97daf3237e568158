#include "borealis/dsp/half_band.h"

#include <cmath>

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

HalfBandTaps oddTaps(const HalfBandKernel& kernel) noexcept {
    HalfBandTaps taps{};
    for (int j = 0; j < kHalfBandOddTaps; ++j)
        for (int lane = 0; lane < 4; ++lane) taps.v[4 * j + lane] = kernel[2 * j + 1];
    return taps;
}

}  // namespace orv::dsp

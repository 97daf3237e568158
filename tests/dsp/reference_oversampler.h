#pragma once
// A literal, unoptimised 2x resampler: the sums written out sample by sample over 256-position
// rings with wrapping 8-bit indices, the upsampler's ring holding each input followed by the
// zero of the zero-stuffing. Tests check the optimised Oversampler2x against it, and the
// benchmark uses it as the baseline.
#include <cstdint>

#include "borealis/dsp/half_band.h"

namespace orv::dsp::testing {

class ReferenceOversampler {
public:
    ReferenceOversampler() : up_(makeUpsamplerKernel()), down_(makeDownsamplerKernel()) { reset(); }

    void reset() {
        for (double& v : upRing_) v = 0.0;
        for (double& v : downRing_) v = 0.0;
        upIndex_ = 255;
        downIndex_ = 255;
    }

    // Writes 2 * count outputs to `out` for `count` inputs from `in` (separate buffers).
    void upsample(const double* in, double* out, int count) {
        for (int n = 0; n < count; ++n) {
            // The ring holds x[n-128] .. x[n-1]; x[n-a] sits at upIndex_ - 2a + 1.
            const std::uint8_t last = upIndex_;
            auto x = [&](int a) { return upRing_[static_cast<std::uint8_t>(last - 2 * a + 1)]; };
            double sum = 0.0;
            for (int k = 1; k < 128; k += 2) sum += up_[k] * (x(64 - (k - 1) / 2) + x(65 + (k - 1) / 2));
            out[2 * n] = sum;
            out[2 * n + 1] = x(64);  // the centre tap is exactly 1
            upRing_[++upIndex_] = in[n];
            upRing_[++upIndex_] = 0.0;
        }
    }

    // Writes `count` outputs to `out` for 2 * count inputs from `in`.
    void downsample(const double* in, double* out, int count) {
        for (int n = 0; n < count; ++n) {
            // The ring holds z[2n-256] .. z[2n-1]; z[2n-a] sits at downIndex_ - a + 1.
            const std::uint8_t last = downIndex_;
            auto z = [&](int a) { return downRing_[static_cast<std::uint8_t>(last - a + 1)]; };
            double sum = 0.0;
            for (int k = 1; k < 128; k += 2) sum += down_[k] * (z(129 - k) + z(129 + k));
            out[n] = sum + down_[0] * z(129);
            downRing_[++downIndex_] = in[2 * n];
            downRing_[++downIndex_] = in[2 * n + 1];
        }
    }

private:
    HalfBandKernel up_;
    HalfBandKernel down_;
    double upRing_[256];
    double downRing_[256];
    std::uint8_t upIndex_ = 255;
    std::uint8_t downIndex_ = 255;
};

}  // namespace orv::dsp::testing

#include "borealis/dsp/hilbert.h"

#include <cmath>

namespace orv::dsp {

constexpr double kPi = 3.141592653589793;

void HilbertTable::build(double sideChainRate, bool smooth) {
    buildHalfLength(static_cast<int>(sideChainRate * (smooth ? 2.0 : 1.0) * 0.5 / 400.0));
}

void HilbertTable::buildHalfLength(int n) {
    if (n < 1) n = 1;
    if (n > kMaxHalfLength) n = kMaxHalfLength;
    for (int k = 0; k < kMaxHalfLength; ++k) {
        c_[k] = k < n ? 2.0 / ((2 * k + 1) * kPi) : 0.0;
        for (int q = 0; q < 4; ++q) quads_[4 * k + q] = c_[k];
    }
    n_ = n;
}

}  // namespace orv::dsp

#include "borealis/hilbert.h"

#include <cmath>

namespace borealis {

constexpr double kPi = 3.141592653589793;

void HilbertTable::build(double sideChainRate, bool smooth) {
    int n = static_cast<int>(sideChainRate * (smooth ? 2.0 : 1.0) * 0.5 / 400.0);
    if (n < 1) n = 1;
    if (n > kMaxHalfLength) n = kMaxHalfLength;
    for (int k = 0; k < kMaxHalfLength; ++k) c_[k] = k < n ? 2.0 / ((2 * k + 1) * kPi) : 0.0;
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

}  // namespace borealis

#include "borealis/dsp/half_band.h"

#include "tests/support/path_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

using namespace orv::dsp;

namespace {

std::vector<double> noise(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> v(n);
    for (double& x : v) x = u(rng);
    return v;
}

}  // namespace

// The sums on this build's code path, for `count` outputs.
static void pathSums(const double* x, const HalfBandTaps& taps, double* out, int count) {
    foldedHalfBandSums<orvtest::PathSet>(x, taps, out, count);
}

// Each output is exactly the folded formula summed tap by tap in order, in the path's own
// arithmetic (each product fused into its sum on the wide path), at every alignment of x and
// however a stream is cut into calls (the register passes and the one-at-a-time tail all sum
// alike), with nothing written past count.
TEST(ORV_PATH_SUITE(HalfBand), EveryOutputIsTheFoldedSumInOrderHoweverTheCallsAreCut) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    constexpr int kCount = 203;
    const std::vector<int> cuts[] = {{1}, {2}, {3}, {5}, {1, 2, 3, 5, 8, 13, 16, 4, 21, 17, 7, 20}, {kCount}};
    for (const HalfBandKernel& kernel : {makeUpsamplerKernel(), makeDownsamplerKernel()}) {
        const HalfBandTaps taps = oddTaps(kernel);
        // Values of very different sizes make any reordering of a sum show in the last bits.
        std::vector<double> storage = noise(kCount + 127 + 4, 11);
        for (size_t k = 0; k < storage.size(); k += 3) storage[k] *= 1e6;
        for (int shift = 0; shift < 4; ++shift) {
            const double* x = storage.data() + shift;
            std::vector<double> whole(kCount + 4, -7.0);
            pathSums(x, taps, whole.data(), kCount);
            for (int i = kCount; i < kCount + 4; ++i) ASSERT_EQ(whole[i], -7.0) << "written past count";
            for (int i = 0; i < kCount; ++i) {
                double sum = 0.0;
                for (int j = 0; j < kHalfBandOddTaps; ++j)
                    sum = orvtest::pathTapSum(taps.tap(j), x[i + 64 + j], x[i + 63 - j], sum);
                ASSERT_EQ(whole[i], sum) << "shift " << shift << " output " << i;
            }
            for (const std::vector<int>& cut : cuts) {
                std::vector<double> pieces(kCount + 4, -7.0);
                for (int start = 0, c = 0; start < kCount; ++c) {
                    const int n = std::min(cut[c % cut.size()], kCount - start);
                    pathSums(x + start, taps, pieces.data() + start, n);
                    start += n;
                }
                ASSERT_EQ(0, std::memcmp(whole.data(), pieces.data(), whole.size() * sizeof(double)))
                    << "shift " << shift << " first cut " << cut[0];
            }
        }
    }
}

TEST(ORV_PATH_SUITE(HalfBand), SumsFollowTheUnfoldedKernel) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    const HalfBandKernel kernel = makeUpsamplerKernel();
    const std::vector<double> x = noise(200, 3);
    std::vector<double> out(60);
    pathSums(x.data(), oddTaps(kernel), out.data(), 60);
    for (int i = 0; i < 60; ++i) {
        // Unfolded: every non-zero tap on its own sample, centred halfway between x[i+63] and x[i+64].
        long double ref = 0.0L;
        for (int t = 1; t < kHalfBandHalfTaps; t += 2)
            ref += static_cast<long double>(kernel[t]) * (x[i + 63 + (t + 1) / 2] + x[i + 64 - (t + 1) / 2]);
        ASSERT_NEAR(out[i], static_cast<double>(ref), 1e-14) << i;
    }
}

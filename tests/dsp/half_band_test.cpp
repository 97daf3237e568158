#include "borealis/dsp/half_band.h"

#include <gtest/gtest.h>

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

// The vector sums pick aligned operands from where x falls and run sixteen, eight, four, two
// and one output at a time; every form, start alignment and count up to past several full
// blocks must give the plain sums bit for bit, and write nothing past count.
TEST(HalfBand, VectorSumsEqualThePlainSumsBitForBitAtEveryAlignmentAndCount) {
    for (const HalfBandKernel& kernel : {makeUpsamplerKernel(), makeDownsamplerKernel()}) {
        const auto odd = oddTaps(kernel);
        const HalfBandPairedTaps paired = pairedOddTaps(kernel);
        // Values of very different sizes make any reordering of a sum show in the last bits.
        std::vector<double> storage = noise(400, 7);
        for (size_t k = 0; k < storage.size(); k += 3) storage[k] *= 1e6;
        for (int shift = 0; shift < 4; ++shift) {
            const double* x = storage.data() + shift;
            for (int count = 0; count <= 150; ++count) {
                std::vector<double> plain(count + 4, -7.0);
                foldedHalfBandSums(x, odd.data(), plain.data(), count);
                for (int form = 0; form < 3; ++form) {
                    std::vector<double> fast(count + 4, -7.0);
                    if (form == 0) foldedHalfBandSums(x, paired, fast.data(), count);
                    if (form == 1) half_band_forms::twoLanes(x, paired, fast.data(), count);
                    if (form == 2 && !half_band_forms::fourLanes(x, paired, fast.data(), count)) continue;
                    ASSERT_EQ(0, std::memcmp(plain.data(), fast.data(), plain.size() * sizeof(double)))
                        << "form " << form << " shift " << shift << " count " << count;
                }
            }
        }
    }
}

TEST(HalfBand, PlainSumsFollowTheFoldedFormula) {
    const HalfBandKernel kernel = makeUpsamplerKernel();
    const auto odd = oddTaps(kernel);
    const std::vector<double> x = noise(200, 3);
    std::vector<double> out(60);
    foldedHalfBandSums(x.data(), odd.data(), out.data(), 60);
    for (int i = 0; i < 60; ++i) {
        // Unfolded: every non-zero tap on its own sample, centred halfway between x[i+63] and x[i+64].
        long double ref = 0.0L;
        for (int t = 1; t < kHalfBandHalfTaps; t += 2)
            ref += static_cast<long double>(kernel[t]) * (x[i + 63 + (t + 1) / 2] + x[i + 64 - (t + 1) / 2]);
        ASSERT_NEAR(out[i], static_cast<double>(ref), 1e-14) << i;
    }
}

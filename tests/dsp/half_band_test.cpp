#include "borealis/dsp/half_band.h"

#include "borealis/dsp/code_path.h"

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

// The wide path's fused sums. Each output must get the same bits however a stream is cut into
// calls (the sixteen- and four-lane passes and the one-at-a-time tail all sum alike), at every
// alignment of x, with nothing written past count; each output is exactly the fused sum taken
// tap by tap in the plain order, each tap's newer sample before its older one, and so stays
// within rounding of the plain sums.
TEST(HalfBand, FusedSumsGiveEveryOutputTheSameBitsHoweverTheCallsAreCut) {
    if (!processorRunsWidePath()) GTEST_SKIP() << "the processor does not run the wide path";
    constexpr int kCount = 203;
    const std::vector<int> cuts[] = {{1}, {2}, {3}, {5}, {1, 2, 3, 5, 8, 13, 16, 4, 21, 17, 7, 20}, {kCount}};
    for (const HalfBandKernel& kernel : {makeUpsamplerKernel(), makeDownsamplerKernel()}) {
        const auto odd = oddTaps(kernel);
        const HalfBandPairedTaps paired = pairedOddTaps(kernel);
        std::vector<double> storage = noise(kCount + 127 + 4, 11);
        for (size_t k = 0; k < storage.size(); k += 3) storage[k] *= 1e6;
        for (int shift = 0; shift < 4; ++shift) {
            const double* x = storage.data() + shift;
            std::vector<double> whole(kCount + 4, -7.0);
            foldedHalfBandSumsFused(x, paired, whole.data(), kCount);
            for (int i = kCount; i < kCount + 4; ++i) ASSERT_EQ(whole[i], -7.0) << "written past count";
            std::vector<double> plain(kCount);
            foldedHalfBandSums(x, odd.data(), plain.data(), kCount);
            bool anyDiffers = false;
            for (int i = 0; i < kCount; ++i) {
                double fused = 0.0, size = 0.0;
                for (int j = 0; j < kHalfBandOddTaps; ++j) {
                    fused = std::fma(odd[j], x[i + 64 + j], fused);
                    fused = std::fma(odd[j], x[i + 63 - j], fused);
                    size += std::fabs(odd[j] * (x[i + 64 + j] + x[i + 63 - j]));
                }
                ASSERT_EQ(whole[i], fused) << "shift " << shift << " output " << i;
                ASSERT_NEAR(whole[i], plain[i], 1e-12 * size) << "shift " << shift << " output " << i;
                anyDiffers |= whole[i] != plain[i];
            }
            EXPECT_TRUE(anyDiffers) << "the fused sums round like the plain ones: no product was fused";
            std::vector<double> form(kCount + 4, -7.0);
            ASSERT_TRUE(half_band_forms::fusedLanes(x, paired, form.data(), kCount));
            ASSERT_EQ(0, std::memcmp(whole.data(), form.data(), form.size() * sizeof(double)));
            for (const std::vector<int>& cut : cuts) {
                std::vector<double> pieces(kCount + 4, -7.0);
                for (int start = 0, c = 0; start < kCount; ++c) {
                    const int n = std::min(cut[c % cut.size()], kCount - start);
                    foldedHalfBandSumsFused(x + start, paired, pieces.data() + start, n);
                    start += n;
                }
                ASSERT_EQ(0, std::memcmp(whole.data(), pieces.data(), whole.size() * sizeof(double)))
                    << "shift " << shift << " first cut " << cut[0];
            }
        }
    }
}

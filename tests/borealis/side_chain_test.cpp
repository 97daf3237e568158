// The side-chain's two-samples-at-once paths against the one-sample ones they replace in the
// kernels: the results must not change at all, whatever the block sizes and settings.
#include "borealis/side_chain.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace borealis;

namespace {

std::vector<double> noise(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> v(n);
    for (double& x : v) x = u(rng);
    return v;
}

bool sameBits(const SideChainOutput& a, const SideChainOutput& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(HilbertTable, TwoCentresAtOnceEqualTwoSinglePassesBitForBit) {
    // Up to the largest table, with every remainder of the tap count by four and by eight.
    const std::vector<double> history = noise(2 * (4 * HilbertTable::kMaxHalfLength + 8), 11);
    for (const double rate : {2000.0, 2800.0, 3600.0, 4000.0, 5200.0, 44100.0, 48000.0, 88200.0, 384000.0}) {
        for (const bool smooth : {false, true}) {
            HilbertTable table;
            table.build(rate, smooth);
            const int n = table.halfLength();
            for (int offset = 0; offset < 2; ++offset) {
                // An interleaved centre with 2N - 1 pairs each side, and one more pair newer.
                const double* centre = history.data() + 2 * (2 * n - 1 + offset);
                double single[4], both[4];
                table.transformStereo(centre, single[0], single[1]);
                table.transformStereo(centre + 2, single[2], single[3]);
                table.transformStereoTwice(centre, both);
                ASSERT_EQ(0, std::memcmp(single, both, sizeof single)) << "rate " << rate << " smooth " << smooth;
            }
        }
    }
}

template <bool Exact>
void checkBlocksAgainstSingleSamples(double rate, bool smooth, int centre, int monitorDelay) {
    BorealisSettings s;
    s.link = 0.6;
    s.tiltLeft = 1.3;
    s.tiltRight = 0.8;
    s.thresholdFactor = 2.5;
    SideChain one, blocks;
    for (SideChain* c : {&one, &blocks}) {
        c->setRate(rate);
        c->setLowShelf(120.0, true);
        c->setHighShelf(3000.0, false);
        c->setLinkFilters(true, false);
        c->rebuild(rate, smooth);
        c->setGeometry(centre, monitorDelay);
    }
    const int total = 3000;
    const std::vector<double> kL = noise(total, 5), kR = noise(total, 6);
    std::vector<SideChainOutput> expected(total), got(total);
    for (int i = 0; i < total; ++i) expected[i] = one.process<Exact>(kL[i], kR[i], s);
    // Odd, even, single and empty blocks, so pairs straddle every block boundary.
    const int sizes[] = {1, 2, 7, 0, 64, 13, 128, 3, 5};
    int done = 0;
    for (int b = 0; done < total; ++b) {
        const int n = std::min(sizes[b % 9], total - done);
        blocks.processBlock<Exact>(kL.data() + done, kR.data() + done, n, s, got.data() + done);
        done += n;
    }
    for (int i = 0; i < total; ++i) ASSERT_TRUE(sameBits(expected[i], got[i])) << "sample " << i;
}

TEST(SideChain, BlocksGiveExactlyWhatSingleSamplesGive) {
    const int n44 = static_cast<int>(44100.0 * 0.5 / 400.0);
    checkBlocksAgainstSingleSamples<false>(44100.0, false, 2 * n44 - 1, 40);
    checkBlocksAgainstSingleSamples<true>(44100.0, false, 2 * n44 - 1, 0);
    const int n88s = static_cast<int>(88200.0 * 2.0 * 0.5 / 400.0);
    checkBlocksAgainstSingleSamples<true>(88200.0, true, 2 * n88s + 2, 300);
    const int n48s = static_cast<int>(48000.0 * 2.0 * 0.5 / 400.0);
    checkBlocksAgainstSingleSamples<false>(48000.0, true, 2 * n48s - 1, 7);
}

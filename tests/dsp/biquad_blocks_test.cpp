// The filter blocks on each code path: block forms, two filters in one pass.
#include "borealis/dsp/biquad.h"

#include "tests/support/path_test.h"

#include <cstdint>
#include <vector>

namespace orv::dsp {
namespace {

using A = orvtest::PathSet;

// The block forms (also over interleaved pairs) keep the glide, the noise and
// the histories in locals; mixed freely with the one-sample calls, through glides, setting
// changes and a pass-through stretch, they must give exactly what one-sample calls alone give.
TEST(ORV_PATH_SUITE(BiquadPair), BlocksMatchOneSampleBlocks) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    BiquadPair single, blocks;
    for (BiquadPair* p : {&single, &blocks}) p->create(44100.0, BiquadType::HighShelf, 3000.0, 0.5, 12.0);
    unsigned seed = 3;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
    };
    const int sizes[] = {1, 64, 0, 7, 128, 2, 33};
    int done = 0;
    for (int round = 0; round < 300; ++round) {
        if (round == 40)
            for (BiquadPair* p : {&single, &blocks}) p->setFrequency(500.0), p->setGain(-15.0), p->setQ(0.35);
        if (round == 120)
            for (BiquadPair* p : {&single, &blocks}) p->setType(BiquadType::PassThrough);
        if (round == 160)
            for (BiquadPair* p : {&single, &blocks}) p->setType(BiquadType::Peaking);
        const int n = sizes[round % 7];
        std::vector<double> l(n), r(n);
        for (int i = 0; i < n; ++i) l[i] = next(), r[i] = next();
        std::vector<double> bl(l), br(r);
        const bool smoothed = (round / 3) % 2 == 0;
        for (int i = 0; i < n; ++i)
            smoothed ? single.processSmoothed<A>(&l[i], &r[i], 1) : single.processPlain<A>(&l[i], &r[i], 1);
        if (n == 1 && round % 2 == 0) {
            smoothed ? blocks.processSmoothed<A>(bl.data(), br.data(), 1) : blocks.processPlain<A>(bl.data(), br.data(), 1);
        } else if (round % 2 == 1) {
            // Pairs stored side by side.
            std::vector<double> pairs(2 * n);
            for (int i = 0; i < n; ++i) pairs[2 * i] = bl[i], pairs[2 * i + 1] = br[i];
            smoothed ? blocks.processSmoothedPairs<A>(pairs.data(), n) : blocks.processPlainPairs<A>(pairs.data(), n);
            for (int i = 0; i < n; ++i) bl[i] = pairs[2 * i], br[i] = pairs[2 * i + 1];
        } else {
            smoothed ? blocks.processSmoothed<A>(bl.data(), br.data(), n) : blocks.processPlain<A>(bl.data(), br.data(), n);
        }
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(l[i], bl[i]) << "round " << round << " i " << i;
            ASSERT_EQ(r[i], br[i]) << "round " << round << " i " << i;
        }
        done += n;
    }
    EXPECT_GT(done, 5000);
    EXPECT_EQ(single.filter().noise(), blocks.filter().noise());
}

// The two level filters of a compressor run in one pass of four lanes; each lane must give what
// its own filter's pass gives, its offset and history included, whatever the block lengths, and
// a filter that passes its signal through must still pass it through.
TEST(ORV_PATH_SUITE(BiquadPair), TwoFiltersInOnePassGiveTheirOwnPasses) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    BiquadPair fastTogether, slowTogether, fastAlone, slowAlone;
    for (BiquadPair* p : {&fastTogether, &fastAlone}) p->create(88200.0, BiquadType::Lowpass, 200.0, 0.5, 0.0);
    for (BiquadPair* p : {&slowTogether, &slowAlone}) p->create(88200.0, BiquadType::Lowpass, 20.0, 0.5, 0.0);
    std::uint32_t state = 7;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0;
    };
    const int sizes[] = {1, 128, 5, 64, 0, 33};
    for (int round = 0; round < 60; ++round) {
        if (round == 30)
            for (BiquadPair* p : {&slowTogether, &slowAlone}) p->setType(BiquadType::PassThrough);
        const int n = sizes[round % 6];
        std::vector<double> input(2 * n);
        for (double& v : input) v = next();
        std::vector<double> fastPairs(input), slowPairs(2 * n), fastOwn(input), slowOwn(input);
        BiquadPair::processPlainPairsBoth<A>(fastTogether, slowTogether, fastPairs.data(), slowPairs.data(), n);
        fastAlone.processPlainPairs<A>(fastOwn.data(), n);
        slowAlone.processPlainPairs<A>(slowOwn.data(), n);
        for (int i = 0; i < 2 * n; ++i) {
            ASSERT_EQ(fastOwn[i], fastPairs[i]) << "round " << round << " value " << i;
            ASSERT_EQ(slowOwn[i], slowPairs[i]) << "round " << round << " value " << i;
        }
    }
    EXPECT_EQ(fastAlone.filter().noise(), fastTogether.filter().noise());
    EXPECT_EQ(slowAlone.filter().noise(), slowTogether.filter().noise());
}

// Two filters in series in one pass, the second a frame behind the first: every frame must come
// out as the two passes one after the other give it, however the blocks are cut (the staggered
// first and last steps of each block included).
TEST(ORV_PATH_SUITE(BiquadPair), TwoFiltersInSeriesInOnePassGiveTheirPassesInTurn) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    BiquadPair lowChain, highChain, lowAlone, highAlone;
    for (BiquadPair* p : {&lowChain, &lowAlone}) {
        p->create(44100.0, BiquadType::LowShelf, 120.0, 0.7, 6.0);
        p->reset();
    }
    for (BiquadPair* p : {&highChain, &highAlone}) {
        p->create(44100.0, BiquadType::HighShelf, 6000.0, 0.7, -4.0);
        p->reset();
    }
    std::uint32_t state = 11;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0 - 0.5;
    };
    const int sizes[] = {1, 64, 2, 0, 37, 128, 3};
    for (int round = 0; round < 70; ++round) {
        if (round == 50)
            for (BiquadPair* p : {&highChain, &highAlone}) p->setType(BiquadType::PassThrough);
        const int n = sizes[round % 7];
        std::vector<double> chain(2 * n);
        for (double& v : chain) v = next();
        std::vector<double> alone(chain);
        BiquadPair::processPlainPairsChain<A>(lowChain, highChain, chain.data(), n);
        lowAlone.processPlainPairs<A>(alone.data(), n);
        highAlone.processPlainPairs<A>(alone.data(), n);
        for (int i = 0; i < 2 * n; ++i) ASSERT_EQ(alone[i], chain[i]) << "round " << round << " value " << i;
    }
    EXPECT_EQ(lowAlone.filter().noise(), lowChain.filter().noise());
    EXPECT_EQ(highAlone.filter().noise(), highChain.filter().noise());
}

}  // namespace
}  // namespace orv::dsp

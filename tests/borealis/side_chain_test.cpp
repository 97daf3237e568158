// The side-chain's blocks on each code path: the transformer's sums, and results that do not
// depend on how a stream is cut into blocks, whatever the settings.
#include "borealis/side_chain.h"

#include "tests/support/path_test.h"

#include <algorithm>

#include <cstring>
#include <random>
#include <vector>

using namespace borealis;

namespace {

static std::vector<double> noise(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> v(n);
    for (double& x : v) x = u(rng);
    return v;
}

bool sameBits(const SideChainOutput& a, const SideChainOutput& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

// Every transform is the tap sum in order in the path's own arithmetic, for every table length
// (every remainder of the tap count by the lanes and passes), however many neighbouring centres
// a call takes, over a history of one channel or of (left, right) pairs.
template <int C>
static void checkTransformsAreTapSums() {
    const int kCentres = 40;
    const std::vector<double> history = noise(C * (4 * orv::dsp::HilbertTable::kMaxHalfLength + kCentres + 8), 11);
    for (const double rate : {2000.0, 2800.0, 3600.0, 4000.0, 5200.0, 44100.0, 48000.0, 88200.0, 384000.0}) {
        for (const bool smooth : {false, true}) {
            orv::dsp::HilbertTable table;
            table.build(rate, smooth);
            const int n = table.halfLength();
            const double* c = table.coefficients();
            // The oldest centre, with 2N - 1 frames and a few more on the older side.
            const double* first = history.data() + C * (2 * n + 4);
            std::vector<double> whole(C * kCentres);
            table.transformRun<orvtest::PathSet, C>(first, kCentres, whole.data());
            for (int i = 0; i < kCentres; ++i)
                for (int ch = 0; ch < C; ++ch) {
                    const double* centre = first + C * i + ch;
                    double sum = 0.0;
                    for (int k = 0; k < n; ++k)
                        sum = orvtest::pathTapDifference(c[k], centre[C * (2 * k + 1)], centre[-C * (2 * k + 1)], sum);
                    ASSERT_EQ(whole[C * i + ch], sum) << C << " channels, rate " << rate << " smooth " << smooth
                                                      << " centre " << i;
                }
            for (int step : {1, 2, 3, 5, 7, 24}) {
                std::vector<double> pieces(C * kCentres);
                for (int i = 0; i < kCentres; i += step)
                    table.transformRun<orvtest::PathSet, C>(first + C * i, std::min(step, kCentres - i),
                                                           pieces.data() + C * i);
                ASSERT_EQ(whole, pieces) << C << " channels, rate " << rate << " smooth " << smooth << " step " << step;
            }
        }
    }
}

TEST(ORV_PATH_SUITE(HilbertTable), EveryCentreIsTheTapSumInOrderHoweverManyACallTakes) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    checkTransformsAreTapSums<1>();
    checkTransformsAreTapSums<2>();
}

template <Magnitude M>
static void checkBlocksAgainstSingleSamples(double rate, bool smooth, int centre, int monitorDelay) {
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
    for (int i = 0; i < total; ++i) one.processBlock<M, orvtest::PathSet>(&kL[i], &kR[i], 1, s, &expected[i]);
    // Odd, even, single and empty blocks, so groups straddle every block boundary.
    const int sizes[] = {1, 2, 7, 0, 64, 13, 128, 3, 5};
    int done = 0;
    for (int b = 0; done < total; ++b) {
        const int n = std::min(sizes[b % 9], total - done);
        blocks.processBlock<M, orvtest::PathSet>(kL.data() + done, kR.data() + done, n, s, got.data() + done);
        done += n;
    }
    for (int i = 0; i < total; ++i) ASSERT_TRUE(sameBits(expected[i], got[i])) << "sample " << i;
}

TEST(ORV_PATH_SUITE(SideChain), BlocksGiveExactlyWhatSingleSamplesGive) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    const int n44 = static_cast<int>(44100.0 * 0.5 / 400.0);
    checkBlocksAgainstSingleSamples<Magnitude::Fast>(44100.0, false, 2 * n44 - 1, 40);
    checkBlocksAgainstSingleSamples<Magnitude::Exact>(44100.0, false, 2 * n44 - 1, 0);
    const int n88s = static_cast<int>(88200.0 * 2.0 * 0.5 / 400.0);
    checkBlocksAgainstSingleSamples<Magnitude::Exact>(88200.0, true, 2 * n88s + 2, 300);
    const int n48s = static_cast<int>(48000.0 * 2.0 * 0.5 / 400.0);
    checkBlocksAgainstSingleSamples<Magnitude::Fast>(48000.0, true, 2 * n48s - 1, 7);
}

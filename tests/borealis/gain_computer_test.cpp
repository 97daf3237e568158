// The gain computer works out both channels together, on each code path; each channel must
// still depend on its own detector only, with nothing leaking between them, and a stream gives
// the same gains however it is cut into blocks.
#include "borealis/gain_computer.h"

#include "tests/support/path_test.h"

#include <algorithm>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

using namespace borealis;

namespace {

// One gain-stage sample on this build's code path.
template <ClassicExponent E = ClassicExponent::Tabulated>
void oneSample(GainComputer& g, double dL, double dR, const BorealisSettings& s, double& gainL, double& gainR) {
    g.computeGainsBlock<E, orvtest::PathSet>(&dL, &dR, 1, s, &gainL, &gainR);
}

// A detector signal with long quiet and loud stretches, so both the attack and the release
// paths and the envelope floor are taken.
static std::vector<double> detector(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> v(n);
    for (int i = 0; i < n; ++i) v[i] = ((i / 700) % 3 == 0 ? 4.0 : 0.02) * u(rng);
    return v;
}

static void checkChannelsAreIndependent(BorealisSettings s) {
    const double rate = 44100.0;
    GainComputer straight, swapped, leftOnly;
    for (GainComputer* g : {&straight, &swapped, &leftOnly}) {
        g->setLevelFilterRate(rate);
        g->updateAttack(s, rate);
        g->updateRelease(s, rate);
        g->updateCurve(s);
        g->reset();
    }
    const std::vector<double> a = detector(6000, 1), b = detector(6000, 2);
    for (size_t i = 0; i < a.size(); ++i) {
        double l1, r1, l2, r2, l3, r3;
        oneSample(straight, a[i], b[i], s, l1, r1);
        oneSample(swapped, b[i], a[i], s, l2, r2);
        oneSample(leftOnly, a[i], 0.0, s, l3, r3);
        ASSERT_EQ(l1, r2) << i;
        ASSERT_EQ(r1, l2) << i;
        ASSERT_EQ(l1, l3) << i;
        ASSERT_TRUE(std::isfinite(l1) && l1 > 0.0 && l1 <= 1.0 + 1e-9) << l1;
    }
    EXPECT_EQ(straight.envelope(0), swapped.envelope(1));
    EXPECT_EQ(straight.envelope(1), swapped.envelope(0));
}

}  // namespace

TEST(ORV_PATH_SUITE(GainComputer), EachChannelDependsOnItsOwnDetectorOnly) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    BorealisSettings s;
    s.slope = 0.25;
    s.ratio = 4.0;
    s.attackMs = 1.0;
    s.releaseMs = 150.0;
    for (int variant = 0; variant < 6; ++variant) {
        s.softKnee = variant & 1;
        s.rmsMode = (variant >> 1) & 1;
        s.autoAttack = s.autoRelease = variant >= 4;
        s.classic = variant == 5;
        checkChannelsAreIndependent(s);
    }
}

namespace {

template <ClassicExponent E>
void checkBlocksEqualSingleSamples(const BorealisSettings& s) {
    const double rate = 48000.0;
    GainComputer single, blocked;
    for (GainComputer* g : {&single, &blocked}) {
        g->setLevelFilterRate(rate);
        g->updateAttack(s, rate);
        g->updateRelease(s, rate);
        g->updateCurve(s);
        g->reset();
    }
    const int total = 9000;
    const std::vector<double> a = detector(total, 3), b = detector(total, 4);
    std::vector<double> gl(total), gr(total);
    // Chunks of many lengths, beyond the internal pass of 128 as well.
    for (int pos = 0, k = 0; pos < total; ++k) {
        const int count = std::min(1 + (k * 37) % 300, total - pos);
        blocked.computeGainsBlock<E, orvtest::PathSet>(&a[pos], &b[pos], count, s, &gl[pos], &gr[pos]);
        pos += count;
    }
    for (int i = 0; i < total; ++i) {
        double l, r;
        oneSample<E>(single, a[i], b[i], s, l, r);
        ASSERT_EQ(0, std::memcmp(&l, &gl[i], sizeof l)) << i;
        ASSERT_EQ(0, std::memcmp(&r, &gr[i], sizeof r)) << i;
    }
    for (int c = 0; c < 2; ++c) {
        const double e1 = single.envelope(c), e2 = blocked.envelope(c);
        EXPECT_EQ(0, std::memcmp(&e1, &e2, sizeof e1));
    }
}

}  // namespace

TEST(ORV_PATH_SUITE(GainComputer), ChunksGiveExactlyWhatSingleSamplesGive) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    BorealisSettings s;
    s.slope = 0.3;
    s.ratio = 3.3;
    s.attackMs = 0.5;
    s.releaseMs = 120.0;
    for (int variant = 0; variant < 32; ++variant) {
        s.softKnee = variant & 1;
        s.rmsMode = (variant >> 1) & 1;
        s.autoAttack = (variant >> 2) & 1;
        s.autoRelease = (variant >> 3) & 1;
        s.classic = (variant >> 4) & 1;
        checkBlocksEqualSingleSamples<ClassicExponent::Tabulated>(s);
        checkBlocksEqualSingleSamples<ClassicExponent::Computed>(s);
    }
}

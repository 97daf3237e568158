// The gain computer works out both channels together; each channel must still depend on its
// own detector only, with nothing leaking between them.
#include "borealis/gain_computer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace borealis;

namespace {

// A detector signal with long quiet and loud stretches, so both the attack and the release
// paths and the envelope floor are taken.
std::vector<double> detector(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> v(n);
    for (int i = 0; i < n; ++i) v[i] = ((i / 700) % 3 == 0 ? 4.0 : 0.02) * u(rng);
    return v;
}

void checkChannelsAreIndependent(BorealisSettings s) {
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
        straight.computeGains<true>(a[i], b[i], s, l1, r1);
        swapped.computeGains<true>(b[i], a[i], s, l2, r2);
        leftOnly.computeGains<true>(a[i], 0.0, s, l3, r3);
        ASSERT_EQ(l1, r2) << i;
        ASSERT_EQ(r1, l2) << i;
        ASSERT_EQ(l1, l3) << i;
        ASSERT_TRUE(std::isfinite(l1) && l1 > 0.0 && l1 <= 1.0 + 1e-9) << l1;
    }
    EXPECT_EQ(straight.envelope(0), swapped.envelope(1));
    EXPECT_EQ(straight.envelope(1), swapped.envelope(0));
}

}  // namespace

TEST(GainComputer, EachChannelDependsOnItsOwnDetectorOnly) {
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

// The work the engines skip or keep from block to block must not change what they compute:
// cached meter coefficients, Classic release powers, meter chunks and limiter blocks are exact, and settled
// shelves run without their glide stay within 1e-7 of the gliding form they replace.
#include "borealis/gain_computer.h"
#include "borealis/limiter.h"
#include "borealis/meter_ballistics.h"
#include "borealis/meter_feeds.h"
#include "borealis/side_chain.h"

#include "tests/support/path_test.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using namespace borealis;

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<double> noise(int n, unsigned seed, double amplitude) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-amplitude, amplitude);
    std::vector<double> v(n);
    for (double& x : v) x = u(rng);
    return v;
}

}  // namespace

TEST(ORV_PATH_SUITE(MeterBallistics), CachedCoefficientsEqualAFreshComputationAfterEveryChange) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    struct Inputs {
        double rate, vu, integration, ret;
    };
    // Changes of each input alone, a return to earlier values, the integration switch-over at
    // 0.05 ms and a NaN that must not stick.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Inputs sequence[] = {
        {88200, 300, 10, 2800}, {88200, 300, 10, 2800}, {44100, 300, 10, 2800}, {44100, 3000, 10, 2800},
        {44100, 3000, 0.04, 2800}, {44100, 3000, 0.06, 2800}, {44100, 3000, 0.06, 100}, {88200, 300, 10, 2800},
        {88200, nan, 10, 2800}, {88200, 300, 10, 2800}, {192000, 30, 100, 10000},
    };
    orv::MeterBallistics cached;
    for (const Inputs& in : sequence) {
        cached.update(in.rate, in.vu, in.integration, in.ret);
        orv::MeterBallistics fresh;
        fresh.update(in.rate, in.vu, in.integration, in.ret);
        const double vu = 1.0 - std::pow(0.1091012, 1.0 / (in.rate * in.vu * 0.001));
        EXPECT_TRUE(sameBits(fresh.vu(), vu));
        EXPECT_TRUE(sameBits(cached.vu(), fresh.vu())) << in.rate << " " << in.vu;
        EXPECT_TRUE(sameBits(cached.integration(), fresh.integration())) << in.integration;
        EXPECT_TRUE(sameBits(cached.ret(), fresh.ret())) << in.ret;
    }
    orv::MeterBallistics instant;
    instant.update(44100, 300, 0.0, 1000);
    EXPECT_EQ(instant.integration(), 1.0) << "below 0.05 ms the PPM follows rises at once";
}

namespace {

BorealisSettings classicSettings(double releaseMs) {
    BorealisSettings s;
    s.classic = 1;
    s.autoRelease = 1;
    s.slope = 0.25;
    s.attackMs = 1.0;
    s.releaseMs = releaseMs;
    return s;
}

void prepare(GainComputer& g, const BorealisSettings& s, double rate) {
    g.setLevelFilterRate(rate);
    g.updateAttack(s, rate);
    g.updateRelease(s, rate);
    g.updateCurve(s);
    g.reset();
}

// Detector values from silence to far above the threshold, so the fast level and with it the
// table index sweep most of the table.
std::vector<double> sweepingDetector(int n) {
    std::vector<double> v(n);
    for (int i = 0; i < n; ++i) v[i] = 0.005 + 3.0 * std::pow(std::sin(3.14159 * i / 9000.0), 6.0);
    return v;
}

}  // namespace

TEST(ORV_PATH_SUITE(ClassicRelease), PowersStayExactAcrossReleaseChanges) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    const double rate = 44100.0;
    GainComputer g;
    BorealisSettings s = classicSettings(300.0);
    prepare(g, s, rate);
    // Every entry against the power it stands for, for two releases and back to the first.
    for (const double releaseMs : {300.0, 4000.0, 300.0}) {
        s.releaseMs = releaseMs;
        g.updateRelease(s, rate);
        for (int i = 0; i < GainComputer::kClassicTableSize; ++i) {
            const double expected = std::pow(g.releaseCoefficient(), static_cast<double>(g.classicExponent(i)));
            ASSERT_TRUE(sameBits(g.classicReleasePower(i, g.releaseCoefficient()), expected)) << i;
        }
    }
}

TEST(ORV_PATH_SUITE(ClassicRelease), GainsAfterAReleaseChangeEqualAFreshComputer) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    // One computer works with other releases first (filling its powers), then both run the
    // same material with the same release: no power of an earlier release may be used.
    const double rate = 48000.0;
    const std::vector<double> warm = sweepingDetector(40000), test = sweepingDetector(30000);
    for (const int rms : {0, 1}) {
        BorealisSettings first = classicSettings(150.0), later = classicSettings(2500.0);
        first.rmsMode = later.rmsMode = rms;
        GainComputer used, fresh;
        prepare(used, first, rate);
        double l, r;
        for (double d : warm) {
            const double half = 0.5 * d;
            used.computeGainsBlock<ClassicExponent::Tabulated, orvtest::PathSet>(&d, &half, 1, first, &l, &r);
        }
        prepare(used, later, rate);
        prepare(fresh, later, rate);
        for (size_t i = 0; i < test.size(); ++i) {
            double l1, r1, l2, r2;
            const double half = 0.5 * test[i];
            used.computeGainsBlock<ClassicExponent::Tabulated, orvtest::PathSet>(&test[i], &half, 1, later, &l1, &r1);
            fresh.computeGainsBlock<ClassicExponent::Tabulated, orvtest::PathSet>(&test[i], &half, 1, later, &l2, &r2);
            ASSERT_TRUE(sameBits(l1, l2) && sameBits(r1, r2)) << "rms " << rms << " sample " << i;
        }
    }
}

namespace {

struct ShelfRun {
    std::vector<SideChainOutput> out;
    int settledSamples = 0;
};

// Runs a side-chain over `key` in blocks of `block`, moving the low shelf at `moveAt`.
ShelfRun runSideChain(double rate, bool skipGlide, int block, const std::vector<double>& kL,
                      const std::vector<double>& kR, int moveAt) {
    BorealisSettings s;
    s.link = 0.5;
    s.thresholdFactor = 1.5;
    SideChain c;
    c.setSkipSettledGlide(skipGlide);
    c.setRate(rate);
    c.setLowShelf(25.0, false);
    c.setHighShelf(16000.0, false);
    c.setLinkFilters(false, false);
    c.rebuild(rate, false);
    c.resetFilters();
    const int n = static_cast<int>(rate * 0.5 / 400.0);
    c.setGeometry(2 * n - 1, 17);
    ShelfRun run;
    run.out.resize(kL.size());
    for (int pos = 0; pos < static_cast<int>(kL.size()); pos += block) {
        if (pos == moveAt) c.setLowShelf(250.0, true);
        const int count = std::min<int>(block, static_cast<int>(kL.size()) - pos);
        c.processBlock<Magnitude::Exact, orvtest::PathSet>(&kL[pos], &kR[pos], count, s, &run.out[pos]);
        if (c.lowShelfSettled() && c.highShelfSettled()) run.settledSamples += count;
    }
    return run;
}

}  // namespace

TEST(ORV_PATH_SUITE(SettledShelves), WithoutTheGlideStayWithinOneTenMillionthOfTheGlidingForm) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    for (const double rate : {44100.0, 96000.0, 192000.0}) {
        const int total = static_cast<int>(rate * 1.5);
        const int moveAt = static_cast<int>(rate * 0.5) / 64 * 64;
        const std::vector<double> kL = noise(total, 3, 0.8), kR = noise(total, 4, 0.5);
        const ShelfRun gliding = runSideChain(rate, false, 64, kL, kR, moveAt);
        const ShelfRun settled = runSideChain(rate, true, 64, kL, kR, moveAt);
        EXPECT_EQ(gliding.settledSamples, 0);
        if (rate > SideChain::kMaxSettledRate) {
            EXPECT_EQ(settled.settledSamples, 0) << "too sensitive at this rate: the shelves keep gliding";
        } else {
            // Settled from the start, gliding again after the move, settled once it has arrived.
            EXPECT_GT(settled.settledSamples, total / 2) << rate;
            EXPECT_LT(settled.settledSamples, total - 64) << rate;
        }
        double peakMonitor = 0, peakDetector = 0, diffMonitor = 0, diffDetector = 0;
        for (int i = 0; i < total; ++i) {
            const SideChainOutput& a = gliding.out[i];
            const SideChainOutput& b = settled.out[i];
            peakMonitor = std::max({peakMonitor, std::fabs(a.monitorL), std::fabs(a.monitorR)});
            peakDetector = std::max({peakDetector, a.detectorL, a.detectorR});
            diffMonitor = std::max({diffMonitor, std::fabs(a.monitorL - b.monitorL), std::fabs(a.monitorR - b.monitorR)});
            diffDetector =
                std::max({diffDetector, std::fabs(a.detectorL - b.detectorL), std::fabs(a.detectorR - b.detectorR)});
        }
        EXPECT_LT(diffMonitor, 1e-7 * peakMonitor) << rate;
        EXPECT_LT(diffDetector, 1e-7 * peakDetector) << rate;
        // The end of the glide falls on the same samples however the blocks are cut.
        const ShelfRun odd = runSideChain(rate, true, 37, kL, kR, -1);
        const ShelfRun whole = runSideChain(rate, true, 4096, kL, kR, -1);
        for (int i = 0; i < total; ++i)
            ASSERT_EQ(0, std::memcmp(&odd.out[i], &whole.out[i], sizeof(SideChainOutput))) << rate << " " << i;
    }
}

// One GainRed meter sample on this build's code path.
static void feedOne(borealis::MeterFeeds& m, double left, double right, double noise) {
    m.feedGainChunk<orvtest::PathSet>(&left, &right, &noise, 1);
}

TEST(ORV_PATH_SUITE(MeterFeeds), GainChunksGiveExactlyWhatSingleSamplesGive) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    // Gains that dip deep, rise above unity and sit near 0.01, so every hold rule is taken.
    std::vector<double> left(5000), right(5000), noiseValues(5000);
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int i = 0; i < 5000; ++i) {
        const double depth = (i / 400) % 3 == 0 ? 0.005 : (i / 400) % 3 == 1 ? 0.5 : 1.3;
        left[i] = depth + 0.2 * u(rng);
        right[i] = 1.0 - 0.9 * u(rng) * depth;
        noiseValues[i] = 1e-12 * (u(rng) - 0.5);
    }
    for (const int ratioIndex : {2, 12}) {  // expansion and compression ballistics
        BorealisSettings s;
        s.ratioIndex = ratioIndex;
        s.ppmIntegrationMs = 1.0;
        s.ppmReturnMs = 300.0;
        borealis::MeterFeeds single, chunked;
        for (borealis::MeterFeeds* m : {&single, &chunked}) m->beginBlock(s, 44100.0);
        for (int pos = 0, block = 1; pos < 5000; pos += block, block = block % 97 + 13) {
            const int count = std::min(block, 5000 - pos);
            for (int i = pos; i < pos + count; ++i) feedOne(single, left[i], right[i], noiseValues[i]);
            chunked.feedGainChunk<orvtest::PathSet>(&left[pos], &right[pos], &noiseValues[pos], count);
            for (borealis::MeterFeeds* m : {&single, &chunked}) m->ageHolds(count);
            for (int c = 0; c < 2; ++c) {
                ASSERT_TRUE(sameBits(single.vu(c), chunked.vu(c))) << pos;
                ASSERT_TRUE(sameBits(single.ppm(c), chunked.ppm(c))) << pos;
                ASSERT_TRUE(sameBits(single.vuHold(c), chunked.vuHold(c))) << pos;
                ASSERT_TRUE(sameBits(single.ppmHold(c), chunked.ppmHold(c))) << pos;
                ASSERT_EQ(single.vuHoldAge(c), chunked.vuHoldAge(c)) << pos;
                ASSERT_EQ(single.ppmHoldAge(c), chunked.ppmHoldAge(c)) << pos;
            }
        }
    }
}

TEST(ORV_PATH_SUITE(MeterFeeds), AHoldTakenInsideAChunkRestartsItsAgeAsSingleSamplesDo) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    // Near-instant ballistics, so each meter follows its steps at once: a rise above unity
    // sets the holds, a long stretch just below lets their ages grow, then one chunk dips in
    // its middle (a new, lower hold) and ends above the dip (no hold at its end).
    BorealisSettings s;
    s.ratioIndex = 12;
    s.vuIntegrationMs = 0.01;
    s.ppmIntegrationMs = 0.0;
    s.ppmReturnMs = 0.01;
    borealis::MeterFeeds single, chunked;
    for (borealis::MeterFeeds* m : {&single, &chunked}) m->beginBlock(s, 44100.0);
    const int chunk = 64;
    for (int k = 0; k < 7; ++k) {
        std::vector<double> gains(chunk, k == 0 ? 1.5 : 1.2), noiseValues(chunk, 0.0);
        if (k == 6)
            for (int i = 20; i < chunk; ++i) gains[i] = i < 30 ? 0.5 : 0.6;
        for (int i = 0; i < chunk; ++i) feedOne(single, gains[i], gains[i], noiseValues[i]);
        chunked.feedGainChunk<orvtest::PathSet>(gains.data(), gains.data(), noiseValues.data(), chunk);
        single.ageHolds(chunk);
        chunked.ageHolds(chunk);
        for (int c = 0; c < 2; ++c) {
            ASSERT_TRUE(sameBits(single.vuHold(c), chunked.vuHold(c))) << k;
            ASSERT_TRUE(sameBits(single.ppmHold(c), chunked.ppmHold(c))) << k;
            ASSERT_EQ(single.vuHoldAge(c), chunked.vuHoldAge(c)) << k;
            ASSERT_EQ(single.ppmHoldAge(c), chunked.ppmHoldAge(c)) << k;
        }
        if (k == 6) {
            EXPECT_LT(single.vuHold(0), 0.6) << "the dip set a new hold";
            EXPECT_EQ(single.vuHoldAge(0), chunk) << "and restarted its age within the chunk";
        }
    }
}

TEST(ORV_PATH_SUITE(Limiter), BlocksGiveExactlyWhatSingleSamplesGive) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    // Loud bursts that the limiter pulls down, quiet stretches where it releases, and the
    // limiter switched on and off between blocks of lengths up to beyond its ring.
    const int total = 20000;
    const std::vector<double> left = noise(total, 3, 1.0), right = noise(total, 4, 1.0);
    const std::vector<double> noiseValues = noise(total, 5, 1e-12);
    std::vector<double> singleL(total), singleR(total);
    for (int i = 0; i < total; ++i) {
        const double level = (i / 1500) % 3 == 0 ? 2.5 : (i / 1500) % 3 == 1 ? 0.05 : 0.9;
        singleL[i] = level * left[i];
        singleR[i] = 0.7 * level * right[i];
    }
    std::vector<double> blockL = singleL, blockR = singleR;
    borealis::Limiter single, blocked;
    for (borealis::Limiter* x : {&single, &blocked}) x->setRate(48000.0);
    double lowestSingle = 1.0, lowestBlocked = 1.0;
    const int lengths[] = {1, 64, 37, 511, 512, 700, 2, 255, 256, 257, 1300, 5};
    for (int pos = 0, k = 0; pos < total; ++k) {
        const int count = std::min(lengths[k % 12], total - pos);
        const bool on = k % 5 != 2 && k % 7 != 3;
        for (int i = pos; i < pos + count; ++i) {
            single.process(singleL[i], singleR[i], on, noiseValues[i]);
            if (on && single.gain() < lowestSingle) lowestSingle = single.gain();
        }
        lowestBlocked = blocked.processBlock(&blockL[pos], &blockR[pos], count, on, &noiseValues[pos], lowestBlocked);
        ASSERT_TRUE(sameBits(single.gain(), blocked.gain())) << pos;
        ASSERT_TRUE(sameBits(lowestSingle, lowestBlocked)) << pos;
        for (int i = pos; i < pos + count; ++i) {
            ASSERT_TRUE(sameBits(singleL[i], blockL[i])) << i;
            ASSERT_TRUE(sameBits(singleR[i], blockR[i])) << i;
        }
        pos += count;
    }
    EXPECT_LT(lowestBlocked, 0.6) << "the bursts were limited";
}

#include "borealis/dsp/denormal_noise.h"

#include "tests/support/path_test.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace orv::dsp {
namespace {

double fromRegisters(double u, double scale) { return (u * 2.3283064365e-10 * 2 - 1) * scale; }
bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(ORV_PATH_SUITE(DenormalNoise), FollowsTheShiftRegisterSequenceFromItsSeeds) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    // XOR of the three registers after each of the first steps, worked out independently.
    const double expected[] = {2166752657.0, 433761069.0, 2733492204.0, 3444313225.0,
                               1749054826.0, 4156222100.0, 4237336973.0, 3161477957.0};
    DenormalNoise noise(1.0);
    for (double u : expected) EXPECT_DOUBLE_EQ(noise.next(), fromRegisters(u, 1.0));
    noise.reseed();
    EXPECT_DOUBLE_EQ(noise.next(), fromRegisters(expected[0], 1.0));
    DenormalNoise scaled(DenormalNoise::kFilterScale);
    EXPECT_DOUBLE_EQ(scaled.next(), fromRegisters(expected[0], 1e-13));
}

TEST(ORV_PATH_SUITE(DenormalNoise), KeepsToTheRegisterFormulasOverALongRun) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    // The registers stepped as written out directly, (x >> p) ^ (x >> q) with both shifts.
    std::uint32_t s1 = DenormalNoise::kSeed1, s2 = DenormalNoise::kSeed2, s3 = DenormalNoise::kSeed3;
    DenormalNoise noise(1.0);
    for (int i = 0; i < 300000; ++i) {
        s1 = (((s1 >> 6) ^ (s1 >> 15)) & 0x1FFFu) ^ (s1 << 13);
        s2 = (((s2 >> 7) ^ (s2 >> 9)) & 0xFFFFFu) ^ (s2 << 20);
        s3 = (((s3 >> 8) ^ (s3 >> 14)) & 0x1FFFFu) ^ (s3 << 17);
        ASSERT_EQ(noise.next(), fromRegisters(static_cast<double>(s1 ^ s2 ^ s3), 1.0)) << i;
    }
}

TEST(ORV_PATH_SUITE(DenormalNoise), TriplesAreTheValuesOfSingleCallsDealtOutInTurn) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    for (double scale : {DenormalNoise::kKernelScale, DenormalNoise::kFilterScale}) {
        DenormalNoise single(scale), triples(scale);
        // Counts below, at and above a chunk of 64, odd and even.
        for (int count : {1, 2, 3, 63, 64, 65, 128, 129, 7, 200}) {
            std::vector<double> a(count), b(count), c(count);
            double* const out[3] = {a.data(), b.data(), c.data()};
            triples.next<orvtest::PathSet>(out, count);
            for (int i = 0; i < count; ++i) {
                ASSERT_TRUE(sameBits(single.next(), a[i])) << count << " " << i;
                ASSERT_TRUE(sameBits(single.next(), b[i])) << count << " " << i;
                ASSERT_TRUE(sameBits(single.next(), c[i])) << count << " " << i;
            }
        }
        EXPECT_TRUE(sameBits(single.next(), triples.next())) << "both continue from the same registers";
    }
}

TEST(ORV_PATH_SUITE(DenormalNoise), StaysWithinItsAmplitudeAndIsNeverDenormalOrZero) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    for (double scale : {DenormalNoise::kKernelScale, DenormalNoise::kFilterScale}) {
        DenormalNoise noise(scale);
        double sum = 0.0, squares = 0.0;
        const int count = 2000000;
        for (int i = 0; i < count; ++i) {
            const double v = noise.next();
            ASSERT_GE(v, -scale);
            ASSERT_LT(v, scale);
            ASSERT_EQ(std::fpclassify(v), FP_NORMAL) << i;
            sum += v;
            squares += v * v;
        }
        // Uniform: zero mean, RMS scale / sqrt(3).
        EXPECT_LT(std::abs(sum / count), 0.005 * scale);
        EXPECT_NEAR(std::sqrt(squares / count), scale / std::sqrt(3.0), 0.005 * scale);
    }
}

// The rounds give the values of next() in order, round by round, and leave the generator where
// next() would, for any number of rounds and values per round.
TEST(ORV_PATH_SUITE(DenormalNoise), RoundsGiveTheValuesOfNextInOrder) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    DenormalNoise single(DenormalNoise::kKernelScale), rounds(DenormalNoise::kKernelScale);
    for (int count : {0, 1, 2, 64, 5, 300}) {
        std::vector<double> a(count + 1, 5.0), b(count + 1, 5.0), c(count + 1, 5.0);
        double* const out[3] = {a.data(), b.data(), c.data()};
        rounds.next<orvtest::PathSet>(out, count);
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(a[i], single.next()) << count << " " << i;
            ASSERT_EQ(b[i], single.next()) << count << " " << i;
            ASSERT_EQ(c[i], single.next()) << count << " " << i;
        }
        EXPECT_EQ(a[count], 5.0) << "wrote past the end, count " << count;
        std::vector<double> d(3);
        double* const one[1] = {d.data()};
        rounds.next<orvtest::PathSet>(one, 3);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(d[i], single.next()) << count << " " << i;
    }
    EXPECT_EQ(rounds.next(), single.next());
}
}  // namespace
}  // namespace orv::dsp

#include "borealis/dsp/denormal_noise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace orv::dsp {
namespace {

double fromRegisters(double u, double scale) { return (u * 2.3283064365e-10 * 2 - 1) * scale; }

TEST(DenormalNoise, FollowsTheShiftRegisterSequenceFromItsSeeds) {
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

TEST(DenormalNoise, StaysWithinItsAmplitudeAndIsNeverDenormalOrZero) {
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
TEST(DenormalNoise, RoundsGiveTheValuesOfNextInOrder) {
    DenormalNoise single(DenormalNoise::kKernelScale), rounds(DenormalNoise::kKernelScale);
    for (int count : {0, 1, 2, 64, 5, 300}) {
        std::vector<double> a(count + 1, 5.0), b(count + 1, 5.0), c(count + 1, 5.0);
        double* const out[3] = {a.data(), b.data(), c.data()};
        rounds.next(out, count);
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(a[i], single.next()) << count << " " << i;
            ASSERT_EQ(b[i], single.next()) << count << " " << i;
            ASSERT_EQ(c[i], single.next()) << count << " " << i;
        }
        EXPECT_EQ(a[count], 5.0) << "wrote past the end, count " << count;
        double* const one[1] = {a.data()};
        rounds.next(one, 3);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(a[i], single.next()) << count << " " << i;
    }
    EXPECT_EQ(rounds.next(), single.next());
}

}  // namespace
}  // namespace orv::dsp

#include "borealis/dsp/denormal_noise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace orv::dsp {
namespace {

double fromRegisters(double u, double scale) { return (u * 2.3283064365e-10 * 2 - 1) * scale; }
bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

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

TEST(DenormalNoise, KeepsToTheRegisterFormulasOverALongRun) {
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

TEST(DenormalNoise, TriplesAreTheValuesOfSingleCallsDealtOutInTurn) {
    for (double scale : {DenormalNoise::kKernelScale, DenormalNoise::kFilterScale}) {
        DenormalNoise single(scale), triples(scale);
        // Counts below, at and above a chunk of 64, odd and even.
        for (int count : {1, 2, 3, 63, 64, 65, 128, 129, 7, 200}) {
            std::vector<double> a(count), b(count), c(count);
            double* const out[3] = {a.data(), b.data(), c.data()};
            triples.next(out, count);
            for (int i = 0; i < count; ++i) {
                ASSERT_TRUE(sameBits(single.next(), a[i])) << count << " " << i;
                ASSERT_TRUE(sameBits(single.next(), b[i])) << count << " " << i;
                ASSERT_TRUE(sameBits(single.next(), c[i])) << count << " " << i;
            }
        }
        EXPECT_TRUE(sameBits(single.next(), triples.next())) << "both continue from the same registers";
    }
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
        std::vector<double> d(3);
        double* const one[1] = {d.data()};
        rounds.next(one, 3);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(d[i], single.next()) << count << " " << i;
    }
    EXPECT_EQ(rounds.next(), single.next());
}

// The wide form: for K values a round and any number of rounds (within one pass of its rows,
// at the pass length and across passes, with and without a tail short of eight), the values
// of next() bit for bit, nothing written past the rounds, and the registers next() would leave.
template <int K>
void expectWideRoundsMatchNext(double scale) {
    DenormalNoise single(scale), wide(scale);
    for (int rounds : {1, 2, 63, 64, 128, 7, 8, 65, 200, 0, 9}) {
        std::vector<std::vector<double>> values(K, std::vector<double>(rounds + 1, 5.0));
        double* out[K];
        for (int k = 0; k < K; ++k) out[k] = values[k].data();
        double* const(&outs)[K] = out;
        wide.nextWide(outs, rounds);
        for (int i = 0; i < rounds; ++i)
            for (int k = 0; k < K; ++k)
                ASSERT_TRUE(sameBits(values[k][i], single.next())) << "K " << K << " rounds " << rounds << " " << i;
        for (int k = 0; k < K; ++k) EXPECT_EQ(values[k][rounds], 5.0) << "wrote past the end, K " << K;
        // The registers left: the next values of both agree, through either form.
        ASSERT_TRUE(sameBits(wide.next(), single.next())) << "K " << K << " rounds " << rounds;
    }
    double a[3], b[3];
    double* const oneA[1] = {a};
    double* const oneB[1] = {b};
    wide.nextWide(oneA, 3);
    single.next(oneB, 3);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(sameBits(a[i], b[i])) << i;
}

TEST(DenormalNoise, WideRoundsGiveTheValuesAndRegistersOfNext) {
#if ORV_HAS_WIDE_PATH
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2")) GTEST_SKIP() << "this processor has no AVX2";
    for (double scale : {DenormalNoise::kKernelScale, DenormalNoise::kFilterScale, 1.0}) {
        expectWideRoundsMatchNext<1>(scale);
        expectWideRoundsMatchNext<2>(scale);
        expectWideRoundsMatchNext<3>(scale);
    }
#else
    GTEST_SKIP() << "no wide path in this build";
#endif
}

}  // namespace
}  // namespace orv::dsp

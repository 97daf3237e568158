// The input guard both engines run over every chunk of host samples.
#include "borealis/dsp/sample_guard.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <vector>

namespace {

using orv::dsp::admitSample;
using orv::dsp::admitsAll;
using orv::dsp::kLargestSample;

template <class T>
void expectEveryPositionIsScanned() {
    const T bad[] = {std::numeric_limits<T>::quiet_NaN(), std::numeric_limits<T>::infinity(),
                     -std::numeric_limits<T>::infinity(), static_cast<T>(-2.0 * kLargestSample),
                     std::numeric_limits<T>::max()};
    // Every length up to a chunk and a bit, every position: the vector body and the tail.
    for (int count = 1; count <= 70; ++count) {
        std::vector<T> x(count + 1, static_cast<T>(0.5));
        EXPECT_TRUE(admitsAll(x.data() + 1, count)) << count;  // an unaligned start too
        for (int at = 0; at < count; ++at) {
            for (T b : bad) {
                x[1 + at] = b;
                ASSERT_FALSE(admitsAll(x.data() + 1, count)) << count << " at " << at;
                x[1 + at] = static_cast<T>(0.5);
            }
        }
        x[0] = bad[0];  // outside the range scanned
        EXPECT_TRUE(admitsAll(x.data() + 1, count)) << count;
    }
    EXPECT_TRUE(admitsAll(static_cast<const T*>(nullptr), 0));
}

TEST(SampleGuard, ScanFindsAnyBadSampleInEitherPrecision) {
    expectEveryPositionIsScanned<float>();
    expectEveryPositionIsScanned<double>();
}

TEST(SampleGuard, AdmitKeepsAudioAndSilencesGarbage) {
    for (double x : {0.0, -0.0, 1e-310, -1.0, 0.999, 1000.0, kLargestSample, -kLargestSample})
        EXPECT_EQ(admitSample(x), x) << x;
    EXPECT_EQ(admitSample(1.5f), 1.5);
    EXPECT_EQ(admitSample(FLT_MAX), 0.0);
    EXPECT_EQ(admitSample(std::nextafter(kLargestSample, 1e300)), 0.0);
    EXPECT_EQ(admitSample(std::numeric_limits<double>::quiet_NaN()), 0.0);
    EXPECT_EQ(admitSample(-std::numeric_limits<float>::infinity()), 0.0);
    // The scan and the per-sample rule agree at the limit.
    const double edge[] = {kLargestSample, -kLargestSample};
    EXPECT_TRUE(admitsAll(edge, 2));
    const float edgeF[] = {static_cast<float>(kLargestSample), -static_cast<float>(kLargestSample)};
    EXPECT_TRUE(admitsAll(edgeF, 2));
}

// Channels that share a buffer are scanned once; a bad sample in any distinct one is found.
TEST(SampleGuard, ChannelSetChecksEachDistinctBuffer) {
    std::vector<float> a(64, 0.1f), b(64, 0.2f);
    const float* shared[4] = {a.data(), b.data(), a.data(), b.data()};
    EXPECT_TRUE(admitsAll(shared, 0, 64));
    b[40] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(admitsAll(shared, 0, 64));
    EXPECT_TRUE(admitsAll(shared, 0, 40)) << "only the chunk's frames count";
    EXPECT_FALSE(admitsAll(shared, 32, 16));
}

}  // namespace

#include "borealis/dsp/mirrored_ring.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using orv::dsp::MirroredRing;

// The block delay copies whole runs where it can; against push-then-ago one value at a time it
// must give the same outputs and leave the ring in the same state, for blocks shorter than,
// equal to and longer than the delay, across the wrap of the ring.
TEST(MirroredRingDelay, BlocksMatchPushAndAgoOneValueAtATime) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (const int delay : {1, 17, 64, 127, 200, 255}) {
        MirroredRing<256> blocks, single;
        const int sizes[] = {64, 1, 63, 0, 65, 3, 192, 40, 255, 7};
        for (int round = 0; round < 40; ++round) {
            const int n = sizes[round % 10];
            std::vector<double> a(n), b;
            for (double& x : a) x = u(rng);
            b = a;
            blocks.pushDelayed(a.data(), n, delay);
            for (int i = 0; i < n; ++i) {
                single.push(b[i]);
                b[i] = single.ago(delay);
            }
            for (int i = 0; i < n; ++i) ASSERT_EQ(a[i], b[i]) << "delay " << delay << " round " << round << " i " << i;
            for (int age = 0; age < 256; ++age) ASSERT_EQ(blocks.ago(age), single.ago(age)) << age;
            const double* p = blocks.newest(256);
            const double* q = single.newest(256);
            for (int k = 0; k < 256; ++k) ASSERT_EQ(p[k], q[k]);
        }
    }
}

// A block push leaves the ring as pushing its values one at a time does: every age and the
// contiguous view of the newest values, for blocks from empty to the whole ring, across the wrap.
TEST(MirroredRingPush, BlockMatchesOneValueAtATime) {
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    MirroredRing<64> blocks, single;
    const int sizes[] = {5, 0, 64, 1, 63, 30, 2, 59, 17};
    for (int round = 0; round < 30; ++round) {
        const int n = sizes[round % 9];
        std::vector<double> a(n);
        for (double& x : a) x = u(rng);
        blocks.push(a.data(), n);
        for (double x : a) single.push(x);
        for (int age = 0; age < 64; ++age) ASSERT_EQ(blocks.ago(age), single.ago(age)) << round << " " << age;
        const double* p = blocks.newest(64);
        const double* q = single.newest(64);
        for (int k = 0; k < 64; ++k) ASSERT_EQ(p[k], q[k]) << round << " " << k;
    }
}

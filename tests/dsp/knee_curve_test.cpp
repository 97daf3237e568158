#include "borealis/dsp/knee_curve.h"

#include <gtest/gtest.h>

#include <cmath>

namespace orv::dsp {
namespace {

// The curve exponents of the 21 ratio steps, from 0.5:1 (expansion) to 64:1.
const double kSlopes[] = {2,
                          1.6817928305074292,
                          1.4142271248762552,
                          1.2968395546510096,
                          1.1904761904761905,
                          1.0905077326652577,
                          1,
                          0.9170040432046712,
                          0.8333333333333334,
                          0.7711054127039704,
                          0.7142857142857143,
                          0.5946035575013605,
                          0.5,
                          0.4204482076268573,
                          0.35714285714285715,
                          0.29730177875068026,
                          0.25,
                          0.17857142857142858,
                          0.125,
                          0.08333333333333333,
                          0.015625};

TEST(KneeCurve, SoftKneeEqualsHardKneeOutsideTheKnee) {
    for (double s : kSlopes) {
        const KneePoints p = kneePointsForSlope(s);
        for (double level : {0.0001, 0.005, 0.1, 0.3, 0.5, 1.5, 2.0, 4.0, 100.0}) {
            EXPECT_EQ(softKneeCurve(level, s, p), hardKneeCurve(level, s)) << "slope " << s << " level " << level;
        }
        EXPECT_EQ(hardKneeCurve(0.9, s), 0.9);
        EXPECT_EQ(hardKneeCurve(1.0, s), 1.0);
        EXPECT_DOUBLE_EQ(hardKneeCurve(2.0, s), std::pow(2.0, s));
    }
}

TEST(KneeCurve, SoftKneeIsContinuousMonotonicAndBendsTheRightWay) {
    for (double s : kSlopes) {
        const KneePoints p = kneePointsForSlope(s);
        // Both ends join without a step.
        EXPECT_NEAR(softKneeCurve(0.5 + 1e-12, s, p), 0.5, 1e-11) << s;
        EXPECT_NEAR(softKneeCurve(1.5 - 1e-12, s, p), std::pow(1.5, s), 1e-11) << s;
        double previous = softKneeCurve(0.45, s, p);
        for (double level = 0.45; level <= 1.55; level += 0.0005) {
            const double y = softKneeCurve(level, s, p);
            EXPECT_GE(y, previous) << "slope " << s << " level " << level;
            // Compression ratios never raise a level, expansion ratios never lower it.
            if (s < 1) {
                EXPECT_LE(y, level + 1e-15) << "slope " << s << " level " << level;
            } else if (s > 1) {
                EXPECT_GE(y, level - 1e-15) << "slope " << s << " level " << level;
            } else {
                EXPECT_NEAR(y, level, 1e-15) << level;
            }
            previous = y;
        }
    }
}

TEST(KneeCurve, GainMovesTheLevelOntoTheCurve) {
    const double expand = 2.0;  // 0.5:1
    const KneePoints pe = kneePointsForSlope(expand);
    EXPECT_NEAR(kneeGain(2.0, expand, pe, false), 4.0 / (2.0 + 1e-6), 1e-15);
    EXPECT_NEAR(kneeGain(2.0, expand, pe, false), 2.0, 1e-6);
    // 1:1 stays within 0.02 % of unity down to the quietest detector level.
    const KneePoints pn = kneePointsForSlope(1.0);
    for (bool soft : {false, true}) {
        for (double level : {0.005, 0.5, 1.0, 3.0}) EXPECT_NEAR(kneeGain(level, 1.0, pn, soft), 1.0, 2e-4);
    }
    const KneePoints p4 = kneePointsForSlope(0.25);
    EXPECT_DOUBLE_EQ(kneeCurve(16.0, 0.25, p4, true), 2.0);
    EXPECT_DOUBLE_EQ(kneeCurve(1.2, 0.25, p4, false), std::pow(1.2, 0.25));
    EXPECT_NE(kneeCurve(1.2, 0.25, p4, true), kneeCurve(1.2, 0.25, p4, false));
}

}  // namespace
}  // namespace orv::dsp

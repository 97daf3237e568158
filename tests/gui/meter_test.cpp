// The needle meter: input limits, the over lamp's latch, needle angles, hold readouts, and what
// a redraw shows (also written as meter.png into the build tree, to be looked at).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gui/old_vu_meter.h"
#include "support.h"

namespace tktest {
namespace {

constexpr double kDeg = 180.0 / M_PI;
constexpr float kNan = std::numeric_limits<float>::quiet_NaN();

// Face: the 100 x 80 background bitmap; lamp: the three-image strip (lit, held, off) at 45, 40;
// cover: the strip again over the needles' base; pivot 50, 70.
struct Meter : ::testing::Test {
    OffscreenFrame f;
    CBitmap* face = new CBitmap(kBackground);
    CBitmap* strip = new CBitmap(kStrip3);
    const CRect ppmRect{58, 62, 98, 72};
    const CRect vuRect{2, 62, 42, 72};
    COldVuMeter* meter = new COldVuMeter(CRect(0, 0, 100, 80), &f.listener, 58, face, strip, CPoint(45.7, 40.2),
                                         CPoint(45, 66), strip, CPoint(50, 70), 3, 60, 48, 60, ppmRect, vuRect);
    void SetUp() override { f.frame->addView(meter); }
    void TearDown() override { face->forget(); strip->forget(); }
    int imageAt(double x, double y) {
        f.frame->idle();
        return stripIndexAt(f.frame, static_cast<int>(x), static_cast<int>(y));
    }
    CColor needleAt(double angle, double radius) {
        f.frame->idle();
        return pixelAt(f.frame, static_cast<int>(50.5 + radius * std::cos(angle)),
                       static_cast<int>(70.5 - radius * std::sin(angle)));
    }
    int redPixelsIn(const CRect& r) {
        f.frame->idle();
        int n = 0;
        for (int y = int(r.top); y < r.bottom; ++y)
            for (int x = int(r.left); x < r.right; ++x) {
                const CColor c = pixelAt(f.frame, x, y);
                n += c.red > 180 && c.green < 120 && c.blue < 120;
            }
        return n;
    }
};

TEST_F(Meter, NeedlesPassBehindTheHoldReadoutsAtRestAndWhenPinned) {
    auto windowPixels = [&](CRect r) {
        r.inset(-1, -1);
        f.frame->idle();
        std::vector<std::uint32_t> out;
        for (int y = int(r.top); y < r.bottom; ++y)
            for (int x = int(r.left); x < r.right; ++x) {
                const CColor c = pixelAt(f.frame, x, y);
                out.push_back(c.red << 16 | c.green << 8 | c.blue);
            }
        return out;
    };
    meter->setAll(0.7f, 0, 0.7f, 0.5f, 0.25f);  // both needles clear of the readouts
    const auto vuClear = windowPixels(vuRect), ppmClear = windowPixels(ppmRect);
    meter->setAll(0, 0, 0, 0.5f, 0.25f);  // at rest the VU needle points across the VU hold
    EXPECT_EQ(windowPixels(vuRect), vuClear);
    EXPECT_NE(needleAt(150 / kDeg, 40), needleAt(150 / kDeg, 1));  // still drawn above it
    meter->setAll(4, 0, 4, 0.5f, 0.25f);  // pinned: the VU needle crosses the PPM hold
    EXPECT_EQ(windowPixels(ppmRect), ppmClear);
    EXPECT_EQ(windowPixels(vuRect), vuClear);
}

TEST_F(Meter, OverLampLightsThenHoldsUntilTheNextOverOrAReset) {
    EXPECT_EQ(imageAt(47, 42), COldVuMeter::kLampOff);
    meter->setOver(1.0f);
    EXPECT_EQ(imageAt(47, 42), COldVuMeter::kLampLit);
    meter->setAll(0.3f, 0, 0.4f, 0.5f, 0.2f);
    EXPECT_TRUE(meter->isOverHeld());
    meter->setOver(0.49f);
    EXPECT_EQ(imageAt(47, 42), COldVuMeter::kLampHeld);
    meter->setOver(1.0f);
    EXPECT_EQ(meter->lampImage(), COldVuMeter::kLampLit);
    meter->setOver(0);
    meter->resetOver();
    meter->setOver(0);
    EXPECT_EQ(imageAt(47, 42), COldVuMeter::kLampOff);
    meter->setOver(1.0f);
    meter->setOver(0);
    meter->resetAll();
    EXPECT_FALSE(meter->isOverHeld());
    EXPECT_LT(meter->getVuLevel() + meter->getPpmHold(), 1e-6f);
}

TEST_F(Meter, InputsAreLimitedNotANumberReadsAsSilenceAndTheNeedlesFollowTheDialLaw) {
    meter->setAll(5.0f, 9.0f, 1e-9f, 7.5f, 0);
    EXPECT_EQ(meter->getVuLevel(), 4.0f);
    EXPECT_EQ(meter->getOverState(), 4.0f);
    EXPECT_EQ(meter->getPpmLevel(), 1e-9f);
    EXPECT_EQ(meter->getPpmHold(), 7.5f);  // holds as fed
    EXPECT_FLOAT_EQ(meter->getValue(), 4.0f + 4.0f + 1e-9f + 7.5f);
    meter->setAll(kNan, kNan, kNan, 0, 0);
    EXPECT_EQ(meter->getVuLevel(), 1e-9f);
    EXPECT_TRUE(meter->isOverHeld());  // the earlier over, now past
    EXPECT_EQ(meter->getPpmLevel(), 1e-9f);
    meter->resetOver();
    meter->setOver(kNan);
    EXPECT_EQ(meter->getOverState(), 1e-9f);

    EXPECT_NEAR(COldVuMeter::needleAngle(1.44) * kDeg, 30.0, 1e-9);
    EXPECT_NEAR(COldVuMeter::needleAngle(1.0) * kDeg, 72.53, 0.01);
    EXPECT_NEAR(meter->vuNeedleAngle() * kDeg, 150.0, 0.01);
    meter->setVuLevel(2.0f);  // drawn at the 1.5 limit
    EXPECT_NEAR(meter->vuNeedleAngle() * kDeg, 23.97, 0.01);
}

TEST_F(Meter, HoldReadoutsInDecibelsThePpmHoldRedAtFullScale) {
    char text[32];
    const std::pair<float, const char*> cases[] = {{1.0f, "0.00dB"}, {0.5f, "-6.02dB"}, {0, "-oodB"}, {kNan, "-oodB"}};
    for (const auto& [hold, expected] : cases) {
        COldVuMeter::holdText(hold, text);
        EXPECT_STREQ(text, expected);
    }
    meter->setAll(0.5f, 0, 0.5f, 1.0f, 1.0f);
    EXPECT_GT(redPixelsIn(ppmRect), 5);
    EXPECT_EQ(redPixelsIn(vuRect), 0);
    meter->setPpmHold(0.5f);
    EXPECT_EQ(redPixelsIn(ppmRect), 0);
}

TEST_F(Meter, RedrawShowsFaceNeedlesAndCoverAndAClickTellsTheListener) {
    meter->setAll(1.0f, 1.0f, 1.2f, 1.0f, 0.5f);
    const double vu = meter->vuNeedleAngle();
    EXPECT_EQ(imageAt(5, 5), 20);  // face
    EXPECT_EQ(imageAt(47, 68), 0);  // cover over the base
    EXPECT_NE(stripIndexAt(f.frame, 50 + int(25 * std::cos(vu)), 70 - int(25 * std::sin(vu))), 20);
    const CColor ppm = needleAt(meter->ppmNeedleAngle(), 54);
    EXPECT_TRUE(ppm.red > 180 && ppm.green < 120) << int(ppm.red) << "," << int(ppm.green);
    ASSERT_TRUE(f.frame->writePng(ORV_GUI_TEST_OUTPUT "/meter.png"));
    meter->setVuLevel(0);
    EXPECT_EQ(imageAt(50 + int(25 * std::cos(vu)), 70 - int(25 * std::sin(vu))), 20);  // needle gone

    EXPECT_EQ(f.down(20, 20), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_EQ(f.down(20, 20, kRButton), kMouseEventNotHandled);
    EXPECT_EQ(f.listener.calls.size(), 1u);
    EXPECT_EQ(face->getNbReference(), 2);
    CView* copy = meter->newCopy();
    EXPECT_TRUE(copy->isTypeOf("COldVuMeter"));
    EXPECT_EQ(face->getNbReference(), 3);
    copy->forget();
    EXPECT_EQ(face->getNbReference(), 2);
}

}  // namespace
}  // namespace tktest

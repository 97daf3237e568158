// The needle meter: input limits, the over lamp's latch, needle angles, hold readouts, and what
// a redraw puts on the screen (also written as meter.png into the build tree for a look).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "gui/old_vu_meter.h"
#include "support.h"

namespace guitest {
namespace {

constexpr double kDeg = 180.0 / M_PI;

// A meter laid out like the editors' left meter, moved to (20, 20): face 150 x 90, pivot 72, 82
// on the face, lamp and readouts above the pivot, the cover over the needles' base.
struct MeterTest : ::testing::Test {
    OffscreenFrame f;
    CBitmap* face = new CBitmap(kFace);
    CBitmap* cover = new CBitmap(kCover);
    CBitmap* lamp = new CBitmap(kLamp);
    COldVuMeter* meter = nullptr;
    const CPoint pivot{92, 102};
    const CRect ppmRect{104, 72, 154, 82};
    const CRect vuRect{30, 72, 80, 82};

    void SetUp() override {
        meter = new COldVuMeter(CRect(20, 20, 170, 112), &f.listener, 58, face, cover, CPoint(86.7, 70.2),
                                CPoint(20, 96), lamp, pivot, 3, 70, 55, 70, ppmRect, vuRect);
        f.add(meter);
    }
    void TearDown() override {
        face->forget();
        cover->forget();
        lamp->forget();
    }
    CColor pixel(double x, double y) {
        f.frame->idle();
        return pixelAt(f.frame, static_cast<int>(x), static_cast<int>(y));
    }
    // A point on a needle at `radius`, `angle` (middle of the five strokes).
    CColor needlePixel(double angle, double radius) {
        return pixel(pivot.x + 0.5 + radius * std::cos(angle), pivot.y + 0.5 - radius * std::sin(angle));
    }
    int countRed(const CRect& r) {
        f.frame->idle();
        int n = 0;
        for (int y = static_cast<int>(r.top); y < r.bottom; ++y)
            for (int x = static_cast<int>(r.left); x < r.right; ++x) {
                const CColor c = pixelAt(f.frame, x, y);
                if (c.red > 180 && c.green < 120 && c.blue < 120) ++n;
            }
        return n;
    }
};

TEST_F(MeterTest, OverLampLightsHoldsAndResets) {
    EXPECT_EQ(meter->lampImage(), COldVuMeter::kLampOff);
    meter->setOver(1.0f);
    EXPECT_EQ(meter->lampImage(), COldVuMeter::kLampLit);
    EXPECT_FALSE(meter->isOverHeld());
    meter->setOver(0);
    EXPECT_TRUE(meter->isOverHeld());
    EXPECT_EQ(meter->lampImage(), COldVuMeter::kLampHeld);
    meter->setAll(0.3f, 0, 0.4f, 0.5f, 0.2f);
    meter->setOver(0.49f);
    EXPECT_EQ(meter->lampImage(), COldVuMeter::kLampHeld);
    meter->setOver(1.0f);
    EXPECT_EQ(meter->lampImage(), COldVuMeter::kLampLit);
    meter->setOver(0);
    meter->resetOver();
    EXPECT_FALSE(meter->isOverHeld());
    EXPECT_EQ(meter->lampImage(), COldVuMeter::kLampOff);
    meter->setOver(0);
    EXPECT_EQ(meter->lampImage(), COldVuMeter::kLampOff);

    meter->setOver(1.0f);
    meter->setOver(0);
    meter->resetAll();
    EXPECT_FALSE(meter->isOverHeld());
    EXPECT_LT(meter->getVuLevel(), 1e-6f);
    EXPECT_LT(meter->getPpmHold(), 1e-6f);
}

TEST_F(MeterTest, InputsAreLimitedAndNotANumberReadsAsSilence) {
    meter->setVuLevel(5.0f);
    meter->setPpmLevel(1e-9f);
    EXPECT_EQ(meter->getVuLevel(), 4.0f);
    EXPECT_EQ(meter->getPpmLevel(), 1e-9f);
    meter->setVuLevel(std::numeric_limits<float>::quiet_NaN());
    meter->setPpmLevel(std::numeric_limits<float>::infinity());
    EXPECT_EQ(meter->getVuLevel(), 1e-9f);
    EXPECT_EQ(meter->getPpmLevel(), 4.0f);
    meter->setOver(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(meter->getOverState(), 1e-9f);
    meter->setOver(9.0f);
    EXPECT_EQ(meter->getOverState(), 4.0f);
    meter->setPpmHold(7.5f);  // holds are shown as fed
    EXPECT_EQ(meter->getPpmHold(), 7.5f);
    EXPECT_FLOAT_EQ(meter->getValue(), 1e-9f + 4.0f + 4.0f + 7.5f + 0.0f);
}

TEST_F(MeterTest, NeedleAnglesFollowTheDialLawWithinTheDrawingLimits) {
    EXPECT_NEAR(COldVuMeter::needleAngle(0) * kDeg, 150.0, 1e-9);
    EXPECT_NEAR(COldVuMeter::needleAngle(1.44) * kDeg, 30.0, 1e-9);
    EXPECT_NEAR(COldVuMeter::needleAngle(1.0) * kDeg, 72.53, 0.01);
    meter->setVuLevel(2.0f);  // drawn at the 1.5 limit
    EXPECT_NEAR(meter->vuNeedleAngle() * kDeg, 23.97, 0.01);
    meter->setVuLevel(0);
    EXPECT_NEAR(meter->vuNeedleAngle() * kDeg, 150.0, 0.01);
    meter->setPpmLevel(1.0f);
    EXPECT_NEAR(meter->ppmNeedleAngle() * kDeg, 72.53, 0.01);
}

TEST_F(MeterTest, HoldReadoutsInDecibelsRedAtFullScale) {
    char text[32];
    COldVuMeter::holdText(1.0f, text);
    EXPECT_STREQ(text, "0.00dB");
    COldVuMeter::holdText(0.5f, text);
    EXPECT_STREQ(text, "-6.02dB");
    COldVuMeter::holdText(0, text);
    EXPECT_STREQ(text, "-oodB");
    COldVuMeter::holdText(-1.0f, text);
    EXPECT_STREQ(text, "-oodB");
    COldVuMeter::holdText(std::numeric_limits<float>::quiet_NaN(), text);
    EXPECT_STREQ(text, "-oodB");

    meter->setAll(0.5f, 0, 0.5f, 1.0f, 1.0f);
    EXPECT_EQ(meter->ppmHoldColor(), COldVuMeter::kRed);
    EXPECT_EQ(meter->vuHoldColor(), COldVuMeter::kGrey);
    EXPECT_GT(countRed(ppmRect), 5);
    EXPECT_EQ(countRed(vuRect), 0);
    meter->setPpmHold(0.5f);
    EXPECT_EQ(meter->ppmHoldColor(), COldVuMeter::kGrey);
    EXPECT_EQ(countRed(ppmRect), 0);
}

TEST_F(MeterTest, RedrawShowsLampNeedlesAndCoverAndWritesAPicture) {
    meter->setAll(1.0f, 1.0f, 1.2f, 1.0f, 0.5f);
    const double vuAngle = meter->vuNeedleAngle();
    const double ppmAngle = meter->ppmNeedleAngle();
    EXPECT_EQ(pixel(88, 72), lampColor(COldVuMeter::kLampLit));  // lamp at its truncated position
    const CColor vu = needlePixel(vuAngle, 40);
    EXPECT_LT(vu.red, 170);  // grey needle on the cream face
    const CColor ppm = needlePixel(ppmAngle, 63);
    EXPECT_GT(ppm.red, 180);
    EXPECT_LT(ppm.green, 150);
    EXPECT_EQ(pixel(pivot.x, pivot.y + 2), MakeCColor(38, 38, 43));  // the cover hides the base
    EXPECT_EQ(pixel(25, 25), MakeCColor(245, 238, 215));            // plain face
    ASSERT_TRUE(f.frame->writePng(ORV_GUI_TEST_OUTPUT "/meter.png"));

    meter->setOver(0);
    EXPECT_EQ(pixel(88, 72), lampColor(COldVuMeter::kLampHeld));
    meter->setVuLevel(0);
    EXPECT_GT(needlePixel(vuAngle, 40).red, 200);  // the needle has left
}

TEST_F(MeterTest, ClickTellsTheListenerAndCopiesShareTheBitmaps) {
    EXPECT_EQ(f.down(60, 50), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_EQ(f.down(60, 50, kRButton), kMouseEventNotHandled);
    ASSERT_EQ(f.listener.calls.size(), 1u);
    EXPECT_EQ(f.listener.calls[0].tag, 58);

    EXPECT_TRUE(meter->isTypeOf("COldVuMeter"));
    EXPECT_TRUE(meter->isTypeOf("CControl"));
    EXPECT_EQ(face->getNbReference(), 2);
    meter->setVuHold(0.25f);
    CView* copy = meter->newCopy();
    EXPECT_EQ(face->getNbReference(), 3);
    EXPECT_EQ(static_cast<COldVuMeter*>(copy)->getVuHold(), 0.25f);
    copy->forget();
    EXPECT_EQ(face->getNbReference(), 2);
}

}  // namespace
}  // namespace guitest

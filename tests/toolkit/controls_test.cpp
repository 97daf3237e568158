// Controls driven through an offscreen frame with synthetic events: values, listener calls,
// edit gestures and the image each draws.
#include <gtest/gtest.h>

#include "support.h"

namespace tktest {
namespace {

// A kick button that notes the buttons its press arrived with.
struct NotingKickButton : CKickButton {
    using CKickButton::CKickButton;
    std::vector<CButtonState> presses;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override {
        presses.push_back(buttons);
        return CKickButton::onMouseDown(where, buttons);
    }
};

TEST(KickButton, PressAndReleaseReportBothEdgesInOneGestureAndDrawTheImage) {
    OffscreenFrame f;
    CBitmap* strip = new CBitmap(kStrip3);
    auto* button = new CKickButton(CRect(10, 10, 20, 20), &f.listener, 7, 10, strip);
    strip->forget();
    f.frame->addView(button);
    f.frame->idle();
    EXPECT_EQ(stripIndexAt(f.frame, 15, 15), 0);

    EXPECT_EQ(f.down(15, 15), kMouseEventHandled);
    f.frame->idle();
    EXPECT_EQ(stripIndexAt(f.frame, 15, 15), 1);
    EXPECT_EQ(f.editor.begins, std::vector<std::int32_t>{7});
    EXPECT_TRUE(f.editor.ends.empty());
    f.up(15, 15);
    f.frame->idle();
    EXPECT_EQ(stripIndexAt(f.frame, 15, 15), 0);
    EXPECT_EQ(f.editor.ends, std::vector<std::int32_t>{7});
    ASSERT_EQ(f.listener.calls.size(), 2u);
    EXPECT_EQ(f.listener.calls[0].value, 1.0f);
    EXPECT_EQ(f.listener.calls[1].value, 0.0f);

    // The right button alone is not a press.
    EXPECT_EQ(f.down(15, 15, kRButton), kMouseEventNotHandled);
    EXPECT_EQ(f.listener.calls.size(), 2u);
}

TEST(KickButton, DoubleClickAndModifierMasksReachTheControl) {
    OffscreenFrame f;
    auto* button = new NotingKickButton(CRect(10, 10, 20, 20), &f.listener, 3, 10, nullptr);
    f.frame->addView(button);
    f.down(12, 12, kLButton | kDoubleClick | kControl);
    f.up(12, 12);
    f.down(12, 12, kLButton | kShift | kAlt);
    ASSERT_EQ(button->presses.size(), 2u);
    EXPECT_TRUE(button->presses[0].isDoubleClick());
    EXPECT_TRUE(button->presses[0] & kControl);
    EXPECT_FALSE(button->presses[1].isDoubleClick());
    EXPECT_EQ(button->presses[1].getModifierState(), kShift | kAlt);
    EXPECT_EQ(button->presses[1].getButtonState(), kLButton);
}

TEST(RockerSwitch, EachPressIsDeliveredOnceAndReleaseReturnsToRest) {
    OffscreenFrame f;
    CBitmap* strip = new CBitmap(kStrip3);
    auto* rocker = new CRockerSwitch(CRect(40, 10, 60, 20), &f.listener, 60, 10, strip);
    strip->forget();
    f.frame->addView(rocker);

    f.down(55, 15);
    f.move(57, 16);
    f.move(42, 16);  // dragging across the centre changes nothing
    f.frame->idle();
    EXPECT_EQ(stripIndexAt(f.frame, 45, 15), 2);
    ASSERT_EQ(f.listener.calls.size(), 1u);
    EXPECT_EQ(f.listener.calls[0].value, 1.0f);
    f.up(42, 16);
    f.frame->idle();
    EXPECT_EQ(rocker->getValue(), 0.0f);
    EXPECT_EQ(stripIndexAt(f.frame, 45, 15), 1);
    EXPECT_EQ(f.listener.calls.size(), 1u);

    f.down(41, 15);
    EXPECT_EQ(f.listener.calls.back().value, -1.0f);
    EXPECT_EQ(f.listener.calls.size(), 2u);
    f.up(41, 15);
    EXPECT_EQ(f.editor.begins.size(), 2u);
    EXPECT_EQ(f.editor.ends.size(), 2u);
}

struct KnobTest : ::testing::Test {
    OffscreenFrame f;
    CAnimKnob* knob = nullptr;
    void SetUp() override {
        CBitmap* strip = new CBitmap(kStrip11);
        knob = new CAnimKnob(CRect(30, 30, 40, 40), &f.listener, 5, 11, 10, strip);
        strip->forget();
        knob->setDefaultValue(0.3f);
        f.frame->addView(knob);
    }
};

TEST_F(KnobTest, LinearDragFollowsVerticalAndHalfHorizontalMovement) {
    f.editor.knobMode = kLinearMode;
    knob->setValue(0.2f);
    f.down(35, 35);
    EXPECT_TRUE(f.listener.calls.empty());  // no movement yet, no change
    f.move(35, -15);                        // 50 px up: a quarter of 200 px
    EXPECT_NEAR(knob->getValue(), 0.45f, 1e-6);
    f.move(75, -15);                        // plus 40 px right count as 20
    EXPECT_NEAR(knob->getValue(), 0.55f, 1e-6);
    f.move(35, -500);                       // far beyond the top stays at the maximum
    EXPECT_EQ(knob->getValue(), 1.0f);
    f.up(35, -500);
    EXPECT_EQ(f.editor.begins, std::vector<std::int32_t>{5});
    EXPECT_EQ(f.editor.ends, std::vector<std::int32_t>{5});
    EXPECT_EQ(f.listener.calls.size(), 3u);
    f.frame->idle();
    EXPECT_EQ(stripIndexAt(f.frame, 35, 35), 10);

    // With Shift the same movement is ten times finer.
    knob->setValue(0.5f);
    f.down(35, 35, kLButton | kShift);
    f.move(35, -65, kLButton | kShift);
    EXPECT_NEAR(knob->getValue(), 0.55f, 1e-6);
    f.up(35, -65);
    f.frame->idle();
    EXPECT_EQ(stripIndexAt(f.frame, 35, 35), 6);
}

TEST_F(KnobTest, CtrlClickReturnsToTheDefaultInOneGesture) {
    knob->setValue(0.9f);
    EXPECT_EQ(f.down(35, 35, kLButton | kControl), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_EQ(knob->getValue(), 0.3f);
    ASSERT_EQ(f.listener.calls.size(), 1u);
    EXPECT_EQ(f.editor.begins.size(), 1u);
    EXPECT_EQ(f.editor.ends.size(), 1u);
    f.move(35, 0);  // nothing follows the press
    EXPECT_EQ(knob->getValue(), 0.3f);
}

TEST_F(KnobTest, KnobGeometryMapsAnglesAndSnapsTheDeadZoneToTheNearerEnd) {
    // 10 x 10 knob, centre (5, 5); points are relative to its top-left corner.
    EXPECT_NEAR(knob->valueFromPoint(CPoint(0, 10)), 0.0f, 1e-5);   // lower left, 225 degrees
    EXPECT_NEAR(knob->valueFromPoint(CPoint(0, 5)), 1.0f / 6, 1e-5);  // left
    EXPECT_NEAR(knob->valueFromPoint(CPoint(5, 0)), 0.5f, 1e-5);     // top
    EXPECT_NEAR(knob->valueFromPoint(CPoint(10, 10)), 1.0f, 1e-5);   // lower right
    EXPECT_EQ(knob->valueFromPoint(CPoint(4.5, 10)), 0.0f);          // just left of straight down
    EXPECT_EQ(knob->valueFromPoint(CPoint(5.5, 10)), 1.0f);          // just right of it

    f.editor.knobMode = kCircularMode;
    f.down(35, 30);  // frame coordinates: the top of the knob
    EXPECT_NEAR(knob->getValue(), 0.5f, 1e-5);
    f.move(40, 35);
    EXPECT_NEAR(knob->getValue(), 5.0f / 6, 1e-5);
    f.up(40, 35);
}

TEST_F(KnobTest, WheelStepsAreOneHundredthOfTheRangeAndAThousandthWithShift) {
    knob->setValue(0.5f);
    EXPECT_TRUE(f.frame->dispatchWheel(CPoint(35, 35), 1.0f, CButtonState()));
    EXPECT_NEAR(knob->getValue(), 0.51f, 1e-6);
    f.frame->dispatchWheel(CPoint(35, 35), -2.0f, CButtonState(kShift));
    EXPECT_NEAR(knob->getValue(), 0.508f, 1e-6);
    EXPECT_EQ(f.listener.calls.size(), 2u);
    EXPECT_EQ(f.editor.begins.size(), 2u);
    EXPECT_EQ(f.editor.ends.size(), 2u);
    knob->setValue(1.0f);
    f.frame->dispatchWheel(CPoint(35, 35), 3.0f, CButtonState());
    EXPECT_EQ(knob->getValue(), 1.0f);
    EXPECT_EQ(f.listener.calls.size(), 2u);  // no change, no report
    EXPECT_FALSE(f.frame->dispatchWheel(CPoint(90, 70), 1.0f, CButtonState()));  // nothing there
}

TEST(VerticalSwitch, ClickAndDragSelectPositionsAndTheMatchingImage) {
    OffscreenFrame f;
    CBitmap* strip = new CBitmap(kStrip3);
    auto* sw = new CVerticalSwitch(CRect(70, 0, 80, 30), &f.listener, 23, 3, 10, 3, strip);
    strip->forget();
    f.frame->addView(sw);
    f.down(75, 25);
    EXPECT_EQ(sw->getValue(), 1.0f);
    f.move(75, 12);
    EXPECT_EQ(sw->getValue(), 0.5f);
    f.move(75, 13);  // same position: no new report
    f.up(75, 13);
    ASSERT_EQ(f.listener.calls.size(), 2u);
    EXPECT_EQ(f.editor.begins, std::vector<std::int32_t>{23});
    EXPECT_EQ(f.editor.ends, std::vector<std::int32_t>{23});
    f.frame->idle();
    EXPECT_EQ(stripIndexAt(f.frame, 75, 5), 1);
}

}  // namespace
}  // namespace tktest

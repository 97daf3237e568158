// The custom controls driven with synthetic events through an offscreen frame: values, listener
// calls, edit gestures and the image each one draws.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "gui/controls.h"
#include "support.h"

namespace guitest {
namespace {

using Ints = std::vector<std::int32_t>;

// --- Preset-bar buttons --------------------------------------------------------------------

TEST(PSKickButton, ShowsRestHoverAndPressedAndDeliversThePressAtOnce) {
    OffscreenFrame f;
    CBitmap* strip = new CBitmap(kStrip3);
    auto* button = f.add(new CPSKickButton(CRect(10, 10, 20, 20), &f.listener, 5, 10, strip, CPoint(), false));
    strip->forget();
    EXPECT_EQ(f.imageAt(15, 15), 0);

    f.move(15, 15, 0);  // mouse over, no button
    EXPECT_EQ(f.imageAt(15, 15), 1);
    EXPECT_EQ(f.down(15, 15), kMouseEventHandled);
    EXPECT_EQ(f.imageAt(15, 15), 2);
    ASSERT_EQ(f.listener.calls.size(), 1u);
    EXPECT_EQ(f.listener.calls[0].value, 1.0f);

    f.up(15, 15);
    EXPECT_EQ(button->getValue(), 0.0f);
    EXPECT_EQ(f.imageAt(15, 15), 1);             // still under the mouse
    EXPECT_EQ(f.listener.calls.size(), 1u);      // the release is silent
    EXPECT_TRUE(f.editor.begins.empty());        // preset actions are no parameter edits
    f.move(150, 150, 0);
    EXPECT_EQ(f.imageAt(15, 15), 0);
}

TEST(PSKickButton, DoubleClickButtonIgnoresSingleClicksAndCtrlDeliversHalf) {
    OffscreenFrame f;
    auto* button = f.add(new CPSKickButton(CRect(10, 10, 20, 20), &f.listener, 5, 10, f.bitmap(kStrip3), CPoint(), true));

    EXPECT_EQ(f.down(15, 15), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_EQ(f.down(15, 15, kLButton | kControl), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_EQ(f.down(15, 15, kRButton | kDoubleClick), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_TRUE(f.listener.calls.empty());
    EXPECT_FALSE(button->isPressed());

    f.down(15, 15, kLButton | kDoubleClick);
    f.up(15, 15);
    f.down(15, 15, kLButton | kDoubleClick | kControl);
    EXPECT_EQ(f.imageAt(15, 15), 2);
    f.up(15, 15);
    ASSERT_EQ(f.listener.calls.size(), 2u);
    EXPECT_EQ(f.listener.calls[0].value, 1.0f);
    EXPECT_EQ(f.listener.calls[1].value, 0.5f);
    EXPECT_EQ(button->getValue(), 0.0f);
}

// A listener that notes the button's value and image while it runs the action.
struct ActionListener : CControlListener {
    std::vector<float> values;
    void valueChanged(CControl* c) override { values.push_back(c->getValue()); }
};

TEST(SaveLoadButton, RightButtonAloneDeliversHalfAndTheValueIsZeroAfterTheAction) {
    OffscreenFrame f;
    ActionListener action;
    auto* button = f.add(new CSaveLoadButton(CRect(10, 10, 20, 20), &action, 9, 10, f.bitmap(kStrip3), CPoint()));

    EXPECT_EQ(f.down(15, 15, kRButton), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_EQ(button->getValue(), 0.0f);
    f.down(15, 15, kRButton | kLButton);
    f.down(15, 15, kLButton);
    f.down(15, 15, kRButton | kShift);  // a modifier does not turn a right click into a left one
    EXPECT_EQ(f.down(15, 15, kMButton), kMouseEventNotHandled);
    EXPECT_EQ(action.values, (std::vector<float>{0.5f, 1.0f, 1.0f, 0.5f}));
    EXPECT_EQ(f.imageAt(15, 15), 1);  // hovered, not active

    VstKeyCode key{'s', 0, 0};
    EXPECT_EQ(button->onKeyDown(key), kKeyNotHandled);

    auto* orphan = f.add(new CSaveLoadButton(CRect(30, 10, 40, 20), nullptr, 9, 10, f.bitmap(kStrip3), CPoint()));
    EXPECT_EQ(f.down(35, 15), kMouseEventNotHandled);
    EXPECT_EQ(orphan->getValue(), 0.0f);
}

TEST(PSRockerSwitch, ShowsHoverSidesDeliversEachPressOnceAndReturnsToHoverOnRelease) {
    OffscreenFrame f;
    auto* rocker = f.add(new CPSRockerSwitch(CRect(40, 10, 60, 20), &f.listener, 60, 10, f.bitmap(kStrip5), CPoint()));
    EXPECT_EQ(f.imageAt(50, 15), 0);
    f.move(42, 15, 0);
    EXPECT_EQ(f.imageAt(50, 15), 1);
    f.move(55, 15, 0);
    EXPECT_EQ(f.imageAt(50, 15), 2);

    EXPECT_EQ(f.down(55, 15), kMouseEventHandled);
    EXPECT_EQ(f.imageAt(50, 15), 4);
    f.move(42, 15);  // held across the centre: nothing changes
    EXPECT_EQ(f.imageAt(50, 15), 4);
    EXPECT_EQ(rocker->getHoverSide(), 1);
    f.up(42, 15);
    EXPECT_EQ(rocker->getValue(), 0.0f);

    f.move(55, 15, 0);
    EXPECT_EQ(f.imageAt(50, 15), 2);
    f.down(44, 15);
    EXPECT_EQ(f.imageAt(50, 15), 3);
    f.up(44, 15);
    ASSERT_EQ(f.listener.calls.size(), 2u);
    EXPECT_EQ(f.listener.calls[0].value, 1.0f);
    EXPECT_EQ(f.listener.calls[1].value, -1.0f);
    EXPECT_TRUE(f.editor.begins.empty());
    EXPECT_EQ(f.down(44, 15, kRButton), kMouseEventNotHandled);

    f.move(150, 150, 0);
    EXPECT_EQ(f.imageAt(50, 15), 0);
}

// --- Editor switches ------------------------------------------------------------------------

TEST(OrvOnOffButton, ToggleInsideOneGestureAndDrawTheMatchingHalf) {
    OffscreenFrame f;
    auto* button = f.add(new COrvOnOffButton(CRect(10, 10, 20, 20), &f.listener, 14, f.bitmap(kOnOff), 3));
    EXPECT_EQ(f.imageAt(15, 15), 0);
    EXPECT_EQ(f.down(15, 15), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_EQ(button->getValue(), 1.0f);
    EXPECT_EQ(f.imageAt(15, 15), 1);
    EXPECT_EQ(f.editor.begins, Ints{14});
    EXPECT_EQ(f.editor.ends, Ints{14});

    button->setValue(0.6f);  // rounds to on
    f.down(15, 15);
    EXPECT_EQ(button->getValue(), 0.0f);
    EXPECT_EQ(f.imageAt(15, 15), 0);
    button->setValue(0.4f);  // rounds to off
    f.down(15, 15);
    EXPECT_EQ(button->getValue(), 1.0f);
    EXPECT_EQ(f.listener.calls.size(), 3u);
    EXPECT_EQ(f.down(15, 15, kRButton), kMouseEventNotHandled);
    EXPECT_EQ(f.listener.calls.size(), 3u);

    EXPECT_EQ(button->getStyle(), 3);
    CView* copy = button->newCopy();
    EXPECT_TRUE(copy->isTypeOf("COrvOnOffButton"));
    EXPECT_EQ(static_cast<COrvOnOffButton*>(copy)->getStyle(), 3);
    copy->forget();
    EXPECT_TRUE(button->isTypeOf("CControl"));
    EXPECT_TRUE(button->isTypeOf("CBaseObject"));
    EXPECT_FALSE(button->isTypeOf("CKickButton"));
}

TEST(ViewContainerSwitch, InvisibleAreaTogglesWithoutGesture) {
    OffscreenFrame f;
    auto* area = f.add(new CViewContainerSwitch(CRect(10, 10, 60, 30), &f.listener, 56));
    EXPECT_EQ(f.imageAt(30, 20), 20);  // the frame background shows through
    f.down(30, 20);
    EXPECT_EQ(area->getValue(), 1.0f);
    f.down(30, 20);
    EXPECT_EQ(area->getValue(), 0.0f);
    area->setValue(0.25f);
    f.down(30, 20);
    EXPECT_EQ(area->getValue(), 0.0f);
    EXPECT_EQ(f.listener.calls.size(), 3u);
    EXPECT_TRUE(f.editor.begins.empty());
    EXPECT_EQ(f.imageAt(30, 20), 20);
    EXPECT_TRUE(area->isTypeOf("CViewContainerSwitch"));
}

// --- Knob -----------------------------------------------------------------------------------

struct KnobTest : ::testing::Test {
    OffscreenFrame f;
    CAnimKnob2* knob = nullptr;
    void SetUp() override {
        knob = f.add(new CAnimKnob2(CRect(100, 350, 120, 370), &f.listener, 7, 11, 20, f.bitmap(kKnob11)));
    }
};

TEST_F(KnobTest, LinearDragCoversTheRangeIn300PixelsOr1500WithShift) {
    f.down(110, 360);
    f.move(110, 210);
    EXPECT_NEAR(knob->getValue(), 0.5f, 1e-5);
    f.move(110, 60);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.0f);
    EXPECT_EQ(f.imageAt(110, 360), 10);
    f.move(110, 10);  // beyond the end: bounded
    EXPECT_EQ(knob->getValue(), 1.0f);
    f.up(110, 10);
    EXPECT_EQ(f.editor.begins, Ints{7});
    EXPECT_EQ(f.editor.ends, Ints{7});

    knob->setValue(0);
    f.down(110, 360, kLButton | kShift);
    f.move(110, 60, kLButton | kShift);
    EXPECT_NEAR(knob->getValue(), 0.2f, 1e-5);
    f.up(110, 60);

    knob->setValue(0);
    f.down(101, 360);
    f.move(191, 360);  // 90 pixels right count as 45
    EXPECT_NEAR(knob->getValue(), 0.15f, 1e-5);
    f.move(191, 330);  // and 30 up count fully
    EXPECT_NEAR(knob->getValue(), 0.25f, 1e-5);
    f.up(191, 330);
}

TEST_F(KnobTest, ShiftPressedOrReleasedMidDragKeepsTheValueContinuous) {
    knob->setValue(0.2f);
    f.down(110, 360);
    f.move(110, 260);
    const float before = knob->getValue();
    EXPECT_NEAR(before, 0.2f + 100.0f / 300, 1e-5);
    f.move(110, 260, kLButton | kShift);  // Shift pressed, mouse still
    EXPECT_NEAR(knob->getValue(), before, 1e-6);
    f.move(110, 110, kLButton | kShift);  // 150 fine pixels
    EXPECT_NEAR(knob->getValue(), before + 0.1f, 1e-5);
    const float fine = knob->getValue();
    f.move(110, 110);  // Shift released
    EXPECT_NEAR(knob->getValue(), fine, 1e-6);
    f.move(110, 80);
    EXPECT_NEAR(knob->getValue(), fine + 0.1f, 1e-5);
}

TEST_F(KnobTest, AltSwapsLinearAndCircularAndCircularDragSticksAtTheEnd) {
    f.editor.knobMode = kCircularMode;
    // Centre (110, 360). Just right of the dead zone below the centre: near the maximum.
    f.down(119, 368);
    EXPECT_FALSE(knob->isLinearDrag());
    EXPECT_GT(knob->getValue(), 0.98f);
    f.move(100, 370);  // across the gap to the minimum end: refused
    EXPECT_EQ(knob->getValue(), 1.0f);
    f.move(101, 370);
    EXPECT_EQ(knob->getValue(), 1.0f);
    f.move(120, 350);  // back round to the upper right: follows again
    EXPECT_NEAR(knob->getValue(), 2.0f / 3, 1e-4);
    f.up(120, 350);

    f.down(100, 369);  // near the minimum; across to the maximum end sticks at 0
    EXPECT_LT(knob->getValue(), 0.02f);
    f.move(120, 370);
    EXPECT_EQ(knob->getValue(), 0.0f);
    f.up(120, 370);

    knob->setValue(0);
    f.down(110, 360, kLButton | kAlt);  // Alt in circular mode: linear
    EXPECT_TRUE(knob->isLinearDrag());
    f.move(110, 300, kLButton | kAlt);
    EXPECT_NEAR(knob->getValue(), 0.2f, 1e-5);
    f.up(110, 300);

    f.editor.knobMode = kLinearMode;
    f.down(110, 360, kLButton | kAlt);
    EXPECT_FALSE(knob->isLinearDrag());
    f.up(110, 360);
}

TEST_F(KnobTest, WheelStepsAndCtrlReset) {
    knob->setValue(0.5f);
    EXPECT_TRUE(f.wheel(110, 360, 1.0f));
    EXPECT_NEAR(knob->getValue(), 0.51f, 1e-6);
    f.wheel(110, 360, -1.0f, kShift);
    EXPECT_NEAR(knob->getValue(), 0.509f, 1e-6);
    EXPECT_EQ(f.editor.begins, (Ints{7, 7}));
    EXPECT_EQ(f.editor.ends, (Ints{7, 7}));
    knob->setValue(1.0f);
    EXPECT_TRUE(f.wheel(110, 360, 3.0f));  // at the end: no change, no report
    EXPECT_EQ(f.listener.calls.size(), 2u);

    knob->setDefaultValue(0.25f);
    EXPECT_EQ(f.down(110, 360, kLButton | kControl), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_EQ(knob->getValue(), 0.25f);
    EXPECT_EQ(f.listener.calls.size(), 3u);
    EXPECT_EQ(f.editor.ends.size(), 3u);
    EXPECT_FALSE(knob->isEditing());
    f.down(110, 360, kLButton | kControl);  // already there: a gesture, no change reported
    EXPECT_EQ(f.listener.calls.size(), 3u);
    EXPECT_EQ(f.editor.begins.size(), 4u);
    EXPECT_EQ(f.editor.ends.size(), 4u);
}

TEST_F(KnobTest, ADragStartedElsewhereDoesNotMoveTheKnob) {
    f.down(110, 360);
    f.move(110, 300);
    f.up(110, 300);
    const float after = knob->getValue();
    f.down(50, 50);  // on the background
    f.move(110, 355);
    f.move(110, 200);
    EXPECT_EQ(knob->getValue(), after);
    EXPECT_EQ(f.listener.calls.size(), 1u);
    EXPECT_EQ(f.editor.begins.size(), 1u);
}

TEST(AnimKnob2, WithoutListenerIgnoresTheMouse) {
    OffscreenFrame f;
    auto* knob = f.add(new CAnimKnob2(CRect(10, 10, 30, 30), nullptr, 7, 11, 20, f.bitmap(kKnob11)));
    EXPECT_EQ(f.down(20, 20), kMouseEventNotHandled);
    EXPECT_TRUE(f.editor.begins.empty());
    EXPECT_EQ(knob->getValue(), 0.0f);
}

// --- Displays -------------------------------------------------------------------------------

TEST(Label2, KeepsItsOwnCutCopyAndDrawsBlackTextOnWhatIsBehind) {
    OffscreenFrame f;
    std::string text = "v.1.7.0";
    auto* label = f.add(new CLabel2(CRect(10, 10, 60, 22), text.c_str()));
    text[0] = 'X';
    EXPECT_STREQ(label->getText(), "v.1.7.0");
    EXPECT_TRUE(label->getTransparency());
    int inked = 0, background = 0, darkest = 255 * 3;
    for (int y = 10; y < 22; ++y)
        for (int x = 10; x < 60; ++x) {
            const CColor c = pixelAt(f.frame, x, y);
            if (stripIndexAt(f.frame, x, y) == 20)
                ++background;
            else
                ++inked;
            darkest = std::min(darkest, c.red + c.green + c.blue);
        }
    EXPECT_GT(inked, 20);
    EXPECT_LT(darkest, 120);
    EXPECT_GT(background, 300);

    const std::string longText(400, 'a');
    auto* longLabel = new CLabel2(CRect(0, 0, 10, 10), longText.c_str());
    EXPECT_EQ(std::string(longLabel->getText()).size(), 255u);
    longLabel->forget();
}

TEST(BackDisplay, IsADisplayThatCopiesAsItself) {
    CBackDisplay display(CRect(0, 0, 40, 10));
    EXPECT_TRUE(display.isTypeOf("CParamDisplay"));
    CView* copy = display.newCopy();
    EXPECT_NE(dynamic_cast<CBackDisplay*>(copy), nullptr);
    copy->forget();
}

}  // namespace
}  // namespace guitest

// The custom controls driven with synthetic events through an offscreen frame (values, listener
// calls, edit gestures, drawn image), and the editor base that hosts them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "gui/controls.h"
#include "gui/editor_base.h"
#include "support.h"

namespace tktest {
namespace {

using Ints = std::vector<std::int32_t>;

// A frame that also owns the bitmaps handed to its controls.
struct Frame : OffscreenFrame {
    std::vector<CBitmap*> bitmaps;
    ~Frame() { for (CBitmap* b : bitmaps) b->forget(); }
    CBitmap* bitmap(int id) { bitmaps.push_back(new CBitmap(id)); return bitmaps.back(); }
    template <typename V> V* add(V* v) { frame->addView(v); return v; }
    int imageAt(int x, int y) { frame->idle(); return stripIndexAt(frame, x, y); }
    std::vector<float> values() const {
        std::vector<float> v;
        for (const auto& c : listener.calls) v.push_back(c.value);
        return v;
    }
};

TEST(PresetBarButtons, KickButtonShowsHoverAndPressAndDoubleClickVariantNeedsDoubleClicks) {
    Frame f;
    auto* kick = f.add(new CPSKickButton(CRect(10, 10, 20, 20), &f.listener, 5, 10, f.bitmap(kStrip3), CPoint(), false));
    auto* twice = f.add(new CPSKickButton(CRect(30, 10, 40, 20), &f.listener, 6, 10, f.bitmap(kStrip3), CPoint(), true));
    EXPECT_EQ(f.imageAt(15, 15), 0);
    f.move(15, 15, 0);
    EXPECT_EQ(f.imageAt(15, 15), 1);
    EXPECT_EQ(f.down(15, 15), kMouseEventHandled);
    EXPECT_EQ(f.imageAt(15, 15), 2);
    f.up(15, 15);
    EXPECT_EQ(f.imageAt(15, 15), 1);  // released, still under the mouse
    EXPECT_EQ(kick->getValue(), 0.0f);

    // Single clicks, right double-clicks and Ctrl alone are ignored; Ctrl+double-click gives 0.5.
    for (std::int32_t b : Ints{kLButton, kLButton | kControl, kRButton | kDoubleClick})
        EXPECT_EQ(f.down(35, 15, b), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    f.down(35, 15, kLButton | kDoubleClick);
    f.up(35, 15);
    f.down(35, 15, kLButton | kDoubleClick | kControl);
    EXPECT_TRUE(twice->isPressed());
    f.up(35, 15);
    EXPECT_EQ(f.values(), (std::vector<float>{1.0f, 1.0f, 0.5f}));  // releases are silent
    EXPECT_TRUE(f.editor.begins.empty());                            // preset actions, not edits
}

TEST(PresetBarButtons, SaveLoadButtonDeliversHalfForTheRightButtonAndIsZeroAfterwards) {
    Frame f;
    auto* button = f.add(new CSaveLoadButton(CRect(10, 10, 20, 20), &f.listener, 9, 10, f.bitmap(kStrip3), CPoint()));
    for (std::int32_t b : Ints{kRButton, kRButton | kLButton, kLButton, kRButton | kShift})
        EXPECT_EQ(f.down(15, 15, b), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_EQ(f.down(15, 15, kMButton), kMouseEventNotHandled);
    EXPECT_EQ(f.values(), (std::vector<float>{0.5f, 1.0f, 1.0f, 0.5f}));  // as seen during the action
    EXPECT_EQ(button->getValue(), 0.0f);
    EXPECT_EQ(f.imageAt(15, 15), 1);
    button->setListener(nullptr);
    EXPECT_EQ(f.down(15, 15), kMouseEventNotHandled);
}

TEST(PresetBarButtons, RockerShowsHoverSidesAndDeliversEachPressOnce) {
    Frame f;
    auto* rocker = f.add(new CPSRockerSwitch(CRect(40, 10, 50, 20), &f.listener, 60, 10, f.bitmap(kStrip11), CPoint()));
    f.move(42, 15, 0);
    EXPECT_EQ(f.imageAt(45, 15), 1);
    f.move(47, 15, 0);
    EXPECT_EQ(f.imageAt(45, 15), 2);
    f.down(47, 15);
    f.move(41, 15);  // held across the centre: nothing changes
    EXPECT_EQ(f.imageAt(45, 15), 4);
    f.up(41, 15);
    f.move(47, 15, 0);
    EXPECT_EQ(f.imageAt(45, 15), 2);
    f.down(42, 15);
    EXPECT_EQ(f.imageAt(45, 15), 3);
    f.up(42, 15);
    EXPECT_EQ(rocker->getValue(), 0.0f);
    EXPECT_EQ(f.values(), (std::vector<float>{1.0f, -1.0f}));
    f.move(90, 70, 0);
    EXPECT_EQ(f.imageAt(45, 15), 0);
}

TEST(EditorSwitches, OnOffTogglesByRoundingInOneGestureAndPageSwitchIsSilent) {
    Frame f;
    auto* button = f.add(new COrvOnOffButton(CRect(10, 10, 20, 20), &f.listener, 14, f.bitmap(kStrip3), 3));
    auto* page = f.add(new CViewContainerSwitch(CRect(30, 10, 60, 30), &f.listener, 56));
    EXPECT_EQ(f.down(15, 15), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_EQ(f.imageAt(15, 10), 1);  // lower half of the 30-pixel bitmap starts at image 1's top
    button->setValue(0.6f);
    f.down(15, 15);
    button->setValue(0.4f);
    f.down(15, 15);
    EXPECT_EQ(f.down(15, 15, kRButton), kMouseEventNotHandled);
    EXPECT_EQ(f.values(), (std::vector<float>{1.0f, 0.0f, 1.0f}));
    EXPECT_EQ(f.editor.begins, (Ints{14, 14, 14}));
    EXPECT_EQ(f.editor.ends, (Ints{14, 14, 14}));
    CView* copy = button->newCopy();
    EXPECT_TRUE(copy->isTypeOf("COrvOnOffButton") && copy->isTypeOf("CBaseObject"));
    EXPECT_EQ(static_cast<COrvOnOffButton*>(copy)->getStyle(), 3);
    copy->forget();

    f.listener.calls.clear();
    f.down(40, 20);
    page->setValue(0.25f);
    f.down(40, 20);
    EXPECT_EQ(f.values(), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(f.editor.begins.size(), 3u);
    EXPECT_TRUE(page->isTypeOf("CViewContainerSwitch"));
}

struct Knob : ::testing::Test {
    Frame f;
    CAnimKnob2* knob = f.add(new CAnimKnob2(CRect(40, 60, 50, 70), &f.listener, 7, 11, 10, f.bitmap(kStrip11)));
    void drag(std::initializer_list<CPoint> path, std::int32_t buttons = kLButton) {
        for (const CPoint& p : path) f.move(p.x, p.y, buttons);
    }
};

TEST_F(Knob, LinearDragTakes300PixelsOr1500WithShiftHorizontalCountsHalf) {
    f.down(45, 65);
    f.move(45, -85);
    EXPECT_NEAR(knob->getValue(), 0.5f, 1e-5);
    f.move(45, -300);
    EXPECT_EQ(knob->getValue(), 1.0f);
    EXPECT_EQ(f.imageAt(45, 65), 10);
    f.up(45, -300);
    knob->setValue(0);
    f.down(45, 65, kLButton | kShift);
    f.move(45, -235, kLButton | kShift);
    EXPECT_NEAR(knob->getValue(), 0.2f, 1e-5);
    f.up(45, -235);
    knob->setValue(0);
    f.down(45, 65);
    f.move(135, 65);
    EXPECT_NEAR(knob->getValue(), 0.15f, 1e-5);
    f.up(135, 65);
    EXPECT_EQ(f.editor.begins, (Ints{7, 7, 7}));
    EXPECT_EQ(f.editor.ends, (Ints{7, 7, 7}));
}

TEST_F(Knob, ShiftChangedMidDragKeepsTheValueContinuous) {
    knob->setValue(0.2f);
    f.down(45, 65);
    f.move(45, -35);
    const float coarse = knob->getValue();
    f.move(45, -35, kLButton | kShift);
    EXPECT_NEAR(knob->getValue(), coarse, 1e-6);
    f.move(45, -185, kLButton | kShift);
    EXPECT_NEAR(knob->getValue(), coarse + 0.1f, 1e-5);
    f.move(45, -185);
    f.move(45, -215);
    EXPECT_NEAR(knob->getValue(), coarse + 0.2f, 1e-5);
}

TEST_F(Knob, CircularDragSticksAtTheEndItCameFromAndAltSwapsTheModes) {
    f.editor.knobMode = kCircularMode;
    f.down(49, 69);  // just right of the dead zone below the centre: the maximum
    EXPECT_EQ(knob->getValue(), 1.0f);
    drag({CPoint(40, 70), CPoint(41, 70)});  // across the gap to the minimum end: refused
    EXPECT_EQ(knob->getValue(), 1.0f);
    f.move(50, 60);  // round to the upper right: follows again
    EXPECT_NEAR(knob->getValue(), 2.0f / 3, 1e-4);
    f.up(50, 60);
    f.down(40, 69);
    EXPECT_LT(knob->getValue(), 0.03f);
    f.move(50, 70);
    EXPECT_EQ(knob->getValue(), 0.0f);
    f.up(50, 70);

    f.down(45, 65, kLButton | kAlt);
    f.move(45, 5, kLButton | kAlt);
    EXPECT_NEAR(knob->getValue(), 0.2f, 1e-5);
    f.up(45, 5);
    f.editor.knobMode = kLinearMode;
    f.down(49, 69, kLButton | kAlt);
    EXPECT_EQ(knob->getValue(), 1.0f);
}

TEST_F(Knob, WheelStepsCtrlResetAndNoMovementFromADragStartedElsewhere) {
    knob->setValue(0.5f);
    f.frame->dispatchWheel(CPoint(45, 65), 1.0f, CButtonState());
    EXPECT_NEAR(knob->getValue(), 0.51f, 1e-6);
    f.frame->dispatchWheel(CPoint(45, 65), -1.0f, CButtonState(kShift));
    EXPECT_NEAR(knob->getValue(), 0.509f, 1e-6);
    knob->setValue(1.0f);
    f.frame->dispatchWheel(CPoint(45, 65), 3.0f, CButtonState());  // at the end: not reported
    EXPECT_EQ(f.listener.calls.size(), 2u);

    knob->setDefaultValue(0.25f);
    EXPECT_EQ(f.down(45, 65, kLButton | kControl), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    f.down(45, 65, kLButton | kControl);  // already there: a gesture, no change
    ASSERT_EQ(f.listener.calls.size(), 3u);
    EXPECT_EQ(f.listener.calls.back().value, 0.25f);
    EXPECT_EQ(f.editor.begins.size(), 4u);
    EXPECT_EQ(f.editor.ends.size(), 4u);

    f.down(5, 5);  // pressed on the background and dragged over the knob
    drag({CPoint(45, 64), CPoint(45, 10)});
    EXPECT_EQ(knob->getValue(), 0.25f);
    knob->setListener(nullptr);
    EXPECT_EQ(f.down(45, 65), kMouseEventNotHandled);
}

TEST(Displays, LabelKeepsItsOwnCutCopyAndDrawsDarkTextTransparently) {
    Frame f;
    f.frame->setBackground(f.bitmap(kBackground));
    std::string text = "v.1.7.0";
    auto* label = f.add(new CLabel2(CRect(10, 10, 60, 22), text.c_str()));
    text[0] = 'X';
    EXPECT_STREQ(label->getText(), "v.1.7.0");
    f.frame->idle();
    int darkest = 765;
    for (int y = 10; y < 22; ++y)
        for (int x = 10; x < 60; ++x) {
            const CColor c = pixelAt(f.frame, x, y);
            darkest = std::min(darkest, c.red + c.green + c.blue);
        }
    EXPECT_LT(darkest, 120);
    EXPECT_EQ(stripIndexAt(f.frame, 58, 20), 20);  // the background shows around the text
    EXPECT_TRUE(label->getTransparency());
    auto* longLabel = new CLabel2(CRect(0, 0, 10, 10), std::string(400, 'a').c_str());
    EXPECT_EQ(std::string(longLabel->getText()).size(), 255u);
    longLabel->forget();
}

TEST(EditorBase, RectangleAndFrameComeFromTheBackgroundBitmap) {
    CBitmap background(kBackground);
    CFrame* frame = createEditorFrame(nullptr, nullptr, &background);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->getViewSize(), CRect(0, 0, 100, 80));
    EXPECT_EQ(frame->getBackground(), &background);
    frame->forget();
    CBitmap unreadable(kUnreadable);
    EXPECT_EQ(createEditorFrame(nullptr, nullptr, &unreadable), nullptr);
    const ERect r = editorRectFor(450, 460);
    EXPECT_TRUE(r.top == 0 && r.left == 0 && r.bottom == 460 && r.right == 450);
    EXPECT_EQ(editorRectFor(70000, -5).right, 32767);  // what the host's 16-bit fields hold
    EXPECT_EQ(editorRectFor(70000, -5).bottom, 0);
}

}  // namespace
}  // namespace tktest

// Frame behaviour: redraw of dirty views on idle, nested coordinates, entered/exited, views
// removed while their own handler runs, bitmaps and PNG output.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support.h"

namespace tktest {
namespace {

TEST(Frame, AValueChangeIsRedrawnOnTheNextIdleOnly) {
    OffscreenFrame f;
    CBitmap* strip = new CBitmap(kStrip11);
    auto* knob = new CAnimKnob(CRect(0, 0, 10, 10), nullptr, 1, 11, 10, strip);
    strip->forget();
    f.frame->addView(knob);
    f.frame->idle();
    EXPECT_EQ(stripIndexAt(f.frame, 5, 5), 0);
    knob->setValue(0.7f);
    EXPECT_TRUE(knob->isDirty());
    EXPECT_EQ(stripIndexAt(f.frame, 5, 5), 0);
    f.frame->idle();
    EXPECT_EQ(stripIndexAt(f.frame, 5, 5), 7);
    EXPECT_FALSE(knob->isDirty());
    EXPECT_FLOAT_EQ(knob->getOldValue(), 0.0f);
}

TEST(Frame, ContainersOffsetTheirChildrenAndBackgroundsShowThroughTransparentViews) {
    OffscreenFrame f;
    CBitmap* back = new CBitmap(kBackground);
    f.frame->setBackground(back);
    back->forget();
    auto* page = new CViewContainer(CRect(20, 10, 80, 70));
    page->setTransparency(true);
    CBitmap* strip = new CBitmap(kStrip3);
    auto* button = new CKickButton(CRect(5, 5, 15, 15), &f.listener, 9, 10, strip);
    strip->forget();
    page->addView(button);
    f.frame->addView(page);
    f.frame->idle();
    EXPECT_EQ(stripIndexAt(f.frame, 2, 2), 20);    // frame background
    EXPECT_EQ(stripIndexAt(f.frame, 22, 12), 20);  // through the transparent page
    EXPECT_EQ(stripIndexAt(f.frame, 27, 17), 0);   // the button at 20 + 5, 10 + 5
    EXPECT_EQ(f.frame->getViewAt(CPoint(27, 17), true), button);
    EXPECT_EQ(f.frame->getViewAt(CPoint(27, 17), false), page);
    EXPECT_EQ(f.frame->getViewAt(CPoint(22, 12), true), page);
    f.down(27, 17);
    EXPECT_EQ(button->getValue(), 1.0f);
    f.up(27, 17);
    EXPECT_EQ(f.down(22, 12), kMouseEventNotHandled);
}

struct HoverView : CView {
    using CView::CView;
    std::string log;
    CMouseEventResult onMouseEntered(CPoint&, const CButtonState&) override { log += "E"; return kMouseEventHandled; }
    CMouseEventResult onMouseExited(CPoint&, const CButtonState&) override { log += "X"; return kMouseEventHandled; }
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState&) override {
        log += "M" + std::to_string(static_cast<int>(where.x));
        return kMouseEventHandled;
    }
};

TEST(Frame, EnteredMovedAndExitedFollowTheMouse) {
    OffscreenFrame f;
    auto* a = new HoverView(CRect(0, 0, 50, 50));
    auto* b = new HoverView(CRect(50, 0, 100, 50));
    f.frame->addView(a);
    f.frame->addView(b);
    f.move(10, 10, 0);
    f.move(20, 10, 0);
    f.move(60, 10, 0);
    f.frame->dispatchMouseExited();
    EXPECT_EQ(a->log, "EM10M20X");
    EXPECT_EQ(b->log, "EM60X");
    CPoint where;
    EXPECT_FALSE(f.frame->getCurrentMouseLocation(where));
    f.move(30, 30, 0);
    EXPECT_TRUE(f.frame->getCurrentMouseLocation(where));
    EXPECT_EQ(where, CPoint(30, 30));
    EXPECT_EQ(f.frame->getMouseOverView(), a);
}

// A listener that swaps pages the way a page switch does, from inside the click.
struct PageSwapper : CControlListener {
    CFrame* frame = nullptr;
    CViewContainer* shown = nullptr;
    CViewContainer* hidden = nullptr;
    void valueChanged(CControl*) override {
        frame->removeView(shown, false);
        frame->addView(hidden);
        std::swap(shown, hidden);
    }
};

TEST(Frame, APageTakenOutByItsOwnControlsClickStaysUsable) {
    OffscreenFrame f;
    PageSwapper swapper;
    auto* first = new CViewContainer(CRect(0, 0, 100, 80));
    auto* second = new CViewContainer(CRect(0, 0, 100, 80));
    first->addView(new CKickButton(CRect(0, 0, 10, 10), &swapper, 56, 10, nullptr));
    second->addView(new CKickButton(CRect(0, 0, 10, 10), &swapper, 57, 10, nullptr));
    f.frame->addView(first);
    swapper.frame = f.frame;
    swapper.shown = first;
    swapper.hidden = second;
    f.down(5, 5);
    EXPECT_TRUE(f.frame->isChild(second));
    EXPECT_FALSE(first->isAttached());
    f.move(6, 6);
    f.up(6, 6);  // the release no longer reaches the removed page
    f.frame->idle();
    swapper.valueChanged(nullptr);
    EXPECT_EQ(swapper.shown, first);
    EXPECT_TRUE(f.frame->isChild(first));
    swapper.hidden->forget();
}

// A button that deletes itself from its container during its own press.
struct SelfRemovingButton : CKickButton {
    using CKickButton::CKickButton;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override {
        getParentView()->removeView(this, true);
        // Still alive until the event is over.
        return CKickButton::onMouseDown(where, buttons);
    }
};

TEST(Frame, AViewForgottenDuringItsOwnEventIsReleasedAfterIt) {
    OffscreenFrame f;
    auto* button = new SelfRemovingButton(CRect(0, 0, 10, 10), &f.listener, 4, 10, nullptr);
    f.frame->addView(button);
    f.down(5, 5);
    EXPECT_EQ(f.frame->getNbViews(), 0);
    EXPECT_EQ(f.listener.calls.size(), 1u);
    // The unfinished gesture was closed when the button left the frame... before it began;
    // the button began one after removal, which no longer reaches the editor.
    EXPECT_EQ(f.editor.begins.size(), f.editor.ends.size());
    f.up(5, 5);
}

TEST(Bitmap, LoadsByResourceNumberAndReportsMissingOrBrokenResources) {
    CBitmap strip(kStrip11);
    EXPECT_TRUE(strip.isLoaded());
    EXPECT_EQ(strip.getWidth(), 10);
    EXPECT_EQ(strip.getHeight(), 110);
    CBitmap missing(99999);
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.getWidth(), 0);
    CBitmap broken(kUnreadable);
    EXPECT_FALSE(broken.isLoaded());
    const unsigned char truncated[] = {0x89, 'P', 'N', 'G'};
    EXPECT_FALSE(CBitmap(truncated, sizeof truncated).isLoaded());

    // Drawing an unloaded bitmap draws nothing and does not fail.
    OffscreenFrame f;
    auto* view = new CView(CRect(0, 0, 10, 10));
    auto* nothing = new CBitmap(99999);
    view->setBackground(nothing);
    nothing->forget();
    f.frame->addView(view);
    f.frame->idle();
    EXPECT_EQ(pixelAt(f.frame, 5, 5), kBlackCColor);
}

TEST(Frame, WritesItsImageAsPng) {
    OffscreenFrame f;
    CBitmap* back = new CBitmap(kBackground);
    f.frame->setBackground(back);
    back->forget();
    const std::string path = ::testing::TempDir() + "toolkit_frame.png";
    ASSERT_TRUE(f.frame->writePng(path.c_str()));
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), 100);
    EXPECT_EQ(cairo_image_surface_get_height(png), 80);
    cairo_surface_destroy(png);
    std::remove(path.c_str());
    EXPECT_FALSE(f.frame->writePng("/nonexistent-folder/x.png"));
}

}  // namespace
}  // namespace tktest

// A frame drawn at a scale: its surface, where bitmaps drawn for the scale land, and where
// events from the window system arrive in the views' coordinates.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "support.h"

namespace tktest {
namespace {

// An offscreen 100 x 80 frame at `scale` with a knob over kStrip3 at (10, 10, 20, 20).
struct ScaledFrame {
    RecordingEditor editor;
    RecordingListener listener;
    CFrame* frame;
    CAnimKnob* knob;
    explicit ScaledFrame(double scale, int resource = kStrip3)
        : frame(new CFrame(CRect(0, 0, 100, 80), nullptr, &editor, scale)) {
        auto* strip = new CBitmap(resource, scale);
        knob = new CAnimKnob(CRect(10, 10, 20, 20), &listener, 3, 3, 10, strip);
        strip->forget();
        frame->addView(knob);
    }
    ~ScaledFrame() { frame->forget(); }
};

TEST(FrameScale, TheSurfaceAndTheImageAreScaledAndAStripImageFillsWholeDevicePixels) {
    for (const double scale : {1.0, 1.25, 2.0}) {
        SCOPED_TRACE(scale);
        ScaledFrame f(scale);
        EXPECT_EQ(f.frame->getDeviceWidth(), static_cast<int>(std::ceil(100 * scale)));
        EXPECT_EQ(f.frame->getDeviceHeight(), static_cast<int>(std::ceil(80 * scale)));
        for (int k = 0; k < 3; ++k) {
            f.knob->setValue(k / 2.0f);
            f.frame->idle();
            // Image k covers exactly the device pixels of the knob's rectangle.
            const int first = static_cast<int>(std::round(10 * scale)), last = static_cast<int>(std::round(20 * scale)) - 1;
            for (const int x : {first, last})
                for (const int y : {first, last}) EXPECT_EQ(stripIndexAt(f.frame, x, y), k) << x << ", " << y;
            EXPECT_EQ(stripIndexAt(f.frame, first - 1, first), -1);
            EXPECT_EQ(stripIndexAt(f.frame, last + 1, last), -1);
            EXPECT_EQ(stripIndexAt(f.frame, first, last + 1), -1);
        }
        const std::string path = ::testing::TempDir() + "toolkit_scaled_frame.png";
        ASSERT_TRUE(f.frame->writePng(path.c_str()));
        cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
        ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
        EXPECT_EQ(cairo_image_surface_get_width(png), f.frame->getDeviceWidth());
        EXPECT_EQ(cairo_image_surface_get_height(png), f.frame->getDeviceHeight());
        cairo_surface_destroy(png);
        std::remove(path.c_str());
    }
}

TEST(FrameScale, ArtDrawnForTheScaleIsChosenAndMissingArtIsEnlarged) {
    CBitmap scaled(kStrip3, 2.0);
    ASSERT_TRUE(scaled.isLoaded());
    EXPECT_EQ(scaled.getPixelScale(), 2.0);
    EXPECT_EQ(scaled.getWidth(), 10);  // the views' size, not the pixels'
    EXPECT_EQ(scaled.getHeight(), 30);
    CBitmap fallback(kStrip11, 2.0);
    ASSERT_TRUE(fallback.isLoaded());
    EXPECT_EQ(fallback.getPixelScale(), 1.0);
    EXPECT_EQ(fallback.getHeight(), 110);
    EXPECT_FALSE(CBitmap(99999, 2.0).isLoaded());

    // The 100 % art of kStrip11 at 200 %: enlarged, so the middle of the knob shows its image.
    ScaledFrame f(2.0, kStrip11);
    f.knob->setValue(0.0f);
    f.frame->idle();
    EXPECT_EQ(pixelAt(f.frame, 30, 30), stripColor(0));
}

TEST(FrameScale, EventsArriveInTheViewsCoordinates) {
    ScaledFrame f(2.0);
    f.frame->idle();
    // Device (30, 30) is the knob's middle; device (10, 10) lies outside it.
    f.frame->dispatchMouseDown(CPoint(10, 10), CButtonState(kLButton));
    f.frame->dispatchMouseUp(CPoint(10, 10), CButtonState(kLButton));
    EXPECT_TRUE(f.editor.begins.empty());
    f.frame->dispatchMouseDown(CPoint(30, 30), CButtonState(kLButton));
    EXPECT_EQ(f.editor.begins.size(), 1u);
    CPoint where;
    EXPECT_TRUE(f.frame->getCurrentMouseLocation(where));
    EXPECT_EQ(where.x, 15);
    EXPECT_EQ(where.y, 15);
    f.frame->dispatchMouseUp(CPoint(30, 30), CButtonState(kLButton));
    EXPECT_EQ(f.editor.ends.size(), 1u);
}

}  // namespace
}  // namespace tktest

// The art generator's checks: each kind of layout fault it must refuse is refused, sound art
// passes, and the art of both plug-ins passes every check.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "art_set.h"
#include "output.h"
#include "platform/strip_rows.h"
#include "controls.h"
#include "page.h"
#include "panel.h"
#include "paint.h"

namespace orv::artgen {
namespace {

bool mentions(const std::vector<std::string>& faults, const char* what) {
    for (const std::string& f : faults)
        if (f.find(what) != std::string::npos) return true;
    return false;
}

TEST(ArtChecks, LabelsStayInsideTheirPanelsClearOfControlsAndOffThePageEdges) {
    Page page(200, 100, borealisTheme());
    page.panel({10, 10, 100, 60});
    page.control({120, 20, 150, 40});
    page.label("inside", 14, 20, Align::Left);
    EXPECT_TRUE(page.faults().empty());
    page.label("a help text much too long for it", 14, 35, Align::Left);
    EXPECT_TRUE(mentions(page.faults(), "out of its panel"));

    Page clear(200, 100, borealisTheme());
    clear.control({120, 20, 150, 40});
    const Rect box = textBox(clear.cr(), labelFont(), "EXT", 0, 0, Align::Left);
    clear.label("EXT", 135, 40 - box.top, Align::Centre);  // ink right at the control's bottom edge
    EXPECT_TRUE(mentions(clear.faults(), "touches the control"));

    Page edge(200, 100, borealisTheme());
    edge.label("POWER", 50, 98, Align::Centre);  // on the edge where the preset bar starts
    EXPECT_TRUE(mentions(edge.faults(), "leaves the page"));
}

TEST(ArtChecks, TextSmallerThanTheSectionTitlesIsRefused) {
    EXPECT_TRUE(legible(sectionTitleFont()));
    EXPECT_TRUE(legible(smallFont()));
    EXPECT_TRUE(legible(scaleFont()));
    EXPECT_TRUE(legible(Font{"Liberation Sans", 9, false}));
    EXPECT_FALSE(legible(Font{"Liberation Sans Narrow", 7.5, false}));  // "16k" read as "10k"
    EXPECT_FALSE(legible(Font{"Liberation Sans", 8.5, false}));
    EXPECT_FALSE(legible(Font{"Liberation Sans Narrow", 7, true}));
    drawingFaults().clear();
    Surface s = newImage(40, 20);
    Context cr = newContext(s.get());
    drawText(cr.get(), Font{"Liberation Sans Narrow", 7.5, false}, rgb(0, 0, 0), "16k", 20, 10, Align::Centre);
    EXPECT_TRUE(mentions(drawingFaults(), "16k"));
    drawingFaults().clear();
}

TEST(ArtChecks, OverlappingControlsMayNotBothShowTheirCaps) {
    const std::vector<KnobDef> noKnobs;
    ButtonDef ext{19027, "ext", at(227, 159, 30, 26), ButtonStyle::Lamp};
    const ButtonDef lowShelf{19013, "low", at(242, 147, 20, 16), ButtonStyle::LowShelf};
    Page page(450, 445, borealisTheme());
    registerControls(page, noKnobs, {ext, lowShelf});
    EXPECT_TRUE(mentions(page.faults(), "overlap"));
    ext.capDrop = 3;  // the cap kept below the shared corner
    Page fixed(450, 445, borealisTheme());
    registerControls(fixed, noKnobs, {ext, lowShelf});
    EXPECT_TRUE(fixed.faults().empty());
}

TEST(ArtChecks, ADisplayTextThatFillsItsWellIsRefused) {
    Page tight(450, 445, borealisTheme());
    drawLatencyWell(tight, {112, 428, 157, 438}, {160, 428, 203, 438}, false);
    EXPECT_TRUE(mentions(tight.faults(), "1660smps"));
    Page roomy(450, 445, borealisTheme());
    drawLatencyWell(roomy, {112, 428, 157, 438}, {162, 428, 207, 438}, false);
    EXPECT_TRUE(roomy.faults().empty());
}

TEST(ArtChecks, SharedStripsNeedTheSameArtUnderEveryPlace) {
    Page page(100, 60, borealisTheme());
    drawPanel(page);
    cairo_rectangle(page.cr(), 0, 0, 100, 60);
    cairo_set_source_rgb(page.cr(), 0.1, 0.1, 0.1);
    cairo_fill(page.cr());
    EXPECT_TRUE(samePixels(page.surface(), {0, 0, 20, 20}, {50, 20, 70, 40}, 2));
    drawWell(page, {45, 39, 75, 50}, false);  // a well whose rim reaches up into one place
    EXPECT_FALSE(samePixels(page.surface(), {0, 0, 20, 20}, {50, 20, 70, 40}, 2));
}

TEST(ArtChecks, BothPluginsArtPassesEveryCheck) {
    for (ArtSet (*draw)() : {drawBorealis, drawKestrel}) {
        drawingFaults().clear();
        const ArtSet set = draw();
        for (const std::string& f : set.faults) ADD_FAILURE() << set.name << ": " << f;
        for (const std::string& f : drawingFaults()) ADD_FAILURE() << set.name << ": " << f;
    }
}

// Every scale is drawn by the same code and passes the same checks; its images have the pixels
// of their 100 % size at that scale, a strip's images from the rows the editors take them from.
TEST(ArtChecks, EveryScaleOfBothPlugInsDrawsWithoutFaults) {
    for (const int percent : {125, 150, 175, 200}) {
        const double scale = percent / 100.0;
        setDrawingScale(1.0);
        const ArtSet reference = drawBorealis();
        setDrawingScale(scale);
        for (const bool borealis : {true, false}) {
            drawingFaults().clear();
            const ArtSet set = borealis ? drawBorealis() : drawKestrel();
            EXPECT_TRUE(set.faults.empty()) << percent << " %: " << (set.faults.empty() ? "" : set.faults.front());
            EXPECT_TRUE(drawingFaults().empty()) << percent << " %: " << (drawingFaults().empty() ? "" : drawingFaults().front());
            if (!borealis) continue;
            for (const Bitmap& b : set.bitmaps) {
                const Bitmap* r = reference.find(b.id);
                ASSERT_NE(r, nullptr);
                const int w = cairo_image_surface_get_width(r->image.get()), h = cairo_image_surface_get_height(r->image.get());
                EXPECT_EQ(cairo_image_surface_get_width(b.image.get()), static_cast<int>(std::round(w * scale))) << b.id;
                EXPECT_EQ(cairo_image_surface_get_height(b.image.get()), static_cast<int>(std::round(h * scale))) << b.id;
            }
        }
    }
    setDrawingScale(1.0);
    drawingFaults().clear();
}

struct PngBytes {
    const std::vector<unsigned char>& bytes;
    std::size_t at = 0;
};

cairo_status_t readPngBytes(void* closure, unsigned char* out, unsigned int length) {
    auto* r = static_cast<PngBytes*>(closure);
    if (length > r->bytes.size() - r->at) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->bytes.data() + r->at, length);
    r->at += length;
    return CAIRO_STATUS_SUCCESS;
}

// The strips go into the plug-ins with their frames' rows interleaved, so that frames a whole
// frame apart compress as well at 200 % as at 100 %. Read back and put in strip order, every
// bitmap of every scale has exactly the pixels drawn; and the strips take far less room.
TEST(ArtChecks, EmbeddedBitmapsReadBackToTheDrawnPixelsAndStripsTakeLittleRoom) {
    for (const int percent : {100, 175, 200}) {
        setDrawingScale(percent / 100.0);
        const ArtSet set = drawBorealis();
        std::size_t interleaved = 0, plain = 0;
        for (const Bitmap& b : set.bitmaps) {
            SCOPED_TRACE(testing::Message() << b.id << " at " << percent << " %");
            const std::vector<unsigned char> png = encodeBitmap(b, percent);
            PngBytes reader{png};
            Surface read(cairo_image_surface_create_from_png_stream(readPngBytes, &reader));
            ASSERT_EQ(cairo_surface_status(read.get()), CAIRO_STATUS_SUCCESS);
            const int w = cairo_image_surface_get_width(read.get()), h = cairo_image_surface_get_height(read.get());
            const std::vector<int> tops = orv::platform::storedFrameTops(png.data(), png.size());
            EXPECT_EQ(tops.empty(), b.frames < 2);
            cairo_surface_flush(read.get());
            orv::platform::restoreStripOrder(cairo_image_surface_get_data(read.get()), h, 4 * static_cast<std::size_t>(w),
                                             static_cast<std::size_t>(cairo_image_surface_get_stride(read.get())), tops);
            cairo_surface_t* drawn = b.image.get();
            cairo_surface_flush(drawn);
            ASSERT_EQ(w, cairo_image_surface_get_width(drawn));
            ASSERT_EQ(h, cairo_image_surface_get_height(drawn));
            int differing = 0;
            for (int y = 0; y < h; ++y)
                differing += std::memcmp(cairo_image_surface_get_data(read.get()) + y * cairo_image_surface_get_stride(read.get()),
                                         cairo_image_surface_get_data(drawn) + y * cairo_image_surface_get_stride(drawn),
                                         4 * static_cast<std::size_t>(w)) != 0;
            EXPECT_EQ(differing, 0);
            if (b.frames >= 2) {
                interleaved += png.size();
                plain += encodePng(drawn).size();
            }
        }
        EXPECT_LT(interleaved * (percent == 100 ? 1 : 3), plain) << percent << " %: " << interleaved << " bytes against " << plain;
    }
    setDrawingScale(1.0);
}

}  // namespace
}  // namespace orv::artgen

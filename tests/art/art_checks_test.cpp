// The art generator's checks: each kind of layout fault it must refuse is refused, sound art
// passes, and the art of both plug-ins passes every check.
#include <gtest/gtest.h>

#include <cmath>

#include "art_set.h"
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

}  // namespace
}  // namespace orv::artgen

#include <cmath>
#include "meters_and_settings.h"

#include <cstdio>

#include "controls.h"
#include "meter.h"
#include "panel.h"

namespace orv::artgen {

namespace {

const double kKnobW = 38, kKnobH = 37;

struct Setting {
    double x;
    bool secondRow, over;
    const char* name;
    const char* help[2];  // two short lines beside the knob
    double preview;
};

// One knob strip serves all five knobs, so they share one scale of 11 ticks.
const int kSettingTicks = 11;

const Setting kSettings[] = {
    {61, false, false, "INTEGRATION", {"how fast the needle", "rises and falls"}, 0.5},
    {61, true, false, "REFERENCE", {"the dBFS level that", "reads 0 VU"}, 0.41},
    {261, false, false, "INTEGRATION", {"how fast a peak", "is captured"}, 0.5},
    {261, true, false, "RETURN", {"how fast the PPM tip", "falls back"}, 0.5},
    {61, false, true, "OVER COUNT", {"full-scale samples in", "a row that light it"}, 0.2222222},
};

Rect knobArea(const Setting& s, const MeterSettingsLayout& l) {
    const double y = s.over ? l.overRow : s.secondRow ? l.secondRow : l.firstRow;
    return at(s.x, y, kKnobW, kKnobH);
}

// The value display under a settings knob.
Rect displayArea(const Setting& s, const Rect& knob) {
    if (s.over) return {knob.left + 4, knob.bottom, knob.left + 34, knob.bottom + 12};
    return {knob.left - 6, knob.bottom, knob.left + 44, knob.bottom + 12};
}

void drawTray(Page& page, const Rect& a) {
    cairo_t* cr = page.cr();
    roundedRect(cr, a.left, a.top, a.width(), a.height() + 1, 5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
    cairo_fill(cr);
    roundedRect(cr, a.left, a.top, a.width(), a.height(), 5);
    cairo_set_source_rgb(cr, 0.07, 0.075, 0.085);
    cairo_fill(cr);
    roundedRect(cr, a.left + 1, a.top + 1.5, a.width() - 2, a.height() - 2.5, 4);
    cairo_set_source_rgb(cr, 0.115, 0.123, 0.137);
    cairo_fill(cr);
}

}  // namespace

void registerMeters(Page& page) {
    page.control(at(49, 34, 146, 91));
    page.control(at(256, 34, 146, 91));
}

void addMeterBitmaps(ArtSet& set, const Theme& theme) {
    using G = MeterGeometry;
    Surface face = meterFace();
    Surface lamp = overLamp(face.get());
    const struct {
        int faceId;
        double x;
        const char* channel;
        int lampFrame;
    } meters[] = {{19028, 49, "L", 2}, {19031, 256, "R", 1}};
    for (const auto& m : meters) {
        const char* side = m.faceId == 19028 ? "left" : "right";
        set.add(m.faceId, std::string(side) + " meter face", 1,
                crop(face.get(), {0, 0, G::faceWidth, G::faceHeight}));
        set.add(m.faceId + 1, std::string(side) + " meter cover", 1,
                meterCover(theme, m.channel));
        set.add(m.faceId + 2, std::string(side) + " over lamp (lit, held, off)", 3,
                crop(lamp.get(), {0, 0, G::lampSize, G::lampSize * 3}));
        set.mainView.push_back({m.faceId, m.x, 34, 0});
        set.mainView.push_back({m.faceId + 2, m.x + G::lampX, 34 + G::lampY, m.lampFrame});
        set.mainView.push_back({m.faceId + 1, m.x, 104, 0});
    }
}

void drawMeterSettingsPage(Page& page, const MeterSettingsLayout& l) {
    const Theme& t = page.theme();
    const Rect plate{110, 36, 338, 134};
    // The plate is also where the version label writes its black text (top right).
    page.control(plate);
    for (const Setting& s : kSettings) {
        const Rect k = knobArea(s, l);
        page.control(k);
        page.control(displayArea(s, k));
    }
    drawPanel(page);
    drawNameplate(page, {plate.left + 2, plate.top + 2, plate.right - 2, plate.bottom - 2},
                  "METER SETTINGS");

    drawSectionTitle(page, "VU NEEDLE", 36, 214, l.firstRow - 17);
    drawSectionTitle(page, "PPM NEEDLE", 236, 414, l.firstRow - 17);
    drawSectionTitle(page, "OVER LAMP", 36, 214, l.overRow - 17);
    // Flat trays under the knobs: one knob strip serves all five places only if the pixels
    // under every settings knob are the same.
    const double rowsBottom = l.secondRow + kKnobH + 16;
    const Rect trays[] = {{36, l.firstRow - 8, 214, rowsBottom},
                          {236, l.firstRow - 8, 414, rowsBottom},
                          {36, l.overRow - 8, 214, l.overRow + kKnobH + 16}};
    for (const Rect& tray : trays) {
        drawTray(page, tray);
        page.panel(tray);
    }
    // The note beside the over lamp's tray keeps to the column of the PPM tray above it.
    const Rect noteColumn{236, l.overRow - 8, 414, l.overRow + kKnobH + 16};
    page.panel(noteColumn);

    const Font help{"Liberation Sans", 9, false};
    for (const Setting& s : kSettings) {
        // On the pixel grid: the knobs share one strip, so the art around each must fall on
        // the same pixels relative to it at every scale.
        const Rect k = onPixelGrid(knobArea(s, l));
        drawKnobScale(page, k, KnobScale{kSettingTicks, {}, "", ""});
        // The display hangs from the knob's bottom edge: its well must not reach up into the
        // knob, whose strip is shared by knobs with displays of other widths.
        drawWell(page, displayArea(s, k), false, true);
        page.label(s.name, k.right + 10, k.top + 9, Align::Left, labelFont());
        page.label(s.help[0], k.right + 10, k.top + 21, Align::Left, help, t.dimText);
        page.label(s.help[1], k.right + 10, k.top + 32, Align::Left, help, t.dimText);
    }
    const double noteY = l.overRow + 4;
    page.label("These settings are kept for", 240, noteY, Align::Left, help, t.dimText);
    page.label("your user account and shared", 240, noteY + 12, Align::Left, help, t.dimText);
    page.label("by every Orv plug-in.", 240, noteY + 24, Align::Left, help, t.dimText);
}

void addSettingsKnobBitmap(ArtSet& set, cairo_surface_t* page, const MeterSettingsLayout& l,
                           const Theme& theme) {
    const Rect first = knobArea(kSettings[0], l);
    set.add(19036, "meter-settings knob", 51, knobStrip(page, first, 51, 0, theme));
    for (const Setting& s : kSettings) {
        const Rect k = knobArea(s, l);
        // The strip is cut from the first knob's place: every other place must look the same
        // under it, or the strip carries a piece of art that does not belong there. Between
        // whole scales an antialiased edge nearby may reach a fraction of a pixel into the
        // border of a place, which the strip then covers: the border pixels are left out.
        const double scale = drawingScale();
        if (!samePixels(page, first, k, 2, scale == std::floor(scale) ? 0 : 1)) {
            char fault[160];
            std::snprintf(fault, sizeof fault,
                          "the page under the settings knob at (%g,%g) differs from the one under (%g,%g)",
                          k.left, k.top, first.left, first.top);
            set.faults.push_back(fault);
        }
        set.settingsView.push_back({19036, k.left, k.top, static_cast<int>(s.preview * 50)});
    }
}

}  // namespace orv::artgen

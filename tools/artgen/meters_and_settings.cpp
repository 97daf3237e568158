#include "meters_and_settings.h"

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
    const char* help;
    int ticks;
    double preview;
};

const Setting kSettings[] = {
    {61, false, false, "INTEGRATION", "how fast the VU needle rises", 11, 0.5},
    {61, true, false, "REFERENCE", "level that reads 0 VU, in dBFS", 11, 0.41},
    {261, false, false, "INTEGRATION", "how fast a peak is captured", 11, 0.5},
    {261, true, false, "RETURN", "how fast the PPM tip falls back", 11, 0.5},
    {61, false, true, "OVER COUNT", "consecutive full-scale samples", 10, 0.2222222},
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
    drawTray(page, {36, l.firstRow - 8, 214, rowsBottom});
    drawTray(page, {236, l.firstRow - 8, 414, rowsBottom});
    drawTray(page, {36, l.overRow - 8, 214, l.overRow + kKnobH + 16});

    const Font help{"Liberation Sans", 8.5, false};
    for (const Setting& s : kSettings) {
        const Rect k = knobArea(s, l);
        drawKnobScale(page, k, KnobScale{s.ticks, {}, "", ""});
        drawWell(page, displayArea(s, k), false);
        page.label(s.name, k.right + 10, k.top + 13, Align::Left, labelFont());
        page.label(s.help, k.right + 10, k.top + 26, Align::Left, help, t.dimText);
    }
    const double noteY = l.overRow + 8;
    page.label("These settings are kept for your user account", 236, noteY, Align::Left, help,
               t.dimText);
    page.label("and shared by every Orv plug-in.", 236, noteY + 12, Align::Left, help, t.dimText);
}

void addSettingsKnobBitmap(ArtSet& set, cairo_surface_t* page, const MeterSettingsLayout& l,
                           const Theme& theme) {
    const Rect first = knobArea(kSettings[0], l);
    set.add(19036, "meter-settings knob", 51, knobStrip(page, first, 51, 0, theme));
    for (const Setting& s : kSettings) {
        const Rect k = knobArea(s, l);
        set.settingsView.push_back({19036, k.left, k.top, static_cast<int>(s.preview * 50)});
    }
}

}  // namespace orv::artgen

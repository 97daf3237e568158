#include "panel.h"

#include <cmath>
#include <cstdio>

namespace orv::artgen {

void drawPanel(Page& page) {
    cairo_t* cr = page.cr();
    const Theme& t = page.theme();
    const double w = page.width(), h = page.height();
    cairo_rectangle(cr, 0, 0, w, h);
    fillVertical(cr, 0, h, t.panelTop, t.panelBottom);
    // Faint horizontal brushing, deterministic so the art is the same on every build.
    unsigned state = 12345;
    for (int y = 0; y < h; ++y) {
        state = state * 1103515245u + 12345u;
        const double v = ((state >> 16) & 0xff) / 255.0;
        cairo_rectangle(cr, 0, y, w, 1);
        cairo_set_source_rgba(cr, v > 0.5 ? 1 : 0, v > 0.5 ? 1 : 0, v > 0.5 ? 1 : 0,
                              0.012 + 0.012 * std::fabs(v - 0.5));
        cairo_fill(cr);
    }
    // Light vignette towards the edges.
    cairo_pattern_t* p = cairo_pattern_create_radial(w / 2, h * 0.4, h * 0.3, w / 2, h * 0.4,
                                                     h * 0.85);
    cairo_pattern_add_color_stop_rgba(p, 0, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(p, 1, 0, 0, 0, 0.28);
    cairo_set_source(cr, p);
    cairo_paint(cr);
    cairo_pattern_destroy(p);
    // Bevel along the top and bottom edge.
    cairo_rectangle(cr, 0, 0, w, 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
    cairo_fill(cr);
}

void drawHeader(Page& page) {
    const Theme& t = page.theme();
    const double y = 17;
    Rect orv = page.label("ORV", 14, y, Align::Left, Font{"Liberation Sans", 15, true},
                          t.accent);
    page.label(t.productName, orv.right + 6, y, Align::Left,
               Font{"Liberation Sans", 15, false}, t.text);
    page.label(t.tagline, page.width() - 14, y, Align::Right,
               Font{"Liberation Sans Narrow", 9, true}, t.dimText);
}

void drawMeterBridge(Page& page) {
    cairo_t* cr = page.cr();
    for (double x : {49.0, 256.0}) {
        const double y = 34, w = 146, h = 91;
        roundedRect(cr, x - 4, y - 4, w + 8, h + 8, 4);
        fillVertical(cr, y - 4, y + h + 4, rgb(14, 15, 17), rgb(40, 43, 48));
        roundedRect(cr, x - 3.5, y - 3.5, w + 7, h + 7, 3.5);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        cairo_rectangle(cr, x - 1, y - 1, w + 2, h + 2);
        cairo_set_source_rgb(cr, 0.03, 0.03, 0.04);
        cairo_fill(cr);
    }
}

void drawSectionTitle(Page& page, const std::string& title, double x0, double x1, double midY) {
    cairo_t* cr = page.cr();
    const Theme& t = page.theme();
    Rect box = page.label(title, (x0 + x1) / 2, midY, Align::Centre,
                          Font{"Liberation Sans", 8, true}, t.dimText);
    cairo_set_line_width(cr, 1);
    setColour(cr, t.line);
    const double y = std::floor(midY) + 0.5;
    if (box.left - 6 > x0) {
        cairo_move_to(cr, x0, y);
        cairo_line_to(cr, box.left - 6, y);
    }
    if (box.right + 6 < x1) {
        cairo_move_to(cr, box.right + 6, y);
        cairo_line_to(cr, x1, y);
    }
    cairo_stroke(cr);
}

void drawWell(Page& page, const Rect& a, bool light, bool tight) {
    cairo_t* cr = page.cr();
    const double top = tight ? a.top : a.top - 2, inner = tight ? a.top : a.top - 1;
    const double bottom = tight ? a.bottom + 1 : a.bottom + 2;
    roundedRect(cr, a.left - 2, top, a.width() + 4, bottom - top, 2.5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.08);
    cairo_fill(cr);
    roundedRect(cr, a.left - 2, top, a.width() + 4, bottom - 1 - top, 2.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.75);
    cairo_fill(cr);
    roundedRect(cr, a.left - 1, inner, a.width() + 2, (tight ? a.bottom : a.bottom + 1) - inner, 1.5);
    if (light) {
        fillVertical(cr, a.top, a.bottom, rgb(214, 218, 212), rgb(232, 234, 228));
    } else {
        fillVertical(cr, a.top, a.bottom, rgb(10, 11, 13), rgb(20, 22, 25));
    }
}

void drawLatencyWell(Page& page, const Rect& ms, const Rect& samples, bool light) {
    // The editor writes these texts in its small runtime font (Arial 9, metric-compatible).
    const Font runtime{"Liberation Sans", 9, false};
    const Rect well{ms.left - 3, ms.top, samples.right + 3, samples.bottom};
    drawWell(page, well, light);
    cairo_t* cr = page.cr();
    const double divider = std::floor((ms.right + samples.left) / 2) + 0.5;
    cairo_move_to(cr, divider, well.top + 1);
    cairo_line_to(cr, divider, well.bottom - 1);
    cairo_set_source_rgba(cr, light ? 0 : 1, light ? 0 : 1, light ? 0 : 1, 0.18);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    const struct {
        const Rect& area;
        const char* longest;
        double from, to;
    } texts[] = {{ms, "37.6ms", well.left, divider}, {samples, "1660smps", divider, well.right}};
    for (const auto& t : texts) {
        const Rect box = textBox(cr, runtime, t.longest, t.area.centreX(), t.area.centreY(), Align::Centre);
        if (box.left - t.from < 3 || t.to - box.right < 3) {
            char fault[160];
            std::snprintf(fault, sizeof fault, "display text \"%s\" fills its box (%g..%g)", t.longest, t.from, t.to);
            page.fault(fault);
        }
    }
}

void drawPagePlate(Page& page, const Rect& a, const std::string& text) {
    cairo_t* cr = page.cr();
    const Theme& t = page.theme();
    roundedRect(cr, a.left + 0.5, a.top + 0.5, a.width() - 1, a.height() - 1, 3);
    fillVertical(cr, a.top, a.bottom, rgb(62, 67, 74), rgb(42, 45, 50));
    roundedRect(cr, a.left + 0.5, a.top + 0.5, a.width() - 1, a.height() - 1, 3);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    Rect box = drawText(cr, labelFont(), t.text, text, a.centreX() - 4, a.centreY(),
                        Align::Centre);
    // A chevron after the text says "go to".
    const double x = box.right + 6, y = a.centreY();
    cairo_move_to(cr, x, y - 3.5);
    cairo_line_to(cr, x + 3.5, y);
    cairo_line_to(cr, x, y + 3.5);
    setColour(cr, t.accent);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
}

void drawNameplate(Page& page, const Rect& a, const std::string& title) {
    cairo_t* cr = page.cr();
    const Theme& t = page.theme();
    roundedRect(cr, a.left - 1, a.top - 1, a.width() + 2, a.height() + 3, 5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_fill(cr);
    roundedRect(cr, a.left, a.top, a.width(), a.height(), 4);
    fillVertical(cr, a.top, a.bottom, rgb(214, 217, 221), rgb(174, 178, 184));
    // Brushed grain on the light metal.
    for (double y = a.top + 2; y < a.bottom - 2; y += 2) {
        cairo_rectangle(cr, a.left + 2, y, a.width() - 4, 1);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.06 + 0.04 * std::sin(y * 1.7));
        cairo_fill(cr);
    }
    roundedRect(cr, a.left + 0.5, a.top + 0.5, a.width() - 1, a.height() - 1, 4);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    const Colour ink = rgb(34, 36, 40);
    const double x = a.left + 18;
    Rect orv = drawText(cr, Font{"Liberation Sans", 13, true}, ink, "ORV", x, a.top + 20,
                        Align::Left);
    drawText(cr, Font{"Liberation Sans", 13, false}, ink, t.productName, orv.right + 5,
             a.top + 20, Align::Left);
    drawText(cr, Font{"Liberation Sans", 15, true}, ink, title, x, a.top + 50, Align::Left);
    cairo_rectangle(cr, x, a.top + 61, 36, 2);
    setColour(cr, t.accent.mix(ink, 0.25));
    cairo_fill(cr);
    drawText(cr, Font{"Liberation Sans", 9, false}, rgb(70, 73, 78),
             "Click this plate to return to the main page.", x, a.top + 77, Align::Left);
}

}  // namespace orv::artgen

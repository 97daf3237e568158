#include "meter.h"

#include <cmath>
#include <string>

namespace orv::artgen {

namespace {

const double kPi = 3.14159265358979323846;
using G = MeterGeometry;

double dbToLevel(double db) { return std::pow(10.0, db / 20.0); }

// Point at radius r along the needle for level v, in face pixels.
void polar(double v, double r, double& x, double& y) {
    const double a = needleAngle(v);
    x = G::pivotX + r * std::cos(a);
    y = G::pivotY - r * std::sin(a);
}

void tick(cairo_t* cr, double db, double r0, double r1, double width) {
    double x0, y0, x1, y1;
    polar(dbToLevel(db), r0, x0, y0);
    polar(dbToLevel(db), r1, x1, y1);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

// Arc along the scale between two dB values at radius r.
void scaleArc(cairo_t* cr, double db0, double db1, double r) {
    const double a0 = needleAngle(dbToLevel(db0)), a1 = needleAngle(dbToLevel(db1));
    // Screen angles run clockwise, so the needle angle a maps to -a.
    cairo_arc(cr, G::pivotX, G::pivotY, r, -a0, -a1);
}

}  // namespace

double needleAngle(double level) {
    return 5 * kPi / 6 - std::pow(level / 1.44, 1.2) * 2 * kPi / 3;
}

Surface meterFace() {
    Surface face = newImage(G::faceWidth, G::faceHeight);
    Context ctx = newContext(face.get());
    cairo_t* cr = ctx.get();
    const Colour ink = rgb(38, 34, 28), red = rgb(196, 42, 34);

    // Backlit cream card, brightest behind the scale.
    cairo_rectangle(cr, 0, 0, G::faceWidth, G::faceHeight);
    fillVertical(cr, 0, G::faceHeight, rgb(246, 239, 218), rgb(226, 214, 182));
    cairo_pattern_t* light = cairo_pattern_create_radial(G::pivotX, 30, 5, G::pivotX, 30, 90);
    cairo_pattern_add_color_stop_rgba(light, 0, 1, 0.98, 0.9, 0.55);
    cairo_pattern_add_color_stop_rgba(light, 1, 1, 0.98, 0.9, 0);
    cairo_set_source(cr, light);
    cairo_paint(cr);
    cairo_pattern_destroy(light);

    // Scale: a thin arc up to 0 VU, a red band from 0 to +3 VU.
    const double r = 62.5;
    setColour(cr, ink);
    scaleArc(cr, -20, 0, r);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    setColour(cr, red);
    scaleArc(cr, 0, 3.2, r + 1.6);
    cairo_set_line_width(cr, 4.2);
    cairo_stroke(cr);

    const double majors[] = {-20, -10, -7, -5, -3, -2, -1, 0, 1, 2, 3};
    const double minors[] = {-15, -9, -8, -6, -4, -2.5, -1.5, -0.5, 0.5, 1.5, 2.5};
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    for (double db : minors) {
        setColour(cr, db >= 0 ? red : ink);
        tick(cr, db, r, r + 3.5, 0.8);
    }
    for (double db : majors) {
        setColour(cr, db > 0 ? red : ink);
        tick(cr, db, db == 0 ? r - 2 : r, r + 7, db == 0 ? 1.6 : 1.1);
    }
    const Font numbers{"Liberation Sans Narrow", 8, true};
    for (double db : majors) {
        double x, y;
        polar(dbToLevel(db), r + 13, x, y);
        const std::string text = std::to_string(static_cast<int>(std::fabs(db)));
        drawText(cr, numbers, db > 0 ? red : ink, text, x, y, Align::Centre);
    }
    // Sign marks beyond the ends of the scale.
    drawText(cr, Font{"Liberation Sans", 9, true}, ink, "\xe2\x88\x92", 5, 49, Align::Centre);
    drawText(cr, Font{"Liberation Sans", 9, true}, red, "+", 141, 53, Align::Centre);

    drawText(cr, Font{"Liberation Serif", 13, true}, ink.withAlpha(0.85), "VU", G::pivotX, 37,
             Align::Centre);

    // Shallow wells behind the two hold readouts (VU hold left, PPM hold right).
    for (double x : {10.0, 84.0}) {
        roundedRect(cr, x - 1, 52, 52, 12, 2.5);
        cairo_set_source_rgba(cr, 0.35, 0.28, 0.15, 0.08);
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(cr, 0.35, 0.28, 0.15, 0.22);
        cairo_set_line_width(cr, 0.8);
        cairo_stroke(cr);
    }

    // Glass and bezel shade at the top and the sides.
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, 0, 0, 9);
    cairo_pattern_add_color_stop_rgba(shade, 0, 0, 0, 0, 0.35);
    cairo_pattern_add_color_stop_rgba(shade, 1, 0, 0, 0, 0);
    cairo_set_source(cr, shade);
    cairo_paint(cr);
    cairo_pattern_destroy(shade);
    for (int side = 0; side < 2; ++side) {
        const double x0 = side == 0 ? 0 : G::faceWidth, x1 = side == 0 ? 6 : G::faceWidth - 6;
        cairo_pattern_t* s = cairo_pattern_create_linear(x0, 0, x1, 0);
        cairo_pattern_add_color_stop_rgba(s, 0, 0, 0, 0, 0.25);
        cairo_pattern_add_color_stop_rgba(s, 1, 0, 0, 0, 0);
        cairo_set_source(cr, s);
        cairo_paint(cr);
        cairo_pattern_destroy(s);
    }
    return face;
}

Surface meterCover(const Theme& theme, const char* channel) {
    Surface cover = newImage(G::faceWidth, G::coverHeight);
    Context ctx = newContext(cover.get());
    cairo_t* cr = ctx.get();
    cairo_rectangle(cr, 0, 0, G::faceWidth, G::coverHeight);
    fillVertical(cr, 0, G::coverHeight, rgb(44, 47, 52), rgb(24, 26, 29));
    cairo_move_to(cr, 0, 0.5);
    cairo_line_to(cr, G::faceWidth, 0.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_move_to(cr, 0, 1.5);
    cairo_line_to(cr, G::faceWidth, 1.5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
    cairo_stroke(cr);

    // Hub over the needles' pivot.
    const double hx = G::pivotX, hy = G::pivotY - G::faceHeight, hr = 14;
    cairo_arc(cr, hx, hy + 1, hr + 1, kPi, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
    cairo_fill(cr);
    cairo_arc(cr, hx, hy, hr, kPi, 2 * kPi);
    cairo_close_path(cr);
    fillVertical(cr, hy - hr, hy, rgb(96, 102, 110), rgb(36, 39, 43));
    drawText(cr, Font{"Liberation Sans", 8, true}, theme.accent, channel, hx, hy - 5.5,
             Align::Centre);

    const Font caption = smallFont();
    drawText(cr, caption, theme.dimText, "VU HOLD", 35, 11, Align::Centre);
    drawText(cr, caption, theme.dimText, "PPM HOLD", 109, 11, Align::Centre);
    return cover;
}

Surface overLamp(cairo_surface_t* face) {
    const double s = G::lampSize;
    return strip(face, at(G::lampX, G::lampY, s, s), 3, [&](cairo_t* cr, int k, double, double) {
        const double c = s / 2, r = 4.4;
        if (k == 0) {  // lit: bright red with a halo
            cairo_pattern_t* p = cairo_pattern_create_radial(c, c, 0, c, c, s / 2);
            cairo_pattern_add_color_stop_rgba(p, 0, 1, 0.2, 0.1, 0.6);
            cairo_pattern_add_color_stop_rgba(p, 1, 1, 0.2, 0.1, 0);
            cairo_set_source(cr, p);
            cairo_paint(cr);
            cairo_pattern_destroy(p);
        }
        cairo_arc(cr, c, c, r + 1, 0, 2 * kPi);
        cairo_set_source_rgba(cr, 0.15, 0.12, 0.1, 0.85);
        cairo_fill(cr);
        const Colour body = k == 0 ? rgb(255, 58, 40) : k == 1 ? rgb(172, 40, 30) : rgb(84, 30, 28);
        const Colour hi = k == 0 ? rgb(255, 210, 190) : k == 1 ? rgb(230, 110, 90) : rgb(130, 70, 66);
        cairo_pattern_t* p = cairo_pattern_create_radial(c - 1.3, c - 1.6, 0, c, c, r);
        cairo_pattern_add_color_stop_rgb(p, 0, hi.r, hi.g, hi.b);
        cairo_pattern_add_color_stop_rgb(p, 1, body.r, body.g, body.b);
        cairo_set_source(cr, p);
        cairo_arc(cr, c, c, r, 0, 2 * kPi);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
        if (k == 1) {  // held: a bright ring marks the remembered over
            cairo_arc(cr, c, c, r - 1.2, 0, 2 * kPi);
            cairo_set_source_rgba(cr, 1, 0.75, 0.6, 0.9);
            cairo_set_line_width(cr, 1);
            cairo_stroke(cr);
        }
    });
}

}  // namespace orv::artgen

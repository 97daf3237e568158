#include "knob.h"

#include <algorithm>
#include <cmath>

namespace orv::artgen {

namespace {

const double kPi = 3.14159265358979323846;

// Sizes of a knob drawn in a w x h area, all scaled from the smaller side.
struct KnobGeometry {
    double cx, cy, size;
    explicit KnobGeometry(double w, double h) : cx(w / 2), cy(h / 2), size(std::min(w, h)) {}
    double body() const { return size * 0.29; }
    double ring() const { return size * 0.385; }
    double ringWidth() const { return std::max(2.0, size * 0.055); }
    double tickIn() const { return size * 0.435; }
    double tickOut() const { return size * 0.485; }
};

// Cairo angle (clockwise from +x) of value position f: 0 at lower left, 1 at lower right.
double angleOf(double f) { return (135.0 + 270.0 * f) * kPi / 180.0; }

}  // namespace

void drawKnobScale(Page& page, const Rect& area, const KnobScale& scale) {
    cairo_t* cr = page.cr();
    const Theme& t = page.theme();
    KnobGeometry g(area.width(), area.height());
    const double cx = area.left + g.cx, cy = area.top + g.cy;
    cairo_save(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < scale.ticks; ++i) {
        const double f = scale.ticks > 1 ? double(i) / (scale.ticks - 1) : 0;
        bool major = i == 0 || i == scale.ticks - 1;
        for (double m : scale.majors) major = major || std::fabs(m - f) < 1e-6;
        const double a = angleOf(f);
        const double r0 = g.tickIn() + (major ? -0.5 : 0.8), r1 = g.tickOut();
        cairo_move_to(cr, cx + r0 * std::cos(a), cy + r0 * std::sin(a));
        cairo_line_to(cr, cx + r1 * std::cos(a), cy + r1 * std::sin(a));
        setColour(cr, major ? t.text.withAlpha(0.85) : t.dimText.withAlpha(0.7));
        cairo_set_line_width(cr, major ? 1.2 : 0.9);
        cairo_stroke(cr);
    }
    cairo_restore(cr);
    // End labels sit in the bottom corners, under the ends of the sweep.
    const double dx = g.size * 0.33, y = area.top + g.cy + g.size * 0.43;
    if (!scale.minLabel.empty())
        drawText(cr, scaleFont(), t.dimText, scale.minLabel, cx - dx, y, Align::Centre);
    if (!scale.maxLabel.empty())
        drawText(cr, scaleFont(), t.dimText, scale.maxLabel, cx + dx, y, Align::Centre);
}

Surface knobStrip(cairo_surface_t* background, const Rect& area, int frames, double origin,
                  const Theme& theme) {
    return strip(background, area, frames, [&](cairo_t* cr, int k, double w, double h) {
        KnobGeometry g(w, h);
        const double f = frames > 1 ? double(k) / (frames - 1) : 0;
        const double cx = g.cx, cy = g.cy, body = g.body();

        // Groove of the value ring, then the lit part from the origin to the value.
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        cairo_set_line_width(cr, g.ringWidth());
        cairo_arc(cr, cx, cy, g.ring(), angleOf(0), angleOf(1));
        cairo_set_source_rgba(cr, 0.05, 0.06, 0.07, 0.9);
        cairo_stroke(cr);
        const double a0 = angleOf(std::min(origin, f)), a1 = angleOf(std::max(origin, f));
        if (a1 - a0 > 1e-3) {
            cairo_set_line_width(cr, g.ringWidth() + 2.5);
            cairo_arc(cr, cx, cy, g.ring(), a0, a1);
            setColour(cr, theme.accent.withAlpha(0.22));
            cairo_stroke(cr);
            cairo_set_line_width(cr, g.ringWidth() - 0.6);
            cairo_arc(cr, cx, cy, g.ring(), a0, a1);
            setColour(cr, theme.accent);
            cairo_stroke(cr);
        }
        // A bright notch marks the origin of a centred knob.
        if (origin > 0 && origin < 1) {
            const double a = angleOf(origin), r0 = g.ring() - g.ringWidth() / 2 - 0.5,
                         r1 = g.ring() + g.ringWidth() / 2 + 0.5;
            cairo_move_to(cr, cx + r0 * std::cos(a), cy + r0 * std::sin(a));
            cairo_line_to(cr, cx + r1 * std::cos(a), cy + r1 * std::sin(a));
            cairo_set_source_rgba(cr, 1, 1, 1, 0.55);
            cairo_set_line_width(cr, 1);
            cairo_stroke(cr);
        }

        // Soft shadow under the cap.
        cairo_pattern_t* shadow =
            cairo_pattern_create_radial(cx, cy + body * 0.12, body * 0.8, cx, cy + body * 0.12,
                                        body * 1.22);
        cairo_pattern_add_color_stop_rgba(shadow, 0, 0, 0, 0, 0.55);
        cairo_pattern_add_color_stop_rgba(shadow, 1, 0, 0, 0, 0);
        cairo_set_source(cr, shadow);
        cairo_arc(cr, cx, cy + body * 0.12, body * 1.22, 0, 2 * kPi);
        cairo_fill(cr);
        cairo_pattern_destroy(shadow);

        // Machined cap: a bevelled rim and a brushed face lit from the top.
        cairo_arc(cr, cx, cy, body, 0, 2 * kPi);
        fillVertical(cr, cy - body, cy + body, rgb(112, 119, 128), rgb(22, 24, 28));
        const double face = body - std::max(1.5, body * 0.1);
        cairo_arc(cr, cx, cy, face, 0, 2 * kPi);
        cairo_pattern_t* p =
            cairo_pattern_create_radial(cx - face * 0.3, cy - face * 0.45, face * 0.1, cx, cy,
                                        face * 1.05);
        cairo_pattern_add_color_stop_rgb(p, 0, 0.36, 0.38, 0.42);
        cairo_pattern_add_color_stop_rgb(p, 1, 0.15, 0.16, 0.18);
        cairo_set_source(cr, p);
        cairo_fill(cr);
        cairo_pattern_destroy(p);
        // Fine concentric lathe rings give the face some texture.
        cairo_set_line_width(cr, 0.5);
        for (double r = face * 0.25; r < face; r += std::max(1.6, face / 7)) {
            cairo_arc(cr, cx, cy, r, 0, 2 * kPi);
            cairo_set_source_rgba(cr, 1, 1, 1, 0.035);
            cairo_stroke(cr);
        }

        // Pointer: a light line from near the centre to the rim, with a dark edge for contrast.
        const double a = angleOf(f);
        const double r0 = face * 0.32, r1 = face - 0.8;
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_move_to(cr, cx + r0 * std::cos(a), cy + r0 * std::sin(a));
        cairo_line_to(cr, cx + r1 * std::cos(a), cy + r1 * std::sin(a));
        cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
        cairo_set_line_width(cr, std::max(2.4, body * 0.16));
        cairo_stroke(cr);
        cairo_move_to(cr, cx + r0 * std::cos(a), cy + r0 * std::sin(a));
        cairo_line_to(cr, cx + r1 * std::cos(a), cy + r1 * std::sin(a));
        cairo_set_source_rgb(cr, 0.95, 0.96, 0.97);
        cairo_set_line_width(cr, std::max(1.3, body * 0.085));
        cairo_stroke(cr);
    });
}

}  // namespace orv::artgen

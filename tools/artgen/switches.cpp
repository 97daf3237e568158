#include "switches.h"

#include <algorithm>
#include <cmath>

namespace orv::artgen {

namespace {

const double kPi = 3.14159265358979323846;

enum class CapState { Normal, Hover, Pressed };

// A raised rounded cap with a drop shadow; pressed caps sit lower and darker.
void drawCap(cairo_t* cr, double x, double y, double w, double h, double radius, CapState state) {
    roundedRect(cr, x - 0.5, y + 0.5, w + 1, h + 1.2, radius + 0.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_fill(cr);
    Colour top = rgb(84, 90, 98), bottom = rgb(44, 48, 53);
    if (state == CapState::Hover) top = rgb(104, 111, 120), bottom = rgb(56, 61, 67);
    if (state == CapState::Pressed) top = rgb(34, 37, 41), bottom = rgb(52, 56, 62);
    roundedRect(cr, x, y, w, h, radius);
    fillVertical(cr, y, y + h, top, bottom);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, std::max(0.5, radius - 0.5));
    cairo_set_source_rgba(cr, 1, 1, 1, state == CapState::Pressed ? 0.05 : 0.13);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// A glow around a lit lamp.
void glow(cairo_t* cr, double x, double y, double radius, const Colour& c, double strength) {
    cairo_pattern_t* p = cairo_pattern_create_radial(x, y, 0, x, y, radius);
    cairo_pattern_add_color_stop_rgba(p, 0, c.r, c.g, c.b, strength);
    cairo_pattern_add_color_stop_rgba(p, 1, c.r, c.g, c.b, 0);
    cairo_set_source(cr, p);
    cairo_arc(cr, x, y, radius, 0, 2 * kPi);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void roundLamp(cairo_t* cr, double x, double y, double r, bool lit, const Colour& accent) {
    if (lit) glow(cr, x, y, r * 3.2, accent, 0.45);
    cairo_arc(cr, x, y, r + 0.7, 0, 2 * kPi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
    cairo_fill(cr);
    cairo_arc(cr, x, y, r, 0, 2 * kPi);
    Colour c = lit ? accent : accent.mix(rgb(20, 22, 24), 0.82);
    cairo_pattern_t* p = cairo_pattern_create_radial(x - r * 0.3, y - r * 0.4, 0, x, y, r);
    Colour hi = lit ? c.mix(rgb(255, 255, 255), 0.55) : c.mix(rgb(255, 255, 255), 0.12);
    cairo_pattern_add_color_stop_rgb(p, 0, hi.r, hi.g, hi.b);
    cairo_pattern_add_color_stop_rgb(p, 1, c.r, c.g, c.b);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

void powerSymbol(cairo_t* cr, double x, double y, double r, const Colour& c) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 1.6);
    setColour(cr, c);
    cairo_arc(cr, x, y, r, -kPi / 2 + 0.75, -kPi / 2 - 0.75 + 2 * kPi);
    cairo_stroke(cr);
    cairo_move_to(cr, x, y - r - 1.2);
    cairo_line_to(cr, x, y - r * 0.15);
    cairo_stroke(cr);
}

// A shelf response drawn in the box (x, y, w, h): level -1 (cut), 0 (flat) or +1 (boost) at
// the shelved end, which is the left end for a low shelf and the right end for a high one.
void shelfCurve(cairo_t* cr, double x, double y, double w, double h, bool lowShelf, int level,
                const Colour& c) {
    const double mid = y + h / 2, shelf = mid - level * h * 0.38;
    const double xs = lowShelf ? x : x + w, xe = lowShelf ? x + w : x;
    const double k = lowShelf ? 1 : -1;
    cairo_move_to(cr, xs, shelf);
    cairo_line_to(cr, xs + k * w * 0.22, shelf);
    cairo_curve_to(cr, xs + k * w * 0.45, shelf, xs + k * w * 0.45, mid, xs + k * w * 0.7, mid);
    cairo_line_to(cr, xe, mid);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    setColour(cr, c);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
}

void arrow(cairo_t* cr, double cx, double top, double bottom, bool down, const Colour& c) {
    setColour(cr, c);
    cairo_set_line_width(cr, 1.4);
    cairo_move_to(cr, cx, down ? top : bottom);
    cairo_line_to(cr, cx, down ? bottom - 2 : top + 2);
    cairo_stroke(cr);
    const double tip = down ? bottom : top, base = down ? bottom - 3.2 : top + 3.2;
    cairo_move_to(cr, cx, tip);
    cairo_line_to(cr, cx - 3, base);
    cairo_line_to(cr, cx + 3, base);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void triangle(cairo_t* cr, double cx, double cy, double size, bool left, const Colour& c) {
    const double d = left ? -1 : 1;
    cairo_move_to(cr, cx + d * size * 0.6, cy);
    cairo_line_to(cr, cx - d * size * 0.4, cy - size * 0.62);
    cairo_line_to(cr, cx - d * size * 0.4, cy + size * 0.62);
    cairo_close_path(cr);
    setColour(cr, c);
    cairo_fill(cr);
}

Colour iconColour(CapState s, const Theme& t) {
    if (s == CapState::Pressed) return t.accent;
    if (s == CapState::Hover) return rgb(250, 251, 252);
    return rgb(196, 201, 207);
}

}  // namespace

Rect lampCap(double w, double h, double capDrop) {
    const double cw = std::min(w - 6, 24.0), ch = std::min(h - 8, 17.0);
    const double x = (w - cw) / 2, y = (h - ch) / 2 - 0.5 + capDrop;
    return {x, y, x + cw, y + ch};
}

Surface lampButton(cairo_surface_t* bg, const Rect& area, const Theme& theme, double capDrop) {
    return strip(bg, area, 2, [&](cairo_t* cr, int k, double w, double h) {
        const bool on = k == 1;
        const Rect cap = lampCap(w, h, capDrop);
        const double cw = cap.width(), ch = cap.height(), x = cap.left, y = cap.top;
        drawCap(cr, x, y, cw, ch, 2.5, on ? CapState::Pressed : CapState::Normal);
        const double bw = cw * 0.5, bh = 3, bx = (w - bw) / 2, by = y + ch / 2 - bh / 2;
        if (on) glow(cr, w / 2, by + bh / 2, bw * 0.85, theme.accent, 0.4);
        roundedRect(cr, bx - 0.6, by - 0.6, bw + 1.2, bh + 1.2, 1.6);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.7);
        cairo_fill(cr);
        roundedRect(cr, bx, by, bw, bh, 1.2);
        setColour(cr, on ? theme.accent.mix(rgb(255, 255, 255), 0.25)
                         : theme.accent.mix(rgb(20, 22, 24), 0.8));
        cairo_fill(cr);
    });
}

Surface legendButton(cairo_surface_t* bg, const Rect& area, const std::string& legend,
                     const Theme& theme) {
    return strip(bg, area, 2, [&](cairo_t* cr, int k, double w, double h) {
        const bool on = k == 1;
        roundLamp(cr, w / 2, 5.5, 2.6, on, theme.accent);
        // The legend keeps the legible size; a long one gets a wider cap, never smaller letters.
        const Font font = smallFont();
        const double textWidth = legend.empty() ? 0 : textBox(cr, font, legend, 0, 0, Align::Left).width();
        const double cw = std::min(w - 2, std::max(w - 5, textWidth + 6)), x = (w - cw) / 2, y = 12, ch = h - 16;
        drawCap(cr, x, y, cw, ch, 3, on ? CapState::Pressed : CapState::Normal);
        const Colour ink = on ? theme.accent.mix(rgb(255, 255, 255), 0.2) : rgb(200, 205, 211);
        if (legend.empty()) {
            powerSymbol(cr, w / 2, y + ch / 2, std::min(cw, ch) * 0.24, ink);
        } else {
            if (textWidth > cw - 3 && k == 0)
                drawingFault("legend \"" + legend + "\" does not fit its button");
            drawText(cr, font, ink, legend, w / 2, y + ch / 2 + (on ? 0.5 : 0), Align::Centre);
        }
    });
}

Surface shelfButton(cairo_surface_t* bg, const Rect& area, bool lowShelf, const Theme& theme) {
    return strip(bg, area, 2, [&](cairo_t* cr, int k, double w, double h) {
        drawCap(cr, 1, 1, w - 2, h - 3, 2, CapState::Normal);
        const Colour ink = k == 1 ? theme.accent : rgb(205, 210, 216);
        shelfCurve(cr, 4, 3.5, w - 8, h - 8, lowShelf, k == 1 ? 1 : -1, ink);
    });
}

Surface shelfSelector(cairo_surface_t* bg, const Rect& area, bool lowShelf, const Theme& theme) {
    return strip(bg, area, 3, [&](cairo_t* cr, int k, double w, double h) {
        drawCap(cr, 1, 1.5, w - 2, h - 4, 2.5, CapState::Normal);
        const Colour ink = k == 1 ? rgb(205, 210, 216) : theme.accent;
        shelfCurve(cr, 4.5, 5, w - 9, h - 11, lowShelf, k - 1, ink);
    });
}

Surface meterSourceSwitch(cairo_surface_t* bg, const Rect& area, const Theme& theme) {
    static const char* const kRows[] = {"PRE", "GR", "POST"};
    return strip(bg, area, 3, [&](cairo_t* cr, int k, double w, double h) {
        roundedRect(cr, 0.5, 0.5, w - 1, h - 1, 3);
        fillVertical(cr, 0, h, rgb(18, 20, 23), rgb(28, 31, 35));
        roundedRect(cr, 0.5, 0.5, w - 1, h - 1, 3);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        const double row = h / 3;
        for (int i = 0; i < 3; ++i) {
            const double cy = row * i + row / 2;
            const bool active = i == k;
            roundLamp(cr, 8, cy, 2.3, active, theme.accent);
            drawText(cr, smallFont(), active ? rgb(240, 242, 245) : rgb(120, 127, 136), kRows[i],
                     14, cy, Align::Left);
        }
    });
}

Surface presetIconButton(cairo_surface_t* bg, const Rect& area, PresetIcon icon,
                         const Theme& theme) {
    return strip(bg, area, 3, [&](cairo_t* cr, int k, double w, double h) {
        const CapState s = static_cast<CapState>(k);
        drawCap(cr, 0.5, 0.5, w - 1, h - 2, 2, s);
        const Colour ink = iconColour(s, theme);
        const double cx = std::floor(w / 2) + 0.5;
        // Tray at the bottom; the arrow goes into it (save) or out of it (load).
        setColour(cr, ink);
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, 2.5, h - 6);
        cairo_line_to(cr, 2.5, h - 3.5);
        cairo_line_to(cr, w - 2.5, h - 3.5);
        cairo_line_to(cr, w - 2.5, h - 6);
        cairo_stroke(cr);
        arrow(cr, cx, 2.5, h - 5.5, icon == PresetIcon::Save, ink);
    });
}

Surface presetTextButton(cairo_surface_t* bg, const Rect& area, const std::string& legend,
                         const Theme& theme) {
    return strip(bg, area, 3, [&](cairo_t* cr, int k, double w, double h) {
        const CapState s = static_cast<CapState>(k);
        drawCap(cr, 0.5, 0.5, w - 1, h - 1.5, 2, s);
        const Font font = smallFont();
        if (k == 0 && textBox(cr, font, legend, 0, 0, Align::Left).width() > w - 5)
            drawingFault("legend \"" + legend + "\" does not fit its button");
        drawText(cr, font, iconColour(s, theme), legend, w / 2, h / 2 - 0.5, Align::Centre);
    });
}

Surface presetRocker(cairo_surface_t* bg, const Rect& area, const Theme& theme) {
    return strip(bg, area, 5, [&](cairo_t* cr, int k, double w, double h) {
        CapState left = CapState::Normal, right = CapState::Normal;
        if (k == 1) left = CapState::Hover;
        if (k == 2) right = CapState::Hover;
        if (k == 3) left = CapState::Pressed;
        if (k == 4) right = CapState::Pressed;
        drawCap(cr, 0.5, 0.5, w - 1, h - 2, 2, CapState::Normal);
        const double half = (w - 1) / 2;
        for (int side = 0; side < 2; ++side) {
            const CapState s = side == 0 ? left : right;
            if (s != CapState::Normal) {
                cairo_save(cr);
                cairo_rectangle(cr, side == 0 ? 0 : half + 0.5, 0, half + 0.5, h);
                cairo_clip(cr);
                drawCap(cr, 0.5, 0.5, w - 1, h - 2, 2, s);
                cairo_restore(cr);
            }
            triangle(cr, side == 0 ? half / 2 + 0.5 : half + half / 2 + 0.5, (h - 1.5) / 2, 6,
                     side == 0, iconColour(s, theme));
        }
        cairo_move_to(cr, std::floor(w / 2) + 0.5, 2);
        cairo_line_to(cr, std::floor(w / 2) + 0.5, h - 3);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    });
}

}  // namespace orv::artgen

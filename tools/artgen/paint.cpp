#include "paint.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orv::artgen {

namespace {
double currentScale = 1.0;
}  // namespace

void setDrawingScale(double scale) { currentScale = scale > 0.0 ? scale : 1.0; }
double drawingScale() { return currentScale; }
double onPixelGrid(double x) { return std::round(x * currentScale) / currentScale; }

Rect onPixelGrid(const Rect& r) {
    const double dx = onPixelGrid(r.left) - r.left, dy = onPixelGrid(r.top) - r.top;
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

Surface newImage(int width, int height) {
    const double s = currentScale;
    Surface image(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(std::round(width * s)),
                                             static_cast<int>(std::round(height * s))));
    cairo_surface_set_device_scale(image.get(), s, s);
    return image;
}

Context newContext(cairo_surface_t* target) {
    Context cr(cairo_create(target));
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr.get(), options);
    cairo_font_options_destroy(options);
    return cr;
}

Surface crop(cairo_surface_t* source, const Rect& area) {
    Surface out = newImage(static_cast<int>(area.width()), static_cast<int>(area.height()));
    Context cr = newContext(out.get());
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr.get(), source, -onPixelGrid(area.left), -onPixelGrid(area.top));
    cairo_paint(cr.get());
    return out;
}

void setColour(cairo_t* cr, const Colour& c) { cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a); }

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius) {
    const double pi = 3.14159265358979323846;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -pi / 2, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, pi / 2);
    cairo_arc(cr, x + radius, y + h - radius, radius, pi / 2, pi);
    cairo_arc(cr, x + radius, y + radius, radius, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

void fillVertical(cairo_t* cr, double y0, double y1, const Colour& top, const Colour& bottom) {
    cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgba(p, 0, top.r, top.g, top.b, top.a);
    cairo_pattern_add_color_stop_rgba(p, 1, bottom.r, bottom.g, bottom.b, bottom.a);
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

bool legible(const Font& font) {
    const Font title = sectionTitleFont();
    if (font.size < title.size) return false;
    return font.bold || font.size >= title.size + 1;
}

std::vector<std::string>& drawingFaults() {
    static std::vector<std::string> faults;
    return faults;
}

void drawingFault(const std::string& fault) { drawingFaults().push_back(fault); }

bool samePixels(cairo_surface_t* s, const Rect& a, const Rect& b, int tolerance, int edge) {
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    // In the image's own pixels: the areas' corners on the pixel grid, the size of the first.
    const double sc = currentScale;
    const int w = static_cast<int>(std::round(a.width() * sc)), h = static_cast<int>(std::round(a.height() * sc));
    const int ax = static_cast<int>(std::round(a.left * sc)), ay = static_cast<int>(std::round(a.top * sc));
    const int bx = static_cast<int>(std::round(b.left * sc)), by = static_cast<int>(std::round(b.top * sc));
    for (int y = edge; y < h - edge; ++y)
        for (int x = edge; x < w - edge; ++x)
            for (int c = 0; c < 4; ++c) {
                const int pa = data[(ay + y) * stride + (ax + x) * 4 + c];
                const int pb = data[(by + y) * stride + (bx + x) * 4 + c];
                if (std::abs(pa - pb) > tolerance) return false;
            }
    return true;
}

namespace {

void selectFont(cairo_t* cr, const Font& font) {
    cairo_select_font_face(cr, font.family, CAIRO_FONT_SLANT_NORMAL,
                           font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, font.size);
}

// Baseline origin for `text` so that capitals are centred on midY; also returns the ink box.
// Text is laid out at 100 % at every scale: its glyphs, their advances and its ink box come
// from a context of the 100 % art, so a label takes the same room at every scale and only its
// rendering is finer.
struct Layout {
    std::vector<cairo_glyph_t> glyphs;  // from the origin
    cairo_text_extents_t ink;
    double capHeight;
};

Layout layOut(const Font& font, const std::string& text) {
    static cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    selectFont(cr, font);
    Layout l;
    cairo_text_extents(cr, text.c_str(), &l.ink);
    cairo_text_extents_t caps;
    cairo_text_extents(cr, "H", &caps);
    l.capHeight = caps.height;
    cairo_glyph_t* glyphs = nullptr;
    int count = 0;
    if (cairo_scaled_font_text_to_glyphs(cairo_get_scaled_font(cr), 0, 0, text.c_str(), -1, &glyphs, &count, nullptr,
                                         nullptr, nullptr) == CAIRO_STATUS_SUCCESS) {
        l.glyphs.assign(glyphs, glyphs + count);
        cairo_glyph_free(glyphs);
    }
    cairo_destroy(cr);
    return l;
}

void place(const Layout& l, double x, double midY, Align align, double& ox, double& oy, Rect& box) {
    const cairo_text_extents_t& ext = l.ink;
    ox = x - ext.x_bearing;
    if (align == Align::Centre) ox = x - ext.x_bearing - ext.width / 2;
    if (align == Align::Right) ox = x - ext.x_bearing - ext.width;
    // Whole pixels of the 100 % art keep small text crisp there, and put it in the same place
    // at every scale.
    ox = static_cast<int>(ox + 0.5);
    oy = static_cast<int>(midY + l.capHeight / 2 + 0.5);
    box = {ox + ext.x_bearing, oy + ext.y_bearing, ox + ext.x_bearing + ext.width,
           oy + ext.y_bearing + ext.height};
}

}  // namespace

Rect textBox(cairo_t*, const Font& font, const std::string& text, double x, double midY, Align align) {
    double ox, oy;
    Rect box;
    place(layOut(font, text), x, midY, align, ox, oy, box);
    return box;
}

Rect drawText(cairo_t* cr, const Font& font, const Colour& colour, const std::string& text,
              double x, double midY, Align align) {
    double ox, oy;
    Rect box;
    const Layout l = layOut(font, text);
    place(l, x, midY, align, ox, oy, box);
    if (!legible(font)) {
        char fault[200];
        std::snprintf(fault, sizeof fault, "text \"%s\" in %s %.1f%s is smaller than the section titles",
                      text.c_str(), font.family, font.size, font.bold ? " bold" : "");
        drawingFault(fault);
    }
    setColour(cr, colour);
    selectFont(cr, font);
    std::vector<cairo_glyph_t> glyphs = l.glyphs;
    for (cairo_glyph_t& g : glyphs) g.x += ox, g.y += oy;
    cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
    cairo_new_path(cr);
    return box;
}

}  // namespace orv::artgen

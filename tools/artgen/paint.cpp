#include "paint.h"

#include <cstdio>
#include <cstdlib>

namespace orv::artgen {

Surface newImage(int width, int height) {
    return Surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
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
    cairo_set_source_surface(cr.get(), source, -area.left, -area.top);
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

bool samePixels(cairo_surface_t* s, const Rect& a, const Rect& b, int tolerance) {
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const int w = static_cast<int>(a.width()), h = static_cast<int>(a.height());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c) {
                const int pa = data[(static_cast<int>(a.top) + y) * stride + (static_cast<int>(a.left) + x) * 4 + c];
                const int pb = data[(static_cast<int>(b.top) + y) * stride + (static_cast<int>(b.left) + x) * 4 + c];
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
void place(cairo_t* cr, const Font& font, const std::string& text, double x, double midY,
           Align align, double& ox, double& oy, Rect& box) {
    selectFont(cr, font);
    cairo_text_extents_t ext;
    cairo_text_extents(cr, text.c_str(), &ext);
    cairo_text_extents_t caps;
    cairo_text_extents(cr, "H", &caps);
    ox = x - ext.x_bearing;
    if (align == Align::Centre) ox = x - ext.x_bearing - ext.width / 2;
    if (align == Align::Right) ox = x - ext.x_bearing - ext.width;
    ox = static_cast<int>(ox + 0.5);  // whole pixels keep small text crisp
    oy = static_cast<int>(midY + caps.height / 2 + 0.5);
    box = {ox + ext.x_bearing, oy + ext.y_bearing, ox + ext.x_bearing + ext.width,
           oy + ext.y_bearing + ext.height};
}

}  // namespace

Rect textBox(cairo_t* cr, const Font& font, const std::string& text, double x, double midY,
             Align align) {
    double ox, oy;
    Rect box;
    place(cr, font, text, x, midY, align, ox, oy, box);
    return box;
}

Rect drawText(cairo_t* cr, const Font& font, const Colour& colour, const std::string& text,
              double x, double midY, Align align) {
    double ox, oy;
    Rect box;
    place(cr, font, text, x, midY, align, ox, oy, box);
    if (!legible(font)) {
        char fault[200];
        std::snprintf(fault, sizeof fault, "text \"%s\" in %s %.1f%s is smaller than the section titles",
                      text.c_str(), font.family, font.size, font.bold ? " bold" : "");
        drawingFault(fault);
    }
    setColour(cr, colour);
    cairo_move_to(cr, ox, oy);
    cairo_show_text(cr, text.c_str());
    cairo_new_path(cr);
    return box;
}

}  // namespace orv::artgen

#include "page.h"

#include <cstdio>

namespace orv::artgen {

Page::Page(int width, int height, const Theme& theme)
    : width_(width), height_(height), theme_(theme), surface_(newImage(width, height)),
      context_(newContext(surface_.get())) {}

Rect Page::label(const std::string& text, double x, double midY, Align align, const Font& font) {
    return label(text, x, midY, align, font, theme_.text);
}

Rect Page::label(const std::string& text, double x, double midY, Align align, const Font& font,
                 const Colour& colour) {
    Rect box = drawText(cr(), font, colour, text, x, midY, align);
    char where[160];
    if (!box.inside(Rect{0, 0, double(width_), double(height_)}.inflated(-kEdgeMargin))) {
        std::snprintf(where, sizeof where, "label \"%s\" (%.1f,%.1f)-(%.1f,%.1f) leaves the page or sits on its edge",
                      text.c_str(), box.left, box.top, box.right, box.bottom);
        faults_.push_back(where);
    }
    for (const Rect& p : panels_) {
        if (box.intersects(p) && !box.inside(p.inflated(-kEdgeMargin))) {
            std::snprintf(where, sizeof where, "label \"%s\" reaches x = %.1f, out of its panel (%g,%g)-(%g,%g)",
                          text.c_str(), box.right, p.left, p.top, p.right, p.bottom);
            faults_.push_back(where);
        }
    }
    for (const Rect& c : controls_) {
        if (box.inflated(kControlClearance).intersects(c)) {
            std::snprintf(where, sizeof where,
                          "label \"%s\" (%.1f,%.1f)-(%.1f,%.1f) touches the control at (%g,%g)",
                          text.c_str(), box.left, box.top, box.right, box.bottom, c.left, c.top);
            faults_.push_back(where);
        }
    }
    return box;
}

}  // namespace orv::artgen

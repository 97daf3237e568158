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
    if (!box.inside(Rect{0, 0, double(width_), double(height_)})) {
        std::snprintf(where, sizeof where, "label \"%s\" leaves the page", text.c_str());
        faults_.push_back(where);
    }
    for (const Rect& c : controls_) {
        if (box.intersects(c)) {
            std::snprintf(where, sizeof where,
                          "label \"%s\" (%.1f,%.1f)-(%.1f,%.1f) touches the control at (%g,%g)",
                          text.c_str(), box.left, box.top, box.right, box.bottom, c.left, c.top);
            faults_.push_back(where);
        }
    }
    return box;
}

}  // namespace orv::artgen

#pragma once
// A page background under construction. Controls are registered first; every label drawn
// afterwards is checked against them, so no text ever hides under a control.
#include <string>
#include <vector>

#include "paint.h"

namespace orv::artgen {

class Page {
public:
    Page(int width, int height, const Theme& theme);

    cairo_t* cr() { return context_.get(); }
    cairo_surface_t* surface() const { return surface_.get(); }
    const Theme& theme() const { return theme_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // Marks an area that a control will cover.
    void control(const Rect& area) { controls_.push_back(area); }

    // Draws a label and records a layout fault when it touches a control or leaves the page.
    Rect label(const std::string& text, double x, double midY, Align align = Align::Centre,
               const Font& font = labelFont());
    Rect label(const std::string& text, double x, double midY, Align align, const Font& font,
               const Colour& colour);

    const std::vector<std::string>& faults() const { return faults_; }

private:
    int width_, height_;
    const Theme& theme_;
    Surface surface_;
    Context context_;
    std::vector<Rect> controls_;
    std::vector<std::string> faults_;
};

}  // namespace orv::artgen

#pragma once
// A page background under construction. Controls and panels are registered first; every label
// drawn afterwards is checked against them: it keeps a pixel clear of every control, stays
// inside the page with a margin, and a label that reaches into a panel lies wholly inside it.
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
    // Marks an area (a tray, a column of text) whose texts must stay inside it.
    void panel(const Rect& area) { panels_.push_back(area); }
    const std::vector<Rect>& controls() const { return controls_; }
    void fault(const std::string& text) { faults_.push_back(text); }

    // Labels keep this far inside the page edges and a panel's edges.
    static constexpr double kEdgeMargin = 3;
    // And this far from a control.
    static constexpr double kControlClearance = 1;

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
    std::vector<Rect> panels_;
    std::vector<std::string> faults_;
};

}  // namespace orv::artgen

#pragma once
// Small cairo helpers shared by every drawing: owned surfaces, shapes, gradients and text.
#include <cairo.h>

#include <memory>
#include <string>
#include <vector>

#include "geometry.h"
#include "theme.h"

namespace orv::artgen {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

// The scale the art is drawn at: device pixels per unit of the layout (1 at 100 %). Every image
// newImage makes has that many pixels per unit and is drawn on in the layout's units, so the
// drawing code is the same at every scale.
void setDrawingScale(double scale);
double drawingScale();
// A layout coordinate moved onto the pixel grid of the drawing scale: the editors place every
// bitmap at round(x * scale) device pixels, and a strip's image k at round(k * height * scale).
double onPixelGrid(double x);
// The rectangle moved (not resized) so that its top-left corner lies on the pixel grid: art
// drawn around a control from there sits on the same pixels wherever the control is placed.
Rect onPixelGrid(const Rect& r);

// An opaque-capable ARGB image of the given size (in the layout's units), cleared to transparent.
Surface newImage(int width, int height);
// A drawing context with the text options every bitmap uses (grey antialiasing, slight hinting).
Context newContext(cairo_surface_t* target);

// A copy of the pixels of `source` under `area` (the background a control sits on).
Surface crop(cairo_surface_t* source, const Rect& area);

void setColour(cairo_t* cr, const Colour& c);
void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);
// Fills the current path with a vertical gradient from `top` (at y0) to `bottom` (at y1).
void fillVertical(cairo_t* cr, double y0, double y1, const Colour& top, const Colour& bottom);

enum class Align { Left, Centre, Right };

struct Font {
    const char* family = "Liberation Sans";
    double size = 9;
    bool bold = true;
};

inline Font labelFont() { return {"Liberation Sans Narrow", 9, true}; }
inline Font smallFont() { return {"Liberation Sans Narrow", 8, true}; }
inline Font scaleFont() { return {"Liberation Sans", 8, true}; }
// The section titles: the smallest text of the art. Every text must read at least as well.
inline Font sectionTitleFont() { return {"Liberation Sans", 8, true}; }

// True when `font` reads at least as well as the section titles at 100 %: as large, and light
// (not bold) text one pixel larger, since its thin strokes blur first.
bool legible(const Font& font);

// Faults found while drawing any bitmap (illegible text, text that does not fit its cap);
// the run fails on them like on layout faults.
std::vector<std::string>& drawingFaults();
void drawingFault(const std::string& fault);

// True when the pixels of `s` under the equally sized areas `a` and `b` differ by at most
// `tolerance` in every channel, leaving out the `edge` outermost pixels of each side.
bool samePixels(cairo_surface_t* s, const Rect& a, const Rect& b, int tolerance, int edge = 0);

// The ink box `text` would cover when drawn with its baseline centred vertically on `midY`.
Rect textBox(cairo_t* cr, const Font& font, const std::string& text, double x, double midY,
             Align align);
// Draws `text` so that its capital letters are centred vertically on `midY`; returns its box.
Rect drawText(cairo_t* cr, const Font& font, const Colour& colour, const std::string& text,
              double x, double midY, Align align);

}  // namespace orv::artgen

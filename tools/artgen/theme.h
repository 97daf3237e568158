#pragma once
// The colours of one plug-in's art. Both plug-ins share the dark anodised panel and the
// cream meter faces; each has an accent colour of its own for value arcs and lit lamps.

namespace orv::artgen {

struct Colour {
    double r, g, b, a = 1.0;
    Colour withAlpha(double alpha) const { return {r, g, b, alpha}; }
    Colour mix(const Colour& o, double t) const {
        return {r + (o.r - r) * t, g + (o.g - g) * t, b + (o.b - b) * t, a + (o.a - a) * t};
    }
};

constexpr Colour rgb(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0, 1.0}; }

struct Theme {
    const char* productName;   // "BOREALIS" or "KESTREL", drawn in the header
    const char* tagline;       // drawn at the right of the header
    Colour accent;             // value arcs, lit lamps, lit legends
    Colour panelTop, panelBottom;
    Colour text;               // control names
    Colour dimText;            // scale numbers and captions
    Colour line;               // section rules
};

const Theme& borealisTheme();
const Theme& kestrelTheme();

}  // namespace orv::artgen

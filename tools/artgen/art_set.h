#pragma once
// The bitmaps of one plug-in, keyed by resource number, plus where each one sits in the
// editor so that a preview of the assembled window can be drawn.
#include <functional>
#include <string>
#include <vector>

#include "paint.h"

namespace orv::artgen {

struct Bitmap {
    int id;
    std::string use;  // what the bitmap shows, for the preview sheet
    int frames;       // images stacked vertically
    Surface image;
};

// One bitmap drawn at a position of the assembled window (frame index `frame`).
struct Placement {
    int id;
    double x, y;
    int frame;
};

struct ArtSet {
    std::string name;
    int windowWidth = 0, windowHeight = 0;
    std::vector<Bitmap> bitmaps;
    std::vector<Placement> mainView;      // frame background, main page and its controls
    std::vector<Placement> settingsView;  // frame background, settings page and its controls
    std::vector<std::string> faults;      // layout faults found while drawing

    void add(int id, std::string use, int frames, Surface image) {
        bitmaps.push_back({id, std::move(use), frames, std::move(image)});
    }
    const Bitmap* find(int id) const {
        for (const Bitmap& b : bitmaps)
            if (b.id == id) return &b;
        return nullptr;
    }
};

// Builds a strip of `frames` images of the control area `area`, each starting from the pixels
// of `background` under the area (a plain panel when `background` is null) and then drawn by
// `draw` (frame index, frame width, frame height) with the origin at the frame's top-left.
Surface strip(cairo_surface_t* background, const Rect& area, int frames,
              const std::function<void(cairo_t*, int, double, double)>& draw);

ArtSet drawBorealis();
ArtSet drawKestrel();

}  // namespace orv::artgen

#include "art_set.h"

namespace orv::artgen {

Surface strip(cairo_surface_t* background, const Rect& area, int frames,
              const std::function<void(cairo_t*, int, double, double)>& draw) {
    const int w = static_cast<int>(area.width());
    const int h = static_cast<int>(area.height());
    Surface out = newImage(w, h * frames);
    Context cr = newContext(out.get());
    for (int k = 0; k < frames; ++k) {
        cairo_save(cr.get());
        cairo_rectangle(cr.get(), 0, k * h, w, h);
        cairo_clip(cr.get());
        if (background) {
            cairo_set_source_surface(cr.get(), background, -area.left, k * h - area.top);
        } else {
            cairo_set_source_rgb(cr.get(), 0.16, 0.17, 0.19);
        }
        cairo_paint(cr.get());
        cairo_translate(cr.get(), 0, k * h);
        draw(cr.get(), k, w, h);
        cairo_restore(cr.get());
    }
    return out;
}

}  // namespace orv::artgen

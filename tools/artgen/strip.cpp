#include "art_set.h"

namespace orv::artgen {

Surface strip(cairo_surface_t* background, const Rect& area, int frames,
              const std::function<void(cairo_t*, int, double, double)>& draw) {
    const int w = static_cast<int>(area.width());
    const int h = static_cast<int>(area.height());
    Surface out = newImage(w, h * frames);
    Context cr = newContext(out.get());
    for (int k = 0; k < frames; ++k) {
        // Image k from the pixel row the editors take it from (see onPixelGrid).
        const double top = onPixelGrid(k * h), bottom = onPixelGrid((k + 1) * h);
        cairo_save(cr.get());
        cairo_rectangle(cr.get(), 0, top, w, bottom - top);
        cairo_clip(cr.get());
        if (background) {
            cairo_set_source_surface(cr.get(), background, -onPixelGrid(area.left), top - onPixelGrid(area.top));
        } else {
            cairo_set_source_rgb(cr.get(), 0.16, 0.17, 0.19);
        }
        cairo_paint(cr.get());
        cairo_translate(cr.get(), 0, top);
        draw(cr.get(), k, w, h);
        cairo_restore(cr.get());
    }
    return out;
}

}  // namespace orv::artgen

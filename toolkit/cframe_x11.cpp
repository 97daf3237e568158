// The Linux side of the frame: a cairo image surface as the drawing surface, an X window when
// embedded, and PNG output through cairo.
#include "toolkit/cframe.h"

#include <algorithm>
#include <cmath>

#include "toolkit/cdrawcontext.h"
#include "toolkit/x11window.h"

namespace toolkit {

CFrame::CFrame(const CRect& rect, void* systemWindow, CEditorInterface* editor, double scale)
    : CViewContainer(CRect(0, 0, std::max<CCoord>(1, std::ceil(rect.getWidth())),
                           std::max<CCoord>(1, std::ceil(rect.getHeight())))),
      editor(editor) {
    frame = this;
    if (scale > 0.0 && scale <= 4.0) this->scale = scale;
    const int width = getDeviceWidth();
    const int height = getDeviceHeight();
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        surface = nullptr;
    }
    if (systemWindow && surface) {
        window = std::make_unique<X11Window>(reinterpret_cast<unsigned long>(systemWindow), width, height, *this);
        if (!window->isOpen()) window.reset();
        embeddedRequested = true;
    }
    invalidFrameRect(size);
}

CFrame::~CFrame() {
    ++eventDepth;
    removeAll(true);
    --eventDepth;
    releasePending();
    window.reset();
    if (surface) cairo_surface_destroy(surface);
}

bool CFrame::isOpen() const { return surface && (!embeddedRequested || window); }

void* CFrame::getSystemWindow() const {
    return window ? reinterpret_cast<void*>(window->id()) : nullptr;
}

void CFrame::redrawInvalid() {
    if (!surface || invalidRects.empty()) return;
    std::vector<CRect> rects;
    rects.swap(invalidRects);
    cairo_t* cr = cairo_create(surface);
    {
        CDrawContext context(cr, scale);
        for (CRect& r : rects) {
            // Whole device pixels, so that no pixel at the edge is drawn over twice.
            r = wholePixels(r);
            context.saveState();
            context.clipRect(r);
            drawRect(&context, r);
            context.restoreState();
        }
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    for (CRect& r : rects) r = toDevice(r);
    if (window) window->present(surface, rects);
}

bool CFrame::writePng(const char* path) {
    if (!surface || !path) return false;
    {
        EventScope scope(*this);
        invalidFrameRect(size);
        collectDirty(this);
        redrawInvalid();
    }
    return cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
}

void CFrame::placeTooltip(const std::string& text, const CRect& anchor, CCoord pointerX) {
    if (!surface) return;
    cairo_t* cr = cairo_create(surface);
    {
        CDrawContext context(cr, scale);
        tooltip.place(&context, text, anchor, pointerX, size);
    }
    cairo_destroy(cr);
}

}  // namespace toolkit

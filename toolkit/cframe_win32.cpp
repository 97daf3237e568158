// The Windows side of the frame: a GDI+ bitmap as the drawing surface, a Win32 window when
// embedded, and PNG output through GDI+'s encoder. GDI+ is held for the frame's lifetime.
#include "toolkit/cframe.h"

#include <windows.h>
#include <gdiplus.h>

#include <algorithm>
#include <cmath>

#include "toolkit/cdrawcontext.h"
#include "toolkit/gdiplus_session.h"
#include "toolkit/win32window.h"

namespace toolkit {

CFrame::CFrame(const CRect& rect, void* systemWindow, CEditorInterface* editor, double scale)
    : CViewContainer(CRect(0, 0, std::max<CCoord>(1, std::ceil(rect.getWidth())),
                           std::max<CCoord>(1, std::ceil(rect.getHeight())))),
      editor(editor) {
    frame = this;
    if (scale > 0.0 && scale <= 4.0) this->scale = scale;
    const int width = getDeviceWidth();
    const int height = getDeviceHeight();
    if (acquireGdiplus()) {
        surface = new Gdiplus::Bitmap(width, height, PixelFormat32bppPARGB);
        if (surface->GetLastStatus() != Gdiplus::Ok) {
            delete surface;
            surface = nullptr;
            releaseGdiplus();
        }
    }
    if (systemWindow && surface) {
        window = std::make_unique<Win32Window>(systemWindow, width, height, *this);
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
    if (surface) {
        delete surface;
        surface = nullptr;
        releaseGdiplus();
    }
}

bool CFrame::isOpen() const { return surface && (!embeddedRequested || window); }

void* CFrame::getSystemWindow() const { return window ? window->id() : nullptr; }

void CFrame::redrawInvalid() {
    if (!surface || invalidRects.empty()) return;
    std::vector<CRect> rects;
    rects.swap(invalidRects);
    {
        Gdiplus::Graphics graphics(surface);
        CDrawContext context(&graphics, scale);
        for (CRect& r : rects) {
            // Whole device pixels, so that no pixel at the edge is drawn over twice.
            r = wholePixels(r);
            context.saveState();
            context.clipRect(r);
            drawRect(&context, r);
            context.restoreState();
        }
    }
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
    return writeBitmapPng(*surface, path);
}

void CFrame::placeTooltip(const std::string& text, const CRect& anchor, CCoord pointerX) {
    if (!surface) return;
    Gdiplus::Graphics graphics(surface);
    CDrawContext context(&graphics, scale);
    tooltip.place(&context, text, anchor, pointerX, size);
}

}  // namespace toolkit

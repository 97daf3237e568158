// Bitmaps on Windows: the PNG bytes (a resource of the module, or memory) are read by GDI+
// through a stream over a copy of them, then drawn once into a premultiplied 32-bit bitmap that
// no longer needs the stream and draws fastest.
#include "toolkit/cbitmap.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cmath>
#include <cstring>

#include "platform/resources.h"
#include "platform/strip_rows.h"
#include "toolkit/cdrawcontext.h"
#include "toolkit/gdiplus_session.h"

namespace toolkit {

CBitmap::CBitmap(const unsigned char* png, std::size_t size) {
    if (png) decode(png, size);
}

CBitmap::~CBitmap() {
    if (surface) {
        delete surface;
        releaseGdiplus();
    }
}

// The Windows plug-ins carry the art of every size as resources.
bool CBitmap::takeDrawn(int) { return false; }

void CBitmap::decode(const unsigned char* png, std::size_t size) {
    if (size == 0 || size > 0x7fffffff || !acquireGdiplus()) return;
    Gdiplus::Bitmap* decoded = nullptr;
    // The stream owns its memory block and frees it when released.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    IStream* stream = nullptr;
    if (block) {
        if (void* bytes = GlobalLock(block)) {
            std::memcpy(bytes, png, size);
            GlobalUnlock(block);
            if (CreateStreamOnHGlobal(block, TRUE, &stream) == S_OK)
                block = nullptr;
        }
        if (block) GlobalFree(block);
    }
    if (stream) {
        Gdiplus::Bitmap* read = Gdiplus::Bitmap::FromStream(stream);
        if (read && read->GetLastStatus() == Gdiplus::Ok && read->GetWidth() > 0 && read->GetHeight() > 0) {
            const INT w = static_cast<INT>(read->GetWidth()), h = static_cast<INT>(read->GetHeight());
            decoded = new Gdiplus::Bitmap(w, h, PixelFormat32bppPARGB);
            if (decoded->GetLastStatus() == Gdiplus::Ok) {
                Gdiplus::Graphics g(decoded);
                g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
                g.DrawImage(read, Gdiplus::Rect(0, 0, w, h), 0, 0, w, h, Gdiplus::UnitPixel);
            } else {
                delete decoded;
                decoded = nullptr;
            }
        }
        delete read;
        stream->Release();
    }
    if (!decoded) {
        releaseGdiplus();
        return;
    }
    surface = decoded;
    width = decoded->GetWidth();
    height = decoded->GetHeight();
    const std::vector<int> tops = orv::platform::storedFrameTops(png, size);
    Gdiplus::BitmapData pixels;
    const Gdiplus::Rect all(0, 0, decoded->GetWidth(), decoded->GetHeight());
    if (!tops.empty() && decoded->LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite,
                                           PixelFormat32bppPARGB, &pixels) == Gdiplus::Ok) {
        if (pixels.Stride > 0)
            orv::platform::restoreStripOrder(static_cast<unsigned char*>(pixels.Scan0), static_cast<int>(pixels.Height),
                                             static_cast<std::size_t>(pixels.Width) * 4,
                                             static_cast<std::size_t>(pixels.Stride), tops);
        decoded->UnlockBits(&pixels);
    }
}

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha) const {
    if (!surface || !context || dest.isEmpty()) return;
    Gdiplus::Graphics* g = context->getCairo();
    const double ps = pixelScale;
    // The corners of `dest` on whole device pixels, back in the views' coordinates.
    CRect area = dest;
    if (context->getScale() != 1.0 || ps != 1.0) {
        Gdiplus::Matrix m;
        g->GetTransform(&m);
        Gdiplus::PointF corners[2] = {
            Gdiplus::PointF(static_cast<Gdiplus::REAL>(dest.left), static_cast<Gdiplus::REAL>(dest.top)),
            Gdiplus::PointF(static_cast<Gdiplus::REAL>(dest.right), static_cast<Gdiplus::REAL>(dest.bottom))};
        m.TransformPoints(corners, 2);
        for (Gdiplus::PointF& c : corners) c = Gdiplus::PointF(std::round(c.X), std::round(c.Y));
        if (m.Invert() == Gdiplus::Ok) m.TransformPoints(corners, 2);
        area = CRect(corners[0].X, corners[0].Y, corners[1].X, corners[1].Y);
    }
    // The part of the image (in its own pixels) that lands inside the area; pixels outside the
    // image stay untouched.
    const CPoint from(std::round(offset.x * ps), std::round(offset.y * ps));
    CRect source = CRect::fromSize(from, std::round(area.getWidth() * ps), std::round(area.getHeight() * ps));
    source.bound(CRect(0, 0, surface->GetWidth(), surface->GetHeight()));
    if (source.isEmpty()) return;
    const CRect target = CRect::fromSize(CPoint(area.left + (source.left - from.x) / ps, area.top + (source.top - from.y) / ps),
                                         source.getWidth() / ps, source.getHeight() / ps);
    const Gdiplus::GraphicsState state = g->Save();
    context->clipRect(area);
    // Art drawn for the context's scale lands pixel for pixel; other art is enlarged smoothly.
    const bool exact = ps == context->getScale();
    g->SetInterpolationMode(exact ? Gdiplus::InterpolationModeNearestNeighbor : Gdiplus::InterpolationModeHighQualityBilinear);
    g->SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    const Gdiplus::RectF to(static_cast<Gdiplus::REAL>(target.left), static_cast<Gdiplus::REAL>(target.top),
                            static_cast<Gdiplus::REAL>(target.getWidth()),
                            static_cast<Gdiplus::REAL>(target.getHeight()));
    if (alpha >= 1.0f) {
        g->DrawImage(surface, to, static_cast<Gdiplus::REAL>(source.left), static_cast<Gdiplus::REAL>(source.top),
                     static_cast<Gdiplus::REAL>(source.getWidth()), static_cast<Gdiplus::REAL>(source.getHeight()),
                     Gdiplus::UnitPixel);
    } else {
        Gdiplus::ColorMatrix matrix = {{{1, 0, 0, 0, 0},
                                        {0, 1, 0, 0, 0},
                                        {0, 0, 1, 0, 0},
                                        {0, 0, 0, alpha < 0 ? 0.0f : alpha, 0},
                                        {0, 0, 0, 0, 1}}};
        Gdiplus::ImageAttributes attributes;
        attributes.SetColorMatrix(&matrix);
        g->DrawImage(surface, to, static_cast<Gdiplus::REAL>(source.left), static_cast<Gdiplus::REAL>(source.top),
                     static_cast<Gdiplus::REAL>(source.getWidth()), static_cast<Gdiplus::REAL>(source.getHeight()),
                     Gdiplus::UnitPixel, &attributes);
    }
    g->Restore(state);
}

bool CBitmap::isTypeOf(const char* name) const {
    return std::strcmp(name, "CBitmap") == 0 || CBaseObject::isTypeOf(name);
}

}  // namespace toolkit

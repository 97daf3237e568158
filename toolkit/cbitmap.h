#pragma once
// A PNG image held as an image of the drawing system (a cairo image surface on Linux, a GDI+
// bitmap on Windows). Bitmaps are loaded by resource number from the plug-in's resources, or
// from PNG bytes in memory.

#include <cstddef>

#include "toolkit/baseobject.h"
#include "toolkit/geometry.h"
#include "toolkit/native.h"

namespace toolkit {

class CDrawContext;

class CBitmap : public CBaseObject {
public:
    // Loads resource `resourceNumber`; a missing or unreadable resource gives an unloaded bitmap.
    explicit CBitmap(int resourceNumber);
    // Decodes PNG bytes (copied as needed).
    CBitmap(const unsigned char* png, std::size_t size);
    ~CBitmap() override;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    bool isLoaded() const { return surface != nullptr; }
    int getResourceNumber() const { return resourceNumber; }
    CCoord getWidth() const { return width; }
    CCoord getHeight() const { return height; }
    CNativeSurface* getSurface() const { return surface; }

    // Draws the part of the bitmap that starts at `offset` into `dest` (no scaling).
    void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = CPoint(), float alpha = 1.0f) const;

    bool isTypeOf(const char* name) const override;

private:
    void decode(const unsigned char* png, std::size_t size);

    int resourceNumber = -1;
    CNativeSurface* surface = nullptr;
    CCoord width = 0;
    CCoord height = 0;
};

}  // namespace toolkit

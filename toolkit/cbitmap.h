#pragma once
// A PNG image held as an image of the drawing system (a cairo image surface on Linux, a GDI+
// bitmap on Windows). Bitmaps are loaded by resource number from the plug-in's resources, or
// from PNG bytes in memory.

#include <cstddef>

#include "platform/resources.h"
#include "toolkit/baseobject.h"
#include "toolkit/geometry.h"
#include "toolkit/native.h"

namespace toolkit {

class CDrawContext;

using orv::platform::kEditorScales;
using orv::platform::scaledResourceNumber;

class CBitmap : public CBaseObject {
public:
    // Loads resource `resourceNumber`; a missing or unreadable resource gives an unloaded bitmap.
    explicit CBitmap(int resourceNumber);
    // The bitmap drawn for `scale` device pixels per unit (1.0 to 2.0 in the steps of
    // kEditorScales); without art of that scale the 100 % art, which draw() then enlarges.
    CBitmap(int resourceNumber, double scale);
    // Decodes PNG bytes (copied as needed).
    CBitmap(const unsigned char* png, std::size_t size);
    ~CBitmap() override;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    bool isLoaded() const { return surface != nullptr; }
    int getResourceNumber() const { return resourceNumber; }
    // The size in the views' coordinates (the 100 % size), whatever scale the pixels are for.
    CCoord getWidth() const { return width; }
    CCoord getHeight() const { return height; }
    // Device pixels per unit of the image's own pixels (1 for the 100 % art).
    double getPixelScale() const { return pixelScale; }
    CNativeSurface* getSurface() const { return surface; }

    // Draws the part of the bitmap that starts at `offset` into `dest`. Art drawn for the
    // context's scale lands pixel for pixel on whole device pixels (a strip's frame k, at
    // offset k times the frame height, starts at device row round(k * height * scale)); other
    // art is enlarged to the context's scale.
    void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = CPoint(), float alpha = 1.0f) const;

    bool isTypeOf(const char* name) const override;

private:
    void decode(const unsigned char* png, std::size_t size);
    // Loads the resource `number` as art for `scale`; false when it is missing or unreadable.
    bool load(int number, double scale);
    // Takes the image the plug-in draws itself under `number` (platform::findDrawnImage), where
    // the drawing system can; false otherwise.
    bool takeDrawn(int number);

    int resourceNumber = -1;
    CNativeSurface* surface = nullptr;
    CCoord width = 0;
    CCoord height = 0;
    double pixelScale = 1.0;
};

}  // namespace toolkit

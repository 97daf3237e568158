#pragma once
// The drawing types of the system the toolkit draws with: cairo on Linux, GDI+ on Windows. Only
// the back-end files use them beyond passing pointers around.
#ifdef _WIN32
namespace Gdiplus {
class Bitmap;
class Graphics;
}  // namespace Gdiplus

namespace toolkit {
using CNativeSurface = Gdiplus::Bitmap;
using CNativeContext = Gdiplus::Graphics;
}  // namespace toolkit
#else
#include <cairo.h>

namespace toolkit {
using CNativeSurface = cairo_surface_t;
using CNativeContext = cairo_t;
}  // namespace toolkit
#endif

#pragma once
// Points, rectangles and colours of the editor toolkit. Coordinates are pixels with y pointing
// down; a rectangle is left, top, right, bottom with right and bottom exclusive.
#include <algorithm>
#include <cstdint>

namespace toolkit {

using CCoord = double;

struct CPoint {
    CCoord x = 0;
    CCoord y = 0;

    CPoint() = default;
    CPoint(CCoord x, CCoord y) : x(x), y(y) {}
    CPoint& offset(CCoord dx, CCoord dy) { x += dx; y += dy; return *this; }
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    bool operator!=(const CPoint& o) const { return !(*this == o); }
};

struct CRect {
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    CRect() = default;
    CRect(CCoord left, CCoord top, CCoord right, CCoord bottom)
        : left(left), top(top), right(right), bottom(bottom) {}
    // A rectangle of `width` x `height` whose top-left corner is `origin`.
    static CRect fromSize(const CPoint& origin, CCoord width, CCoord height) {
        return CRect(origin.x, origin.y, origin.x + width, origin.y + height);
    }

    CCoord getWidth() const { return right - left; }
    CCoord getHeight() const { return bottom - top; }
    CRect& setWidth(CCoord w) { right = left + w; return *this; }
    CRect& setHeight(CCoord h) { bottom = top + h; return *this; }
    CPoint getTopLeft() const { return CPoint(left, top); }
    CPoint getCenter() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    bool isEmpty() const { return right <= left || bottom <= top; }

    CRect& offset(CCoord dx, CCoord dy) { left += dx; right += dx; top += dy; bottom += dy; return *this; }
    CRect& moveTo(CCoord x, CCoord y) { return offset(x - left, y - top); }
    CRect& inset(CCoord dx, CCoord dy) { left += dx; right -= dx; top += dy; bottom -= dy; return *this; }

    bool pointInside(const CPoint& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool rectOverlap(const CRect& r) const {
        return r.left < right && r.right > left && r.top < bottom && r.bottom > top;
    }
    // Shrinks this rectangle to its intersection with `r` (empty when they do not meet).
    CRect& bound(const CRect& r) {
        left = std::max(left, r.left);
        top = std::max(top, r.top);
        right = std::max(left, std::min(right, r.right));
        bottom = std::max(top, std::min(bottom, r.bottom));
        return *this;
    }
    // Grows this rectangle to hold `r` as well.
    CRect& unite(const CRect& r) {
        if (r.isEmpty()) return *this;
        if (isEmpty()) return *this = r;
        left = std::min(left, r.left);
        top = std::min(top, r.top);
        right = std::max(right, r.right);
        bottom = std::max(bottom, r.bottom);
        return *this;
    }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const CRect& o) const { return !(*this == o); }
};

struct CColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 255;

    bool operator==(const CColor& o) const {
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
    }
    bool operator!=(const CColor& o) const { return !(*this == o); }
};

inline constexpr CColor MakeCColor(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
    return CColor{r, g, b, a};
}

inline constexpr CColor kBlackCColor{0, 0, 0, 255};
inline constexpr CColor kWhiteCColor{255, 255, 255, 255};
inline constexpr CColor kGreyCColor{127, 127, 127, 255};
inline constexpr CColor kRedCColor{255, 0, 0, 255};
inline constexpr CColor kTransparentCColor{255, 255, 255, 0};

}  // namespace toolkit

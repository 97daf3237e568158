#pragma once
// Plain rectangles in editor pixels (left, top, right, bottom), as the layouts give them.

namespace orv::artgen {

struct Rect {
    double left = 0, top = 0, right = 0, bottom = 0;

    double width() const { return right - left; }
    double height() const { return bottom - top; }
    double centreX() const { return (left + right) / 2; }
    double centreY() const { return (top + bottom) / 2; }
    bool intersects(const Rect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    Rect inflated(double d) const { return {left - d, top - d, right + d, bottom + d}; }
    bool inside(const Rect& o) const {
        return left >= o.left && right <= o.right && top >= o.top && bottom <= o.bottom;
    }
};

// A control of `width` x `height` pixels whose top-left corner sits at (x, y).
inline Rect at(double x, double y, double width, double height) {
    return {x, y, x + width, y + height};
}

}  // namespace orv::artgen

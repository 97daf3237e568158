#pragma once
// Tooltips of a frame. A tooltip source answers, for the view under the mouse, the text to show
// (lines separated by '\n'); the frame asks it once the mouse has rested on one view for the
// tooltip delay, and shows the text in a small box near the view, drawn above every view. The
// box goes when the mouse presses, turns the wheel, leaves the view or leaves the window, and
// comes back only after the mouse has rested on a view again. The timing runs from the frame's
// idle pass: no thread, no timer of its own.
#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/fonts.h"
#include "toolkit/geometry.h"

namespace toolkit {

class CDrawContext;
class CView;

class CTooltipSource {
public:
    virtual ~CTooltipSource() = default;
    // The text for `view`, or false for none. Asked again on every idle while shown, so the
    // value in it follows changes.
    virtual bool tooltipFor(CView* view, std::string& text) = 0;
};

// How a tooltip looks.
struct CTooltipStyle {
    CFontDesc font{"Arial", 11, kNormalFace};
    CFontDesc firstLineFont{"Arial", 11, kBoldFace};
    CColor back{40, 43, 48, 240};
    CColor frame{110, 116, 124, 255};
    CColor text{225, 228, 232, 255};
    CColor firstLineText{255, 255, 255, 255};
    CColor shadow{0, 0, 0, 90};
};

// The box itself: text lines laid out with the style's fonts.
class CTooltipBox {
public:
    void setStyle(const CTooltipStyle& s) { style = s; }
    const CTooltipStyle& getStyle() const { return style; }

    // Sets the text and places the box below `anchor` (above it when there is no room),
    // starting near `pointerX`, inside `bounds`. `context` measures the text.
    void place(CDrawContext* context, const std::string& text, const CRect& anchor, CCoord pointerX,
               const CRect& bounds);
    const std::string& getText() const { return text; }
    const std::vector<std::string>& getLines() const { return lines; }
    // The box with its shadow, in frame coordinates.
    CRect getArea() const;
    const CRect& getBox() const { return box; }
    void draw(CDrawContext* context) const;

private:
    CTooltipStyle style;
    std::string text;
    std::vector<std::string> lines;
    CRect box;
};

// Milliseconds the mouse rests on a view before its tooltip shows.
constexpr std::uint32_t kTooltipDelayMs = 600;

}  // namespace toolkit

#include "toolkit/ctooltip.h"

#include <algorithm>
#include <cmath>

#include "toolkit/cdrawcontext.h"

namespace toolkit {
namespace {

constexpr CCoord kPadding = 5;
constexpr CCoord kLineGap = 3;
constexpr CCoord kGapToAnchor = 4;
constexpr CCoord kShadow = 2;

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        const std::string::size_type end = text.find('\n', start);
        out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    while (!out.empty() && out.back().empty()) out.pop_back();
    return out;
}

}  // namespace

void CTooltipBox::place(CDrawContext* context, const std::string& newText, const CRect& anchor, CCoord pointerX,
                        const CRect& bounds) {
    text = newText;
    lines = splitLines(newText);
    CCoord width = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        context->setFont(k == 0 ? &style.firstLineFont : &style.font);
        width = std::max(width, context->getStringWidth(lines[k].c_str()));
    }
    const CCoord lineHeight = std::ceil(style.font.size) + kLineGap;
    const CCoord w = std::ceil(width) + 2 * kPadding;
    const CCoord h = lineHeight * static_cast<CCoord>(lines.size()) + 2 * kPadding - kLineGap;
    CCoord left = std::floor(pointerX) - 8;
    CCoord top = std::floor(anchor.bottom) + kGapToAnchor;
    if (top + h + kShadow > bounds.bottom) top = std::floor(anchor.top) - kGapToAnchor - h;
    left = std::min(left, bounds.right - w - kShadow);
    left = std::max(left, bounds.left);
    top = std::max(top, bounds.top);
    box = CRect(left, top, left + w, top + h);
}

CRect CTooltipBox::getArea() const {
    CRect r = box;
    r.right += kShadow;
    r.bottom += kShadow;
    return r;
}

void CTooltipBox::draw(CDrawContext* context) const {
    if (lines.empty()) return;
    context->setDrawMode(kAliasing);
    context->setLineWidth(1);
    CRect shadow = box;
    shadow.offset(kShadow, kShadow);
    context->setFillColor(style.shadow);
    context->fillRect(shadow);
    context->setFillColor(style.back);
    context->setFrameColor(style.frame);
    context->drawRect(box, kDrawFilledAndStroked);
    const CCoord lineHeight = std::ceil(style.font.size) + kLineGap;
    CCoord y = box.top + kPadding - 1;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        context->setFont(k == 0 ? &style.firstLineFont : &style.font);
        context->setFontColor(k == 0 ? style.firstLineText : style.text);
        const CRect line(box.left + kPadding, y, box.right - kPadding + 1, y + lineHeight);
        context->drawString(lines[k].c_str(), line, kLeftText, true);
        y += lineHeight;
    }
}

}  // namespace toolkit

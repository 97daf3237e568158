#include "toolkit/cparamdisplay.h"

#include <cstdio>
#include <cstring>

#include "toolkit/cbitmap.h"
#include "toolkit/cdrawcontext.h"

namespace toolkit {

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* background, std::int32_t style)
    : CControl(size, nullptr, 0, background), fontDesc(*kSystemFont), style(style) {}

void CParamDisplay::formatValue(float v, char* text) const {
    text[0] = 0;
    if (valueToText) {
        char buffer[kDisplayTextSize] = {};
        valueToText(v, buffer);
        buffer[kDisplayTextSize - 1] = 0;
        std::memcpy(text, buffer, kDisplayTextSize);
    } else {
        std::snprintf(text, kDisplayTextSize, "%2.2f", static_cast<double>(v));
    }
}

void CParamDisplay::drawBack(CDrawContext* context) {
    if (transparent) return;
    if (background) {
        background->draw(context, size, backOffset);
    } else {
        context->setFillColor(backColor);
        context->fillRect(size);
    }
    if (!(style & kNoFrame)) {
        context->setFrameColor(frameColor);
        context->setLineWidth(1);
        context->drawRect(size, kDrawStroked);
    }
}

void CParamDisplay::drawText(CDrawContext* context, const char* text) {
    if (style & kNoTextStyle) return;
    context->setFont(&fontDesc);
    context->setFontColor(fontColor);
    CRect textRect = size;
    textRect.inset(horiAlign == kCenterText ? 0 : 2, 0);
    context->drawString(text, textRect, horiAlign, antialias);
}

void CParamDisplay::draw(CDrawContext* context) {
    if (!(style & kNoDrawStyle)) {
        char text[kDisplayTextSize];
        formatValue(value, text);
        drawBack(context);
        drawText(context, text);
    }
    setDirty(false);
}

bool CParamDisplay::isTypeOf(const char* name) const {
    return std::strcmp(name, "CParamDisplay") == 0 || CControl::isTypeOf(name);
}

}  // namespace toolkit

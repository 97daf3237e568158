#pragma once
// A control that shows its value as text. The text comes from a value-to-text function when
// one is set (it writes at most kDisplayTextSize - 1 characters and a terminating zero), else
// the value with two decimals. Drawn, unless styled otherwise: the background bitmap from the
// background offset, or the back colour when there is no bitmap; a one-pixel frame; the text in
// the font and font colour, aligned as set. A transparent display draws only its text.
#include <cstdint>

#include "toolkit/ccontrol.h"
#include "toolkit/fonts.h"

namespace toolkit {

// Style bits of displays and menus.
enum CParamDisplayStyle : std::int32_t {
    kNoFrame = 1 << 8,
    kNoTextStyle = 1 << 9,
    kNoDrawStyle = 1 << 10,
    kPopupStyle = 1 << 11,
    kCheckStyle = 1 << 12,
};

inline constexpr int kDisplayTextSize = 256;

using CParamDisplayValueToText = void (*)(float value, char* text);

class CParamDisplay : public CControl {
public:
    CParamDisplay(const CRect& size, CBitmap* background = nullptr, std::int32_t style = 0);
    CParamDisplay(const CParamDisplay&) = default;

    void draw(CDrawContext* context) override;
    CView* newCopy() const override { return new CParamDisplay(*this); }
    bool isTypeOf(const char* name) const override;

    void setFont(CFontRef font) { if (font) fontDesc = *font; setDirty(); }
    const CFontDesc& getFont() const { return fontDesc; }
    void setFontColor(const CColor& c) { fontColor = c; setDirty(); }
    CColor getFontColor() const { return fontColor; }
    void setBackColor(const CColor& c) { backColor = c; setDirty(); }
    CColor getBackColor() const { return backColor; }
    void setFrameColor(const CColor& c) { frameColor = c; setDirty(); }
    CColor getFrameColor() const { return frameColor; }
    void setHoriAlign(CHoriTxtAlign a) { horiAlign = a; setDirty(); }
    CHoriTxtAlign getHoriAlign() const { return horiAlign; }
    void setStyle(std::int32_t s) { style = s; setDirty(); }
    std::int32_t getStyle() const { return style; }
    void setValueToText(CParamDisplayValueToText f) { valueToText = f; setDirty(); }
    CParamDisplayValueToText getValueToText() const { return valueToText; }
    void setTextAntialias(bool state) { antialias = state; setDirty(); }

    // The text the display shows for `v`.
    void formatValue(float v, char* text) const;

protected:
    // Background (bitmap or back colour) and frame, as the style and transparency allow.
    void drawBack(CDrawContext* context);
    void drawText(CDrawContext* context, const char* text);

    CFontDesc fontDesc;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CHoriTxtAlign horiAlign = kCenterText;
    std::int32_t style;
    CParamDisplayValueToText valueToText = nullptr;
    bool antialias = true;
};

}  // namespace toolkit

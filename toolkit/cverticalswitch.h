#pragma once
// A switch of `positions` positions stacked vertically: clicking or dragging in the n-th
// vertical slice selects position n, value n / (positions - 1) of the range. It is drawn with
// image round(value * (images - 1)) of its strip.
#include "toolkit/ccontrol.h"

namespace toolkit {

class CVerticalSwitch : public CControl {
public:
    CVerticalSwitch(const CRect& size, CControlListener* listener, std::int32_t tag, int subPixmaps,
                    CCoord heightOfOneImage, int positions, CBitmap* background, const CPoint& offset = CPoint());
    CVerticalSwitch(const CVerticalSwitch&) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CView* newCopy() const override { return new CVerticalSwitch(*this); }
    bool isTypeOf(const char* name) const override;

protected:
    int subPixmaps;
    CCoord heightOfOneImage;
    int positions;
};

}  // namespace toolkit

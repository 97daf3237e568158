#pragma once
// A push button drawn from two images stacked vertically (released, pressed). Pressing with the
// left button sets the maximum and tells the listener; releasing sets the minimum and tells it
// again. The press is an edit gesture.
#include "toolkit/ccontrol.h"

namespace toolkit {

class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, std::int32_t tag, CCoord heightOfOneImage,
                CBitmap* background, const CPoint& offset = CPoint());
    CKickButton(const CKickButton&) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CView* newCopy() const override { return new CKickButton(*this); }
    bool isTypeOf(const char* name) const override;

    CCoord getHeightOfOneImage() const { return heightOfOneImage; }

protected:
    CCoord heightOfOneImage;
};

}  // namespace toolkit

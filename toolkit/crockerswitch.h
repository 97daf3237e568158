#pragma once
// A two-way rocker drawn from three images stacked vertically: pressed towards the minimum (-1),
// at rest (0), pressed towards the maximum (+1). A press on the left half (upper half for the
// vertical style) gives -1 (+1 for the upper half), the other half +1 (-1); the listener hears
// of each press once; releasing returns the rocker to rest without telling the listener.
#include "toolkit/ccontrol.h"

namespace toolkit {

enum CRockerStyle : std::int32_t {
    kHorizontal = 1 << 0,
    kVertical = 1 << 1,
};

class CRockerSwitch : public CControl {
public:
    CRockerSwitch(const CRect& size, CControlListener* listener, std::int32_t tag, CCoord heightOfOneImage,
                  CBitmap* background, const CPoint& offset = CPoint(), std::int32_t style = kHorizontal);
    CRockerSwitch(const CRockerSwitch&) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CView* newCopy() const override { return new CRockerSwitch(*this); }
    bool isTypeOf(const char* name) const override;

    std::int32_t getStyle() const { return style; }
    CCoord getHeightOfOneImage() const { return heightOfOneImage; }

protected:
    CCoord heightOfOneImage;
    std::int32_t style;
};

}  // namespace toolkit

#include "toolkit/crockerswitch.h"

#include <cstring>

namespace toolkit {

CRockerSwitch::CRockerSwitch(const CRect& size, CControlListener* listener, std::int32_t tag,
                             CCoord heightOfOneImage, CBitmap* background, const CPoint& offset, std::int32_t style)
    : CControl(size, listener, tag, background), heightOfOneImage(heightOfOneImage), style(style) {
    backOffset = offset;
    minValue = -1;
    maxValue = 1;
    defaultValue = 0;
}

void CRockerSwitch::draw(CDrawContext* context) {
    drawStripImage(context, value < 0 ? 0 : (value > 0 ? 2 : 1), heightOfOneImage);
    setDirty(false);
}

CMouseEventResult CRockerSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    float v;
    if (style & kVertical)
        v = where.y < (size.top + size.bottom) / 2 ? maxValue : minValue;
    else
        v = where.x < (size.left + size.right) / 2 ? minValue : maxValue;
    beginEdit();
    setValue(v);
    invalid();
    valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult CRockerSwitch::onMouseMoved(CPoint&, const CButtonState& buttons) {
    return buttons.isLeftButton() ? kMouseEventHandled : kMouseEventNotHandled;
}

CMouseEventResult CRockerSwitch::onMouseUp(CPoint&, const CButtonState&) {
    setValue(0);
    invalid();
    endEdit();
    return kMouseEventHandled;
}

bool CRockerSwitch::isTypeOf(const char* name) const {
    return std::strcmp(name, "CRockerSwitch") == 0 || CControl::isTypeOf(name);
}

}  // namespace toolkit

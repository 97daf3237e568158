#include "toolkit/ckickbutton.h"

#include <cstring>

namespace toolkit {

CKickButton::CKickButton(const CRect& size, CControlListener* listener, std::int32_t tag, CCoord heightOfOneImage,
                         CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background), heightOfOneImage(heightOfOneImage) {
    backOffset = offset;
}

void CKickButton::draw(CDrawContext* context) {
    drawStripImage(context, value >= (minValue + maxValue) / 2 ? 1 : 0, heightOfOneImage);
    setDirty(false);
}

CMouseEventResult CKickButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    beginEdit();
    setValue(maxValue);
    invalid();
    valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    // Dragging off the button shows it released; back on it, pressed again.
    const float v = size.pointInside(where) ? maxValue : minValue;
    if (v != value) {
        setValue(v);
        invalid();
    }
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseUp(CPoint&, const CButtonState&) {
    setValue(minValue);
    invalid();
    valueChanged();
    endEdit();
    return kMouseEventHandled;
}

bool CKickButton::isTypeOf(const char* name) const {
    return std::strcmp(name, "CKickButton") == 0 || CControl::isTypeOf(name);
}

}  // namespace toolkit

#include "toolkit/cverticalswitch.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace toolkit {

CVerticalSwitch::CVerticalSwitch(const CRect& size, CControlListener* listener, std::int32_t tag, int subPixmaps,
                                 CCoord heightOfOneImage, int positions, CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background),
      subPixmaps(std::max(1, subPixmaps)),
      heightOfOneImage(heightOfOneImage),
      positions(std::max(2, positions)) {
    backOffset = offset;
    defaultValue = 0;
}

void CVerticalSwitch::draw(CDrawContext* context) {
    const float range = maxValue - minValue;
    const float norm = range != 0 ? (value - minValue) / range : 0;
    const int index = std::clamp(static_cast<int>(std::floor(norm * (subPixmaps - 1) + 0.5f)), 0, subPixmaps - 1);
    drawStripImage(context, index, heightOfOneImage);
    setDirty(false);
}

CMouseEventResult CVerticalSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    beginEdit();
    return onMouseMoved(where, buttons);
}

CMouseEventResult CVerticalSwitch::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton() || !isEditing()) return kMouseEventNotHandled;
    const CCoord slice = size.getHeight() / positions;
    const int position = std::clamp(static_cast<int>(std::floor((where.y - size.top) / slice)), 0, positions - 1);
    const float v = minValue + (maxValue - minValue) * position / (positions - 1);
    if (v != value) {
        setValue(v);
        invalid();
        valueChanged();
    }
    return kMouseEventHandled;
}

CMouseEventResult CVerticalSwitch::onMouseUp(CPoint&, const CButtonState&) {
    endEdit();
    return kMouseEventHandled;
}

bool CVerticalSwitch::isTypeOf(const char* name) const {
    return std::strcmp(name, "CVerticalSwitch") == 0 || CControl::isTypeOf(name);
}

}  // namespace toolkit

#include "toolkit/ccontrol.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "toolkit/cbitmap.h"
#include "toolkit/cframe.h"

namespace toolkit {

CControl::CControl(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* bitmap)
    : CView(size), listener(listener), tag(tag), drawnValue(std::numeric_limits<float>::quiet_NaN()) {
    setBackground(bitmap);
}

CControl::CControl(const CControl& other)
    : CView(other),
      listener(other.listener),
      tag(other.tag),
      value(other.value),
      oldValue(other.oldValue),
      minValue(other.minValue),
      maxValue(other.maxValue),
      defaultValue(other.defaultValue),
      wheelInc(other.wheelInc),
      drawnValue(std::numeric_limits<float>::quiet_NaN()),
      backOffset(other.backOffset) {}

CControl::~CControl() = default;

void CControl::setValue(float v) {
    if (v == value) return;
    oldValue = value;
    value = v;
}

void CControl::bounceValue() {
    if (value > maxValue)
        setValue(maxValue);
    else if (value < minValue)
        setValue(minValue);
}

void CControl::valueChanged() {
    if (listener) listener->valueChanged(this);
}

void CControl::beginEdit() {
    if (editing) return;
    editing = true;
    if (frame) frame->beginEdit(tag);
}

void CControl::endEdit() {
    if (!editing) return;
    editing = false;
    if (frame) frame->endEdit(tag);
}

bool CControl::isDirty() const { return CView::isDirty() || !(value == drawnValue); }

void CControl::setDirty(bool state) {
    CView::setDirty(state);
    drawnValue = state ? std::numeric_limits<float>::quiet_NaN() : value;
}

void CControl::draw(CDrawContext* context) {
    if (background) background->draw(context, size, backOffset);
    setDirty(false);
}

void CControl::removed(CViewContainer* oldParent) {
    endEdit();
    CView::removed(oldParent);
}

void CControl::drawStripImage(CDrawContext* context, int index, CCoord heightOfOneImage) const {
    if (!background) return;
    background->draw(context, size, CPoint(backOffset.x, backOffset.y + index * heightOfOneImage));
}

bool CControl::isTypeOf(const char* name) const {
    return std::strcmp(name, "CControl") == 0 || CView::isTypeOf(name);
}

}  // namespace toolkit

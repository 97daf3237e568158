#include "toolkit/canimknob.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "toolkit/cframe.h"

namespace toolkit {
namespace {
constexpr float kPi = 3.14159265358979f;
}

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* listener, std::int32_t tag, int subPixmaps,
                     CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background),
      subPixmaps(std::max(1, subPixmaps)),
      heightOfOneImage(heightOfOneImage),
      startAngle(1.25f * kPi),
      rangeAngle(1.5f * kPi) {
    backOffset = offset;
    wheelInc = 0.01f;
}

void CAnimKnob::draw(CDrawContext* context) {
    const float range = maxValue - minValue;
    const float norm = range != 0 ? (value - minValue) / range : 0;
    const int index = std::clamp(static_cast<int>(std::floor(norm * (subPixmaps - 1) + 0.5f)), 0, subPixmaps - 1);
    drawStripImage(context, index, heightOfOneImage);
    setDirty(false);
}

float CAnimKnob::valueFromPoint(const CPoint& where) const {
    const double dx = where.x - size.getWidth() / 2;
    const double dy = size.getHeight() / 2 - where.y;
    if (dx == 0 && dy == 0) return value;
    const double angle = std::atan2(dy, dx);
    // Clockwise sweep from the start angle, in 0 .. 2 pi.
    double sweep = std::fmod(startAngle - angle, 2.0 * kPi);
    if (sweep < 0) sweep += 2.0 * kPi;
    double norm;
    if (sweep <= rangeAngle)
        norm = sweep / rangeAngle;
    else
        norm = sweep - rangeAngle < (2.0 * kPi - rangeAngle) / 2 ? 1.0 : 0.0;
    return static_cast<float>(minValue + norm * (maxValue - minValue));
}

std::int32_t CAnimKnob::getFrameKnobMode() const { return frame ? frame->getKnobMode() : kCircularMode; }

CMouseEventResult CAnimKnob::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    beginEdit();
    if (buttons & kControl) {
        const float before = value;
        setValue(defaultValue);
        if (value != before) {
            invalid();
            valueChanged();
        }
        endEdit();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    linearDrag = getFrameKnobMode() == kLinearMode;
    dragStart = where;
    dragEntryValue = value;
    dragRange = (buttons & kShift) ? linearRange * 10 : linearRange;
    return onMouseMoved(where, buttons);
}

CMouseEventResult CAnimKnob::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton() || !isEditing()) return kMouseEventNotHandled;
    float v;
    if (linearDrag) {
        const CCoord diff = (dragStart.y - where.y) + (where.x - dragStart.x) * 0.5;
        v = dragEntryValue + static_cast<float>(diff / dragRange) * (maxValue - minValue);
    } else {
        v = valueFromPoint(CPoint(where.x - size.left, where.y - size.top));
    }
    v = std::clamp(v, std::min(minValue, maxValue), std::max(minValue, maxValue));
    if (v != value) {
        setValue(v);
        invalid();
        valueChanged();
    }
    return kMouseEventHandled;
}

CMouseEventResult CAnimKnob::onMouseUp(CPoint&, const CButtonState&) {
    endEdit();
    return kMouseEventHandled;
}

bool CAnimKnob::onWheel(const CPoint&, const float& distance, const CButtonState& buttons) {
    const float step = (buttons & kShift) ? wheelInc * 0.1f : wheelInc;
    float v = value + distance * step * (maxValue - minValue);
    v = std::clamp(v, std::min(minValue, maxValue), std::max(minValue, maxValue));
    if (v != value) {
        beginEdit();
        setValue(v);
        invalid();
        valueChanged();
        endEdit();
    }
    return true;
}

bool CAnimKnob::isTypeOf(const char* name) const {
    return std::strcmp(name, "CAnimKnob") == 0 || CControl::isTypeOf(name);
}

}  // namespace toolkit

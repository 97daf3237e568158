#include "gui/controls.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace toolkit;

namespace {

float bounded(float v, float lo, float hi) { return std::clamp(v, std::min(lo, hi), std::max(lo, hi)); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// CPSKickButton

CPSKickButton::CPSKickButton(const CRect& size, CControlListener* listener, std::int32_t tag,
                             CCoord heightOfOneImage, CBitmap* background, const CPoint& offset,
                             bool needsDoubleClick)
    : CKickButton(size, listener, tag, heightOfOneImage, background, offset), needsDoubleClick(needsDoubleClick) {}

void CPSKickButton::draw(CDrawContext* context) {
    drawStripImage(context, pressed ? 2 : (hover ? 1 : 0), heightOfOneImage);
    setDirty(false);
}

CMouseEventResult CPSKickButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton() || (needsDoubleClick && !buttons.isDoubleClick()))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    pressed = true;
    setValue(needsDoubleClick && (buttons & kControl) ? 0.5f : 1.0f);
    valueChanged();
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPSKickButton::onMouseUp(CPoint&, const CButtonState&) {
    setValue(0);
    pressed = false;
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPSKickButton::onMouseEntered(CPoint&, const CButtonState&) {
    hover = true;
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPSKickButton::onMouseExited(CPoint&, const CButtonState&) {
    hover = false;
    invalid();
    return kMouseEventHandled;
}

// ---------------------------------------------------------------------------------------------
// CSaveLoadButton

CSaveLoadButton::CSaveLoadButton(const CRect& size, CControlListener* listener, std::int32_t tag,
                                 CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CKickButton(size, listener, tag, heightOfOneImage, background, offset) {}

void CSaveLoadButton::draw(CDrawContext* context) {
    drawStripImage(context, value != 0 ? 2 : (hover ? 1 : 0), heightOfOneImage);
    setDirty(false);
}

CMouseEventResult CSaveLoadButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!(buttons.isLeftButton() || buttons.isRightButton()) || !listener) return kMouseEventNotHandled;
    // Only the mouse buttons decide: a right click stays a right click with a modifier held
    // or as the second click of a double-click.
    setValue(buttons.getButtonState() == kRButton ? 0.5f : 1.0f);
    valueChanged();
    setValue(0);
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CMouseEventResult CSaveLoadButton::onMouseEntered(CPoint&, const CButtonState&) {
    hover = true;
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CSaveLoadButton::onMouseExited(CPoint&, const CButtonState&) {
    hover = false;
    invalid();
    return kMouseEventHandled;
}

std::int32_t CSaveLoadButton::onKeyDown(VstKeyCode&) { return kKeyNotHandled; }
std::int32_t CSaveLoadButton::onKeyUp(VstKeyCode&) { return kKeyNotHandled; }

// ---------------------------------------------------------------------------------------------
// CPSRockerSwitch

CPSRockerSwitch::CPSRockerSwitch(const CRect& size, CControlListener* listener, std::int32_t tag,
                                 CCoord heightOfOneImage, CBitmap* background, const CPoint& offset,
                                 std::int32_t style)
    : CRockerSwitch(size, listener, tag, heightOfOneImage, background, offset, style) {}

int CPSRockerSwitch::sideOf(const CPoint& where) const { return where.x < (size.left + size.right) / 2 ? -1 : 1; }

void CPSRockerSwitch::draw(CDrawContext* context) {
    int index;
    if (value == -1)
        index = 3;
    else if (value == 1)
        index = 4;
    else
        index = hoverSide < 0 ? 1 : (hoverSide > 0 ? 2 : 0);
    drawStripImage(context, index, heightOfOneImage);
    setDirty(false);
}

CMouseEventResult CPSRockerSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    setValue(static_cast<float>(sideOf(where)));
    invalid();
    valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseUp(CPoint&, const CButtonState&) {
    setValue(0);
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (buttons.isLeftButton()) return kMouseEventHandled;
    hoverSide = sideOf(where);
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseEntered(CPoint& where, const CButtonState&) {
    hoverSide = sideOf(where);
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseExited(CPoint&, const CButtonState&) {
    hoverSide = 0;
    invalid();
    return kMouseEventHandled;
}

// ---------------------------------------------------------------------------------------------
// COrvOnOffButton

COrvOnOffButton::COrvOnOffButton(const CRect& size, CControlListener* listener, std::int32_t tag,
                                 CBitmap* background, std::int32_t style)
    : CControl(size, listener, tag, background), style(style) {}

void COrvOnOffButton::draw(CDrawContext* context) {
    if (background) {
        const CCoord half = value < 0.5f ? 0 : background->getHeight() / 2;
        background->draw(context, size, CPoint(backOffset.x, backOffset.y + half));
    }
    setDirty(false);
}

CMouseEventResult COrvOnOffButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    // A switch counts as on when its value rounds to 1.
    setValue(std::trunc(value + 0.5f) != 0 ? 0.0f : 1.0f);
    invalid();
    beginEdit();
    valueChanged();
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

bool COrvOnOffButton::isTypeOf(const char* name) const {
    return std::strcmp(name, "COrvOnOffButton") == 0 || CControl::isTypeOf(name);
}

// ---------------------------------------------------------------------------------------------
// CViewContainerSwitch

CViewContainerSwitch::CViewContainerSwitch(const CRect& size, CControlListener* listener, std::int32_t tag)
    : CControl(size, listener, tag, nullptr) {}

void CViewContainerSwitch::draw(CDrawContext*) { setDirty(false); }

CMouseEventResult CViewContainerSwitch::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    setValue(value == 0 ? 1.0f : 0.0f);
    valueChanged();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

bool CViewContainerSwitch::isTypeOf(const char* name) const {
    return std::strcmp(name, "CViewContainerSwitch") == 0 || CControl::isTypeOf(name);
}

// ---------------------------------------------------------------------------------------------
// CAnimKnob2

CAnimKnob2::CAnimKnob2(const CRect& size, CControlListener* listener, std::int32_t tag, int subPixmaps,
                       CCoord heightOfOneImage, CBitmap* background, const CPoint& offset)
    : CAnimKnob(size, listener, tag, subPixmaps, heightOfOneImage, background, offset) {}

CMouseEventResult CAnimKnob2::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton() || !listener) return kMouseEventNotHandled;
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

    startValue = oldValue;
    entryValue = value;
    range = kLinearPixels;
    coef = (maxValue - minValue) / range;
    halfRange = (maxValue - minValue) / 2;
    oldButtons = buttons.getState();
    mode = getFrameKnobMode();
    const bool alt = (buttons & kAlt) != 0;
    linearDrag = (mode == kLinearMode) != alt;

    if (linearDrag) {
        range = (buttons & kShift) ? kFineLinearPixels : kLinearPixels;
        coef = (maxValue - minValue) / range;
        firstPoint = where;
    } else {
        startValue = valueFromPoint(CPoint(where.x - size.left, where.y - size.top));
    }
    return onMouseMoved(where, buttons);
}

CMouseEventResult CAnimKnob2::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    // Only a drag that started on this knob moves it: a button pressed elsewhere and dragged
    // over the knob would otherwise replay a stale drag, jumping the value outside any gesture.
    if (!buttons.isLeftButton() || !isEditing()) return kMouseEventNotHandled;
    const float before = value;
    if (linearDrag) {
        const float diff = static_cast<float>((firstPoint.y - where.y) + (where.x - firstPoint.x) * 0.5);
        if (buttons.getState() != oldButtons) {
            // Rebase the entry value so that the new rate continues from where the old one was.
            range = (buttons & kShift) ? kFineLinearPixels : kLinearPixels;
            const float newCoef = (maxValue - minValue) / range;
            entryValue += (coef - newCoef) * diff;
            coef = newCoef;
            oldButtons = buttons.getState();
        }
        setValue(bounded(entryValue + diff * coef, minValue, maxValue));
    } else {
        const float v = valueFromPoint(CPoint(where.x - size.left, where.y - size.top));
        if (startValue - v > halfRange)
            setValue(maxValue);
        else if (v - startValue > halfRange)
            setValue(minValue);
        else {
            setValue(v);
            startValue = v;
        }
    }
    if (value != before) {
        invalid();
        valueChanged();
    }
    return kMouseEventHandled;
}

bool CAnimKnob2::onWheel(const CPoint&, const float& distance, const CButtonState& buttons) {
    const float before = value;
    setValue(bounded(value + distance * ((buttons & kShift) ? 0.001f : 0.01f), minValue, maxValue));
    if (value != before && listener) {
        invalid();
        beginEdit();
        valueChanged();
        endEdit();
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// CLabel2

CLabel2::CLabel2(const CRect& size, const char* label) : CParamDisplay(size) {
    if (label) {
        std::strncpy(text, label, kMaxText);
        text[kMaxText] = 0;
    }
    setTransparency(true);
}

void CLabel2::draw(CDrawContext* context) {
    context->setFont(kNormalFontVerySmall);
    context->setFontColor(MakeCColor(0, 0, 0, 255));
    context->drawString(text, size, kLeftText, true);
    setDirty(false);
}

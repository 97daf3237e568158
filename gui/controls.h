#pragma once
// The system's own controls: small variations on the toolkit's controls that change how they
// draw from their bitmap or how they answer the mouse.
//
// Bitmap-strip controls draw image k of a vertical strip of images `heightOfOneImage` high,
// taken from the background offset plus k * heightOfOneImage, into the control's rectangle.
#include <cstdint>

#include "toolkit/toolkit.h"

// A push button of the preset bar with three images: at rest, under the mouse, pressed. A press
// delivers 1.0 to the listener at once; with `needsDoubleClick` only a double-click counts, and
// a Ctrl+double-click delivers 0.5 instead. Release sets the value back to 0 silently.
class CPSKickButton : public toolkit::CKickButton {
public:
    CPSKickButton(const toolkit::CRect& size, toolkit::CControlListener* listener, std::int32_t tag,
                  toolkit::CCoord heightOfOneImage, toolkit::CBitmap* background, const toolkit::CPoint& offset,
                  bool needsDoubleClick);
    CPSKickButton(const CPSKickButton&) = default;

    void draw(toolkit::CDrawContext* context) override;
    toolkit::CMouseEventResult onMouseDown(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CMouseEventResult onMouseUp(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CMouseEventResult onMouseEntered(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CMouseEventResult onMouseExited(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CView* newCopy() const override { return new CPSKickButton(*this); }

    bool isHover() const { return hover; }
    bool isPressed() const { return pressed; }
    bool getNeedsDoubleClick() const { return needsDoubleClick; }

protected:
    bool hover = false;
    bool pressed = false;
    bool needsDoubleClick;
};

// The preset bar's save and load buttons, three images: at rest, under the mouse, active. A left
// click delivers 1.0, a click with the right button alone 0.5; the listener runs the whole action
// (a file dialog) inside the call, and the value is 0 again when it returns.
class CSaveLoadButton : public toolkit::CKickButton {
public:
    CSaveLoadButton(const toolkit::CRect& size, toolkit::CControlListener* listener, std::int32_t tag,
                    toolkit::CCoord heightOfOneImage, toolkit::CBitmap* background, const toolkit::CPoint& offset);
    CSaveLoadButton(const CSaveLoadButton&) = default;

    void draw(toolkit::CDrawContext* context) override;
    toolkit::CMouseEventResult onMouseDown(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CMouseEventResult onMouseEntered(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CMouseEventResult onMouseExited(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    std::int32_t onKeyDown(VstKeyCode& key) override;
    std::int32_t onKeyUp(VstKeyCode& key) override;
    toolkit::CView* newCopy() const override { return new CSaveLoadButton(*this); }

    bool isHover() const { return hover; }

protected:
    bool hover = false;
};

// The preset bar's previous/next rocker, five images: at rest, hover left, hover right, pressed
// left, pressed right. A press delivers -1 (left half) or +1 (right half) once; release returns
// to 0 without telling the listener. No edit gesture: it steps presets, not a parameter.
class CPSRockerSwitch : public toolkit::CRockerSwitch {
public:
    CPSRockerSwitch(const toolkit::CRect& size, toolkit::CControlListener* listener, std::int32_t tag,
                    toolkit::CCoord heightOfOneImage, toolkit::CBitmap* background, const toolkit::CPoint& offset,
                    std::int32_t style = toolkit::kHorizontal);
    CPSRockerSwitch(const CPSRockerSwitch&) = default;

    void draw(toolkit::CDrawContext* context) override;
    toolkit::CMouseEventResult onMouseDown(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CMouseEventResult onMouseUp(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CMouseEventResult onMouseMoved(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CMouseEventResult onMouseEntered(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CMouseEventResult onMouseExited(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CView* newCopy() const override { return new CPSRockerSwitch(*this); }

    // -1 hover over the left half, +1 over the right half, 0 not under the mouse.
    int getHoverSide() const { return hoverSide; }

protected:
    int sideOf(const toolkit::CPoint& where) const;
    int hoverSide = 0;
};

// A two-state switch button: the upper half of its bitmap when off (value below 0.5), the lower
// half when on. A left click toggles it inside one edit gesture. `style` is kept for the editors.
class COrvOnOffButton : public toolkit::CControl {
public:
    COrvOnOffButton(const toolkit::CRect& size, toolkit::CControlListener* listener, std::int32_t tag,
                    toolkit::CBitmap* background, std::int32_t style = 0);
    COrvOnOffButton(const COrvOnOffButton&) = default;

    void draw(toolkit::CDrawContext* context) override;
    toolkit::CMouseEventResult onMouseDown(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CView* newCopy() const override { return new COrvOnOffButton(*this); }
    bool isTypeOf(const char* name) const override;

    std::int32_t getStyle() const { return style; }
    void setStyle(std::int32_t s) { style = s; }

protected:
    std::int32_t style;
};

// An invisible click area that toggles its value between 0 and 1 (the editors' page switches).
// Not a parameter edit, so no edit gesture is reported.
class CViewContainerSwitch : public toolkit::CControl {
public:
    CViewContainerSwitch(const toolkit::CRect& size, toolkit::CControlListener* listener, std::int32_t tag);
    CViewContainerSwitch(const CViewContainerSwitch&) = default;

    void draw(toolkit::CDrawContext* context) override;
    toolkit::CMouseEventResult onMouseDown(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CView* newCopy() const override { return new CViewContainerSwitch(*this); }
    bool isTypeOf(const char* name) const override;
};

// The editors' knob: the toolkit's animated knob with its own drag, reset and wheel rules.
// - Ctrl+click returns to the default value.
// - Linear drag (the host's linear knob mode, or Alt in the circular modes): 300 pixels of
//   upward movement cover the whole range, 1500 with Shift; horizontal movement counts half.
//   Pressing or releasing Shift mid-drag changes the rate without moving the value.
// - Circular drag (the other way round): the value follows the angle, but a jump across the
//   dead zone between the two ends is refused, so the knob sticks at the end it came from.
// - Wheel: 0.01 per notch, 0.001 with Shift.
class CAnimKnob2 : public toolkit::CAnimKnob {
public:
    CAnimKnob2(const toolkit::CRect& size, toolkit::CControlListener* listener, std::int32_t tag, int subPixmaps,
               toolkit::CCoord heightOfOneImage, toolkit::CBitmap* background,
               const toolkit::CPoint& offset = toolkit::CPoint());
    CAnimKnob2(const CAnimKnob2&) = default;

    toolkit::CMouseEventResult onMouseDown(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    toolkit::CMouseEventResult onMouseMoved(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;
    bool onWheel(const toolkit::CPoint& where, const float& distance, const toolkit::CButtonState& buttons) override;
    toolkit::CView* newCopy() const override { return new CAnimKnob2(*this); }

    bool isLinearDrag() const { return linearDrag; }

protected:
    static constexpr float kLinearPixels = 300;
    static constexpr float kFineLinearPixels = 1500;

    toolkit::CPoint firstPoint;
    float range = kLinearPixels;
    float coef = 0;
    float entryValue = 0;
    float startValue = 0;
    float halfRange = 0;
    std::int32_t oldButtons = 0;
    std::int32_t mode = 0;
};

// A value display; it behaves as the toolkit's display and is a type of its own for the editors.
class CBackDisplay : public toolkit::CParamDisplay {
public:
    using toolkit::CParamDisplay::CParamDisplay;
    CBackDisplay(const CBackDisplay&) = default;
    toolkit::CView* newCopy() const override { return new CBackDisplay(*this); }
};

// A static, transparent text label: black Arial 9, left-aligned (the version text).
class CLabel2 : public toolkit::CParamDisplay {
public:
    static constexpr int kMaxText = 255;

    CLabel2(const toolkit::CRect& size, const char* text);
    CLabel2(const CLabel2&) = default;

    void draw(toolkit::CDrawContext* context) override;
    toolkit::CView* newCopy() const override { return new CLabel2(*this); }

    const char* getText() const { return text; }

protected:
    char text[kMaxText + 1] = {};
};

#pragma once
// A knob drawn from a vertical strip of images, image round(normalised value * (images - 1)).
//
// Knob geometry: the knob turns clockwise from `startAngle` (225 degrees, lower left) through
// `rangeAngle` (270 degrees) to the lower right, angles counted counter-clockwise from the
// positive x axis with y pointing up. `valueFromPoint` maps a point, relative to the control's
// top-left corner, to the value at that angle around the control's centre; points in the dead
// zone below the centre give the nearer end.
//
// Mouse: a left press starts an edit gesture; with Ctrl the knob returns to its default value.
// In linear knob mode (the frame's) the value follows the vertical movement, up increasing, and
// half the horizontal movement, right increasing, at `linearRange` pixels for the whole range
// (ten times as many with Shift); otherwise the knob follows the angle of the mouse. Release
// ends the gesture. The wheel moves the value by `wheelInc` (0.01) of the range per notch, a
// tenth of that with Shift, each notch one gesture.
#include "toolkit/ccontrol.h"

namespace toolkit {

class CAnimKnob : public CControl {
public:
    CAnimKnob(const CRect& size, CControlListener* listener, std::int32_t tag, int subPixmaps, CCoord heightOfOneImage,
              CBitmap* background, const CPoint& offset = CPoint());
    CAnimKnob(const CAnimKnob&) = default;

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    CView* newCopy() const override { return new CAnimKnob(*this); }
    bool isTypeOf(const char* name) const override;

    // Knob geometry (see above). `where` is relative to the control's top-left corner.
    virtual float valueFromPoint(const CPoint& where) const;
    void setStartAngle(float radians) { startAngle = radians; }
    float getStartAngle() const { return startAngle; }
    void setRangeAngle(float radians) { rangeAngle = radians; }
    float getRangeAngle() const { return rangeAngle; }
    void setLinearRange(CCoord pixels) { linearRange = pixels; }
    CCoord getLinearRange() const { return linearRange; }

    int getNumSubPixmaps() const { return subPixmaps; }
    CCoord getHeightOfOneImage() const { return heightOfOneImage; }
    // The knob mode of the frame the knob is in (circular when it is in none).
    std::int32_t getFrameKnobMode() const;

protected:
    int subPixmaps;
    CCoord heightOfOneImage;
    float startAngle;
    float rangeAngle;
    CCoord linearRange = 200;

    // Drag state of the base knob.
    bool linearDrag = false;
    CPoint dragStart;
    float dragEntryValue = 0;
    CCoord dragRange = 200;
};

}  // namespace toolkit

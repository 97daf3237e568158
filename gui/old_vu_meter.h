#pragma once
// The needle meter of the editors: a moving-coil style dial with a VU needle and a short red PPM
// tip over it, an over lamp that remembers an over after it has passed (held), and two numeric
// hold readouts in dB (PPM hold, VU hold).
//
// The meter shows what it was last fed, as linear amplitudes (1.0 = full scale). Needle angles
// run from 150 degrees (level 0, up-left) to 30 degrees (level 1.44, up-right), counted
// counter-clockwise from the positive x axis: a = 5pi/6 - (level / 1.44)^1.2 * 2pi/3.
//
// All positions are in the coordinates of the meter's parent, like the meter's own rectangle.
#include <cstdint>

#include "toolkit/toolkit.h"

class COldVuMeter : public toolkit::CControl {
public:
    // `face` is drawn at the rectangle's top-left with its own size; `lamp` holds three images
    // stacked vertically (lit, held, off); `cover` is drawn over the needles' base. The needles
    // turn around `pivot`, the VU needle between `vuInner` and `vuOuter`, the PPM needle between
    // `ppmInner` and `ppmOuter`. `ppmHoldRect` and `vuHoldRect` receive the hold readouts.
    COldVuMeter(const toolkit::CRect& size, toolkit::CControlListener* listener, std::int32_t tag,
                toolkit::CBitmap* face, toolkit::CBitmap* cover, const toolkit::CPoint& lampPosition,
                const toolkit::CPoint& coverPosition, toolkit::CBitmap* lamp, const toolkit::CPoint& pivot,
                float vuInner, float vuOuter, float ppmInner, float ppmOuter, const toolkit::CRect& ppmHoldRect,
                const toolkit::CRect& vuHoldRect);
    COldVuMeter(const COldVuMeter& other);
    COldVuMeter& operator=(const COldVuMeter&) = delete;
    ~COldVuMeter() override;

    bool isTypeOf(const char* name) const override;
    toolkit::CView* newCopy() const override { return new COldVuMeter(*this); }
    void draw(toolkit::CDrawContext* context) override;
    // A left click tells the listener (the editor resets the over lamps and the holds).
    toolkit::CMouseEventResult onMouseDown(toolkit::CPoint& where, const toolkit::CButtonState& buttons) override;

    // True while the lamp shows a past over.
    virtual bool isOverHeld() const;
    // Lamp off.
    virtual void resetOver();
    // Needles, holds and lamp back to (nearly) zero.
    virtual void resetAll();
    // Levels are limited to 1e-9 (below 1e-8) .. 4.
    virtual void setVuLevel(float x);
    // Over flag: 1.0 lights the lamp; a lit lamp fed less than 0.5 turns to held and stays held
    // until the next 1.0 or a reset.
    virtual void setOver(float x);
    virtual void setPpmLevel(float x);
    virtual void setPpmHold(float x);
    virtual void setVuHold(float x);
    virtual void setAll(float vu, float over, float ppm, float ppmHold, float vuHold);

    float getVuLevel() const { return vuLevel; }
    float getPpmLevel() const { return ppmLevel; }
    float getOverState() const { return overState; }
    float getPpmHold() const { return ppmHold; }
    float getVuHold() const { return vuHold; }

    enum LampImage { kLampLit = 0, kLampHeld = 1, kLampOff = 2 };
    // The lamp image the next draw shows.
    LampImage lampImage() const;
    // Needle angle in radians for a level, before the drawing limits.
    static double needleAngle(double level);
    // Angles the next draw gives the needles (levels limited to 1e-6 .. 1.5).
    double vuNeedleAngle() const;
    double ppmNeedleAngle() const;
    // A hold readout: 20 log10 with two decimals and "dB"; "-oodB" below 1e-5. `text` holds 32.
    static void holdText(float hold, char* text);
    // Readout colours: the PPM hold turns red at full scale; the VU hold is always grey.
    toolkit::CColor ppmHoldColor() const;
    toolkit::CColor vuHoldColor() const;

    static constexpr toolkit::CColor kRed{240, 40, 40, 255};
    static constexpr toolkit::CColor kGrey{100, 100, 105, 255};

private:
    static float limitLevel(float x);
    static float limitDrawnLevel(float x);
    void drawNeedle(toolkit::CDrawContext* context, double angle, double inner, double outer) const;
    void drawReadout(toolkit::CDrawContext* context, float hold, const toolkit::CRect& rect,
                     const toolkit::CColor& color) const;
    // The control value is the sum of what is shown, so that any change marks the meter dirty.
    void updateValue();

    toolkit::CBitmap* face;
    toolkit::CBitmap* cover;
    toolkit::CBitmap* lamp;
    toolkit::CPoint lampPosition;
    toolkit::CPoint coverPosition;
    toolkit::CPoint pivot;
    float vuInner;
    float vuOuter;
    float ppmInner;
    float ppmOuter;
    toolkit::CRect ppmHoldRect;
    toolkit::CRect vuHoldRect;

    float vuLevel = 1e-8f;
    float ppmLevel = 1e-8f;
    float overState = 1e-8f;
    float ppmHold = 0;
    float vuHold = 0;
};

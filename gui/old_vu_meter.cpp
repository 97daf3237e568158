#include "gui/old_vu_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace toolkit;

namespace {
constexpr double kPi = 3.14159265358979323846;
}

COldVuMeter::COldVuMeter(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* face,
                         CBitmap* cover, const CPoint& lampPosition, const CPoint& coverPosition, CBitmap* lamp,
                         const CPoint& pivot, float vuInner, float vuOuter, float ppmInner, float ppmOuter,
                         const CRect& ppmHoldRect, const CRect& vuHoldRect)
    : CControl(size, listener, tag, nullptr),
      face(face),
      cover(cover),
      lamp(lamp),
      lampPosition(std::trunc(lampPosition.x), std::trunc(lampPosition.y)),
      coverPosition(coverPosition),
      pivot(pivot),
      vuInner(vuInner),
      vuOuter(vuOuter),
      ppmInner(ppmInner),
      ppmOuter(ppmOuter),
      ppmHoldRect(ppmHoldRect),
      vuHoldRect(vuHoldRect) {
    if (face) face->remember();
    if (cover) cover->remember();
    if (lamp) lamp->remember();
    value = 0;
}

COldVuMeter::COldVuMeter(const COldVuMeter& other)
    : CControl(other),
      face(other.face),
      cover(other.cover),
      lamp(other.lamp),
      lampPosition(other.lampPosition),
      coverPosition(other.coverPosition),
      pivot(other.pivot),
      vuInner(other.vuInner),
      vuOuter(other.vuOuter),
      ppmInner(other.ppmInner),
      ppmOuter(other.ppmOuter),
      ppmHoldRect(other.ppmHoldRect),
      vuHoldRect(other.vuHoldRect),
      vuLevel(other.vuLevel),
      ppmLevel(other.ppmLevel),
      overState(other.overState),
      ppmHold(other.ppmHold),
      vuHold(other.vuHold) {
    if (face) face->remember();
    if (cover) cover->remember();
    if (lamp) lamp->remember();
}

COldVuMeter::~COldVuMeter() {
    if (face) face->forget();
    if (cover) cover->forget();
    if (lamp) lamp->forget();
}

bool COldVuMeter::isTypeOf(const char* name) const {
    return std::strcmp(name, "COldVuMeter") == 0 || CControl::isTypeOf(name);
}

CMouseEventResult COldVuMeter::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    valueChanged();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

// ---------------------------------------------------------------------------------------------
// Inputs

void COldVuMeter::updateValue() { setValue(vuLevel + ppmLevel + overState + ppmHold + vuHold); }

float COldVuMeter::limitLevel(float x) {
    // Not-a-number (a runaway engine) reads as silence rather than reaching the drawing.
    if (!(x >= 1e-8f)) return 1e-9f;
    return std::min(x, 4.0f);
}

bool COldVuMeter::isOverHeld() const { return overState < -0.5f; }

void COldVuMeter::resetOver() {
    overState = 1e-7f;
    updateValue();
}

void COldVuMeter::resetAll() {
    ppmHold = 8.7e-8f;
    vuLevel = 1.1e-7f;
    vuHold = 8.5e-8f;
    overState = 1e-7f;
    ppmLevel = 9e-8f;
    updateValue();
}

void COldVuMeter::setVuLevel(float x) {
    vuLevel = limitLevel(x);
    updateValue();
}

void COldVuMeter::setPpmLevel(float x) {
    ppmLevel = limitLevel(x);
    updateValue();
}

void COldVuMeter::setPpmHold(float x) {
    ppmHold = x;
    updateValue();
}

void COldVuMeter::setVuHold(float x) {
    vuHold = x;
    updateValue();
}

void COldVuMeter::setOver(float x) {
    if (!(std::fabs(x) >= 1e-8f))  // also not-a-number
        x = 1e-9f;
    else
        x = std::clamp(x, -4.0f, 4.0f);
    if (overState >= 0.5f && x < 0.5f)
        overState = -1;  // an over has passed: hold it
    else if (overState > -0.5f || x >= 0.5f)
        overState = x;
    // else: held, and no new over; stays held
    updateValue();
}

void COldVuMeter::setAll(float vu, float over, float ppm, float ppmHoldValue, float vuHoldValue) {
    setVuLevel(vu);
    setOver(over);
    setPpmLevel(ppm);
    setPpmHold(ppmHoldValue);
    setVuHold(vuHoldValue);
}

// ---------------------------------------------------------------------------------------------
// What is shown

float COldVuMeter::limitDrawnLevel(float x) {
    if (!(x >= 1e-6f)) return 1e-6f;
    return std::min(x, 1.5f);
}

COldVuMeter::LampImage COldVuMeter::lampImage() const {
    float over = overState;
    if (!(std::fabs(over) >= 1e-8f))
        over = 1e-9f;
    else
        over = std::clamp(over, -1.5f, 1.5f);
    if (over >= 0.5f) return kLampLit;
    if (over <= -0.5f) return kLampHeld;
    return kLampOff;
}

double COldVuMeter::needleAngle(double level) {
    return 5.0 * kPi / 6.0 - std::pow(level / 1.44, 1.2) * 2.0 * kPi / 3.0;
}

double COldVuMeter::vuNeedleAngle() const { return needleAngle(limitDrawnLevel(vuLevel)); }
double COldVuMeter::ppmNeedleAngle() const { return needleAngle(limitDrawnLevel(ppmLevel)); }

void COldVuMeter::holdText(float hold, char* text) {
    if (hold >= 1e-5f)
        std::snprintf(text, 32, "%2.2fdB", 20.0 * std::log10(static_cast<double>(hold)));
    else
        std::snprintf(text, 32, "-oodB");
}

CColor COldVuMeter::ppmHoldColor() const { return ppmHold >= 1.0f ? kRed : kGrey; }
CColor COldVuMeter::vuHoldColor() const { return kGrey; }

// ---------------------------------------------------------------------------------------------
// Drawing

namespace {

// The part [t0, t1] of the segment a + t (b - a), 0 <= t <= 1, inside `r`; false when none.
bool segmentInside(const CPoint& a, const CPoint& b, const CRect& r, double& t0, double& t1) {
    t0 = 0;
    t1 = 1;
    const double d[2] = {b.x - a.x, b.y - a.y};
    const double lo[2] = {r.left - a.x, r.top - a.y};
    const double hi[2] = {r.right - a.x, r.bottom - a.y};
    for (int k = 0; k < 2; ++k) {
        if (std::fabs(d[k]) < 1e-12) {
            if (lo[k] > 0 || hi[k] < 0) return false;
            continue;
        }
        double e0 = lo[k] / d[k], e1 = hi[k] / d[k];
        if (e0 > e1) std::swap(e0, e1);
        t0 = std::max(t0, e0);
        t1 = std::min(t1, e1);
    }
    return t0 < t1;
}

CPoint along(const CPoint& a, const CPoint& b, double t) { return CPoint(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)); }

}  // namespace

void COldVuMeter::drawNeedle(CDrawContext* context, double angle, double inner, double outer) const {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    // The needles pass behind the windows of the hold readouts (the readout plus the one-pixel
    // rim of its well on the face, plus a pixel for the width of the antialiased stroke), so the
    // numbers stay readable wherever a needle points.
    CRect windows[2] = {ppmHoldRect, vuHoldRect};
    for (CRect& w : windows) w.inset(-2, -2);
    // Five strokes a fraction of a pixel apart give the needle body without a thick line's blur.
    static const double offsets[5][2] = {{1, 0}, {0, 0}, {1, 1}, {0, 1}, {0.5, 0.5}};
    for (const auto& o : offsets) {
        const double x = pivot.x + o[0];
        const double y = pivot.y + o[1];
        const CPoint from(x + inner * c, y - inner * s), to(x + outer * c, y - outer * s);
        // Visible stretches of the stroke: [0, 1] without the parts inside the windows.
        double cuts[2][2];
        int n = 0;
        for (const CRect& w : windows) {
            double t0, t1;
            if (segmentInside(from, to, w, t0, t1)) {
                cuts[n][0] = t0;
                cuts[n][1] = t1;
                ++n;
            }
        }
        if (n == 2 && cuts[1][0] < cuts[0][0]) {
            std::swap(cuts[0][0], cuts[1][0]);
            std::swap(cuts[0][1], cuts[1][1]);
        }
        double start = 0;
        for (int k = 0; k < n; ++k) {
            if (cuts[k][0] > start) context->drawLine(along(from, to, start), along(from, to, cuts[k][0]));
            start = std::max(start, cuts[k][1]);
        }
        if (start < 1) context->drawLine(along(from, to, start), to);
    }
}

void COldVuMeter::drawReadout(CDrawContext* context, float hold, const CRect& rect, const CColor& color) const {
    char text[32];
    holdText(hold, text);
    context->setFont(kNormalFontVerySmall);
    context->setFontColor(color);
    context->drawString(text, rect, kCenterText, true);
}

void COldVuMeter::draw(CDrawContext* context) {
    context->setLineWidth(1);
    context->setLineStyle(kLineSolid);
    context->setDrawMode(kAntialias);

    if (face) {
        const CPoint at(std::trunc(size.left), std::trunc(size.top));
        face->draw(context, CRect::fromSize(at, face->getWidth(), face->getHeight()));
    }
    if (lamp) {
        const CCoord imageHeight = lamp->getHeight() / 3;
        lamp->draw(context, CRect::fromSize(lampPosition, lamp->getWidth(), imageHeight),
                   CPoint(0, lampImage() * imageHeight));
    }
    drawReadout(context, ppmHold, ppmHoldRect, ppmHoldColor());
    drawReadout(context, vuHold, vuHoldRect, vuHoldColor());

    context->setFrameColor(kRed);
    drawNeedle(context, ppmNeedleAngle(), ppmInner, ppmOuter);
    context->setFrameColor(kGrey);
    drawNeedle(context, vuNeedleAngle(), vuInner, vuOuter);

    if (cover) cover->draw(context, CRect::fromSize(coverPosition, cover->getWidth(), cover->getHeight()));
    setDirty(false);
}

#include "toolkit/cframe.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#ifdef _WIN32
#include "toolkit/win32window.h"
#else
#include "toolkit/x11window.h"
#endif

namespace toolkit {

std::uint32_t CFrame::steadyClock() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::int32_t CFrame::getKnobMode() const { return editor ? editor->getKnobMode() : knobMode; }

void CFrame::beginEdit(std::int32_t index) {
    if (editor) editor->beginEdit(index);
}

void CFrame::endEdit(std::int32_t index) {
    if (editor) editor->endEdit(index);
}

int CFrame::deviceSize(CCoord length) const {
    return std::max(1, static_cast<int>(std::ceil(length * scale - 1e-9)));
}

CRect CFrame::toDevice(const CRect& r) const {
    return CRect(std::floor(r.left * scale + 1e-9), std::floor(r.top * scale + 1e-9), std::ceil(r.right * scale - 1e-9),
                 std::ceil(r.bottom * scale - 1e-9));
}

CRect CFrame::wholePixels(const CRect& r) const {
    if (scale == 1.0) return r;
    const CRect d = toDevice(r);
    return CRect(d.left / scale, d.top / scale, d.right / scale, d.bottom / scale);
}

void CFrame::invalid() {
    setDirty(true);
    invalidFrameRect(size);
}

void CFrame::invalidFrameRect(const CRect& rect) {
    CRect r(std::floor(rect.left), std::floor(rect.top), std::ceil(rect.right), std::ceil(rect.bottom));
    r.bound(size);
    if (r.isEmpty()) return;
    for (CRect& existing : invalidRects) {
        if (existing.rectOverlap(r)) {
            existing.unite(r);
            return;
        }
    }
    // Many scattered rectangles: one bounding rectangle is cheaper than many small passes.
    if (invalidRects.size() >= 16) {
        for (const CRect& existing : invalidRects) r.unite(existing);
        invalidRects.clear();
    }
    invalidRects.push_back(r);
}

void CFrame::collectDirty(CViewContainer* container) {
    for (int i = 0; i < container->getNbViews(); ++i) {
        CView* child = container->getView(i);
        if (!child->isVisible()) continue;
        if (child->isDirty()) invalidFrameRect(child->localToFrame(child->getViewSize()));
        if (child->isContainer()) collectDirty(static_cast<CViewContainer*>(child));
    }
}

void CFrame::idle() {
    if (inIdle) return;
    inIdle = true;
    {
        EventScope scope(*this);
        if (window) window->pump();
        updateTooltip();
        if (isDirty()) invalidFrameRect(size);
        collectDirty(this);
        redrawInvalid();
    }
    inIdle = false;
}

void CFrame::updateMouseOver(const CPoint& where, const CButtonState& buttons) {
    CView* now = mouseInside ? getViewAt(where, true) : nullptr;
    if (now == mouseOverView) return;
    CView* old = mouseOverView;
    mouseOverView = now;
    if (old) {
        CPoint p = old->frameToLocal(where);
        old->onMouseExited(p, buttons);
    }
    // The exited handler may have changed the view tree; look again before entering.
    if (now && mouseOverView == now && now->getFrame() == this) {
        CPoint p = now->frameToLocal(where);
        now->onMouseEntered(p, buttons);
    }
}

CMouseEventResult CFrame::dispatchMouseDown(const CPoint& at, const CButtonState& buttons) {
    EventScope scope(*this);
    const CPoint where = fromDevice(at);
    mouseLocation = where;
    mouseInside = size.pointInside(where);
    mouseButtons = buttons;
    hideTooltip();
    tooltipSuppressed = true;
    // A press elsewhere ends text entry in the focused view.
    if (focusView) {
        const CRect r = focusView->localToFrame(focusView->getViewSize());
        if (!r.pointInside(where)) setFocusView(nullptr);
    }
    updateMouseOver(where, CButtonState(buttons.getModifierState()));
    CPoint p = where;
    return CViewContainer::onMouseDown(p, buttons);
}

CMouseEventResult CFrame::dispatchMouseUp(const CPoint& at, const CButtonState& buttons) {
    EventScope scope(*this);
    const CPoint where = fromDevice(at);
    mouseLocation = where;
    mouseInside = size.pointInside(where);
    mouseButtons = CButtonState(buttons.getModifierState());
    CPoint p = where;
    const CMouseEventResult result = CViewContainer::onMouseUp(p, buttons);
    updateMouseOver(where, mouseButtons);
    return result;
}

CMouseEventResult CFrame::dispatchMouseMoved(const CPoint& at, const CButtonState& buttons) {
    EventScope scope(*this);
    const CPoint where = fromDevice(at);
    mouseLocation = where;
    mouseInside = size.pointInside(where);
    mouseButtons = buttons;
    CPoint p = where;
    // While a press is being tracked the pressed view keeps the mouse; otherwise the view
    // under the mouse follows it.
    if (mouseDownView) return CViewContainer::onMouseMoved(p, buttons);
    updateMouseOver(where, buttons);
    noteHover(buttons);
    if (!mouseOverView) return kMouseEventNotHandled;
    CPoint local = mouseOverView->frameToLocal(where);
    return mouseOverView->onMouseMoved(local, buttons);
}

void CFrame::dispatchMouseExited() {
    EventScope scope(*this);
    mouseInside = false;
    hideTooltip();
    tooltipView = nullptr;
    if (!mouseDownView) updateMouseOver(mouseLocation, mouseButtons);
}

bool CFrame::dispatchWheel(const CPoint& at, float distance, const CButtonState& buttons) {
    EventScope scope(*this);
    const CPoint where = fromDevice(at);
    mouseLocation = where;
    mouseInside = size.pointInside(where);
    hideTooltip();
    tooltipSuppressed = true;
    return CViewContainer::onWheel(where, distance, buttons);
}

bool CFrame::dispatchWheel(float distance, const CButtonState& buttons) {
    if (!mouseInside) return false;
    return dispatchWheel(CPoint(mouseLocation.x * scale, mouseLocation.y * scale), distance, buttons);
}

std::int32_t CFrame::dispatchKeyDown(VstKeyCode& key) {
    EventScope scope(*this);
    if (focusView) {
        const std::int32_t r = focusView->onKeyDown(key);
        if (r != kKeyNotHandled) return r;
    }
    if (mouseOverView && mouseOverView != focusView) return mouseOverView->onKeyDown(key);
    return kKeyNotHandled;
}

std::int32_t CFrame::dispatchKeyUp(VstKeyCode& key) {
    EventScope scope(*this);
    if (focusView) {
        const std::int32_t r = focusView->onKeyUp(key);
        if (r != kKeyNotHandled) return r;
    }
    if (mouseOverView && mouseOverView != focusView) return mouseOverView->onKeyUp(key);
    return kKeyNotHandled;
}

bool CFrame::getCurrentMouseLocation(CPoint& where) const {
    where = mouseLocation;
    return mouseInside;
}

void CFrame::setFocusView(CView* view) {
    if (view == focusView) return;
    EventScope scope(*this);
    CView* old = focusView;
    focusView = view;
    if (old) old->looseFocus();
    if (view && focusView == view) {
        view->takeFocus();
        if (window) window->takeKeyboard();
    } else if (old && !focusView && window) {
        // Typing is over: the host's shortcuts work again.
        window->returnKeyboard();
    }
}

void CFrame::viewRemoved(CView* view) {
    if (tooltipView == view) {
        hideTooltip();
        tooltipView = nullptr;
    }
    if (mouseOverView == view) mouseOverView = nullptr;
    if (focusView == view) focusView = nullptr;
    forgetEventTarget(view);
}

void CFrame::forgetLater(CView* view) {
    if (!view) return;
    if (eventDepth > 0)
        pendingForget.push_back(view);
    else
        view->forget();
}

void CFrame::releasePending() {
    while (!pendingForget.empty()) {
        CView* view = pendingForget.back();
        pendingForget.pop_back();
        view->forget();
    }
}

void CFrame::setTooltipSource(CTooltipSource* source) {
    if (!source) hideTooltip();
    tooltipSource = source;
}

void CFrame::hideTooltip() {
    if (!tooltipShown) return;
    tooltipShown = false;
    invalidFrameRect(tooltip.getArea());
}

void CFrame::noteHover(const CButtonState& buttons) {
    if (buttons & (kLButton | kMButton | kRButton)) {
        hideTooltip();
        tooltipSuppressed = true;
        return;
    }
    if (mouseOverView != tooltipView) {
        hideTooltip();
        tooltipView = mouseOverView;
        tooltipSuppressed = false;
        hoverSince = clock();
    } else if (!tooltipShown) {
        hoverSince = clock();  // the delay counts from when the mouse comes to rest
    }
}

void CFrame::updateTooltip() {
    if (!tooltipSource) return;
    if (!mouseInside || !tooltipView || tooltipSuppressed || (mouseButtons & (kLButton | kMButton | kRButton))) {
        hideTooltip();
        return;
    }
    if (!tooltipShown && clock() - hoverSince < kTooltipDelayMs) return;
    std::string text;
    if (!tooltipSource->tooltipFor(tooltipView, text) || text.empty()) {
        hideTooltip();
        return;
    }
    if (tooltipShown && text == tooltip.getText()) return;
    hideTooltip();
    placeTooltip(text, tooltipView->localToFrame(tooltipView->getViewSize()), mouseLocation.x);
    tooltipShown = true;
    invalidFrameRect(tooltip.getArea());
}

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect) {
    CViewContainer::drawRect(context, updateRect);
    if (tooltipShown && updateRect.rectOverlap(tooltip.getArea())) tooltip.draw(context);
}

bool CFrame::isTypeOf(const char* name) const {
    return std::strcmp(name, "CFrame") == 0 || CViewContainer::isTypeOf(name);
}

}  // namespace toolkit

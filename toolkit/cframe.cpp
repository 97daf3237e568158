#include "toolkit/cframe.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "toolkit/cdrawcontext.h"
#include "toolkit/x11window.h"

namespace toolkit {

// Counts nested event handling so that views removed meanwhile are released only afterwards.
struct CFrame::EventScope {
    explicit EventScope(CFrame& f) : frame(f) { ++frame.eventDepth; }
    ~EventScope() {
        if (--frame.eventDepth == 0) frame.releasePending();
    }
    CFrame& frame;
};

CFrame::CFrame(const CRect& rect, void* systemWindow, CEditorInterface* editor)
    : CViewContainer(CRect(0, 0, std::max<CCoord>(1, std::ceil(rect.getWidth())),
                           std::max<CCoord>(1, std::ceil(rect.getHeight())))),
      editor(editor) {
    frame = this;
    const int width = static_cast<int>(size.getWidth());
    const int height = static_cast<int>(size.getHeight());
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        surface = nullptr;
    }
    if (systemWindow && surface) {
        window = std::make_unique<X11Window>(reinterpret_cast<unsigned long>(systemWindow), width, height, *this);
        if (!window->isOpen()) window.reset();
        embeddedRequested = true;
    }
    invalidFrameRect(size);
}

CFrame::~CFrame() {
    ++eventDepth;
    removeAll(true);
    --eventDepth;
    releasePending();
    window.reset();
    if (surface) cairo_surface_destroy(surface);
}

bool CFrame::isOpen() const { return surface && (!embeddedRequested || window); }

void* CFrame::getSystemWindow() const {
    return window ? reinterpret_cast<void*>(window->id()) : nullptr;
}

std::int32_t CFrame::getKnobMode() const { return editor ? editor->getKnobMode() : knobMode; }

void CFrame::beginEdit(std::int32_t index) {
    if (editor) editor->beginEdit(index);
}

void CFrame::endEdit(std::int32_t index) {
    if (editor) editor->endEdit(index);
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

void CFrame::redrawInvalid() {
    if (!surface || invalidRects.empty()) return;
    std::vector<CRect> rects;
    rects.swap(invalidRects);
    cairo_t* cr = cairo_create(surface);
    {
        CDrawContext context(cr);
        for (const CRect& r : rects) {
            context.saveState();
            context.clipRect(r);
            drawRect(&context, r);
            context.restoreState();
        }
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (window) window->present(surface, rects);
}

void CFrame::idle() {
    if (inIdle) return;
    inIdle = true;
    {
        EventScope scope(*this);
        if (window) window->pump();
        if (isDirty()) invalidFrameRect(size);
        collectDirty(this);
        redrawInvalid();
    }
    inIdle = false;
}

bool CFrame::writePng(const char* path) {
    if (!surface || !path) return false;
    {
        EventScope scope(*this);
        invalidFrameRect(size);
        collectDirty(this);
        redrawInvalid();
    }
    return cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
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

CMouseEventResult CFrame::dispatchMouseDown(const CPoint& where, const CButtonState& buttons) {
    EventScope scope(*this);
    mouseLocation = where;
    mouseInside = size.pointInside(where);
    mouseButtons = buttons;
    // A press elsewhere ends text entry in the focused view.
    if (focusView) {
        const CRect r = focusView->localToFrame(focusView->getViewSize());
        if (!r.pointInside(where)) setFocusView(nullptr);
    }
    updateMouseOver(where, CButtonState(buttons.getModifierState()));
    CPoint p = where;
    return CViewContainer::onMouseDown(p, buttons);
}

CMouseEventResult CFrame::dispatchMouseUp(const CPoint& where, const CButtonState& buttons) {
    EventScope scope(*this);
    mouseLocation = where;
    mouseInside = size.pointInside(where);
    mouseButtons = CButtonState(buttons.getModifierState());
    CPoint p = where;
    const CMouseEventResult result = CViewContainer::onMouseUp(p, buttons);
    updateMouseOver(where, mouseButtons);
    return result;
}

CMouseEventResult CFrame::dispatchMouseMoved(const CPoint& where, const CButtonState& buttons) {
    EventScope scope(*this);
    mouseLocation = where;
    mouseInside = size.pointInside(where);
    mouseButtons = buttons;
    CPoint p = where;
    // While a press is being tracked the pressed view keeps the mouse; otherwise the view
    // under the mouse follows it.
    if (mouseDownView) return CViewContainer::onMouseMoved(p, buttons);
    updateMouseOver(where, buttons);
    if (!mouseOverView) return kMouseEventNotHandled;
    CPoint local = mouseOverView->frameToLocal(where);
    return mouseOverView->onMouseMoved(local, buttons);
}

void CFrame::dispatchMouseExited() {
    EventScope scope(*this);
    mouseInside = false;
    if (!mouseDownView) updateMouseOver(mouseLocation, mouseButtons);
}

bool CFrame::dispatchWheel(const CPoint& where, float distance, const CButtonState& buttons) {
    EventScope scope(*this);
    mouseLocation = where;
    mouseInside = size.pointInside(where);
    return CViewContainer::onWheel(where, distance, buttons);
}

bool CFrame::dispatchWheel(float distance, const CButtonState& buttons) {
    if (!mouseInside) return false;
    return dispatchWheel(mouseLocation, distance, buttons);
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
    }
}

void CFrame::viewRemoved(CView* view) {
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

bool CFrame::isTypeOf(const char* name) const {
    return std::strcmp(name, "CFrame") == 0 || CViewContainer::isTypeOf(name);
}

}  // namespace toolkit

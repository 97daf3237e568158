#include "toolkit/cview.h"

#include <cstring>

#include "toolkit/cbitmap.h"
#include "toolkit/cdrawcontext.h"
#include "toolkit/cframe.h"
#include "toolkit/cviewcontainer.h"

namespace toolkit {

CView::CView(const CRect& size) : size(size) {}

CView::CView(const CView& other)
    : CBaseObject(other),
      size(other.size),
      background(other.background),
      transparent(other.transparent),
      visible(other.visible),
      mouseEnabled(other.mouseEnabled) {
    if (background) background->remember();
}

CView::~CView() {
    if (background) background->forget();
}

void CView::draw(CDrawContext* context) {
    if (background) background->draw(context, size);
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect& updateRect) {
    CRect clip = size;
    clip.bound(updateRect);
    if (clip.isEmpty()) return;
    context->saveState();
    context->clipRect(clip);
    draw(context);
    context->restoreState();
}

CMouseEventResult CView::onMouseDown(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseUp(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseMoved(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseEntered(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseExited(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
bool CView::onWheel(const CPoint&, const float&, const CButtonState&) { return false; }
std::int32_t CView::onKeyDown(VstKeyCode&) { return kKeyNotHandled; }
std::int32_t CView::onKeyUp(VstKeyCode&) { return kKeyNotHandled; }

void CView::invalid() {
    setDirty(true);
    invalidRect(size);
}

void CView::invalidRect(const CRect& rect) {
    if (frame && visible) frame->invalidFrameRect(localToFrame(rect));
}

void CView::setViewSize(const CRect& newSize, bool invalidate) {
    if (invalidate) invalid();
    size = newSize;
    if (invalidate) invalid();
}

void CView::setBackground(CBitmap* bitmap) {
    if (bitmap == background) return;
    if (bitmap) bitmap->remember();
    if (background) background->forget();
    background = bitmap;
    setDirty();
}

void CView::setVisible(bool state) {
    if (state == visible) return;
    if (!state) invalid();
    visible = state;
    if (state) invalid();
}

CPoint CView::getOriginInFrame() const {
    CPoint origin;
    for (const CViewContainer* p = parent; p && p != static_cast<const CViewContainer*>(frame); p = p->getParentView()) {
        const CPoint o = p->getChildOrigin();
        origin.offset(o.x, o.y);
    }
    return origin;
}

CRect CView::localToFrame(CRect rect) const {
    const CPoint o = getOriginInFrame();
    return rect.offset(o.x, o.y);
}

CPoint CView::frameToLocal(CPoint point) const {
    const CPoint o = getOriginInFrame();
    return point.offset(-o.x, -o.y);
}

void CView::attached(CViewContainer* newParent) {
    parent = newParent;
    frame = newParent ? newParent->getFrame() : nullptr;
    setDirty(true);
}

void CView::removed(CViewContainer*) {
    if (frame) frame->viewRemoved(this);
    parent = nullptr;
    frame = nullptr;
}

bool CView::isTypeOf(const char* name) const {
    return std::strcmp(name, "CView") == 0 || CBaseObject::isTypeOf(name);
}

}  // namespace toolkit

#include "toolkit/cviewcontainer.h"

#include <algorithm>
#include <cstring>

#include "toolkit/cbitmap.h"
#include "toolkit/cdrawcontext.h"
#include "toolkit/cframe.h"

namespace toolkit {

CViewContainer::CViewContainer(const CRect& size, CFrame*, CBitmap* bitmap) : CView(size) {
    setBackground(bitmap);
}

CViewContainer::~CViewContainer() { removeAll(true); }

bool CViewContainer::addView(CView* view) {
    if (!view || view->isAttached() || view == this) return false;
    children.push_back(view);
    view->attached(this);
    view->invalid();
    return true;
}

bool CViewContainer::removeView(CView* view, bool withForget) {
    auto it = std::find(children.begin(), children.end(), view);
    if (it == children.end()) return false;
    view->invalid();
    children.erase(it);
    forgetEventTarget(view);
    CFrame* f = frame;
    view->removed(this);
    if (withForget) {
        if (f)
            f->forgetLater(view);
        else
            view->forget();
    }
    return true;
}

void CViewContainer::removeAll(bool withForget) {
    while (!children.empty()) removeView(children.back(), withForget);
}

bool CViewContainer::isChild(const CView* view) const {
    return std::find(children.begin(), children.end(), view) != children.end();
}

CView* CViewContainer::getView(int index) const {
    if (index < 0 || index >= getNbViews()) return nullptr;
    return children[static_cast<size_t>(index)];
}

CPoint CViewContainer::toChild(const CPoint& where) const {
    const CPoint o = getChildOrigin();
    return CPoint(where.x - o.x, where.y - o.y);
}

CView* CViewContainer::getViewAt(const CPoint& where, bool deep) const {
    if (!size.pointInside(where)) return nullptr;
    const CPoint local = toChild(where);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        if (!child->isVisible() || !child->getViewSize().pointInside(local)) continue;
        if (deep && child->isContainer()) {
            if (CView* inner = static_cast<CViewContainer*>(child)->getViewAt(local, true)) return inner;
        }
        return child;
    }
    return nullptr;
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& updateRect) {
    CRect clip = size;
    clip.bound(updateRect);
    if (clip.isEmpty()) return;
    if (background) {
        context->saveState();
        context->clipRect(clip);
        background->draw(context, size, backgroundOffset);
        context->restoreState();
    } else if (!transparent) {
        context->setFillColor(backgroundColor);
        context->fillRect(clip);
    }
}

void CViewContainer::draw(CDrawContext* context) { drawRect(context, size); }

void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect) {
    drawBackgroundRect(context, updateRect);
    CRect clip = size;
    clip.bound(updateRect);
    if (!clip.isEmpty()) {
        const CPoint o = getChildOrigin();
        CRect local = clip;
        local.offset(-o.x, -o.y);
        context->saveState();
        context->translate(o.x, o.y);
        // Copy: a child may change the list while drawing (it should not, but must not crash).
        const std::vector<CView*> snapshot = children;
        for (CView* child : snapshot) {
            if (!child->isVisible() || !child->getViewSize().rectOverlap(local)) continue;
            child->drawRect(context, local);
            child->setDirty(false);
        }
        context->restoreState();
    }
    setDirty(false);
}

CMouseEventResult CViewContainer::onMouseDown(CPoint& where, const CButtonState& buttons) {
    mouseDownView = nullptr;
    const CPoint local = toChild(where);
    const std::vector<CView*> snapshot = children;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
        CView* child = *it;
        if (!isChild(child) || !child->isVisible() || !child->getMouseEnabled() ||
            !child->getViewSize().pointInside(local))
            continue;
        CPoint p = local;
        const CMouseEventResult result = child->onMouseDown(p, buttons);
        if (result == kMouseEventHandled) {
            // The child may have been taken out by its own handler; then nothing follows.
            if (isChild(child)) mouseDownView = child;
            return result;
        }
        if (result == kMouseDownEventHandledButDontNeedMovedOrUpEvents) return result;
    }
    return kMouseEventNotHandled;
}

CMouseEventResult CViewContainer::onMouseUp(CPoint& where, const CButtonState& buttons) {
    CView* target = mouseDownView;
    mouseDownView = nullptr;
    if (!target) return kMouseEventNotHandled;
    CPoint p = toChild(where);
    return target->onMouseUp(p, buttons);
}

CMouseEventResult CViewContainer::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    CPoint p = toChild(where);
    if (mouseDownView) return mouseDownView->onMouseMoved(p, buttons);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        if (child->isVisible() && child->getMouseEnabled() && child->getViewSize().pointInside(p))
            return child->onMouseMoved(p, buttons);
    }
    return kMouseEventNotHandled;
}

bool CViewContainer::onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) {
    const CPoint local = toChild(where);
    const std::vector<CView*> snapshot = children;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
        CView* child = *it;
        if (!isChild(child) || !child->isVisible() || !child->getMouseEnabled() ||
            !child->getViewSize().pointInside(local))
            continue;
        if (child->onWheel(local, distance, buttons)) return true;
    }
    return false;
}

void CViewContainer::attached(CViewContainer* newParent) {
    CView::attached(newParent);
    for (CView* child : children) child->attached(this);
}

void CViewContainer::removed(CViewContainer* oldParent) {
    mouseDownView = nullptr;
    // The children stay ours; they only lose their way to the frame, which forgets them.
    for (CView* child : children) child->removed(this);
    CView::removed(oldParent);
    for (CView* child : children) child->attached(this);
}

void CViewContainer::forgetEventTarget(const CView* view) {
    if (mouseDownView == view) mouseDownView = nullptr;
}

bool CViewContainer::isTypeOf(const char* name) const {
    return std::strcmp(name, "CViewContainer") == 0 || CView::isTypeOf(name);
}

}  // namespace toolkit

#pragma once
// A view that holds other views. Children are placed in the container's own coordinates, whose
// origin is the container's top-left corner; the container draws its background and then its
// children in order, and routes mouse events to the topmost child under the mouse.
#include <vector>

#include "toolkit/cview.h"

namespace toolkit {

class CViewContainer : public CView {
public:
    CViewContainer(const CRect& size, CFrame* frame = nullptr, CBitmap* background = nullptr);
    ~CViewContainer() override;
    CViewContainer(const CViewContainer&) = delete;
    CViewContainer& operator=(const CViewContainer&) = delete;

    // Takes over the caller's reference to `view` and shows it above the existing children.
    virtual bool addView(CView* view);
    // Takes `view` out; with `withForget` the container drops its reference (deleting the view
    // once no one else holds it, after the event being handled has finished).
    virtual bool removeView(CView* view, bool withForget = true);
    virtual void removeAll(bool withForget = true);
    bool isChild(const CView* view) const;
    int getNbViews() const { return static_cast<int>(children.size()); }
    CView* getView(int index) const;
    // The topmost visible child under `where` (given in this container's own coordinate
    // system, that of its rectangle); with `deep` the search descends into child containers.
    CView* getViewAt(const CPoint& where, bool deep = false) const;

    void setBackgroundColor(const CColor& c) { backgroundColor = c; setDirty(); }
    CColor getBackgroundColor() const { return backgroundColor; }
    void setBackgroundOffset(const CPoint& p) { backgroundOffset = p; setDirty(); }
    const CPoint& getBackgroundOffset() const { return backgroundOffset; }
    // Offset of the children's coordinate system against the container's own.
    virtual CPoint getChildOrigin() const { return size.getTopLeft(); }

    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    // Draws the background (bitmap or colour) only.
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& updateRect);

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;

    void attached(CViewContainer* newParent) override;
    void removed(CViewContainer* oldParent) override;
    bool isContainer() const override { return true; }
    bool isTypeOf(const char* name) const override;

    // The child that took the current mouse press and receives its moved and up events.
    CView* getMouseDownView() const { return mouseDownView; }
    // Forgets any reference to `view` kept for event routing.
    void forgetEventTarget(const CView* view);

protected:
    CPoint toChild(const CPoint& where) const;

    std::vector<CView*> children;
    CView* mouseDownView = nullptr;
    CColor backgroundColor = kBlackCColor;
    CPoint backgroundOffset;
};

}  // namespace toolkit

#pragma once
// The base of everything shown in an editor window. A view has a rectangle in the coordinates
// of its parent container, may carry a background bitmap, receives mouse, wheel and key events
// in those same coordinates, and is redrawn by the frame's idle pass when it is dirty.
#include <cstdint>

#include "host/aeffeditor.h"
#include "toolkit/baseobject.h"
#include "toolkit/events.h"
#include "toolkit/geometry.h"

namespace toolkit {

class CBitmap;
class CDrawContext;
class CFrame;
class CViewContainer;

class CView : public CBaseObject {
public:
    explicit CView(const CRect& size);
    // The copy is detached and dirty; it shares the background bitmap.
    CView(const CView& other);
    ~CView() override;

    // Draws the view; the context is clipped to the view's rectangle. The base draws the
    // background bitmap and marks the view clean.
    virtual void draw(CDrawContext* context);
    // Draws the part of the view inside `updateRect`.
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);

    virtual CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons);
    // Wheel turned by `distance` notches (positive away from the user); true when used.
    virtual bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons);
    // kKeyHandled or kKeyNotHandled.
    virtual std::int32_t onKeyDown(VstKeyCode& key);
    virtual std::int32_t onKeyUp(VstKeyCode& key);

    // A dirty view is redrawn by the next idle pass of its frame.
    virtual void setDirty(bool state = true) { dirty = state; }
    virtual bool isDirty() const { return dirty; }
    // Asks for the whole view to be redrawn at the next idle pass.
    virtual void invalid();
    // Asks for `rect` (in this view's coordinates, i.e. its parent's) to be redrawn.
    void invalidRect(const CRect& rect);

    const CRect& getViewSize() const { return size; }
    virtual void setViewSize(const CRect& newSize, bool invalidate = true);
    CCoord getWidth() const { return size.getWidth(); }
    CCoord getHeight() const { return size.getHeight(); }

    // Remembers the new bitmap and forgets the old one; null removes it.
    virtual void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }
    virtual void setTransparency(bool state) { transparent = state; setDirty(); }
    bool getTransparency() const { return transparent; }
    virtual void setVisible(bool state);
    bool isVisible() const { return visible; }
    void setMouseEnabled(bool state) { mouseEnabled = state; }
    bool getMouseEnabled() const { return mouseEnabled; }

    CViewContainer* getParentView() const { return parent; }
    CFrame* getFrame() const { return frame; }
    bool isAttached() const { return parent != nullptr; }
    virtual bool isContainer() const { return false; }

    // Where the origin of this view's coordinate system lies in frame coordinates.
    CPoint getOriginInFrame() const;
    CRect localToFrame(CRect rect) const;
    CPoint frameToLocal(CPoint point) const;

    // Called when the view is put into, or taken out of, a container.
    virtual void attached(CViewContainer* newParent);
    virtual void removed(CViewContainer* oldParent);
    // Keyboard focus given to or taken from this view by the frame.
    virtual void takeFocus() {}
    virtual void looseFocus() {}

    virtual CView* newCopy() const { return nullptr; }
    bool isTypeOf(const char* name) const override;

protected:
    CRect size;
    CViewContainer* parent = nullptr;
    CFrame* frame = nullptr;
    CBitmap* background = nullptr;
    bool dirty = true;
    bool transparent = false;
    bool visible = true;
    bool mouseEnabled = true;
};

}  // namespace toolkit

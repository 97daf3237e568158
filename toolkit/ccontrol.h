#pragma once
// A view with a value. A control holds a value between its minimum and maximum, a default
// value, a tag that tells its listener which parameter it stands for, and a background bitmap
// drawn from an offset. A control counts as dirty while its value differs from the value it
// showed when last drawn, so setting a value is enough to have it redrawn on the next idle.
#include <cstdint>

#include "toolkit/cview.h"

namespace toolkit {

class CControl;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    // The user changed `control`'s value.
    virtual void valueChanged(CControl* control) = 0;
};

class CControl : public CView {
public:
    CControl(const CRect& size, CControlListener* listener = nullptr, std::int32_t tag = 0,
             CBitmap* background = nullptr);
    CControl(const CControl& other);
    ~CControl() override;

    virtual void setValue(float value);
    float getValue() const { return value; }
    // The value before the last change of value.
    float getOldValue() const { return oldValue; }
    virtual void setMin(float v) { minValue = v; }
    float getMin() const { return minValue; }
    virtual void setMax(float v) { maxValue = v; }
    float getMax() const { return maxValue; }
    void setDefaultValue(float v) { defaultValue = v; }
    float getDefaultValue() const { return defaultValue; }
    void setTag(std::int32_t t) { tag = t; }
    std::int32_t getTag() const { return tag; }
    void setListener(CControlListener* l) { listener = l; }
    CControlListener* getListener() const { return listener; }
    void setBackOffset(const CPoint& p) { backOffset = p; setDirty(); }
    const CPoint& getBackOffset() const { return backOffset; }
    // Value step of one wheel notch.
    void setWheelInc(float inc) { wheelInc = inc; }
    float getWheelInc() const { return wheelInc; }

    // Limits the value to min..max.
    virtual void bounceValue();
    // Tells the listener that the value changed.
    virtual void valueChanged();
    // Begin and end of a user's edit gesture, reported to the editor with the control's tag.
    // Unbalanced calls are ignored; a control taken out of its frame ends an open gesture.
    virtual void beginEdit();
    virtual void endEdit();
    bool isEditing() const { return editing; }

    bool isDirty() const override;
    void setDirty(bool state = true) override;
    void draw(CDrawContext* context) override;
    void removed(CViewContainer* oldParent) override;
    bool isTypeOf(const char* name) const override;

    // Draws image `index` of a vertical strip of images `heightOfOneImage` high from the
    // background bitmap, starting at the background offset, into the control's rectangle.
    void drawStripImage(CDrawContext* context, int index, CCoord heightOfOneImage) const;

protected:
    CControlListener* listener;
    std::int32_t tag;
    float value = 0;
    float oldValue = 0;
    float minValue = 0;
    float maxValue = 1;
    float defaultValue = 0.5f;
    float wheelInc = 0.1f;
    float drawnValue;
    CPoint backOffset;
    bool editing = false;
};

}  // namespace toolkit

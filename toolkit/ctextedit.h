#pragma once
// A text field. A left click starts typing in place: the field takes the keyboard, selects its
// whole text (the first character typed, Backspace or Delete replaces it; Left, Right, Home and
// End drop the selection and move the caret), shows a caret, and takes printable characters,
// Backspace, Delete, Left, Right, Home and End. Enter (Return or keypad Enter) keeps the typed
// text and tells the listener; Escape restores the text from before the click. A click
// elsewhere keeps the text and tells the listener too. Either way the keyboard goes back to the
// host's window. Taking the field out of its frame while typing drops what was typed.
#include <string>

#include "toolkit/cparamdisplay.h"

namespace toolkit {

class CTextEdit : public CParamDisplay {
public:
    CTextEdit(const CRect& size, CControlListener* listener, std::int32_t tag, const char* text = nullptr,
              CBitmap* background = nullptr, std::int32_t style = 0);
    CTextEdit(const CTextEdit& other);

    // At most kDisplayTextSize - 1 characters are kept.
    virtual void setText(const char* text);
    const char* getText() const { return text.c_str(); }
    bool isTyping() const { return typing; }
    // Text being typed (equal to the text when not typing).
    const std::string& getTypedText() const { return typing ? typed : text; }
    // True while typing with the whole text selected.
    bool isAllSelected() const { return typing && allSelected; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    std::int32_t onKeyDown(VstKeyCode& key) override;
    std::int32_t onKeyUp(VstKeyCode& key) override;
    void takeFocus() override;
    void looseFocus() override;
    void removed(CViewContainer* oldParent) override;
    CView* newCopy() const override { return new CTextEdit(*this); }
    bool isTypeOf(const char* name) const override;

protected:
    void beginTyping();
    void finishTyping(bool keep);
    void clearSelected();

    std::string text;
    std::string typed;
    size_t caret = 0;
    bool typing = false;
    bool allSelected = false;
};

}  // namespace toolkit

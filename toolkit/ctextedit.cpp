#include "toolkit/ctextedit.h"

#include <cstring>

#include "toolkit/cdrawcontext.h"
#include "toolkit/cframe.h"

namespace toolkit {

CTextEdit::CTextEdit(const CRect& size, CControlListener* listener, std::int32_t tag, const char* initial,
                     CBitmap* background, std::int32_t style)
    : CParamDisplay(size, background, style) {
    this->listener = listener;
    this->tag = tag;
    setText(initial);
}

CTextEdit::CTextEdit(const CTextEdit& other) : CParamDisplay(other), text(other.text) {}

void CTextEdit::setText(const char* newText) {
    std::string t = newText ? newText : "";
    if (t.size() > kDisplayTextSize - 1) t.resize(kDisplayTextSize - 1);
    if (t != text) {
        text = t;
        setDirty();
    }
}

void CTextEdit::draw(CDrawContext* context) {
    if (!(style & kNoDrawStyle)) {
        drawBack(context);
        const std::string& shown = typing ? typed : text;
        if (typing && allSelected) {
            // The selection: a band in the text colour, faint enough to read the text on it.
            context->setFont(&fontDesc);
            const CCoord full = context->getStringWidth(shown.c_str());
            CRect band = size;
            band.inset(horiAlign == kCenterText ? 0 : 2, 2);
            if (horiAlign == kCenterText) band.left += (band.getWidth() - full) / 2;
            else if (horiAlign == kRightText) band.left = band.right - full;
            band.right = band.left + full;
            band.inset(-1, 0);
            CColor shade = fontColor;
            shade.alpha = 80;
            context->setFillColor(shade);
            context->fillRect(band);
        }
        drawText(context, shown.c_str());
        if (typing) {
            // Caret after the first `caret` characters, placed as drawString places the text.
            context->setFont(&fontDesc);
            const CCoord full = context->getStringWidth(shown.c_str());
            const CCoord before = context->getStringWidth(shown.substr(0, caret).c_str());
            CRect r = size;
            r.inset(horiAlign == kCenterText ? 0 : 2, 0);
            CCoord x = r.left;
            if (horiAlign == kCenterText)
                x = r.left + (r.getWidth() - full) / 2;
            else if (horiAlign == kRightText)
                x = r.right - full;
            x = static_cast<CCoord>(static_cast<long>(x + before + 0.5));
            context->setFrameColor(fontColor);
            context->setLineWidth(1);
            context->setDrawMode(kAliasing);
            context->drawLine(CPoint(x, size.top + 2), CPoint(x, size.bottom - 3));
        }
    }
    setDirty(false);
}

void CTextEdit::beginTyping() {
    typing = true;
    typed = text;
    caret = typed.size();
    allSelected = !typed.empty();
    invalid();
}

void CTextEdit::finishTyping(bool keep) {
    if (!typing) return;
    typing = false;
    allSelected = false;
    if (keep) setText(typed.c_str());
    invalid();
    if (frame && frame->getFocusView() == this) frame->setFocusView(nullptr);
    if (keep) valueChanged();
}

CMouseEventResult CTextEdit::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (!typing) {
        beginTyping();
        if (frame) frame->setFocusView(this);
    }
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

std::int32_t CTextEdit::onKeyDown(VstKeyCode& key) {
    if (!typing) return kKeyNotHandled;
    switch (key.virt) {
        case kVKeyReturn:
        case kVKeyEnter: finishTyping(true); return kKeyHandled;
        case kVKeyEscape: finishTyping(false); return kKeyHandled;
        case kVKeyBack:
            if (allSelected) clearSelected();
            else if (caret > 0) typed.erase(--caret, 1);
            break;
        case kVKeyDelete:
            if (allSelected) clearSelected();
            else if (caret < typed.size()) typed.erase(caret, 1);
            break;
        case kVKeyLeft:
            // With everything selected the caret goes to the start of the selection.
            if (allSelected) caret = 0;
            else if (caret > 0) --caret;
            allSelected = false;
            break;
        case kVKeyRight:
            if (!allSelected && caret < typed.size()) ++caret;
            allSelected = false;
            break;
        case kVKeyHome: caret = 0; allSelected = false; break;
        case kVKeyEnd: caret = typed.size(); allSelected = false; break;
        default:
            if (key.virt == 0 || key.virt == kVKeySpace) {
                const std::int32_t c = key.virt == kVKeySpace ? ' ' : key.character;
                if (c >= 0x20 && c < 0x7f) {
                    if (allSelected) clearSelected();
                    if (typed.size() < kDisplayTextSize - 1) typed.insert(caret++, 1, static_cast<char>(c));
                }
            }
            break;
    }
    invalid();
    return kKeyHandled;
}

void CTextEdit::clearSelected() {
    typed.clear();
    caret = 0;
    allSelected = false;
}

std::int32_t CTextEdit::onKeyUp(VstKeyCode&) { return typing ? kKeyHandled : kKeyNotHandled; }

void CTextEdit::takeFocus() {
    if (!typing) beginTyping();
}

void CTextEdit::looseFocus() { finishTyping(true); }

void CTextEdit::removed(CViewContainer* oldParent) {
    if (typing) {
        typing = false;
        allSelected = false;
        typed.clear();
    }
    CParamDisplay::removed(oldParent);
}

bool CTextEdit::isTypeOf(const char* name) const {
    return std::strcmp(name, "CTextEdit") == 0 || CParamDisplay::isTypeOf(name);
}

}  // namespace toolkit

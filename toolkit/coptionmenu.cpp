#include "toolkit/coptionmenu.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "toolkit/cdrawcontext.h"
#include "toolkit/cframe.h"

namespace toolkit {
namespace {
constexpr CCoord kCheckWidth = 16;
}  // namespace

COptionMenuPopup::COptionMenuPopup(COptionMenu* menu, const CRect& frameRect, const CRect& box, CCoord entryWidth,
                                   CCoord entryHeight)
    : CView(frameRect), menu(menu), box(box), entryWidth(entryWidth), entryHeight(entryHeight) {
    const int n = menu->getNbEntries();
    perColumn = menu->getNbItemsPerColumn() > 0 ? std::min(menu->getNbItemsPerColumn(), n) : n;
    perColumn = std::max(1, perColumn);
    columns = std::max(1, (n + perColumn - 1) / perColumn);
    highlighted = menu->getCurrentIndex();
}

CRect COptionMenuPopup::getEntryRect(int index) const {
    if (!menu || index < 0 || index >= menu->getNbEntries()) return CRect();
    const int column = index / perColumn;
    const int row = index % perColumn;
    return CRect::fromSize(CPoint(box.left + 1 + column * entryWidth, box.top + 1 + row * entryHeight), entryWidth,
                           entryHeight);
}

int COptionMenuPopup::entryAt(const CPoint& where) const {
    if (!menu) return -1;
    for (int i = 0; i < menu->getNbEntries(); ++i)
        if (getEntryRect(i).pointInside(where)) return i;
    return -1;
}

void COptionMenuPopup::close(bool choose, int index) {
    COptionMenu* m = menu;
    menu = nullptr;
    if (CViewContainer* p = getParentView()) p->removeView(this, true);
    if (m) m->popupClosed(choose, index);
}

void COptionMenuPopup::draw(CDrawContext* context) {
    setDirty(false);
    if (!menu) return;
    context->setFillColor(MakeCColor(248, 248, 246));
    context->setFrameColor(MakeCColor(60, 60, 64));
    context->setLineWidth(1);
    context->drawRect(box, kDrawFilledAndStroked);
    context->setFont(&menu->getFont());
    const int current = menu->getCurrentIndex();
    const bool checks = (menu->getStyle() & kCheckStyle) != 0;
    for (int i = 0; i < menu->getNbEntries(); ++i) {
        const CRect r = getEntryRect(i);
        if (i == highlighted) {
            context->setFillColor(MakeCColor(52, 101, 164));
            context->fillRect(r);
        }
        const CColor ink = i == highlighted ? kWhiteCColor : MakeCColor(30, 30, 34);
        if (checks && i == current) {
            // A check mark drawn as two strokes in the left margin.
            context->setFrameColor(ink);
            context->setLineWidth(2);
            context->setDrawMode(kAntialias);
            const CCoord cx = r.left + 4, cy = r.top + r.getHeight() / 2;
            context->drawLine(CPoint(cx, cy), CPoint(cx + 3, cy + 3));
            context->drawLine(CPoint(cx + 3, cy + 3), CPoint(cx + 9, cy - 4));
            context->setLineWidth(1);
            context->setDrawMode(kAliasing);
        }
        context->setFontColor(ink);
        CRect textRect = r;
        textRect.left += kCheckWidth;
        context->drawString(menu->getEntry(i), textRect, kLeftText, true);
    }
}

CMouseEventResult COptionMenuPopup::onMouseDown(CPoint& where, const CButtonState& buttons) {
    const int index = buttons.isLeftButton() ? entryAt(where) : -1;
    close(index >= 0, index);
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CMouseEventResult COptionMenuPopup::onMouseMoved(CPoint& where, const CButtonState&) {
    const int index = entryAt(where);
    if (index >= 0 && index != highlighted) {
        highlighted = index;
        invalidRect(box);
    }
    return kMouseEventHandled;
}

std::int32_t COptionMenuPopup::onKeyDown(VstKeyCode& key) {
    if (!menu) return kKeyNotHandled;
    const int n = menu->getNbEntries();
    switch (key.virt) {
        case kVKeyEscape: close(false, -1); break;
        case kVKeyReturn:
        case kVKeyEnter: close(highlighted >= 0, highlighted); break;
        case kVKeyUp: highlighted = std::max(0, highlighted - 1); invalidRect(box); break;
        case kVKeyDown: highlighted = std::min(n - 1, highlighted + 1); invalidRect(box); break;
        default: break;
    }
    return kKeyHandled;
}

COptionMenu::COptionMenu(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* background,
                         CBitmap*, std::int32_t style)
    : CParamDisplay(size, background, style) {
    this->listener = listener;
    this->tag = tag;
    defaultValue = 0;
    maxValue = 0;
}

COptionMenu::COptionMenu(const COptionMenu& other)
    : CParamDisplay(other), entries(other.entries), itemsPerColumn(other.itemsPerColumn) {}

COptionMenu::~COptionMenu() {
    if (popup) popup->menuGone();
}

bool COptionMenu::addEntry(const char* title, int index) {
    if (!title) return false;
    if (index < 0 || index >= getNbEntries())
        entries.emplace_back(title);
    else
        entries.insert(entries.begin() + index, title);
    maxValue = static_cast<float>(getNbEntries() - 1);
    setDirty();
    return true;
}

void COptionMenu::removeAllEntry() {
    entries.clear();
    maxValue = 0;
    setValue(0);
}

const char* COptionMenu::getEntry(int index) const {
    if (index < 0 || index >= getNbEntries()) return nullptr;
    return entries[static_cast<size_t>(index)].c_str();
}

bool COptionMenu::setEntry(int index, const char* title) {
    if (!title || index < 0 || index >= getNbEntries()) return false;
    entries[static_cast<size_t>(index)] = title;
    setDirty();
    return true;
}

bool COptionMenu::setCurrent(int index) {
    if (index < 0 || index >= getNbEntries()) return false;
    setValue(static_cast<float>(index));
    return true;
}

int COptionMenu::getCurrentIndex() const { return static_cast<int>(std::floor(value + 0.5f)); }

void COptionMenu::popupClosed(bool choose, int index) {
    popup = nullptr;
    invalid();
    if (choose && setCurrent(index)) valueChanged();
}

void COptionMenu::draw(CDrawContext* context) {
    if (!(style & kNoDrawStyle)) {
        drawBack(context);
        const char* title = getCurrent();
        drawText(context, title ? title : "");
    }
    setDirty(false);
}

CMouseEventResult COptionMenu::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    return openPopup() ? kMouseDownEventHandledButDontNeedMovedOrUpEvents : kMouseEventNotHandled;
}

void COptionMenu::removed(CViewContainer* oldParent) {
    if (popup) popup->close(false, -1);
    CParamDisplay::removed(oldParent);
}

bool COptionMenu::isTypeOf(const char* name) const {
    return std::strcmp(name, "COptionMenu") == 0 || CParamDisplay::isTypeOf(name);
}

}  // namespace toolkit

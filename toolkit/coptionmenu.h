#pragma once
// A menu button. Its value is the index of the current entry. A left click opens the list of
// entries over the editor window, in columns of `itemsPerColumn` entries (all in one column when
// not set), with a check mark at the current entry when the menu has kCheckStyle. Choosing an
// entry makes it current and tells the listener; a click outside the list or Escape closes it
// without a change. With kPopupStyle the list opens over the menu, otherwise below it; either
// way it is moved to fit inside the window. Closed, the menu draws like a display showing the
// current entry's title; kNoTextStyle and kNoDrawStyle leave out the text or everything.
#include <string>
#include <vector>

#include "toolkit/cparamdisplay.h"

namespace toolkit {

class COptionMenu;

// The open list of a menu: a view over the whole frame that draws the list box.
class COptionMenuPopup : public CView {
public:
    COptionMenuPopup(COptionMenu* menu, const CRect& frameRect, const CRect& box, CCoord entryWidth,
                     CCoord entryHeight);

    // Rectangle of entry `index` in frame coordinates (empty for an index outside the list).
    CRect getEntryRect(int index) const;
    const CRect& getBox() const { return box; }
    int getColumns() const { return columns; }
    int getHighlighted() const { return highlighted; }
    // Closes the list; with `choose` the entry `index` is chosen.
    void close(bool choose, int index);
    void menuGone() { menu = nullptr; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    std::int32_t onKeyDown(VstKeyCode& key) override;
    bool onWheel(const CPoint&, const float&, const CButtonState&) override { return true; }

private:
    int entryAt(const CPoint& where) const;

    COptionMenu* menu;
    CRect box;
    CCoord entryWidth;
    CCoord entryHeight;
    int perColumn;
    int columns;
    int highlighted = -1;
};

class COptionMenu : public CParamDisplay {
public:
    COptionMenu(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* background = nullptr,
                CBitmap* backgroundWhenClicked = nullptr, std::int32_t style = 0);
    COptionMenu(const COptionMenu& other);
    ~COptionMenu() override;

    // Inserts an entry at `index` (appends when -1 or past the end); false for a null title.
    bool addEntry(const char* title, int index = -1);
    void removeAllEntry();
    int getNbEntries() const { return static_cast<int>(entries.size()); }
    // Title of entry `index`, or null.
    const char* getEntry(int index) const;
    bool setEntry(int index, const char* title);
    bool setCurrent(int index);
    int getCurrentIndex() const;
    const char* getCurrent() const { return getEntry(getCurrentIndex()); }
    void setNbItemsPerColumn(int n) { itemsPerColumn = n; }
    int getNbItemsPerColumn() const { return itemsPerColumn; }

    bool openPopup();
    COptionMenuPopup* getPopup() const { return popup; }
    // Called by the list when it closes.
    void popupClosed(bool choose, int index);

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    void removed(CViewContainer* oldParent) override;
    CView* newCopy() const override { return new COptionMenu(*this); }
    bool isTypeOf(const char* name) const override;

private:
    std::vector<std::string> entries;
    int itemsPerColumn = -1;
    COptionMenuPopup* popup = nullptr;
};

}  // namespace toolkit

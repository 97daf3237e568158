// Opening a menu's list on Windows: a native popup menu at the menu's place, in columns of the
// menu's entries per column, with a check mark at the current entry for kCheckStyle. The menu
// runs its own loop; the choice is taken when it returns. A frame without a window has no list.
#include <windows.h>

#include <cmath>
#include <string>

#include "toolkit/cframe.h"
#include "toolkit/coptionmenu.h"

namespace toolkit {

bool COptionMenu::openPopup() {
    if (!frame || popup || entries.empty()) return false;
    HWND owner = static_cast<HWND>(frame->getSystemWindow());
    if (!owner) return false;
    HMENU menu = CreatePopupMenu();
    if (!menu) return false;
    const int n = getNbEntries();
    const int perColumn = itemsPerColumn > 0 ? itemsPerColumn : n;
    const int current = getCurrentIndex();
    const bool checks = (style & kCheckStyle) != 0;
    for (int i = 0; i < n; ++i) {
        // '&' marks a keyboard shortcut in menu text; a title shows it as written.
        std::string title;
        for (char c : entries[static_cast<size_t>(i)]) {
            if (c == '&') title += '&';
            title += c;
        }
        UINT flags = MF_STRING;
        if (i > 0 && i % perColumn == 0) flags |= MF_MENUBARBREAK;
        if (checks && i == current) flags |= MF_CHECKED;
        AppendMenuA(menu, flags, static_cast<UINT_PTR>(i + 1), title.c_str());
    }
    // The window's pixels are the frame's units at its scale.
    const CRect mine = localToFrame(size);
    const double scale = frame->getScale();
    POINT at{static_cast<LONG>(std::lround(mine.left * scale)),
             static_cast<LONG>(std::lround(((style & kPopupStyle) ? mine.top : mine.bottom) * scale))};
    ClientToScreen(owner, &at);
    // The menu must not close at once because the mouse button that opened it is still down.
    const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON,
                                      at.x, at.y, 0, owner, nullptr);
    DestroyMenu(menu);
    invalid();
    if (chosen > 0 && setCurrent(chosen - 1)) valueChanged();
    return true;
}

}  // namespace toolkit

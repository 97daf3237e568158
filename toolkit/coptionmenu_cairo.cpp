// Opening a menu's list on Linux: the list is a view drawn over the editor, sized from the
// entry titles as cairo measures them.
#include <algorithm>
#include <cmath>

#include "toolkit/cdrawcontext.h"
#include "toolkit/cframe.h"
#include "toolkit/coptionmenu.h"

namespace toolkit {
namespace {
constexpr CCoord kCheckWidth = 16;
constexpr CCoord kTextPadding = 8;
}  // namespace

bool COptionMenu::openPopup() {
    if (!frame || popup || entries.empty()) return false;
    // Measure the titles with the menu's font.
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    CCoord widest = 0;
    {
        CDrawContext context(cr);
        context.setFont(&fontDesc);
        for (const std::string& e : entries) widest = std::max(widest, context.getStringWidth(e.c_str()));
    }
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);

    const CRect frameRect = frame->getViewSize();
    const CCoord entryWidth = std::ceil(widest) + kCheckWidth + kTextPadding;
    const CCoord entryHeight = std::ceil(fontDesc.size) + 6;
    const int n = getNbEntries();
    const int perColumn = itemsPerColumn > 0 ? std::min(itemsPerColumn, n) : n;
    const int columns = (n + perColumn - 1) / perColumn;
    const CRect mine = localToFrame(size);
    CRect box = CRect::fromSize(CPoint(mine.left, (style & kPopupStyle) ? mine.top : mine.bottom),
                                columns * entryWidth + 2, perColumn * entryHeight + 2);
    if (box.right > frameRect.right) box.offset(frameRect.right - box.right, 0);
    if (box.bottom > frameRect.bottom) box.offset(0, frameRect.bottom - box.bottom);
    if (box.left < 0) box.offset(-box.left, 0);
    if (box.top < 0) box.offset(0, -box.top);

    popup = new COptionMenuPopup(this, frameRect, box, entryWidth, entryHeight);
    popup->setTransparency(true);
    frame->addView(popup);
    frame->setFocusView(popup);
    return true;
}

}  // namespace toolkit

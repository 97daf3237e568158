#include "gui/editor_base.h"

#include <algorithm>
#include <cmath>

using namespace toolkit;

namespace {
std::int16_t toField(CCoord v) { return static_cast<std::int16_t>(std::clamp<CCoord>(v, 0, 32767)); }
}  // namespace

ERect editorRectFor(CCoord width, CCoord height, double scale) {
    ERect r{};
    r.top = 0;
    r.left = 0;
    r.bottom = toField(std::ceil(height * scale - 1e-9));
    r.right = toField(std::ceil(width * scale - 1e-9));
    return r;
}

CFrame* createEditorFrame(AEffGUIEditor* editor, void* parentWindow, CBitmap* background) {
    if (!background || !background->isLoaded()) return nullptr;
    auto* frame = new CFrame(CRect(0, 0, background->getWidth(), background->getHeight()), parentWindow, editor,
                             editor ? editor->getScale() : 1.0);
    if (!frame->isOpen()) {
        frame->forget();
        return nullptr;
    }
    frame->setBackground(background);
    return frame;
}

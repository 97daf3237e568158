#pragma once
// Shared helpers of the toolkit tests: a resource table of generated strip bitmaps, a listener
// and an editor that record what they are told, and pixel access to a frame's surface.
#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/toolkit.h"

namespace tktest {

using namespace toolkit;

// Resource numbers of the generated test bitmaps. Every strip image is one solid colour:
// stripColor(k) for image k, so a drawn image is recognised by its pixels.
constexpr int kStrip3 = 500;      // 10 x 30: three images of 10 x 10
constexpr int kStrip11 = 501;     // 10 x 110: eleven images of 10 x 10
constexpr int kBackground = 502;  // 100 x 80, one colour: stripColor(20)
constexpr int kUnreadable = 503;  // present but not a PNG
// kStrip3 is also drawn for 125 % and 200 % (scaledResourceNumber), kStrip11 only at 100 %.

CColor stripColor(int k);

struct RecordingListener : CControlListener {
    struct Call {
        CControl* control;
        std::int32_t tag;
        float value;
    };
    std::vector<Call> calls;
    void valueChanged(CControl* control) override { calls.push_back({control, control->getTag(), control->getValue()}); }
};

struct RecordingEditor : CEditorInterface {
    std::vector<std::int32_t> begins;
    std::vector<std::int32_t> ends;
    std::int32_t knobMode = kLinearMode;
    void beginEdit(std::int32_t index) override { begins.push_back(index); }
    void endEdit(std::int32_t index) override { ends.push_back(index); }
    std::int32_t getKnobMode() const override { return knobMode; }
};

// Colour of one pixel of the frame's surface (after its last idle).
CColor pixelAt(CFrame* frame, int x, int y);
// Index k of the strip colour at (x, y), or -1.
int stripIndexAt(CFrame* frame, int x, int y);

// An offscreen 100 x 80 frame with a recording editor, released at the end of the test.
struct OffscreenFrame {
    RecordingEditor editor;
    RecordingListener listener;
    CFrame* frame;
    OffscreenFrame() : frame(new CFrame(CRect(0, 0, 100, 80), nullptr, &editor)) {}
    ~OffscreenFrame() { frame->forget(); }
    CMouseEventResult down(CCoord x, CCoord y, std::int32_t buttons = kLButton) {
        return frame->dispatchMouseDown(CPoint(x, y), CButtonState(buttons));
    }
    CMouseEventResult move(CCoord x, CCoord y, std::int32_t buttons = kLButton) {
        return frame->dispatchMouseMoved(CPoint(x, y), CButtonState(buttons));
    }
    CMouseEventResult up(CCoord x, CCoord y, std::int32_t buttons = kLButton) {
        return frame->dispatchMouseUp(CPoint(x, y), CButtonState(buttons));
    }
    std::int32_t key(unsigned char virt, std::int32_t character = 0) {
        VstKeyCode k{character, virt, 0};
        return frame->dispatchKeyDown(k);
    }
    void type(const char* text) {
        for (; *text; ++text) key(0, *text);
    }
};

}  // namespace tktest

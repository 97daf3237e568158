#pragma once
// Helpers of the editor building-block tests: a resource table of generated bitmaps, a
// recording listener and editor, an offscreen frame driven by synthetic events, pixel access.
#include <cstdint>
#include <vector>

#include "toolkit/toolkit.h"

namespace guitest {

using namespace toolkit;

// Generated bitmaps. Strip image k is filled with stripColor(k) so a drawn image is recognised
// by its pixels.
constexpr int kStrip3 = 600;      // 10 x 30: three images of 10 x 10
constexpr int kStrip5 = 601;      // 20 x 50: five images of 20 x 10
constexpr int kOnOff = 602;       // 10 x 20: off and on images of 10 x 10
constexpr int kKnob11 = 603;      // 20 x 220: eleven images of 20 x 20
constexpr int kBackground = 604;  // 200 x 400, stripColor(20)
constexpr int kFace = 610;        // 150 x 90 meter face, light with a scale arc
constexpr int kCover = 611;       // 150 x 16 dark strip
constexpr int kLamp = 612;        // 12 x 24: lit, held, off images of 12 x 8 in lampColor(k)

CColor stripColor(int k);
CColor lampColor(int k);

struct RecordingListener : CControlListener {
    struct Call {
        std::int32_t tag;
        float value;
    };
    std::vector<Call> calls;
    void valueChanged(CControl* control) override { calls.push_back({control->getTag(), control->getValue()}); }
};

struct RecordingEditor : CEditorInterface {
    std::vector<std::int32_t> begins;
    std::vector<std::int32_t> ends;
    std::int32_t knobMode = kLinearMode;
    void beginEdit(std::int32_t index) override { begins.push_back(index); }
    void endEdit(std::int32_t index) override { ends.push_back(index); }
    std::int32_t getKnobMode() const override { return knobMode; }
};

CColor pixelAt(CFrame* frame, int x, int y);
// Index k of the strip colour at (x, y), or -1.
int stripIndexAt(CFrame* frame, int x, int y);

// An offscreen 200 x 400 frame with a recording editor and background kBackground.
struct OffscreenFrame {
    RecordingEditor editor;
    RecordingListener listener;
    CFrame* frame;
    OffscreenFrame();
    ~OffscreenFrame() {
        frame->forget();
        for (CBitmap* b : bitmaps) b->forget();
    }
    // Bitmap `id`, released with the frame (controls hold references of their own).
    CBitmap* bitmap(int id) {
        bitmaps.push_back(new CBitmap(id));
        return bitmaps.back();
    }
    std::vector<CBitmap*> bitmaps;
    // Adds `view` (the frame takes the reference) and redraws.
    template <typename V>
    V* add(V* view) {
        frame->addView(view);
        frame->idle();
        return view;
    }
    CMouseEventResult down(CCoord x, CCoord y, std::int32_t buttons = kLButton) {
        return frame->dispatchMouseDown(CPoint(x, y), CButtonState(buttons));
    }
    CMouseEventResult move(CCoord x, CCoord y, std::int32_t buttons = kLButton) {
        return frame->dispatchMouseMoved(CPoint(x, y), CButtonState(buttons));
    }
    CMouseEventResult up(CCoord x, CCoord y, std::int32_t buttons = kLButton) {
        return frame->dispatchMouseUp(CPoint(x, y), CButtonState(buttons));
    }
    bool wheel(CCoord x, CCoord y, float distance, std::int32_t buttons = 0) {
        return frame->dispatchWheel(CPoint(x, y), distance, CButtonState(buttons));
    }
    // Image index drawn at (x, y) after an idle pass.
    int imageAt(int x, int y) {
        frame->idle();
        return stripIndexAt(frame, x, y);
    }
};

}  // namespace guitest

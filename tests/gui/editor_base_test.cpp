// The editor base: the rectangle handed to the host, the frame made from the background
// bitmap, and the custom controls' edit gestures reaching the effect.
#include <gtest/gtest.h>

#include <string>

#include "gui/controls.h"
#include "gui/editor_base.h"
#include "host/audioeffectx.h"
#include "support.h"

namespace guitest {
namespace {

struct FakeEffect : AudioEffectX {
    FakeEffect() : AudioEffectX(nullptr, 1, 4) {}
    std::vector<std::string> log;
    void processReplacing(float**, float**, VstInt32) override {}
    bool beginEdit(VstInt32 index) override { log.push_back("begin " + std::to_string(index)); return true; }
    bool endEdit(VstInt32 index) override { log.push_back("end " + std::to_string(index)); return true; }
};

// An editor built the way the plug-ins build theirs: rectangle from the background bitmap,
// frame on the host window (offscreen here), controls, released in close.
struct TestEditor : AEffGUIEditor {
    RecordingListener listener;
    int backgroundId;
    COrvOnOffButton* button = nullptr;
    CAnimKnob2* knob = nullptr;
    TestEditor(AudioEffect* effect, int backgroundId) : AEffGUIEditor(effect), backgroundId(backgroundId) {}
    bool open(void* parent) override {
        AEffGUIEditor::open(parent);
        CBitmap* background = new CBitmap(backgroundId);
        rect = editorRectFor(background->getWidth(), background->getHeight());
        frame = createEditorFrame(this, parent, background);
        background->forget();
        if (!frame) return false;
        button = new COrvOnOffButton(CRect(10, 10, 20, 20), &listener, 3, nullptr);
        knob = new CAnimKnob2(CRect(30, 30, 50, 50), &listener, 9, 11, 20, nullptr);
        frame->addView(button);
        frame->addView(knob);
        return true;
    }
    void close() override {
        if (frame) frame->forget();
        frame = nullptr;
        button = nullptr;
        knob = nullptr;
        AEffGUIEditor::close();
    }
};

TEST(EditorBase, RectangleAndFrameFollowTheBackgroundBitmap) {
    ERect r = editorRectFor(450, 460);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.bottom, 460);
    EXPECT_EQ(r.right, 450);
    r = editorRectFor(70000, -5);  // beyond what the host's fields hold
    EXPECT_EQ(r.right, 32767);
    EXPECT_EQ(r.bottom, 0);

    FakeEffect effect;
    auto* editor = new TestEditor(&effect, kBackground);
    ASSERT_TRUE(editor->open(nullptr));
    ERect* host = nullptr;
    ASSERT_TRUE(editor->getRect(&host));
    EXPECT_EQ(host->right, 200);
    EXPECT_EQ(host->bottom, 400);
    EXPECT_EQ(editor->getFrame()->getViewSize(), CRect(0, 0, 200, 400));
    EXPECT_EQ(editor->getFrame()->getBackground()->getResourceNumber(), kBackground);
    editor->close();

    TestEditor missing(&effect, 9999);  // no such bitmap: no window
    EXPECT_FALSE(missing.open(nullptr));
    EXPECT_EQ(missing.getFrame(), nullptr);
}

TEST(EditorBase, ControlGesturesReachTheEffect) {
    FakeEffect effect;
    TestEditor editor(&effect, kBackground);
    ASSERT_TRUE(editor.open(nullptr));
    CFrame* frame = editor.getFrame();
    frame->dispatchMouseDown(CPoint(15, 15), CButtonState(kLButton));
    editor.setKnobMode(kLinearMode);
    frame->dispatchMouseDown(CPoint(40, 40), CButtonState(kLButton));
    frame->dispatchMouseMoved(CPoint(40, 10), CButtonState(kLButton));
    frame->dispatchMouseUp(CPoint(40, 10), CButtonState(kLButton));
    EXPECT_EQ(effect.log, (std::vector<std::string>{"begin 3", "end 3", "begin 9", "end 9"}));
    EXPECT_NEAR(editor.knob->getValue(), 0.1f, 1e-5);
    editor.close();
}

}  // namespace
}  // namespace guitest

// The editor binding against a small effect: attachment, edit gestures reaching the effect,
// knob mode, host keys and wheel, idle.
#include <gtest/gtest.h>

#include "host/audioeffectx.h"
#include "support.h"

namespace tktest {
namespace {

struct FakeEffect : AudioEffectX {
    FakeEffect() : AudioEffectX(nullptr, 1, 4) {}
    std::vector<std::string> log;
    void processReplacing(float**, float**, VstInt32) override {}
    bool beginEdit(VstInt32 index) override { log.push_back("begin " + std::to_string(index)); return true; }
    bool endEdit(VstInt32 index) override { log.push_back("end " + std::to_string(index)); return true; }
};

// An editor with one knob and one text field on an offscreen frame.
struct TestEditor : AEffGUIEditor {
    RecordingListener listener;
    CAnimKnob* knob = nullptr;
    CTextEdit* field = nullptr;
    explicit TestEditor(AudioEffect* effect) : AEffGUIEditor(effect) { rect = {0, 0, 80, 100}; }
    bool open(void* parent) override {
        AEffGUIEditor::open(parent);
        frame = new CFrame(CRect(0, 0, rect.right, rect.bottom), parent, this);
        knob = new CAnimKnob(CRect(10, 10, 20, 20), &listener, 2, 11, 10, nullptr);
        field = new CTextEdit(CRect(30, 10, 90, 24), &listener, 41, "");
        frame->addView(knob);
        frame->addView(field);
        return true;
    }
    void close() override {
        frame->forget();
        frame = nullptr;
        knob = nullptr;
        field = nullptr;
        AEffGUIEditor::close();
    }
};

TEST(GuiEditor, AttachesItselfToTheEffectAndAnswersTheRectangle) {
    FakeEffect effect;
    auto* editor = new TestEditor(&effect);
    EXPECT_EQ(effect.getEditor(), editor);
    EXPECT_TRUE(effect.hasFlag(effFlagsHasEditor));
    ERect* r = nullptr;
    ASSERT_TRUE(editor->getRect(&r));
    EXPECT_EQ(r->right, 100);
    EXPECT_EQ(r->bottom, 80);
    // The effect deletes its editor.
}

TEST(GuiEditor, KnobGesturesReachTheEffectAndFollowTheHostsKnobMode) {
    FakeEffect effect;
    auto* editor = new TestEditor(&effect);
    EXPECT_EQ(effect.dispatcher(effSetEditKnobMode, 0, kLinearMode, nullptr, 0), 1);
    EXPECT_EQ(editor->getKnobMode(), kLinearMode);
    ASSERT_TRUE(editor->open(nullptr));
    CFrame* frame = editor->getFrame();
    EXPECT_EQ(frame->getKnobMode(), kLinearMode);
    frame->dispatchMouseDown(CPoint(15, 15), CButtonState(kLButton));
    frame->dispatchMouseMoved(CPoint(15, -25), CButtonState(kLButton));
    frame->dispatchMouseUp(CPoint(15, -25), CButtonState(kLButton));
    EXPECT_NEAR(editor->knob->getValue(), 0.2f, 1e-6);
    EXPECT_EQ(effect.log, (std::vector<std::string>{"begin 2", "end 2"}));

    // Host wheel events act where the mouse is.
    frame->dispatchMouseMoved(CPoint(15, 15), CButtonState());
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_NEAR(editor->knob->getValue(), 0.21f, 1e-6);
    editor->idle();
    editor->close();
    EXPECT_EQ(editor->getFrame(), nullptr);
    editor->idle();  // closed: nothing to do
}

TEST(GuiEditor, HostKeysReachTheFieldBeingTyped) {
    FakeEffect effect;
    auto* editor = new TestEditor(&effect);
    editor->open(nullptr);
    VstKeyCode digit{'7', 0, 0};
    EXPECT_FALSE(editor->onKeyDown(digit));  // nothing is typing
    editor->getFrame()->dispatchMouseDown(CPoint(40, 15), CButtonState(kLButton));
    EXPECT_TRUE(editor->onKeyDown(digit));
    // Keys arrive through the dispatcher as the host sends them.
    EXPECT_EQ(effect.dispatcher(effEditKeyDown, '5', 0, nullptr, 0), 1);
    EXPECT_EQ(effect.dispatcher(effEditKeyDown, 0, kVKeyReturn, nullptr, 0), 1);
    EXPECT_STREQ(editor->field->getText(), "75");
    ASSERT_EQ(editor->listener.calls.size(), 1u);
    EXPECT_EQ(editor->listener.calls[0].tag, 41);
    editor->close();
}

}  // namespace
}  // namespace tktest

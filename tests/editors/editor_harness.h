#pragma once
// Drives a plug-in's editor the way a host and a user do: the effect is built with its editor
// (the plug-in's factory is linked in), the editor is opened offscreen through the AEffect
// record, and the user's mouse and keys reach the frame as synthetic events. The host callback
// records automation and edit gestures.
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "borealis/editor/borealis_editor.h"
#include "gui/controls.h"
#include "gui/old_vu_meter.h"
#include "host/audioeffectx.h"
#include "toolkit/toolkit.h"

namespace edtest {

using namespace toolkit;

struct HostLog {
    std::vector<std::pair<int, float>> automated;
    std::vector<int> begins, ends;
    std::vector<std::pair<int, int>> sizes;  // audioMasterSizeWindow requests (width, height)
    bool acceptsSize = true;
    void clear() { *this = HostLog(); }
};

inline HostLog& hostLog() {
    static HostLog log;
    return log;
}

inline VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt) {
    switch (opcode) {
        case audioMasterSizeWindow:
            hostLog().sizes.emplace_back(index, static_cast<int>(value));
            return hostLog().acceptsSize ? 1 : 0;
        case audioMasterVersion: return 2400;
        case audioMasterAutomate: hostLog().automated.emplace_back(index, opt); return 0;
        case audioMasterBeginEdit: hostLog().begins.push_back(index); return 1;
        case audioMasterEndEdit: hostLog().ends.push_back(index); return 1;
        default: return 0;
    }
}

// Milliseconds clock of the readout timer, moved by the tests.
inline std::uint32_t& fakeNow() {
    static std::uint32_t now = 1000;
    return now;
}
inline std::uint32_t fakeClock() { return fakeNow(); }

template <class Fx>
class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override {
        hostLog().clear();
        fx = new Fx(hostCallback);
        editor = dynamic_cast<BorealisEditor*>(fx->getEditor());
        ASSERT_NE(editor, nullptr);
        editor->setClock(fakeClock);
    }
    void TearDown() override { delete fx; }

    AEffect* record() { return fx->getAeffect(); }
    VstIntPtr dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0) {
        return record()->dispatcher(record(), op, index, value, ptr, opt);
    }
    void hostSets(int index, float value) { record()->setParameter(record(), index, value); }
    // The host sets a parameter, then gives the editor its idle call: the editor takes the
    // effect's changes there, never inside the host's setParameter (which may come from the
    // audio thread).
    void hostSetsThenIdle(int index, float value) {
        hostSets(index, value);
        dispatch(effEditIdle);
    }
    float hostGets(int index) { return record()->getParameter(record(), index); }

    void open() {
        ASSERT_EQ(dispatch(effEditOpen), 1);
        frame = editor->getFrame();
        ASSERT_NE(frame, nullptr);
        dispatch(effEditIdle);
    }
    void close() {
        dispatch(effEditClose);
        frame = nullptr;
    }

    CPoint centreOf(int tag) {
        CControl* c = editor->getControl(tag);
        EXPECT_NE(c, nullptr) << "tag " << tag;
        return c ? c->getViewSize().getCenter() : CPoint();
    }
    // The gestures take positions in the editor's layout and reach the frame where the window
    // system would report them: in device pixels of the frame's scale.
    CPoint device(const CPoint& p) const { return CPoint(p.x * frame->getScale(), p.y * frame->getScale()); }
    void click(const CPoint& p, std::int32_t buttons = kLButton) {
        frame->dispatchMouseDown(device(p), CButtonState(buttons));
        frame->dispatchMouseUp(device(p), CButtonState(buttons));
    }
    void hover(const CPoint& p) { frame->dispatchMouseMoved(device(p), CButtonState()); }
    void drag(const CPoint& from, const CPoint& to) {
        frame->dispatchMouseDown(device(from), CButtonState(kLButton));
        frame->dispatchMouseMoved(device(to), CButtonState(kLButton));
        frame->dispatchMouseUp(device(to), CButtonState(kLButton));
    }
    // Types `text` into the readout `tag` as a user does: hover its knob, click the readout,
    // clear what it shows, type and press Return.
    void typeIntoReadout(int knobTag, int readoutTag, const char* text) {
        hover(centreOf(knobTag));
        dispatch(effEditIdle);
        ASSERT_TRUE(editor->isReadoutShown(readoutTag));
        click(editor->getReadout(readoutTag)->getViewSize().getCenter());
        for (int k = 0; k < 24; ++k) keyDown(kVKeyBack);
        for (const char* c = text; *c; ++c) keyDown(0, *c);
        keyDown(kVKeyReturn);
    }
    void keyDown(unsigned char virt, std::int32_t character = 0) {
        VstKeyCode k{character, virt, 0};
        frame->dispatchKeyDown(k);
    }

    // Four inputs, two outputs of `n` samples: a sine of amplitude `level` on the main inputs.
    void process(int n, float level) {
        std::vector<float> in(static_cast<std::size_t>(n)), out0(in.size()), out1(in.size());
        for (int i = 0; i < n; ++i) in[static_cast<std::size_t>(i)] = level * std::sin(0.05f * static_cast<float>(i));
        float* ins[4] = {in.data(), in.data(), in.data(), in.data()};
        float* outs[2] = {out0.data(), out1.data()};
        for (int done = 0; done < n;) {
            const int block = n - done < 512 ? n - done : 512;
            float* i4[4] = {ins[0] + done, ins[1] + done, ins[2] + done, ins[3] + done};
            float* o2[2] = {outs[0] + done, outs[1] + done};
            fx->processReplacing(i4, o2, block);
            done += block;
        }
    }
    void setInputs(int channels) {
        VstSpeakerArrangement in{0, channels}, out{0, 2};
        dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    }
    bool automated(int index, float value) const {
        for (const auto& a : hostLog().automated)
            if (a.first == index && std::fabs(a.second - value) < 1e-4f) return true;
        return false;
    }
    bool anyAutomation(int index) const {
        for (const auto& a : hostLog().automated)
            if (a.first == index) return true;
        return false;
    }
    // Draws the window and writes it next to the test binary.
    void writePng(const std::string& name) {
        ASSERT_TRUE(frame->writePng((std::string(ORV_EDITOR_TEST_OUTPUT) + "/" + name).c_str()));
    }

    // Every control the user can point at: on both pages and in the preset bar.
    std::vector<CControl*> pointableControls() {
        std::vector<CControl*> out;
        collect(frame, out);
        hostSets(56, 1.0f);  // the settings page
        collect(frame, out);
        hostSets(56, 0.0f);
        return out;
    }
    static void collect(CViewContainer* container, std::vector<CControl*>& out) {
        for (int i = 0; i < container->getNbViews(); ++i) {
            CView* v = container->getView(i);
            if (v->isContainer()) collect(static_cast<CViewContainer*>(v), out);
            else if (auto* c = dynamic_cast<CControl*>(v); c && c->getMouseEnabled()) out.push_back(c);
        }
    }
    // Shows the tooltip of the control under `p` as a resting mouse does.
    void restOn(const CPoint& p) {
        hover(p);
        dispatch(effEditIdle);
        fakeNow() += 700;
        dispatch(effEditIdle);
    }
    static std::uint32_t pixel(CFrame* f, int x, int y) {
        cairo_surface_t* s = f->getSurface();
        cairo_surface_flush(s);
        const unsigned char* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
        return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xffffffu;
    }

    Fx* fx = nullptr;
    BorealisEditor* editor = nullptr;
    CFrame* frame = nullptr;
};

// Releases the font caches after the tests so sanitizer runs stay clean.
struct ReleaseFontCaches : ::testing::Environment {
    void TearDown() override {
        cairo_debug_reset_static_data();
        FcFini();
    }
};

}  // namespace edtest

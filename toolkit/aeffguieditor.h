#pragma once
// The editor binding between an effect and a toolkit frame. It answers the host's editor
// requests (rectangle, open, close, idle, keys, knob mode), lets the frame redraw on idle and
// passes the controls' edit gestures to the effect's beginEdit and endEdit. The constructor
// attaches the editor to the effect. Derived editors create `frame` in open (on the window
// given) and release it in close.
#include <cstdint>

#include "host/aeffeditor.h"
#include "toolkit/cframe.h"
#include "toolkit/editorinterface.h"

class AudioEffect;

namespace toolkit {

class AEffGUIEditor : public AEffEditor, public CEditorInterface {
public:
    explicit AEffGUIEditor(AudioEffect* effect);
    ~AEffGUIEditor() override;

    bool getRect(ERect** rect) override;
    // Remembers the host's window; derived editors build their frame on it.
    bool open(void* parentWindow) override;
    void close() override;
    // Lets the frame handle its window events and redraw; does nothing when already inside.
    void idle() override;
    bool onKeyDown(VstKeyCode& key) override;
    bool onKeyUp(VstKeyCode& key) override;
    // Host wheel turn of `distance` notches at the mouse position.
    virtual bool onWheel(float distance);
    bool setKnobMode(std::int32_t mode) override;
    std::int32_t getKnobMode() const override { return knobMode; }

    void beginEdit(std::int32_t index) override;
    void endEdit(std::int32_t index) override;

    CFrame* getFrame() const { return frame; }
    // Device pixels per unit of the editor's layout (1 at 100 %); the frame, its bitmaps and
    // the rectangle the host is given follow it.
    double getScale() const { return scale; }

protected:
    ERect rect{0, 0, 0, 0};
    double scale = 1.0;
    CFrame* frame = nullptr;
    std::int32_t knobMode = kCircularMode;
    bool inIdle = false;
};

}  // namespace toolkit

#pragma once
// The editor interface the host adapter talks to. The effect owns at most one editor; the
// adapter routes effEditGetRect/Open/Close/Idle/KeyDown/KeyUp/SetEditKnobMode to it.
#include "host/vst_interface.h"

#include <cstdint>

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
    virtual ~AEffEditor() = default;

    // Hands the host a pointer to the editor's rectangle; true when the editor answered.
    virtual bool getRect(ERect** rect) { *rect = nullptr; return false; }
    // Opens the editor inside the host's window (an X11 Window id on Linux).
    virtual bool open(void* parentWindow) { systemWindow = parentWindow; return false; }
    virtual void close() { systemWindow = nullptr; }
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode&) { return false; }
    virtual bool onKeyUp(VstKeyCode&) { return false; }
    virtual bool setKnobMode(std::int32_t) { return false; }
    // Parameter changed by the host or by a preset: the editor moves the matching control.
    virtual void setParameter(std::int32_t /*index*/, float /*value*/) {}
    // Page switch requested through the effect (indices 56 and 57).
    virtual void switchPage(std::int32_t /*index*/) {}

    AudioEffect* getEffect() const { return effect; }
    bool isOpen() const { return systemWindow != nullptr; }

protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
};

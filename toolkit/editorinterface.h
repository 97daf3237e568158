#pragma once
// What a frame needs from the editor that owns it: the knob mode chosen by the host, the way to
// report the begin and end of a user's edit gesture on a parameter, and the tick of the
// window's timer.
#include <cstdint>

namespace toolkit {

class CEditorInterface {
public:
    virtual ~CEditorInterface() = default;
    virtual void beginEdit(std::int32_t index) = 0;
    virtual void endEdit(std::int32_t index) = 0;
    virtual std::int32_t getKnobMode() const = 0;
    // Called by a window that has a timer of its own (Windows) on every tick: an editor that
    // keeps an idle timer runs its idle work when that timer is due. True when it ran.
    virtual bool serviceIdleTimer() { return false; }
};

}  // namespace toolkit

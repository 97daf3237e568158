#pragma once
// What a frame needs from the editor that owns it: the knob mode chosen by the host and the
// way to report the begin and end of a user's edit gesture on a parameter.
#include <cstdint>

namespace toolkit {

class CEditorInterface {
public:
    virtual ~CEditorInterface() = default;
    virtual void beginEdit(std::int32_t index) = 0;
    virtual void endEdit(std::int32_t index) = 0;
    virtual std::int32_t getKnobMode() const = 0;
};

}  // namespace toolkit

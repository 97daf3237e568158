#pragma once
// The mouse and keyboard model of the toolkit: button and modifier masks, the answers of mouse
// handlers, knob modes and the virtual keys and modifier bits hosts send with key events.
#include <cstdint>

namespace toolkit {

enum CButton : std::int32_t {
    kLButton = 1 << 0,
    kMButton = 1 << 1,
    kRButton = 1 << 2,
    kShift = 1 << 3,
    kControl = 1 << 4,
    kAlt = 1 << 5,
    kApple = 1 << 6,
    kDoubleClick = 1 << 7,
};

// Buttons and modifiers of one mouse event.
class CButtonState {
public:
    CButtonState(std::int32_t state = 0) : state(state) {}

    std::int32_t getState() const { return state; }
    std::int32_t getButtonState() const { return state & (kLButton | kMButton | kRButton); }
    std::int32_t getModifierState() const { return state & (kShift | kControl | kAlt | kApple); }
    bool isLeftButton() const { return (state & kLButton) != 0; }
    bool isRightButton() const { return (state & kRButton) != 0; }
    bool isDoubleClick() const { return (state & kDoubleClick) != 0; }
    bool operator==(const CButtonState& o) const { return state == o.state; }
    bool operator!=(const CButtonState& o) const { return state != o.state; }
    std::int32_t operator&(std::int32_t mask) const { return state & mask; }
    std::int32_t operator|(std::int32_t mask) const { return state | mask; }

private:
    std::int32_t state;
};

enum CMouseEventResult {
    kMouseEventNotImplemented = 0,
    kMouseEventHandled,
    kMouseEventNotHandled,
    // The press was taken; the view wants no moved or up events for it.
    kMouseDownEventHandledButDontNeedMovedOrUpEvents,
};

// How knobs follow the mouse; the host chooses with effSetEditKnobMode.
enum CKnobMode : std::int32_t {
    kCircularMode = 0,
    kRelativCircularMode = 1,
    kLinearMode = 2,
};

// Virtual key codes as hosts deliver them in VstKeyCode::virt.
enum CVirtualKey : unsigned char {
    kVKeyBack = 1,
    kVKeyTab = 2,
    kVKeyReturn = 4,
    kVKeyEscape = 6,
    kVKeySpace = 7,
    kVKeyEnd = 9,
    kVKeyHome = 10,
    kVKeyLeft = 11,
    kVKeyUp = 12,
    kVKeyRight = 13,
    kVKeyDown = 14,
    kVKeyEnter = 19,
    kVKeyDelete = 22,
};

// Modifier bits as hosts deliver them in VstKeyCode::modifier.
enum CKeyModifier : unsigned char {
    kKeyModifierShift = 1,
    kKeyModifierAlternate = 2,
    kKeyModifierCommand = 4,
    kKeyModifierControl = 8,
};

// Answers of key handlers.
inline constexpr std::int32_t kKeyHandled = 1;
inline constexpr std::int32_t kKeyNotHandled = -1;

}  // namespace toolkit

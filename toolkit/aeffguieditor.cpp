#include "toolkit/aeffguieditor.h"

#include "host/audioeffectx.h"

namespace toolkit {

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect) {
    if (effect) effect->setEditor(this);
}

AEffGUIEditor::~AEffGUIEditor() {
    if (effect && effect->getEditor() == this) effect->setEditor(nullptr);
}

bool AEffGUIEditor::getRect(ERect** r) {
    if (!r) return false;
    *r = &rect;
    return true;
}

bool AEffGUIEditor::open(void* parentWindow) {
    systemWindow = parentWindow;
    return true;
}

void AEffGUIEditor::close() { systemWindow = nullptr; }

void AEffGUIEditor::idle() {
    if (inIdle) return;
    inIdle = true;
    if (frame) frame->idle();
    inIdle = false;
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& key) {
    return frame && frame->dispatchKeyDown(key) == kKeyHandled;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& key) { return frame && frame->dispatchKeyUp(key) == kKeyHandled; }

bool AEffGUIEditor::onWheel(float distance) { return frame && frame->dispatchWheel(distance, CButtonState()); }

bool AEffGUIEditor::setKnobMode(std::int32_t mode) {
    knobMode = mode;
    return true;
}

void AEffGUIEditor::beginEdit(std::int32_t index) {
    if (auto* fx = dynamic_cast<AudioEffectX*>(effect)) fx->beginEdit(index);
}

void AEffGUIEditor::endEdit(std::int32_t index) {
    if (auto* fx = dynamic_cast<AudioEffectX*>(effect)) fx->endEdit(index);
}

}  // namespace toolkit

#include "presets/preset_system_editor.h"

CPresetSystemEditor::CPresetSystemEditor(AudioEffect* effect, const PresetBarBands& b)
    : toolkit::AEffGUIEditor(effect), bands(b) {}
CPresetSystemEditor::~CPresetSystemEditor() = default;
bool CPresetSystemEditor::open(void* parentWindow) { return toolkit::AEffGUIEditor::open(parentWindow); }
void CPresetSystemEditor::close() {}
void CPresetSystemEditor::idle() { toolkit::AEffGUIEditor::idle(); }
void CPresetSystemEditor::presetNameChanged(const char*) {}
void CPresetSystemEditor::loadStoredDefaults() {}
void CPresetSystemEditor::loadBankRecord(const BankFileRecord&, bool) {}
void CPresetSystemEditor::saveBankRecord(BankFileRecord&) {}
void CPresetSystemEditor::loadPresetRecord(const PresetFileRecord&, bool) {}
void CPresetSystemEditor::savePresetRecord(PresetFileRecord&) {}
void CPresetSystemEditor::valueChanged(toolkit::CControl*) {}
bool CPresetSystemEditor::isIdleTimerDue() const { return false; }
bool CPresetSystemEditor::serviceIdleTimer() { return false; }
CPresetSystemEffect* CPresetSystemEditor::getPresetEffect() const { return nullptr; }
toolkit::CControl* CPresetSystemEditor::getPresetBarControl(std::int32_t) const { return nullptr; }

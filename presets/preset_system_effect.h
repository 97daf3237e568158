#pragma once
// CPresetSystemEffect: the effect-side half of the preset system. It owns a bank of 16 named
// presets (parameters 0 to 33), hands the whole bank to the host as one chunk, and applies a
// preset by replaying its values through the engine's setParameter.
#include "host/audioeffectx.h"
#include "presets/editor_value_feed.h"
#include "presets/parameter_handover.h"
#include "presets/preset_record.h"

class CPresetSystemEffect : public AudioEffectX {
public:
    CPresetSystemEffect(audioMasterCallback audioMaster, const FactoryPresetValues& factoryValues);
    ~CPresetSystemEffect() override;

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override { return -1.0f; }
    VstInt32 getProgram() override { return 0; }
    void setProgram(VstInt32 program) override {}
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    VstInt32 getChunk(void** data, bool isPreset = false) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;

    virtual VstInt32 getCurrentPreset() { return currentPreset; }
    // Makes preset n current and replays it into the engine; n outside 0..15 is ignored.
    virtual void selectPreset(VstInt32 n);
    virtual void renameCurrentPreset(const char* text);
    virtual VstInt32 getUniqueID() { return cEffect.uniqueID; }
    virtual void loadStoredDefaults();
    virtual void initFactoryPresets();

    // Read access for the editor's preset bar and for tests.
    PresetRecord* getPresets() { return presets; }
    bool isApplyingPreset() const { return applyingPreset; }
    // Parameter changes on their way to the editor, which takes them in its idle pass.
    EditorValueFeed& editorFeed() { return editorValues; }

protected:
    // A host may send anything: the engines work only with values in 0..1 (NaN reads as 0).
    static double limitNormalized(float value) {
        return value != value ? 0.0 : value < 0.0f ? 0.0 : value > 1.0f ? 1.0 : value;
    }
    // After an engine has taken a parameter change: unless a preset is being replayed, the value
    // is kept in the current preset, and Power (index 0) in every preset, so that it does not
    // change with the preset. Then the value goes to the editor's feed, whatever the index: this
    // may run on the host's audio thread, which must never touch the editor's window.
    void recordParameterChange(VstInt32 index, float value);

    // Values on their way to the audio thread; a preset or bank replay is handed over whole.
    ParameterHandover parameterHandover;
    EditorValueFeed editorValues;
    PresetRecord* presets = nullptr;
    VstInt32 currentPreset = 0;
    unsigned char* chunkBuffer = nullptr;
    bool applyingPreset = false;

private:
    const FactoryPresetValues& factoryValues;
};

// The editor side of the preset system answers these when the effect asks. The preset bar
// implements them; the effect finds them through its editor pointer.
class CPresetSystemEditorHooks {
public:
    virtual ~CPresetSystemEditorHooks() = default;
    virtual void presetNameChanged(const char* name) = 0;
    virtual void loadStoredDefaults() = 0;
};

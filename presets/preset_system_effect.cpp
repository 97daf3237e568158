#include "presets/preset_system_effect.h"

#include <cstring>
#include <initializer_list>
#include <new>

namespace {

std::int32_t readWord(const unsigned char* p) {
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void writeWord(unsigned char* p, std::int32_t v) { std::memcpy(p, &v, 4); }

std::int32_t reversed(std::int32_t v) {
    swapWord(&v);
    return v;
}

}  // namespace

CPresetSystemEffect::CPresetSystemEffect(audioMasterCallback audioMaster, const FactoryPresetValues& values)
    : AudioEffectX(audioMaster, 1, kNumPresetParams), factoryValues(values) {
    programsAreChunks(true);
    chunkBuffer = new (std::nothrow) unsigned char[kBankChunkSize];
    curProgram = 0;
    currentPreset = 0;
    presets = new (std::nothrow) PresetRecord[kNumPresets];
    if (presets) initFactoryPresets();
}

CPresetSystemEffect::~CPresetSystemEffect() {
    delete[] presets;
    delete[] chunkBuffer;
}

void CPresetSystemEffect::initFactoryPresets() {
    if (!presets) return;
    for (int k = 0; k < kNumPresets; ++k) {
        setPresetName(presets[k], kFactoryPresetNames[k]);
        for (int i = 0; i < kNumPresetParams; ++i) presets[k].values[i] = factoryValues[k][i];
    }
}

void CPresetSystemEffect::setParameter(VstInt32 index, float value) {
    if (presets && index >= 0 && index < kNumPresetParams) presets[currentPreset].values[index] = value;
}

void CPresetSystemEffect::recordParameterChange(VstInt32 index, float value) {
    if (!applyingPreset) {
        CPresetSystemEffect::setParameter(index, value);
        if (index == 0 && presets)
            for (int k = 0; k < kNumPresets; ++k) presets[k].values[0] = value;
    }
    editorValues.publish(index, value);
}

void CPresetSystemEffect::setProgramName(char* name) {
    if (!presets || !name) return;
    setPresetName(presets[currentPreset], name);
    if (auto* hooks = dynamic_cast<CPresetSystemEditorHooks*>(editor)) {
        char copy[kPresetNameLength + 1] = {};
        std::memcpy(copy, presets[currentPreset].name, kPresetNameLength);
        hooks->presetNameChanged(copy);
    }
}

void CPresetSystemEffect::getProgramName(char* name) {
    if (!name) return;
    if (!presets) {
        *name = 0;
        return;
    }
    std::memcpy(name, presets[currentPreset].name, kPresetNameLength);
    name[kPresetNameLength] = 0;
}

bool CPresetSystemEffect::getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) {
    if (!presets || !text || index < 0 || index >= kNumPresets) return false;
    std::memcpy(text, presets[index].name, kPresetNameLength);
    text[kPresetNameLength] = 0;
    return true;
}

void CPresetSystemEffect::selectPreset(VstInt32 n) {
    if (!presets || n < 0 || n >= kNumPresets) return;
    applyingPreset = true;
    // The audio thread takes the preset over as a whole, at the start of a block.
    parameterHandover.beginSet();
    curProgram = 0;
    currentPreset = n;
    // Copy first: the engine's setParameter may write into the store (Power goes to all presets).
    float values[kNumPresetParams];
    std::memcpy(values, presets[n].values, sizeof values);
    for (int i = 0; i < kNumPresetParams; ++i) setParameter(i, values[i]);
    parameterHandover.endSet();
    updateDisplay();
    applyingPreset = false;
}

void CPresetSystemEffect::renameCurrentPreset(const char* text) {
    curProgram = 0;
    if (text && presets) setPresetName(presets[currentPreset], text);
    updateDisplay();
}

void CPresetSystemEffect::loadStoredDefaults() {
    if (auto* hooks = dynamic_cast<CPresetSystemEditorHooks*>(editor)) hooks->loadStoredDefaults();
}

VstInt32 CPresetSystemEffect::getChunk(void** data, bool isPreset) {
    if (!chunkBuffer || !data) return 0;
    std::memset(chunkBuffer, 0, kBankChunkSize);
    writeWord(chunkBuffer + 0, kChunkVersion);
    writeWord(chunkBuffer + 4, getUniqueID());
    writeWord(chunkBuffer + 8, kNumPresets);
    writeWord(chunkBuffer + 12, currentPreset);
    if (presets) std::memcpy(chunkBuffer + kBankChunkHeaderSize, presets, kNumPresets * sizeof(PresetRecord));
    *data = chunkBuffer;
    return kBankChunkSize;
}

VstInt32 CPresetSystemEffect::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
    if (!chunkBuffer || !presets || !data || byteSize != kBankChunkSize) return -1;
    // Work on a local copy: a chunk that is refused must not disturb the buffer that an earlier
    // getChunk handed to the host.
    unsigned char chunk[kBankChunkSize];
    std::memcpy(chunk, data, kBankChunkSize);

    const std::int32_t id = getUniqueID();
    const std::int32_t stamped = readWord(chunk + 4);
    if (stamped != id) {
        if (stamped != reversed(id)) return -1;
        for (int offset : {0, 8, 12, 16, 20, 24, 28}) swapWord(chunk + offset);
        for (int k = 0; k < kNumPresets; ++k) {
            unsigned char* values = chunk + kBankChunkHeaderSize + k * sizeof(PresetRecord) + kPresetNameLength;
            for (int i = 0; i < kNumPresetParams; ++i) swapWord(values + 4 * i);
        }
    }
    // A chunk of another version is not ours to read; it is refused rather than reported as loaded.
    if (readWord(chunk + 0) != kChunkVersion) return -1;
    if (readWord(chunk + 8) != kNumPresets) return -1;

    std::memcpy(chunkBuffer, chunk, kBankChunkSize);
    std::memcpy(presets, chunk + kBankChunkHeaderSize, kNumPresets * sizeof(PresetRecord));
    const std::int32_t current = readWord(chunk + 12);
    if (current >= 0 && current < kNumPresets) selectPreset(current);
    return 0;
}

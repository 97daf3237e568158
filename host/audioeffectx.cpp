#include "host/audioeffectx.h"

#include <cmath>

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    switch (opcode) {
        case effProcessEvents: return processEvents(ptr);
        case effCanBeAutomated: return canParameterBeAutomated(index) ? 1 : 0;
        case effString2Parameter: return (ptr && string2parameter(index, static_cast<char*>(ptr))) ? 1 : 0;
        case effGetProgramNameIndexed:
            return (ptr && getProgramNameIndexed(static_cast<VstInt32>(value), index, static_cast<char*>(ptr))) ? 1 : 0;
        case effGetInputProperties:
            return (ptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr))) ? 1 : 0;
        case effGetOutputProperties:
            return (ptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr))) ? 1 : 0;
        case effGetPlugCategory: return getPlugCategory();
        case effOfflineNotify:
        case effOfflinePrepare:
        case effOfflineRun: return 0;
        case effProcessVarIo: return (ptr && processVariableIo(ptr)) ? 1 : 0;
        case effSetSpeakerArrangement: {
            auto* in = reinterpret_cast<VstSpeakerArrangement*>(value);
            auto* out = static_cast<VstSpeakerArrangement*>(ptr);
            if (!in || !out) return 0;
            return setSpeakerArrangement(in, out) ? 1 : 0;
        }
        case effSetBlockSizeAndSampleRate: setBlockSizeAndSampleRate(static_cast<VstInt32>(value), opt); return 0;
        case effSetBypass: return setBypass(value != 0) ? 1 : 0;
        case effGetEffectName: return (ptr && getEffectName(static_cast<char*>(ptr))) ? 1 : 0;
        case effGetVendorString: return (ptr && getVendorString(static_cast<char*>(ptr))) ? 1 : 0;
        case effGetProductString: return (ptr && getProductString(static_cast<char*>(ptr))) ? 1 : 0;
        case effGetVendorVersion: return getVendorVersion();
        case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
        case effCanDo: return ptr ? canDo(static_cast<char*>(ptr)) : 0;
        case effGetTailSize: return getGetTailSize();
        case effGetParameterProperties:
            return (ptr && getParameterProperties(index, static_cast<VstParameterProperties*>(ptr))) ? 1 : 0;
        case effGetVstVersion: return getVstVersion();
        case effEditKeyDown:
        case effEditKeyUp:
            if (editor) {
                VstKeyCode key{index, static_cast<unsigned char>(value), static_cast<unsigned char>(std::lrint(opt))};
                bool used = opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
                return used ? 1 : 0;
            }
            return 0;
        case effSetEditKnobMode: return (editor && editor->setKnobMode(static_cast<VstInt32>(value))) ? 1 : 0;
        case effGetCurrentMidiProgram: return getCurrentMidiProgram(index, ptr);
        case effGetSpeakerArrangement:
            if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = nullptr;
            if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = nullptr;
            return 0;
        case effShellGetNextPlugin: return ptr ? getNextShellPlugin(static_cast<char*>(ptr)) : 0;
        case effStartProcess: return startProcess();
        case effStopProcess: return stopProcess();
        case effSetTotalSampleToProcess: return setTotalSampleToProcess(static_cast<VstInt32>(value));
        case effSetPanLaw: return setPanLaw(static_cast<VstInt32>(value), opt) ? 1 : 0;
        case effBeginLoadBank: return beginLoadBank(ptr);
        case effBeginLoadProgram: return beginLoadProgram(ptr);
        case effSetProcessPrecision: return setProcessPrecision(static_cast<VstInt32>(value)) ? 1 : 0;
        case effGetNumMidiInputChannels: return getNumMidiInputChannels();
        case effGetNumMidiOutputChannels: return getNumMidiOutputChannels();
        default: return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

bool AudioEffectX::beginEdit(VstInt32 index) { return callHost(audioMasterBeginEdit, index) != 0; }
bool AudioEffectX::endEdit(VstInt32 index) { return callHost(audioMasterEndEdit, index) != 0; }
bool AudioEffectX::ioChanged() { return callHost(audioMasterIOChanged) != 0; }

double AudioEffectX::updateSampleRate() {
    VstIntPtr rate = callHost(audioMasterGetSampleRate);
    if (rate > 0) sampleRate = static_cast<float>(rate);
    return sampleRate;
}

VstInt32 AudioEffectX::updateBlockSize() {
    VstIntPtr size = callHost(audioMasterGetBlockSize);
    if (size > 0) blockSize = static_cast<VstInt32>(size);
    return blockSize;
}

VstInt32 AudioEffectX::getInputLatency() { return static_cast<VstInt32>(callHost(audioMasterGetInputLatency)); }
VstInt32 AudioEffectX::getOutputLatency() { return static_cast<VstInt32>(callHost(audioMasterGetOutputLatency)); }

bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) {
    if (in) *in = nullptr;
    if (out) *out = nullptr;
    return false;
}

void* AudioEffectX::getTimeInfo(VstInt32 filter) {
    return reinterpret_cast<void*>(callHost(audioMasterGetTime, 0, filter));
}
VstInt32 AudioEffectX::getCurrentProcessLevel() {
    return static_cast<VstInt32>(callHost(audioMasterGetCurrentProcessLevel));
}
VstInt32 AudioEffectX::getAutomationState() { return static_cast<VstInt32>(callHost(audioMasterGetAutomationState)); }
bool AudioEffectX::getHostVendorString(char* text) { return callHost(audioMasterGetVendorString, 0, 0, text) != 0; }
bool AudioEffectX::getHostProductString(char* text) { return callHost(audioMasterGetProductString, 0, 0, text) != 0; }
VstInt32 AudioEffectX::getHostVendorVersion() { return static_cast<VstInt32>(callHost(audioMasterGetVendorVersion)); }
VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 a, VstIntPtr b, void* p, float f) {
    return callHost(audioMasterVendorSpecific, a, b, p, f);
}
VstInt32 AudioEffectX::canHostDo(char* text) { return static_cast<VstInt32>(callHost(audioMasterCanDo, 0, 0, text)); }
VstInt32 AudioEffectX::getHostLanguage() { return static_cast<VstInt32>(callHost(audioMasterGetLanguage)); }
void* AudioEffectX::getDirectory() { return reinterpret_cast<void*>(callHost(audioMasterGetDirectory)); }
bool AudioEffectX::updateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }
bool AudioEffectX::sizeWindow(VstInt32 w, VstInt32 h) { return callHost(audioMasterSizeWindow, w, h) != 0; }
bool AudioEffectX::openFileSelector(void* ptr) { return ptr && callHost(audioMasterOpenFileSelector, 0, 0, ptr) != 0; }
bool AudioEffectX::closeFileSelector(void* ptr) {
    return ptr && callHost(audioMasterCloseFileSelector, 0, 0, ptr) != 0;
}

#include "host/audioeffect.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Every trampoline recovers the effect object from the record. A host that hands back a record
// whose object is gone gets nothing done rather than a call through a stale pointer.
AudioEffect* effectOf(AEffect* e) { return e ? static_cast<AudioEffect*>(e->object) : nullptr; }

VstIntPtr ORV_VST_CALL dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                           float opt) {
    AudioEffect* fx = effectOf(e);
    if (!fx) return 0;
    if (opcode == effClose) {
        fx->dispatcher(opcode, index, value, ptr, opt);
        e->object = nullptr;  // the record dies with the object; clear it first
        delete fx;
        return 1;
    }
    return fx->dispatcher(opcode, index, value, ptr, opt);
}

void ORV_VST_CALL processClass(AEffect* e, float** in, float** out, VstInt32 frames) {
    if (AudioEffect* fx = effectOf(e)) fx->process(in, out, frames);
}

void ORV_VST_CALL processReplacingClass(AEffect* e, float** in, float** out, VstInt32 frames) {
    if (AudioEffect* fx = effectOf(e)) fx->processReplacing(in, out, frames);
}

void ORV_VST_CALL processDoubleReplacingClass(AEffect* e, double** in, double** out, VstInt32 frames) {
    if (AudioEffect* fx = effectOf(e)) fx->processDoubleReplacing(in, out, frames);
}

void ORV_VST_CALL setParameterClass(AEffect* e, VstInt32 index, float value) {
    if (AudioEffect* fx = effectOf(e)) fx->setParameter(index, value);
}

float ORV_VST_CALL getParameterClass(AEffect* e, VstInt32 index) {
    AudioEffect* fx = effectOf(e);
    return fx ? fx->getParameter(index) : 0.0f;
}

// Writes at most maxLen characters plus a terminator; the interface's customary text helpers.
void copyLimited(char* text, const char* s, VstInt32 maxLen) {
    if (!text || maxLen < 0) return;
    std::size_t n = std::strlen(s);
    if (n > static_cast<std::size_t>(maxLen)) n = static_cast<std::size_t>(maxLen);
    std::memcpy(text, s, n);
    text[n] = 0;
}

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback master, VstInt32 programs, VstInt32 params)
    : audioMaster(master), numPrograms(programs), numParams(params) {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.processReplacing = processReplacingClass;
    cEffect.processDoubleReplacing = processDoubleReplacingClass;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.flags = effFlagsCanReplacing;
}

AudioEffect::~AudioEffect() {
    delete editor;
    editor = nullptr;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    switch (opcode) {
        case effOpen: open(); return 0;
        case effClose: close(); return 1;
        case effSetProgram:
            if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
            return 0;
        case effGetProgram: return getProgram();
        case effSetProgramName:
            if (ptr) setProgramName(static_cast<char*>(ptr));
            return 0;
        case effGetProgramName:
            if (ptr) getProgramName(static_cast<char*>(ptr));
            return 0;
        case effGetParamLabel:
            if (ptr) getParameterLabel(index, static_cast<char*>(ptr));
            return 0;
        case effGetParamDisplay:
            if (ptr) getParameterDisplay(index, static_cast<char*>(ptr));
            return 0;
        case effGetParamName:
            if (ptr) getParameterName(index, static_cast<char*>(ptr));
            return 0;
        case effSetSampleRate: setSampleRate(opt); return 0;
        case effSetBlockSize: setBlockSize(static_cast<VstInt32>(value)); return 0;
        case effMainsChanged:
            if (value == 0)
                suspend();
            else
                resume();
            return 0;
        case effEditGetRect:
            if (editor && ptr) return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
            return 0;
        case effEditOpen:
            if (editor) return editor->open(ptr) ? 1 : 0;
            return 0;
        case effEditClose:
            if (editor) editor->close();
            return 0;
        case effEditIdle:
            if (editor) editor->idle();
            return 0;
        case effIdentify: return kEffectIdentify;
        case effGetChunk:
            if (!ptr) return 0;
            return getChunk(static_cast<void**>(ptr), index != 0);
        case effSetChunk:
            if (value < 0 || value > 0x7fffffff) return -1;
            return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
        default: return 0;
    }
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstInt32 AudioEffect::getMasterVersion() {
    VstInt32 version = static_cast<VstInt32>(callHost(audioMasterVersion));
    return version != 0 ? version : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId() { return static_cast<VstInt32>(callHost(audioMasterCurrentId)); }

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

bool AudioEffect::isInputConnected(VstInt32 input) {
    return audioMaster ? callHost(audioMasterPinConnected, input, 0) == 0 : true;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
    return audioMaster ? callHost(audioMasterPinConnected, output, 1) == 0 : true;
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) {
    if (value <= 0.0f) {
        copyLimited(text, "-oo", maxLen);
        return;
    }
    float2string(20.0f * std::log10(value), text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen) {
    if (samples == 0.0f) {
        float2string(0.0f, text, maxLen);
        return;
    }
    float2string(sampleRate / samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen) {
    float2string(samples * 1000.0f / sampleRate, text, maxLen);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) {
    if (!(std::fabs(value) < 1e8f)) {
        copyLimited(text, "Huge!", maxLen);
        return;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(value));
    copyLimited(text, buf, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) {
    if (value >= 100000000 || value <= -100000000) {
        copyLimited(text, "Huge!", maxLen);
        return;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", static_cast<int>(value));
    copyLimited(text, buf, maxLen);
}

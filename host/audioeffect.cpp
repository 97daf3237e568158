#include "host/audioeffect.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// The records of closed effects. After effClose a host must not use the record again, yet some
// do: a second effClose, a late idle or parameter call. So the record is not part of the effect
// object but allocated beside it, and when effClose deletes the object the record stays behind
// with a null object pointer, on which every trampoline answers 0 and does nothing. The records
// of the last kSlots closes are kept; an older one is freed when its slot is reused, and all of
// them when the library is unloaded.
class RetiredRecords {
public:
    ~RetiredRecords() {
        for (std::atomic<AEffect*>& slot : slots) delete slot.exchange(nullptr);
    }
    void retire(AEffect* record) {
        const unsigned n = next.fetch_add(1, std::memory_order_relaxed) & (kSlots - 1);
        delete slots[n].exchange(record, std::memory_order_acq_rel);
    }

private:
    static constexpr unsigned kSlots = 256;  // a power of two
    std::atomic<AEffect*> slots[kSlots] = {};
    std::atomic<unsigned> next{0};
};

RetiredRecords& retiredRecords() {
    static RetiredRecords records;
    return records;
}

// Every trampoline recovers the effect object from the record. The record of a closed effect
// has none (see RetiredRecords), so a late call does nothing.
AudioEffect* effectOf(AEffect* e) { return e ? static_cast<AudioEffect*>(e->object) : nullptr; }

VstIntPtr ORV_VST_CALL dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                           float opt) {
    AudioEffect* fx = effectOf(e);
    if (!fx) return 0;
    if (opcode == effClose) {
        fx->dispatcher(opcode, index, value, ptr, opt);
        // With the object pointer cleared, the destructor hands the record to RetiredRecords
        // instead of freeing it.
        e->object = nullptr;
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
    : audioMaster(master), numPrograms(programs), numParams(params), cEffect(*new AEffect()) {
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
    // Closed through effClose: the host may still hold the record, so it is kept for a while.
    // Deleted any other way (by the plug-in's own code or a test): nobody else has it.
    if (cEffect.object == nullptr)
        retiredRecords().retire(&cEffect);
    else
        delete &cEffect;
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

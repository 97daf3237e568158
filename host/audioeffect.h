#pragma once
// AudioEffect: the base of every effect object. It owns the AEffect record handed to the host,
// installs the trampolines that turn the record's calls into virtual operations, answers the
// first-generation dispatcher requests and wraps the host callbacks.
#include "host/aeffeditor.h"
#include "host/vst_interface.h"

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();

    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(VstInt32 size) { blockSize = size; }
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {}
    virtual void setParameter(VstInt32 index, float value) {}
    virtual float getParameter(VstInt32 index) { return 0.0f; }
    // Runs the effect's own setParameter, then tells the host (audioMasterAutomate).
    virtual void setParameterAutomated(VstInt32 index, float value);
    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgram(VstInt32 program) {}
    virtual void setProgramName(char* name) {}
    virtual void getProgramName(char* name) { *name = 0; }
    virtual void getParameterLabel(VstInt32 index, char* label) { *label = 0; }
    virtual void getParameterDisplay(VstInt32 index, char* text) { *text = 0; }
    virtual void getParameterName(VstInt32 index, char* text) { *text = 0; }
    virtual VstInt32 getChunk(void** data, bool isPreset = false) { return 0; }
    virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false) { return 0; }
    virtual void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
    virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    virtual void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    virtual void canDoubleReplacing(bool state = true) { setFlag(effFlagsCanDoubleReplacing, state); }
    virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }
    virtual AEffEditor* getEditor() { return editor; }
    virtual AEffect* getAeffect() { return &cEffect; }
    virtual float getSampleRate() { return sampleRate; }
    virtual VstInt32 getBlockSize() { return blockSize; }
    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(VstInt32 input);
    virtual bool isOutputConnected(VstInt32 output);
    virtual void dB2string(float value, char* text, VstInt32 maxLen);
    virtual void Hz2string(float samples, char* text, VstInt32 maxLen);
    virtual void ms2string(float samples, char* text, VstInt32 maxLen);
    virtual void float2string(float value, char* text, VstInt32 maxLen);
    virtual void int2string(VstInt32 value, char* text, VstInt32 maxLen);
    // Deprecated accumulating process; nothing in the system uses it.
    virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) {}

    // Attaches (or detaches, with null) the editor and keeps effFlagsHasEditor in step.
    void setEditor(AEffEditor* newEditor);
    // Whether the flags of the record contain `flag`.
    bool hasFlag(VstInt32 flag) const { return (cEffect.flags & flag) != 0; }

    // Sends a request to the host; 0 when there is no callback.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);

protected:
    void setFlag(VstInt32 flag, bool state) {
        if (state)
            cEffect.flags |= flag;
        else
            cEffect.flags &= ~flag;
    }

    audioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 1024;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram = 0;
    // The record handed to the host. It is allocated apart from the object because it may have
    // to outlive it: see the effClose handling in audioeffect.cpp.
    AEffect& cEffect;
};

// The deliverable's factory, defined once per plug-in.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);

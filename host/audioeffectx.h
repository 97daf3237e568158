#pragma once
// AudioEffectX: the VST 2.x layer of the adapter. It answers the later dispatcher requests
// (identity strings, properties, speaker arrangements, key events, precision) and wraps the
// later host callbacks (automation gestures, display updates, latency, sample rate).
#include "host/audioeffect.h"

class AudioEffectX : public AudioEffect {
public:
    using AudioEffect::AudioEffect;

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    virtual bool canParameterBeAutomated(VstInt32 index) { return true; }
    virtual bool string2parameter(VstInt32 index, char* text) { return false; }
    virtual bool getParameterProperties(VstInt32 index, VstParameterProperties* p) { return false; }
    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);
    virtual bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) { return false; }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual VstInt32 beginLoadBank(void* ptr) { return 0; }
    virtual VstInt32 beginLoadProgram(void* ptr) { return 0; }
    virtual bool ioChanged();
    virtual double updateSampleRate();
    virtual VstInt32 updateBlockSize();
    virtual VstInt32 getInputLatency();
    virtual VstInt32 getOutputLatency();
    virtual bool getInputProperties(VstInt32 index, VstPinProperties* p) { return false; }
    virtual bool getOutputProperties(VstInt32 index, VstPinProperties* p) { return false; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) { return false; }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out);
    virtual bool setBypass(bool onOff) { return false; }
    virtual bool setPanLaw(VstInt32 type, float val) { return false; }
    virtual bool setProcessPrecision(VstInt32 precision) { return false; }
    virtual VstInt32 getNumMidiInputChannels() { return 0; }
    virtual VstInt32 getNumMidiOutputChannels() { return 0; }
    virtual void* getTimeInfo(VstInt32 filter);
    virtual VstInt32 getCurrentProcessLevel();
    virtual VstInt32 getAutomationState();
    virtual VstInt32 processEvents(void* events) { return 0; }
    virtual VstInt32 startProcess() { return 0; }
    virtual VstInt32 stopProcess() { return 0; }
    virtual bool processVariableIo(void* varIo) { return false; }
    virtual VstInt32 setTotalSampleToProcess(VstInt32 value) { return value; }
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual VstInt32 getHostVendorVersion();
    virtual VstIntPtr hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg, float floatArg);
    virtual VstInt32 canHostDo(char* text);
    virtual VstInt32 getHostLanguage();
    virtual bool isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); return true; }
    virtual void noTail(bool state = true) { setFlag(effFlagsNoSoundInStop, state); }
    virtual VstInt32 getGetTailSize() { return 0; }
    virtual void* getDirectory();
    virtual bool getEffectName(char* name) { return false; }
    virtual bool getVendorString(char* text) { return false; }
    virtual bool getProductString(char* text) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) { return 0; }
    virtual VstInt32 canDo(char* text) { return 0; }
    virtual VstInt32 getVstVersion() { return 2400; }
    virtual VstInt32 getPlugCategory() { return kPlugCategUnknown; }
    virtual VstInt32 getCurrentMidiProgram(VstInt32 channel, void* program) { return -1; }
    virtual bool updateDisplay();
    virtual bool sizeWindow(VstInt32 width, VstInt32 height);
    virtual bool openFileSelector(void* ptr);
    virtual bool closeFileSelector(void* ptr);
    virtual VstInt32 getNextShellPlugin(char* name) { return 0; }
    virtual void setBlockSizeAndSampleRate(VstInt32 size, float rate) {
        blockSize = size;
        sampleRate = rate;
    }
};

// The frame of Orv Borealis: construction, suspend and resume, the processing entry points,
// channel routing and the identity answers.
#include "borealis/borealis.h"
#include "gui/meter_settings.h"
#include "host/shared_answers.h"
#include "platform/message_box.h"

#include <cstring>

namespace {
constexpr float kMinRate = 22050.0f;
constexpr float kMaxRate = 192000.0f;
}  // namespace

Borealis::Borealis(audioMasterCallback audioMaster) : CPresetSystemEffect(audioMaster, kBorealisFactoryPresets) {
    construct(false);
}

Borealis::Borealis(audioMasterCallback audioMaster, SimulateFailure)
    : CPresetSystemEffect(audioMaster, kBorealisFactoryPresets) {
    construct(true);
}

void Borealis::construct(bool simulateFailure) {
    constructionFailed = simulateFailure || !presets || !chunkBuffer;
    setNumInputs(4);
    setNumOutputs(2);
    sideChainOn = inputStereo = outputStereo = true;
    canProcessReplacing(true);
    canDoubleReplacing(true);
    setUniqueID(fourCharCode('O', 'r', 'B', 'o'));

    if (!constructionFailed) setInitialDelay(kBorealisLatency);

    // Starting values; the factory preset replaces those of parameters 0 to 33 below.
    engine = BorealisSettings();

    if (!constructionFailed) {
        for (int index = kFirstMeterSetting; index <= kLastMeterSetting; ++index)
            setParameter(index, readCheckedMeterSetting(index));
    }
    setParameter(kMeters, 0.5f);
    limitSampleRate();

    if (constructionFailed) {
        setNumInputs(1);
        setNumOutputs(1);
        setUniqueID(fourCharCode('-', '-', '-', '-'));
        orv::platform::messageBox("Not enough memory", "Cannot create Orv Borealis");
        return;
    }
    loadStoredDefaults();
    selectPreset(0);
    suspend();
}

Borealis::~Borealis() {
    if (!constructionFailed) {
        for (int index = kFirstMeterSetting; index <= kLastMeterSetting; ++index)
            writeMeterSetting(index, static_cast<float>(normalized[index]));
    }
}

void Borealis::limitSampleRate() {
    if (sampleRate < kMinRate) sampleRate = kMinRate;
    if (sampleRate > kMaxRate) sampleRate = kMaxRate;
}

void Borealis::suspend() {
    if (constructionFailed) {
        orv::platform::messageBox("Not enough memory", "Cannot create Orv Borealis");
        return;
    }
    limitSampleRate();
}

void Borealis::resume() {
    if (constructionFailed) return;
    if (sampleRate < kMinRate || sampleRate > kMaxRate) sampleRate = 44100.0f;
    setInitialDelay(static_cast<VstInt32>(getLatencySamples()));
}

void Borealis::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    if (!outputs || sampleFrames <= 0) return;
    for (int c = 0; c < 2; ++c)
        if (outputs[c]) std::memset(outputs[c], 0, sizeof(float) * static_cast<std::size_t>(sampleFrames));
}

void Borealis::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
    if (!outputs || sampleFrames <= 0) return;
    for (int c = 0; c < 2; ++c)
        if (outputs[c]) std::memset(outputs[c], 0, sizeof(double) * static_cast<std::size_t>(sampleFrames));
}

bool Borealis::getInputProperties(VstInt32 index, VstPinProperties* p) { return fillPinProperties(index, p, true); }
bool Borealis::getOutputProperties(VstInt32 index, VstPinProperties* p) { return fillPinProperties(index, p, false); }

bool Borealis::setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) {
    if (!in || !out) return false;
    ChannelRouting r = routingForArrangement(in->numChannels, out->numChannels);
    sideChainOn = r.sideChainOn;
    inputStereo = r.inputStereo;
    outputStereo = r.outputStereo;
    return r.accepted;
}

bool Borealis::getEffectName(char* name) {
    std::strcpy(name, "Orv Borealis");
    return true;
}

bool Borealis::getVendorString(char* text) {
    std::strcpy(text, kOrvVendorString);
    return true;
}

bool Borealis::getProductString(char* text) {
    std::strcpy(text, "Orv Borealis - stereo mastering compressor");
    return true;
}

float Borealis::getLatencySamples() { return static_cast<float>(kBorealisLatency); }

float Borealis::getLatencyMs() {
    float fs = sampleRate;
    if (fs > 200000.0f || fs < 20000.0f) fs = 44100.0f;
    return getLatencySamples() * 1000.0f / fs;
}

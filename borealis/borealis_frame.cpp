// The frame of Orv Borealis: construction, suspend and resume, the processing entry points,
// channel routing and the identity answers.
#include "borealis/borealis.h"
#include "gui/meter_settings.h"
#include "host/shared_answers.h"
#include "platform/message_box.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {
constexpr float kMinRate = 22050.0f;
constexpr float kMaxRate = 192000.0f;
}  // namespace

// The engine alone has no editor; the plug-in supplies the real factory.
__attribute__((weak)) AEffEditor* createBorealisEditor(Borealis*) { return nullptr; }

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

    // Every ring, filter, resampler and buffer of the processing lives in one object.
    if (!constructionFailed) {
        kernel = new (std::nothrow) borealis::Kernel();
        if (!kernel) constructionFailed = true;
    }
    if (!constructionFailed) setInitialDelay(kBorealisLatency);

    // Starting values; the factory preset replaces those of parameters 0 to 33 below.
    engine = requested = BorealisSettings();

    if (!constructionFailed) {
        for (int index = kFirstMeterSetting; index <= kLastMeterSetting; ++index)
            setParameter(index, readCheckedMeterSetting(index));
        meterSettingChanges.forget();
    }
    setParameter(kMeters, 0.5f);
    limitSampleRate();
    if (kernel) kernel->setHostRate(sampleRate, engine);

    if (constructionFailed) {
        setNumInputs(1);
        setNumOutputs(1);
        setUniqueID(fourCharCode('-', '-', '-', '-'));
        orv::platform::messageBox("Not enough memory", "Cannot create Orv Borealis");
        return;
    }
    setEditor(createBorealisEditor(this));
    loadStoredDefaults();
    selectPreset(0);
    suspend();
}

Borealis::~Borealis() {
    // Only what this instance changed goes back, so it cannot undo another instance's change.
    if (!constructionFailed)
        meterSettingChanges.writeBack([this](int index) { return static_cast<float>(normalized[index]); });
    delete kernel;
}

void Borealis::limitSampleRate() {
    // A rate that is not a number has no side to be limited to: it is out of range.
    if (std::isnan(sampleRate)) sampleRate = 44100.0f;
    if (sampleRate < kMinRate) sampleRate = kMinRate;
    if (sampleRate > kMaxRate) sampleRate = kMaxRate;
}

void Borealis::suspend() {
    if (constructionFailed) {
        orv::platform::messageBox("Not enough memory", "Cannot create Orv Borealis");
        return;
    }
    takeOverSettings(false);
    if (kernel) kernel->reset(engine);
    meterFeeds.clear();
    limitSampleRate();
    if (auto* hooks = dynamic_cast<OrvEditorHooks*>(editor)) hooks->resetMeters();
}

void Borealis::resume() {
    if (constructionFailed || !kernel) return;
    takeOverSettings(false);
    if (!(sampleRate >= kMinRate && sampleRate <= kMaxRate)) sampleRate = 44100.0f;  // NaN included
    kernel->setHostRate(sampleRate, engine);
    kernel->snapSmoothers(engine);
    setInitialDelay(static_cast<VstInt32>(getLatencySamples()));
    if (auto* hooks = dynamic_cast<OrvEditorHooks*>(editor)) hooks->refreshLatency();
}

void Borealis::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processBlock(inputs, outputs, sampleFrames);
}

void Borealis::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
    processBlock(inputs, outputs, sampleFrames);
}

template <class T>
void Borealis::processBlock(T** inputs, T** outputs, VstInt32 sampleFrames) {
    if (!outputs || sampleFrames <= 0) return;
    if (constructionFailed || !kernel || !inputs || !inputs[0] || !outputs[0]) {
        // Nothing to process with: whatever outputs the host gave are silenced (the second only
        // when the arrangement has one).
        const VstInt32 provided = outputStereo ? 2 : 1;
        for (VstInt32 c = 0; c < cEffect.numOutputs && c < provided; ++c)
            if (outputs[c]) std::memset(outputs[c], 0, sizeof(T) * static_cast<std::size_t>(sampleFrames));
        return;
    }
    takeOverSettings();  // this block runs on one consistent set of settings
    meterFeeds.applyEditorRequests();  // holds released and meters cleared by the editor
    const borealis::KernelVariant variant = borealis::chooseVariant(engine);
    const bool simpleChoice =
        variant == borealis::KernelVariant::PowerOff || variant == borealis::KernelVariant::Smooth;
    kernel->process(chooseChannels(inputs, outputs, simpleChoice), sampleFrames, engine, meterFeeds);
    meterFeeds.latchOvers(engine.overCount);
    meterFeeds.publish();  // what the editor's meters show next
}

// Main inputs are pins 0 and 1, the external key inputs pins 2 and 3. Only the pins the speaker
// arrangement gives are read: the second input and output under a stereo arrangement, the key
// inputs under the four-input one. The Smooth and power-off kernels do not ask the host whether
// the main pins are connected, and take any non-null key pin.
template <class T>
borealis::BlockChannels<T> Borealis::chooseChannels(T** inputs, T** outputs, bool simpleChoice) {
    borealis::BlockChannels<T> io{};
    io.mainL = inputs[0];
    const bool rightIn = inputStereo && inputs[1] && (simpleChoice || isInputConnected(1));
    io.mainR = rightIn ? inputs[1] : inputs[0];
    io.keyL = io.mainL;
    io.keyR = io.mainR;
    if (engine.sideChainExternal) {
        // sideChainOn without inputStereo comes only from a refused arrangement of two inputs.
        const bool keysAllowed = sideChainOn && inputStereo;
        const bool key3 = keysAllowed && isInputConnected(2);
        io.keyL = (key3 && inputs[2]) ? inputs[2] : inputs[0];
        if (keysAllowed && inputs[3] && isInputConnected(3))
            io.keyR = inputs[3];
        else
            io.keyR = key3 ? io.keyL : io.mainR;
    }
    io.outL = outputs[0];
    const bool rightOut = outputStereo && outputs[1] && (simpleChoice || isOutputConnected(1));
    io.outR = rightOut ? outputs[1] : nullptr;
    return io;
}

template void Borealis::processBlock<float>(float**, float**, VstInt32);
template void Borealis::processBlock<double>(double**, double**, VstInt32);

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
    if (!(fs >= 20000.0f && fs <= 200000.0f)) fs = 44100.0f;
    return getLatencySamples() * 1000.0f / fs;
}

double Borealis::maxGainReductionDb() const {
    if (!kernel) return 0.0;
    const double g = kernel->lowestGain();
    return g < 1.0 && g > 0.0 ? -20.0 * std::log10(g) : 0.0;
}

double Borealis::maxLimiterReductionDb() const {
    if (!kernel) return 0.0;
    const double g = kernel->lowestLimiterGain();
    return g < 1.0 && g > 0.0 ? -20.0 * std::log10(g) : 0.0;
}

void Borealis::clearGainReduction() {
    if (kernel) kernel->clearGainExtremes();
}

VstIntPtr Borealis::vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) {
    if (lArg == kEditorScaleRequest) {
        auto* hooks = dynamic_cast<OrvEditorHooks*>(editor);
        return hooks ? static_cast<VstIntPtr>(hooks->requestEditorScale(lArg2)) : 0;
    }
    if (lArg == orv::dsp::kCodePathRequest) {
        if (!kernel) return 0;
        return static_cast<VstIntPtr>(kernel->codePath().request(lArg2));
    }
    if (lArg != kGainReductionQuery) return 0;
    if (ptrArg) {
        double* values = static_cast<double*>(ptrArg);
        values[0] = maxGainReductionDb();
        values[1] = maxLimiterReductionDb();
    }
    if (lArg2 == 1) clearGainReduction();
    return 1;
}

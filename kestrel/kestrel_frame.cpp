// The frame of Orv Kestrel: construction, suspend and resume, the rate-dependent latency, the
// processing entry point with its channel routing and power-off path, and the identity answers.
#include "gui/meter_settings.h"
#include "host/shared_answers.h"
#include "kestrel/kestrel.h"
#include "platform/message_box.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <new>

using namespace kestrel;
using orv::dsp::Biquad;
using orv::dsp::BiquadType;

namespace {
constexpr float kMinRate = 22050.0f;
constexpr float kMaxRate = 192000.0f;
constexpr const char* kNoMemory = "Not enough memory";
constexpr const char* kCannotCreate = "Cannot create Orv Kestrel";
}  // namespace

// The engine alone has no editor; the editor library supplies the real factory.
__attribute__((weak)) AEffEditor* createKestrelEditor(Kestrel*) { return nullptr; }

Kestrel::Kestrel(audioMasterCallback audioMaster) : CPresetSystemEffect(audioMaster, kKestrelFactoryPresets) {
    construct(false);
}

Kestrel::Kestrel(audioMasterCallback audioMaster, SimulateFailure)
    : CPresetSystemEffect(audioMaster, kKestrelFactoryPresets) {
    construct(true);
}

void Kestrel::construct(bool simulateFailure) {
    setNumInputs(4);
    setNumOutputs(2);
    canProcessReplacing(true);
    canDoubleReplacing(false);
    setUniqueID(fourCharCode('O', 'r', 'K', 'e'));
    sideChainOn = inputStereo = outputStereo = true;

    for (Biquad& f : spare) f.create(44100.0, BiquadType::Peaking, 700.0, 0.3, 12.0);

    hilbertN = hilbertLengthForRate();
    setInitialDelay(static_cast<VstInt32>(getLatencySamples()));

    engine = requested = KestrelSettings();
    normalized[kScMonit] = 0.0;
    shownNormalized[kScMonit].store(0.0, std::memory_order_relaxed);
    constructionFailed = simulateFailure || !presets || !chunkBuffer;
    if (!constructionFailed) {
        for (int index = kFirstMeterSetting; index <= kLastMeterSetting; ++index)
            setParameter(index, readCheckedMeterSetting(index));
        meterSettingChanges.forget();
        setParameter(kMeters, 0.5f);
        kernel = new (std::nothrow) kestrel::Kernel;
        constructionFailed = kernel == nullptr;
    }
    if (constructionFailed) {
        setNumInputs(1);
        setNumOutputs(1);
        setUniqueID(fourCharCode('-', '-', '-', '-'));
        orv::platform::messageBox(kNoMemory, kCannotCreate);
        return;
    }
    computeHilbert();
    setEditor(createKestrelEditor(this));
    loadStoredDefaults();
    selectPreset(0);
    suspend();
}

Kestrel::~Kestrel() {
    // Only what this instance changed goes back, so it cannot undo another instance's change.
    if (!constructionFailed)
        meterSettingChanges.writeBack([this](int index) { return static_cast<float>(normalized[index]); });
    delete kernel;
}

int Kestrel::hilbertLengthForRate() const {
    const double fs = sampleRate > 0.0f ? std::floor(static_cast<double>(sampleRate)) : 0.0;
    int n = static_cast<int>(fs / 1000.0);
    if (n < 1) n = 1;
    if (n > kMaxHilbertLength) n = kMaxHilbertLength;
    return n;
}

// A new length clears the delays: the processing starts from silence.
void Kestrel::computeHilbert() {
    hilbertN = hilbertLengthForRate();
    if (kernel) kernel->setHilbertLength(hilbertN);
}

void Kestrel::limitSampleRate() {
    if (sampleRate < kMinRate) sampleRate = kMinRate;
    if (sampleRate > kMaxRate) sampleRate = kMaxRate;
}

void Kestrel::setSampleRate(float rate) {
    // The rate the processing already runs at, sent again: nothing to restart.
    if (running && rate == sampleRate) return;
    sampleRate = rate;
    suspend();
    resume();
}

void Kestrel::suspend() {
    meterFeeds.resetVuFilters();
    if (constructionFailed) {
        orv::platform::messageBox(kNoMemory, kCannotCreate);
        return;
    }
    takeOverSettings(false);
    running = false;
    meterFeeds.clear();
    kestrel::Kernel::Followers& f = kernel->followers();
    f = kestrel::Kernel::Followers();
    kernel->restartFilters();
    for (Biquad& b : spare) {
        b.setRate(b.sampleRate());
        b.reset();
    }
    if (updateBlockSize() <= 0) blockSize = 1024;
    if (std::isnan(sampleRate)) sampleRate = 44100.0f;
    limitSampleRate();
    kernel->clearHistory();
    f.makeup = engine.makeupGain;
    f.output = engine.outputGain;
    if (auto* hooks = dynamic_cast<KestrelEditorHooks*>(editor)) hooks->resetMeters();
}

void Kestrel::resume() {
    if (constructionFailed) {
        orv::platform::messageBox(kNoMemory, kCannotCreate);
        return;
    }
    takeOverSettings(false);
    updateBlockSize();
    if (!(sampleRate >= kMinRate && sampleRate <= kMaxRate)) sampleRate = 44100.0f;
    const double fs = sampleRate;
    meterFeeds.setVuRate(fs);
    updateAttack();
    updateRelease();
    for (Biquad& f : spare) f.setRate(fs);
    kernel->setFilterRate(fs, false);
    // The mode tables of resume apply; the frequency parameters wait for their next change.
    applyLowShelfMode(true);
    applyHighShelfMode(true);
    kernel->resetFilters();
    for (Biquad& f : spare) f.reset();
    // A new rate changes the Hilbert length and with it the delays: start from silence.
    computeHilbert();
    setInitialDelay(static_cast<VstInt32>(getLatencySamples()));
    if (auto* hooks = dynamic_cast<KestrelEditorHooks*>(editor)) hooks->refreshLatency();
    running = true;
}

float Kestrel::getLatencySamples() {
    latencySamples = kDetectorDelay;
    return static_cast<float>(latencySamples);
}

float Kestrel::getLatencyMs() {
    float fs = sampleRate;
    if (!(fs >= 20000.0f && fs <= 200000.0f)) fs = 44100.0f;
    return getLatencySamples() * 1000.0f / fs;
}

// Only the pins the speaker arrangement gives are read: the second input and output under a
// stereo arrangement, the key inputs under the four-input one and only with S.C.Ext on.
Kestrel::Channels Kestrel::chooseChannels(float** inputs, float** outputs) {
    Channels c{};
    const float* left = inputs[0];
    const bool rightIn = inputStereo && inputs[1] && isInputConnected(1);
    const float* right = rightIn ? inputs[1] : left;
    c.out[0] = outputs[0];
    c.out[1] = (outputStereo && outputs[1] && isOutputConnected(1)) ? outputs[1] : outputs[0];
    const float* scLeft = left;
    const float* scRight = right;
    // sideChainOn without inputStereo comes only from a refused arrangement of two inputs.
    if (engine.sideChainExternal && sideChainOn && inputStereo) {
        const bool keyLeft = inputs[2] && isInputConnected(2);
        const bool keyRight = inputs[3] && isInputConnected(3);
        scLeft = keyLeft ? inputs[2] : left;
        scRight = keyRight ? inputs[3] : keyLeft ? scLeft : right;
    }
    c.in[0] = left;
    c.in[1] = right;
    c.in[2] = scLeft;
    c.in[3] = scRight;
    return c;
}

void Kestrel::beginMeterBlock(bool powerOff) {
    meterFeeds.beginBlock(orv::meterSourceFor(engine.meters), engine.meter, sampleRate, engine.ratioIndex < 6,
                          powerOff);
}

void Kestrel::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    if (!outputs || sampleFrames <= 0) return;
    if (constructionFailed || !kernel || !inputs || !inputs[0] || !outputs[0]) {
        // Nothing to process: silence rather than whatever the host left in the buffers it gave
        // (the second only when the arrangement has one).
        const int provided = outputStereo ? 2 : 1;
        for (int c = 0; c < provided && c < cEffect.numOutputs; ++c)
            if (outputs[c]) std::memset(outputs[c], 0, sizeof(float) * static_cast<std::size_t>(sampleFrames));
        return;
    }
    takeOverSettings();  // this block runs on one consistent set of settings
    meterFeeds.applyEditorRequests();  // holds released and meters cleared by the editor
    const Channels ch = chooseChannels(inputs, outputs);
    beginMeterBlock(!engine.powerOn);
    kernel->process(ch, sampleFrames, engine, meterFeeds, codePath.wide());
    meterFeeds.ageHolds(sampleFrames);
    meterFeeds.latchOvers(engine.meter.overCount);
    meterFeeds.publish();  // what the editor's meters show next
}

VstIntPtr Kestrel::vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) {
    if (lArg == kEditorScaleRequest) {
        auto* hooks = dynamic_cast<KestrelEditorHooks*>(editor);
        return hooks ? static_cast<VstIntPtr>(hooks->requestEditorScale(lArg2)) : 0;
    }
    if (lArg != orv::dsp::kCodePathRequest) return 0;
    return static_cast<VstIntPtr>(codePath.request(lArg2));
}

void Kestrel::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) {
    if (!outputs || sampleFrames <= 0) return;
    const int provided = outputStereo ? 2 : 1;
    for (int c = 0; c < provided && c < cEffect.numOutputs; ++c)
        if (outputs[c]) std::memset(outputs[c], 0, sizeof(double) * static_cast<std::size_t>(sampleFrames));
}

bool Kestrel::getInputProperties(VstInt32 index, VstPinProperties* p) { return fillPinProperties(index, p, true); }
bool Kestrel::getOutputProperties(VstInt32 index, VstPinProperties* p) { return fillPinProperties(index, p, false); }

bool Kestrel::setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) {
    if (!in || !out) return false;
    const ChannelRouting r = routingForArrangement(in->numChannels, out->numChannels);
    sideChainOn = r.sideChainOn;
    inputStereo = r.inputStereo;
    outputStereo = r.outputStereo;
    return r.accepted;
}

bool Kestrel::getEffectName(char* name) {
    std::strcpy(name, "Orv Kestrel");
    return true;
}

bool Kestrel::getVendorString(char* text) {
    std::strcpy(text, kOrvVendorString);
    return true;
}

bool Kestrel::getProductString(char* text) {
    std::strcpy(text, "Orv Kestrel - stereo mastering compressor");
    return true;
}

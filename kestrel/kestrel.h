#pragma once
// Orv Kestrel, the smaller stereo mastering compressor, as the host sees it: parameters,
// processing frame and the values it offers its editor. The processing itself is the kernel's
// (kernel.h).
#include <atomic>

#include "borealis/dsp/biquad.h"
#include "borealis/dsp/code_path.h"
#include "borealis/editor/editor_hooks.h"
#include "gui/meter_settings.h"
#include "kestrel/kernel.h"
#include "kestrel/kestrel_meters.h"
#include "kestrel/kestrel_settings.h"
#include "presets/preset_system_effect.h"

namespace kestrel {
// Parameter indices of Orv Kestrel.
enum Param : VstInt32 {
    kPower = 0, kReset = 1, kSoft = 2, kRms = 3, kHidden4 = 4, kThreshold = 5, kRatio = 6,
    kAttack = 8, kRelease = 10, kAutoRelease = 11, kLowScf = 12, kLowFreq = 13, kHighScf = 14,
    kHighFreq = 15, kMakeup = 16, kAutoMakeup = 17, kHidden18 = 18, kHidden19 = 19, kLink = 20,
    kBalance = 21, kMix = 22, kOutput = 23, kMeters = 24, kClassic = 25, kScExt = 26, kSmooth = 27,
    kStereo = 28, kUnused = 34, kScMonit = 35, kVuIntegr = 36, kVuRefer = 37, kPpmIntegr = 38,
    kPpmReturn = 39, kOverIndic = 40,
    kNumParamSlots = 41,
};
}  // namespace kestrel

// The editor is optional for the engine; when one is linked in it answers these calls
// (resetMeters in suspend, refreshLatency in resume).
using KestrelEditorHooks = OrvEditorHooks;

class Kestrel;
// Creates the editor of the plug-in; the engine alone provides a version that creates none.
AEffEditor* createKestrelEditor(Kestrel* effect);

class Kestrel : public CPresetSystemEffect {
public:
    static constexpr int kMaxHilbertLength = kestrel::Kernel::kMaxHilbertLength;
    // The delay the detector's centre has behind the input, at every rate. The main signal is
    // delayed as much, so each gain meets the sample it was computed for: this is the latency.
    static constexpr int kDetectorDelay = kestrel::Kernel::kDetectorDelay;

    explicit Kestrel(audioMasterCallback audioMaster);
    ~Kestrel() override;

    void suspend() override;
    void resume() override;
    void setSampleRate(float rate) override;
    void setBlockSize(VstInt32 size) override { blockSize = size; }
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    // Refused by setProcessPrecision; a host that calls it anyway gets silence.
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    bool getParameterProperties(VstInt32 index, VstParameterProperties* p) override;
    bool getInputProperties(VstInt32 index, VstPinProperties* p) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* p) override;
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override;
    // 32-bit samples only: there is no double-precision path to accept.
    bool setProcessPrecision(VstInt32 precision) override { return precision == kVstProcessPrecision32; }
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 1700; }
    VstInt32 getPlugCategory() override { return kPlugCategMastering; }
    // vendorSpecific(orv::dsp::kCodePathRequest, request, 0, 0) sets and reports the code path
    // (borealis/dsp/code_path.h); every other request answers 0.
    VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) override;

    // A parameter in the units of the editor's readouts.
    virtual float getUnitValue(VstInt32 index);
    virtual float unitScale() { return 1.0f; }  // constant 1.0, kept for the editor interface
    virtual bool hasSideChain() { return sideChainOn; }
    virtual void updateAttack();
    virtual void updateRelease();
    virtual float getLatencyMs();
    virtual float getLatencySamples();

    // Read access for the editor, tests and diagnostics.
    // The settings as set (what the host, the editor and the displays see).
    const KestrelSettings& settings() const { return requested; }
    // The settings the processing runs with; they follow `settings` at block boundaries.
    const KestrelSettings& processingSettings() const { return engine; }
    // Takes the parameter changes made since the last call over into the processing: the audio
    // thread at the start of every block, suspend and resume before they reset. With `glide`
    // (playback) a whole preset or bank joins the running sound without a jump in level.
    void takeOverSettings(bool glide = true);
    bool failed() const { return constructionFailed; }
    int hilbertLength() const { return hilbertN; }
    int latency() const { return latencySamples; }
    double envelope(int channel) const { return kernel ? kernel->followers().envelope[channel & 1] : 0.0; }
    double lastGain(int channel) const { return kernel ? kernel->followers().gain[channel & 1] : 1.0; }
    // The shelves' designs; both channels always share them.
    const orv::dsp::Biquad& lowShelf(int) const { return kernel->lowShelf().filter(); }
    const orv::dsp::Biquad& highShelf(int) const { return kernel->highShelf().filter(); }

    // Meter feeds: VU/PPM per channel, holds, hold ages, over flags. The editor may release
    // holds or clear everything.
    const kestrel::Meters& meters() const { return meterFeeds; }
    kestrel::Meters& meters() { return meterFeeds; }
    void clearMeters() { meterFeeds.clear(); }
    // What a click on a meter clears: levels, over flags and counts, but not the holds.
    void clearMeterFollowers() { meterFeeds.clearFollowers(); }

protected:
    // For tests: builds the object as if the allocation of its processing state had failed.
    struct SimulateFailure {};
    Kestrel(audioMasterCallback audioMaster, SimulateFailure);

private:
    using Channels = kestrel::KernelChannels;

    void construct(bool simulateFailure);
    // The engine values of one parameter from its normalised value (OverIndic is quantised in place).
    static void applyValue(KestrelSettings& s, double* normalizedValues, VstInt32 index);
    KestrelSettings shownSettings(VstInt32 index, double& x) const;
    // What a taken-over parameter changes in the processing: coefficients, filter designs.
    void applyToProcessing(VstInt32 index);
    // A whole new set of settings replaces `before` while the sound runs: envelopes rescaled to
    // the new threshold and detection, the makeup glide started from the old settings' gain.
    void carryAcrossChange(const KestrelSettings& before);
    void applyLowShelfMode(bool fromResume);
    void applyHighShelfMode(bool fromResume);
    void computeHilbert();
    void limitSampleRate();
    int hilbertLengthForRate() const;
    Channels chooseChannels(float** inputs, float** outputs);
    void beginMeterBlock(bool powerOff);

    // Interface side: the values as set and what they give (getParameter, displays, editor).
    double normalized[kestrel::kNumParamSlots] = {};
    KestrelSettings requested;
    // The same values for readers on any thread (getParameter, displays, the editor): setParameter
    // may run on the audio thread for automation while the interface thread reads them.
    std::atomic<double> shownNormalized[kestrel::kNumParamSlots] = {};
    // Audio side: the same, as the processing last took them over.
    double liveNormalized[kestrel::kNumParamSlots] = {};
    // Which stored meter settings this instance has set since it read them.
    MeterSettingChanges meterSettingChanges;
    KestrelSettings engine;
    // The processing state, allocated once at construction.
    kestrel::Kernel* kernel = nullptr;
    // Filters the parameters keep designed at the running rate; the processing does not use them.
    orv::dsp::Biquad spare[2];
    kestrel::Meters meterFeeds;
    int hilbertN = 44;
    int latencySamples = kDetectorDelay;
    bool sideChainOn = true;
    bool inputStereo = true;
    bool outputStereo = true;
    bool constructionFailed = false;
    orv::dsp::CodePathChoice codePath;
    // Set by resume, cleared by suspend: the same rate sent again while running changes nothing.
    bool running = false;
};

#pragma once
// Orv Borealis, the stereo mastering compressor: parameters, processing frame and the values
// it offers its editor.
#include <atomic>

#include "borealis/borealis_settings.h"
#include "borealis/editor/editor_hooks.h"
#include "borealis/kernel.h"
#include "borealis/meter_feeds.h"
#include "gui/meter_settings.h"
#include "presets/preset_system_effect.h"

// Parameter indices of Orv Borealis.
enum BorealisParam : VstInt32 {
    kPower = 0, kFat, kSoft, kRms, kLimiter, kThreshold, kRatio, kAttack, kAutoAttack, kRelease,
    kAutoRelease, kMakeup, kAutoMakeup, kHighScf, kHigh, kLowScf, kLow, kLinkHighCut, kLinkLowCut,
    kLink, kTilt, kMix, kOutput, kMeters, kClassic, kScExt, kSmooth,
    kFirstSpare = 27, kLastSpare = 33,
    kUnused = 34,
    kScMonit = 35, kVuIntegr, kVuRefer, kPpmIntegr, kPpmReturn, kOverIndic,
    kNumParamSlots = 41,
};

constexpr VstInt32 kNumHostParams = 34;
constexpr VstInt32 kBorealisLatency = 1660;

class Borealis;
// Creates the editor of the plug-in; the engine alone provides a version that creates none.
AEffEditor* createBorealisEditor(Borealis* effect);

class Borealis : public CPresetSystemEffect {
public:
    explicit Borealis(audioMasterCallback audioMaster);
    ~Borealis() override;

    void suspend() override;
    void resume() override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    bool getParameterProperties(VstInt32 index, VstParameterProperties* p) override;
    bool getInputProperties(VstInt32 index, VstPinProperties* p) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* p) override;
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override;
    bool setProcessPrecision(VstInt32 precision) override { return true; }
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return 1700; }
    VstInt32 getPlugCategory() override { return kPlugCategMastering; }
    // vendorSpecific(kGainReductionQuery, 0, double[2], 0) writes the largest compressor and
    // limiter gain reduction (positive dB) since the last clear and answers 1; with lArg2 = 1
    // the two values are cleared afterwards (ptrArg may then be null: clear only).
    // vendorSpecific(orv::dsp::kCodePathRequest, request, 0, 0) sets and reports the code path
    // (borealis/dsp/code_path.h).
    VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) override;

    // A parameter in the units of the editor's readouts (see the readout table).
    virtual float getUnitValue(VstInt32 index);
    virtual float unitScale() { return 1.0f; }  // constant 1.0, kept for the editor interface
    virtual bool hasSideChain() { return sideChainOn; }
    virtual float getLatencyMs();
    virtual float getLatencySamples();

    // The settings as set (what the host, the editor and the displays see).
    const BorealisSettings& settings() const { return requested; }
    // The settings the processing runs with; they follow `settings` at block boundaries.
    const BorealisSettings& processingSettings() const { return engine; }
    // Takes the parameter changes made since the last call over into the processing: the audio
    // thread at the start of every block, suspend and resume before they reset. With `glide`
    // (playback) a whole preset or bank joins the running sound without a jump in level.
    void takeOverSettings(bool glide = true);
    bool failed() const { return constructionFailed; }

    // Meter feeds: what the editor's meters show (VU/PPM per channel, holds, hold ages, over
    // flags). The editor may release holds or clear everything (a click on a meter).
    const borealis::MeterFeeds& meters() const { return meterFeeds; }
    borealis::MeterFeeds& meters() { return meterFeeds; }
    void clearMeters() { meterFeeds.clear(); }
    // What a click on a meter clears: levels, over flags and counts, but not the holds.
    void clearMeterFollowers() { meterFeeds.clearFollowers(); }

    // Gain reduction: the largest reduction in dB (positive) of the compressor and of the
    // limiter since the last clearGainReduction; 0 when nothing was reduced or construction failed.
    double maxGainReductionDb() const;
    double maxLimiterReductionDb() const;
    void clearGainReduction();
    // The compressor's gain factor of the last processed sample, per channel.
    double currentGain(int channel) const { return kernel ? kernel->currentGain(channel) : 1.0; }
    // The processing state, for tests and diagnostics; null when construction failed.
    const borealis::Kernel* processingKernel() const { return kernel; }

    static constexpr VstInt32 kGainReductionQuery = 0x4F724752;  // 'OrGR'

protected:
    // For tests: builds the object as if the allocation of its processing state had failed.
    struct SimulateFailure {};
    Borealis(audioMasterCallback audioMaster, SimulateFailure);

private:
    void construct(bool simulateFailure);
    static void applySwitchOrValue(BorealisSettings& s, double* normalizedValues, VstInt32 index);
    static void applyTilt(BorealisSettings& s, const double* normalizedValues);
    BorealisSettings shownSettings(VstInt32 index, double& x) const;
    void limitSampleRate();
    void recomputeDerived(std::uint64_t changed, const BorealisSettings& before);
    template <class T>
    void processBlock(T** inputs, T** outputs, VstInt32 sampleFrames);
    template <class T>
    borealis::BlockChannels<T> chooseChannels(T** inputs, T** outputs, bool simpleChoice);

    // Interface side: the values as set and what they give (getParameter, displays, editor).
    double normalized[kNumParamSlots] = {};
    BorealisSettings requested;
    // The same values for readers on any thread (getParameter, displays, the editor): setParameter
    // may run on the audio thread for automation while the interface thread reads them.
    std::atomic<double> shownNormalized[kNumParamSlots] = {};
    // Audio side: the same, as the processing last took them over.
    double liveNormalized[kNumParamSlots] = {};
    // Which stored meter settings this instance has set since it read them.
    MeterSettingChanges meterSettingChanges;
    BorealisSettings engine;
    borealis::Kernel* kernel = nullptr;
    borealis::MeterFeeds meterFeeds;
    bool sideChainOn = true;
    bool inputStereo = true;
    bool outputStereo = true;
    bool constructionFailed = false;
};

#pragma once
// Orv Kestrel, the smaller stereo mastering compressor: parameters, processing frame, the two
// dynamics kernels and the values it offers its editor.
#include <atomic>

#include "borealis/dsp/biquad.h"
#include "borealis/dsp/code_path.h"
#include "kestrel/wide_path_attributes.h"
#include "borealis/dsp/denormal_noise.h"
#include "borealis/dsp/knee_curve.h"
#include "borealis/dsp/mirrored_ring.h"
#include "borealis/editor/editor_hooks.h"
#include "gui/meter_settings.h"
#include "kestrel/kestrel_meters.h"
#include "presets/preset_system_effect.h"

#include <cstring>

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

namespace kestrel {
// The detector history of one channel, split by the parity of the frame: every Hilbert tap of a
// centre lies in the half the centre is not in, so a channel's whole Hilbert sum reads one
// contiguous run of values.
struct DetectorRing {
    orv::dsp::MirroredRing<512> half[2];
    unsigned next = 0;  // the half the next value goes to
    void clear() {
        half[0].clear();
        half[1].clear();
        next = 0;
    }
};

// The history of one pair of level filters (left, right) with the offset each negates per
// frame; the kernels run it, the Biquads keep only the designs.
struct LevelHistory {
    double x1[2], x2[2], y1[2], y2[2], offset[2];
};

// The running state of the four side-chain shelves, lanes in the order low left, low right,
// high left, high right: history, gliding coefficients, the last noise value (the offset while
// a shelf runs plain) and the registers of each shelf's own noise source. The kernels run it,
// two lanes at a time; the Biquads keep only the designs.
struct ShelfHistory {
    static constexpr int kLowLeft = 0, kLowRight = 1, kHighLeft = 2, kHighRight = 3;
    alignas(16) double x1[4], x2[4], y1[4], y2[4];
    alignas(16) double b0[4], b1[4], b2[4], a1[4], a2[4];
    alignas(16) double noise[4];
    alignas(16) std::uint32_t r1[4], r2[4], r3[4];
};

// Block transfers between a chunk and a ring: the n slots from slot `first` on (n <= Size), in
// two plain runs around the end of the ring.
template <int Size, class T>
inline void copyIntoRing(double (&ring)[Size], unsigned first, const T* src, int n) {
    const int run = n < static_cast<int>(Size - first) ? n : static_cast<int>(Size - first);
    double* head = ring + first;
    for (int i = 0; i < run; ++i) head[i] = src[i];
    for (int i = run; i < n; ++i) ring[i - run] = src[i];
}

template <int Size>
inline void copyFromRing(double* dst, const double (&ring)[Size], unsigned first, int n) {
    const int run = n < static_cast<int>(Size - first) ? n : static_cast<int>(Size - first);
    std::memcpy(dst, ring + first, sizeof(double) * static_cast<unsigned>(run));
    std::memcpy(dst + run, ring, sizeof(double) * static_cast<unsigned>(n - run));
}
}  // namespace kestrel

// Engine values derived from the parameters.
struct KestrelSettings {
    double thresholdGain = 1.0, thresholdLevel = 1.0;
    int ratioIndex = 6;
    double ratio = 1.0, ratioInverse = 1.0;
    double autoMakeupFactor = 1.0;
    orv::dsp::KneePoints knee{-0.5, 0.5, 1.5, 2.5};
    int softKnee = 0, rmsMode = 0, hidden4 = 0, autoRelease = 0, stereo = 1, classic = 0;
    int sideChainExternal = 0, sideChainMonitor = 0, powerOn = 1;
    double autoMakeup = 0, link = 0, smooth = 0, hidden18 = 0, hidden19 = 0;
    int lowShelfMode = 1, highShelfMode = 1;
    double lowShelfFreq = 25.0, highShelfFreq = 1000.0;
    double makeupGain = 1.0, outputGain = 1.0, mix = 1.0, meters = 0.5;
    double attackCoeff = 0.01, releaseCoeff = 0.001;
    kestrel::MeterSettings meter;
    double vuReference = 0.1, ppmRatio = 0.01f;
};

// The editor is optional for the engine; when one is linked in it answers these calls
// (resetMeters in suspend, refreshLatency in resume).
using KestrelEditorHooks = OrvEditorHooks;

class Kestrel;
// Creates the editor of the plug-in; the engine alone provides a version that creates none.
AEffEditor* createKestrelEditor(Kestrel* effect);

class Kestrel : public CPresetSystemEffect {
public:
    // Ring length of every delay line; the Hilbert span and the main delay fit inside it.
    static constexpr int kRingSize = 1024;
    static constexpr unsigned kRingMask = kRingSize - 1;
    static constexpr int kMaxHilbertLength = 192;  // at 192 kHz, the highest rate accepted
    static constexpr int kChunk = 64;
    // The delay the detector's centre has behind the input, at every rate. The main signal is
    // delayed as much, so each gain meets the sample it was computed for: this is the latency.
    static constexpr int kDetectorDelay = 1021;

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
    double envelope(int channel) const { return envelopes[channel & 1]; }
    double lastGain(int channel) const { return gains[channel & 1]; }
    // The shelves' designs (their running state lives in the kernels' own history).
    const orv::dsp::Biquad& lowShelf(int channel) const { return lowShelves[channel & 1]; }
    const orv::dsp::Biquad& highShelf(int channel) const { return highShelves[channel & 1]; }

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
    // Every ring and buffer of the processing, allocated once at construction.
    struct Buffers {
        double input[4][kRingSize];  // left, right, side-chain left, side-chain right
        kestrel::DetectorRing detector[2];
        orv::dsp::MirroredRing<kRingSize> monitor[2];
        double chunkLeft[512];
        double chunkRight[512];
        alignas(64) double hilbert[kMaxHilbertLength];
        float hilbert32[kMaxHilbertLength];
        // The Hilbert coefficients over one detector half, oldest tap first: -c[N-1] .. -c[0],
        // c[0] .. c[N-1]; built for hilbertTapsLength.
        alignas(32) double hilbertTaps[2 * kMaxHilbertLength];
        int hilbertTapsLength = 0;
        // What the meters take from one chunk, fed to them after it in one pass.
        double meterLeft[kChunk];
        double meterRight[kChunk];
        double meterNoise[kChunk];
        // A chunk's inputs with the samples the engine does not take in silenced.
        float admitted[4][kChunk];
        void clear();
    };
    struct Channels {
        const float* in[4];  // left, right, side-chain left, side-chain right
        float* out[2];
    };

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
    void clearHistory();
    void limitSampleRate();
    int hilbertLengthForRate() const;
    Channels chooseChannels(float** inputs, float** outputs);
    void beginMeterBlock(bool powerOff);
    // Wide: the wide code path's form (see code_path.h).
    template <bool Wide>
    void processStereo(const Channels& ch, VstInt32 sampleFrames);
    template <bool Wide>
    void processMono(const Channels& ch, VstInt32 sampleFrames);
    void processPowerOff(const Channels& ch, VstInt32 sampleFrames);
    // The block through the variant the settings choose; processWide is its wide-path copy.
    template <bool Wide>
    void processOnPath(const Channels& ch, VstInt32 sampleFrames);
    void processWide(const Channels& ch, VstInt32 sampleFrames);
    void writeChunk(const Channels& ch, int offset, int n);
    // The inputs of one chunk, from its first frame on, with garbage samples silenced.
    Channels chunkInputs(const Channels& ch, int offset, int n);
    // One chunk of n frames from ch's inputs (chunkInputs) into the chunk buffers.
    template <bool kSmooth, bool kPlainShelves, bool Wide>
    void stereoChunk(const Channels& ch, int n);
    template <bool kSmooth, bool kPlainShelves, bool Wide>
    void monoChunk(const Channels& ch, int n);
    bool shelvesSettled(int channels);
    // The shelves' running state as the Biquads start it: no history, every coefficient 1, the
    // noise sources at their seeds.
    void startShelfHistory();
    const double* hilbertTaps();
    // Clears the level filters' and shelves' history, and sets the shelves' gliding coefficients
    // to their designs, wherever their Biquads are reset.
    void resetLevelHistory();

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
    Buffers* buffers = nullptr;
    orv::dsp::Biquad lowShelves[2], highShelves[2], fastLevel[2], slowLevel[2], spare[2];
    kestrel::LevelHistory fastHistory{}, slowHistory{};
    kestrel::ShelfHistory shelfHistory{};
    orv::dsp::DenormalNoise noise{orv::dsp::DenormalNoise::kKernelScale};
    kestrel::Meters meterFeeds;
    double noiseNow = 1e-12;
    double envelopes[2] = {0.0001, 0.0001};
    double gains[2] = {1.0, 1.0};
    double makeupSmoothed = 1.0, outputSmoothed = 1.0;
    unsigned inWrite = 0;
    // Side-chain shelves that have reached their design run plain: the design they reached and
    // the frame count that places the arrival checks on fixed multiples of kChunk.
    orv::dsp::BiquadCoefficients shelfReached[4] = {};
    bool shelfArrived[4] = {};
    unsigned frameClock = 0;
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

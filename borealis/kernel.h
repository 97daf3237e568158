#pragma once
// The processing state of Orv Borealis and the four kernel variants that run a block through
// it: input delay, side-chain and detector, gain stage (at the host rate or twice it), limiter
// and output. One object holds every ring and buffer, so the effect allocates it once.
#include "borealis/borealis_settings.h"
#include "borealis/dsp/code_path.h"
#include "borealis/dsp/denormal_noise.h"
#include "borealis/dsp/oversampler2x.h"
#include "borealis/gain_computer.h"
#include "borealis/kernel_layout.h"
#include "borealis/limiter.h"
#include "borealis/meter_feeds.h"
#include "borealis/side_chain.h"

namespace borealis {

// The channels of one block, chosen by the frame from the host's pins and arrangement.
template <class T>
struct BlockChannels {
    const T* mainL;
    const T* mainR;
    const T* keyL;
    const T* keyR;
    T* outL;
    T* outR;  // null: both channels go to outL, right after left
};

class Kernel {
public:
    static constexpr int kChunk = 64;
    static constexpr int kInputRingSize = 1024;
    static constexpr int kWetDryRingSize = 1024;

    Kernel();

    // Everything that depends on the host rate (called by resume).
    void setHostRate(double rate, const BorealisSettings& s);
    double hostRate() const { return hostRate_; }
    // Rates of the side-chain and of the gain stage for the current switches.
    double sideChainRate(const BorealisSettings& s) const;
    double gainStageRate(const BorealisSettings& s) const { return hostRate_ * (s.fat ? 2.0 : 1.0); }

    // Every filter, curve and coefficient the parameters drive, designed from `s`.
    void applySettings(const BorealisSettings& s);
    // Processing state back to rest: rings, histories, envelopes, limiter; smoothers to targets;
    // every parameter-driven design made again from `s` (applySettings).
    void reset(const BorealisSettings& s);
    // Makeup, output and mix jump to their targets (suspend and resume: no glide after resume,
    // even when a program was loaded while suspended).
    void snapSmoothers(const BorealisSettings& s);
    // FAT or Smooth changed: new Hilbert length, all delay rings cleared, resamplers reset.
    void rebuildDelays(const BorealisSettings& s);

    // A whole new set of settings (a preset or a bank) replaces `before` while the sound runs:
    // the envelopes are rescaled to the new threshold and detector, and the makeup glide starts
    // from the gain the old settings gave, so the level moves from old to new in one glide.
    // When the change also restarted the delay chain (FAT or Smooth), the gains take their new
    // values at once, the envelopes hold until the restarted signal reaches the gain stage and
    // then rise at once to its level, and the output fades in from the silence of the restart.
    void carryAcrossChange(const BorealisSettings& before, const BorealisSettings& now, bool restarted);

    // Parameter-driven updates.
    void updateAttack(const BorealisSettings& s) { gain_.updateAttack(s, gainStageRate(s)); }
    void updateRelease(const BorealisSettings& s) { gain_.updateRelease(s, gainStageRate(s)); }
    void updateCurve(const BorealisSettings& s) { gain_.updateCurve(s); }
    void updateLowShelf(const BorealisSettings& s) { sideChain_.setLowShelf(s.lowShelfFreq, s.lowShelfBoost != 0.0); }
    void updateHighShelf(const BorealisSettings& s) { sideChain_.setHighShelf(s.highShelfFreq, s.highShelfBoost != 0.0); }
    void updateLinkFilters(const BorealisSettings& s) { sideChain_.setLinkFilters(s.linkHighCut != 0.0, s.linkLowCut != 0.0); }
    void updateLevelFilters(const BorealisSettings& s) { gain_.setLevelFilterRate(gainStageRate(s)); }

    // Runs one block with the variant the switches select, in chunks of at most 64 samples, on
    // the code path this effect was given (code_path.h).
    template <class T>
    void process(const BlockChannels<T>& io, int frames, const BorealisSettings& s, MeterFeeds& meters);

    // The code path the next blocks run (see code_path.h).
    orv::dsp::CodePathChoice& codePath() { return codePath_; }

    const GainComputer& gainComputer() const { return gain_; }
    const Limiter& limiter() const { return limiter_; }
    int hilbertHalfLength() const { return sideChain_.halfLength(); }

    // The smallest compressor gain and limiter gain applied since the last call of
    // clearGainExtremes (1.0 when nothing was reduced).
    double lowestGain() const { return lowestGain_; }
    double lowestLimiterGain() const { return lowestLimiterGain_; }
    void clearGainExtremes() {
        lowestGain_ = 1.0;
        lowestLimiterGain_ = 1.0;
    }
    // The gain factors of the last gain-stage sample.
    double currentGain(int channel) const { return currentGain_[channel & 1]; }

private:
    // The block on the code path of instruction set A (kernel_process.h; compiled once for
    // each path).
    template <class T, class A>
    void processOnPath(const BlockChannels<T>& io, int frames, const BorealisSettings& s, MeterFeeds& meters);
    // One chunk of n host samples from `offset` on, as the stages below in turn.
    template <class T, KernelVariant V, class A>
    void runChunk(const BlockChannels<T>& io, int offset, int n, const KernelLayout& l, const BorealisSettings& s,
                  MeterFeeds& meters);
    // Host samples into the input rings; the delayed main signal and key into the chunk (with
    // the denormal noise when the side-chain runs at the host rate).
    template <KernelVariant V, class A, class T>
    void takeInput(const BlockChannels<T>& io, int offset, int n, const KernelLayout& l, MeterFeeds& meters);
    template <KernelVariant V, class A, class T, class Admit>
    void takeInputThrough(const BlockChannels<T>& io, int offset, int n, const KernelLayout& l, MeterFeeds& meters,
                          Admit admit);
    // The side-chain over the chunk's key at the host rate (normal and FAT): detector values, or
    // with the monitor on the monitored key and a silent detector.
    template <class A>
    void sideChainAtHostRate(int n, const BorealisSettings& s);
    // The main signal and the side-chain's stream to the gain-stage rate: a 64-sample delay or
    // 2x upsampling. Returns the gain-stage sample count.
    template <KernelVariant V, class A>
    int toGainStageRate(int n, const KernelLayout& l, bool monitor);
    // The noise, then the side-chain over the key at the gain-stage rate (Smooth, power off).
    template <class A>
    void sideChainAtGainStageRate(int m, const BorealisSettings& s);
    // The gains of the gain-stage samples from the detector values.
    template <KernelVariant V, class A>
    void computeGains(int m, const BorealisSettings& s);
    // The wet/dry delay of the main signal and of the dry path (main signal or monitored key).
    void delayWetAndDry(int m, const KernelLayout& l, bool monitor);
    // The noise value of each gain-stage sample.
    template <KernelVariant V>
    const double* gainStageNoise(const KernelLayout& l) const;
    // The gliding makeup, output and mix of each gain-stage sample.
    void glideLevels(int m, const BorealisSettings& s, const double* noise);
    // Gain, makeup, mix and output applied; the GainRed meter values fed.
    template <KernelVariant V, class A>
    void mixOutput(int m, const BorealisSettings& s, MeterFeeds& meters, double limiterGain, const double* noise);
    // The output back to the host rate: a 64-sample delay or 2x downsampling.
    template <class A>
    void toHostRate(int n, const KernelLayout& l);
    // The limiter, the host's output buffers and the Post meters.
    template <KernelVariant V, class T>
    void writeOutput(const BlockChannels<T>& io, int offset, int n, const KernelLayout& l, const BorealisSettings& s,
                     MeterFeeds& meters);
    void clearRings();
    // Before each chunk while a restart after a change settles (see carryAcrossChange).
    void settleStep(int frames, const BorealisSettings& s);

    double hostRate_ = 44100.0;
    orv::dsp::CodePathChoice codePath_;
    orv::dsp::DenormalNoise noise_;
    double currentNoise_ = 1e-12;

    double inMainL_[kInputRingSize], inMainR_[kInputRingSize];
    double inKeyL_[kInputRingSize], inKeyR_[kInputRingSize];
    unsigned inWrite_ = kInputRingSize - 1;

    double wetL_[kWetDryRingSize], wetR_[kWetDryRingSize];
    double dryL_[kWetDryRingSize], dryR_[kWetDryRingSize];
    unsigned wetDryWrite_ = kWetDryRingSize - 1;

    // The work buffers of one chunk, each with one meaning; room for a doubled chunk.
    static constexpr int kWork = 2 * kChunk;
    struct ChunkBuffers {
        // The main signal, delayed, at the rate of the stage that holds it.
        alignas(64) double mainL[kWork], mainR[kWork];
        // The side-chain's input (the key), delayed, at the rate the side-chain runs at.
        alignas(64) double keyL[kWork], keyR[kWork];
        // The side-chain's results.
        SideChainOutput side[kWork];
        // The detector values and the monitored key at the gain-stage rate.
        alignas(64) double detectorL[kWork], detectorR[kWork];
        alignas(64) double monitorL[kWork], monitorR[kWork];
        // The compressor's gains, and the wet and dry signals after the wet/dry delay.
        alignas(64) double gainL[kWork], gainR[kWork];
        alignas(64) double wetL[kWork], wetR[kWork], dryL[kWork], dryR[kWork];
        // The gliding makeup, output and mix of each gain-stage sample.
        double makeup[kWork], output[kWork], mix[kWork];
        // The output at the gain-stage rate, then back at the host rate.
        alignas(64) double outL[kWork], outR[kWork];
        // The GainRed meter values of the gain-stage samples.
        double meterL[kWork], meterR[kWork];
        // The denormal noise: the values added to each channel, the value that goes with each
        // sample of the stage that draws them (host samples, or gain-stage samples when the
        // side-chain runs in the gain stage), then the value of each gain-stage sample and of
        // each host sample of the output stage. Kept per sample so that the result never depends
        // on how the host cuts its blocks.
        double noiseL[kWork], noiseR[kWork], noise[kWork];
        double stageNoise[kWork], hostNoise[kChunk];  // (when the chunk's own does not serve)
    };
    ChunkBuffers work_;

    orv::dsp::Oversampler2x mainL_, mainR_, detL_, detR_;
    SideChain sideChain_;
    GainComputer gain_;
    Limiter limiter_;

    double makeup_ = 1.0, output_ = 1.0, mix_ = 1.0;
    // Host samples for which the envelopes hold after a restarting change, then for which they
    // only rise (at once); then the set times again.
    int holdFrames_ = 0;
    int takeLevelFrames_ = 0;
    static constexpr int kRestoreTimes = -1;
    double currentGain_[2] = {1.0, 1.0};
    double lowestGain_ = 1.0;
    double lowestLimiterGain_ = 1.0;
};

}  // namespace borealis

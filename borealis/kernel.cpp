#include "borealis/kernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace borealis {

namespace {
template <class T>
void clearArray(T& a) {
    std::memset(a, 0, sizeof a);
}
}  // namespace

Kernel::Kernel() {
    clearRings();
}

double Kernel::sideChainRate(const BorealisSettings& s) const {
    // The Smooth kernel runs the side-chain in the gain stage, at twice the host rate with FAT.
    return hostRate_ * ((s.fat && s.smooth != 0.0) ? 2.0 : 1.0);
}

void Kernel::clearRings() {
    clearArray(inMainL_);
    clearArray(inMainR_);
    clearArray(inKeyL_);
    clearArray(inKeyR_);
    clearArray(wetL_);
    clearArray(wetR_);
    clearArray(dryL_);
    clearArray(dryR_);
    std::memset(&work_, 0, sizeof work_);
    inWrite_ = kInputRingSize - 1;
    wetDryWrite_ = kWetDryRingSize - 1;
    mainL_.reset();
    mainR_.reset();
    detL_.reset();
    detR_.reset();
    sideChain_.clearHistories();
}

void Kernel::rebuildDelays(const BorealisSettings& s) {
    const double rate = sideChainRate(s);
    sideChain_.setRate(rate);
    sideChain_.rebuild(rate, s.smooth != 0.0);
    clearRings();
}

void Kernel::carryAcrossChange(const BorealisSettings& before, const BorealisSettings& now, bool restarted) {
    double oldGain[2] = {currentGain_[0], currentGain_[1]};
    double newGain[2];
    gain_.carryEnvelopes(before, now, newGain);
    const double oldMakeup = before.autoMakeup != 0.0 ? GainComputer::automaticMakeupFor(before) : 1.0;
    const double newMakeup = now.autoMakeup != 0.0 ? gain_.automaticMakeup() : 1.0;
    // One makeup glide serves both channels: match the geometric mean of their steps.
    double ratio = 1.0;
    for (int c = 0; c < 2; ++c) {
        const double from = oldGain[c] * oldMakeup, to = newGain[c] * newMakeup;
        if (from > 0.0 && to > 0.0) ratio *= from / to;
    }
    ratio = std::sqrt(ratio);
    // Within 36 dB of the target, however many changes follow one another (NaN: the target).
    const double start = makeup_ * ratio, target = now.makeupGain;
    if (!(start >= target / 64.0))
        makeup_ = start != start ? target : target / 64.0;
    else
        makeup_ = start > target * 64.0 ? target * 64.0 : start;
    // The restarted chain is silent until the input reaches the gain stage: the gains may take
    // their new values at once, and the envelopes wait for the signal rather than release into
    // that silence.
    if (restarted) snapSmoothers(now);
    const KernelLayout l = makeLayout(chooseVariant(now), now.fat != 0, sideChain_.halfLength());
    if (restarted) {
        holdFrames_ = l.mainDelay + kChunk;
        takeLevelFrames_ = 0;
    } else if (holdFrames_ || takeLevelFrames_) {
        // An earlier restart was still settling: its envelope times end with the next chunk.
        holdFrames_ = 0;
        takeLevelFrames_ = kRestoreTimes;
    }
}

void Kernel::settleStep(int frames, const BorealisSettings& s) {
    if (holdFrames_ > 0) {
        gain_.overrideTimes(0.0, 0.0);
        holdFrames_ -= frames;
        if (holdFrames_ <= 0) {
            // The restarted signal reaches the gain stage: the output fades in from the silence
            // of the restart, and while the detector's window fills the envelopes rise at once
            // to any higher level but do not fall, so they settle on the new level from above.
            output_ = 0.0;
            takeLevelFrames_ = 2 * sideChain_.halfLength() + 2 * kChunk;
        }
    } else if (takeLevelFrames_ > 0) {
        gain_.overrideTimes(1.0, 0.0);
        takeLevelFrames_ -= frames;
        if (takeLevelFrames_ <= 0) takeLevelFrames_ = kRestoreTimes;
    } else {
        holdFrames_ = takeLevelFrames_ = 0;
        gain_.updateAttack(s, gainStageRate(s));
        gain_.updateRelease(s, gainStageRate(s));
    }
}

void Kernel::setHostRate(double rate, const BorealisSettings& s) {
    hostRate_ = rate;
    limiter_.setRate(rate);
    rebuildDelays(s);
    // Resume follows suspend: start the side-chain filters from their current designs, so a
    // program loaded while suspended does not glide in.
    sideChain_.resetFilters();
    gain_.setLevelFilterRate(gainStageRate(s));
    gain_.updateAttack(s, gainStageRate(s));
    gain_.updateRelease(s, gainStageRate(s));
}

void Kernel::applySettings(const BorealisSettings& s) {
    updateAttack(s);
    updateRelease(s);
    updateCurve(s);
    updateLowShelf(s);
    updateHighShelf(s);
    updateLinkFilters(s);
}

void Kernel::reset(const BorealisSettings& s) {
    holdFrames_ = takeLevelFrames_ = 0;
    applySettings(s);
    clearRings();
    sideChain_.resetFilters();
    gain_.reset();
    limiter_.reset();
    noise_.reseed();
    currentNoise_ = 1e-12;
    snapSmoothers(s);
    currentGain_[0] = currentGain_[1] = 1.0;
}

void Kernel::snapSmoothers(const BorealisSettings& s) {
    makeup_ = s.makeupGain;
    output_ = s.outputGain;
    mix_ = s.mix;
}

template <class T>
void Kernel::process(const BlockChannels<T>& io, int frames, const BorealisSettings& s, MeterFeeds& meters) {
    if (codePath_.wide())
        processOnPath<T, orv::simd::Avx2Fma>(io, frames, s, meters);
    else
        processOnPath<T, orv::simd::Sse2>(io, frames, s, meters);
}

template void Kernel::process<float>(const BlockChannels<float>&, int, const BorealisSettings&, MeterFeeds&);
template void Kernel::process<double>(const BlockChannels<double>&, int, const BorealisSettings&, MeterFeeds&);

}  // namespace borealis

#pragma once
// The processing of one block through the kernel, written once over the instruction set of the
// code path: kernel_paths.cpp compiles it for the baseline, kernel_paths_wide.cpp once more
// for the wide path (see code_path.h). Only those two files include it.
#include "borealis/dsp/glide.h"
#include "borealis/dsp/sample_guard.h"
#include "borealis/kernel.h"

#include <algorithm>
#include <cstring>

namespace borealis {

namespace {
constexpr unsigned kInputMask = Kernel::kInputRingSize - 1;
constexpr unsigned kWetDryMask = Kernel::kWetDryRingSize - 1;
using orv::dsp::kGlide;
}  // namespace

template <class T, class A>
void Kernel::processOnPath(const BlockChannels<T>& io, int frames, const BorealisSettings& s, MeterFeeds& meters) {
    if (frames <= 0) return;
    const KernelVariant variant = chooseVariant(s);
    const KernelLayout layout = makeLayout(variant, s.fat != 0, sideChain_.halfLength());
    sideChain_.setGeometry(layout.centre, layout.monitorDelay);
    meters.beginBlock(s, hostRate_);
    for (int done = 0; done < frames; done += kChunk) {
        const int n = std::min(kChunk, frames - done);
        if (holdFrames_ || takeLevelFrames_) settleStep(n, s);
        switch (variant) {
            case KernelVariant::PowerOff: runChunk<T, KernelVariant::PowerOff, A>(io, done, n, layout, s, meters); break;
            case KernelVariant::Smooth: runChunk<T, KernelVariant::Smooth, A>(io, done, n, layout, s, meters); break;
            case KernelVariant::Fat: runChunk<T, KernelVariant::Fat, A>(io, done, n, layout, s, meters); break;
            case KernelVariant::Normal: runChunk<T, KernelVariant::Normal, A>(io, done, n, layout, s, meters); break;
        }
    }
    meters.ageHolds(frames);
}

namespace {
// `count` values of an input ring from slot `start` on, wrapping.
inline void fromInputRing(const double* ring, unsigned start, double* to, int count) {
    const int first = std::min(count, static_cast<int>(Kernel::kInputRingSize - start));
    std::memcpy(to, ring + start, sizeof(double) * static_cast<std::size_t>(first));
    if (count > first) std::memcpy(to + first, ring, sizeof(double) * static_cast<std::size_t>(count - first));
}

// `count` host samples, each taken in through `admit`, into an input ring from slot `start` on.
template <class T, class Admit>
inline void toInputRing(double* ring, unsigned start, const T* from, int count, Admit admit) {
    const int first = std::min(count, static_cast<int>(Kernel::kInputRingSize - start));
    for (int i = 0; i < first; ++i) ring[start + i] = admit(from[i]);
    for (int i = first; i < count; ++i) ring[i - first] = admit(from[i]);
}

// A delay of `delay` samples through a ring (mask kWetDryMask): `count` values go in from slot
// `first` on, and out[i] is the value written `delay` samples before in[i]. The delay is below
// the ring size minus count or at least count, so either every value read was written before
// this block or every value read is written first; whole runs are copied either way.
inline void throughRing(double* ring, unsigned first, unsigned delay, const double* in, double* out, int count) {
    constexpr int kSize = static_cast<int>(kWetDryMask) + 1;
    const unsigned from = (first - delay) & kWetDryMask;
    auto copyOut = [&] {
        const int a = std::min(count, kSize - static_cast<int>(from));
        std::memcpy(out, ring + from, sizeof(double) * static_cast<std::size_t>(a));
        if (count > a) std::memcpy(out + a, ring, sizeof(double) * static_cast<std::size_t>(count - a));
    };
    auto copyIn = [&] {
        const int a = std::min(count, kSize - static_cast<int>(first));
        std::memcpy(ring + first, in, sizeof(double) * static_cast<std::size_t>(a));
        if (count > a) std::memcpy(ring, in + a, sizeof(double) * static_cast<std::size_t>(count - a));
    };
    if (delay >= static_cast<unsigned>(count)) {
        copyOut();
        copyIn();
    } else {
        copyIn();
        copyOut();
    }
}
}  // namespace

// Stage A of one chunk: the host samples, each taken in through `admit`, into the input rings;
// the delayed main and key pairs to the work buffers (with the denormal noise in the normal and
// FAT kernels, which run the side-chain on them next).
template <KernelVariant V, class A, class T, class Admit>
inline void Kernel::inputStage(const BlockChannels<T>& io, int offset, int n, const KernelLayout& l,
                               MeterFeeds& meters, Admit admit) {
    constexpr bool kSideChainInGain = V == KernelVariant::PowerOff || V == KernelVariant::Smooth;
    const MeterSource source = meters.source();
    const unsigned mainDelay = static_cast<unsigned>(l.mainDelay), keyDelay = static_cast<unsigned>(l.keyDelay);
    if (mainDelay < static_cast<unsigned>(n) || keyDelay < static_cast<unsigned>(n)) {
        // A delay shorter than the chunk reads samples of the chunk itself: sample by sample.
        for (int i = 0; i < n; ++i) {
            const unsigned w = inWrite_ = (inWrite_ + 1) & kInputMask;
            inMainL_[w] = admit(io.mainL[offset + i]);
            inMainR_[w] = admit(io.mainR[offset + i]);
            inKeyL_[w] = admit(io.keyL[offset + i]);
            inKeyR_[w] = admit(io.keyR[offset + i]);
            const unsigned m = (w - mainDelay) & kInputMask;
            const unsigned k = (w - keyDelay) & kInputMask;
            const double mainL = inMainL_[m], mainR = inMainR_[m];
            const double keyL = inKeyL_[k], keyR = inKeyR_[k];
            if (source == MeterSource::Pre) meters.feedLevel(mainL, mainR, currentNoise_);
            if constexpr (kSideChainInGain) {
                workMainL_[i] = mainL;
                workMainR_[i] = mainR;
                workDetL_[i] = keyL;
                workDetR_[i] = keyR;
            } else {
                const double nL = noise_.next(), nR = noise_.next();
                currentNoise_ = workNoise_[i] = noise_.next();
                workMainL_[i] = mainL + nL;
                workMainR_[i] = mainR + nR;
                // The side-chain's input for now; its output replaces it below.
                workDetL_[i] = keyL + nL;
                workDetR_[i] = keyR + nR;
            }
        }
        return;
    }
    // Every delayed sample was written before this chunk: read them all, then write the chunk.
    const unsigned first = (inWrite_ + 1) & kInputMask;
    fromInputRing(inMainL_, (first - mainDelay) & kInputMask, workMainL_, n);
    fromInputRing(inMainR_, (first - mainDelay) & kInputMask, workMainR_, n);
    // The key is the side-chain's input for now; its output replaces it below.
    fromInputRing(inKeyL_, (first - keyDelay) & kInputMask, workDetL_, n);
    fromInputRing(inKeyR_, (first - keyDelay) & kInputMask, workDetR_, n);
    toInputRing(inMainL_, first, io.mainL + offset, n, admit);
    toInputRing(inMainR_, first, io.mainR + offset, n, admit);
    toInputRing(inKeyL_, first, io.keyL + offset, n, admit);
    toInputRing(inKeyR_, first, io.keyR + offset, n, admit);
    inWrite_ = (inWrite_ + static_cast<unsigned>(n)) & kInputMask;
    if constexpr (kSideChainInGain) {
        if (source == MeterSource::Pre)
            for (int i = 0; i < n; ++i) meters.feedLevel(workMainL_[i], workMainR_[i], currentNoise_);
    } else {
        // Three noise values per sample: left, right, and the one for smoothers and meters.
        double noiseL[kChunk], noiseR[kChunk];
        double* const noiseOut[3] = {noiseL, noiseR, workNoise_};
        noise_.next<A>(noiseOut, n);
        // Each sample's meter feed takes the noise value current before its own.
        if (source == MeterSource::Pre) {
            meters.feedLevel(workMainL_[0], workMainR_[0], currentNoise_);
            for (int i = 1; i < n; ++i) meters.feedLevel(workMainL_[i], workMainR_[i], workNoise_[i - 1]);
        }
        currentNoise_ = workNoise_[n - 1];
        for (int i = 0; i < n; ++i) {
            workMainL_[i] += noiseL[i];
            workMainR_[i] += noiseR[i];
            workDetL_[i] += noiseL[i];
            workDetR_[i] += noiseR[i];
        }
    }
}

template <class T, KernelVariant V, class A>
void Kernel::runChunk(const BlockChannels<T>& io, int offset, int n, const KernelLayout& l, const BorealisSettings& s,
                      MeterFeeds& meters) {
    constexpr bool kSideChainInGain = V == KernelVariant::PowerOff || V == KernelVariant::Smooth;
    constexpr bool kPowerOff = V == KernelVariant::PowerOff;
    const int factor = l.gainStageFactor;
    const bool monitor = s.sideChainMonitor != 0;
    const MeterSource source = meters.source();

    // Stage A, host rate: input delay; the normal and FAT kernels run the side-chain here.
    // A chunk with a sample the engine does not take in (see sample_guard.h) is read through
    // admitSample; every other chunk is read as it is.
    const T* const inputs[4] = {io.mainL, io.mainR, io.keyL, io.keyR};
    if (orv::dsp::admitsAll(inputs, offset, n))
        inputStage<V, A>(io, offset, n, l, meters, [](T x) { return static_cast<double>(x); });
    else
        inputStage<V, A>(io, offset, n, l, meters, [](T x) { return orv::dsp::admitSample(x); });
    if constexpr (!kSideChainInGain) {
        sideChain_.processBlock<false, A>(workDetL_, workDetR_, n, s, workSide_);
        for (int i = 0; i < n; ++i) {
            const SideChainOutput& o = workSide_[i];
            workDetL_[i] = monitor ? o.monitorL : o.detectorL;
            workDetR_[i] = monitor ? o.monitorR : o.detectorR;
        }
    }

    // To the gain-stage rate: 64-sample delays, or 2x upsampling.
    const int m = n * factor;
    if (factor == 2) {
        mainL_.upsample<A>(workMainL_, n);
        mainR_.upsample<A>(workMainR_, n);
        detL_.upsample<A>(workDetL_, n);
        detR_.upsample<A>(workDetR_, n);
    } else {
        mainL_.delayIn(workMainL_, n);
        mainR_.delayIn(workMainR_, n);
        detL_.delayIn(workDetL_, n);
        detR_.delayIn(workDetR_, n);
    }

    // Stage B, gain-stage rate: detector, gain computer, wet/dry delay, makeup, mix, output.
    const double limiterGain = s.limiter ? limiter_.gain() : 1.0;
    const double automaticMakeup = gain_.automaticMakeup();
    double lowest = lowestGain_;
    if constexpr (kSideChainInGain) {
        // The denormal noise in its usual order, then the side-chain for the whole chunk.
        double noiseL[kWork], noiseR[kWork];
        double* const noiseOut[3] = {noiseL, noiseR, workNoise_};
        noise_.next<A>(noiseOut, m);
        for (int j = 0; j < m; ++j) {
            const double nL = noiseL[j], nR = noiseR[j];
            workDetL_[j] += nL;
            workDetR_[j] += nR;
            workMainL_[j] += nL;
            workMainR_[j] += nR;
        }
        currentNoise_ = workNoise_[m - 1];
        sideChain_.processBlock<true, A>(workDetL_, workDetR_, m, s, workSide_);
    }
    // The noise value, detector values and monitor key of each gain-stage sample. With the
    // monitor on, the normal and FAT kernels send the side-chain's key to the output and
    // silence to the detector.
    const double* noise = workNoise_;
    double stageNoise[kWork];
    if (!kSideChainInGain && factor == 2) {
        for (int j = 0; j < m; ++j) stageNoise[j] = workNoise_[j / 2];
        noise = stageNoise;
    }
    double sideL[kWork], sideR[kWork], keyL[kWork], keyR[kWork];
    const double *detL = workDetL_, *detR = workDetR_, *monL = workDetL_, *monR = workDetR_;
    if constexpr (kSideChainInGain) {
        for (int j = 0; j < m; ++j) {
            const SideChainOutput& o = workSide_[j];
            sideL[j] = o.detectorL;
            sideR[j] = o.detectorR;
            keyL[j] = o.monitorL;
            keyR[j] = o.monitorR;
        }
        detL = sideL;
        detR = sideR;
        monL = keyL;
        monR = keyR;
    } else if (monitor) {
        std::memset(sideL, 0, sizeof(double) * static_cast<std::size_t>(m));
        detL = detR = sideL;
    }
    constexpr bool kTabulated = !kSideChainInGain;
    double gainL[kWork], gainR[kWork];
    // The power-off kernel applies no gain: it keeps the envelopes running and needs only the
    // chunk's last gain (for a later change of settings to carry over).
    gain_.computeGainsBlock<kTabulated, A, kPowerOff>(detL, detR, m, s, gainL, gainR);

    // The wet/dry delay: the main signal, and the dry path (the main signal, or the monitor key).
    const unsigned wetDryFirst = (wetDryWrite_ + 1) & kWetDryMask;
    const unsigned wetDryDelay = static_cast<unsigned>(l.wetDryDelay);
    double wetL[kWork], wetR[kWork], dryL[kWork], dryR[kWork];
    throughRing(wetL_, wetDryFirst, wetDryDelay, workMainL_, wetL, m);
    throughRing(wetR_, wetDryFirst, wetDryDelay, workMainR_, wetR, m);
    throughRing(dryL_, wetDryFirst, wetDryDelay, monitor ? monL : workMainL_, dryL, m);
    throughRing(dryR_, wetDryFirst, wetDryDelay, monitor ? monR : workMainR_, dryR, m);
    wetDryWrite_ = (wetDryWrite_ + static_cast<unsigned>(m)) & kWetDryMask;

    // The gliding makeup, output and mix, sample by sample.
    double makeupAt[kWork], outputAt[kWork], mixAt[kWork];
    {
        const double makeupTarget = s.makeupGain, outputTarget = s.outputGain, mixTarget = s.mix;
        double makeup = makeup_, output = output_, mix = mix_;
        for (int j = 0; j < m; ++j) {
            makeup += (makeupTarget - makeup) * kGlide + noise[j];
            output += (outputTarget - output) * kGlide + noise[j];
            mix += (mixTarget - mix) * kGlide + noise[j];
            makeupAt[j] = makeup;
            outputAt[j] = output;
            mixAt[j] = mix;
        }
        makeup_ = makeup;
        output_ = output;
        mix_ = mix;
    }

    if constexpr (kPowerOff) {
        std::memcpy(workOutL_, wetL, sizeof(double) * static_cast<std::size_t>(m));
        std::memcpy(workOutR_, wetR, sizeof(double) * static_cast<std::size_t>(m));
        if (source == MeterSource::GainRed) {
            for (int j = 0; j < m; ++j) workMeterL_[j] = workMeterR_[j] = 1.0;
            meters.feedGainChunk<A>(workMeterL_, workMeterR_, noise, m);
        }
    } else {
        if (monitor) {
            for (int j = 0; j < m; ++j) {
                workOutL_[j] = outputAt[j] * dryL[j];
                workOutR_[j] = outputAt[j] * dryR[j];
            }
        } else {
            const bool autoMakeup = s.autoMakeup != 0.0;
            for (int j = 0; j < m; ++j) {
                double yL = wetL[j] * gainL[j] * makeupAt[j];
                double yR = wetR[j] * gainR[j] * makeupAt[j];
                if (autoMakeup) {
                    yL *= automaticMakeup;
                    yR *= automaticMakeup;
                }
                workOutL_[j] = outputAt[j] * (dryL[j] + (yL - dryL[j]) * mixAt[j]);
                workOutR_[j] = outputAt[j] * (dryR[j] + (yR - dryR[j]) * mixAt[j]);
            }
        }
        for (int j = 0; j < m; ++j) lowest = std::min(lowest, std::min(gainL[j], gainR[j]));
        if (source == MeterSource::GainRed) {
            const double mix = s.mix;
            for (int j = 0; j < m; ++j) {
                workMeterL_[j] = MeterFeeds::gainMeterValue(gainL[j], mix, limiterGain);
                workMeterR_[j] = MeterFeeds::gainMeterValue(gainR[j], mix, limiterGain);
            }
            meters.feedGainChunk<A>(workMeterL_, workMeterR_, noise, m);
        }
    }
    currentGain_[0] = gainL[m - 1];
    currentGain_[1] = gainR[m - 1];
    lowestGain_ = lowest;

    // Back to the host rate: 64-sample delays, or 2x downsampling.
    if (factor == 2) {
        mainL_.downsample<A>(workOutL_, m);
        mainR_.downsample<A>(workOutR_, m);
    } else {
        mainL_.delayOut(workOutL_, n);
        mainR_.delayOut(workOutR_, n);
    }

    // Stage C, host rate: limiter ring and output. The noise value of each host sample is that
    // of its last gain-stage sample.
    const double* hostNoise = workNoise_;
    double lastNoise[kChunk];
    if (kSideChainInGain && factor == 2) {
        for (int i = 0; i < n; ++i) lastNoise[i] = workNoise_[2 * i + 1];
        hostNoise = lastNoise;
    }
    const bool limiterOn = !kPowerOff && s.limiter;
    lowestLimiterGain_ = limiter_.processBlock(workOutL_, workOutR_, n, limiterOn, hostNoise, lowestLimiterGain_);
    T* const outL = io.outL + offset;
    if (io.outR) {
        T* const outR = io.outR + offset;
        for (int i = 0; i < n; ++i) {
            outL[i] = static_cast<T>(workOutL_[i]);
            outR[i] = static_cast<T>(workOutR_[i]);
        }
    } else {
        for (int i = 0; i < n; ++i) outL[i] = static_cast<T>(workOutR_[i]);  // right after left
    }
    if (source == MeterSource::Post)
        for (int i = 0; i < n; ++i) meters.feedLevel(workOutL_[i], workOutR_[i], hostNoise[i]);
}

}  // namespace borealis

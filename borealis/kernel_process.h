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

// The side-chain runs at the host rate in the normal and FAT kernels and in the gain stage in
// the Smooth and power-off ones.
constexpr bool sideChainInGainStage(KernelVariant v) {
    return v == KernelVariant::PowerOff || v == KernelVariant::Smooth;
}

template <class T, KernelVariant V, class A>
void Kernel::runChunk(const BlockChannels<T>& io, int offset, int n, const KernelLayout& l, const BorealisSettings& s,
                      MeterFeeds& meters) {
    const bool monitor = s.sideChainMonitor != 0;
    // The limiter's gain as it stands before the chunk, for the GainRed meters.
    const double limiterGain = s.limiter ? limiter_.gain() : 1.0;
    takeInput<V, A>(io, offset, n, l, meters);
    if constexpr (!sideChainInGainStage(V)) sideChainAtHostRate<A>(n, s);
    const int m = toGainStageRate<V, A>(n, l, monitor);
    if constexpr (sideChainInGainStage(V)) sideChainAtGainStageRate<A>(m, s);
    computeGains<V, A>(m, s);
    delayWetAndDry(m, l, monitor);
    const double* noise = gainStageNoise<V>(l);
    glideLevels(m, s, noise);
    mixOutput<V, A>(m, s, meters, limiterGain, noise);
    toHostRate<A>(n, l);
    writeOutput<V>(io, offset, n, l, s, meters);
}

// A chunk with a sample the engine does not take in (see sample_guard.h) is read through
// admitSample; every other chunk is read as it is.
template <KernelVariant V, class A, class T>
inline void Kernel::takeInput(const BlockChannels<T>& io, int offset, int n, const KernelLayout& l,
                              MeterFeeds& meters) {
    const T* const inputs[4] = {io.mainL, io.mainR, io.keyL, io.keyR};
    if (orv::dsp::admitsAll(inputs, offset, n))
        takeInputThrough<V, A>(io, offset, n, l, meters, [](T x) { return static_cast<double>(x); });
    else
        takeInputThrough<V, A>(io, offset, n, l, meters, [](T x) { return orv::dsp::admitSample(x); });
}

template <KernelVariant V, class A, class T, class Admit>
inline void Kernel::takeInputThrough(const BlockChannels<T>& io, int offset, int n, const KernelLayout& l,
                                     MeterFeeds& meters, Admit admit) {
    ChunkBuffers& b = work_;
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
            if constexpr (sideChainInGainStage(V)) {
                b.mainL[i] = mainL;
                b.mainR[i] = mainR;
                b.keyL[i] = keyL;
                b.keyR[i] = keyR;
            } else {
                const double nL = noise_.next(), nR = noise_.next();
                currentNoise_ = b.noise[i] = noise_.next();
                b.mainL[i] = mainL + nL;
                b.mainR[i] = mainR + nR;
                b.keyL[i] = keyL + nL;
                b.keyR[i] = keyR + nR;
            }
        }
        return;
    }
    // Every delayed sample was written before this chunk: read them all, then write the chunk.
    const unsigned first = (inWrite_ + 1) & kInputMask;
    fromInputRing(inMainL_, (first - mainDelay) & kInputMask, b.mainL, n);
    fromInputRing(inMainR_, (first - mainDelay) & kInputMask, b.mainR, n);
    fromInputRing(inKeyL_, (first - keyDelay) & kInputMask, b.keyL, n);
    fromInputRing(inKeyR_, (first - keyDelay) & kInputMask, b.keyR, n);
    toInputRing(inMainL_, first, io.mainL + offset, n, admit);
    toInputRing(inMainR_, first, io.mainR + offset, n, admit);
    toInputRing(inKeyL_, first, io.keyL + offset, n, admit);
    toInputRing(inKeyR_, first, io.keyR + offset, n, admit);
    inWrite_ = (inWrite_ + static_cast<unsigned>(n)) & kInputMask;
    if constexpr (sideChainInGainStage(V)) {
        if (source == MeterSource::Pre)
            for (int i = 0; i < n; ++i) meters.feedLevel(b.mainL[i], b.mainR[i], currentNoise_);
    } else {
        // Three noise values per sample: left, right, and the one for smoothers and meters.
        double* const noiseOut[3] = {b.noiseL, b.noiseR, b.noise};
        noise_.next<A>(noiseOut, n);
        // Each sample's meter feed takes the noise value current before its own.
        if (source == MeterSource::Pre) {
            meters.feedLevel(b.mainL[0], b.mainR[0], currentNoise_);
            for (int i = 1; i < n; ++i) meters.feedLevel(b.mainL[i], b.mainR[i], b.noise[i - 1]);
        }
        currentNoise_ = b.noise[n - 1];
        for (int i = 0; i < n; ++i) {
            b.mainL[i] += b.noiseL[i];
            b.mainR[i] += b.noiseR[i];
            b.keyL[i] += b.noiseL[i];
            b.keyR[i] += b.noiseR[i];
        }
    }
}

template <class A>
inline void Kernel::sideChainAtHostRate(int n, const BorealisSettings& s) {
    ChunkBuffers& b = work_;
    sideChain_.processBlock<Magnitude::Fast, A>(b.keyL, b.keyR, n, s, b.side);
    if (s.sideChainMonitor != 0) {
        for (int i = 0; i < n; ++i) {
            b.monitorL[i] = b.side[i].monitorL;
            b.monitorR[i] = b.side[i].monitorR;
        }
    } else {
        for (int i = 0; i < n; ++i) {
            b.detectorL[i] = b.side[i].detectorL;
            b.detectorR[i] = b.side[i].detectorR;
        }
    }
}

template <KernelVariant V, class A>
inline int Kernel::toGainStageRate(int n, const KernelLayout& l, bool monitor) {
    ChunkBuffers& b = work_;
    // The second pair of resamplers carries the key (the side-chain runs in the gain stage),
    // or the side-chain's result: the detector values, or the monitored key.
    double* sideL = sideChainInGainStage(V) ? b.keyL : monitor ? b.monitorL : b.detectorL;
    double* sideR = sideChainInGainStage(V) ? b.keyR : monitor ? b.monitorR : b.detectorR;
    if (l.gainStageFactor == 2) {
        mainL_.upsample<A>(b.mainL, n);
        mainR_.upsample<A>(b.mainR, n);
        detL_.upsample<A>(sideL, n);
        detR_.upsample<A>(sideR, n);
    } else {
        mainL_.delayIn(b.mainL, n);
        mainR_.delayIn(b.mainR, n);
        detL_.delayIn(sideL, n);
        detR_.delayIn(sideR, n);
    }
    const int m = n * l.gainStageFactor;
    if constexpr (!sideChainInGainStage(V)) {
        // With the monitor on, the detector hears silence. Each gain-stage sample takes the
        // noise value of its host sample.
        if (monitor) {
            std::memset(b.detectorL, 0, sizeof(double) * static_cast<std::size_t>(m));
            std::memset(b.detectorR, 0, sizeof(double) * static_cast<std::size_t>(m));
        }
        if (l.gainStageFactor == 2)
            for (int j = 0; j < m; ++j) b.stageNoise[j] = b.noise[j / 2];
    }
    return m;
}

template <KernelVariant V>
inline const double* Kernel::gainStageNoise(const KernelLayout& l) const {
    return sideChainInGainStage(V) || l.gainStageFactor == 1 ? work_.noise : work_.stageNoise;
}

template <class A>
inline void Kernel::sideChainAtGainStageRate(int m, const BorealisSettings& s) {
    ChunkBuffers& b = work_;
    // The denormal noise in its usual order, then the side-chain for the whole chunk.
    double* const noiseOut[3] = {b.noiseL, b.noiseR, b.noise};
    noise_.next<A>(noiseOut, m);
    for (int j = 0; j < m; ++j) {
        b.keyL[j] += b.noiseL[j];
        b.keyR[j] += b.noiseR[j];
        b.mainL[j] += b.noiseL[j];
        b.mainR[j] += b.noiseR[j];
    }
    currentNoise_ = b.noise[m - 1];
    sideChain_.processBlock<Magnitude::Exact, A>(b.keyL, b.keyR, m, s, b.side);
    for (int j = 0; j < m; ++j) {
        b.detectorL[j] = b.side[j].detectorL;
        b.detectorR[j] = b.side[j].detectorR;
        b.monitorL[j] = b.side[j].monitorL;
        b.monitorR[j] = b.side[j].monitorR;
    }
}

template <KernelVariant V, class A>
inline void Kernel::computeGains(int m, const BorealisSettings& s) {
    ChunkBuffers& b = work_;
    // The Classic exponent comes from its table where the side-chain runs at the host rate.
    constexpr ClassicExponent kExponent =
        sideChainInGainStage(V) ? ClassicExponent::Computed : ClassicExponent::Tabulated;
    // The power-off kernel applies no gain: it keeps the envelopes running and needs only the
    // chunk's last gain (for a later change of settings to carry over).
    constexpr GainsWritten kWritten = V == KernelVariant::PowerOff ? GainsWritten::LastOnly : GainsWritten::Every;
    gain_.computeGainsBlock<kExponent, A, kWritten>(b.detectorL, b.detectorR, m, s, b.gainL, b.gainR);
}

inline void Kernel::delayWetAndDry(int m, const KernelLayout& l, bool monitor) {
    ChunkBuffers& b = work_;
    const unsigned first = (wetDryWrite_ + 1) & kWetDryMask;
    const unsigned delay = static_cast<unsigned>(l.wetDryDelay);
    throughRing(wetL_, first, delay, b.mainL, b.wetL, m);
    throughRing(wetR_, first, delay, b.mainR, b.wetR, m);
    throughRing(dryL_, first, delay, monitor ? b.monitorL : b.mainL, b.dryL, m);
    throughRing(dryR_, first, delay, monitor ? b.monitorR : b.mainR, b.dryR, m);
    wetDryWrite_ = (wetDryWrite_ + static_cast<unsigned>(m)) & kWetDryMask;
}

inline void Kernel::glideLevels(int m, const BorealisSettings& s, const double* noise) {
    ChunkBuffers& b = work_;
    const double makeupTarget = s.makeupGain, outputTarget = s.outputGain, mixTarget = s.mix;
    double makeup = makeup_, output = output_, mix = mix_;
    for (int j = 0; j < m; ++j) {
        makeup += (makeupTarget - makeup) * kGlide + noise[j];
        output += (outputTarget - output) * kGlide + noise[j];
        mix += (mixTarget - mix) * kGlide + noise[j];
        b.makeup[j] = makeup;
        b.output[j] = output;
        b.mix[j] = mix;
    }
    makeup_ = makeup;
    output_ = output;
    mix_ = mix;
}

template <KernelVariant V, class A>
inline void Kernel::mixOutput(int m, const BorealisSettings& s, MeterFeeds& meters, double limiterGain,
                              const double* noise) {
    ChunkBuffers& b = work_;
    const bool gainRedMeters = meters.source() == MeterSource::GainRed;
    if constexpr (V == KernelVariant::PowerOff) {
        std::memcpy(b.outL, b.wetL, sizeof(double) * static_cast<std::size_t>(m));
        std::memcpy(b.outR, b.wetR, sizeof(double) * static_cast<std::size_t>(m));
        if (gainRedMeters) {
            for (int j = 0; j < m; ++j) b.meterL[j] = b.meterR[j] = 1.0;
            meters.feedGainChunk<A>(b.meterL, b.meterR, noise, m);
        }
    } else {
        if (s.sideChainMonitor != 0) {
            for (int j = 0; j < m; ++j) {
                b.outL[j] = b.output[j] * b.dryL[j];
                b.outR[j] = b.output[j] * b.dryR[j];
            }
        } else {
            const bool autoMakeup = s.autoMakeup != 0.0;
            const double automaticMakeup = gain_.automaticMakeup();
            for (int j = 0; j < m; ++j) {
                double yL = b.wetL[j] * b.gainL[j] * b.makeup[j];
                double yR = b.wetR[j] * b.gainR[j] * b.makeup[j];
                if (autoMakeup) {
                    yL *= automaticMakeup;
                    yR *= automaticMakeup;
                }
                b.outL[j] = b.output[j] * (b.dryL[j] + (yL - b.dryL[j]) * b.mix[j]);
                b.outR[j] = b.output[j] * (b.dryR[j] + (yR - b.dryR[j]) * b.mix[j]);
            }
        }
        double lowest = lowestGain_;
        for (int j = 0; j < m; ++j) lowest = std::min(lowest, std::min(b.gainL[j], b.gainR[j]));
        lowestGain_ = lowest;
        if (gainRedMeters) {
            const double mix = s.mix;
            for (int j = 0; j < m; ++j) {
                b.meterL[j] = MeterFeeds::gainMeterValue(b.gainL[j], mix, limiterGain);
                b.meterR[j] = MeterFeeds::gainMeterValue(b.gainR[j], mix, limiterGain);
            }
            meters.feedGainChunk<A>(b.meterL, b.meterR, noise, m);
        }
    }
    currentGain_[0] = b.gainL[m - 1];
    currentGain_[1] = b.gainR[m - 1];
}

template <class A>
inline void Kernel::toHostRate(int n, const KernelLayout& l) {
    ChunkBuffers& b = work_;
    if (l.gainStageFactor == 2) {
        mainL_.downsample<A>(b.outL, 2 * n);
        mainR_.downsample<A>(b.outR, 2 * n);
    } else {
        mainL_.delayOut(b.outL, n);
        mainR_.delayOut(b.outR, n);
    }
}

// The noise value of each host sample is that of its last gain-stage sample.
template <KernelVariant V, class T>
inline void Kernel::writeOutput(const BlockChannels<T>& io, int offset, int n, const KernelLayout& l,
                                const BorealisSettings& s, MeterFeeds& meters) {
    ChunkBuffers& b = work_;
    const double* hostNoise = b.noise;
    if (sideChainInGainStage(V) && l.gainStageFactor == 2) {
        for (int i = 0; i < n; ++i) b.hostNoise[i] = b.noise[2 * i + 1];
        hostNoise = b.hostNoise;
    }
    const bool limiterOn = V != KernelVariant::PowerOff && s.limiter;
    lowestLimiterGain_ = limiter_.processBlock(b.outL, b.outR, n, limiterOn, hostNoise, lowestLimiterGain_);
    T* const outL = io.outL + offset;
    if (io.outR) {
        T* const outR = io.outR + offset;
        for (int i = 0; i < n; ++i) {
            outL[i] = static_cast<T>(b.outL[i]);
            outR[i] = static_cast<T>(b.outR[i]);
        }
    } else {
        for (int i = 0; i < n; ++i) outL[i] = static_cast<T>(b.outR[i]);  // right after left
    }
    if (meters.source() == MeterSource::Post)
        for (int i = 0; i < n; ++i) meters.feedLevel(b.outL[i], b.outR[i], hostNoise[i]);
}

}  // namespace borealis

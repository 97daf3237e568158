#pragma once
// The kernel's processing on the code path of instruction set A, compiled once for each path
// (kernel_paths.cpp). A chunk runs as stages over the whole chunk, each keeping only its own
// state in registers; the parts without recursion are loops the compiler vectorises.
#include "borealis/dsp/detector_scale.h"
#include "borealis/dsp/fast_magnitude.h"
#include "borealis/dsp/glide.h"
#include "borealis/dsp/knee_curve.h"
#include "kestrel/kernel.h"
#include "kestrel/meter_chunks.h"
#include "kestrel/ring_blocks.h"

#include <cmath>

namespace kestrel {

// The Draft detector: the filtered key times this level, the threshold factor and 2.
constexpr double kDraftLevel = 0.83;
// Both detectors' values are the scaled level times the threshold factor times this gain.
constexpr double kDetectorGain = 2.0;
// Linked, both channels' detectors take this times the magnitude of the (left, right) key.
constexpr double kLinkScale = 0.7071;
// The auto-release ratio of the fast to the slow level: each level is floored here first.
constexpr double kLevelFloor = 1e-6;
// The envelope never falls below this.
constexpr double kEnvelopeFloor = 0.0001;

template <class A, int C>
ORV_SIMD_INLINE simd::Doubles<A, C> kneeGains(simd::Doubles<A, C> level, double slope, const orv::dsp::KneePoints& p,
                                              bool soft) {
    if constexpr (C == 1)
        return {orv::dsp::kneeGain(level.v, slope, p, soft)};
    else
        return orv::dsp::kneeGainPair<A>(level, slope, p, soft);
}

template <class A>
void Kernel::processOnPath(const KernelChannels& ch, int frames, const KestrelSettings& s, Meters& meters) {
    if (!s.powerOn)
        processPowerOff<A>(ch, frames, meters);
    else if (s.stereo)
        processChannels<A, 2>(ch, frames, s, meters);
    else
        processChannels<A, 1>(ch, frames, s, meters);
}

template <class A, int C>
void Kernel::processChannels(const KernelChannels& ch, int frames, const KestrelSettings& s, Meters& meters) {
    const bool smooth = s.smooth != 0.0;
    for (int done = 0; done < frames;) {
        const int room = kChunk - static_cast<int>(frameClock_ & (kChunk - 1));
        const int n = frames - done < room ? frames - done : room;
        const bool settled = shelvesSettled();
        const KernelChannels in = chunkInputs(ch, done, n);
        if (smooth)
            settled ? runChunk<A, C, Detector::Smooth, Shelves::Settled>(in, n, s, meters)
                    : runChunk<A, C, Detector::Smooth, Shelves::Gliding>(in, n, s, meters);
        else
            settled ? runChunk<A, C, Detector::Draft, Shelves::Settled>(in, n, s, meters)
                    : runChunk<A, C, Detector::Draft, Shelves::Gliding>(in, n, s, meters);
        writeChunk(ch, done, n);
        frameClock_ += static_cast<unsigned>(n);
        done += n;
    }
}

template <class A, int C, Detector D, Shelves S>
void Kernel::runChunk(const KernelChannels& in, int n, const KestrelSettings& s, Meters& meters) {
    const MeterSource source = meters.source();
    drawNoise<A>(n);
    takeInput<A, C>(in, n);
    shelveKey<A, C, S>(n);
    detect<A, C, D>(n, s);
    filterLevels<A, C>(n);
    monitor<A, C>(n, s.sideChainMonitor != 0);
    applyGains<A, C>(n, s, source == MeterSource::GainRed);
    noiseNow_ = work_.smoother[n];

    ChunkBuffers& w = work_;
    const double* mainR = C == 2 ? w.mainR : w.mainL;
    const double* meterR = C == 2 ? w.meterR : w.meterL;
    if (source == MeterSource::Pre)
        meters.feedLevelChunk<A>(w.mainL, mainR, w.smoother, 1, n);
    else if (source == MeterSource::GainRed)
        meters.feedGainChunk<A>(w.meterL, meterR, w.smoother + 1, n);
    else
        meters.feedLevelChunk<A>(w.outL, w.outR, &noiseNow_, 0, n);
}

template <class A>
void Kernel::drawNoise(int n) {
    work_.smoother[0] = noiseNow_;
    double* const values[3] = {work_.noiseL, work_.noiseR, work_.smoother + 1};
    noise_.next<A>(values, n);
}

// Every value the chunk reads is older than the chunk (the key is at least
// 1022 - 2 * kMaxHilbertLength frames old), so the reads come first, then the writes. Stereo
// keys carry the noise of their channel; the mono key is the mean of both.
template <class A, int C>
void Kernel::takeInput(const KernelChannels& in, int n) {
    static_assert(kChunk <= 1022 - 2 * kMaxHilbertLength, "a chunk must not read what it writes");
    ChunkBuffers& w = work_;
    const unsigned mainBack = kRingSize - kDetectorDelay;  // 1021 behind
    const unsigned keyBack = static_cast<unsigned>(2 * hilbert_.halfLength() + 2);  // 1022 - 2N behind
    const unsigned first = (inWrite_ + 1) & kRingMask;
    const unsigned mainAt = (first + mainBack) & kRingMask, keyAt = (first + keyBack) & kRingMask;
    alignas(32) double a[kChunk], b[kChunk];
    copyFromRing(w.mainL, input_[0], mainAt, n);
    copyFromRing(w.mainR, input_[1], mainAt, n);
    if constexpr (C == 1)
        for (int i = 0; i < n; ++i) w.mainL[i] = (w.mainL[i] + w.mainR[i]) * 0.5;
    copyFromRing(a, input_[2], keyAt, n);
    copyFromRing(b, input_[3], keyAt, n);
    if constexpr (C == 2) {
        for (int i = 0; i < n; ++i) {
            w.key[2 * i] = a[i] + w.noiseL[i];
            w.key[2 * i + 1] = b[i] + w.noiseR[i];
        }
    } else {
        for (int i = 0; i < n; ++i) w.key[i] = (a[i] + b[i]) * 0.5;
    }
    for (int k = 0; k < 4; ++k) copyIntoRing(input_[k], first, in.in[k], n);
    inWrite_ = (inWrite_ + static_cast<unsigned>(n)) & kRingMask;
}

template <class A, int C, Shelves S>
void Kernel::shelveKey(int n) {
    if constexpr (S == Shelves::Settled) {
        // The high shelf runs a frame behind the low one in one pass.
        orv::dsp::BiquadPair::processPlainPairsChain<A, C>(lowShelf_, highShelf_, work_.key, n);
    } else {
        lowShelf_.processSmoothedFrames<A, C>(work_.key, n);
        highShelf_.processSmoothedFrames<A, C>(work_.key, n);
    }
}

template <class A, int C, Detector D>
void Kernel::detect(int n, const KestrelSettings& s) {
    using Pair = simd::Doubles<A, 2>;
    ChunkBuffers& w = work_;
    const int hn = hilbert_.halfLength();
    // What each ring takes: linked, the magnitude of the pair in both; else its own channel.
    const bool linked = C == 2 && s.link != 0.0;
    for (int i = 0; i < n; ++i) {
        if (linked) {
            const double l = w.key[2 * i], r = w.key[2 * i + 1];
            w.detectorIn[0][i] = kLinkScale * std::sqrt(l * l + r * r);
        } else {
            w.detectorIn[0][i] = w.key[C * i];
        }
        if (C == 2 && !linked) w.detectorIn[1][i] = w.key[2 * i + 1];
    }
    detector_[0].push(w.detectorIn[0], n);
    detector_[1].push(w.detectorIn[C == 2 && !linked ? 1 : 0], n);

    // Frame i's centre lies 2N - 1 frames behind its own value; its taps reach from the newest
    // value back to 4N - 2 behind it.
    const double thresholdGain = s.thresholdGain;
    const bool rms = s.rmsMode != 0;
    for (int c = 0; c < C; ++c) {
        const double* centre = detector_[c].newest(2 * hn - 1 + n);
        double* out = w.detected + c;
        if constexpr (D == Detector::Smooth) {
            double* im = w.imaginary[c];
            hilbert_.transformRun<A, 1>(centre, n, im);
            for (int i = n; i < n + 4; ++i) im[i] = 0.0;
            using namespace orv::dsp;
            for (int i = 0; i < n; i += 4) {
                const Pair re0 = Pair::load(centre + i), re1 = Pair::load(centre + i + 2);
                const Pair im0 = Pair::load(im + i), im1 = Pair::load(im + i + 2);
                const simd::Floats m = fastMagnitudes(simd::toFloats(re0 * re0 + im0 * im0, re1 * re1 + im1 * im1));
                alignas(16) double magnitude[4];
                simd::lowDoubles<A>(m).store(magnitude);
                simd::highDoubles<A>(m).store(magnitude + 2);
                for (int j = 0; j < 4 && i + j < n; ++j) {
                    const double v = magnitude[j] * kDetectorRootTwo * kDetectorLevel * kDetectorTrim * thresholdGain *
                                         kDetectorGain +
                                     kDetectorFloor;
                    out[C * (i + j)] = rms ? v * v : v;
                }
            }
        } else {
            for (int i = 0; i < n; ++i) {
                const double v = centre[i] * kDraftLevel * thresholdGain * kDetectorGain + orv::dsp::kDetectorFloor;
                out[C * i] = rms ? v * v : v;
            }
        }
    }
}

template <class A, int C>
void Kernel::filterLevels(int n) {
    ChunkBuffers& w = work_;
    for (int i = 0; i < C * n; ++i) w.fast[i] = w.detected[i];
    orv::dsp::BiquadPair::processPlainPairsBoth<A, C>(fastLevel_, slowLevel_, w.fast, w.slow, n);
}

template <class A, int C>
void Kernel::monitor(int n, bool monitoring) {
    ChunkBuffers& w = work_;
    for (int i = 0; i < n; ++i) w.noisyL[i] = w.mainL[i] + w.noiseL[i];
    if constexpr (C == 2)
        for (int i = 0; i < n; ++i) w.noisyR[i] = w.mainR[i] + w.noiseR[i];
    if (!monitoring) {
        monitor_[0].push(w.noisyL, n);
        monitor_[1].push(C == 2 ? w.noisyR : w.noisyL, n);
        return;
    }
    alignas(32) double key[2][kChunk];
    for (int c = 0; c < C; ++c)
        for (int i = 0; i < n; ++i) key[c][i] = w.key[C * i + c];
    monitor_[0].push(key[0], n);
    monitor_[1].push(key[C - 1], n);
}

// Per frame: each envelope follows its detector value (attack while it rises, release while it
// falls, the release scaled by the fast to slow level ratio with auto release), the static
// curve gives the gain, makeup and output glide to their targets.
template <class A, int C>
void Kernel::applyGains(int n, const KestrelSettings& s, bool meterGains) {
    using V = simd::Doubles<A, C>;
    ChunkBuffers& w = work_;
    Followers& f = followers_;
    const V attack = V::splat(s.attackCoeff), release = V::splat(s.releaseCoeff);
    const V levelFloor = V::splat(kLevelFloor), envelopeFloor = V::splat(kEnvelopeFloor);
    const V half = V::splat(0.5), two = V::splat(2.0), one = V::splat(1.0), tenth = V::splat(0.1);
    const V meterScale = V::splat(0.98), mix = V::splat(s.mix);
    const bool autoRelease = s.autoRelease != 0, rms = s.rmsMode != 0, soft = s.softKnee != 0;
    const bool monitoring = s.sideChainMonitor != 0;
    const double makeupTarget = s.makeupGain, outputTarget = s.outputGain;
    const double autoMakeup = s.autoMakeup != 0.0 ? s.autoMakeupFactor : 1.0;
    // The monitored value of frame i is 2N - 1 frames older; the chunk's later frames have been
    // pushed after it.
    const int centreAge = 2 * hilbert_.halfLength() - 1;
    const double* monitoredL = monitor_[0].newest(centreAge + n);
    const double* monitoredR = monitor_[1].newest(centreAge + n);
    V envelope = V::load(f.envelope), gain = V::load(f.gain);
    double makeup = f.makeup, output = f.output;
    for (int i = 0; i < n; ++i) {
        const V e = V::load(w.detected + C * i);
        const V rising = greater(e, envelope);
        const V difference = e - envelope;
        V step;
        if (autoRelease) {
            const V fast = max(V::load(w.fast + C * i), levelFloor), slow = max(V::load(w.slow + C * i), levelFloor);
            const V r = half * fast / slow;
            step = select(rising, difference * attack, difference * release * (two * r / (r + one) + tenth));
        } else {
            step = difference * select(rising, attack, release);
        }
        envelope = max(envelope + step, envelopeFloor);
        gain = kneeGains<A, C>(rms ? sqrt(envelope) : envelope, s.ratioInverse, s.knee, soft);

        const double noise = w.smoother[i + 1];
        makeup += (makeupTarget - makeup) * orv::dsp::kGlide + noise;
        output += (outputTarget - output) * orv::dsp::kGlide + noise;
        double yL, yR;
        if (monitoring) {
            yL = output * monitoredL[i];
            yR = output * monitoredR[i];
        } else {
            const double g = makeup * autoMakeup * output;
            const double gL = gain.lane(0), gR = gain.lane(C - 1);
            yL = w.noisyL[i] * gL * g;
            yR = (C == 2 ? w.noisyR[i] : w.noisyL[i]) * gR * g;
        }
        w.outL[i] = yL;
        w.outR[i] = yR;
        if (meterGains) {
            // The meter value of a gain: its reduction scaled by Mix (1.0 = no gain change).
            const V m = (abs(meterScale * gain) - one) * mix + one;
            w.meterL[i] = m.lane(0);
            if (C == 2) w.meterR[i] = m.lane(1);
        }
    }
    envelope.store(f.envelope);
    gain.store(f.gain);
    if (C == 1) f.gain[1] = f.gain[0];
    f.makeup = makeup;
    f.output = output;
}

// Power off: a pure delay by the latency, with the meters still running. A chunk is shorter
// than the delay, so every value it reads was written before the chunk: the reads come first,
// then the chunk's inputs go into the rings in one pass per channel.
template <class A>
void Kernel::processPowerOff(const KernelChannels& ch, int frames, Meters& meters) {
    const MeterSource source = meters.source();
    ChunkBuffers& w = work_;
    const unsigned back = static_cast<unsigned>(kRingSize - kDetectorDelay);
    static_assert(kChunk <= kDetectorDelay, "a chunk must not read what it writes");
    for (int done = 0; done < frames;) {
        const int n = frames - done < kChunk ? frames - done : kChunk;
        const KernelChannels in = chunkInputs(ch, done, n);
        const unsigned first = (inWrite_ + 1) & kRingMask;
        copyFromRing(w.outL, input_[0], (first + back) & kRingMask, n);
        copyFromRing(w.outR, input_[1], (first + back) & kRingMask, n);
        for (int c = 0; c < 4; ++c) copyIntoRing(input_[c], first, in.in[c], n);
        inWrite_ = (inWrite_ + static_cast<unsigned>(n)) & kRingMask;
        noiseNow_ = source == MeterSource::GainRed ? meters.feedUnityPowerOffChunk<A>(noiseNow_, n)
                                                   : meters.feedLevelPowerOffChunk<A>(w.outL, w.outR, noiseNow_, n);
        writeChunk(ch, done, n);
        done += n;
    }
}

}  // namespace kestrel

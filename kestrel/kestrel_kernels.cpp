// The two dynamics kernels of Orv Kestrel (stereo and mono). Per sample: delay the input, shelve
// the side chain, derive a detector value (Hilbert envelope or the plain filtered key), follow
// it with the envelope, map it through the static curve and apply the gain with makeup and
// output gain, feeding the meters on the way.
//
// Timing. The main signal is read from the input ring 1021 - N samples after it was written:
// that is the latency the host is told. The key is read N - 1 samples earlier than the main
// signal (1022 - 2N behind the input) and the Hilbert sum is centred 2N - 1 samples behind the
// newest key sample, so all N coefficient pairs reach only samples really written while the
// centre still sits 1021 samples behind the input, as the gain computation expects.
#include "kestrel/kestrel.h"

#include <cmath>
#include <cstdint>
#include <cstring>

using namespace kestrel;

namespace {

// Magnitude of the analytic signal in single precision: q * (1 / sqrt q) with the classic
// bit-level first guess and two Newton steps.
inline float fastMagnitude(double re, double im) {
    const float q = static_cast<float>(re * re + im * im);
    std::uint32_t bits;
    std::memcpy(&bits, &q, sizeof bits);
    bits = 0x5F3759DFu - (bits >> 1);
    float y;
    std::memcpy(&y, &bits, sizeof y);
    y = y * (1.5f - 0.5f * q * y * y);
    y = y * (1.5f - 0.5f * q * y * y);
    return q * y;
}

}  // namespace

inline double Kestrel::detect(const orv::dsp::MirroredRing<kRingSize>& ring) const {
    const int n = hilbertN;
    const double* window = ring.newest(4 * n - 1);  // oldest first
    const double* centre = window + 2 * n - 1;
    const double thresholdGain = engine.thresholdGain;
    if (engine.smooth == 0.0) return *centre * 0.83 * thresholdGain * 2.0 + 0.005;
    const double* c = buffers->hilbert;
    const double* newer = centre + 1;
    const double* older = centre - 1;
    double im = 0.0;
#pragma omp simd reduction(+ : im)
    for (int k = 0; k < n; ++k) im += c[k] * (newer[2 * k] - older[-2 * k]);
    const double magnitude = fastMagnitude(*centre, im);
    return magnitude * 1.4142 * 0.582 * 1.005773063 * thresholdGain * 2.0 + 0.005;
}

inline double Kestrel::envelopeGain(int channel, double e) {
    const KestrelSettings& s = engine;
    if (s.rmsMode) e *= e;
    double fast = fastLevel[channel].processPlain(e);
    double slow = slowLevel[channel].processPlain(e);
    if (fast < 1e-6) fast = 1e-6;
    if (slow < 1e-6) slow = 1e-6;
    double env = envelopes[channel];
    if (e > env) {
        env += (e - env) * s.attackCoeff;
    } else if (s.autoRelease) {
        const double r = 0.5 * fast / slow;
        const double k = 2.0 * r / (r + 1.0) + 0.1;
        env += (e - env) * s.releaseCoeff * k;
    } else {
        env += (e - env) * s.releaseCoeff;
    }
    if (env < 0.0001) env = 0.0001;
    envelopes[channel] = env;
    const double level = s.rmsMode ? std::sqrt(env) : env;
    const double g = orv::dsp::kneeGain(level, s.ratioInverse, s.knee, s.softKnee != 0);
    gains[channel] = g;
    return g;
}

// Copies a finished chunk to the outputs (left first, so a shared buffer keeps the right
// result) and runs the Post meters on it.
void Kestrel::writeChunk(const Channels& ch, int offset, int n) {
    const Buffers& b = *buffers;
    float* left = ch.out[0] + offset;
    float* right = ch.out[1] + offset;
    for (int i = 0; i < n; ++i) left[i] = static_cast<float>(b.chunkLeft[i]);
    for (int i = 0; i < n; ++i) right[i] = static_cast<float>(b.chunkRight[i]);
    if (meterFeeds.source() == MeterSource::Post)
        for (int i = 0; i < n; ++i) meterFeeds.feedLevel(b.chunkLeft[i], b.chunkRight[i], noiseNow);
}

void Kestrel::processStereo(const Channels& ch, VstInt32 sampleFrames) {
    beginMeterBlock(false);
    const MeterSource source = meterFeeds.source();
    Buffers& b = *buffers;
    const KestrelSettings& s = engine;
    const unsigned mainBack = static_cast<unsigned>(hilbertN + 3);      // 1021 - N behind
    const unsigned keyBack = static_cast<unsigned>(2 * hilbertN + 2);   // 1022 - 2N behind
    const int centreAge = 2 * hilbertN - 1;
    for (int done = 0; done < sampleFrames;) {
        const int n = sampleFrames - done < kChunk ? sampleFrames - done : kChunk;
        for (int i = 0; i < n; ++i) {
            const int t = done + i;
            const unsigned w = (inWrite + 1) & kRingMask;
            inWrite = w;
            for (int c = 0; c < 4; ++c) b.input[c][w] = ch.in[c][t];
            const unsigned r = (w + mainBack) & kRingMask;
            const unsigned k = (w + keyBack) & kRingMask;
            double mL = b.input[0][r], mR = b.input[1][r];
            double sL = b.input[2][k], sR = b.input[3][k];
            if (source == MeterSource::Pre) meterFeeds.feedLevel(mL, mR, noiseNow);

            const double nL = noise.next(), nR = noise.next();
            noiseNow = noise.next();
            sL += nL;
            mL += nL;
            sR += nR;
            mR += nR;

            const double fL = highShelves[0].processSmoothed(lowShelves[0].processSmoothed(sL));
            const double fR = highShelves[1].processSmoothed(lowShelves[1].processSmoothed(sR));
            double dL = fL, dR = fR;
            if (s.link != 0.0) dL = dR = 0.7071 * std::sqrt(fL * fL + fR * fR);
            b.detector[0].push(dL);
            b.detector[1].push(dR);

            const double gL = envelopeGain(0, detect(b.detector[0]));
            const double gR = envelopeGain(1, detect(b.detector[1]));

            const bool monitoring = s.sideChainMonitor != 0;
            b.monitor[0].push(monitoring ? fL : mL);
            b.monitor[1].push(monitoring ? fR : mR);

            makeupSmoothed += (s.makeupGain - makeupSmoothed) * 0.001 + noiseNow;
            outputSmoothed += (s.outputGain - outputSmoothed) * 0.001 + noiseNow;
            if (monitoring) {
                b.chunkLeft[i] = outputSmoothed * b.monitor[0].ago(centreAge);
                b.chunkRight[i] = outputSmoothed * b.monitor[1].ago(centreAge);
            } else {
                const double gain = makeupSmoothed * (s.autoMakeup != 0.0 ? s.autoMakeupFactor : 1.0) * outputSmoothed;
                b.chunkLeft[i] = mL * gL * gain;
                b.chunkRight[i] = mR * gR * gain;
            }
            if (source == MeterSource::GainRed)
                meterFeeds.feedGain(Meters::gainMeterValue(gL, s.mix), Meters::gainMeterValue(gR, s.mix), noiseNow);
        }
        writeChunk(ch, done, n);
        done += n;
    }
    meterFeeds.ageHolds(sampleFrames);
}

// Mono: the sum of both channels is compressed and sent to both outputs. The rings keep both
// channels as they came in, so a switch between Mono, Stereo and power off never reads stale data.
void Kestrel::processMono(const Channels& ch, VstInt32 sampleFrames) {
    beginMeterBlock(false);
    const MeterSource source = meterFeeds.source();
    Buffers& b = *buffers;
    const KestrelSettings& s = engine;
    const unsigned mainBack = static_cast<unsigned>(hilbertN + 3);
    const unsigned keyBack = static_cast<unsigned>(2 * hilbertN + 2);
    const int centreAge = 2 * hilbertN - 1;
    for (int done = 0; done < sampleFrames;) {
        const int n = sampleFrames - done < kChunk ? sampleFrames - done : kChunk;
        for (int i = 0; i < n; ++i) {
            const int t = done + i;
            const unsigned w = (inWrite + 1) & kRingMask;
            inWrite = w;
            for (int c = 0; c < 4; ++c) b.input[c][w] = ch.in[c][t];
            const unsigned r = (w + mainBack) & kRingMask;
            const unsigned k = (w + keyBack) & kRingMask;
            double o = (b.input[0][r] + b.input[1][r]) * 0.5;
            const double key = (b.input[2][k] + b.input[3][k]) * 0.5;
            if (source == MeterSource::Pre) meterFeeds.feedLevel(o, o, noiseNow);

            o += noise.next();
            noise.next();  // the right channel's value, unused in mono
            noiseNow = noise.next();

            const double f = highShelves[0].processSmoothed(lowShelves[0].processSmoothed(key));
            b.detector[0].push(f);
            b.detector[1].push(f);
            const double g = envelopeGain(0, detect(b.detector[0]));
            gains[1] = g;

            const bool monitoring = s.sideChainMonitor != 0;
            b.monitor[0].push(monitoring ? f : o);
            b.monitor[1].push(monitoring ? f : o);

            makeupSmoothed += (s.makeupGain - makeupSmoothed) * 0.001 + noiseNow;
            outputSmoothed += (s.outputGain - outputSmoothed) * 0.001 + noiseNow;
            double y;
            if (monitoring)
                y = outputSmoothed * b.monitor[0].ago(centreAge);
            else
                y = o * g * makeupSmoothed * (s.autoMakeup != 0.0 ? s.autoMakeupFactor : 1.0) * outputSmoothed;
            b.chunkLeft[i] = y;
            b.chunkRight[i] = y;
            if (source == MeterSource::GainRed) {
                const double m = Meters::gainMeterValue(g, s.mix);
                meterFeeds.feedGain(m, m, noiseNow);
            }
        }
        writeChunk(ch, done, n);
        done += n;
    }
    meterFeeds.ageHolds(sampleFrames);
}

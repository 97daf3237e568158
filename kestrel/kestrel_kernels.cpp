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
//
// Cost. Each chunk runs in a variant chosen for it (Draft or Smooth detector; side-chain shelves
// gliding or plain) on local copies of the filters, the noise source and the envelopes, so the
// loop works on registers rather than reloading members after every store to the rings. The
// meters take their values from small per-chunk arrays after the chunk.
#include "kestrel/kestrel.h"

#include <cmath>
#include <cstdint>
#include <cstring>

using namespace kestrel;
using orv::dsp::Biquad;
using orv::dsp::BiquadCoefficients;
using Ring = orv::dsp::MirroredRing<Kestrel::kRingSize>;

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

// The detector value of the newest frame of `ring`: the delayed key (Draft) or the magnitude of
// its analytic signal (Smooth).
template <bool kSmooth>
inline double detect(const Ring& ring, int n, const double* c, double thresholdGain) {
    const double* window = ring.newest(4 * n - 1);  // oldest first
    const double* centre = window + 2 * n - 1;
    if (!kSmooth) return *centre * 0.83 * thresholdGain * 2.0 + 0.005;
    const double* newer = centre + 1;
    const double* older = centre - 1;
    double im = 0.0;
#pragma omp simd reduction(+ : im)
    for (int k = 0; k < n; ++k) im += c[k] * (newer[2 * k] - older[-2 * k]);
    const double magnitude = fastMagnitude(*centre, im);
    return magnitude * 1.4142 * 0.582 * 1.005773063 * thresholdGain * 2.0 + 0.005;
}

// The envelope follower of one channel with the static curve behind it, on local state.
struct Follower {
    Biquad fast, slow;
    double envelope;

    inline double gain(double e, const KestrelSettings& s) {
        if (s.rmsMode) e *= e;
        double f = fast.processPlain(e);
        double sl = slow.processPlain(e);
        if (f < 1e-6) f = 1e-6;
        if (sl < 1e-6) sl = 1e-6;
        double env = envelope;
        if (e > env) {
            env += (e - env) * s.attackCoeff;
        } else if (s.autoRelease) {
            const double r = 0.5 * f / sl;
            const double k = 2.0 * r / (r + 1.0) + 0.1;
            env += (e - env) * s.releaseCoeff * k;
        } else {
            env += (e - env) * s.releaseCoeff;
        }
        if (env < 0.0001) env = 0.0001;
        envelope = env;
        const double level = s.rmsMode ? std::sqrt(env) : env;
        return orv::dsp::kneeGain(level, s.ratioInverse, s.knee, s.softKnee != 0);
    }
};

template <bool kPlain>
inline double shelve(Biquad& f, double x) {
    return kPlain ? f.processPlain(x) : f.processSmoothed(x);
}

bool sameCoefficients(const BiquadCoefficients& a, const BiquadCoefficients& b) {
    return a.b0 == b.b0 && a.b1 == b.b1 && a.b2 == b.b2 && a.a1 == b.a1 && a.a2 == b.a2;
}

// A gliding filter has arrived once every coefficient sits within the spread its own noise keeps
// up around the design (about six standard deviations of that spread).
bool arrived(const Biquad& f) {
    if (!f.filters()) return true;
    const BiquadCoefficients& c = f.currents();
    const BiquadCoefficients& t = f.targets();
    const double tolerance = 3.5e-13 / std::sqrt(2.0 * f.smoothing());
    return std::fabs(c.b0 - t.b0) <= tolerance && std::fabs(c.b1 - t.b1) <= tolerance &&
           std::fabs(c.b2 - t.b2) <= tolerance && std::fabs(c.a1 - t.a1) <= tolerance &&
           std::fabs(c.a2 - t.a2) <= tolerance;
}

}  // namespace

// Whether the shelves of the first `channels` channels run plain in the chunk that starts now.
// A new design makes a shelf glide at once; arrival is only checked at whole multiples of kChunk
// frames, so the choice never depends on how the host cuts its blocks.
bool Kestrel::shelvesSettled(int channels) {
    const Biquad* shelves[4] = {&lowShelves[0], &highShelves[0], &lowShelves[1], &highShelves[1]};
    const bool checkpoint = (frameClock & (kChunk - 1)) == 0;
    bool all = true;
    for (int i = 0; i < 4; ++i) {
        const Biquad& f = *shelves[i];
        if (shelfArrived[i] && !sameCoefficients(shelfReached[i], f.targets())) shelfArrived[i] = false;
        if (!shelfArrived[i] && checkpoint && i < 2 * channels && arrived(f)) {
            shelfArrived[i] = true;
            shelfReached[i] = f.targets();
        }
        if (i < 2 * channels) all = all && shelfArrived[i];
    }
    return all;
}

// Copies a finished chunk to the outputs (left first, so a shared buffer keeps the right
// result) and runs the Post meters on it.
void Kestrel::writeChunk(const Channels& ch, int offset, int n) {
    const Buffers& b = *buffers;
    float* left = ch.out[0] + offset;
    float* right = ch.out[1] + offset;
    for (int i = 0; i < n; ++i) left[i] = static_cast<float>(b.chunkLeft[i]);
    for (int i = 0; i < n; ++i) right[i] = static_cast<float>(b.chunkRight[i]);
    if (meterFeeds.source() == MeterSource::Post) meterFeeds.feedLevelChunk(b.chunkLeft, b.chunkRight, &noiseNow, 0, n);
}

template <bool kSmooth, bool kPlainShelves>
void Kestrel::stereoChunk(const Channels& ch, int offset, int n) {
    const MeterSource source = meterFeeds.source();
    Buffers& b = *buffers;
    const KestrelSettings& s = engine;
    const int hn = hilbertN;
    const unsigned mainBack = static_cast<unsigned>(hn + 3);     // 1021 - N behind
    const unsigned keyBack = static_cast<unsigned>(2 * hn + 2);  // 1022 - 2N behind
    const int centreAge = 2 * hn - 1;
    const double thresholdGain = s.thresholdGain;
    const bool link = s.link != 0.0;
    const bool monitoring = s.sideChainMonitor != 0;
    const double makeupTarget = s.makeupGain, outputTarget = s.outputGain;
    const double autoMakeup = s.autoMakeup != 0.0 ? s.autoMakeupFactor : 1.0;
    const double mix = s.mix;
    const float* in0 = ch.in[0] + offset;
    const float* in1 = ch.in[1] + offset;
    const float* in2 = ch.in[2] + offset;
    const float* in3 = ch.in[3] + offset;

    orv::dsp::DenormalNoise rng = noise;
    Biquad low0 = lowShelves[0], low1 = lowShelves[1], high0 = highShelves[0], high1 = highShelves[1];
    Follower left{fastLevel[0], slowLevel[0], envelopes[0]};
    Follower right{fastLevel[1], slowLevel[1], envelopes[1]};
    double makeup = makeupSmoothed, output = outputSmoothed, noiseValue = noiseNow;
    double gL = gains[0], gR = gains[1];
    unsigned w = inWrite;

    for (int i = 0; i < n; ++i) {
        w = (w + 1) & kRingMask;
        b.input[0][w] = in0[i];
        b.input[1][w] = in1[i];
        b.input[2][w] = in2[i];
        b.input[3][w] = in3[i];
        const unsigned r = (w + mainBack) & kRingMask;
        const unsigned k = (w + keyBack) & kRingMask;
        double mL = b.input[0][r], mR = b.input[1][r];
        double sL = b.input[2][k], sR = b.input[3][k];
        b.meterLeft[i] = mL;
        b.meterRight[i] = mR;

        const double previousNoise = noiseValue;  // what the Pre meters get
        const double nL = rng.next(), nR = rng.next();
        noiseValue = rng.next();
        sL += nL;
        mL += nL;
        sR += nR;
        mR += nR;

        const double fL = shelve<kPlainShelves>(high0, shelve<kPlainShelves>(low0, sL));
        const double fR = shelve<kPlainShelves>(high1, shelve<kPlainShelves>(low1, sR));
        double dL = fL, dR = fR;
        if (link) dL = dR = 0.7071 * std::sqrt(fL * fL + fR * fR);
        b.detector[0].push(dL);
        b.detector[1].push(dR);

        gL = left.gain(detect<kSmooth>(b.detector[0], hn, b.hilbert, thresholdGain), s);
        gR = right.gain(detect<kSmooth>(b.detector[1], hn, b.hilbert, thresholdGain), s);

        b.monitor[0].push(monitoring ? fL : mL);
        b.monitor[1].push(monitoring ? fR : mR);

        makeup += (makeupTarget - makeup) * 0.001 + noiseValue;
        output += (outputTarget - output) * 0.001 + noiseValue;
        if (monitoring) {
            b.chunkLeft[i] = output * b.monitor[0].ago(centreAge);
            b.chunkRight[i] = output * b.monitor[1].ago(centreAge);
        } else {
            const double gain = makeup * autoMakeup * output;
            b.chunkLeft[i] = mL * gL * gain;
            b.chunkRight[i] = mR * gR * gain;
        }
        b.meterNoise[i] = source == MeterSource::Pre ? previousNoise : noiseValue;
        if (source == MeterSource::GainRed) {
            b.meterLeft[i] = Meters::gainMeterValue(gL, mix);
            b.meterRight[i] = Meters::gainMeterValue(gR, mix);
        }
    }

    inWrite = w;
    noise = rng;
    lowShelves[0] = low0;
    lowShelves[1] = low1;
    highShelves[0] = high0;
    highShelves[1] = high1;
    fastLevel[0] = left.fast;
    slowLevel[0] = left.slow;
    envelopes[0] = left.envelope;
    fastLevel[1] = right.fast;
    slowLevel[1] = right.slow;
    envelopes[1] = right.envelope;
    gains[0] = gL;
    gains[1] = gR;
    makeupSmoothed = makeup;
    outputSmoothed = output;
    noiseNow = noiseValue;
    if (source == MeterSource::Pre)
        meterFeeds.feedLevelChunk(b.meterLeft, b.meterRight, b.meterNoise, 1, n);
    else if (source == MeterSource::GainRed)
        meterFeeds.feedGainChunk(b.meterLeft, b.meterRight, b.meterNoise, n);
}

// Mono: the sum of both channels is compressed and sent to both outputs. The rings keep both
// channels as they came in, so a switch between Mono, Stereo and power off never reads stale data.
template <bool kSmooth, bool kPlainShelves>
void Kestrel::monoChunk(const Channels& ch, int offset, int n) {
    const MeterSource source = meterFeeds.source();
    Buffers& b = *buffers;
    const KestrelSettings& s = engine;
    const int hn = hilbertN;
    const unsigned mainBack = static_cast<unsigned>(hn + 3);
    const unsigned keyBack = static_cast<unsigned>(2 * hn + 2);
    const int centreAge = 2 * hn - 1;
    const double thresholdGain = s.thresholdGain;
    const bool monitoring = s.sideChainMonitor != 0;
    const double makeupTarget = s.makeupGain, outputTarget = s.outputGain;
    const double autoMakeup = s.autoMakeup != 0.0 ? s.autoMakeupFactor : 1.0;
    const double mix = s.mix;
    const float* in0 = ch.in[0] + offset;
    const float* in1 = ch.in[1] + offset;
    const float* in2 = ch.in[2] + offset;
    const float* in3 = ch.in[3] + offset;

    orv::dsp::DenormalNoise rng = noise;
    Biquad low = lowShelves[0], high = highShelves[0];
    Follower follower{fastLevel[0], slowLevel[0], envelopes[0]};
    double makeup = makeupSmoothed, output = outputSmoothed, noiseValue = noiseNow;
    double g = gains[0];
    unsigned w = inWrite;

    for (int i = 0; i < n; ++i) {
        w = (w + 1) & kRingMask;
        b.input[0][w] = in0[i];
        b.input[1][w] = in1[i];
        b.input[2][w] = in2[i];
        b.input[3][w] = in3[i];
        const unsigned r = (w + mainBack) & kRingMask;
        const unsigned k = (w + keyBack) & kRingMask;
        double o = (b.input[0][r] + b.input[1][r]) * 0.5;
        const double key = (b.input[2][k] + b.input[3][k]) * 0.5;
        b.meterLeft[i] = o;

        const double previousNoise = noiseValue;  // what the Pre meters get
        o += rng.next();
        rng.next();  // the right channel's value, unused in mono
        noiseValue = rng.next();

        const double f = shelve<kPlainShelves>(high, shelve<kPlainShelves>(low, key));
        b.detector[0].push(f);
        b.detector[1].push(f);
        g = follower.gain(detect<kSmooth>(b.detector[0], hn, b.hilbert, thresholdGain), s);

        b.monitor[0].push(monitoring ? f : o);
        b.monitor[1].push(monitoring ? f : o);

        makeup += (makeupTarget - makeup) * 0.001 + noiseValue;
        output += (outputTarget - output) * 0.001 + noiseValue;
        double y;
        if (monitoring)
            y = output * b.monitor[0].ago(centreAge);
        else
            y = o * g * makeup * autoMakeup * output;
        b.chunkLeft[i] = y;
        b.chunkRight[i] = y;
        b.meterNoise[i] = source == MeterSource::Pre ? previousNoise : noiseValue;
        if (source == MeterSource::GainRed) b.meterLeft[i] = Meters::gainMeterValue(g, mix);
    }

    inWrite = w;
    noise = rng;
    lowShelves[0] = low;
    highShelves[0] = high;
    fastLevel[0] = follower.fast;
    slowLevel[0] = follower.slow;
    envelopes[0] = follower.envelope;
    gains[0] = gains[1] = g;
    makeupSmoothed = makeup;
    outputSmoothed = output;
    noiseNow = noiseValue;
    if (source == MeterSource::Pre)
        meterFeeds.feedLevelChunk(b.meterLeft, b.meterLeft, b.meterNoise, 1, n);
    else if (source == MeterSource::GainRed)
        meterFeeds.feedGainChunk(b.meterLeft, b.meterLeft, b.meterNoise, n);
}

// Chunks end on whole multiples of kChunk frames, wherever the host's blocks begin.
void Kestrel::processStereo(const Channels& ch, VstInt32 sampleFrames) {
    beginMeterBlock(false);
    const bool smooth = engine.smooth != 0.0;
    for (int done = 0; done < sampleFrames;) {
        const int room = kChunk - static_cast<int>(frameClock & (kChunk - 1));
        const int n = sampleFrames - done < room ? sampleFrames - done : room;
        const bool plain = shelvesSettled(2);
        if (smooth)
            plain ? stereoChunk<true, true>(ch, done, n) : stereoChunk<true, false>(ch, done, n);
        else
            plain ? stereoChunk<false, true>(ch, done, n) : stereoChunk<false, false>(ch, done, n);
        writeChunk(ch, done, n);
        frameClock += static_cast<unsigned>(n);
        done += n;
    }
    meterFeeds.ageHolds(sampleFrames);
}

void Kestrel::processMono(const Channels& ch, VstInt32 sampleFrames) {
    beginMeterBlock(false);
    const bool smooth = engine.smooth != 0.0;
    for (int done = 0; done < sampleFrames;) {
        const int room = kChunk - static_cast<int>(frameClock & (kChunk - 1));
        const int n = sampleFrames - done < room ? sampleFrames - done : room;
        const bool plain = shelvesSettled(1);
        if (smooth)
            plain ? monoChunk<true, true>(ch, done, n) : monoChunk<true, false>(ch, done, n);
        else
            plain ? monoChunk<false, true>(ch, done, n) : monoChunk<false, false>(ch, done, n);
        writeChunk(ch, done, n);
        frameClock += static_cast<unsigned>(n);
        done += n;
    }
    meterFeeds.ageHolds(sampleFrames);
}

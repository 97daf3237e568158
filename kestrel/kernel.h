#pragma once
// The processing state of Orv Kestrel and the kernel that runs a block through it: input delay,
// side-chain shelves, detector (Hilbert envelope or the plain filtered key), level filters,
// envelope follower and static curve, makeup and output, feeding the meters on the way. One
// object holds every ring and buffer, so the effect allocates it once.
//
// Timing. The key is read from the input ring 1022 - 2N samples after it was written and the
// Hilbert sum is centred 2N - 1 samples behind the newest key sample, so all N coefficient pairs
// reach only samples really written and the detector's centre sits 1021 samples behind the
// input at every rate. The main signal is read 1021 samples after it was written, so the gain
// computed for a sample is applied to that very sample; 1021 is the latency the host is told.
#include "borealis/dsp/biquad.h"
#include "borealis/dsp/denormal_noise.h"
#include "borealis/dsp/hilbert.h"
#include "borealis/dsp/mirrored_ring.h"
#include "kestrel/kestrel_meters.h"
#include "kestrel/kestrel_settings.h"

namespace kestrel {

// The channels of one block, chosen by the frame from the host's pins and arrangement.
struct KernelChannels {
    const float* in[4];  // left, right, side-chain left, side-chain right
    float* out[2];
};

// The detector the Smooth switch selects: the plain filtered key, or the Hilbert envelope.
enum class Detector { Draft, Smooth };
// The side-chain shelves: gliding towards their designs, or settled on them (run plain).
enum class Shelves { Gliding, Settled };

class Kernel {
public:
    // Ring length of every delay line; the Hilbert span and the main delay fit inside it.
    static constexpr int kRingSize = 1024;
    static constexpr unsigned kRingMask = kRingSize - 1;
    static constexpr int kMaxHilbertLength = 192;  // at 192 kHz, the highest rate accepted
    static constexpr int kChunk = 64;
    // The delay the detector's centre has behind the input, at every rate: the latency.
    static constexpr int kDetectorDelay = 1021;

    Kernel();

    // The filters the parameters design (the adapter sets their frequencies, Qs and gains).
    orv::dsp::BiquadPair& lowShelf() { return lowShelf_; }
    orv::dsp::BiquadPair& highShelf() { return highShelf_; }
    const orv::dsp::BiquadPair& lowShelf() const { return lowShelf_; }
    const orv::dsp::BiquadPair& highShelf() const { return highShelf_; }
    // Every filter of the processing brought to `rate` (when `onlyIfChanged`, only those that
    // run at another rate, which then restart).
    void setFilterRate(double rate, bool onlyIfChanged);
    // Every filter restarts: no history, gliding coefficients at their designs.
    void resetFilters();
    // Every filter takes its own rate again (as a new rate) and restarts.
    void restartFilters();

    // N, the half length of the Hilbert transformer. A new length clears every ring.
    void setHilbertLength(int n);
    int hilbertLength() const { return hilbert_.halfLength(); }
    // Every ring back to silence.
    void clearHistory();

    // What follows the detector from block to block: the envelopes, the last gains, the
    // gliding makeup and output. The adapter restarts them and carries them across changes.
    struct Followers {
        double envelope[2] = {0.0001, 0.0001};
        double gain[2] = {1.0, 1.0};
        double makeup = 1.0, output = 1.0;
    };
    Followers& followers() { return followers_; }
    const Followers& followers() const { return followers_; }

    // One block of the processing the settings select (stereo, mono or power off), in chunks
    // that end on whole multiples of kChunk frames, on the wide code path or the baseline.
    // The meters' block has begun.
    void process(const KernelChannels& ch, int frames, const KestrelSettings& s, Meters& meters, bool wide);

private:
    // The block on the code path of instruction set A (kernel_process.h; compiled once for
    // each path).
    template <class A>
    void processOnPath(const KernelChannels& ch, int frames, const KestrelSettings& s, Meters& meters);
    // Stereo (C = 2) or mono (C = 1): the sum of both channels is compressed and sent to both
    // outputs. The rings keep both channels as they came in, so a switch between Mono, Stereo
    // and power off never reads stale data.
    template <class A, int C>
    void processChannels(const KernelChannels& ch, int frames, const KestrelSettings& s, Meters& meters);
    // One chunk of n frames from the chunk's inputs into the output buffers, as the stages
    // below in turn.
    template <class A, int C, Detector D, Shelves S>
    void runChunk(const KernelChannels& in, int n, const KestrelSettings& s, Meters& meters);
    // The kernel noise of the chunk: a value for each channel and one for the smoothers.
    template <class A>
    void drawNoise(int n);
    // Host samples into the input rings; the delayed main signal and key into the chunk.
    template <class A, int C>
    void takeInput(const KernelChannels& in, int n);
    // The key through the low and then the high shelves.
    template <class A, int C, Shelves S>
    void shelveKey(int n);
    // The shelved key into the detector rings (linked: the magnitude of the pair in both), and
    // each frame's detector value from its centre (Smooth: with the Hilbert sum).
    template <class A, int C, Detector D>
    void detect(int n, const KestrelSettings& s);
    // The fast and slow level filters over the detector values (auto release reads them).
    template <class A, int C>
    void filterLevels(int n);
    // The main signal with its noise; the monitor rings take it, or the shelved key.
    template <class A, int C>
    void monitor(int n, bool monitoring);
    // Envelopes, static curve, gliding makeup and output: the output samples and the GainRed
    // meter values.
    template <class A, int C>
    void applyGains(int n, const KestrelSettings& s, bool meterGains);
    // Power off: a pure delay by the latency, with the meters still running.
    template <class A>
    void processPowerOff(const KernelChannels& ch, int frames, Meters& meters);

    // The inputs of one chunk, from its first frame on, with garbage samples silenced.
    KernelChannels chunkInputs(const KernelChannels& ch, int offset, int n);
    // The finished chunk to the outputs (left first, so a shared buffer keeps the right result).
    void writeChunk(const KernelChannels& ch, int offset, int n) const;
    // Whether the shelves of the channels in use run plain in the chunk that starts now.
    bool shelvesSettled();

    orv::dsp::BiquadPair lowShelf_, highShelf_, fastLevel_, slowLevel_;
    orv::dsp::HilbertTable hilbert_;
    orv::dsp::DenormalNoise noise_{orv::dsp::DenormalNoise::kKernelScale};
    double noiseNow_ = 1e-12;  // the smoothers' noise value of the last frame
    Followers followers_;

    double input_[4][kRingSize];  // left, right, side-chain left, side-chain right
    unsigned inWrite_ = 0;
    orv::dsp::MirroredRing<kRingSize> detector_[2];
    orv::dsp::MirroredRing<kRingSize> monitor_[2];

    // Side-chain shelves that have reached their design run plain; the frame count places the
    // arrival checks on fixed multiples of kChunk.
    orv::dsp::GlideSettling lowSettling_, highSettling_;
    unsigned frameClock_ = 0;

    // The work buffers of one chunk, each with one meaning. "Frames" hold C values a frame side
    // by side (left, right in stereo).
    struct ChunkBuffers {
        // The kernel noise: each channel's value, and the smoothers' (smoother[0] is the
        // previous frame's, which the Pre meters take).
        alignas(32) double noiseL[kChunk], noiseR[kChunk], smoother[kChunk + 1];
        // The main signal, delayed, as it came in (mono: the mean of both channels in mainL).
        alignas(32) double mainL[kChunk], mainR[kChunk];
        // The key as frames, shelved in place.
        alignas(32) double key[2 * kChunk];
        // What each channel's detector ring takes.
        alignas(32) double detectorIn[2][kChunk];
        // The Hilbert sum of each frame, per channel.
        alignas(32) double imaginary[2][kChunk + 4];
        // The detector values as frames, and the fast and slow level filters' outputs.
        alignas(32) double detected[2 * kChunk], fast[2 * kChunk], slow[2 * kChunk];
        // The main signal with its noise, per channel.
        alignas(32) double noisyL[kChunk], noisyR[kChunk];
        // The output, and the GainRed meter values.
        alignas(32) double outL[kChunk], outR[kChunk];
        alignas(32) double meterL[kChunk], meterR[kChunk];
        // A chunk's inputs with the samples the engine does not take in silenced.
        float admitted[4][kChunk];
    };
    ChunkBuffers work_;
};

}  // namespace kestrel

#pragma once
// The audio-thread side of playing through a plug-in: each device block takes frames from the
// source ring (or the device's input, when live), runs them through the plug-in and hands the
// result to the device and, for --out, to the recording ring. Nothing here allocates, locks,
// waits or touches a file; what it has to say (position, levels, underruns) is published in
// atomics for the interface thread.
//
// The recording is the plug-in's output with its latency taken off the front: output frame i
// belongs to input frame i - latency, so frames before the latency and frames past the last
// input frame's (the silence the plug-in runs on after the source ends) are not recorded.
#include "tools/orv-host/block_runner.h"
#include "tools/orv-host/sample_ring.h"

#include <atomic>
#include <cstddef>
#include <vector>

namespace orvhost {

class PlaybackEngine {
public:
    // `source` holds interleaved frames `sourceChannels` wide; null for live input from the
    // device. `record` (may be null) takes frames `sourceChannels` wide (2 when live).
    PlaybackEngine(const Plugin& plugin, int maxBlock, bool useDouble, int sourceChannels, double rate,
                   std::size_t latency, SampleRing<double>* source, SampleRing<double>* record);
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    // The device callback (a RenderFunction over a PlaybackEngine).
    static void renderCallback(void* engine, const float* input, int inputChannels, float* output,
                               int outputChannels, int frames);
    void render(const float* input, int inputChannels, float* output, int outputChannels, int frames);

    // The source's last frame is in the ring (written by the feeder, after that frame).
    void markSourceEnded() { sourceEnded.store(true, std::memory_order_release); }
    // Paused: after a fade-out of 5 ms the device gets silence and the plug-in is not run, so
    // the recording goes on seamlessly on resuming (with a fade-in).
    void setPaused(bool on) { pausedFlag.store(on, std::memory_order_relaxed); }
    bool paused() const { return pausedFlag.load(std::memory_order_relaxed); }
    // Paused from the start, with nothing to fade out (before the device runs).
    void startPaused() {
        pausedFlag.store(true);
        fadeGain = 0.0f;
    }

    // Read by the interface thread.
    long long framesPlayed() const { return fed.load(std::memory_order_relaxed); }
    long long underruns() const { return sourceUnderruns.load(std::memory_order_relaxed); }
    long long recordOverflows() const { return lostRecordFrames.load(std::memory_order_relaxed); }
    // The output's peak level per channel (linear), falling back at 20 dB a second.
    float peak(int channel) const { return peaks[channel & 1].load(std::memory_order_relaxed); }
    // Every source frame has gone through the plug-in.
    bool sourceFinished() const;
    // Every recorded frame has come out of the plug-in (its latency included).
    bool tailFinished() const;

    // After the stream has stopped, on the calling thread: one block of what is left of the
    // source (false when nothing is left), and one block of the silence that brings the last
    // source frames out of the plug-in (false when the recording is complete).
    bool processRemainingSource();
    bool processTail();

private:
    // One stretch of at most maxBlock frames from the source (or the device's input) to `out`.
    void renderFrames(const float* input, int inputChannels, float* out, int outputChannels, int frames);
    // Up to `frames` source frames from the ring into the plug-in's inputs (a mono source to
    // both); answers how many there were.
    std::size_t takeSource(int frames);
    // Runs `frames` through the plug-in from its input buffers; `silent` frames are not source frames.
    void runPlugin(int frames, bool silent, float* output, int outputChannels);

    BlockRunner runner;
    int maxBlock;
    int channels;
    double sampleRate;
    long long latency;
    SampleRing<double>* source;
    SampleRing<double>* record;
    std::vector<double> fromRing;  // one block of source frames
    std::vector<double> toRecord;  // one block of recorded frames
    std::atomic<bool> sourceEnded{false};
    std::atomic<bool> pausedFlag{false};
    std::atomic<long long> fed{0};       // source frames run through the plug-in
    long long ran = 0;                   // all frames run through it (audio thread only)
    std::atomic<long long> sourceUnderruns{0};
    std::atomic<long long> lostRecordFrames{0};
    std::atomic<float> peaks[2];
    float fadeGain = 1.0f;  // of the device's output (audio thread only)
    float fadeStep;
};

}  // namespace orvhost

#pragma once
// Statistics of a stream of audio gathered block by block while it is processed, for
// `process --report`: levels, the largest level reduction and loudness.
#include <cstddef>
#include <deque>
#include <memory>
#include <string>

namespace orvhost {

// Peak and RMS level of each of up to two channels.
class LevelMeter {
public:
    void add(const double* interleaved, std::size_t frames, int channels);
    double peak(int c) const { return peaks[c]; }
    double rms(int c) const;
    std::size_t frames() const { return count; }

private:
    double peaks[2] = {0, 0};
    double sums[2] = {0, 0};
    std::size_t count = 0;
};

// The largest level reduction between the input and the output lined up with it, over 10 ms
// windows whose input is above -60 dBFS: what a listener hears as gain reduction (makeup
// included). The output may lag the input by `outputLag` frames (latency kept in the file).
class ReductionTracker {
public:
    ReductionTracker(double sampleRate, std::size_t outputLag);
    void addInput(const double* interleaved, std::size_t frames, int channels);
    void addOutput(const double* interleaved, std::size_t frames, int channels);
    double largest() const { return worst; }

private:
    std::size_t window;
    std::size_t lagLeft;
    double inSum = 0.0, outSum = 0.0;
    std::size_t inCount = 0, outCount = 0;
    std::deque<double> inputWindows;  // mean squares of input windows not yet met by output
    double worst = 0.0;
};

// Integrated loudness (LUFS), loudness range (LU) and true peak (dBTP) after EBU R128.
class LoudnessMeter {
public:
    LoudnessMeter(int channels, int sampleRate);
    ~LoudnessMeter();
    static bool available();
    void add(const double* interleaved, std::size_t frames);
    double integrated() const;  // -inf for silence
    double range() const;
    double truePeakDb() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

double toDb(double x);

}  // namespace orvhost

#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvhost {

// About ten seconds of stereo program material made in code: a kick and snare groove with
// transients, a sustained chord pad that swells, a bass line and quiet and loud passages, so
// that a compressor has both peaks and sustained parts to work on. Deterministic.
void makeDemoSignal(double sampleRate, double seconds, std::vector<double>& left, std::vector<double>& right);

// The demo signal (ten seconds at the rate given) read as interleaved stereo frames, from the
// start on.
class DemoStream {
public:
    void make(double sampleRate) {
        makeDemoSignal(sampleRate, 10.0, left, right);
        position = 0;
    }
    std::size_t frames() const { return left.size(); }
    bool atEnd() const { return position >= left.size(); }
    void rewind() { position = 0; }
    // Up to `frames` frames into `out` (left, right, left, ...); 0 at the end.
    std::size_t read(double* out, std::size_t frames);

private:
    std::vector<double> left, right;
    std::size_t position = 0;
};

// A deterministic signal for benchmarks: noise and tones at a level that makes a compressor work.
// Made block by block, so a benchmark of any length needs only one block of memory; a copy
// taken at some point replays the signal from there.
class BenchSignal {
public:
    explicit BenchSignal(double sampleRate) : rate(sampleRate) {}
    void fill(double* left, double* right, std::size_t frames);

private:
    double rate;
    std::size_t position = 0;
    std::uint32_t noise = 0x9E3779B9u;
};

}  // namespace orvhost

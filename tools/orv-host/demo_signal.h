#pragma once
#include <vector>

namespace orvhost {

// About ten seconds of stereo program material made in code: a kick and snare groove with
// transients, a sustained chord pad that swells, a bass line and quiet and loud passages, so
// that a compressor has both peaks and sustained parts to work on. Deterministic.
void makeDemoSignal(double sampleRate, double seconds, std::vector<double>& left, std::vector<double>& right);

// A deterministic signal for benchmarks: noise and tones at a level that makes a compressor work.
void makeBenchSignal(double sampleRate, double seconds, std::vector<double>& left, std::vector<double>& right);

}  // namespace orvhost

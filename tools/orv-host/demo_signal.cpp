#include "tools/orv-host/demo_signal.h"

#include <algorithm>

#include <cmath>
#include <cstdint>

namespace orvhost {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Small deterministic noise source (xorshift), uniform in -1..1.
double nextNoise(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<double>(state) / 2147483648.0 - 1.0;
}

struct Noise {
    std::uint32_t state = 0x9E3779B9u;
    double next() { return nextNoise(state); }
};

}  // namespace

void makeDemoSignal(double fs, double seconds, std::vector<double>& left, std::vector<double>& right) {
    const std::size_t n = static_cast<std::size_t>(seconds * fs);
    left.assign(n, 0.0);
    right.assign(n, 0.0);
    Noise noise;
    const double beat = 0.5;                         // seconds per beat (120 bpm)
    const double chord[] = {220.0, 277.18, 329.63, 440.0};
    const double bassNotes[] = {55.0, 55.0, 65.41, 49.0};
    double snareLp = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / fs;
        const double inBeat = std::fmod(t, beat);
        const int beatIndex = static_cast<int>(t / beat);
        // Sections: quiet intro, loud groove, breakdown, loud again.
        const double section = t < 2.0 ? 0.35 : t < 6.0 ? 1.0 : t < 7.5 ? 0.5 : 1.0;

        // Kick on every beat: a falling sine with a fast decay.
        const double kickFreq = 45.0 + 90.0 * std::exp(-inBeat * 30.0);
        const double kick = std::sin(2.0 * kPi * kickFreq * inBeat) * std::exp(-inBeat * 9.0);
        // Snare on the off-beats: filtered noise burst.
        double snare = 0.0;
        if (beatIndex % 2 == 1) {
            snareLp += 0.5 * (noise.next() - snareLp);
            snare = snareLp * std::exp(-inBeat * 18.0);
        }
        // Pad: sustained chord with a slow swell and gentle vibrato.
        const double swell = 0.5 + 0.5 * std::sin(2.0 * kPi * 0.125 * t);
        double padL = 0.0, padR = 0.0;
        for (int k = 0; k < 4; ++k) {
            const double f = chord[k] * (1.0 + 0.002 * std::sin(2.0 * kPi * 5.0 * t + k));
            padL += std::sin(2.0 * kPi * f * t + 0.3 * k);
            padR += std::sin(2.0 * kPi * f * 1.003 * t + 0.7 * k);
        }
        // Bass: one note per bar.
        const double bassF = bassNotes[(beatIndex / 4) % 4];
        const double bass = std::sin(2.0 * kPi * bassF * t) * (0.6 + 0.4 * std::exp(-inBeat * 4.0));

        const double common = 0.55 * kick + 0.18 * bass;
        left[i] = section * (common + 0.35 * snare + 0.06 * swell * padL);
        right[i] = section * (common + 0.30 * snare + 0.06 * swell * padR);
    }
    // Normalise to a -1 dBFS peak.
    double peak = 1e-9;
    for (std::size_t i = 0; i < n; ++i) peak = std::fmax(peak, std::fmax(std::fabs(left[i]), std::fabs(right[i])));
    const double g = std::pow(10.0, -1.0 / 20.0) / peak;
    for (std::size_t i = 0; i < n; ++i) {
        left[i] *= g;
        right[i] *= g;
    }
}

void BenchSignal::fill(double* left, double* right, std::size_t frames) {
    for (std::size_t i = 0; i < frames; ++i, ++position) {
        const double t = static_cast<double>(position) / rate;
        const double envelope = 0.3 + 0.25 * std::sin(2.0 * kPi * 0.7 * t);
        left[i] = envelope * (0.5 * nextNoise(noise) + 0.5 * std::sin(2.0 * kPi * 441.0 * t));
        right[i] = envelope * (0.5 * nextNoise(noise) + 0.5 * std::sin(2.0 * kPi * 661.5 * t));
    }
}

std::size_t DemoStream::read(double* out, std::size_t frames) {
    const std::size_t n = std::min(frames, left.size() - std::min(position, left.size()));
    for (std::size_t i = 0; i < n; ++i) {
        out[2 * i] = left[position + i];
        out[2 * i + 1] = right[position + i];
    }
    position += n;
    return n;
}

}  // namespace orvhost

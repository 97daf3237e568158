#include "tools/orv-host/signal_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#if ORV_HAVE_EBUR128
#include <ebur128.h>
#endif

namespace orvhost {

double toDb(double x) { return x > 1e-10 ? 20.0 * std::log10(x) : -200.0; }

void LevelMeter::add(const double* x, std::size_t frames, int channels) {
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < 2; ++c) {
            const double v = x[i * channels + (c < channels ? c : 0)];
            peaks[c] = std::max(peaks[c], std::fabs(v));
            sums[c] += v * v;
        }
    count += frames;
}

double LevelMeter::rms(int c) const { return count ? std::sqrt(sums[c] / static_cast<double>(count)) : 0.0; }

ReductionTracker::ReductionTracker(double rate, std::size_t lag)
    : window(std::max<std::size_t>(1, static_cast<std::size_t>(rate * 0.01))), lagLeft(lag) {}

namespace {
double frameEnergy(const double* x, int channels) {
    double e = 0.0;
    for (int c = 0; c < channels; ++c) e += x[c] * x[c];
    return e / channels;
}
}  // namespace

void ReductionTracker::addInput(const double* x, std::size_t frames, int channels) {
    for (std::size_t i = 0; i < frames; ++i) {
        inSum += frameEnergy(x + i * channels, channels);
        if (++inCount == window) {
            inputWindows.push_back(inSum / static_cast<double>(window));
            inSum = 0.0;
            inCount = 0;
        }
    }
}

void ReductionTracker::addOutput(const double* x, std::size_t frames, int channels) {
    for (std::size_t i = 0; i < frames; ++i) {
        if (lagLeft) {
            --lagLeft;
            continue;
        }
        outSum += frameEnergy(x + i * channels, channels);
        if (++outCount == window) {
            const double out = outSum / static_cast<double>(window);
            outSum = 0.0;
            outCount = 0;
            if (inputWindows.empty()) continue;
            const double in = inputWindows.front();
            inputWindows.pop_front();
            if (in < 1e-6) continue;
            worst = std::max(worst, -10.0 * std::log10(std::max(out, 1e-20) / in));
        }
    }
}

#if ORV_HAVE_EBUR128
struct LoudnessMeter::Impl {
    ebur128_state* state = nullptr;
};

LoudnessMeter::LoudnessMeter(int channels, int rate) : impl(new Impl) {
    // Histogram mode keeps memory fixed however long the stream runs.
    impl->state = ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                               EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM);
}

LoudnessMeter::~LoudnessMeter() {
    if (impl->state) ebur128_destroy(&impl->state);
}

bool LoudnessMeter::available() { return true; }

void LoudnessMeter::add(const double* x, std::size_t frames) {
    if (impl->state && frames) ebur128_add_frames_double(impl->state, x, frames);
}

double LoudnessMeter::integrated() const {
    double v = -std::numeric_limits<double>::infinity();
    if (impl->state) ebur128_loudness_global(impl->state, &v);
    return v;
}

double LoudnessMeter::range() const {
    double v = 0.0;
    if (impl->state) ebur128_loudness_range(impl->state, &v);
    return v;
}

double LoudnessMeter::truePeakDb() const {
    double top = 0.0;
    if (impl->state)
        for (unsigned c = 0; c < impl->state->channels; ++c) {
            double p = 0.0;
            if (ebur128_true_peak(impl->state, c, &p) == EBUR128_SUCCESS) top = std::max(top, p);
        }
    return top > 0.0 ? 20.0 * std::log10(top) : -std::numeric_limits<double>::infinity();
}
#else
struct LoudnessMeter::Impl {};
LoudnessMeter::LoudnessMeter(int, int) {}
LoudnessMeter::~LoudnessMeter() = default;
bool LoudnessMeter::available() { return false; }
void LoudnessMeter::add(const double*, std::size_t) {}
double LoudnessMeter::integrated() const { return -std::numeric_limits<double>::infinity(); }
double LoudnessMeter::range() const { return 0.0; }
double LoudnessMeter::truePeakDb() const { return -std::numeric_limits<double>::infinity(); }
#endif

}  // namespace orvhost

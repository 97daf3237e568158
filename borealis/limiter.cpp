#include "borealis/limiter.h"

#include "borealis/filter_restart.h"

#include <cmath>
#include <cstring>

namespace borealis {

using orv::dsp::BiquadType;

Limiter::Limiter() {
    fast_.create(44100.0, BiquadType::Lowpass, 200.0, 0.5, 0.0);
    slow_.create(44100.0, BiquadType::Lowpass, 20.0, 0.5, 0.0);
    setRate(44100.0);
    reset();
}

void Limiter::setRate(double rate) {
    int t = static_cast<int>(rate * 0.001 * 1.4);
    if (t < 1) t = 1;
    if (t > kRingSize - 2) t = kRingSize - 2;
    lookAhead_ = t;
    attack_ = 1.0 - std::pow(0.05, 1.0 / t);
    release_ = 1.0 - std::pow(0.05, 1.0 / (t * 3.3 * 16.0 * 1.7));
    fast_.create(rate, BiquadType::Lowpass, 200.0, 0.5, 0.0);
    slow_.create(rate, BiquadType::Lowpass, 20.0, 0.5, 0.0);
    restartFilter(fast_);
    restartFilter(slow_);
    write_ = kMask;
    read_ = (kMask - static_cast<unsigned>(t) - 1) & kMask;
}

void Limiter::reset() {
    std::memset(left_, 0, sizeof left_);
    std::memset(right_, 0, sizeof right_);
    std::memset(peak_, 0, sizeof peak_);
    envelope_ = 0.0001;
    gain_ = 1.0;
    restartFilter(fast_);
    restartFilter(slow_);
}

namespace {
// The final clip. A NaN, which the engine's input guard keeps out of the audio path, would pass
// every comparison; it becomes silence here rather than a full-scale value.
inline double clipToCeiling(double x) {
    if (!(x == x)) return 0.0;
    return x > Limiter::kCeiling ? Limiter::kCeiling : (x < -Limiter::kCeiling ? -Limiter::kCeiling : x);
}
}  // namespace

void Limiter::process(double& left, double& right, bool on, double noise) {
    const unsigned w = write_;
    left_[w] = left;
    right_[w] = right;
    if (on) {
        const unsigned r = read_;
        const double p = std::fmax(std::fabs(1.005773063 * left) + 0.011, std::fabs(1.005773063 * right) + 0.011);
        // Running maximum: every position from r to w holds the largest peak from there on.
        peak_[w] = p;
        unsigned i = w;
        while (i != r) {
            i = (i - 1) & kMask;
            if (peak_[i] >= p) break;
            peak_[i] = p;
        }
        if (peak_[r] < p) peak_[r] = p;

        const double v = peak_[r] + 0.0009766 + noise;
        peak_[r] = 0.0;
        const double fast = fast_.processPlain(v);
        double slow = slow_.processPlain(v);
        if (slow < 1e-9) slow = 1e-9;
        if (v <= envelope_) {
            const double q = 0.2 * fast / slow;
            envelope_ += (4.0 * q / (q + 1.0) + 0.1) * (v - envelope_) * release_;
        } else {
            envelope_ += (v - envelope_) * attack_;
        }
        gain_ = envelope_ > 1.0 ? 1.0 / envelope_ : 1.0;
        const double g = gain_ * kCeiling;
        left_[r] = clipToCeiling(left_[r] * g);
        right_[r] = clipToCeiling(right_[r] * g);
    } else {
        peak_[read_] = 0.0;  // so that switching the limiter on finds no stale peaks
    }
    write_ = (w + 1) & kMask;
    read_ = (read_ + 1) & kMask;
    left = left_[write_];
    right = right_[write_];
}

}  // namespace borealis

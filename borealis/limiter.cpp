#include "borealis/limiter.h"

#include "borealis/filter_restart.h"

#include <algorithm>
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

namespace {
// `count` values of a ring from slot `start` on, wrapping (count <= ring size).
void copyFromRing(const double* ring, unsigned start, double* to, int count) {
    const int first = std::min(count, static_cast<int>(Limiter::kRingSize - start));
    std::memcpy(to, ring + start, sizeof(double) * static_cast<std::size_t>(first));
    if (count > first) std::memcpy(to + first, ring, sizeof(double) * static_cast<std::size_t>(count - first));
}
void copyToRing(double* ring, unsigned start, const double* from, int count) {
    const int first = std::min(count, static_cast<int>(Limiter::kRingSize - start));
    std::memcpy(ring + start, from, sizeof(double) * static_cast<std::size_t>(first));
    if (count > first) std::memcpy(ring, from + first, sizeof(double) * static_cast<std::size_t>(count - first));
}
}  // namespace

inline double Limiter::peakStep(unsigned w, unsigned r, double left, double right, double noise) {
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
    return v;
}

inline void Limiter::gainStep(unsigned r, double v, double fast, double slow) {
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
}

inline void Limiter::limitStep(unsigned w, unsigned r, double left, double right, double noise) {
    const double v = peakStep(w, r, left, right, noise);
    double fast = v, slow;
    orv::dsp::BiquadPair::processPlainPairsBoth<orv::simd::Sse2, 1>(fast_, slow_, &fast, &slow, 1);
    gainStep(r, v, fast, slow);
}

void Limiter::process(double& left, double& right, bool on, double noise) {
    const unsigned w = write_;
    left_[w] = left;
    right_[w] = right;
    if (on)
        limitStep(w, read_, left, right, noise);
    else
        peak_[read_] = 0.0;  // so that switching the limiter on finds no stale peaks
    write_ = (w + 1) & kMask;
    read_ = (read_ + 1) & kMask;
    left = left_[write_];
    right = right_[write_];
}

double Limiter::processBlock(double* left, double* right, int count, bool on, const double* noise, double lowest) {
    if (count <= 0) return lowest;
    if (on && lookAhead_ + kPart > kRingSize - 2) {
        // So long a look-ahead that a sample may leave the ring in the part that limits it:
        // sample by sample.
        for (int i = 0; i < count; ++i) {
            process(left[i], right[i], true, noise[i]);
            if (gain_ < lowest) lowest = gain_;
        }
        return lowest;
    }
    if (on) {
        // In stages over parts of the block, with the same operations in the same order as
        // sample by sample: the samples that leave (all limited in earlier parts, since the
        // look-ahead and a part fit in the ring together), then the peaks and detector values
        // of the part, both level filters over them in one pass, and the envelope and gains.
        for (int done = 0; done < count; done += kPart) {
            const int part = std::min(kPart, count - done);
            double* const l = left + done;
            double* const r = right + done;
            double outL[kPart], outR[kPart], v[kPart], fast[kPart], slow[kPart];
            copyFromRing(left_, (write_ + 1) & kMask, outL, part);
            copyFromRing(right_, (write_ + 1) & kMask, outR, part);
            unsigned w = write_, rd = read_;
            for (int i = 0; i < part; ++i) {
                left_[w] = l[i];
                right_[w] = r[i];
                v[i] = fast[i] = peakStep(w, rd, l[i], r[i], noise[done + i]);
                w = (w + 1) & kMask;
                rd = (rd + 1) & kMask;
            }
            orv::dsp::BiquadPair::processPlainPairsBoth<orv::simd::Sse2, 1>(fast_, slow_, fast, slow, part);
            rd = read_;
            for (int i = 0; i < part; ++i) {
                gainStep(rd, v[i], fast[i], slow[i]);
                if (gain_ < lowest) lowest = gain_;
                rd = (rd + 1) & kMask;
            }
            write_ = w;
            read_ = rd;
            std::memcpy(l, outL, sizeof(double) * static_cast<std::size_t>(part));
            std::memcpy(r, outR, sizeof(double) * static_cast<std::size_t>(part));
        }
        return lowest;
    }
    // Off, the ring is a plain delay. Sample i enters slot write_ + i and the sample leaving
    // comes from the slot after it, which this block writes only later: in parts shorter than
    // the ring, every sample that leaves is one from before the part.
    constexpr int kPart = 256;
    for (int done = 0; done < count; done += kPart) {
        const int part = std::min(kPart, count - done);
        const unsigned next = (write_ + 1) & kMask;
        double outL[kPart], outR[kPart];
        copyFromRing(left_, next, outL, part);
        copyFromRing(right_, next, outR, part);
        copyToRing(left_, write_, left + done, part);
        copyToRing(right_, write_, right + done, part);
        std::memcpy(left + done, outL, sizeof(double) * static_cast<std::size_t>(part));
        std::memcpy(right + done, outR, sizeof(double) * static_cast<std::size_t>(part));
        // So that switching the limiter on finds no stale peaks.
        const int first = std::min(part, static_cast<int>(kRingSize - read_));
        std::memset(peak_ + read_, 0, sizeof(double) * static_cast<std::size_t>(first));
        if (part > first) std::memset(peak_, 0, sizeof(double) * static_cast<std::size_t>(part - first));
        write_ = (write_ + static_cast<unsigned>(part)) & kMask;
        read_ = (read_ + static_cast<unsigned>(part)) & kMask;
    }
    return lowest;
}

}  // namespace borealis

#pragma once
// The brick-wall limiter of the output stage: a 512-sample ring whose running maximum gives a
// look-ahead of about 1.4 ms, an envelope with a program-dependent release, and a final clip at
// 0.999. The ring is always in the path, so the limiter adds the same 511 samples on or off.
#include "borealis/dsp/biquad.h"

namespace borealis {

class Limiter {
public:
    static constexpr int kRingSize = 512;
    static constexpr unsigned kMask = kRingSize - 1;
    static constexpr double kCeiling = 0.999;

    Limiter();

    // Look-ahead and coefficients for the host rate; also places the read index behind the
    // write index by the look-ahead.
    void setRate(double hostRate);
    // Rings, envelope, gain and filter histories back to rest.
    void reset();

    // One host sample through the ring; `on` selects limiting, `noise` is the current noise value.
    void process(double& left, double& right, bool on, double noise);
    // `count` host samples in place, exactly as that many process calls; noise[i] goes with
    // sample i. Returns the smaller of `lowest` and every gain the limiter reached (on only).
    double processBlock(double* left, double* right, int count, bool on, const double* noise, double lowest);

    double gain() const { return gain_; }
    int lookAhead() const { return lookAhead_; }

private:
    // The samples a block takes in one pass of each stage.
    static constexpr int kPart = 64;

    // The limiting path of one sample, which is already in slot w of the ring: its peak joins
    // the running maximum, and the detector value of the sample in slot r (the next to leave
    // the look-ahead) is returned.
    inline double peakStep(unsigned w, unsigned r, double left, double right, double noise);
    // The envelope and gain from a detector value and its level filters' outputs, applied to
    // the sample in slot r.
    inline void gainStep(unsigned r, double v, double fast, double slow);
    inline void limitStep(unsigned w, unsigned r, double left, double right, double noise);

    double left_[kRingSize];
    double right_[kRingSize];
    double peak_[kRingSize];
    unsigned write_ = kMask;
    unsigned read_ = 0;
    int lookAhead_ = 61;
    double attack_ = 0.0;
    double release_ = 0.0;
    double envelope_ = 0.0001;
    double gain_ = 1.0;
    // The level filters of the detector (one channel of each used).
    orv::dsp::BiquadPair fast_;
    orv::dsp::BiquadPair slow_;
};

}  // namespace borealis

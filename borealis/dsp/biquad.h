#pragma once
// Second-order filter that designs its own coefficients from type, frequency, Q and gain and
// runs in direct form I. Two ways to run it:
//  - processSmoothed: the coefficients glide towards a new design over a few thousand samples,
//    for side-chain EQ that must change without clicks;
//  - processPlain: the designed coefficients are used at once, for fixed filters.
// Both keep the recursion away from denormal numbers with an offset of about 1e-13.
#include <cmath>
#include <cstdint>

#include "borealis/dsp/denormal_noise.h"
#include "borealis/dsp/simd.h"

namespace orv::dsp {

// Filter types by their stored numbers. Any other number passes the signal through.
enum class BiquadType : std::int32_t {
    PassThrough = 0,
    LowShelf = 3,
    Peaking = 4,
    HighShelf = 7,
    Lowpass = 8,
};

// a0 is the normaliser; the other five are already divided by it.
struct BiquadCoefficients {
    double a0, a1, a2, b0, b1, b2;
};

// The recursion of N filter lanes in direct form I, the one place the filter step is written:
// the input and the output each carry the lane's offset (its denormal noise), and the sum runs
// b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2 in that order, fused on the wide path.
template <class A, int N>
struct BiquadLanes {
    using D = simd::Doubles<A, N>;
    D b0, b1, b2, a1, a2;
    D x1, x2, y1, y2;

    ORV_SIMD_INLINE void setCoefficients(const BiquadCoefficients& c) noexcept {
        b0 = D::splat(c.b0);
        b1 = D::splat(c.b1);
        b2 = D::splat(c.b2);
        a1 = D::splat(c.a1);
        a2 = D::splat(c.a2);
    }
    ORV_SIMD_INLINE D step(D in, D offset) noexcept {
        const D x = in + offset;
        D y = b0 * x;
        y = mulAdd(b1, x1, y);
        y = mulAdd(b2, x2, y);
        y = mulSub(a1, y1, y);
        y = mulSub(a2, y2, y);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y + offset;
        return y;
    }
};

// One glide step of gliding coefficients towards their targets, the same on both paths.
ORV_SIMD_INLINE void glideCoefficients(BiquadCoefficients& c, const BiquadCoefficients& t, double s,
                                       double m) noexcept {
    c.b0 = c.b0 + (t.b0 - c.b0) * s + m;
    c.a1 = c.a1 + (t.a1 - c.a1) * s + m;
    c.a2 = c.a2 + (t.a2 - c.a2) * s + m;
    c.b1 = c.b1 + (t.b1 - c.b1) * s + m;
    c.b2 = c.b2 + (t.b2 - c.b2) * s + m;
}

class Biquad {
public:
    // The highest corner or centre frequency, as a fraction of the sample rate.
    static constexpr double kMaxFrequencyRatio = 0.499;
    // The lowest frequency and Q a design accepts; below them the filter would stop being stable.
    static constexpr double kMinFrequency = 0.01;
    static constexpr double kMinQ = 1e-4;
    // Gains beyond this (in either direction) are designed at this value.
    static constexpr double kMaxGainDb = 200.0;
    // The rate used when a rate is not a positive finite number.
    static constexpr double kDefaultRate = 44100.0;

    // A pass-through filter at 44100 Hz.
    Biquad() noexcept;
    Biquad(double rate, BiquadType type, double frequency, double q, double gainDb) noexcept;

    // Stores all settings, clears the history, sets target and gliding coefficients to 1 and
    // designs. The gliding coefficients then travel from 1 to the design unless reset() is called.
    void create(double rate, BiquadType type, double frequency, double q, double gainDb) noexcept;
    // Stores the rate, chooses the glide speed for it and redesigns (the frequency is limited
    // to the new rate). The history is kept.
    void setRate(double rate) noexcept;
    // Stores the type, clears the history and designs.
    void setType(BiquadType type) noexcept;
    // Store the value and redesign, keeping the history.
    void setFrequency(double frequency) noexcept;
    void setQ(double q) noexcept;
    void setGain(double gainDb) noexcept;
    // Clears the history and makes the gliding coefficients equal to the design.
    void reset() noexcept;

    inline double processSmoothed(double x) noexcept;
    inline double processPlain(double x) noexcept;

    double sampleRate() const noexcept { return sampleRate_; }
    BiquadType type() const noexcept { return type_; }
    double frequency() const noexcept { return frequency_; }
    double q() const noexcept { return q_; }
    double gainDb() const noexcept { return gainDb_; }
    double smoothing() const noexcept { return smoothing_; }
    double noise() const noexcept { return noise_; }
    // True when the type filters; false when the signal passes through untouched.
    bool filters() const noexcept { return filters_; }
    const BiquadCoefficients& targets() const noexcept { return target_; }
    const BiquadCoefficients& currents() const noexcept { return current_; }

private:
    friend class BiquadPair;
    void design() noexcept;
    double step(double x, const BiquadCoefficients& c, double offset) noexcept;
    void clearHistory() noexcept;

    double sampleRate_ = kDefaultRate;
    BiquadType type_ = BiquadType::PassThrough;
    double frequency_ = 1000.0;
    double q_ = 0.7071;
    double gainDb_ = 0.0;
    // Smoothed form: the last noise value. Plain form: the offset, negated on every sample.
    double noise_ = 1e-13;
    double smoothing_ = 0.001;
    bool filters_ = false;
    BiquadCoefficients target_{1, 1, 1, 1, 1, 1};
    BiquadCoefficients current_{1, 1, 1, 1, 1, 1};
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
    DenormalNoise noiseSource_{DenormalNoise::kFilterScale};
};

// The single-channel forms: the filter step on one lane of the baseline path.
inline double Biquad::step(double x, const BiquadCoefficients& c, double offset) noexcept {
    BiquadLanes<simd::Sse2, 1> l{};
    l.setCoefficients(c);
    l.x1 = {x1_}, l.x2 = {x2_}, l.y1 = {y1_}, l.y2 = {y2_};
    const double y = l.step({x}, {offset}).v;
    x1_ = l.x1.v, x2_ = l.x2.v, y1_ = l.y1.v, y2_ = l.y2.v;
    return y;
}

inline double Biquad::processSmoothed(double x) noexcept {
    if (!filters_) return x;
    const double m = noiseSource_.next();
    noise_ = m;
    glideCoefficients(current_, target_, smoothing_, m);
    return step(x, current_, m);
}

inline double Biquad::processPlain(double x) noexcept {
    if (!filters_) return x;
    const double o = -noise_;
    noise_ = o;
    return step(x, target_, o);
}

// A stereo filter whose two channels always share every setting: one Biquad holds the design,
// the gliding coefficients and the noise, and each channel has its own history. It computes
// exactly what two Biquads given the same calls compute, with the glide and the noise worked
// out once per sample and both channels run side by side in SSE2 lanes.
class BiquadPair {
public:
    BiquadPair() noexcept { clearHistory(); }

    void create(double rate, BiquadType type, double frequency, double q, double gainDb) noexcept {
        f_.create(rate, type, frequency, q, gainDb);
        clearHistory();
    }
    void setRate(double rate) noexcept { f_.setRate(rate); }
    void setType(BiquadType type) noexcept {
        f_.setType(type);
        clearHistory();
    }
    void setFrequency(double frequency) noexcept { f_.setFrequency(frequency); }
    void setQ(double q) noexcept { f_.setQ(q); }
    void setGain(double gainDb) noexcept { f_.setGain(gainDb); }
    void reset() noexcept {
        f_.reset();
        clearHistory();
    }
    // Takes over the settings, coefficients and noise of `f`, with both histories cleared.
    void replace(const Biquad& f) noexcept {
        f_ = f;
        clearHistory();
    }

    // The shared settings and coefficients (its own history is not used).
    const Biquad& filter() const noexcept { return f_; }

    // Whether the gliding coefficients have reached the design: every one lies within the
    // spread that the glide's own noise keeps around its target (a few standard deviations of
    // that random walk). From then on the plain form computes the same filter to within that
    // spread. A filter that passes its signal through has always arrived.
    bool glideArrived() const noexcept {
        if (!f_.filters_) return true;
        const BiquadCoefficients& c = f_.current_;
        const BiquadCoefficients& t = f_.target_;
        const double tolerance = 3.5e-13 / std::sqrt(2.0 * f_.smoothing_);
        auto near = [tolerance](double a, double b) { return std::fabs(a - b) <= tolerance; };
        return near(c.b0, t.b0) && near(c.b1, t.b1) && near(c.b2, t.b2) && near(c.a1, t.a1) && near(c.a2, t.a2);
    }

    void processSmoothed(double& left, double& right) noexcept;
    void processPlain(double& left, double& right) noexcept;
    // `count` samples in place, exactly as that many processSmoothed / processPlain calls on
    // the baseline path, with the glide, the noise and the histories kept in registers
    // meanwhile. On the wide path (A = Avx2Fma) each product is fused into its sum.
    template <class A = simd::Sse2>
    void processSmoothed(double* left, double* right, int count) noexcept;
    template <class A = simd::Sse2>
    void processPlain(double* left, double* right, int count) noexcept;
    // The same over `count` frames of C values side by side: (left, right) pairs when C is 2;
    // the left channel alone when C is 1 (the right one's history then stays as it is).
    template <class A, int C>
    void processSmoothedFrames(double* frames, int count) noexcept;
    template <class A, int C>
    void processPlainFrames(double* frames, int count) noexcept;
    template <class A = simd::Sse2>
    void processSmoothedPairs(double* pairs, int count) noexcept {
        processSmoothedFrames<A, 2>(pairs, count);
    }
    template <class A = simd::Sse2>
    void processPlainPairs(double* pairs, int count) noexcept {
        processPlainFrames<A, 2>(pairs, count);
    }
    // processPlainFrames of two filters over the same input in the lanes of one pass: `a`
    // filters `framesA` in place and `b` filters the same values into `framesB`, each lane as
    // its filter's own pass computes it.
    template <class A, int C = 2>
    static void processPlainPairsBoth(BiquadPair& a, BiquadPair& b, double* framesA, double* framesB,
                                      int count) noexcept;
    // a.processPlainFrames then b.processPlainFrames over the same frames in place, both
    // filters in the lanes of one pass with b one frame behind a, each lane as its filter's own
    // pass computes it.
    template <class A, int C = 2>
    static void processPlainPairsChain(BiquadPair& a, BiquadPair& b, double* frames, int count) noexcept;

private:
    void clearHistory() noexcept {
        for (int c = 0; c < 2; ++c) x1_[c] = x2_[c] = y1_[c] = y2_[c] = 0.0;
    }
    template <class A, int C>
    BiquadLanes<A, C> lanes(const BiquadCoefficients& c) const noexcept;
    template <class A, int C>
    void keep(const BiquadLanes<A, C>& l) noexcept;
    template <class A, int C>
    static BiquadLanes<A, 2 * C> lanesOfBoth(const BiquadPair& a, const BiquadPair& b) noexcept;
    template <class A, int C>
    static void keepBoth(const BiquadLanes<A, 2 * C>& l, BiquadPair& a, BiquadPair& b) noexcept;
    template <class A, int C, class IO>
    void runSmoothed(int count, IO io) noexcept;
    template <class A, int C, class IO>
    void runPlain(int count, IO io) noexcept;

    Biquad f_;
    double x1_[2], x2_[2], y1_[2], y2_[2];  // (left, right)
};

// Whether a gliding filter may run plain. It settles at a checkpoint where its glide has
// arrived (and running plain is allowed at all), and stays settled while its design is the one
// it arrived at: a new design glides again from where the coefficients are, at once.
struct GlideSettling {
    bool settled = false;
    BiquadCoefficients reached{};  // the design it arrived at

    void update(const BiquadPair& f, bool checkpoint, bool allowed = true) noexcept {
        const BiquadCoefficients& t = f.filter().targets();
        const BiquadCoefficients& r = reached;
        if (settled && (!allowed || t.b0 != r.b0 || t.b1 != r.b1 || t.b2 != r.b2 || t.a1 != r.a1 || t.a2 != r.a2))
            settled = false;
        if (!settled && checkpoint && allowed && f.glideArrived()) {
            settled = true;
            reached = t;
        }
    }
};

template <class A, int C>
inline BiquadLanes<A, C> BiquadPair::lanes(const BiquadCoefficients& c) const noexcept {
    using D = simd::Doubles<A, C>;
    BiquadLanes<A, C> l;
    l.setCoefficients(c);
    l.x1 = D::load(x1_), l.x2 = D::load(x2_), l.y1 = D::load(y1_), l.y2 = D::load(y2_);
    return l;
}

template <class A, int C>
inline void BiquadPair::keep(const BiquadLanes<A, C>& l) noexcept {
    l.x1.store(x1_), l.x2.store(x2_), l.y1.store(y1_), l.y2.store(y2_);
}

// The block forms: io.load(i) gives frame i's values and io.store(i, y) takes its output, so
// one loop serves separate channels and frames side by side alike.
namespace biquad_blocks {
// Separate channel arrays.
template <class A>
struct Channels {
    double* left;
    double* right;
    ORV_SIMD_INLINE simd::Doubles<A, 2> load(int i) const noexcept { return simd::Doubles<A, 2>::of(left[i], right[i]); }
    ORV_SIMD_INLINE void store(int i, simd::Doubles<A, 2> y) const noexcept { y.scatter(left + i, right + i); }
};
// Frames of C values side by side.
template <class A, int C>
struct Frames {
    double* frames;
    ORV_SIMD_INLINE simd::Doubles<A, C> load(int i) const noexcept { return simd::Doubles<A, C>::load(frames + C * i); }
    ORV_SIMD_INLINE void store(int i, simd::Doubles<A, C> y) const noexcept { y.store(frames + C * i); }
};
}  // namespace biquad_blocks

template <class A, int C, class IO>
inline void BiquadPair::runSmoothed(int count, IO io) noexcept {
    if (!f_.filters_ || count <= 0) return;
    using D = simd::Doubles<A, C>;
    DenormalNoise source = f_.noiseSource_;
    BiquadCoefficients c = f_.current_;
    const BiquadCoefficients t = f_.target_;
    const double s = f_.smoothing_;
    BiquadLanes<A, C> l = lanes<A, C>(c);
    double m = f_.noise_;
    for (int i = 0; i < count; ++i) {
        m = source.next();
        glideCoefficients(c, t, s, m);
        l.setCoefficients(c);
        io.store(i, l.step(io.load(i), D::splat(m)));
    }
    f_.noiseSource_ = source;
    f_.current_ = c;
    f_.noise_ = m;
    keep(l);
}

template <class A, int C, class IO>
inline void BiquadPair::runPlain(int count, IO io) noexcept {
    if (!f_.filters_ || count <= 0) return;
    using D = simd::Doubles<A, C>;
    BiquadLanes<A, C> l = lanes<A, C>(f_.target_);
    // Each of two separate filters would negate its offset once per sample; both start equal.
    double o = f_.noise_;
    for (int i = 0; i < count; ++i) {
        o = -o;
        io.store(i, l.step(io.load(i), D::splat(o)));
    }
    f_.noise_ = o;
    keep(l);
}

inline void BiquadPair::processSmoothed(double& left, double& right) noexcept {
    processSmoothed<simd::Sse2>(&left, &right, 1);
}

inline void BiquadPair::processPlain(double& left, double& right) noexcept {
    processPlain<simd::Sse2>(&left, &right, 1);
}

template <class A>
inline void BiquadPair::processSmoothed(double* left, double* right, int count) noexcept {
    runSmoothed<A, 2>(count, biquad_blocks::Channels<A>{left, right});
}

template <class A>
inline void BiquadPair::processPlain(double* left, double* right, int count) noexcept {
    runPlain<A, 2>(count, biquad_blocks::Channels<A>{left, right});
}

template <class A, int C>
inline void BiquadPair::processSmoothedFrames(double* frames, int count) noexcept {
    runSmoothed<A, C>(count, biquad_blocks::Frames<A, C>{frames});
}

template <class A, int C>
inline void BiquadPair::processPlainFrames(double* frames, int count) noexcept {
    runPlain<A, C>(count, biquad_blocks::Frames<A, C>{frames});
}

// Two filters' plain forms in 2C lanes: the low C lanes filter a, the high C lanes b.
template <class A, int C>
inline BiquadLanes<A, 2 * C> BiquadPair::lanesOfBoth(const BiquadPair& a, const BiquadPair& b) noexcept {
    using D = simd::Doubles<A, 2 * C>;
    const BiquadLanes<A, C> la = a.lanes<A, C>(a.f_.target_), lb = b.lanes<A, C>(b.f_.target_);
    BiquadLanes<A, 2 * C> l;
    l.b0 = D::join(la.b0, lb.b0), l.b1 = D::join(la.b1, lb.b1), l.b2 = D::join(la.b2, lb.b2);
    l.a1 = D::join(la.a1, lb.a1), l.a2 = D::join(la.a2, lb.a2);
    l.x1 = D::join(la.x1, lb.x1), l.x2 = D::join(la.x2, lb.x2);
    l.y1 = D::join(la.y1, lb.y1), l.y2 = D::join(la.y2, lb.y2);
    return l;
}

template <class A, int C>
inline void BiquadPair::keepBoth(const BiquadLanes<A, 2 * C>& l, BiquadPair& a, BiquadPair& b) noexcept {
    l.x1.low().store(a.x1_), l.x2.low().store(a.x2_), l.y1.low().store(a.y1_), l.y2.low().store(a.y2_);
    l.x1.high().store(b.x1_), l.x2.high().store(b.x2_), l.y1.high().store(b.y1_), l.y2.high().store(b.y2_);
}

template <class A, int C>
inline void BiquadPair::processPlainPairsBoth(BiquadPair& a, BiquadPair& b, double* framesA, double* framesB,
                                              int count) noexcept {
    using D = simd::Doubles<A, 2 * C>;
    using Frame = simd::Doubles<A, C>;
    if (count <= 0) return;
    if (!a.f_.filters_ || !b.f_.filters_) {
        for (int i = 0; i < C * count; ++i) framesB[i] = framesA[i];
        b.processPlainFrames<A, C>(framesB, count);
        a.processPlainFrames<A, C>(framesA, count);
        return;
    }
    BiquadLanes<A, 2 * C> l = lanesOfBoth<A, C>(a, b);
    D o = D::join(Frame::splat(a.f_.noise_), Frame::splat(b.f_.noise_));
    for (int i = 0; i < count; ++i) {
        o = negate(o);
        const D y = l.step(simd::twice(Frame::load(framesA + C * i)), o);
        y.low().store(framesA + C * i);
        y.high().store(framesB + C * i);
    }
    a.f_.noise_ = o.low().lane0();
    b.f_.noise_ = o.high().lane0();
    keepBoth<A, C>(l, a, b);
}

template <class A, int C>
inline void BiquadPair::processPlainPairsChain(BiquadPair& a, BiquadPair& b, double* frames, int count) noexcept {
    using D = simd::Doubles<A, 2 * C>;
    using Frame = simd::Doubles<A, C>;
    if (count <= 0) return;
    if (!a.f_.filters_ || !b.f_.filters_) {
        a.processPlainFrames<A, C>(frames, count);
        b.processPlainFrames<A, C>(frames, count);
        return;
    }
    // Each step takes a's next frame and b's frame before it, which is a's previous output.
    // The step before a's first frame and the one after b's last leave the other filter's
    // lanes as they were, so every frame goes through the same operations wherever a block
    // ends.
    constexpr int kLow = (1 << C) - 1, kHigh = kLow << C;
    BiquadLanes<A, 2 * C> l = lanesOfBoth<A, C>(a, b);
    D o = D::join(Frame::splat(a.f_.noise_), Frame::splat(b.f_.noise_));
    auto keepLanes = [&l, &o](const BiquadLanes<A, 2 * C>& kept, D keptOffset, int bits) {
        const D m = D::lanesWhere(bits);
        l.x1 = select(m, kept.x1, l.x1), l.x2 = select(m, kept.x2, l.x2);
        l.y1 = select(m, kept.y1, l.y1), l.y2 = select(m, kept.y2, l.y2);
        o = select(m, keptOffset, o);
    };
    BiquadLanes<A, 2 * C> kept = l;
    D keptOffset = o;
    o = negate(o);
    D y = l.step(D::join(Frame::load(frames), Frame::zero()), o);
    keepLanes(kept, keptOffset, kHigh);
    for (int i = 1; i < count; ++i) {
        o = negate(o);
        y = l.step(D::join(Frame::load(frames + C * i), y.low()), o);
        y.high().store(frames + C * (i - 1));
    }
    kept = l;
    keptOffset = o;
    o = negate(o);
    y = l.step(D::join(Frame::zero(), y.low()), o);
    keepLanes(kept, keptOffset, kLow);
    y.high().store(frames + C * (count - 1));
    a.f_.noise_ = o.low().lane0();
    b.f_.noise_ = o.high().lane0();
    keepBoth<A, C>(l, a, b);
}

}  // namespace orv::dsp

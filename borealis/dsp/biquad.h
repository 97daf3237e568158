#pragma once
// Second-order filter that designs its own coefficients from type, frequency, Q and gain and
// runs in direct form I. Two ways to run it:
//  - processSmoothed: the coefficients glide towards a new design over a few thousand samples,
//    for side-chain EQ that must change without clicks;
//  - processPlain: the designed coefficients are used at once, for fixed filters.
// Both keep the recursion away from denormal numbers with an offset of about 1e-13.
#include <cmath>
#include <cstdint>
#include <emmintrin.h>
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#include <immintrin.h>
#define ORV_BIQUAD_FUSED 1
#endif

#include "borealis/dsp/denormal_noise.h"

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

inline double Biquad::processSmoothed(double x) noexcept {
    if (!filters_) return x;
    const double m = noiseSource_.next();
    noise_ = m;
    const double s = smoothing_;
    BiquadCoefficients& c = current_;
    c.b0 = c.b0 + (target_.b0 - c.b0) * s + m;
    c.a1 = c.a1 + (target_.a1 - c.a1) * s + m;
    c.a2 = c.a2 + (target_.a2 - c.a2) * s + m;
    c.b1 = c.b1 + (target_.b1 - c.b1) * s + m;
    c.b2 = c.b2 + (target_.b2 - c.b2) * s + m;
    const double y = c.b0 * (x + m) + c.b1 * x1_ + c.b2 * x2_ - c.a1 * y1_ - c.a2 * y2_;
    x2_ = x1_;
    x1_ = x + m;
    y2_ = y1_;
    y1_ = y + m;
    return y;
}

inline double Biquad::processPlain(double x) noexcept {
    if (!filters_) return x;
    const double o = -noise_;
    noise_ = o;
    const BiquadCoefficients& c = target_;
    const double y = c.b0 * (x + o) + c.b1 * x1_ + c.b2 * x2_ - c.a1 * y1_ - c.a2 * y2_;
    x2_ = x1_;
    x1_ = x + o;
    y2_ = y1_;
    y1_ = y + o;
    return y;
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

    inline void processSmoothed(double& left, double& right) noexcept;
    inline void processPlain(double& left, double& right) noexcept;
    // `count` samples in place, exactly as that many processSmoothed / processPlain calls,
    // with the glide, the noise and the histories kept in registers meanwhile.
    inline void processSmoothed(double* left, double* right, int count) noexcept;
    inline void processPlain(double* left, double* right, int count) noexcept;
    // The same as the two above over `count` (left, right) pairs stored side by side. With
    // `Fused` (the wide code path: only for code compiled for AVX2 with FMA) each product is
    // fused into its sum, so the last bits differ from the other forms.
    template <bool Fused = false>
    inline void processSmoothedPairs(double* pairs, int count) noexcept;
    template <bool Fused = false>
    inline void processPlainPairs(double* pairs, int count) noexcept;
#if defined(ORV_BIQUAD_FUSED)
    // The wide code path's processPlainPairs<true> of two filters over the same input: `a`
    // filters `pairsA` in place and `b` filters the same values into `pairsB`, both pairs side
    // by side in the four lanes of one register, each lane as its filter's own pass computes it.
    static inline void processPlainPairsFusedBoth(BiquadPair& a, BiquadPair& b, double* pairsA, double* pairsB,
                                                  int count) noexcept;
    // The wide code path's a.processPlainPairs<true> then b.processPlainPairs<true> over the
    // same pairs in place, both filters in the four lanes of one register with b one frame
    // behind a, each lane as its filter's own pass computes it.
    static inline void processPlainPairsFusedChain(BiquadPair& a, BiquadPair& b, double* pairs, int count) noexcept;
#endif

private:
    void clearHistory() noexcept { x1_ = x2_ = y1_ = y2_ = _mm_setzero_pd(); }
    inline void run(double& left, double& right, const BiquadCoefficients& c, double offset) noexcept;
    static inline __m128d step(__m128d in, const BiquadCoefficients& c, double offset, __m128d& x1, __m128d& x2,
                               __m128d& y1, __m128d& y2) noexcept;
#if defined(ORV_BIQUAD_FUSED)
    struct TwoInLanes;
    __attribute__((target("avx2,fma"))) static inline TwoInLanes loadLanes(const BiquadPair& a,
                                                                           const BiquadPair& b) noexcept;
    __attribute__((target("avx2,fma"))) static inline void storeLanes(const TwoInLanes& l, BiquadPair& a,
                                                                      BiquadPair& b) noexcept;
    __attribute__((target("avx2,fma"))) static inline __m256d stepLanes(TwoInLanes& l, __m256d in) noexcept;
    // step() with the products fused into the sums.
    __attribute__((target("avx2,fma"))) static inline __m128d stepFused(__m128d in, const BiquadCoefficients& c,
                                                                        double offset, __m128d& x1, __m128d& x2,
                                                                        __m128d& y1, __m128d& y2) noexcept;
#endif
    static inline void glide(BiquadCoefficients& c, const BiquadCoefficients& t, double s, double m) noexcept;
    template <bool Fused, class Load, class Store>
    inline void runSmoothed(int count, Load load, Store store) noexcept;
    template <bool Fused, class Load, class Store>
    inline void runPlain(int count, Load load, Store store) noexcept;

    Biquad f_;
    __m128d x1_, x2_, y1_, y2_;  // (left, right)
};

inline __m128d BiquadPair::step(__m128d in, const BiquadCoefficients& c, double offset, __m128d& x1, __m128d& x2,
                                __m128d& y1, __m128d& y2) noexcept {
    // The same operations, in the same order, as Biquad's scalar form.
    const __m128d o = _mm_set1_pd(offset);
    const __m128d x = _mm_add_pd(in, o);
    __m128d y = _mm_mul_pd(_mm_set1_pd(c.b0), x);
    y = _mm_add_pd(y, _mm_mul_pd(_mm_set1_pd(c.b1), x1));
    y = _mm_add_pd(y, _mm_mul_pd(_mm_set1_pd(c.b2), x2));
    y = _mm_sub_pd(y, _mm_mul_pd(_mm_set1_pd(c.a1), y1));
    y = _mm_sub_pd(y, _mm_mul_pd(_mm_set1_pd(c.a2), y2));
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = _mm_add_pd(y, o);
    return y;
}

#if defined(ORV_BIQUAD_FUSED)
__attribute__((target("avx2,fma"))) inline __m128d BiquadPair::stepFused(__m128d in, const BiquadCoefficients& c,
                                                                         double offset, __m128d& x1, __m128d& x2,
                                                                         __m128d& y1, __m128d& y2) noexcept {
    const __m128d o = _mm_set1_pd(offset);
    const __m128d x = _mm_add_pd(in, o);
    __m128d y = _mm_mul_pd(_mm_set1_pd(c.b0), x);
    y = _mm_fmadd_pd(_mm_set1_pd(c.b1), x1, y);
    y = _mm_fmadd_pd(_mm_set1_pd(c.b2), x2, y);
    y = _mm_fnmadd_pd(_mm_set1_pd(c.a1), y1, y);
    y = _mm_fnmadd_pd(_mm_set1_pd(c.a2), y2, y);
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = _mm_add_pd(y, o);
    return y;
}
#endif

inline void BiquadPair::run(double& left, double& right, const BiquadCoefficients& c, double offset) noexcept {
    const __m128d y = step(_mm_set_pd(right, left), c, offset, x1_, x2_, y1_, y2_);
    left = _mm_cvtsd_f64(y);
    right = _mm_cvtsd_f64(_mm_unpackhi_pd(y, y));
}

inline void BiquadPair::glide(BiquadCoefficients& c, const BiquadCoefficients& t, double s, double m) noexcept {
    c.b0 = c.b0 + (t.b0 - c.b0) * s + m;
    c.a1 = c.a1 + (t.a1 - c.a1) * s + m;
    c.a2 = c.a2 + (t.a2 - c.a2) * s + m;
    c.b1 = c.b1 + (t.b1 - c.b1) * s + m;
    c.b2 = c.b2 + (t.b2 - c.b2) * s + m;
}

inline void BiquadPair::processSmoothed(double& left, double& right) noexcept {
    if (!f_.filters_) return;
    const double m = f_.noiseSource_.next();
    f_.noise_ = m;
    glide(f_.current_, f_.target_, f_.smoothing_, m);
    run(left, right, f_.current_, m);
}

inline void BiquadPair::processPlain(double& left, double& right) noexcept {
    if (!f_.filters_) return;
    // Each of two separate filters would negate its offset once per sample; both start equal.
    const double o = -f_.noise_;
    f_.noise_ = o;
    run(left, right, f_.target_, o);
}

// The block forms: `load(i)` gives sample i's (left, right) pair and `store(i, y)` takes its
// output, so one loop serves separate channels and interleaved pairs alike.
template <bool Fused, class Load, class Store>
inline void BiquadPair::runSmoothed(int count, Load load, Store store) noexcept {
    if (!f_.filters_ || count <= 0) return;
    DenormalNoise source = f_.noiseSource_;
    BiquadCoefficients c = f_.current_;
    const BiquadCoefficients t = f_.target_;
    const double s = f_.smoothing_;
    __m128d x1 = x1_, x2 = x2_, y1 = y1_, y2 = y2_;
    double m = f_.noise_;
    for (int i = 0; i < count; ++i) {
        m = source.next();
        glide(c, t, s, m);
#if defined(ORV_BIQUAD_FUSED)
        if constexpr (Fused) {
            store(i, stepFused(load(i), c, m, x1, x2, y1, y2));
            continue;
        }
#endif
        store(i, step(load(i), c, m, x1, x2, y1, y2));
    }
    f_.noiseSource_ = source;
    f_.current_ = c;
    f_.noise_ = m;
    x1_ = x1;
    x2_ = x2;
    y1_ = y1;
    y2_ = y2;
}

template <bool Fused, class Load, class Store>
inline void BiquadPair::runPlain(int count, Load load, Store store) noexcept {
    if (!f_.filters_ || count <= 0) return;
    const BiquadCoefficients c = f_.target_;
    __m128d x1 = x1_, x2 = x2_, y1 = y1_, y2 = y2_;
    double o = f_.noise_;
    for (int i = 0; i < count; ++i) {
        o = -o;
#if defined(ORV_BIQUAD_FUSED)
        if constexpr (Fused) {
            store(i, stepFused(load(i), c, o, x1, x2, y1, y2));
            continue;
        }
#endif
        store(i, step(load(i), c, o, x1, x2, y1, y2));
    }
    f_.noise_ = o;
    x1_ = x1;
    x2_ = x2;
    y1_ = y1;
    y2_ = y2;
}

namespace biquad_blocks {
// Separate channel arrays.
struct Channels {
    double* left;
    double* right;
    __m128d operator()(int i) const noexcept { return _mm_set_pd(right[i], left[i]); }
    void operator()(int i, __m128d y) const noexcept {
        left[i] = _mm_cvtsd_f64(y);
        right[i] = _mm_cvtsd_f64(_mm_unpackhi_pd(y, y));
    }
};
// (left, right) pairs side by side.
struct Pairs {
    double* pairs;
    __m128d operator()(int i) const noexcept { return _mm_loadu_pd(pairs + 2 * i); }
    void operator()(int i, __m128d y) const noexcept { _mm_storeu_pd(pairs + 2 * i, y); }
};
}  // namespace biquad_blocks

inline void BiquadPair::processSmoothed(double* left, double* right, int count) noexcept {
    const biquad_blocks::Channels io{left, right};
    runSmoothed<false>(count, io, io);
}

inline void BiquadPair::processPlain(double* left, double* right, int count) noexcept {
    const biquad_blocks::Channels io{left, right};
    runPlain<false>(count, io, io);
}

template <bool Fused>
inline void BiquadPair::processSmoothedPairs(double* pairs, int count) noexcept {
    const biquad_blocks::Pairs io{pairs};
    runSmoothed<Fused>(count, io, io);
}

template <bool Fused>
inline void BiquadPair::processPlainPairs(double* pairs, int count) noexcept {
    const biquad_blocks::Pairs io{pairs};
    runPlain<Fused>(count, io, io);
}

#if defined(ORV_BIQUAD_FUSED)
// Two filters' plain forms in the four lanes of AVX registers: lanes 0, 1 filter a (left,
// right), lanes 2, 3 filter b. (Macros: a lambda would not inherit the functions' target.)
struct BiquadPair::TwoInLanes {
    __m256d b0, b1, b2, a1, a2, x1, x2, y1, y2, o;
};

__attribute__((target("avx2,fma"))) inline BiquadPair::TwoInLanes BiquadPair::loadLanes(const BiquadPair& a,
                                                                                       const BiquadPair& b) noexcept {
#define ORV_BOTH(va, vb) _mm256_setr_pd(va, va, vb, vb)
#define ORV_JOIN(va, vb) _mm256_insertf128_pd(_mm256_castpd128_pd256(va), vb, 1)
    const BiquadCoefficients &ca = a.f_.target_, &cb = b.f_.target_;
    return TwoInLanes{ORV_BOTH(ca.b0, cb.b0),          ORV_BOTH(ca.b1, cb.b1), ORV_BOTH(ca.b2, cb.b2),
                      ORV_BOTH(ca.a1, cb.a1),          ORV_BOTH(ca.a2, cb.a2), ORV_JOIN(a.x1_, b.x1_),
                      ORV_JOIN(a.x2_, b.x2_),          ORV_JOIN(a.y1_, b.y1_), ORV_JOIN(a.y2_, b.y2_),
                      ORV_BOTH(a.f_.noise_, b.f_.noise_)};
#undef ORV_BOTH
#undef ORV_JOIN
}

__attribute__((target("avx2,fma"))) inline void BiquadPair::storeLanes(const TwoInLanes& l, BiquadPair& a,
                                                                       BiquadPair& b) noexcept {
    double offsets[4];
    _mm256_storeu_pd(offsets, l.o);
    a.f_.noise_ = offsets[0];
    b.f_.noise_ = offsets[2];
    a.x1_ = _mm256_castpd256_pd128(l.x1);
    a.x2_ = _mm256_castpd256_pd128(l.x2);
    a.y1_ = _mm256_castpd256_pd128(l.y1);
    a.y2_ = _mm256_castpd256_pd128(l.y2);
    b.x1_ = _mm256_extractf128_pd(l.x1, 1);
    b.x2_ = _mm256_extractf128_pd(l.x2, 1);
    b.y1_ = _mm256_extractf128_pd(l.y1, 1);
    b.y2_ = _mm256_extractf128_pd(l.y2, 1);
}

// One plain step of both filters: each negates its own offset, then the fused form of step().
__attribute__((target("avx2,fma"))) inline __m256d BiquadPair::stepLanes(TwoInLanes& l, __m256d in) noexcept {
    l.o = _mm256_xor_pd(l.o, _mm256_set1_pd(-0.0));
    const __m256d x = _mm256_add_pd(in, l.o);
    __m256d y = _mm256_mul_pd(l.b0, x);
    y = _mm256_fmadd_pd(l.b1, l.x1, y);
    y = _mm256_fmadd_pd(l.b2, l.x2, y);
    y = _mm256_fnmadd_pd(l.a1, l.y1, y);
    y = _mm256_fnmadd_pd(l.a2, l.y2, y);
    l.x2 = l.x1;
    l.x1 = x;
    l.y2 = l.y1;
    l.y1 = _mm256_add_pd(y, l.o);
    return y;
}

__attribute__((target("avx2,fma"))) inline void BiquadPair::processPlainPairsFusedBoth(BiquadPair& a, BiquadPair& b,
                                                                                        double* pairsA,
                                                                                        double* pairsB,
                                                                                        int count) noexcept {
    if (count <= 0) return;
    if (!a.f_.filters_ || !b.f_.filters_) {
        for (int i = 0; i < 2 * count; ++i) pairsB[i] = pairsA[i];
        b.processPlainPairs<true>(pairsB, count);
        a.processPlainPairs<true>(pairsA, count);
        return;
    }
    TwoInLanes l = loadLanes(a, b);
    for (int i = 0; i < count; ++i) {
        const __m256d y = stepLanes(l, _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(pairsA + 2 * i)));
        _mm_storeu_pd(pairsA + 2 * i, _mm256_castpd256_pd128(y));
        _mm_storeu_pd(pairsB + 2 * i, _mm256_extractf128_pd(y, 1));
    }
    storeLanes(l, a, b);
}

__attribute__((target("avx2,fma"))) inline void BiquadPair::processPlainPairsFusedChain(BiquadPair& a, BiquadPair& b,
                                                                                         double* pairs,
                                                                                         int count) noexcept {
    if (count <= 0) return;
    if (!a.f_.filters_ || !b.f_.filters_) {
        a.processPlainPairs<true>(pairs, count);
        b.processPlainPairs<true>(pairs, count);
        return;
    }
    // Each step takes a's next frame and b's frame before it, which is a's previous output.
    // The step before a's first frame and the one after b's last leave the other filter's
    // lanes as they were, so every frame goes through the same operations wherever a block
    // ends.
    TwoInLanes l = loadLanes(a, b);
    TwoInLanes kept = l;
    __m256d y = stepLanes(l, _mm256_castpd128_pd256(_mm_loadu_pd(pairs)));
#define ORV_KEEP(lanes)                            \
    {                                              \
        l.x1 = _mm256_blend_pd(l.x1, kept.x1, lanes); \
        l.x2 = _mm256_blend_pd(l.x2, kept.x2, lanes); \
        l.y1 = _mm256_blend_pd(l.y1, kept.y1, lanes); \
        l.y2 = _mm256_blend_pd(l.y2, kept.y2, lanes); \
        l.o = _mm256_blend_pd(l.o, kept.o, lanes);    \
    }
    ORV_KEEP(0xC)
    for (int i = 1; i < count; ++i) {
        const __m256d in = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(pairs + 2 * i)),
                                                _mm256_castpd256_pd128(y), 1);
        y = stepLanes(l, in);
        _mm_storeu_pd(pairs + 2 * (i - 1), _mm256_extractf128_pd(y, 1));
    }
    kept = l;
    y = stepLanes(l, _mm256_insertf128_pd(_mm256_setzero_pd(), _mm256_castpd256_pd128(y), 1));
    ORV_KEEP(0x3)
#undef ORV_KEEP
    _mm_storeu_pd(pairs + 2 * (count - 1), _mm256_extractf128_pd(y, 1));
    storeLanes(l, a, b);
}
#endif

}  // namespace orv::dsp

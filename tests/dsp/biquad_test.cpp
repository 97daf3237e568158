#include "borealis/dsp/biquad.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <complex>
#include <vector>

namespace orv::dsp {
namespace {

constexpr double kPi = 3.141592653589793;
using Complex = std::complex<double>;

struct Design {
    BiquadType type;
    double frequency, q, gainDb;
};

// The response of a set of coefficients at frequency f.
Complex response(const BiquadCoefficients& c, double f, double fs) {
    const Complex z1 = std::polar(1.0, -2 * kPi * f / fs);
    return (c.b0 + c.b1 * z1 + c.b2 * z1 * z1) / (1.0 + c.a1 * z1 + c.a2 * z1 * z1);
}

// The analogue prototype of each type taken through the bilinear transform with the corner
// pre-warped, the bandwidth widened towards Nyquist by the factor 1 - (f0 / (h * fs))^p.
double analyticMagnitude(const Design& d, double f, double fs) {
    const double f0 = d.frequency;
    double h = 0.5001, p = 3.0;
    if (d.type == BiquadType::Peaking) p = 2.8;
    if (d.type == BiquadType::Lowpass) h = 0.50001, p = 8.0;
    const double q = d.q * (1.0 - std::pow(f0 / (h * fs), p));
    const double A = std::pow(10.0, d.gainDb / 40.0);
    const Complex s(0.0, std::tan(kPi * f / fs) / std::tan(kPi * f0 / fs));
    const double r = std::sqrt(A) / q;
    switch (d.type) {
        case BiquadType::LowShelf: return std::abs(A * (s * s + r * s + A) / (A * s * s + r * s + 1.0));
        case BiquadType::HighShelf: return std::abs(A * (A * s * s + r * s + 1.0) / (s * s + r * s + A));
        case BiquadType::Peaking: return std::abs((s * s + s * A / q + 1.0) / (s * s + s / (A * q) + 1.0));
        case BiquadType::Lowpass: return std::abs(1.0 / (s * s + s / q + 1.0));
        default: return 1.0;
    }
}

// Output amplitude for a unit sine, measured over `length` samples (whole periods) once the
// slowest filter under test has settled.
double measuredGain(Biquad& f, bool smoothed, double fs, double frequency, int length) {
    const double w = 2 * kPi * frequency / fs;
    const int settle = 55 * length;
    for (int n = 0; n < settle; ++n) {
        const double x = std::sin(w * n);
        smoothed ? f.processSmoothed(x) : f.processPlain(x);
    }
    Complex sum = 0.0;
    for (int n = settle; n < settle + length; ++n) {
        const double x = std::sin(w * n);
        const double y = smoothed ? f.processSmoothed(x) : f.processPlain(x);
        sum += y * std::polar(1.0, -w * n);
    }
    return 2.0 * std::abs(sum) / length;
}

const std::vector<Design>& designs() {
    static const std::vector<Design> list = {
        {BiquadType::LowShelf, 24.5, 0.35, -15.0},   {BiquadType::LowShelf, 280.0, 0.5, 12.0},
        {BiquadType::HighShelf, 1375.0, 0.35, -15.0}, {BiquadType::HighShelf, 22000.0, 0.5, 12.0},
        {BiquadType::Peaking, 700.0, 0.01, 12.0},     {BiquadType::Peaking, 1000.0, 0.1, 12.0},
        {BiquadType::Peaking, 5000.0, 2.0, -9.0},     {BiquadType::Peaking, 21000.0, 0.7, 6.0},
        {BiquadType::Lowpass, 200.0, 0.5, 0.0},       {BiquadType::Lowpass, 20.0, 0.5, 0.0},
        {BiquadType::Lowpass, 2.0, 0.583, 0.0},       {BiquadType::Lowpass, 20000.0, 0.7071, 0.0},
    };
    return list;
}

TEST(Biquad, DesignsFollowTheirAnaloguePrototypesAtEveryFrequency) {
    for (double fs : {44100.0, 96000.0}) {
        for (const Design& d : designs()) {
            Biquad f(fs, d.type, d.frequency, d.q, d.gainDb);
            for (double ratio = 0.0005; ratio < 0.4999; ratio *= 1.25) {
                const double freq = ratio * fs;
                const double expected = analyticMagnitude(d, freq, fs);
                EXPECT_NEAR(std::abs(response(f.targets(), freq, fs)), expected, 1e-9 * (1 + expected))
                    << "type " << int(d.type) << " at " << d.frequency << " Hz, fs " << fs << ", probe "
                    << freq << " Hz";
            }
        }
    }
}

TEST(Biquad, GainsAtCharacteristicFrequencies) {
    const double fs = 48000.0;
    auto gainDb = [&](const Biquad& f, double freq) {
        return 20 * std::log10(std::abs(response(f.targets(), freq, fs)));
    };
    Biquad low(fs, BiquadType::LowShelf, 300.0, 0.5, 12.0);
    EXPECT_NEAR(gainDb(low, 0.0), 12.0, 1e-9);
    EXPECT_NEAR(gainDb(low, 300.0), 6.0, 1e-9);
    EXPECT_NEAR(gainDb(low, fs / 2), 0.0, 1e-9);
    Biquad high(fs, BiquadType::HighShelf, 3000.0, 0.35, -15.0);
    EXPECT_NEAR(gainDb(high, 0.0), 0.0, 1e-9);
    EXPECT_NEAR(gainDb(high, 3000.0), -7.5, 1e-9);
    EXPECT_NEAR(gainDb(high, fs / 2), -15.0, 1e-9);
    Biquad peak(fs, BiquadType::Peaking, 1000.0, 0.3, 12.0);
    EXPECT_NEAR(gainDb(peak, 1000.0), 12.0, 1e-9);
    EXPECT_NEAR(gainDb(peak, 0.0), 0.0, 1e-9);
    EXPECT_NEAR(gainDb(peak, fs / 2), 0.0, 1e-9);
    Biquad lowpass(fs, BiquadType::Lowpass, 200.0, 0.5, 0.0);
    EXPECT_NEAR(std::abs(response(lowpass.targets(), 0.0, fs)), 1.0, 1e-12);
    EXPECT_NEAR(std::abs(response(lowpass.targets(), fs / 2, fs)), 0.0, 1e-12);
    // At the corner the magnitude is the (Nyquist-corrected) Q.
    const double correctedQ = 0.5 * (1 - std::pow(200.0 / (0.50001 * fs), 8));
    EXPECT_NEAR(std::abs(response(lowpass.targets(), 200.0, fs)), correctedQ, 1e-12);
}

TEST(Biquad, BothProcessingFormsFilterSinesAsDesigned) {
    const double fs = 48000.0;
    const int length = 4800;  // whole periods of every probe frequency below
    for (const Design& d : designs()) {
        for (bool smoothed : {false, true}) {
            for (double freq : {100.0, 1000.0, 10000.0}) {
                Biquad f(fs, d.type, d.frequency, d.q, d.gainDb);
                f.reset();
                EXPECT_NEAR(measuredGain(f, smoothed, fs, freq, length), analyticMagnitude(d, freq, fs), 1e-6)
                    << "type " << int(d.type) << " at " << d.frequency << " Hz, smoothed " << smoothed
                    << ", probe " << freq;
            }
        }
    }
}

TEST(Biquad, PassThroughReturnsTheInputExactly) {
    Biquad f(44100.0, BiquadType::PassThrough, 1000.0, 0.7, 6.0);
    Biquad unknown(44100.0, static_cast<BiquadType>(5), 1000.0, 0.7, 6.0);
    EXPECT_FALSE(f.filters());
    EXPECT_FALSE(unknown.filters());
    for (double x : {0.0, 1.0, -0.37, 1e-310, 12345.678}) {
        EXPECT_EQ(f.processPlain(x), x);
        EXPECT_EQ(f.processSmoothed(x), x);
        EXPECT_EQ(unknown.processPlain(x), x);
        EXPECT_EQ(unknown.processSmoothed(x), x);
    }
}

TEST(Biquad, PeakingAtZeroGainIsTransparent) {
    Biquad f(44100.0, BiquadType::Peaking, 700.0, 0.3, 0.0);
    const BiquadCoefficients& c = f.targets();
    EXPECT_EQ(c.b0, 1.0);
    EXPECT_EQ(c.b1, c.a1);
    EXPECT_EQ(c.b2, c.a2);
    f.reset();
    for (int n = 0; n < 1000; ++n) {
        const double x = std::sin(0.05 * n);
        EXPECT_NEAR(f.processPlain(x), x, 1e-12);
    }
}

TEST(Biquad, FrequencyIsLimitedBelowNyquistAndStoredBack) {
    Biquad f(32000.0, BiquadType::HighShelf, 22000.0, 0.5, 12.0);
    EXPECT_EQ(f.frequency(), 0.499 * 32000.0);
    Biquad atLimit(32000.0, BiquadType::HighShelf, 0.499 * 32000.0, 0.5, 12.0);
    EXPECT_EQ(f.targets().b0, atLimit.targets().b0);
    EXPECT_EQ(f.targets().a1, atLimit.targets().a1);
    // A move to a higher rate keeps the reduced frequency until it is set again.
    f.setRate(96000.0);
    EXPECT_EQ(f.frequency(), 0.499 * 32000.0);
    f.setFrequency(22000.0);
    EXPECT_EQ(f.frequency(), 22000.0);
    // At 44100 Hz a 22 kHz corner stays below the limit of 22005.9 Hz.
    Biquad g(44100.0, BiquadType::HighShelf, 22000.0, 0.5, 12.0);
    EXPECT_EQ(g.frequency(), 22000.0);
    // Near Nyquist the designs stay stable.
    for (BiquadType t : {BiquadType::LowShelf, BiquadType::Peaking, BiquadType::HighShelf, BiquadType::Lowpass}) {
        Biquad h(44100.0, t, 1e9, 0.01, 12.0);
        EXPECT_LT(std::abs(h.targets().a2), 1.0) << int(t);
        EXPECT_LT(std::abs(h.targets().a1), 1.0 + h.targets().a2) << int(t);
    }
}

TEST(Biquad, GlideSpeedDependsOnRateAndHowItWasSet) {
    EXPECT_EQ(Biquad(44100.0, BiquadType::Peaking, 1000.0, 1.0, 6.0).smoothing(), 0.001);
    EXPECT_EQ(Biquad(50000.0, BiquadType::Peaking, 1000.0, 1.0, 6.0).smoothing(), 0.001);
    EXPECT_EQ(Biquad(96000.0, BiquadType::Peaking, 1000.0, 1.0, 6.0).smoothing(), 0.0001);
    // Rates outside 20 kHz .. 200 kHz count as 44100 Hz.
    EXPECT_EQ(Biquad(384000.0, BiquadType::Peaking, 1000.0, 1.0, 6.0).smoothing(), 0.001);
    Biquad f(44100.0, BiquadType::Peaking, 1000.0, 1.0, 6.0);
    f.setRate(96000.0);
    EXPECT_EQ(f.smoothing(), 0.00035);
    f.setRate(8000.0);
    EXPECT_EQ(f.smoothing(), 0.001);
    EXPECT_EQ(f.sampleRate(), 8000.0);
}

TEST(Biquad, CoefficientsGlideFromCreationToTheDesign) {
    Biquad f(44100.0, BiquadType::LowShelf, 35.0, 0.35, -15.0);
    const BiquadCoefficients t = f.targets();
    EXPECT_EQ(f.currents().b0, 1.0);
    EXPECT_EQ(f.currents().a2, 1.0);
    for (int n = 0; n < 40000; ++n) {
        const double y = f.processSmoothed(0.5 * std::sin(0.01 * n));
        ASSERT_TRUE(std::isfinite(y));
        ASSERT_LT(std::abs(y), 10.0);
    }
    const BiquadCoefficients& c = f.currents();
    EXPECT_NEAR(c.b0, t.b0, 1e-9);
    EXPECT_NEAR(c.b1, t.b1, 1e-9);
    EXPECT_NEAR(c.b2, t.b2, 1e-9);
    EXPECT_NEAR(c.a1, t.a1, 1e-9);
    EXPECT_NEAR(c.a2, t.a2, 1e-9);
}

TEST(Biquad, AGainChangeGlidesAtTheSetSpeed) {
    for (double fs : {44100.0, 96000.0}) {
        Biquad f(44100.0, BiquadType::HighShelf, 5500.0, 0.5, 12.0);
        f.setRate(fs);
        f.reset();
        const BiquadCoefficients before = f.targets();
        f.setGain(-15.0);
        const BiquadCoefficients after = f.targets();
        const int steps = 1000;
        for (int n = 0; n < steps; ++n) f.processSmoothed(0.0);
        const double expected = std::pow(1.0 - f.smoothing(), steps);
        EXPECT_NEAR((f.currents().b0 - after.b0) / (before.b0 - after.b0), expected, 1e-6) << fs;
        EXPECT_NEAR((f.currents().a1 - after.a1) / (before.a1 - after.a1), expected, 1e-6) << fs;
        // The plain form uses the new design at once.
        f.reset();
        EXPECT_EQ(f.currents().b0, after.b0);
    }
}

TEST(Biquad, SetTypeClearsTheHistoryButOtherSettersKeepIt) {
    auto excite = [](Biquad& f) {
        for (int n = 0; n < 500; ++n) f.processPlain(std::sin(0.02 * n));
    };
    Biquad kept(44100.0, BiquadType::Peaking, 1000.0, 1.0, 6.0);
    excite(kept);
    kept.setFrequency(1200.0);
    EXPECT_GT(std::abs(kept.processPlain(0.0)), 1e-3);
    Biquad cleared(44100.0, BiquadType::Peaking, 1000.0, 1.0, 6.0);
    excite(cleared);
    cleared.setType(BiquadType::Peaking);
    EXPECT_LT(std::abs(cleared.processPlain(0.0)), 1e-11);
}

TEST(Biquad, SilenceAfterASignalNeverDecaysIntoDenormals) {
    for (const Design& d : designs()) {
        for (bool smoothed : {false, true}) {
            Biquad f(44100.0, d.type, d.frequency, d.q, d.gainDb);
            f.reset();
            double y = 0.0;
            for (int n = 0; n < 200000; ++n) {
                const double x = n < 100 ? std::sin(0.3 * n) : 0.0;
                y = smoothed ? f.processSmoothed(x) : f.processPlain(x);
                ASSERT_NE(std::fpclassify(y), FP_SUBNORMAL) << "type " << int(d.type) << " sample " << n;
            }
            EXPECT_NE(y, 0.0);
            // Far below anything audible. (The 22 kHz shelf at 44.1 kHz has a pole 2e-5 from
            // the unit circle: the burst itself takes seconds to fade, and the offsets are
            // lifted to about 1e-8 there.)
            EXPECT_LT(std::abs(y), 1e-6) << "type " << int(d.type) << " smoothed " << smoothed;
        }
    }
}

TEST(Biquad, MeaninglessSettingsStillGiveAStableFilter) {
    const double nan = std::nan("");
    Biquad a(0.0, BiquadType::Lowpass, 1000.0, 0.5, 0.0);
    EXPECT_EQ(a.sampleRate(), Biquad::kDefaultRate);
    Biquad b(44100.0, BiquadType::Lowpass, nan, 0.5, 0.0);
    EXPECT_EQ(b.frequency(), Biquad::kMinFrequency);
    Biquad c(44100.0, BiquadType::Peaking, -50.0, 0.0, nan);
    Biquad d(nan, BiquadType::HighShelf, 1000.0, -1.0, 1e300);
    for (Biquad* f : {&a, &b, &c, &d}) {
        f->reset();
        for (int n = 0; n < 20000; ++n) {
            const double y = f->processPlain(std::sin(0.1 * n));
            ASSERT_TRUE(std::isfinite(y)) << n;
        }
    }
}

// The stereo pair gives, bit for bit, what two separate filters given the same calls give,
// through glides, setting changes, type changes, resets and a pass-through stretch.
TEST(Biquad, PairMatchesTwoSeparateFilters) {
    Biquad left(48000.0, BiquadType::LowShelf, 120.0, 0.35, -15.0);
    Biquad right(48000.0, BiquadType::LowShelf, 120.0, 0.35, -15.0);
    BiquadPair pair;
    pair.create(48000.0, BiquadType::LowShelf, 120.0, 0.35, -15.0);
    unsigned seed = 7;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
    };
    for (int i = 0; i < 20000; ++i) {
        if (i == 3000) {
            left.setGain(12.0), right.setGain(12.0), pair.setGain(12.0);
            left.setFrequency(300.0), right.setFrequency(300.0), pair.setFrequency(300.0);
        }
        if (i == 6000) left.setRate(96000.0), right.setRate(96000.0), pair.setRate(96000.0);
        if (i == 9000) left.setType(BiquadType::Peaking), right.setType(BiquadType::Peaking), pair.setType(BiquadType::Peaking);
        if (i == 12000) left.reset(), right.reset(), pair.reset();
        if (i == 14000) left.setType(BiquadType::PassThrough), right.setType(BiquadType::PassThrough), pair.setType(BiquadType::PassThrough);
        if (i == 15000) left.setType(BiquadType::Lowpass), right.setType(BiquadType::Lowpass), pair.setType(BiquadType::Lowpass);
        const double xl = next(), xr = 0.01 * next();
        const bool plain = (i / 1000) % 3 == 2;
        double l = xl, r = xr;
        if (plain) {
            pair.processPlain(l, r);
            ASSERT_EQ(l, left.processPlain(xl)) << i;
            ASSERT_EQ(r, right.processPlain(xr)) << i;
        } else {
            pair.processSmoothed(l, r);
            ASSERT_EQ(l, left.processSmoothed(xl)) << i;
            ASSERT_EQ(r, right.processSmoothed(xr)) << i;
        }
    }
}


}  // namespace
}  // namespace orv::dsp

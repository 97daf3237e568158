// The steady-state gain of every factory preset of both built plug-ins, held against the
// arithmetic of the parameters rather than against an earlier output. A 1 kHz sine on both
// channels at three levels (12 dB below the threshold, at it, and up to 12 dB above it) runs
// through the plug-in for a few seconds; its gain over the last second is compared with a model
// built here from the formulas alone:
// - the side-chain filters as frequency responses at 1 kHz, designed from their cookbook
//   formulas (the shelves, and for Borealis the tilt balance and the link filter with the link
//   blend);
// - the Hilbert pair: the key's centre sample and the antisymmetric FIR with coefficients
//   2/((2k+1)pi), whose 1 kHz response makes the analytic magnitude ripple at 2 kHz;
// - the detector scaling, the envelope law with its level filters (peak or RMS, program-
//   dependent times, Classic release), the static curve with its hard or soft knee, the makeup
//   (manual and automatic), the parallel mix and the output gain.
// The model runs the envelope sample by sample on the analytic detector signal, so ripple and
// settling are those of the design, not of the code under test.
#include "plugin_fixture.h"
#include "presets/preset_record.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Complex = std::complex<double>;

constexpr double kRate = 44100.0;
constexpr double kTone = 1000.0;
constexpr double kSeconds = 3.0;   // each level runs this long
constexpr double kMeasured = 1.0;  // and the gain is measured over the last second
constexpr int kBlock = 512;
constexpr double kToleranceDb = 0.05;

// ---------------------------------------------------------------------------------------------
// Filters from their design formulas.

enum class FilterType { LowShelf, Peaking, HighShelf, Lowpass };

struct Coefficients {
    double b0, b1, b2, a1, a2;
};

Coefficients design(FilterType type, double fs, double f, double q, double gainDb) {
    f = std::min(f, 0.499 * fs);
    const double w = 6.283185307179586 * f / fs;
    const double a = std::pow(10.0, gainDb / 40.0);
    const double cw = std::cos(w), sw = std::sin(w);
    auto corr = [&](double p, double half) { return 1.0 - std::pow(f / (half * fs), p); };
    double a0, a1, a2, b0, b1, b2;
    switch (type) {
        case FilterType::LowShelf: {
            const double beta = sw * std::sqrt(a) / (corr(3.0, 0.5001) * q);
            a0 = (a + 1) + (a - 1) * cw + beta;
            a1 = -2 * ((a - 1) + (a + 1) * cw);
            a2 = (a + 1) + (a - 1) * cw - beta;
            b0 = a * ((a + 1) - (a - 1) * cw + beta);
            b1 = 2 * a * ((a - 1) - (a + 1) * cw);
            b2 = a * ((a + 1) - (a - 1) * cw - beta);
            break;
        }
        case FilterType::HighShelf: {
            const double beta = sw * std::sqrt(a) / (corr(3.0, 0.5001) * q);
            a0 = (a + 1) - (a - 1) * cw + beta;
            a1 = 2 * ((a - 1) - (a + 1) * cw);
            a2 = (a + 1) - (a - 1) * cw - beta;
            b0 = a * ((a + 1) + (a - 1) * cw + beta);
            b1 = -2 * a * ((a - 1) + (a + 1) * cw);
            b2 = a * ((a + 1) + (a - 1) * cw - beta);
            break;
        }
        case FilterType::Peaking: {
            const double alpha = sw / (corr(2.8, 0.5001) * 2 * q);
            a0 = 1 + alpha / a;
            a1 = -2 * cw;
            a2 = 1 - alpha / a;
            b0 = 1 + alpha * a;
            b1 = -2 * cw;
            b2 = 1 - alpha * a;
            break;
        }
        case FilterType::Lowpass:
        default: {
            const double alpha = sw / (corr(8.0, 0.50001) * 2 * q);
            a0 = 1 + alpha;
            a1 = -2 * cw;
            a2 = 1 - alpha;
            b0 = (1 - cw) / 2;
            b1 = 1 - cw;
            b2 = (1 - cw) / 2;
            break;
        }
    }
    return {b0 / a0, b1 / a0, b2 / a0, a1 / a0, a2 / a0};
}

Complex response(const Coefficients& c, double frequency, double fs) {
    const Complex z1 = std::polar(1.0, -2.0 * M_PI * frequency / fs);
    return (c.b0 + c.b1 * z1 + c.b2 * z1 * z1) / (1.0 + c.a1 * z1 + c.a2 * z1 * z1);
}

// A plain direct-form filter, for the envelope's level filters.
struct Filter {
    Coefficients c;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double operator()(double x) {
        const double y = c.b0 * x + c.b1 * x1 + c.b2 * x2 - c.a1 * y1 - c.a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return y;
    }
};

// The Hilbert FIR's response at the tone: the quadrature part has this gain against the centre.
double hilbertGain(int n, double frequency, double fs) {
    double sum = 0.0;
    const double w = 2.0 * M_PI * frequency / fs;
    for (int k = 0; k < n; ++k) sum += 2.0 / ((2 * k + 1) * M_PI) * 2.0 * std::sin((2 * k + 1) * w);
    return sum;
}

// ---------------------------------------------------------------------------------------------
// The gain computer both engines share: ratio table, knee and curve.

const double kSlopes[21] = {
    2, 1.6817928305074292, 1.4142271248762552, 1.2968395546510096, 1.1904761904761905, 1.0905077326652577,
    1, 0.9170040432046712, 0.8333333333333334, 0.7711054127039704, 0.7142857142857143, 0.5946035575013605,
    0.5, 0.4204482076268573, 0.35714285714285715, 0.29730177875068026, 0.25, 0.17857142857142858, 0.125,
    0.08333333333333333, 0.015625,
};

int ratioIndex(float x) { return std::min(static_cast<int>(20.0f * x), 20); }
bool on(float x) { return static_cast<int>(x + 0.5) != 0; }

double curveGain(double level, double slope, bool soft) {
    double y;
    if (!soft) {
        y = level > 1.0 ? std::pow(level, slope) : level;
    } else if (level <= 0.5) {
        y = level;
    } else if (level >= 1.5) {
        y = std::pow(level, slope);
    } else {
        const double p0 = -0.5, p1 = 0.5, p2 = std::pow(1.5, slope), p3 = std::pow(2.5, slope);
        const double t = level - 0.5;
        y = p1 + (0.5 * p2 - 0.5 * p0) * t + (p0 - 2.5 * p1 + 2 * p2 - 0.5 * p3) * t * t +
            (1.5 * p1 - 0.5 * p0 - 1.5 * p2 + 0.5 * p3) * t * t * t;
    }
    return y / (level + 1e-6);
}

double automaticMakeup(double thresholdFactor, double slope) {
    return std::pow(0.55 * thresholdFactor, 0.8 * (1.0 - slope));
}

// One channel's envelope follower; `attackSpeed` and `releaseSpeed` are the program-dependent
// factors' weights (0 when the switch is off).
struct Envelope {
    double attack = 0, release = 0;
    bool rms = false, classic = false, tabulatedClassic = true;
    double attackWeight = 0, releaseWeight = 0;  // r = weight * fast / slow; 0: switch off
    Filter fast, slow;
    double value = 0.0001;

    double level(double d) {
        if (rms) d *= d;
        const double f = std::max(fast(d), 1e-6), s = std::max(slow(d), 1e-6);
        auto factor = [&](double weight) {
            const double r = weight * f / s;
            return 2.0 * r / (r + 1.0) + 0.1;
        };
        const double ka = attackWeight > 0 ? factor(attackWeight) : 1.0;
        const double kr = releaseWeight > 0 ? factor(releaseWeight) : 1.0;
        if (!classic) {
            value += (d - value) * (d > value ? attack * ka : release * kr);
        } else {
            if (d > value) value += (d - value) * attack * ka;
            const double floor = rms ? 0.5 : 0.4;
            const double target = (1.0 - floor) * d + floor;
            double power;
            if (tabulatedClassic) {
                const float quotient = static_cast<float>((f + 3.0) / (1.2 * f));
                const int index = std::min(std::max(static_cast<int>(quotient + 0.5f), 0), 999);
                power = static_cast<float>(std::pow(static_cast<double>(index), 0.05));
            } else {
                power = std::pow((f + 3.0) / (1.2 * f), 0.05);
            }
            value += (target - value) * std::pow(release, power) * kr;
        }
        value = std::max(value, 0.0001);
        return rms ? std::sqrt(value) : value;
    }
};

double settlingCoefficient(double target, double samples) { return 1.0 - std::pow(target, 1.0 / samples); }

// The sums of a measurement: output power over input power of the last second.
struct PowerRatio {
    double output = 0.0, input = 0.0;
    double db() const { return 10.0 * std::log10(output / input); }
};

// ---------------------------------------------------------------------------------------------
// Borealis from its formulas.

struct BorealisModel {
    const float* x;
    double fs = kRate;

    double threshold() const { return 0.5 * std::pow(64.0, x[5]); }
    double slope() const { return kSlopes[ratioIndex(x[6])]; }
    bool fat() const { return on(x[1]); }
    bool smooth() const { return on(x[26]); }
    double sideChainRate() const { return fs * ((fat() && smooth()) ? 2.0 : 1.0); }
    double gainStageRate() const { return fs * (fat() ? 2.0 : 1.0); }

    // The linked key of each channel as a complex gain on the input sine.
    void keys(Complex key[2]) const {
        const double rate = sideChainRate();
        const double low = 25.0 * std::pow(16.0, x[16]), high = 1000.0 * std::pow(16.0, x[14]);
        const bool lowBoost = on(x[15]), highBoost = on(x[13]);
        const Complex shelves =
            response(design(FilterType::LowShelf, rate, 0.7 * low, lowBoost ? 0.5 : 0.35, lowBoost ? 12 : -15), kTone, rate) *
            response(design(FilterType::HighShelf, rate, 1.375 * high, highBoost ? 0.5 : 0.35, highBoost ? 12 : -15), kTone, rate);
        const bool hc = on(x[17]), lc = on(x[18]);
        FilterType type = FilterType::Peaking;
        double f = 700, q = 0.01;
        if (hc && !lc) type = FilterType::LowShelf, f = 7000, q = 0.45;
        if (!hc && lc) type = FilterType::HighShelf, f = 100, q = 0.45;
        if (hc && lc) f = 1000, q = 0.1;
        const Complex link = response(design(type, rate, f, q, 12.0), kTone, rate);
        const double amount = std::pow(static_cast<double>(x[19]), 1.4);
        const double a = 0.5 * std::pow(4.0, 1.0 - x[20]), b = 0.5 * std::pow(4.0, x[20]);
        const bool expanding = ratioIndex(x[6]) < 6;
        const Complex e[2] = {shelves * (expanding ? a : b), shelves * (expanding ? b : a)};
        const Complex common = 0.7071 * (0.25 * link * e[0] + 0.25 * link * e[1]);
        for (int c = 0; c < 2; ++c) key[c] = e[c] + amount * (common - 0.25 * link * e[c]);
    }

    // The input amplitude whose detector value sits at the threshold.
    double thresholdAmplitude() const {
        Complex key[2];
        keys(key);
        return 0.995 / (1.4142 * 0.582 * 1.005773063 * threshold() * std::abs(key[0]));
    }

    PowerRatio run(double amplitude) const {
        PowerRatio ratio;
        if (!on(x[0])) return {1.0, 1.0};
        double peakGain = 0.0;
        const double rate = gainStageRate();
        Complex key[2];
        keys(key);
        const int n = static_cast<int>(sideChainRate() * (1 + (smooth() ? 1 : 0)) * 0.5 / 400.0);
        const double quadrature = hilbertGain(n, kTone, sideChainRate());
        const bool rms = on(x[3]);
        const double target = rms ? 0.0025 : 0.05;
        const double attackMs = 0.01 * std::pow(100000.0, x[7]);
        const double releaseS = 0.1 * std::pow(100.0, x[9]);
        Envelope env[2];
        for (Envelope& e : env) {
            e.attack = settlingCoefficient(target, attackMs * 0.001 * rate);
            e.release = settlingCoefficient(target, releaseS * rate);
            e.rms = rms;
            e.classic = on(x[24]);
            e.tabulatedClassic = !smooth();
            e.attackWeight = on(x[8]) ? 0.1 : 0.0;
            e.releaseWeight = on(x[10]) ? 0.15 : 0.0;
            e.fast.c = design(FilterType::Lowpass, rate, 200.0, 0.5, 0.0);
            e.slow.c = design(FilterType::Lowpass, rate, 20.0, 0.5, 0.0);
        }
        const double t = threshold(), s = slope();
        const bool soft = on(x[2]);
        const double makeup = 0.25 * std::pow(64.0, x[11]) * (on(x[12]) ? automaticMakeup(t, s) : 1.0);
        const double mix = x[21], output = 0.25 * std::pow(16.0, x[22]);
        // The limiter passes what stays below its ceiling at 0.999; see limited() for the rest.
        const double limiter = on(x[4]) ? 0.999 : 1.0;
        const long total = static_cast<long>(kSeconds * rate), from = total - static_cast<long>(kMeasured * rate);
        const double w = 2.0 * M_PI * kTone / rate;
        for (long i = 0; i < total; ++i) {
            for (int c = 0; c < 2; ++c) {
                const double phase = w * i + std::arg(key[c]);
                const double re = std::cos(phase), im = quadrature * std::sin(phase);
                const double magnitude = amplitude * std::abs(key[c]) * std::sqrt(re * re + im * im);
                const double d = magnitude * 1.4142 * 0.582 * 1.005773063 * t + 0.005;
                const double g = curveGain(env[c].level(d), s, soft);
                if (i < from) continue;
                const double in = std::cos(w * i);
                const double gain = output * limiter * ((1.0 - mix) + mix * g * makeup);
                ratio.output += gain * gain * in * in;
                ratio.input += in * in;
                peakGain = std::max(peakGain, gain);
            }
        }
        if (on(x[4])) ratio.output *= limited(amplitude * peakGain / limiter);
        return ratio;
    }

    // The limiter's steady gain (as a power factor) on a sine whose gain-stage output has the
    // given amplitude: it follows the running peak of its look-ahead window, 1.005773063 times
    // the largest sample plus 0.011 and 0.0009766, and divides by it once it exceeds 1. The
    // largest sample of each period lies within half a sample's phase of the crest.
    double limited(double amplitude) const {
        const double crest = 0.5 * (1.0 + std::cos(M_PI * kTone / fs));
        const double peak = 1.005773063 * amplitude * crest + 0.011 + 0.0009766;
        return peak > 1.0 ? 1.0 / (peak * peak) : 1.0;
    }
};

// ---------------------------------------------------------------------------------------------
// Kestrel from its formulas.

struct KestrelModel {
    const float* x;
    double fs = kRate;

    double threshold() const { return 0.5 * std::pow(64.0, x[5]); }
    double slope() const { return kSlopes[ratioIndex(x[6])]; }
    bool smooth() const { return on(x[27]); }

    // After a resume the shelves follow their modes alone.
    Complex key() const {
        const int lowMode = static_cast<int>(2.0 * x[12] + 0.5), highMode = static_cast<int>(2.0 * x[14] + 0.5);
        const Coefficients low = lowMode == 2   ? design(FilterType::LowShelf, fs, 150, 0.35, -9)
                                 : lowMode == 1 ? design(FilterType::LowShelf, fs, 100, 0.7, 0)
                                                : design(FilterType::LowShelf, fs, 110, 1.0, 12);
        const Coefficients high = highMode == 2   ? design(FilterType::HighShelf, fs, 6000, 0.35, -9)
                                  : highMode == 1 ? design(FilterType::HighShelf, fs, 6000, 0.7, 0)
                                                  : design(FilterType::HighShelf, fs, 4500, 1.2, 20);
        return response(low, kTone, fs) * response(high, kTone, fs);
    }

    double thresholdAmplitude() const {
        const double scale = smooth() ? 1.4142 * 0.582 * 1.005773063 : 0.83;
        return 0.995 / (scale * 2.0 * threshold() * std::abs(key()));
    }

    PowerRatio run(double amplitude) const {
        PowerRatio ratio;
        if (!on(x[0])) return {1.0, 1.0};
        const Complex k = key();
        const int n = static_cast<int>(std::trunc(fs) / 1000.0);
        // Identical channels: a linked stereo detector reads 0.7071 * sqrt(2 f^2), the rectified key.
        const bool rectified = on(x[20]) && on(x[28]);
        const double w = 2.0 * M_PI * kTone / fs;
        auto sideChain = [&](long i) {
            const double f = amplitude * std::abs(k) * std::cos(w * i + std::arg(k));
            return rectified ? 0.7071 * std::sqrt(2.0 * f * f) : f;
        };
        const bool rms = on(x[3]);
        const double target = rms ? 0.0025 : 0.05;
        Envelope env;
        env.attack = settlingCoefficient(target, 0.01 * std::pow(100000.0, x[8]) * 0.001 * fs);
        env.release = settlingCoefficient(target, 0.0333 * std::pow(100.0, x[10]) * fs);
        env.rms = rms;
        env.releaseWeight = on(x[11]) ? 0.5 : 0.0;
        env.fast.c = design(FilterType::Lowpass, fs, 33.333333333333336, 0.5, 0.0);
        env.slow.c = design(FilterType::Lowpass, fs, 3.3333333333333335, 0.5, 0.0);
        const double t = threshold(), s = slope();
        const bool soft = on(x[2]);
        const double makeup = 0.25 * std::pow(64.0, x[16]) * (on(x[17]) ? automaticMakeup(t, s) : 1.0);
        const double output = 0.25 * std::pow(8.0, x[23]);
        const long total = static_cast<long>(kSeconds * fs), from = total - static_cast<long>(kMeasured * fs);
        for (long i = 0; i < total; ++i) {
            double d;
            if (smooth()) {
                double im = 0.0;
                for (int j = 0; j < n; ++j)
                    im += 2.0 / ((2 * j + 1) * M_PI) * (sideChain(i + 2 * j + 1) - sideChain(i - 2 * j - 1));
                const double re = sideChain(i);
                d = std::sqrt(re * re + im * im) * 1.4142 * 0.582 * 1.005773063 * t * 2.0 + 0.005;
            } else {
                d = sideChain(i) * 0.83 * t * 2.0 + 0.005;
            }
            const double g = curveGain(env.level(d), s, soft);
            if (i < from) continue;
            const double in = std::cos(w * i);
            const double gain = output * g * makeup;
            ratio.output += 2.0 * gain * gain * in * in;
            ratio.input += 2.0 * in * in;
        }
        return ratio;
    }
};

// ---------------------------------------------------------------------------------------------
// The plug-in itself.

class Instance {
public:
    explicit Instance(const char* path) : plugin(path) {
        fx = plugin.startAt(kRate, kBlock);
    }
    bool ok() const { return fx != nullptr; }

    // The sine at `amplitude` for kSeconds after a suspend and resume; the output power over
    // the last second (shifted by the reported latency) against the input's.
    PowerRatio run(double amplitude) {
        plugin.dispatch(effMainsChanged, 0, 0);
        plugin.dispatch(effMainsChanged, 0, 1);
        const long latency = fx->initialDelay;
        const long total = static_cast<long>(kSeconds * kRate), from = total - static_cast<long>(kMeasured * kRate);
        PowerRatio ratio;
        float in[kBlock], outL[kBlock], outR[kBlock];
        for (long at = 0; at < total + latency; at += kBlock) {
            for (int i = 0; i < kBlock; ++i)
                in[i] = static_cast<float>(amplitude * std::sin(2.0 * M_PI * kTone * (at + i) / kRate));
            float* ins[4] = {in, in, in, in};
            float* outs[2] = {outL, outR};
            fx->processReplacing(fx, ins, outs, kBlock);
            for (int i = 0; i < kBlock; ++i) {
                const long inputTime = at + i - latency;
                if (inputTime < from || inputTime >= total) continue;
                ratio.output += static_cast<double>(outL[i]) * outL[i] + static_cast<double>(outR[i]) * outR[i];
                const double x = amplitude * std::sin(2.0 * M_PI * kTone * inputTime / kRate);
                ratio.input += 2.0 * x * x;
            }
        }
        return ratio;
    }

    LoadedPlugin plugin;
    AEffect* fx = nullptr;
};

template <class Model>
void checkEveryPreset(const char* path) {
    Instance plugin(path);
    ASSERT_TRUE(plugin.ok());
    for (int n = 0; n < kNumPresets; ++n) {
        ASSERT_TRUE(plugin.plugin.selectPreset(n));
        float values[kNumPresetParams];
        for (int i = 0; i < kNumPresetParams; ++i) values[i] = plugin.fx->getParameter(plugin.fx, i);
        const Model model{values};
        const double at = model.thresholdAmplitude();
        // Below, at and above the threshold, within what a float input carries comfortably.
        for (double level : {0.25 * at, at, 4.0 * at}) {
            level = std::min(level, 0.9);
            const double expected = model.run(level).db();
            const double measured = plugin.run(level).db();
            if (std::getenv("ORV_PRINT_GAINS"))
                std::printf("preset %2d level %7.2f dBFS: expected %8.3f dB, measured %8.3f dB\n", n,
                            20.0 * std::log10(level), expected, measured);
            EXPECT_NEAR(measured, expected, kToleranceDb)
                << "preset " << n << " \"" << plugin.plugin.text(effGetProgramName) << "\", input "
                << 20.0 * std::log10(level) << " dBFS (threshold at " << 20.0 * std::log10(at) << " dBFS)";
        }
    }
}

TEST(SteadyGain, EveryBorealisPresetGivesTheGainOfItsParameters) { checkEveryPreset<BorealisModel>(ORV_BOREALIS_PATH); }

TEST(SteadyGain, EveryKestrelPresetGivesTheGainOfItsParameters) { checkEveryPreset<KestrelModel>(ORV_KESTREL_PATH); }

}  // namespace

#include "borealis/dsp/biquad.h"

#include <cmath>

namespace orv::dsp {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Rates at which the glide speed is chosen as given; any other counts as 44100 Hz.
constexpr double kLowestGlideRate = 20000.0;
constexpr double kHighestGlideRate = 200000.0;
constexpr double kHighRate = 50000.0;
constexpr double kGlide = 0.001;
constexpr double kGlideHighRateCreated = 0.0001;
constexpr double kGlideHighRateChanged = 0.00035;

double rateForGlide(double rate) {
    return (rate >= kLowestGlideRate && rate <= kHighestGlideRate) ? rate : Biquad::kDefaultRate;
}

// Rates below 1 Hz (or not numbers) cannot be designed for.
double usableRate(double rate) {
    return (std::isfinite(rate) && rate >= 1.0) ? rate : Biquad::kDefaultRate;
}

// Widens the bandwidth as the frequency approaches Nyquist, where the bilinear transform
// squeezes it: 1 at low frequencies, falling towards 0 at `half` times the rate.
double nyquistCorrection(double frequency, double rate, double half, double power) {
    return 1.0 - std::pow(frequency / (half * rate), power);
}

}  // namespace

Biquad::Biquad() noexcept { create(kDefaultRate, BiquadType::PassThrough, 1000.0, 0.7071, 0.0); }

Biquad::Biquad(double rate, BiquadType type, double frequency, double q, double gainDb) noexcept {
    create(rate, type, frequency, q, gainDb);
}

void Biquad::create(double rate, BiquadType type, double frequency, double q, double gainDb) noexcept {
    sampleRate_ = usableRate(rate);
    type_ = type;
    frequency_ = frequency;
    q_ = q;
    gainDb_ = gainDb;
    smoothing_ = rateForGlide(rate) > kHighRate ? kGlideHighRateCreated : kGlide;
    clearHistory();
    target_ = BiquadCoefficients{1, 1, 1, 1, 1, 1};
    current_ = target_;
    design();
}

void Biquad::setRate(double rate) noexcept {
    sampleRate_ = usableRate(rate);
    smoothing_ = rateForGlide(rate) > kHighRate ? kGlideHighRateChanged : kGlide;
    design();
}

void Biquad::setType(BiquadType type) noexcept {
    type_ = type;
    clearHistory();
    design();
}

void Biquad::setFrequency(double frequency) noexcept {
    frequency_ = frequency;
    design();
}

void Biquad::setQ(double q) noexcept {
    q_ = q;
    design();
}

void Biquad::setGain(double gainDb) noexcept {
    gainDb_ = gainDb;
    design();
}

void Biquad::reset() noexcept {
    clearHistory();
    current_ = target_;
}

void Biquad::clearHistory() noexcept {
    x1_ = x2_ = y1_ = y2_ = 0.0;
}

void Biquad::design() noexcept {
    target_ = BiquadCoefficients{1, 1, 1, 1, 1, 1};
    const double fs = sampleRate_;
    // The limited frequency is kept, so a later move to a higher rate keeps the reduced value.
    if (frequency_ > kMaxFrequencyRatio * fs) frequency_ = kMaxFrequencyRatio * fs;
    if (!(frequency_ >= kMinFrequency)) frequency_ = kMinFrequency;
    const double f = frequency_;
    const double q = q_ >= kMinQ ? q_ : kMinQ;
    const double gainDb = std::isfinite(gainDb_) ? std::fmax(-kMaxGainDb, std::fmin(gainDb_, kMaxGainDb)) : 0.0;

    const double w = kTwoPi * f / fs;
    const double A = std::pow(10.0, gainDb / 40.0);
    const double sw = std::sin(w);
    const double cw = std::cos(w);
    BiquadCoefficients& t = target_;

    switch (type_) {
        case BiquadType::LowShelf: {
            const double beta = sw * std::sqrt(A) / (nyquistCorrection(f, fs, 0.5001, 3.0) * q);
            const double a0 = (A + 1) + (A - 1) * cw + beta;
            t.a0 = a0;
            t.a1 = -2 * ((A - 1) + (A + 1) * cw) / a0;
            t.a2 = ((A + 1) + (A - 1) * cw - beta) / a0;
            t.b0 = A * ((A + 1) - (A - 1) * cw + beta) / a0;
            t.b1 = 2 * A * ((A - 1) - (A + 1) * cw) / a0;
            t.b2 = A * ((A + 1) - (A - 1) * cw - beta) / a0;
            filters_ = true;
            break;
        }
        case BiquadType::Peaking: {
            const double alpha = sw / (nyquistCorrection(f, fs, 0.5001, 2.8) * 2 * q);
            const double a0 = 1 + alpha / A;
            t.a0 = a0;
            t.a1 = -2 * cw / a0;
            t.a2 = (1 - alpha / A) / a0;
            t.b0 = (1 + alpha * A) / a0;
            t.b1 = -2 * cw / a0;
            t.b2 = (1 - alpha * A) / a0;
            filters_ = true;
            break;
        }
        case BiquadType::HighShelf: {
            const double beta = sw * std::sqrt(A) / (nyquistCorrection(f, fs, 0.5001, 3.0) * q);
            const double a0 = (A + 1) - (A - 1) * cw + beta;
            t.a0 = a0;
            t.a1 = 2 * ((A - 1) - (A + 1) * cw) / a0;
            t.a2 = ((A + 1) - (A - 1) * cw - beta) / a0;
            t.b0 = A * ((A + 1) + (A - 1) * cw + beta) / a0;
            t.b1 = -2 * A * ((A - 1) + (A + 1) * cw) / a0;
            t.b2 = A * ((A + 1) + (A - 1) * cw - beta) / a0;
            filters_ = true;
            break;
        }
        case BiquadType::Lowpass: {
            const double alpha = sw / (nyquistCorrection(f, fs, 0.50001, 8.0) * 2 * q);
            const double a0 = 1 + alpha;
            t.a0 = a0;
            t.a1 = -2 * cw / a0;
            t.a2 = (1 - alpha) / a0;
            t.b0 = (1 - cw) / 2 / a0;
            t.b1 = (1 - cw) / a0;
            t.b2 = (1 - cw) / 2 / a0;
            noise_ = 1e-13;
            filters_ = true;
            break;
        }
        default:
            // Pass-through, and any type number without a design: the signal is left untouched.
            filters_ = false;
            break;
    }
}

}  // namespace orv::dsp

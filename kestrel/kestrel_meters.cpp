#include "kestrel/kestrel_meters.h"

#include <cmath>

namespace kestrel {

using orv::dsp::Biquad;
using orv::dsp::BiquadType;

Meters::Meters() {
    for (Biquad& f : vuFilter_) f.create(44100.0, BiquadType::Lowpass, 2.0, 0.583, 0.0);
}

void Meters::beginBlock(MeterSource source, const MeterSettings& s, double rate, bool expansion, bool powerOff) {
    source_ = source;
    // While processing, Pre and GainRed ballistics are calibrated for twice the host rate.
    const double r = (powerOff || source == MeterSource::Post) ? rate : 2.0 * rate;
    cVu_ = 1.0 - std::pow(0.1091012, 1.0 / (r * s.vuIntegrationMs * 0.001));
    cInt_ = s.ppmIntegrationMs > 0.05 ? 1.0 - std::pow(0.01, 1.0 / (s.ppmIntegrationMs * r * 0.001)) : 1.0;
    cRet_ = 1.0 - std::pow(0.0625, 1.0 / (r * s.ppmReturnMs * 0.001));
    referenceInverse_ = s.vuReferenceInverse;
    overLimit_ = static_cast<int>(s.overCount);
    expansion_ = expansion;
}

void Meters::levelCommon(Channel& c, double a, double noise) {
    c.ppm += (a - c.ppm) * (a <= c.ppm ? cRet_ : cInt_) + noise;
    if (a >= 1.0)
        ++c.overCount;
    else if (c.overCount < overLimit_)
        c.overCount = 0;  // a count that reached the limit waits for the latch
    if (c.ppm > c.ppmHold) {
        c.ppmHold = c.ppm;
        c.ppmHoldAge = 0;
    }
    if (c.vu > c.vuHold) {
        c.vuHold = c.vu;
        c.vuHoldAge = 0;
    }
}

void Meters::gainCommon(Channel& c, double m, double noise) {
    if (expansion_)
        c.ppm += (m - c.ppm) * (m <= c.ppm ? cRet_ : cInt_) + noise;
    else
        c.ppm += (m - c.ppm) * (c.ppm <= m ? cRet_ : cInt_) + noise;
    // A deeper reduction lowers the hold at once; a rise above unity raises it.
    auto hold = [](double value, double& held, int& age) {
        if ((value > 1.0 && value > held) || (value < held && value > 0.01)) {
            held = value;
            age = 0;
        }
    };
    hold(c.vu, c.vuHold, c.vuHoldAge);
    hold(c.ppm, c.ppmHold, c.ppmHoldAge);
}

void Meters::feedLevel(double left, double right, double noise) {
    const double k = 1.4142136 * 1.096 * referenceInverse_;
    const double a = std::fabs(left), b = std::fabs(right);
    ch_[0].vu = vuFilter_[0].processPlain(a * k);
    ch_[1].vu = vuFilter_[1].processPlain(b * k);
    levelCommon(ch_[0], a, noise);
    levelCommon(ch_[1], b, noise);
}

void Meters::feedGain(double left, double right, double noise) {
    ch_[0].vu = vuFilter_[0].processPlain(left);
    ch_[1].vu = vuFilter_[1].processPlain(right);
    gainCommon(ch_[0], left, noise);
    gainCommon(ch_[1], right, noise);
}

// The chunk feeds keep the channel and its filter in locals, so the loop runs on registers
// instead of reloading members after every store. The channels do not depend on each other.
void Meters::levelChunk(Channel& channel, Biquad& vuFilter, const double* x, const double* noise, int noiseStride,
                        int n) {
    const double k = 1.4142136 * 1.096 * referenceInverse_;
    const double cInt = cInt_, cRet = cRet_;
    const int overLimit = overLimit_;
    Channel c = channel;
    Biquad f = vuFilter;
    for (int i = 0; i < n; ++i) {
        const double a = std::fabs(x[i]);
        c.vu = f.processPlain(a * k);
        c.ppm += (a - c.ppm) * (a <= c.ppm ? cRet : cInt) + noise[i * noiseStride];
        if (a >= 1.0)
            ++c.overCount;
        else if (c.overCount < overLimit)
            c.overCount = 0;
        if (c.ppm > c.ppmHold) {
            c.ppmHold = c.ppm;
            c.ppmHoldAge = 0;
        }
        if (c.vu > c.vuHold) {
            c.vuHold = c.vu;
            c.vuHoldAge = 0;
        }
    }
    channel = c;
    vuFilter = f;
}

void Meters::gainChunk(Channel& channel, Biquad& vuFilter, const double* x, const double* noise, int n) {
    const double cInt = cInt_, cRet = cRet_;
    const bool expansion = expansion_;
    Channel c = channel;
    Biquad f = vuFilter;
    for (int i = 0; i < n; ++i) {
        const double m = x[i];
        c.vu = f.processPlain(m);
        const bool returning = expansion ? m <= c.ppm : c.ppm <= m;
        c.ppm += (m - c.ppm) * (returning ? cRet : cInt) + noise[i];
        if ((c.vu > 1.0 && c.vu > c.vuHold) || (c.vu < c.vuHold && c.vu > 0.01)) {
            c.vuHold = c.vu;
            c.vuHoldAge = 0;
        }
        if ((c.ppm > 1.0 && c.ppm > c.ppmHold) || (c.ppm < c.ppmHold && c.ppm > 0.01)) {
            c.ppmHold = c.ppm;
            c.ppmHoldAge = 0;
        }
    }
    channel = c;
    vuFilter = f;
}

void Meters::feedLevelChunk(const double* left, const double* right, const double* noise, int noiseStride, int n) {
    levelChunk(ch_[0], vuFilter_[0], left, noise, noiseStride, n);
    levelChunk(ch_[1], vuFilter_[1], right, noise, noiseStride, n);
}

void Meters::feedGainChunk(const double* left, const double* right, const double* noise, int n) {
    gainChunk(ch_[0], vuFilter_[0], left, noise, n);
    gainChunk(ch_[1], vuFilter_[1], right, noise, n);
}

void Meters::feedLevelPowerOff(double left, double right, double noise) {
    const double k = 1.096 * 1.4142136 * referenceInverse_;
    const double a = std::fabs(left), b = std::fabs(right);
    ch_[0].vu += (a * k - ch_[0].vu) * cVu_ + noise;
    ch_[1].vu += (b * k - ch_[1].vu) * cVu_ + noise;
    levelCommon(ch_[0], a, noise);
    levelCommon(ch_[1], b, noise);
}

void Meters::feedUnityPowerOff(double noise) {
    for (Channel& c : ch_) {
        c.vu += (1.0 - c.vu) * cVu_ + noise;
        c.overCount = 0;
        gainCommon(c, 1.0, noise);
    }
}

void Meters::ageHolds(int samples) {
    // Ages saturate instead of overflowing when no editor ever releases the holds.
    constexpr int kMaxAge = 1 << 30;
    if (samples <= 0) return;
    for (Channel& c : ch_) {
        c.vuHoldAge = c.vuHoldAge > kMaxAge - samples ? kMaxAge : c.vuHoldAge + samples;
        c.ppmHoldAge = c.ppmHoldAge > kMaxAge - samples ? kMaxAge : c.ppmHoldAge + samples;
    }
}

void Meters::latchOvers(double limit) {
    for (Channel& c : ch_) {
        if (c.overCount >= limit) {
            c.overFlag = 1.0;
            c.overCount = 0;
        } else {
            c.overFlag = 0.0;
        }
    }
}

void Meters::setVuRate(double rate) {
    for (Biquad& f : vuFilter_) f.setRate(rate);
}

void Meters::setVuIntegration(double ms) {
    for (Biquad& f : vuFilter_) {
        f.setFrequency(700.0 / ms);
        f.reset();
    }
}

void Meters::resetVuFilters() {
    for (Biquad& f : vuFilter_) {
        f.setRate(f.sampleRate());
        f.reset();
    }
}

void Meters::clear() {
    ch_[0] = Channel();
    ch_[1] = Channel();
}

void Meters::releaseVuHold(int channel) {
    Channel& c = ch_[channel & 1];
    c.vuHold = source_ == MeterSource::GainRed ? 1.0 : 0.0;
    c.vuHoldAge = 0;
}

void Meters::releasePpmHold(int channel) {
    Channel& c = ch_[channel & 1];
    c.ppmHold = source_ == MeterSource::GainRed ? 1.0 : 0.0;
    c.ppmHoldAge = 0;
}

}  // namespace kestrel

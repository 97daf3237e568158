#include "kestrel/kestrel_meters.h"

#include "borealis/meter_holds.h"

#include <cmath>

namespace kestrel {

using orv::dsp::Biquad;
using orv::dsp::BiquadType;

Meters::Meters() {
    vu_.create(44100.0, BiquadType::Lowpass, 2.0, 0.583, 0.0);
}

void Meters::beginBlock(MeterSource source, const MeterSettings& s, double rate, bool expansion, bool powerOff) {
    source_ = source;
    // While processing, Pre and GainRed ballistics are calibrated for twice the host rate.
    const double r = (powerOff || source == MeterSource::Post) ? rate : 2.0 * rate;
    ballistics_.update(r, s.vuIntegrationMs, s.ppmIntegrationMs, s.ppmReturnMs);
    cVu_ = ballistics_.vu();
    cInt_ = ballistics_.integration();
    cRet_ = ballistics_.ret();
    referenceInverse_ = s.vuReferenceInverse;
    overLimit_ = static_cast<int>(s.overCount);
    expansion_ = expansion;
}

void Meters::levelCommon(Channel& c, double a, double noise) { followLevel(c, a, noise, cInt_, cRet_, overLimit_); }

void Meters::gainCommon(Channel& c, double m, double noise) {
    if (expansion_)
        c.ppm += (m - c.ppm) * (m <= c.ppm ? cRet_ : cInt_) + noise;
    else
        c.ppm += (m - c.ppm) * (c.ppm <= m ? cRet_ : cInt_) + noise;
    // A deeper reduction lowers the hold at once; a rise above unity raises it.
    auto hold = [](double value, double& held, int& age) {
        if (orv::gainHoldTakes(value, held)) {
            held = value;
            age = 0;
        }
    };
    hold(c.vu, c.vuHold, c.vuHoldAge);
    hold(c.ppm, c.ppmHold, c.ppmHoldAge);
}

void Meters::feedLevel(double left, double right, double noise) {
    const double k = kLevelScale * referenceInverse_;
    const double a = std::fabs(left), b = std::fabs(right);
    double vL = a * k, vR = b * k;
    vu_.processPlain(vL, vR);
    ch_[0].vu = vL;
    ch_[1].vu = vR;
    levelCommon(ch_[0], a, noise);
    levelCommon(ch_[1], b, noise);
}

void Meters::feedGain(double left, double right, double noise) {
    double vL = left, vR = right;
    vu_.processPlain(vL, vR);
    ch_[0].vu = vL;
    ch_[1].vu = vR;
    gainCommon(ch_[0], left, noise);
    gainCommon(ch_[1], right, noise);
}

void Meters::feedLevelPowerOff(double left, double right, double noise) {
    const double k = kLevelScale * referenceInverse_;
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


void Meters::setVuRate(double rate) { vu_.setRate(rate); }

void Meters::setVuIntegration(double ms) {
    vu_.setFrequency(700.0 / ms);
    vu_.reset();
}

void Meters::resetVuFilters() {
    vu_.setRate(vu_.filter().sampleRate());
    vu_.reset();
}

}  // namespace kestrel

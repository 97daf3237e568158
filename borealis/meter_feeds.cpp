#include "borealis/meter_feeds.h"

#include <cmath>

namespace borealis {

void MeterFeeds::beginBlock(const BorealisSettings& s, double hostRate) {
    source_ = orv::meterSourceFor(s.meterSource);
    // The ballistics are calibrated for twice the host rate in the Pre and GainRed modes.
    const double rate = source_ == MeterSource::Post ? hostRate : 2.0 * hostRate;
    ballistics_.update(rate, s.vuIntegrationMs, s.ppmIntegrationMs, s.ppmReturnMs);
    cVu_ = ballistics_.vu();
    cInt_ = ballistics_.integration();
    cRet_ = ballistics_.ret();
    referenceInverse_ = s.vuReferenceInverse;
    overLimit_ = static_cast<int>(s.overCount);
    expansion_ = s.ratioIndex < 6;
}

void MeterFeeds::level(Channel& c, double x, double noise) {
    const double a = std::fabs(x);
    c.vu += (a * 1.096 * 1.4142136 * referenceInverse_ - c.vu) * cVu_ + noise;
    c.ppm += (a - c.ppm) * (a <= c.ppm ? cRet_ : cInt_) + noise;
    if (a >= 1.0)
        ++c.overCount;
    else if (c.overCount < overLimit_)
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

void MeterFeeds::feedLevel(double left, double right, double noise) {
    level(ch_[0], left, noise);
    level(ch_[1], right, noise);
}

void MeterFeeds::ageHolds(int samples) {
    // Ages saturate instead of overflowing when no editor ever releases the holds.
    constexpr int kMaxAge = 1 << 30;
    if (samples <= 0) return;
    for (Channel& c : ch_) {
        c.vuHoldAge = c.vuHoldAge > kMaxAge - samples ? kMaxAge : c.vuHoldAge + samples;
        c.ppmHoldAge = c.ppmHoldAge > kMaxAge - samples ? kMaxAge : c.ppmHoldAge + samples;
    }
}

void MeterFeeds::latchOvers(double limit) {
    for (Channel& c : ch_) {
        if (c.overCount >= limit) {
            c.overFlag = 1.0;
            c.overCount = 0;
        } else {
            c.overFlag = 0.0;
        }
    }
}

}  // namespace borealis

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
    followLevel(c, a, noise, cInt_, cRet_, overLimit_);
}

void MeterFeeds::feedLevel(double left, double right, double noise) {
    level(ch_[0], left, noise);
    level(ch_[1], right, noise);
}


}  // namespace borealis

#pragma once
// The three follower coefficients of the VU and PPM meters, from the meter rate and the VU
// integration, PPM integration and PPM return times. They are recomputed only when one of the
// four inputs changes, since each needs a power function and the meters ask for them on every
// block; the values are exactly those of a fresh computation.
#include <cmath>

namespace orv {

class MeterBallistics {
public:
    void update(double rate, double vuMs, double ppmIntegrationMs, double ppmReturnMs) {
        // A NaN input never compares equal, so it is recomputed every time, like a fresh value.
        if (rate == rate_ && vuMs == vuMs_ && ppmIntegrationMs == ppmIntegrationMs_ && ppmReturnMs == ppmReturnMs_)
            return;
        rate_ = rate;
        vuMs_ = vuMs;
        ppmIntegrationMs_ = ppmIntegrationMs;
        ppmReturnMs_ = ppmReturnMs;
        vu_ = 1.0 - std::pow(0.1091012, 1.0 / (rate * vuMs * 0.001));
        integration_ =
            ppmIntegrationMs > 0.05 ? 1.0 - std::pow(0.01, 1.0 / (ppmIntegrationMs * rate * 0.001)) : 1.0;
        return_ = 1.0 - std::pow(0.0625, 1.0 / (rate * ppmReturnMs * 0.001));
    }
    double vu() const { return vu_; }
    double integration() const { return integration_; }
    double ret() const { return return_; }

private:
    // No meter rate is negative, so the first update always computes.
    double rate_ = -1.0, vuMs_ = -1.0, ppmIntegrationMs_ = -1.0, ppmReturnMs_ = -1.0;
    double vu_ = 0.0, integration_ = 1.0, return_ = 0.0;
};

}  // namespace orv

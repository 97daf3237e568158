#include "tools/orv-host/dither.h"

#include <cmath>

namespace orvhost {

TpdfDither::TpdfDither(int bits) {
    // Writers scale full scale to 2^(bits-1) steps, so one step is the reciprocal of that.
    if (bits > 0 && bits < 32) step = 1.0 / std::ldexp(1.0, bits - 1);
}

double TpdfDither::uniform() {
    // xorshift64*: fast and good enough for noise; the top 53 bits make a value in [0, 1).
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return static_cast<double>((state * 0x2545F4914F6CDD1Dull) >> 11) * (1.0 / 9007199254740992.0);
}

void TpdfDither::apply(double* interleaved, std::size_t samples) {
    if (!active()) return;
    for (std::size_t i = 0; i < samples; ++i) interleaved[i] += step * (uniform() - uniform());
}

SampleQuantiser::SampleQuantiser(int bits, bool withDither) : dither(withDither ? bits : 0) {
    if (bits > 0) steps = std::ldexp(1.0, bits - 1);
}

void SampleQuantiser::apply(double* x, std::size_t samples) {
    if (steps == 0.0) return;
    dither.apply(x, samples);
    const double top = steps - 1.0;
    for (std::size_t i = 0; i < samples; ++i) {
        double v = std::isnan(x[i]) ? 0.0 : std::nearbyint(x[i] * steps);
        if (v > top || v < -steps) {
            ++clips;
            v = v > top ? top : -steps;
        }
        x[i] = v / steps;
    }
}

}  // namespace orvhost

#pragma once
// TPDF dither for writing audio at a lower integer resolution: the sum of two independent
// uniform values of one step each is added before the writer rounds, so that quantisation error
// becomes steady noise instead of distortion that follows the signal.
#include <cstddef>
#include <cstdint>

namespace orvhost {

class TpdfDither {
public:
    // `bits` is the output's integer resolution; 0 turns dither off.
    explicit TpdfDither(int bits);
    bool active() const { return step > 0.0; }
    void apply(double* interleaved, std::size_t samples);

private:
    double uniform();
    double step = 0.0;
    std::uint64_t state = 0x853C49E6748FEA9Bull;  // fixed seed: the same input gives the same file
};

}  // namespace orvhost

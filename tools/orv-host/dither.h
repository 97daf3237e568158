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

// Puts processed samples exactly where the output file will hold them, so that whatever is
// measured of them afterwards describes the file as written: integer samples get TPDF dither at
// the output's step (when asked), are rounded to the nearest step and clip at full scale (the
// largest positive step is one below full scale); float and lossy outputs pass unchanged. Not a
// number becomes silence. Counts the samples that clipped.
class SampleQuantiser {
public:
    // `bits` is the output's integer resolution, 0 for float and lossy outputs.
    SampleQuantiser(int bits, bool dither);
    bool dithers() const { return dither.active(); }
    void apply(double* interleaved, std::size_t samples);
    unsigned long long clipped() const { return clips; }

private:
    TpdfDither dither;
    double steps = 0.0;  // 2^(bits-1); 0 leaves samples as they are
    unsigned long long clips = 0;
};

}  // namespace orvhost

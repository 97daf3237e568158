#pragma once
// The values the editor's meters show, computed inside the audio loop: per channel a VU and a
// PPM follower with their held extremes and hold ages, and an over indicator. Written by the
// audio thread, read (and holds released or cleared) by the editor's timer without a lock; each
// value is a single double or integer.
#include "borealis/borealis_settings.h"
#include "borealis/dsp/code_path.h"
#include "borealis/meter_ballistics.h"
#include "borealis/meter_channels.h"

namespace borealis {

using orv::MeterSource;

class MeterFeeds : public orv::MeterChannels {
public:
    // Coefficients and source for the next block.
    void beginBlock(const BorealisSettings& s, double hostRate);

    // Pre (delayed input) or Post (output) level, one sample of both channels.
    void feedLevel(double left, double right, double noise);
    // GainRed: the meter value m per channel (1.0 = no gain change).
    void feedGain(double left, double right, double noise);
    // `count` feedGain calls in one pass, both channels side by side in SSE2 lanes: the same
    // operations in the same order, so exactly what the single calls give.
    void feedGainChunk(const double* left, const double* right, const double* noise, int count);
#if ORV_HAS_WIDE_PATH
    // The wide code path's feedGainChunk: the VU and PPM followers of both channels in the four
    // lanes of one AVX register, the same operations lane for lane, so exactly the same values.
    // Only for processors that run the wide path.
    __attribute__((target("avx2,fma"))) void feedGainChunkWide(const double* left, const double* right,
                                                               const double* noise, int count);
#endif
    // The meter value of a gain factor: the gain scaled by the mix, times the limiter gain.
    // (limiterGain is 1 when the limiter is off).
    static double gainMeterValue(double gain, double mix, double limiterGain) {
        const double g = 0.98 * gain;
        return (((g < 0.0 ? -g : g) - 1.0) * mix + 1.0) * limiterGain;
    }
    void ageHolds(int samples);
    // After a block: an over count that reached `limit` shows the over and starts again.
    void latchOvers(double limit);

private:
#if ORV_HAS_WIDE_PATH
    template <bool kExpansion>
    __attribute__((target("avx2,fma"))) void gainChunkWide(const double* left, const double* right,
                                                           const double* noise, int count);
#endif
    void level(Channel& c, double x, double noise);
    void gain(Channel& c, double m, double noise);

    orv::MeterBallistics ballistics_;
    double cVu_ = 0, cInt_ = 1, cRet_ = 0;
    double referenceInverse_ = 1.0;
    int overLimit_ = 3;
    bool expansion_ = false;
};

}  // namespace borealis

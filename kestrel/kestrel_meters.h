#pragma once
// The values Kestrel's meters show, computed inside the audio loop: per channel a VU value (from
// a second-order ballistics low-pass while processing, a one-pole follower while powered off), a
// PPM follower, their held extremes and hold ages, and an over indicator. Written by the audio
// thread and read (holds released or cleared) by the editor's timer without a lock; every value
// is a single aligned double or integer.
#include "borealis/dsp/biquad.h"
#include "borealis/dsp/code_path.h"
#include "kestrel/wide_path_attributes.h"
#include "borealis/meter_ballistics.h"
#include "borealis/meter_channels.h"

// A wide-path function the kernels call once a chunk but do not take in (see feedGainChunkWide).
#if ORV_HAS_WIDE_PATH
#define KESTREL_WIDE_OUT_OF_LINE ORV_WIDE_PATH __attribute__((noinline))
#else
#define KESTREL_WIDE_OUT_OF_LINE
#endif

namespace kestrel {

using orv::MeterSource;

// The ballistics settings the meters are computed from (engine units).
struct MeterSettings {
    double vuIntegrationMs = 300.0;
    double vuReferenceInverse = 10.0;
    double ppmIntegrationMs = 10.0;
    double ppmReturnMs = 1000.0;
    double overCount = 3.0;
};

class Meters : public orv::MeterChannels {
public:
    Meters();

    // The meter value of a gain factor: the reduction scaled by Mix (1.0 = no gain change).
    static double gainMeterValue(double gain, double mix) {
        const double g = 0.98 * gain;
        return ((g < 0.0 ? -g : g) - 1.0) * mix + 1.0;
    }

    // Coefficients for the next block. `rate` is the host rate; `powerOff` selects the
    // power-off ballistics (all coefficients at the host rate).
    void beginBlock(MeterSource source, const MeterSettings& s, double rate, bool expansion, bool powerOff);

    // Processing: the VU runs through the ballistics low-pass.
    void feedLevel(double left, double right, double noise);
    void feedGain(double left, double right, double noise);
    // A whole chunk of `n` frames at once, with the same result as feeding them one by one.
    // `noise` holds one value per frame, or one for the whole chunk when noiseStride is 0.
    void feedLevelChunk(const double* left, const double* right, const double* noise, int noiseStride, int n);
    void feedGainChunk(const double* left, const double* right, const double* noise, int n);
    // The same for the wide path (the same values, the holds of both channels' VU and PPM in
    // one register). Kept out of the kernels, whose registers it would otherwise crowd.
    KESTREL_WIDE_OUT_OF_LINE void feedGainChunkWide(const double* left, const double* right, const double* noise, int n);
    // Power off: one-pole VU follower; GainRed returns both channels towards unity.
    void feedLevelPowerOff(double left, double right, double noise);
    void feedUnityPowerOff(double noise);
    // The same for a whole chunk of `n` frames, whose noise value starts from `noise` and
    // changes sign every frame (first frame: -noise); they return the last frame's value.
    double feedLevelPowerOffChunk(const double* left, const double* right, double noise, int n);
    double feedUnityPowerOffChunk(double noise, int n);

    void ageHolds(int samples);
    // After a block: an over count that reached `limit` shows the over and starts again.
    void latchOvers(double limit);

    // The two VU ballistics filters.
    void setVuRate(double rate);
    void setVuIntegration(double ms);
    void resetVuFilters();
    // Both channels' filters always take the same settings, so one design serves both.
    const orv::dsp::Biquad& vuFilter(int) const { return vu_.filter(); }

private:
    void levelCommon(Channel& c, double a, double noise);
    void gainCommon(Channel& c, double m, double noise);
    template <bool kPowerOff>
    double levelChunk(const double* left, const double* right, const double* noise, int noiseStride, int n);
    template <bool kExpansion>
    double unityChunk(double noise, int n);
    template <bool kExpansion>
    void gainChunk(const double* left, const double* right, const double* noise, int n);
    template <bool kExpansion>
    ORV_WIDE_PATH void gainChunkWide(const double* left, const double* right, const double* noise, int n);

    orv::dsp::BiquadPair vu_;  // the VU ballistics filters of both channels
    orv::MeterBallistics ballistics_;
    double cVu_ = 0, cInt_ = 1, cRet_ = 0;
    double referenceInverse_ = 10.0;
    int overLimit_ = 3;
    bool expansion_ = false;
};

}  // namespace kestrel

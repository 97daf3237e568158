#pragma once
// The values Kestrel's meters show, computed inside the audio loop: per channel a VU value (from
// a second-order ballistics low-pass while processing, a one-pole follower while powered off), a
// PPM follower, their held extremes and hold ages, and an over indicator. Written by the audio
// thread and read (holds released or cleared) by the editor's timer without a lock; every value
// is a single aligned double or integer.
#include "borealis/dsp/biquad.h"
#include "borealis/dsp/simd.h"
#include "borealis/meter_ballistics.h"
#include "borealis/meter_channels.h"

namespace kestrel {

using orv::MeterSource;
namespace simd = orv::simd;

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
    // A whole chunk of `n` frames at once, with the same result as feeding them one by one, on
    // the code path of instruction set A (meter_chunks.h). `noise` holds one value per frame,
    // or one for the whole chunk when noiseStride is 0.
    template <class A>
    void feedLevelChunk(const double* left, const double* right, const double* noise, int noiseStride, int n);
    template <class A>
    void feedGainChunk(const double* left, const double* right, const double* noise, int n);
    // Power off: one-pole VU follower; GainRed returns both channels towards unity.
    void feedLevelPowerOff(double left, double right, double noise);
    void feedUnityPowerOff(double noise);
    // The same for a whole chunk of `n` frames, whose noise value starts from `noise` and
    // changes sign every frame (first frame: -noise); they return the last frame's value.
    template <class A>
    double feedLevelPowerOffChunk(const double* left, const double* right, double noise, int n);
    template <class A>
    double feedUnityPowerOffChunk(double noise, int n);


    // The two VU ballistics filters.
    void setVuRate(double rate);
    void setVuIntegration(double ms);
    void resetVuFilters();
    // Both channels' filters always take the same settings, so one design serves both.
    const orv::dsp::Biquad& vuFilter(int) const { return vu_.filter(); }

private:
    // The level meters' scale from a peak to the VU (before the reference).
    static constexpr double kLevelScale = 1.4142136 * 1.096;
    // The frames a chunk feed takes in one pass.
    static constexpr int kMaxChunk = 64;

    void levelCommon(Channel& c, double a, double noise);
    void gainCommon(Channel& c, double m, double noise);
    template <class A, bool kPowerOff>
    double levelChunk(const double* left, const double* right, const double* noise, int noiseStride, int n);
    template <class A, bool kExpansion>
    double unityChunk(double noise, int n);
    template <class A, bool kExpansion>
    void gainChunk(const double* left, const double* right, const double* noise, int n);
    template <class A>
    void storeChunkEnd(simd::Doubles<A, 2> vu, simd::Doubles<A, 2> ppm, simd::Doubles<A, 2> vuHold,
                       simd::Doubles<A, 2> ppmHold, int vuBits, int ppmBits);

    orv::dsp::BiquadPair vu_;  // the VU ballistics filters of both channels
    orv::MeterBallistics ballistics_;
    double cVu_ = 0, cInt_ = 1, cRet_ = 0;
    double referenceInverse_ = 10.0;
    int overLimit_ = 3;
    bool expansion_ = false;
};

}  // namespace kestrel

#pragma once
// The values the editor's meters show, computed inside the audio loop: per channel a VU and a
// PPM follower with their held extremes and hold ages, and an over indicator. Written by the
// audio thread, read (and holds released or cleared) by the editor's timer without a lock; each
// value is a single double or integer.
#include "borealis/borealis_settings.h"

namespace borealis {

enum class MeterSource { Pre = 0, GainRed = 1, Post = 2 };

class MeterFeeds {
public:
    // Meters parameter (normalised) to the source it selects.
    static MeterSource sourceFor(double meters) {
        const int m = static_cast<int>(2.0 * meters + 0.5);
        return m <= 0 ? MeterSource::Pre : m == 1 ? MeterSource::GainRed : MeterSource::Post;
    }

    // Coefficients and source for the next block.
    void beginBlock(const BorealisSettings& s, double hostRate);
    MeterSource source() const { return source_; }

    // Pre (delayed input) or Post (output) level, one sample of both channels.
    void feedLevel(double left, double right, double noise);
    // GainRed: the meter value m per channel (1.0 = no gain change).
    void feedGain(double left, double right, double noise);
    // The meter value of a gain factor: the gain scaled by the mix, times the limiter gain.
    // (limiterGain is 1 when the limiter is off).
    static double gainMeterValue(double gain, double mix, double limiterGain) {
        const double g = 0.98 * gain;
        return (((g < 0.0 ? -g : g) - 1.0) * mix + 1.0) * limiterGain;
    }
    void ageHolds(int samples);
    // After a block: an over count that reached `limit` shows the over and starts again.
    void latchOvers(double limit);

    // Everything back to the values after suspend.
    void clear();
    // A click on a meter: the followers, over flags and over counts start again; holds stay.
    void clearFollowers();
    // The editor releases a hold after it has been shown long enough.
    void releaseVuHold(int channel);
    void releasePpmHold(int channel);

    double vu(int channel) const { return ch_[channel & 1].vu; }
    double ppm(int channel) const { return ch_[channel & 1].ppm; }
    double vuHold(int channel) const { return ch_[channel & 1].vuHold; }
    double ppmHold(int channel) const { return ch_[channel & 1].ppmHold; }
    int vuHoldAge(int channel) const { return ch_[channel & 1].vuHoldAge; }
    int ppmHoldAge(int channel) const { return ch_[channel & 1].ppmHoldAge; }
    int overCount(int channel) const { return ch_[channel & 1].overCount; }
    double overFlag(int channel) const { return ch_[channel & 1].overFlag; }

private:
    struct Channel {
        double vu = 0, ppm = 0, vuHold = 0, ppmHold = 0;
        int vuHoldAge = 0, ppmHoldAge = 0;
        int overCount = 0;
        double overFlag = 0.01;
    };
    void level(Channel& c, double x, double noise);
    void gain(Channel& c, double m, double noise);

    Channel ch_[2];
    MeterSource source_ = MeterSource::GainRed;
    double cVu_ = 0, cInt_ = 1, cRet_ = 0;
    double referenceInverse_ = 1.0;
    int overLimit_ = 3;
    bool expansion_ = false;
};

}  // namespace borealis

#pragma once
// What both engines' meter feeds hold per channel and how the editor reads and clears it: a VU
// and a PPM follower, their held extremes and hold ages, an over count and an over flag. The
// audio thread writes these values and the editor's timer reads them (and releases or clears
// them) without a lock; each is a single double or integer.

namespace orv {

enum class MeterSource { Pre = 0, GainRed = 1, Post = 2 };

// The Meters parameter (normalised) to the source it selects.
inline MeterSource meterSourceFor(double meters) {
    const int m = static_cast<int>(2.0 * meters + 0.5);
    return m <= 0 ? MeterSource::Pre : m == 1 ? MeterSource::GainRed : MeterSource::Post;
}

class MeterChannels {
public:
    MeterSource source() const { return source_; }

    // Everything back to the values after suspend.
    void clear() {
        ch_[0] = Channel();
        ch_[1] = Channel();
    }
    // A click on a meter: the followers, over flags and over counts start again; holds stay.
    void clearFollowers() {
        for (Channel& c : ch_) {
            const Channel rest;
            c.vu = rest.vu;
            c.ppm = rest.ppm;
            c.overFlag = rest.overFlag;
            c.overCount = rest.overCount;
        }
    }
    // The editor releases a hold after it has been shown long enough: back to the rest value
    // of the source (unity gain when the meters show gain reduction, silence otherwise).
    void releaseVuHold(int channel) {
        Channel& c = ch_[channel & 1];
        c.vuHold = restLevel();
        c.vuHoldAge = 0;
    }
    void releasePpmHold(int channel) {
        Channel& c = ch_[channel & 1];
        c.ppmHold = restLevel();
        c.ppmHoldAge = 0;
    }

    double vu(int channel) const { return ch_[channel & 1].vu; }
    double ppm(int channel) const { return ch_[channel & 1].ppm; }
    double vuHold(int channel) const { return ch_[channel & 1].vuHold; }
    double ppmHold(int channel) const { return ch_[channel & 1].ppmHold; }
    int vuHoldAge(int channel) const { return ch_[channel & 1].vuHoldAge; }
    int ppmHoldAge(int channel) const { return ch_[channel & 1].ppmHoldAge; }
    int overCount(int channel) const { return ch_[channel & 1].overCount; }
    double overFlag(int channel) const { return ch_[channel & 1].overFlag; }

protected:
    struct Channel {
        double vu = 0, ppm = 0, vuHold = 0, ppmHold = 0;
        int vuHoldAge = 0, ppmHoldAge = 0;
        int overCount = 0;
        double overFlag = 0.01;
    };
    double restLevel() const { return source_ == MeterSource::GainRed ? 1.0 : 0.0; }

    Channel ch_[2];
    MeterSource source_ = MeterSource::GainRed;
};

}  // namespace orv

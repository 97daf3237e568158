#pragma once
// What both engines' meter feeds hold per channel and how the editor reads and clears it: a VU
// and a PPM follower, their held extremes and hold ages, an over count and an over flag. The
// audio thread works on these values alone; after every block it publishes a copy in atomic
// slots, which the editor's timer reads on the interface thread. What the editor does to the
// meters (release a hold, clear on a click) it asks for with request bits that the audio
// thread carries out at the start of its next block; nothing is locked.
#include <atomic>
#include <cstdint>

namespace orv {

enum class MeterSource { Pre = 0, GainRed = 1, Post = 2 };

// The Meters parameter (normalised) to the source it selects.
inline MeterSource meterSourceFor(double meters) {
    const int m = static_cast<int>(2.0 * meters + 0.5);
    return m <= 0 ? MeterSource::Pre : m == 1 ? MeterSource::GainRed : MeterSource::Post;
}

class MeterChannels {
public:
    MeterChannels() { publish(); }
    MeterChannels(const MeterChannels& other) : ch_{other.ch_[0], other.ch_[1]}, source_(other.source_) { publish(); }
    MeterChannels& operator=(const MeterChannels& other) {
        ch_[0] = other.ch_[0];
        ch_[1] = other.ch_[1];
        source_ = other.source_;
        publish();
        return *this;
    }

    MeterSource source() const { return source_; }

    // Everything back to the values after suspend (no block is running then).
    void clear() {
        ch_[0] = Channel();
        ch_[1] = Channel();
        requests_.store(0, std::memory_order_relaxed);
        publish();
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

    // After a block of `samples` frames: every hold is that much older. Ages saturate instead
    // of overflowing when no editor ever releases the holds.
    void ageHolds(int samples) {
        constexpr int kMaxAge = 1 << 30;
        if (samples <= 0) return;
        for (Channel& c : ch_) {
            c.vuHoldAge = c.vuHoldAge > kMaxAge - samples ? kMaxAge : c.vuHoldAge + samples;
            c.ppmHoldAge = c.ppmHoldAge > kMaxAge - samples ? kMaxAge : c.ppmHoldAge + samples;
        }
    }
    // After a block: an over count that reached `limit` shows the over and starts again.
    void latchOvers(double limit) {
        for (Channel& c : ch_) {
            if (c.overCount >= limit) {
                c.overFlag = 1.0;
                c.overCount = 0;
            } else {
                c.overFlag = 0.0;
            }
        }
    }

    double vu(int channel) const { return ch_[channel & 1].vu; }
    double ppm(int channel) const { return ch_[channel & 1].ppm; }
    double vuHold(int channel) const { return ch_[channel & 1].vuHold; }
    double ppmHold(int channel) const { return ch_[channel & 1].ppmHold; }
    int vuHoldAge(int channel) const { return ch_[channel & 1].vuHoldAge; }
    int ppmHoldAge(int channel) const { return ch_[channel & 1].ppmHoldAge; }
    int overCount(int channel) const { return ch_[channel & 1].overCount; }
    double overFlag(int channel) const { return ch_[channel & 1].overFlag; }

    // --- Between the audio thread and the editor ---

    // What the editor shows of one channel: the values after the last block, or what the
    // editor's own requests have made of them since.
    struct Shown {
        double vu, ppm, vuHold, ppmHold, overFlag;
        int vuHoldAge, ppmHoldAge;
    };
    Shown shown(int channel) const {
        const ShownChannel& s = shown_[channel & 1];
        constexpr auto r = std::memory_order_relaxed;
        return {s.vu.load(r),       s.ppm.load(r),       s.vuHold.load(r), s.ppmHold.load(r), s.overFlag.load(r),
                s.vuHoldAge.load(r), s.ppmHoldAge.load(r)};
    }
    // Interface thread: release a hold, or clear the followers, over flags and counts (a click
    // on a meter). The shown values change at once; the audio thread follows at its next block.
    void requestVuHoldRelease(int channel) {
        request(kReleaseVuHold << (channel & 1));
        ShownChannel& s = shown_[channel & 1];
        s.vuHold.store(shownRestLevel(), std::memory_order_relaxed);
        s.vuHoldAge.store(0, std::memory_order_relaxed);
    }
    void requestPpmHoldRelease(int channel) {
        request(kReleasePpmHold << (channel & 1));
        ShownChannel& s = shown_[channel & 1];
        s.ppmHold.store(shownRestLevel(), std::memory_order_relaxed);
        s.ppmHoldAge.store(0, std::memory_order_relaxed);
    }
    void requestClearFollowers() {
        request(kClearFollowers);
        const Channel rest;
        for (ShownChannel& s : shown_) {
            s.vu.store(rest.vu, std::memory_order_relaxed);
            s.ppm.store(rest.ppm, std::memory_order_relaxed);
            s.overFlag.store(rest.overFlag, std::memory_order_relaxed);
        }
    }
    // Audio thread, at the start of a block: carries out what the editor asked for.
    void applyEditorRequests() {
        if (requests_.load(std::memory_order_relaxed) == 0) return;
        const std::uint32_t r = requests_.exchange(0, std::memory_order_acquire);
        if (r & kClearFollowers) clearFollowers();
        for (int c = 0; c < 2; ++c) {
            if (r & (kReleaseVuHold << c)) releaseVuHold(c);
            if (r & (kReleasePpmHold << c)) releasePpmHold(c);
        }
    }
    // Audio thread, after a block: the values for the editor. While a request of the editor is
    // still waiting for the next block, the values it has already shown stay.
    void publish() {
        if (requests_.load(std::memory_order_relaxed) != 0) return;
        constexpr auto r = std::memory_order_relaxed;
        for (int c = 0; c < 2; ++c) {
            const Channel& ch = ch_[c];
            ShownChannel& s = shown_[c];
            s.vu.store(ch.vu, r);
            s.ppm.store(ch.ppm, r);
            s.vuHold.store(ch.vuHold, r);
            s.ppmHold.store(ch.ppmHold, r);
            s.overFlag.store(ch.overFlag, r);
            s.vuHoldAge.store(ch.vuHoldAge, r);
            s.ppmHoldAge.store(ch.ppmHoldAge, r);
        }
        shownGainSource_.store(source_ == MeterSource::GainRed, r);
    }

protected:
    struct Channel {
        double vu = 0, ppm = 0, vuHold = 0, ppmHold = 0;
        int vuHoldAge = 0, ppmHoldAge = 0;
        int overCount = 0;
        double overFlag = 0.01;
    };
    double restLevel() const { return source_ == MeterSource::GainRed ? 1.0 : 0.0; }
    // One frame of a level meter whose VU has already moved: the PPM follows the peak `a`
    // (integration while it rises, return while it falls), a peak at full scale counts towards
    // an over, and the holds take any new highest value.
    static void followLevel(Channel& c, double a, double noise, double cInt, double cRet, int overLimit) {
        c.ppm += (a - c.ppm) * (a <= c.ppm ? cRet : cInt) + noise;
        if (a >= 1.0)
            ++c.overCount;
        else if (c.overCount < overLimit)
            c.overCount = 0;  // a count that reached the limit waits for the latch
        if (c.ppm > c.ppmHold) {
            c.ppmHold = c.ppm;
            c.ppmHoldAge = 0;
        }
        if (c.vu > c.vuHold) {
            c.vuHold = c.vu;
            c.vuHoldAge = 0;
        }
    }

    Channel ch_[2];
    MeterSource source_ = MeterSource::GainRed;

private:
    enum : std::uint32_t { kClearFollowers = 1, kReleaseVuHold = 2, kReleasePpmHold = 8 };  // hold bits: << channel
    struct ShownChannel {
        std::atomic<double> vu{0}, ppm{0}, vuHold{0}, ppmHold{0}, overFlag{0};
        std::atomic<int> vuHoldAge{0}, ppmHoldAge{0};
    };
    void request(std::uint32_t bits) { requests_.fetch_or(bits, std::memory_order_release); }
    double shownRestLevel() const { return shownGainSource_.load(std::memory_order_relaxed) ? 1.0 : 0.0; }

    ShownChannel shown_[2];
    std::atomic<bool> shownGainSource_{true};
    std::atomic<std::uint32_t> requests_{0};
};

}  // namespace orv

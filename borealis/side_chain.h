#pragma once
// The side-chain of Orv Borealis: per channel a balance gain, a low and a high shelving filter
// and a link filter that blends the channel's key with the common key in one frequency band;
// then the Hilbert detector that measures the level of the linked key relative to the threshold.
#include "borealis/borealis_settings.h"
#include "borealis/dsp/biquad.h"
#include "borealis/dsp/mirrored_ring.h"
#include "borealis/hilbert.h"

namespace borealis {

// Result of one side-chain sample: the detector values and the filtered key (after balance and
// shelving, before the link), the latter delayed so that it stays aligned with the main signal.
struct SideChainOutput {
    double detectorL, detectorR;
    double monitorL, monitorR;
};

class SideChain {
public:
    // Holds the key history the transformer reads: the centre plus 2N - 1 newer and older
    // samples at the largest N.
    static constexpr int kHistorySize = 4096;
    static constexpr int kMonitorSize = 1024;
    // How many samples the wide path's transformer takes at once.
    static constexpr int kWideGroup = 24;
    // Above this side-chain rate the lowest shelves' poles lie so close to 1 that the glide's
    // own jitter around the design moves the key by more than 1e-7 of its peak; there the
    // shelves keep gliding, so the result stays that of the gliding form.
    static constexpr double kMaxSettledRate = 100000.0;

    SideChain();

    // Rate of the six filters; the Hilbert table is rebuilt separately (rebuild).
    void setRate(double rate);
    void setLowShelf(double frequency, bool boost);
    void setHighShelf(double frequency, bool boost);
    void setLinkFilters(bool highCut, bool lowCut);
    // Rebuilds the Hilbert table for the rate the transformer runs at, and clears the histories.
    void rebuild(double sideChainRate, bool smooth);
    // Where the transformer is centred and how far the monitor key is delayed.
    void setGeometry(int centre, int monitorDelay) {
        centre_ = centre;
        monitorDelay_ = monitorDelay;
    }
    void clearHistories();
    // Filter histories cleared, coefficients kept (gliding ones jump to their targets).
    void resetFilters();

    int halfLength() const { return hilbert_.halfLength(); }

    // Settled shelves stop gliding (the default). Off, they always glide: the reference the
    // shortcut is measured against.
    void setSkipSettledGlide(bool on) { skipSettledGlide_ = on; }
    // Whether the low and high shelf ran without the glide in the last sample processed.
    bool lowShelfSettled() const { return lowMode_.settled; }
    bool highShelfSettled() const { return highMode_.settled; }

    // One side-chain sample; kL and kR already carry the denormal noise. With `exact` the level
    // is a double-precision square root; otherwise the fast single-precision approximation.
    template <bool Exact>
    SideChainOutput process(double kL, double kR, const BorealisSettings& s);
    // `count` samples in order: out[i] is what process gives for kL[i], kR[i]. Runs two samples
    // at a time so the transformer can take both in one pass. Wide: the wide code path's form,
    // which runs the transformer over groups of kWideGroup samples (fused sums; see
    // HilbertTable::transformStereoRunFused).
    template <bool Exact, bool Wide = false>
    void processBlock(const double* kL, const double* kR, int count, const BorealisSettings& s,
                      SideChainOutput* out);

private:
    // Balance, filters and link for one sample, into the histories; returns the delayed
    // monitor key in out.monitorL / monitorR.
    inline void filterAndPush(double kL, double kR, const BorealisSettings& s, SideChainOutput& out);
    // The same after the filters: eL, eR the shelved key, fL, fR the link filter's output.
    inline void pushFiltered(double eL, double eR, double fL, double fR, const BorealisSettings& s,
                             SideChainOutput& out);
    template <bool Exact>
    static inline double detector(double centreValue, double hilbert, const BorealisSettings& s);

    double level(int channel, double centreValue, double hilbert) const;

    // The two shelves over `count` samples in place. A shelf whose glide has arrived at its
    // design runs in the plain form (no glide, no noise generator) until the design changes;
    // arrival is checked only every kSettleCheck side-chain samples, so the choice never
    // depends on how blocks are cut.
    void runShelves(double* left, double* right, int count);
    // The same over `count` (left, right) pairs stored side by side.
    template <bool Fused>
    void runShelvesPairs(double* pairs, int count);
    struct ShelfMode {
        bool settled = false;
        orv::dsp::BiquadCoefficients reached{};  // the design it arrived at
    };
    void updateShelfMode(const orv::dsp::BiquadPair& f, ShelfMode& mode, bool checkpoint) const;
    static constexpr unsigned kSettleCheck = 64;

    // Both channels of each filter always share their settings.
    orv::dsp::BiquadPair lowShelf_;
    orv::dsp::BiquadPair highShelf_;
    orv::dsp::BiquadPair linkFilter_;
    HilbertTable hilbert_;
    // Its margin covers the wide Hilbert form's padded taps.
    orv::dsp::MirroredPairRing<kHistorySize, (HilbertTable::kTapPadding + 3) & ~1> history_;
    orv::dsp::MirroredPairRing<kMonitorSize> monitor_;
    int centre_ = 1;
    int monitorDelay_ = 0;
    ShelfMode lowMode_, highMode_;
    unsigned shelfClock_ = 0;  // side-chain samples since the filters were restarted
    bool skipSettledGlide_ = true;
    bool glideSkippable_ = true;  // the side-chain rate allows it
};

// The level of the analytic signal (a, h), computed in single precision with the integer
// inverse-square-root estimate and two Newton steps.
float fastMagnitude(double a, double h);

// Scales a magnitude to the detector value: 1.0 at the threshold, 0.005 in silence.
inline double detectorValue(double magnitude, double thresholdFactor) {
    return magnitude * 1.4142 * 0.582 * 1.005773063 * thresholdFactor + 0.005;
}

}  // namespace borealis

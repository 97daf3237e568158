#include "borealis/kernel_layout.h"

#include "borealis/dsp/oversampler2x.h"

namespace borealis {

using orv::dsp::Oversampler2x;

KernelLayout makeLayout(KernelVariant variant, bool fat, int n) {
    KernelLayout l{};
    l.gainStageFactor = fat ? 2 : 1;
    l.sideChainInGain = variant == KernelVariant::PowerOff || variant == KernelVariant::Smooth;
    l.hilbertHalfLength = n;
    const int f = l.gainStageFactor;
    // Delay between stage A and stage C: two 64-sample delays, or up and down sampling.
    const int pathDelay = fat ? Oversampler2x::kRoundTripDelay : 2 * Oversampler2x::kBypassDelay;
    if (l.sideChainInGain) {
        // The side-chain runs at the gain-stage rate: the wet/dry delay must be a whole number
        // of host samples, and so must the key's lead over the main signal.
        l.wetDryDelay = (n + f - 1) / f * f;
        int centre = 2 * n - 1;
        while ((centre - l.wetDryDelay) % f != 0) ++centre;
        l.centre = centre;
        l.mainDelay = kTotalLatency - kLimiterDelay - pathDelay - l.wetDryDelay / f;
        l.keyDelay = l.mainDelay - (l.centre - l.wetDryDelay) / f;
        l.monitorDelay = l.centre - l.wetDryDelay;
    } else {
        // The side-chain runs at the host rate before the gain stage; the wet/dry delay is the
        // Hilbert delay N counted at the gain-stage rate.
        l.wetDryDelay = f * n;
        l.centre = 2 * n - 1;
        l.mainDelay = kTotalLatency - kLimiterDelay - pathDelay - n;
        l.keyDelay = l.mainDelay + n - l.centre;
        l.monitorDelay = l.centre - n;
    }
    return l;
}

}  // namespace borealis

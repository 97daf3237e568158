#pragma once
// Which of the four kernel variants runs a block, and the delays that keep every variant at the
// same total latency with the detector aligned to the main signal.
#include "borealis/borealis_settings.h"

namespace borealis {

enum class KernelVariant { PowerOff, Smooth, Fat, Normal };

// Power off wins over Smooth, Smooth over FAT.
inline KernelVariant chooseVariant(const BorealisSettings& s) {
    if (!s.powerOn) return KernelVariant::PowerOff;
    if (s.smooth != 0.0) return KernelVariant::Smooth;
    if (s.fat) return KernelVariant::Fat;
    return KernelVariant::Normal;
}

// Total delay of the main signal from input to output, in host samples, in every variant.
constexpr int kTotalLatency = 1660;
// Delay of the limiter ring.
constexpr int kLimiterDelay = 511;

// Delays of one variant. The Hilbert transformer is centred `centre` side-chain samples back,
// far enough that its newest tap is the newest key sample; the key is therefore read earlier
// from the input ring than the main signal, by as much as the centre exceeds the wet/dry delay.
struct KernelLayout {
    int gainStageFactor;     // 1, or 2 when the gain stage runs at twice the host rate
    bool sideChainInGain;    // side-chain runs in the gain stage (Smooth and power-off)
    int hilbertHalfLength;   // N, in side-chain samples
    int centre;              // Hilbert centre, side-chain samples back
    int wetDryDelay;         // main signal delay in the gain stage, gain-stage samples
    int mainDelay;           // input ring delay of the main pair, host samples
    int keyDelay;            // input ring delay of the key pair, host samples
    int monitorDelay;        // delay of the filtered key sent to the monitor path, side-chain samples
};

KernelLayout makeLayout(KernelVariant variant, bool fat, int hilbertHalfLength);

}  // namespace borealis

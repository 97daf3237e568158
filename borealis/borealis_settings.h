#pragma once
// The engine values of Orv Borealis, derived from the normalised parameters by setParameter and
// read by the processing kernels. Each value has one writer (setParameter) and is read by the
// audio thread without a lock.
#include <cstdint>

struct BorealisSettings {
    // Integer switches: value = trunc(x + 0.5).
    std::int32_t powerOn = 1;
    std::int32_t fat = 0;
    std::int32_t softKnee = 0;
    std::int32_t rmsMode = 0;
    std::int32_t limiter = 0;
    std::int32_t autoAttack = 0;
    std::int32_t autoRelease = 0;
    std::int32_t classic = 0;
    std::int32_t sideChainExternal = 0;
    std::int32_t sideChainMonitor = 0;

    // Switches kept as 0.0 or 1.0.
    double autoMakeup = 0.0;
    double highShelfBoost = 0.0;
    double lowShelfBoost = 0.0;
    double linkHighCut = 0.0;
    double linkLowCut = 0.0;
    double smooth = 0.0;

    double thresholdFactor = 1.0;         // 0.5 * 64^x; the detector is scaled by it
    double thresholdFactorInverse = 1.0;  // 1 / thresholdFactor
    std::int32_t ratioIndex = 6;          // 0..20 into the ratio table
    double ratio = 1.0;
    double slope = 1.0;                   // exponent of the static curve
    double attackMs = 3.16;               // 0.01 * 100000^x
    double releaseMs = 1000.0;            // 100 * 100^x (0.1 s to 10 s)
    double makeupGain = 1.0;              // 0.25 * 64^x, linear
    double highShelfFreq = 16000.0;       // 1000 * 16^x Hz
    double lowShelfFreq = 25.0;           // 25 * 16^x Hz
    double link = 0.0;                    // x^1.4
    double tiltLeft = 1.0;                // side-chain gains from Tilt
    double tiltRight = 1.0;
    double mix = 1.0;
    double outputGain = 1.0;              // 0.25 * 16^x, linear
    double meterSource = 0.5;             // Meters selector, normalised

    // Meter settings.
    double vuIntegrationMs = 300.0;
    double vuReference = 1.0;
    double vuReferenceInverse = 1.0;
    double ppmIntegrationMs = 10.0;
    double ppmReturnMs = 1000.0;
    float ppmRatio = 0.01f;
    double overCount = 3.0;
};

// The 21-step ratio table: ratio R and the exponent (slope) of the static curve.
constexpr int kNumRatios = 21;
extern const double kRatioTable[kNumRatios];
extern const double kSlopeTable[kNumRatios];

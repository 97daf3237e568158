#pragma once
// The engine values of Orv Kestrel, derived from its parameters.
#include "borealis/dsp/knee_curve.h"
#include "kestrel/kestrel_meters.h"

struct KestrelSettings {
    double thresholdGain = 1.0, thresholdLevel = 1.0;
    int ratioIndex = 6;
    double ratio = 1.0, ratioInverse = 1.0;
    double autoMakeupFactor = 1.0;
    orv::dsp::KneePoints knee{-0.5, 0.5, 1.5, 2.5};
    int softKnee = 0, rmsMode = 0, hidden4 = 0, autoRelease = 0, stereo = 1, classic = 0;
    int sideChainExternal = 0, sideChainMonitor = 0, powerOn = 1;
    double autoMakeup = 0, link = 0, smooth = 0, hidden18 = 0, hidden19 = 0;
    int lowShelfMode = 1, highShelfMode = 1;
    double lowShelfFreq = 25.0, highShelfFreq = 1000.0;
    double makeupGain = 1.0, outputGain = 1.0, mix = 1.0, meters = 0.5;
    double attackCoeff = 0.01, releaseCoeff = 0.001;
    kestrel::MeterSettings meter;
    double vuReference = 0.1, ppmRatio = 0.01f;
};


// The Orv Borealis window: 450 x 460, main page with eleven knobs, sixteen buttons, the Meters
// selector and two meters; meter-settings page with five knobs.
#include "borealis/editor/borealis_layout.h"

#include "borealis/borealis.h"
#include "gui/formatters.h"

using toolkit::CColor;
using toolkit::CPoint;
using toolkit::CRect;
using RT = ReadoutText;
using RC = ReadoutConversion;

const EditorLayout kBorealisEditorLayout = [] {
    EditorLayout l{};
    l.width = 450;
    l.height = 460;
    l.presetBar = kBorealisPresetBar;
    l.scExtTag = kScExt;
    l.metersTag = kMeters;
    l.latency = {
        {CRect(112, 428, 157, 438), formatTime, false, 0, CPoint()},
        {CRect(162, 428, 207, 438), formatSamples, true, 0, CPoint()},
    };
    l.buttons = {
        {kPower, 19015, 42, 388},     {kFat, 19022, 250, 390},         {kSoft, 19023, 292, 390},
        {kRms, 19024, 334, 390},      {kLimiter, 19025, 375, 390},     {kAutoAttack, 19016, 104, 238},
        {kSmooth, 19038, 104, 277},   {kAutoRelease, 19017, 104, 316}, {kClassic, 19018, 104, 355},
        {kAutoMakeup, 19019, 207, 316}, {kLinkHighCut, 19020, 311, 238}, {kLinkLowCut, 19021, 311, 278},
        {kScMonit, 19026, 311, 159},  {kScExt, 19027, 227, 159},       {kLowScf, 19013, 242, 147},
        {kHighScf, 19014, 396, 147},
    };
    l.selectors = {{kMeters, 19034, 206, 58}};
    l.knobs = {
        {kRatio, 19004, 21, 50, 165, 0.3f, {41, CRect(50, 146, 102, 160), 0.5f, 16, RT::Ratio, RC::RatioSteps}},
        {kAttack, 19005, 41, 50, 243, 0.5f, {42, CRect(51, 224, 103, 238), 0.01f, 1000, RT::Attack, RC::AttackLog}},
        {kThreshold, 19002, 73, 136, 187, 0.1666667f,
         {44, CRect(147, 158, 213, 172), -30, 6, RT::Decibel, RC::Threshold}},
        {kLow, 19008, 33, 257, 164, 0.0f, {45, CRect(264, 146, 304, 160), 25, 400, RT::Hertz, RC::LowLog}},
        {kHigh, 19007, 33, 348, 164, 1.0f, {46, CRect(357, 146, 397, 160), 1, 16, RT::Kilohertz, RC::HighLog}},
        {kLink, 19009, 41, 257, 243, 0.5f, {47, CRect(261, 225, 312, 239), 0, 100, RT::Percent, RC::Percent}},
        {kTilt, 19010, 41, 348, 243, 0.5f, {48, CRect(349, 225, 400, 239), -50, 50, RT::Tilt, RC::Tilt}},
        {kOutput, 19012, 49, 348, 321, 0.5f, {50, CRect(349, 303, 400, 317), -12, 12, RT::Decibel, RC::Output24}},
        {kMix, 19011, 41, 257, 321, 1.0f, {49, CRect(261, 303, 312, 317), 0, 100, RT::Percent, RC::Percent}},
        {kMakeup, 19003, 37, 153, 321, 0.3333333f,
         {51, CRect(153, 302, 205, 316), -12, 24, RT::Decibel, RC::Makeup}},
        {kRelease, 19006, 49, 50, 322, 0.5f,
         {43, CRect(51, 303, 103, 317), 100, 10000, RT::Release, RC::ReleaseLog}},
    };
    l.mainPageSwitch = CRect(80, 404, 238, 422);
    l.settingsKnobBitmap = 19036;
    l.settingsKnobFrames = 51;
    l.settings = {
        {kVuIntegr, 61, 206, 0.5f, CRect(55, 243, 105, 255), formatTime},
        {kVuRefer, 61, 256, 0.5f, CRect(55, 293, 105, 305), formatDbfs},
        {kPpmIntegr, 261, 206, 0.52f, CRect(255, 243, 305, 255), formatTime},
        {kPpmReturn, 261, 256, 0.72365f, CRect(255, 293, 305, 305), formatTime},
        {kOverIndic, 61, 334, 0.2222222f, CRect(65, 371, 95, 383), formatInteger},
    };
    l.settingsPageSwitch = CRect(110, 36, 338, 134);
    l.versionLabel = CRect(294, 45, 338, 56);
    l.scaleMenu = CRect(240, 382, 360, 396);
    l.scaleNote = CRect(240, 398, 430, 409);
    l.names = {
        {kPower, "Power"},
        {kFat, "FAT: double-rate gain processing"},
        {kSoft, "Soft knee"},
        {kRms, "RMS detection"},
        {kLimiter, "Output limiter"},
        {kThreshold, "Threshold"},
        {kRatio, "Ratio"},
        {kAttack, "Attack"},
        {kAutoAttack, "Automatic attack"},
        {kRelease, "Release"},
        {kAutoRelease, "Automatic release"},
        {kMakeup, "Makeup gain"},
        {kAutoMakeup, "Automatic makeup"},
        {kHighScf, "Side-chain high shelf: cut or boost"},
        {kHigh, "Side-chain high shelf frequency"},
        {kLowScf, "Side-chain low shelf: cut or boost"},
        {kLow, "Side-chain low shelf frequency"},
        {kLinkHighCut, "Stereo link high cut"},
        {kLinkLowCut, "Stereo link low cut"},
        {kLink, "Stereo link"},
        {kTilt, "Side-chain tilt"},
        {kMix, "Mix"},
        {kOutput, "Output gain"},
        {kMeters, "Meters show"},
        {kClassic, "Classic release"},
        {kScExt, "External side-chain"},
        {kSmooth, "Smooth"},
        {kScMonit, "Listen to the side-chain"},
        {kVuIntegr, "VU integration time"},
        {kVuRefer, "VU reference level"},
        {kPpmIntegr, "PPM integration time"},
        {kPpmReturn, "PPM return time"},
        {kOverIndic, "Over count"},
    };
    l.readoutBack = CColor{230, 230, 230, 255};
    l.readoutText = CColor{50, 50, 60, 255};
    l.latencyText = CColor{170, 170, 170, 255};
    l.settingsText = CColor{170, 170, 170, 255};
    return l;
}();

BorealisEditor* makeBorealisEditor(Borealis* effect) {
    return new BorealisEditor(effect, kBorealisEditorLayout, std::make_unique<EffectLink<Borealis>>(effect));
}

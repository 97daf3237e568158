// The Orv Kestrel window: 450 x 378, main page with six knobs, ten buttons, three selectors and
// two meters; meter-settings page with five knobs.
#include "kestrel/editor/kestrel_layout.h"

#include "gui/formatters.h"
#include "kestrel/kestrel.h"

using namespace kestrel;
using toolkit::CColor;
using toolkit::CPoint;
using toolkit::CRect;
using RT = ReadoutText;
using RC = ReadoutConversion;

const EditorLayout kKestrelEditorLayout = [] {
    EditorLayout l{};
    l.width = 450;
    l.height = 378;
    l.presetBar = kKestrelPresetBar;
    l.scExtTag = kScExt;
    l.metersTag = kMeters;
    l.latency = {
        {CRect(112, 346, 157, 356), formatTime, false, kBmpFrame, CPoint(120, 346)},
        {CRect(162, 346, 207, 356), formatSamples, true, kBmpFrame, CPoint(167, 346)},
    };
    l.buttons = {
        {kPower, 19015, 40, 308},       {kSoft, 19023, 312, 160},        {kRms, 19024, 104, 160},
        {kStereo, 19016, 332, 308},     {kSmooth, 19038, 292, 308},      {kLink, 19009, 375, 308},
        {kAutoRelease, 19017, 104, 238}, {kAutoMakeup, 19019, 311, 237}, {kScMonit, 19026, 378, 160},
        {kScExt, 19027, 345, 160},
    };
    // Meters, LowSCF and HighSCF selectors (3 positions each).
    l.selectors = {{kMeters, 19034, 206, 58}, {kLowScf, 19013, 350, 198}, {kHighScf, 19014, 375, 198}};
    l.knobs = {
        {kRatio, 19004, 21, 250, 160, 0.3f, {41, CRect(250, 146, 302, 160), 0.5f, 16, RT::Ratio, RC::RatioSteps}},
        {kAttack, 19005, 21, 45, 160, 0.5f, {42, CRect(45, 146, 97, 160), 0.01f, 1000, RT::Attack, RC::AttackLog}},
        {kThreshold, 19002, 37, 134, 185, 0.16666667f,
         {44, CRect(145, 159, 211, 173), -30, 6, RT::Decibel, RC::Threshold}},
        {kOutput, 19012, 37, 345, 240, 0.665f, {50, CRect(345, 226, 396, 240), -12, 12, RT::Decibel, RC::Output18}},
        {kMakeup, 19003, 37, 251, 240, 0.33333334f,
         {51, CRect(251, 226, 303, 240), -12, 24, RT::Decibel, RC::Makeup}},
        {kRelease, 19006, 25, 44, 240, 0.5f,
         {43, CRect(44, 226, 96, 240), 33, 3333, RT::Release, RC::ReleaseLog33}},
    };
    l.mainPageSwitch = CRect(100, 320, 260, 340);
    l.settingsKnobBitmap = 19036;
    l.settingsKnobFrames = 51;
    l.settings = {
        {kVuIntegr, 61, 165, 0.5f, CRect(55, 202, 105, 214), formatTime},
        {kVuRefer, 61, 215, 0.5f, CRect(55, 252, 105, 264), formatDbfs},
        {kPpmIntegr, 261, 165, 0.52f, CRect(255, 202, 305, 214), formatTime},
        {kPpmReturn, 261, 215, 0.72365f, CRect(255, 252, 305, 264), formatTime},
        {kOverIndic, 61, 293, 0.2222222f, CRect(65, 330, 95, 342), formatInteger},
    };
    l.settingsPageSwitch = CRect(110, 36, 338, 134);
    l.versionLabel = CRect(294, 45, 338, 56);
    l.scaleMenu = CRect(240, 332, 360, 346);
    l.scaleNote = CRect(240, 348, 430, 359);
    l.names = {
        {kPower, "Power"},
        {kSoft, "Soft knee"},
        {kRms, "RMS detection"},
        {kThreshold, "Threshold"},
        {kRatio, "Ratio"},
        {kAttack, "Attack"},
        {kRelease, "Release"},
        {kAutoRelease, "Automatic release"},
        {kLowScf, "Side-chain low shelf"},
        {kHighScf, "Side-chain high shelf"},
        {kMakeup, "Makeup gain"},
        {kAutoMakeup, "Automatic makeup"},
        {kLink, "Stereo link"},
        {kOutput, "Output gain"},
        {kMeters, "Meters show"},
        {kScExt, "External side-chain"},
        {kSmooth, "Smooth"},
        {kStereo, "Stereo"},
        {kScMonit, "Listen to the side-chain"},
        {kVuIntegr, "VU integration time"},
        {kVuRefer, "VU reference level"},
        {kPpmIntegr, "PPM integration time"},
        {kPpmReturn, "PPM return time"},
        {kOverIndic, "Over count"},
    };
    l.readoutBack = CColor{230, 230, 230, 255};
    l.readoutText = CColor{50, 50, 60, 255};
    l.latencyText = CColor{50, 50, 60, 255};
    l.settingsText = CColor{170, 170, 170, 255};
    return l;
}();

BorealisEditor* makeKestrelEditor(Kestrel* effect) {
    return new BorealisEditor(effect, kKestrelEditorLayout, std::make_unique<EffectLink<Kestrel>>(effect));
}

#pragma once
// The layout of a plug-in's editor window: sizes, bitmaps, controls, their tags and positions,
// the readouts with their conversions, and the meter-settings page. Each plug-in describes its
// window with one of these; the editor class builds whichever it is given.
#include <cstdint>
#include <vector>

#include "borealis/editor/readouts.h"
#include "presets/preset_system_editor.h"
#include "toolkit/cparamdisplay.h"
#include "toolkit/geometry.h"

struct EditorButton {
    std::int32_t tag;
    int bitmap;
    toolkit::CCoord x, y;
};

// A 3-position vertical selector (values 0, 0.5, 1).
struct EditorSelector {
    std::int32_t tag;
    int bitmap;
    toolkit::CCoord x, y;
};

struct EditorReadout {
    std::int32_t tag;
    toolkit::CRect rect;
    float typedMin, typedMax;
    ReadoutText text;
    ReadoutConversion conversion;
};

struct EditorKnob {
    std::int32_t tag;
    int bitmap;
    int frames;
    toolkit::CCoord x, y;
    float resetValue;
    EditorReadout readout;  // tag 0: the knob has none
};

// A knob of the meter-settings page with its value display.
struct EditorSetting {
    std::int32_t tag;
    toolkit::CCoord x, y;
    float resetValue;
    toolkit::CRect displayRect;
    toolkit::CParamDisplayValueToText format;
};

struct EditorLatencyDisplay {
    toolkit::CRect rect;
    toolkit::CParamDisplayValueToText format;
    bool samples;  // false: milliseconds
    // With a background: bitmap `backgroundBitmap` from `backgroundOffset`; 0: transparent.
    int backgroundBitmap;
    toolkit::CPoint backgroundOffset;
};

// The name a control's tooltip gives it.
struct EditorControlName {
    std::int32_t tag;
    const char* name;
};

struct EditorLayout {
    toolkit::CCoord width, height;
    PresetBarBands presetBar;
    // The tags that need their own handling.
    std::int32_t scExtTag;
    std::int32_t metersTag;
    // Main page, in creation order (knobs each followed by their readout).
    std::vector<EditorLatencyDisplay> latency;
    std::vector<EditorButton> buttons;       // Power first, then the rest
    std::vector<EditorSelector> selectors;  // created right after the Power button
    std::vector<EditorKnob> knobs;
    toolkit::CRect mainPageSwitch;
    // Meter-settings page.
    int settingsKnobBitmap;
    int settingsKnobFrames;
    std::vector<EditorSetting> settings;
    toolkit::CRect settingsPageSwitch;
    toolkit::CRect versionLabel;
    // The editor-size menu, and the line under it that tells when a new size waits for the
    // window to be opened again.
    toolkit::CRect scaleMenu, scaleNote;
    // Tooltip names of the tagged controls (knobs, buttons, selectors, settings knobs).
    std::vector<EditorControlName> names;
    // Colours of the readouts, latency and settings displays.
    toolkit::CColor readoutBack, readoutText, latencyText, settingsText;
};

// Tags shared by both plug-ins.
constexpr std::int32_t kTagMeter = 58;
constexpr std::int32_t kTagMainPageSwitch = 56;
constexpr std::int32_t kTagSettingsPageSwitch = 57;
constexpr std::int32_t kTagScMonit = 35;
constexpr std::int32_t kTagEditorScale = 90;
constexpr std::int32_t kLastHostParameter = 33;

// Bitmap resources shared by both plug-ins' layouts.
enum EditorBitmap : int {
    kBmpFrame = 19000,
    kBmpMainPage = 19001,
    kBmpSettingsPage = 19035,
    kBmpLeftFace = 19028, kBmpLeftCover = 19029, kBmpLeftLamp = 19030,
    kBmpRightFace = 19031, kBmpRightCover = 19032, kBmpRightLamp = 19033,
};

extern const char* const kEditorVersionText;

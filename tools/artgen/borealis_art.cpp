// The editor art of Orv Borealis: a 450 x 460 window with a main page and a meter-settings
// page of 450 x 445 each, and the preset bar below them.
#include "art_set.h"
#include "controls.h"
#include "meter.h"
#include "meters_and_settings.h"
#include "panel.h"
#include "preset_bar.h"

namespace orv::artgen {

namespace {

const double kThird = 1.0 / 3.0, kSixth = 1.0 / 6.0;

std::vector<KnobDef> mainKnobs() {
    return {
        {19004, "RATIO", at(50, 165, 54, 54), 21, 0.3, {21, {0.3}, "0.5", "64"}, 0.3},
        {19005, "ATTACK", at(50, 243, 54, 54), 41, 0, {6, {}, ".01ms", "1s"}, 0.5},
        {19002, "THRESHOLD", at(136, 187, 88, 88), 73, 0,
         {13, {kSixth, 2 * kSixth, 3 * kSixth, 4 * kSixth, 5 * kSixth}, "+6", "\xe2\x88\x92" "30"},
         0.1666667},
        {19008, "LOW", at(257, 164, 54, 54), 33, 0, {5, {}, "25", "400"}, 0},
        {19007, "HIGH", at(348, 164, 54, 54), 33, 0, {5, {}, "1k", "16k"}, 1},
        {19009, "LINK", at(257, 243, 54, 54), 41, 0, {11, {0.5}, "0", "100"}, 0.5},
        {19010, "TILT", at(348, 243, 54, 54), 41, 0.5, {11, {0.5}, "L", "R"}, 0.5},
        {19012, "OUTPUT", at(348, 321, 54, 54), 49, 0.5,
         {7, {0.5}, "\xe2\x88\x92" "12", "+12"}, 0.5},
        {19011, "MIX", at(257, 321, 54, 54), 41, 0, {11, {0.5}, "DRY", "WET"}, 1},
        {19003, "MAKEUP", at(153, 321, 54, 54), 37, kThird,
         {13, {kThird}, "\xe2\x88\x92" "12", "+24"}, 0.3333333},
        {19006, "RELEASE", at(50, 322, 54, 54), 49, 0, {5, {0.5}, "0.1s", "10s"}, 0.5},
    };
}

// Titles sit in the row where each knob's value readout appears.
std::vector<double> mainKnobTitles() {
    return {153, 231, 165, 153, 153, 232, 232, 310, 310, 309, 310};
}

std::vector<ButtonDef> mainButtons() {
    using S = ButtonStyle;
    return {
        {19015, "Power button", at(42, 388, 34, 48), S::Legend, "", "POWER", 24, 416, 1},
        {19034, "Meters selector", at(206, 58, 38, 48), S::MeterSource, "", "METERS", 225, 49.5, 1},
        {19022, "FAT button", at(250, 390, 32, 46), S::Legend, "FAT"},
        {19023, "Soft button", at(292, 390, 32, 46), S::Legend, "SOFT"},
        {19024, "RMS button", at(334, 390, 32, 46), S::Legend, "RMS", "", 0, 0, 1},
        {19025, "Limiter button", at(375, 390, 32, 46), S::Legend, "LIMIT"},
        {19016, "AutoAttck button", at(104, 238, 30, 26), S::Lamp, "", "AUTO", 119, 231},
        {19038, "Smooth button", at(104, 277, 29, 25), S::Lamp, "", "SMOOTH", 118.5, 270.5},
        {19017, "AutoRel button", at(104, 316, 30, 26), S::Lamp, "", "AUTO", 119, 309.5, 1},
        {19018, "Classic button", at(104, 355, 30, 26), S::Lamp, "", "CLASSIC", 119, 348.5},
        {19019, "AutoMakeup button", at(207, 316, 30, 26), S::Lamp, "", "AUTO", 222, 309.5},
        {19020, "LnkHighCut button", at(311, 238, 30, 26), S::Lamp, "", "HI CUT", 326, 231.5},
        {19021, "LnkLowCut button", at(311, 278, 30, 26), S::Lamp, "", "LO CUT", 326, 271},
        {19026, "S.C.Monit button", at(311, 159, 30, 26), S::Lamp, "", "LISTEN", 326, 191.5},
        // Its rectangle overlaps the LowSCF button's, which lies above it and takes the clicks
        // there: the cap is drawn lower, clear of the shared corner.
        {19027, "S.C.Ext button", at(227, 159, 30, 26), S::Lamp, "", "EXT", 242, 191.5, 0, 3},
        {19013, "LowSCF button", at(242, 147, 20, 16), S::LowShelf},
        {19014, "HighSCF button", at(396, 147, 20, 16), S::HighShelf},
    };
}

}  // namespace

ArtSet drawBorealis() {
    const Theme& t = borealisTheme();
    ArtSet set;
    set.name = "borealis";
    set.windowWidth = 450;
    set.windowHeight = 460;

    Page frame(450, 460, t);
    drawPanel(frame);
    const PresetBands bands{444, 446};
    drawPresetBar(frame, bands, 445);

    // Main page.
    Page main(450, 445, t);
    const auto knobs = mainKnobs();
    const auto buttons = mainButtons();
    registerControls(main, knobs, buttons);
    const Rect latencyMs{112, 428, 157, 438}, latencySamples{162, 428, 207, 438};
    const Rect pageSwitch{80, 404, 238, 422};
    for (const Rect& r : {latencyMs, latencySamples, pageSwitch}) main.control(r);
    registerMeters(main);
    drawPanel(main);
    drawHeader(main);
    drawMeterBridge(main);
    drawSectionTitle(main, "DYNAMICS", 40, 220, 138.5);
    drawSectionTitle(main, "SIDE-CHAIN", 230, 418, 138.5);
    cairo_t* cr = main.cr();
    cairo_rectangle(cr, 24, 384, 402, 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_fill(cr);
    cairo_rectangle(cr, 24, 385, 402, 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.06);
    cairo_fill(cr);
    decorateControls(main, knobs, buttons, mainKnobTitles());
    drawLatencyWell(main, latencyMs, latencySamples, false);
    main.label("LATENCY", 216, 433, Align::Left, smallFont(), t.dimText);
    drawPagePlate(main, pageSwitch, "METER SETTINGS");

    // Meter-settings page.
    Page settings(450, 445, t);
    const MeterSettingsLayout settingsLayout{206, 256, 334};
    drawMeterSettingsPage(settings, settingsLayout);

    // Bitmaps, in resource order of their pages.
    set.add(19000, "frame background", 1, crop(frame.surface(), {0, 0, 450, 460}));
    set.add(19001, "main page background", 1, crop(main.surface(), {0, 0, 450, 445}));
    set.add(19035, "meter-settings page background", 1,
            crop(settings.surface(), {0, 0, 450, 445}));
    set.mainView.push_back({19000, 0, 0, 0});
    set.mainView.push_back({19001, 0, 0, 0});
    set.settingsView.push_back({19000, 0, 0, 0});
    set.settingsView.push_back({19035, 0, 0, 0});
    addControlBitmaps(set, set.mainView, main.surface(), knobs, buttons, t);
    addMeterBitmaps(set, t);
    addSettingsKnobBitmap(set, settings.surface(), settingsLayout, t);
    addPresetBitmaps(set, frame.surface(), bands, t);

    for (const Page* p : {&frame, &main, &settings})
        set.faults.insert(set.faults.end(), p->faults().begin(), p->faults().end());
    return set;
}

}  // namespace orv::artgen

// The editor art of Orv Kestrel: a 450 x 378 window with a main page (450 x 361 bitmap) and a
// meter-settings page (450 x 360 bitmap), and the preset bar below them.
#include "art_set.h"
#include "controls.h"
#include "meter.h"
#include "meters_and_settings.h"
#include "panel.h"
#include "preset_bar.h"
#include "switches.h"

namespace orv::artgen {

namespace {

const double kThird = 1.0 / 3.0, kSixth = 1.0 / 6.0;
const char* const kMinus = "\xe2\x88\x92";

std::vector<KnobDef> mainKnobs() {
    return {
        {19004, "RATIO", at(250, 160, 60, 60), 21, 0.3, {21, {0.3}, "0.5", "64"}, 0.3},
        {19005, "ATTACK", at(45, 160, 59, 60), 21, 0, {6, {}, ".01ms", "1s"}, 0.5},
        {19002, "THRESHOLD", at(134, 185, 90, 90), 37, 0,
         {13, {kSixth, 2 * kSixth, 3 * kSixth, 4 * kSixth, 5 * kSixth}, "+6",
          std::string(kMinus) + "30"},
         0.16666667},
        {19012, "OUTPUT", at(345, 240, 60, 60), 37, 2 * kThird,
         {7, {2 * kThird}, std::string(kMinus) + "12", "+6"}, 0.665},
        {19003, "MAKEUP", at(251, 240, 60, 60), 37, kThird,
         {13, {kThird}, std::string(kMinus) + "12", "+24"}, 0.33333334},
        {19006, "RELEASE", at(44, 240, 60, 60), 25, 0, {5, {0.5}, "33ms", "3.3s"}, 0.5},
    };
}

// Titles sit in the row where each knob's value readout appears.
std::vector<double> mainKnobTitles() { return {153, 153, 166, 233, 233, 233}; }

std::vector<ButtonDef> mainButtons() {
    using S = ButtonStyle;
    return {
        {19015, "Power button", at(40, 308, 37, 46), S::Legend, "", "POWER", 22, 337, 1},
        {19034, "Meters selector", at(206, 58, 38, 47), S::MeterSource, "", "METERS", 225, 49.5, 1},
        {19023, "Soft button", at(312, 160, 26, 26), S::Lamp, "", "SOFT", 325, 153},
        {19024, "RMS button", at(104, 160, 26, 26), S::Lamp, "", "RMS", 117, 153},
        {19016, "Stereo button", at(332, 308, 36, 47), S::Legend, "STEREO", "", 0, 0, 1},
        {19038, "Smooth button", at(292, 308, 33, 46), S::Legend, "SMOOTH"},
        {19009, "Link button", at(375, 308, 32, 46), S::Legend, "LINK", "", 0, 0, 1},
        {19017, "AutoRel button", at(104, 238, 26, 26), S::Lamp, "", "AUTO", 117, 231},
        {19019, "AutoMakeup button", at(311, 237, 26, 26), S::Lamp, "", "AUTO", 324, 230.5},
        {19026, "S.C.Monit button", at(378, 160, 26, 26), S::Lamp, "", "LISTEN", 391, 153},
        {19027, "S.C.Ext button", at(345, 160, 26, 26), S::Lamp, "", "EXT", 358, 153},
        {19013, "LowSCF selector", at(350, 198, 23, 25), S::LowShelf3, "", "LOW", 361.5, 192, 1},
        {19014, "HighSCF selector", at(375, 198, 25, 25), S::HighShelf3, "", "HIGH", 387.5, 192,
         1},
    };
}

// Bitmaps the plug-in carries although its window does not show them; drawn in the same
// style on a plain panel.
void addSpareBitmaps(ArtSet& set, const Theme& t) {
    for (int id : {19007, 19008})
        set.add(id, "spare knob", 33, knobStrip(nullptr, at(0, 0, 54, 54), 33, 0, t));
    for (int id : {19010, 19011})
        set.add(id, "spare knob", 41, knobStrip(nullptr, at(0, 0, 54, 54), 41, 0, t));
    for (int id : {19018, 19020, 19021})
        set.add(id, "spare button", 2, lampButton(nullptr, at(0, 0, 30, 26), t));
    set.add(19022, "spare button", 2, legendButton(nullptr, at(0, 0, 32, 46), "FAT", t));
    set.add(19025, "spare button", 2, legendButton(nullptr, at(0, 0, 32, 46), "LIMIT", t));
}

}  // namespace

ArtSet drawKestrel() {
    const Theme& t = kestrelTheme();
    ArtSet set;
    set.name = "kestrel";
    set.windowWidth = 450;
    set.windowHeight = 378;

    // The latency displays draw the frame background (shifted by a few pixels) behind their
    // dark text, so the frame background carries one light band under both of them.
    const Rect latencyMs{112, 346, 157, 356}, latencySamples{162, 346, 207, 356};
    Page frame(450, 378, t);
    drawPanel(frame);
    cairo_rectangle(frame.cr(), 112, 346, 104, 10);
    fillVertical(frame.cr(), 346, 356, rgb(214, 218, 212), rgb(232, 234, 228));
    const PresetBands bands{362, 364};
    drawPresetBar(frame, bands, 360);

    Page main(450, 361, t);
    const auto knobs = mainKnobs();
    const auto buttons = mainButtons();
    registerControls(main, knobs, buttons);
    const Rect pageSwitch{100, 320, 260, 340};
    for (const Rect& r : {latencyMs, latencySamples, pageSwitch}) main.control(r);
    registerMeters(main);
    drawPanel(main);
    drawHeader(main);
    drawMeterBridge(main);
    drawSectionTitle(main, "DYNAMICS", 36, 336, 138.5);
    drawSectionTitle(main, "SIDE-CHAIN", 342, 414, 138.5);
    cairo_t* cr = main.cr();
    cairo_rectangle(cr, 24, 302.5, 402, 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_fill(cr);
    cairo_rectangle(cr, 24, 303.5, 402, 1);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.06);
    cairo_fill(cr);
    decorateControls(main, knobs, buttons, mainKnobTitles());
    drawLatencyWell(main, latencyMs, latencySamples, true);
    main.label("LATENCY", 216, 351, Align::Left, smallFont(), t.dimText);
    drawPagePlate(main, pageSwitch, "METER SETTINGS");

    Page settings(450, 360, t);
    const MeterSettingsLayout settingsLayout{165, 215, 293};
    drawMeterSettingsPage(settings, settingsLayout);

    set.add(19000, "frame background", 1, crop(frame.surface(), {0, 0, 450, 378}));
    set.add(19001, "main page background", 1, crop(main.surface(), {0, 0, 450, 361}));
    set.add(19035, "meter-settings page background", 1,
            crop(settings.surface(), {0, 0, 450, 360}));
    set.mainView.push_back({19000, 0, 0, 0});
    set.mainView.push_back({19001, 0, 0, 0});
    set.settingsView.push_back({19000, 0, 0, 0});
    set.settingsView.push_back({19035, 0, 0, 0});
    addControlBitmaps(set, set.mainView, main.surface(), knobs, buttons, t);
    addMeterBitmaps(set, t);
    addSettingsKnobBitmap(set, settings.surface(), settingsLayout, t);
    addPresetBitmaps(set, frame.surface(), bands, t);
    addSpareBitmaps(set, t);

    for (const Page* p : {&frame, &main, &settings})
        set.faults.insert(set.faults.end(), p->faults().begin(), p->faults().end());
    return set;
}

}  // namespace orv::artgen

#include "preset_bar.h"

#include "panel.h"
#include "switches.h"

namespace orv::artgen {

namespace {

enum class Kind { Save, Load, Text, Rocker };

struct PresetControl {
    int id;
    double left, right;
    bool kick;
    Kind kind;
    const char* legend;
};

const PresetControl kControls[] = {
    {19994, 20, 32, false, Kind::Save, ""},          // save bank
    {19990, 32, 69, true, Kind::Text, "DEFAULT"},    // default bank (double-click)
    {19993, 70, 82, false, Kind::Load, ""},          // load bank
    {19999, 91, 103, false, Kind::Save, ""},         // save preset
    {19899, 103, 150, true, Kind::Text, "DEFAULT"},  // default preset (double-click)
    {19998, 150, 162, false, Kind::Load, ""},        // load preset
    {19997, 313, 344, false, Kind::Rocker, ""},      // previous / next preset
    {19995, 352, 364, false, Kind::Save, ""},        // store A
    {19991, 374, 386, false, Kind::Load, ""},        // recall A
    {19996, 395, 407, false, Kind::Save, ""},        // store B
    {19992, 417, 429, false, Kind::Load, ""},        // recall B
};

Rect areaOf(const PresetControl& c, const PresetBands& b) {
    const double top = c.kick ? b.kickTop : b.mainTop;
    const double h = c.kick ? PresetBands::kickHeight : PresetBands::mainHeight;
    return {c.left, top, c.right, top + h};
}

void groupPlate(cairo_t* cr, double x0, double x1, double top, double bottom) {
    roundedRect(cr, x0, top, x1 - x0, bottom - top, 3);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_fill(cr);
}

}  // namespace

void drawPresetBar(Page& frame, const PresetBands& b, double pageHeight) {
    cairo_t* cr = frame.cr();
    const Theme& t = frame.theme();
    for (const PresetControl& c : kControls) frame.control(areaOf(c, b));
    const double nameTop = b.mainTop - 0.5, nameBottom = b.mainTop + PresetBands::mainHeight + 0.5;
    frame.control({175, nameTop, 292, nameBottom});
    frame.control({293, b.mainTop, 305, b.mainTop + PresetBands::mainHeight});

    // Darker strip from the bottom of the pages down.
    cairo_rectangle(cr, 0, pageHeight - 1, frame.width(), frame.height() - pageHeight + 1);
    fillVertical(cr, pageHeight - 1, frame.height(), rgb(22, 24, 27), rgb(14, 15, 17));
    cairo_rectangle(cr, 0, pageHeight - 1, frame.width(), 1);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_fill(cr);

    const double top = b.mainTop - 1.5, bottom = b.mainTop + PresetBands::mainHeight + 1.5;
    groupPlate(cr, 17, 85, top, bottom);
    groupPlate(cr, 88, 165, top, bottom);
    groupPlate(cr, 310, 347, top, bottom);
    groupPlate(cr, 349, 432, top, bottom);

    // Name display: a pale window that the name field writes its dark text into.
    roundedRect(cr, 173.5, nameTop - 1.5, 133, nameBottom - nameTop + 3, 2.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    cairo_fill(cr);
    cairo_rectangle(cr, 175, nameTop, 117, nameBottom - nameTop);
    fillVertical(cr, nameTop, nameBottom, rgb(196, 216, 229), rgb(214, 230, 240));
    // Menu button beside it with a drop-down arrow.
    cairo_rectangle(cr, 293, b.mainTop, 12, PresetBands::mainHeight);
    fillVertical(cr, b.mainTop, b.mainTop + PresetBands::mainHeight, rgb(84, 90, 98),
                 rgb(44, 48, 53));
    const double ay = b.mainTop + PresetBands::mainHeight / 2;
    cairo_move_to(cr, 295.5, ay - 2);
    cairo_line_to(cr, 302.5, ay - 2);
    cairo_line_to(cr, 299, ay + 2.5);
    cairo_close_path(cr);
    setColour(cr, t.text);
    cairo_fill(cr);

    // Memory letters between each store and recall button.
    const Font letter{"Liberation Sans", 9, true};
    frame.label("A", 369, ay, Align::Centre, letter, t.accent);
    frame.label("B", 412, ay, Align::Centre, letter, t.accent);
}

void addPresetBitmaps(ArtSet& set, cairo_surface_t* bg, const PresetBands& b, const Theme& t) {
    for (const PresetControl& c : kControls) {
        const Rect a = areaOf(c, b);
        Surface s;
        std::string use;
        switch (c.kind) {
            case Kind::Save:
                s = presetIconButton(bg, a, PresetIcon::Save, t);
                use = "preset bar: save / store";
                break;
            case Kind::Load:
                s = presetIconButton(bg, a, PresetIcon::Load, t);
                use = "preset bar: load / recall";
                break;
            case Kind::Text:
                s = presetTextButton(bg, a, c.legend, t);
                use = std::string("preset bar: ") + c.legend;
                break;
            case Kind::Rocker:
                s = presetRocker(bg, a, t);
                use = "preset bar: previous / next";
                break;
        }
        set.add(c.id, use, c.kind == Kind::Rocker ? 5 : 3, std::move(s));
        set.mainView.push_back({c.id, a.left, a.top, 0});
        set.settingsView.push_back({c.id, a.left, a.top, c.kind == Kind::Rocker ? 2 : 1});
    }
}

}  // namespace orv::artgen

#include "controls.h"

#include <cmath>
#include <cstdio>

#include "switches.h"

namespace orv::artgen {

Rect capOf(const ButtonDef& b) {
    if (b.style == ButtonStyle::Lamp) {
        const Rect cap = lampCap(b.area.width(), b.area.height(), b.capDrop);
        return {b.area.left + cap.left, b.area.top + cap.top, b.area.left + cap.right, b.area.top + cap.bottom};
    }
    return b.area;
}

void registerControls(Page& page, const std::vector<KnobDef>& knobs,
                      const std::vector<ButtonDef>& buttons) {
    for (const KnobDef& k : knobs) page.control(k.area);
    for (const ButtonDef& b : buttons) page.control(b.area);
    std::vector<std::pair<Rect, Rect>> drawn;  // area and visible cap, in creation order
    for (const KnobDef& k : knobs) drawn.push_back({k.area, k.area});
    for (const ButtonDef& b : buttons) drawn.push_back({b.area, capOf(b)});
    for (size_t i = 0; i < drawn.size(); ++i)
        for (size_t j = i + 1; j < drawn.size(); ++j) {
            if (!drawn[i].first.intersects(drawn[j].first)) continue;
            if (!drawn[i].second.inflated(1).intersects(drawn[j].first)) continue;
            char fault[160];
            std::snprintf(fault, sizeof fault, "controls at (%g,%g) and (%g,%g) overlap where both show a cap",
                          drawn[i].first.left, drawn[i].first.top, drawn[j].first.left, drawn[j].first.top);
            page.fault(fault);
        }
}

void decorateControls(Page& page, const std::vector<KnobDef>& knobs,
                      const std::vector<ButtonDef>& buttons, const std::vector<double>& titleY) {
    for (size_t i = 0; i < knobs.size(); ++i) {
        const KnobDef& k = knobs[i];
        drawKnobScale(page, k.area, k.scale);
        if (*k.title && i < titleY.size())
            page.label(k.title, k.area.centreX(), titleY[i], Align::Centre, labelFont());
    }
    for (const ButtonDef& b : buttons)
        if (*b.label) page.label(b.label, b.labelX, b.labelY, Align::Centre, smallFont());
}

void addControlBitmaps(ArtSet& set, std::vector<Placement>& view, cairo_surface_t* page,
                       const std::vector<KnobDef>& knobs, const std::vector<ButtonDef>& buttons,
                       const Theme& theme) {
    for (const KnobDef& k : knobs) {
        if (!set.find(k.id))
            set.add(k.id, std::string(k.title) + " knob", k.frames,
                    knobStrip(page, k.area, k.frames, k.origin, theme));
        const int frame = static_cast<int>(std::floor(k.resetValue * (k.frames - 1) + 1e-6));
        view.push_back({k.id, k.area.left, k.area.top, frame});
    }
    for (const ButtonDef& b : buttons) {
        Surface s;
        int frames = 2;
        switch (b.style) {
            case ButtonStyle::Lamp: s = lampButton(page, b.area, theme, b.capDrop); break;
            case ButtonStyle::Legend: s = legendButton(page, b.area, b.legend, theme); break;
            case ButtonStyle::LowShelf: s = shelfButton(page, b.area, true, theme); break;
            case ButtonStyle::HighShelf: s = shelfButton(page, b.area, false, theme); break;
            case ButtonStyle::LowShelf3:
                s = shelfSelector(page, b.area, true, theme);
                frames = 3;
                break;
            case ButtonStyle::HighShelf3:
                s = shelfSelector(page, b.area, false, theme);
                frames = 3;
                break;
            case ButtonStyle::MeterSource:
                s = meterSourceSwitch(page, b.area, theme);
                frames = 3;
                break;
        }
        set.add(b.id, b.use, frames, std::move(s));
        view.push_back({b.id, b.area.left, b.area.top, b.previewFrame});
    }
}

}  // namespace orv::artgen

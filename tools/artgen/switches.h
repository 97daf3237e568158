#pragma once
// Buttons, switches and selectors. Every strip starts from the page pixels under the control,
// so the images are opaque and sit seamlessly on their page.
#include <string>

#include "art_set.h"

namespace orv::artgen {

// Two images (off, on): a small square button with a lamp bar that lights when on.
Surface lampButton(cairo_surface_t* bg, const Rect& area, const Theme& theme, double capDrop = 0);
// The cap of a lamp button in a w x h image, `capDrop` pixels below centred.
Rect lampCap(double w, double h, double capDrop = 0);

// Two images (off, on): a tall button with a round lamp above a cap carrying `legend`.
// An empty legend draws the power symbol instead.
Surface legendButton(cairo_surface_t* bg, const Rect& area, const std::string& legend,
                     const Theme& theme);

// Two images (cut, boost) of a side-chain shelf: the curve drawn on the cap shows the state.
Surface shelfButton(cairo_surface_t* bg, const Rect& area, bool lowShelf, const Theme& theme);

// Three images (cut, flat, boost) of a side-chain shelf selector.
Surface shelfSelector(cairo_surface_t* bg, const Rect& area, bool lowShelf, const Theme& theme);

// Three images (pre, gain reduction, post): the meter source selector, one row per position.
Surface meterSourceSwitch(cairo_surface_t* bg, const Rect& area, const Theme& theme);

enum class PresetIcon { Save, Load };

// Three images (normal, hovered, pressed) of a preset-bar button with an arrow icon.
Surface presetIconButton(cairo_surface_t* bg, const Rect& area, PresetIcon icon,
                         const Theme& theme);
// Three images (normal, hovered, pressed) of a preset-bar button with a text legend.
Surface presetTextButton(cairo_surface_t* bg, const Rect& area, const std::string& legend,
                         const Theme& theme);
// Five images of the previous/next rocker: normal, hover left, hover right, left pressed,
// right pressed.
Surface presetRocker(cairo_surface_t* bg, const Rect& area, const Theme& theme);

}  // namespace orv::artgen

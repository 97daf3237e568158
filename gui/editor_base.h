#pragma once
// What the plug-ins' editors build on: the toolkit's editor binding (AEffGUIEditor: the
// effect, the open window's frame, the rectangle handed to the host, idle, keys, knob mode and
// the controls' edit gestures passed on to the effect's beginEdit and endEdit), plus the two
// steps every editor takes in open: size the editor rectangle to its background bitmap and
// create the frame on the host's window.
#include <cstdint>

#include "toolkit/aeffguieditor.h"
#include "toolkit/cbitmap.h"
#include "toolkit/cframe.h"

// The rectangle of an editor `width` x `height` units at the origin drawn at `scale` (device
// pixels per unit), in whole pixels and limited to what the host's 16-bit fields can hold.
ERect editorRectFor(toolkit::CCoord width, toolkit::CCoord height, double scale = 1.0);

// Creates the frame of `editor` on the host window `parentWindow` (null: offscreen) at the
// editor's scale, with the size and as background the bitmap `background`. Returns null, releasing what it made, when
// the bitmap did not load or the frame could not be opened.
toolkit::CFrame* createEditorFrame(toolkit::AEffGUIEditor* editor, void* parentWindow,
                                   toolkit::CBitmap* background);

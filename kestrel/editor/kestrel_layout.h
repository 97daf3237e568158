#pragma once
// The Orv Kestrel window and the editor it builds for the effect.
#include "borealis/editor/borealis_editor.h"

class Kestrel;

extern const EditorLayout kKestrelEditorLayout;

// A new editor for `effect`; it attaches itself to the effect.
BorealisEditor* makeKestrelEditor(Kestrel* effect);

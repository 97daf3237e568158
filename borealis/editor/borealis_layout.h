#pragma once
// The Orv Borealis window and the editor it builds for the effect.
#include "borealis/editor/borealis_editor.h"

class Borealis;

extern const EditorLayout kBorealisEditorLayout;

// A new editor for `effect`; it attaches itself to the effect.
BorealisEditor* makeBorealisEditor(Borealis* effect);

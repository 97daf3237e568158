// Built into the plug-in itself: the effect's constructor creates its editor through this
// function, which replaces the engine's own version that creates none.
#include "borealis/borealis.h"
#include "borealis/editor/borealis_layout.h"

AEffEditor* createBorealisEditor(Borealis* effect) { return makeBorealisEditor(effect); }

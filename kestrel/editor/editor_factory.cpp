// Built into the plug-in itself: the effect's constructor creates its editor through this
// function, which replaces the engine's own version that creates none.
#include "kestrel/editor/kestrel_layout.h"
#include "kestrel/kestrel.h"

AEffEditor* createKestrelEditor(Kestrel* effect) { return makeKestrelEditor(effect); }

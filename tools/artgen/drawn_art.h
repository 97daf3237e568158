#pragma once
// The editor art of the scales a plug-in does not embed, drawn by the art generator's own code
// inside the plug-in the first time an image of such a scale is asked for (on the interface
// thread, when an editor is created or opened; never on the audio thread).
#include "platform/resources.h"

namespace orv::artgen {

// The image with resource number `id` drawn for the scale its number belongs to (21000 and up,
// see orv::platform::scaledResourceNumber) from the art of plug-in `set` ("borealis" or
// "kestrel"). False for a number of no drawn scale or an image the set does not have. The
// pixels stay valid for the life of the process.
bool drawnImage(const char* set, int id, orv::platform::DrawnImage& image);

}  // namespace orv::artgen

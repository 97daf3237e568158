#pragma once
// The editor art of the scales a plug-in does not embed, drawn by the art generator's own code
// inside the plug-in the first time a bitmap of such a scale is asked for (on the interface
// thread, when an editor is created or opened; never on the audio thread).
#include <cstddef>

namespace orv::artgen {

// The PNG data of resource `id` drawn for the scale its number belongs to (21000 and up, see
// orv::platform::scaledResourceNumber) from the art of plug-in `set` ("borealis" or "kestrel").
// False for a number of no drawn scale or a bitmap the set does not have. The data stays valid
// for the life of the process.
bool drawnResource(const char* set, int id, const unsigned char*& data, std::size_t& size);

}  // namespace orv::artgen

// Bitmap resources on Windows: PNG images compiled into the module as resources of type "PNG",
// numbered from 19000, found through the module handle recorded by the load hook. Resources
// stay mapped for the life of the module, so the returned pointer needs no release.
#include "platform/module_handle.h"
#include "platform/resources.h"

#include <windows.h>

namespace orv::platform {

bool findResource(int id, const unsigned char*& data, std::size_t& size) {
    HMODULE module = static_cast<HMODULE>(moduleHandle());
    if (!module || id <= 0 || id > 0xFFFF) return false;
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
    if (!info) return false;
    DWORD length = SizeofResource(module, info);
    HGLOBAL loaded = LoadResource(module, info);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || length == 0) return false;
    data = static_cast<const unsigned char*>(bytes);
    size = length;
    return true;
}

// The DLLs carry the art of every editor size: nothing is drawn in place of a resource.
bool findDrawnImage(int, DrawnImage&) { return false; }

}  // namespace orv::platform

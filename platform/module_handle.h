#pragma once
// The module (the plug-in library, or the program itself) whose resources the editor loads.
// On Windows the plug-in's load hook records its own module handle here; it stays null on Linux,
// where the resources are linked into the program as data.

namespace orv::platform {

void setModuleHandle(void* module);
// The recorded handle, or null when none was recorded.
void* moduleHandle();

}  // namespace orv::platform

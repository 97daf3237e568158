#include "platform/module_handle.h"

namespace orv::platform {
namespace {
// Written once by the load hook before any other code of the library runs.
void* gModule = nullptr;
}  // namespace

void setModuleHandle(void* module) { gModule = module; }
void* moduleHandle() { return gModule; }

}  // namespace orv::platform

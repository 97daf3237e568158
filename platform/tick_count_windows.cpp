#include "platform/tick_count.h"

#include <windows.h>

namespace orv::platform {

// Milliseconds since Windows started; wraps after 49.7 days, so only differences are meaningful.
std::uint32_t tickCount() { return static_cast<std::uint32_t>(GetTickCount()); }

}  // namespace orv::platform

#pragma once
#include <cstdint>

namespace orv::platform {

// Milliseconds from a monotonic clock; only differences are meaningful.
std::uint32_t tickCount();

}  // namespace orv::platform

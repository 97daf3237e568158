// The kernel's processing compiled for the instruction set this file is built for: the
// baseline here, the wide path where kernel_paths_wide.cpp includes it.
#include "kestrel/kernel_process.h"

namespace kestrel {

template void Kernel::processOnPath<orv::simd::Native>(const KernelChannels&, int, const KestrelSettings&, Meters&);

}  // namespace kestrel

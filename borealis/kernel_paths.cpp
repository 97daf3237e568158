// The kernel's processing compiled for the instruction set this file is built for: the
// baseline here, the wide path where kernel_paths_wide.cpp includes it.
#include "borealis/kernel_process.h"

namespace borealis {

template void Kernel::processOnPath<float, orv::simd::Native>(const BlockChannels<float>&, int, const BorealisSettings&,
                                                               MeterFeeds&);
template void Kernel::processOnPath<double, orv::simd::Native>(const BlockChannels<double>&, int,
                                                                const BorealisSettings&, MeterFeeds&);

}  // namespace borealis

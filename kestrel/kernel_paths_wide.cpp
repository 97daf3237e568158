// The kernel's processing for the wide path: this file is compiled for AVX2 with FMA.
#include "kestrel/kernel_paths.cpp"

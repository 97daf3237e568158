#pragma once
// Kestrel's wide code path, compiled by function attributes: the functions marked
// ORV_WIDE_PATH are built for AVX2 with FMA with every call inside them inlined.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORV_HAS_WIDE_PATH 1
#define ORV_WIDE_PATH __attribute__((target("avx2,fma"), flatten))
#else
#define ORV_HAS_WIDE_PATH 0
#define ORV_WIDE_PATH
#endif

#pragma once
// Block transfers between a chunk and a plain ring of doubles: the n slots from slot `first` on
// (n <= Size), in two plain runs around the end of the ring.
#include <cstring>

namespace kestrel {

template <int Size, class T>
inline void copyIntoRing(double (&ring)[Size], unsigned first, const T* src, int n) {
    const int run = n < static_cast<int>(Size - first) ? n : static_cast<int>(Size - first);
    double* head = ring + first;
    for (int i = 0; i < run; ++i) head[i] = src[i];
    for (int i = run; i < n; ++i) ring[i - run] = src[i];
}

template <int Size>
inline void copyFromRing(double* dst, const double (&ring)[Size], unsigned first, int n) {
    const int run = n < static_cast<int>(Size - first) ? n : static_cast<int>(Size - first);
    std::memcpy(dst, ring + first, sizeof(double) * static_cast<unsigned>(run));
    std::memcpy(dst + run, ring, sizeof(double) * static_cast<unsigned>(n - run));
}

}  // namespace kestrel

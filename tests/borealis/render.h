#pragma once
// Drives a Borealis instance through its AEffect record: parameters, sample rate, resume, and
// blocks of stereo audio (optionally with side-chain inputs) in either precision.
#include "host/vst_interface.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

// Parameter values that make Borealis neutral: power on, ratio 1:1, 0 dB makeup and output,
// full mix, every switch off.
inline std::vector<std::pair<int, float>> neutralSettings() {
    std::vector<std::pair<int, float>> v = {
        {0, 1.0f},  {1, 0.0f},       {2, 0.0f},  {3, 0.0f},  {4, 0.0f},  {5, 1.0f / 6.0f}, {6, 0.3f},
        {7, 0.5f},  {8, 0.0f},       {9, 0.5f},  {10, 0.0f}, {11, 1.0f / 3.0f}, {12, 0.0f}, {13, 0.0f},
        {14, 1.0f}, {15, 0.0f},      {16, 0.0f}, {17, 0.0f}, {18, 0.0f}, {19, 0.5f}, {20, 0.5f},
        {21, 1.0f}, {22, 0.5f},      {23, 0.5f}, {24, 0.0f}, {25, 0.0f}, {26, 0.0f}, {35, 0.0f},
    };
    return v;
}

struct Stereo {
    std::vector<double> left, right;
    explicit Stereo(std::size_t n = 0) : left(n, 0.0), right(n, 0.0) {}
    std::size_t size() const { return left.size(); }
};

inline Stereo sine(std::size_t n, double amplitude, double hz, double rate) {
    Stereo s(n);
    for (std::size_t i = 0; i < n; ++i) {
        s.left[i] = amplitude * std::sin(2.0 * 3.141592653589793 * hz * i / rate);
        s.right[i] = amplitude * std::sin(2.0 * 3.141592653589793 * hz * 1.3 * i / rate);
    }
    return s;
}

inline void configure(AEffect* fx, float rate, const std::vector<std::pair<int, float>>& params) {
    fx->dispatcher(fx, effMainsChanged, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, rate);
    for (const auto& p : params) fx->setParameter(fx, p.first, p.second);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
}

// Processes `in` in blocks of `block` frames; `key` (optional) feeds the side-chain inputs.
// With inPlace the outputs are written over copies of the inputs.
template <class T>
Stereo render(AEffect* fx, const Stereo& in, int block, const Stereo* key = nullptr, bool inPlace = false) {
    const std::size_t n = in.size();
    std::vector<T> l(n), r(n), kl(n), kr(n), ol(n), orr(n);
    for (std::size_t i = 0; i < n; ++i) {
        l[i] = static_cast<T>(in.left[i]);
        r[i] = static_cast<T>(in.right[i]);
        kl[i] = static_cast<T>(key ? key->left[i] : 0.0);
        kr[i] = static_cast<T>(key ? key->right[i] : 0.0);
    }
    for (std::size_t pos = 0; pos < n; pos += block) {
        const int frames = static_cast<int>(std::min<std::size_t>(block, n - pos));
        T* ins[4] = {&l[pos], &r[pos], key ? &kl[pos] : nullptr, key ? &kr[pos] : nullptr};
        T* outs[2] = {inPlace ? &l[pos] : &ol[pos], inPlace ? &r[pos] : &orr[pos]};
        if constexpr (sizeof(T) == sizeof(float))
            fx->processReplacing(fx, ins, outs, frames);
        else
            fx->processDoubleReplacing(fx, ins, outs, frames);
    }
    Stereo out(n);
    for (std::size_t i = 0; i < n; ++i) {
        out.left[i] = inPlace ? l[i] : ol[i];
        out.right[i] = inPlace ? r[i] : orr[i];
    }
    return out;
}

inline double peakOf(const std::vector<double>& v, std::size_t from, std::size_t to) {
    double p = 0.0;
    for (std::size_t i = from; i < to && i < v.size(); ++i) p = std::max(p, std::fabs(v[i]));
    return p;
}

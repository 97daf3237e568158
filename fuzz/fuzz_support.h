#pragma once
// Shared pieces of the fuzz targets: a per-user store in a private temporary folder, both
// engines with a host that never answers, and the checks every target makes afterwards.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "borealis/borealis.h"
#include "kestrel/kestrel.h"

namespace orvfuzz {

constexpr std::int32_t kBorealisId = 0x4F72426F;  // 'OrBo'
constexpr std::int32_t kKestrelId = 0x4F724B65;   // 'OrKe'

// Stops the run with a message; libFuzzer keeps the input that caused it.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// Points the per-user store at a fresh temporary folder, once per process.
inline const std::string& privateStore() {
    static const std::string root = [] {
        char pattern[] = "/tmp/orv-fuzz-XXXXXX";
        const char* dir = mkdtemp(pattern);
        if (!dir) fail("no temporary folder");
        setenv("XDG_CONFIG_HOME", dir, 1);
        return std::string(dir);
    }();
    return root;
}

inline VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// Every preset parameter the engine reports is a normalised value; then a short block of
// audio must come out finite.
inline void checkEngine(CPresetSystemEffect& fx) {
    for (VstInt32 i = 0; i < 34; ++i) {
        const float v = fx.getParameter(i);
        if (!(v >= 0.0f && v <= 1.0f)) fail("a parameter left the range 0 to 1");
    }
    float in[4][64], out[2][64];
    for (int i = 0; i < 64; ++i)
        for (int c = 0; c < 4; ++c) in[c][i] = 0.25f * std::sin(0.1f * static_cast<float>(i + c));
    float* inputs[4] = {in[0], in[1], in[2], in[3]};
    float* outputs[2] = {out[0], out[1]};
    fx.processReplacing(inputs, outputs, 64);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 64; ++i)
            if (!std::isfinite(out[c][i])) fail("non-finite output after loading");
}

// One engine of each kind, created on first use and kept for the whole run.
inline Borealis& borealis() {
    static Borealis* fx = [] {
        privateStore();
        auto* b = new Borealis(quietHost);
        b->resume();
        return b;
    }();
    return *fx;
}

inline Kestrel& kestrel() {
    static Kestrel* fx = [] {
        privateStore();
        auto* k = new Kestrel(quietHost);
        k->resume();
        return k;
    }();
    return *fx;
}

}  // namespace orvfuzz

#pragma once
// The two code paths of the processing, and the one place that picks between them.
//
// The baseline path (SSE2) runs on every x86-64 processor. The wide path is the same processing
// compiled once more for processors with AVX2 and FMA: each engine's processing is written once
// over an instruction set (simd.h) and its path files are compiled twice, the second time with
// -mavx2 -mfma. Each effect asks the processor once, when it is created, which path it runs;
// a private vendorSpecific call can force the baseline (orv-host --sse2, benchmarks and tests).
//
// The wide path fuses multiplies and adds and so rounds differently in the last bits; its output
// stays within 1e-7 of the baseline's. Each path on its own gives the same output wherever it
// runs (Linux or Windows builds, any host block size).
#include <atomic>

namespace orv::dsp {

enum class CodePath : int { Baseline = 1, Wide = 2 };

// The private vendorSpecific request that sets and reports the path: lArg = kCodePathRequest,
// lArg2 = kCodePathForceBaseline or kCodePathAutomatic (anything else only asks); the answer is
// the CodePath now in use.
constexpr int kCodePathRequest = ('O' << 24) | ('r' << 16) | ('B' << 8) | 'L';
constexpr long long kCodePathAutomatic = 0;
constexpr long long kCodePathForceBaseline = 1;

// Whether this processor (and its operating system) runs the wide path: the only processor
// check of the plug-ins.
inline bool processorRunsWidePath() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

// The path one effect runs, chosen when the effect is created. Requests may come from any
// thread; the processing reads the choice once a block, so a change takes effect with the next
// block.
class CodePathChoice {
public:
    bool wide() const noexcept { return wide_.load(std::memory_order_relaxed); }
    CodePath path() const noexcept { return wide() ? CodePath::Wide : CodePath::Baseline; }
    // Carries out a request (kCodePathForceBaseline, kCodePathAutomatic, anything else only
    // asks) and answers the path now in use.
    CodePath request(long long request) noexcept {
        if (request == kCodePathForceBaseline) wide_.store(false, std::memory_order_relaxed);
        if (request == kCodePathAutomatic) wide_.store(processorRunsWidePath(), std::memory_order_relaxed);
        return path();
    }

private:
    std::atomic<bool> wide_{processorRunsWidePath()};
};

}  // namespace orv::dsp

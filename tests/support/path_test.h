#pragma once
// Tests of processing blocks on a code path. A test file that includes this is compiled twice
// (PATH_SOURCES in tests/CMakeLists.txt): as it stands for the baseline, and for the wide path
// with -mavx2 -mfma. PathSet is the instruction set of the build; suites are named with
// ORV_PATH_SUITE so that both builds' tests register side by side.
#include "borealis/dsp/code_path.h"
#include "borealis/dsp/simd.h"

#include <gtest/gtest.h>

#include <cmath>

#define ORV_PATH_JOIN2(a, b) a##b
#define ORV_PATH_JOIN(a, b) ORV_PATH_JOIN2(a, b)
#if ORV_SIMD_HAS_AVX2_FMA
#define ORV_PATH_SUITE(name) ORV_PATH_JOIN(name, OnWidePath)
#define ORV_PATH_NAMESPACE wide_path
#else
#define ORV_PATH_SUITE(name) ORV_PATH_JOIN(name, OnBaseline)
#define ORV_PATH_NAMESPACE baseline
#endif

// The helpers below differ between the two builds of a test file, so each build has them in a
// namespace of its own: one inline function of one name with two bodies would leave the linker
// to keep either body for both (unoptimised builds call rather than inline them).
namespace orvtest {
inline namespace ORV_PATH_NAMESPACE {

using PathSet = orv::simd::Native;

// Whether this processor runs the blocks of this build.
inline bool pathRuns() { return !PathSet::kFused || orv::dsp::processorRunsWidePath(); }

// The taps of symmetric and antisymmetric filters as the path computes them, written out:
// acc + c (a + b) and acc + c (a - b) on the baseline, a fused multiply-add per sample on the
// wide path.
inline double pathTapSum(double c, double a, double b, double acc) {
    return PathSet::kFused ? std::fma(c, b, std::fma(c, a, acc)) : acc + c * (a + b);
}
inline double pathTapDifference(double c, double a, double b, double acc) {
    return PathSet::kFused ? std::fma(-c, b, std::fma(c, a, acc)) : acc + c * (a - b);
}

}  // namespace ORV_PATH_NAMESPACE
}  // namespace orvtest

#define ORV_SKIP_UNLESS_PATH_RUNS() \
    if (!orvtest::pathRuns()) GTEST_SKIP() << "the processor does not run the wide path"

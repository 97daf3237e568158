// Processing must never allocate: count every operator new while the blocks run.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "borealis/dsp/biquad.h"
#include "borealis/dsp/knee_curve.h"
#include "borealis/dsp/oversampler2x.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

// A counting replacement of the global allocation functions for this test binary.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace orv::dsp {
namespace {

TEST(RealtimeSafety, ProcessingAllocatesNothing) {
    Biquad shelf(44100.0, BiquadType::LowShelf, 35.0, 0.35, -15.0);
    Biquad level(44100.0, BiquadType::Lowpass, 200.0, 0.5, 0.0);
    Oversampler2x os;
    DenormalNoise noise;
    std::vector<double> buffer(1024, 0.25);
    const KneePoints knee = kneePointsForSlope(0.25);

    const long before = allocations.load();
    double sink = 0.0;
    for (int block = 0; block < 50; ++block) {
        for (int i = 0; i < 64; ++i) {
            const double x = shelf.processSmoothed(buffer[i] + noise.next());
            sink += kneeGain(level.processPlain(x), 0.25, knee, true);
        }
        os.upsample<orv::simd::Sse2>(buffer.data(), 64);
        os.downsample<orv::simd::Sse2>(buffer.data(), 128);
        os.upsample<orv::simd::Sse2>(buffer.data(), 300);
        os.delayIn(buffer.data(), 64);
        os.delayOut(buffer.data(), 64);
        shelf.setGain(block % 2 ? 12.0 : -15.0);
        level.setRate(block % 2 ? 88200.0 : 44100.0);
        os.reset();
    }
    EXPECT_EQ(allocations.load(), before);
    EXPECT_TRUE(std::isfinite(sink));
}

}  // namespace
}  // namespace orv::dsp

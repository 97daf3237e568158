#include "borealis/dsp/oversampler2x.h"


#include <gtest/gtest.h>

#include "tests/support/path_test.h"

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "tests/dsp/reference_oversampler.h"

namespace orv::dsp {
namespace {

constexpr double kPi = 3.141592653589793;
const std::vector<int> kEngineChunks = {64};
const std::vector<int> kOddChunks = {64, 1, 7, 128, 129, 300, 63, 16, 17, 2};

std::vector<double> sine(int length, double cyclesPerSample, double amplitude = 0.8) {
    std::vector<double> s(length);
    for (int n = 0; n < length; ++n) s[n] = amplitude * std::sin(2 * kPi * cyclesPerSample * n);
    return s;
}

std::vector<double> randomSignal(int length) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> s(length);
    for (double& v : s) v = dist(rng);
    return s;
}

// Upsamples `in` in chunks whose lengths cycle through `chunks`.
std::vector<double> upsampleAll(Oversampler2x& os, const std::vector<double>& in, const std::vector<int>& chunks) {
    std::vector<double> out;
    std::vector<double> buffer;
    size_t pos = 0;
    for (size_t c = 0; pos < in.size(); ++c) {
        const int n = std::min<int>(chunks[c % chunks.size()], static_cast<int>(in.size() - pos));
        buffer.assign(in.begin() + pos, in.begin() + pos + n);
        buffer.resize(2 * n);
        os.upsample<orvtest::PathSet>(buffer.data(), n);
        out.insert(out.end(), buffer.begin(), buffer.end());
        pos += n;
    }
    return out;
}

// Downsamples a doubled stream in chunks of `chunks` output samples.
std::vector<double> downsampleAll(Oversampler2x& os, const std::vector<double>& in, const std::vector<int>& chunks) {
    std::vector<double> out;
    std::vector<double> buffer;
    size_t pos = 0;
    for (size_t c = 0; pos + 1 < in.size(); ++c) {
        const int n = std::min<int>(chunks[c % chunks.size()], static_cast<int>((in.size() - pos) / 2));
        buffer.assign(in.begin() + pos, in.begin() + pos + 2 * n);
        EXPECT_EQ(os.downsample<orvtest::PathSet>(buffer.data(), 2 * n), n);
        out.insert(out.end(), buffer.begin(), buffer.begin() + n);
        pos += 2 * n;
    }
    return out;
}

// Amplitude of the component at `cyclesPerSample` in s[start, start + length), length holding
// whole periods of it.
double amplitudeAt(const std::vector<double>& s, int start, int length, double cyclesPerSample) {
    std::complex<double> sum = 0.0;
    for (int n = start; n < start + length; ++n) sum += s[n] * std::polar(1.0, -2 * kPi * cyclesPerSample * n);
    return 2.0 * std::abs(sum) / length;
}

TEST(ORV_PATH_SUITE(Oversampler2x), KernelsAreWindowedHalfBandsWithUnitGainInBothPhases) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    Oversampler2x os;
    const HalfBandKernel& up = os.upsamplerKernel();
    const HalfBandKernel& down = os.downsamplerKernel();
    EXPECT_EQ(up[0], 1.0);
    EXPECT_EQ(down[0], 0.5);
    double upOdd = 0.0, downOdd = 0.0;
    for (int i = 1; i < kHalfBandHalfTaps; ++i) {
        if (i % 2 == 0) {
            EXPECT_EQ(up[i], 0.0) << i;
            EXPECT_EQ(down[i], 0.0) << i;
        } else {
            upOdd += up[i];
            downOdd += down[i];
        }
    }
    // The odd phase of the doubled stream carries a constant signal at the gain of the even one.
    EXPECT_NEAR(2 * upOdd, 1.0, 1e-14);
    EXPECT_NEAR(down[0] + 2 * downOdd, 1.0, 1e-14);
    // Each odd tap is its window times sin(pi i / 2) / (256 sin(pi i / 255)), up to one common
    // factor within half a percent of 1.
    auto prototype = [](int i) { return std::sin(kPi * i / 2) / (256 * std::sin(kPi * i / 255)); };
    auto blackman = [](int i) { return 0.42 + 0.5 * std::cos(2 * kPi * i / 255) + 0.08 * std::cos(4 * kPi * i / 255); };
    auto hann = [](int i) { return 0.5 + 0.5 * std::cos(2 * kPi * i / 255); };
    const double upFactor = up[1] / (2 * prototype(1) * blackman(1));
    const double downFactor = down[1] / (prototype(1) * hann(1));
    EXPECT_NEAR(upFactor, 1.0, 0.005);
    EXPECT_NEAR(downFactor, 1.0, 0.005);
    for (int i = 3; i < kHalfBandHalfTaps; i += 2) {
        EXPECT_NEAR(up[i], upFactor * 2 * prototype(i) * blackman(i), 1e-15 + 1e-12 * std::abs(up[i])) << i;
        EXPECT_NEAR(down[i], downFactor * prototype(i) * hann(i), 1e-15 + 1e-12 * std::abs(down[i])) << i;
    }
}

TEST(ORV_PATH_SUITE(Oversampler2x), UpsamplerImpulseResponseIsSymmetricAboutItsDelay) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    Oversampler2x os;
    std::vector<double> buffer(600, 0.0);
    buffer[0] = 1.0;
    os.upsample<orvtest::PathSet>(buffer.data(), 300);  // several passes inside one call
    const HalfBandKernel& u = os.upsamplerKernel();
    double sum = 0.0;
    for (int m = 0; m < 600; ++m) {
        sum += buffer[m];
        const int offset = std::abs(m - 129);
        const double expected = offset < kHalfBandHalfTaps ? u[offset] : 0.0;
        EXPECT_EQ(buffer[m], expected) << m;
    }
    EXPECT_NEAR(sum, 2.0, 1e-14);
}

TEST(ORV_PATH_SUITE(Oversampler2x), DownsamplerImpulseResponsesAreSymmetricAboutItsDelay) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    const HalfBandKernel d = makeDownsamplerKernel();
    for (int phase : {0, 1}) {
        Oversampler2x os;
        std::vector<double> buffer(600, 0.0);
        const int impulse = 20 + phase;  // first or second sample of pair 10
        buffer[impulse] = 1.0;
        ASSERT_EQ(os.downsample<orvtest::PathSet>(buffer.data(), 600), 300);
        for (int n = 0; n < 300; ++n) {
            const int offset = std::abs(2 * n - 129 - impulse);
            const double expected = offset < kHalfBandHalfTaps ? d[offset] : 0.0;
            EXPECT_EQ(buffer[n], expected) << "phase " << phase << " output " << n;
        }
    }
}

TEST(ORV_PATH_SUITE(Oversampler2x), UpThenDownReturnsABandLimitedSine129SamplesLateAtUnitGain) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    for (double f : {0.003, 0.05, 0.2}) {
        for (const auto* chunks : {&kEngineChunks, &kOddChunks}) {
            Oversampler2x os;
            const std::vector<double> x = sine(3000, f);
            const std::vector<double> y = downsampleAll(os, upsampleAll(os, x, *chunks), *chunks);
            ASSERT_EQ(y.size(), x.size());
            const double tolerance = f < 0.1 ? 2e-5 : 1e-4;
            for (size_t n = 600; n < y.size(); ++n) {
                ASSERT_NEAR(y[n], x[n - Oversampler2x::kRoundTripDelay], tolerance) << "f " << f << " n " << n;
            }
        }
    }
}

TEST(ORV_PATH_SUITE(Oversampler2x), ImagesAndAliasesStayBelowMinus100dB) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    {
        // A tone at 0.2 of the host rate lands at 0.1 of the doubled rate, its image at 0.4.
        Oversampler2x os;
        const std::vector<double> z = upsampleAll(os, sine(3000, 0.2, 1.0), kEngineChunks);
        EXPECT_NEAR(amplitudeAt(z, 1000, 4000, 0.1), 1.0, 1e-5);
        EXPECT_LT(amplitudeAt(z, 1000, 4000, 0.4), 1e-5);
    }
    {
        // A tone at 0.35 of the doubled rate is above the new Nyquist and must not come through.
        Oversampler2x os;
        const std::vector<double> y = downsampleAll(os, sine(8000, 0.35, 1.0), kEngineChunks);
        for (int n = 300; n < 4000; ++n) ASSERT_LT(std::abs(y[n]), 1e-5) << n;
    }
}

TEST(ORV_PATH_SUITE(Oversampler2x), MatchesTheSumsWrittenOutSampleBySample) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    const std::vector<double> x = randomSignal(5000);
    Oversampler2x os;
    testing::ReferenceOversampler ref;
    const std::vector<double> z = upsampleAll(os, x, kOddChunks);
    std::vector<double> zRef(2 * x.size());
    ref.upsample(x.data(), zRef.data(), static_cast<int>(x.size()));
    ASSERT_EQ(z.size(), zRef.size());
    for (size_t m = 0; m < z.size(); ++m) ASSERT_NEAR(z[m], zRef[m], 1e-12) << m;

    const std::vector<double> doubled = randomSignal(10000);
    const std::vector<double> y = downsampleAll(os, doubled, kOddChunks);
    std::vector<double> yRef(5000);
    ref.downsample(doubled.data(), yRef.data(), 5000);
    ASSERT_EQ(y.size(), yRef.size());
    for (size_t n = 0; n < y.size(); ++n) ASSERT_NEAR(y[n], yRef[n], 1e-12) << n;
}

// The same streams whichever way they are cut into calls (single samples, odd lengths, several
// passes of the rings in one call).
TEST(ORV_PATH_SUITE(Oversampler2x), FiltersGiveTheSameStreamsHoweverTheyAreCut) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    const std::vector<double> x = randomSignal(3000);
    const std::vector<double> doubled = randomSignal(6000);
    Oversampler2x wholeOs;
    const std::vector<double> wholeUp = upsampleAll(wholeOs, x, {3000});
    const std::vector<double> wholeDown = downsampleAll(wholeOs, doubled, {3000});
    for (const std::vector<int>& chunks : {kOddChunks, std::vector<int>{1}, std::vector<int>{3, 2, 5}}) {
        Oversampler2x os;
        EXPECT_EQ(upsampleAll(os, x, chunks), wholeUp) << "first chunk " << chunks[0];
        EXPECT_EQ(downsampleAll(os, doubled, chunks), wholeDown) << "first chunk " << chunks[0];
    }
}

TEST(ORV_PATH_SUITE(Oversampler2x), BypassDelaysAreExactly64SamplesEach) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    const std::vector<double> x = randomSignal(3000);
    Oversampler2x os;
    std::vector<double> in(x), through(x);
    size_t pos = 0;
    for (size_t c = 0; pos < x.size(); ++c) {
        const int n = std::min<int>(kOddChunks[c % kOddChunks.size()], static_cast<int>(x.size() - pos));
        os.delayIn(in.data() + pos, n);
        pos += n;
    }
    for (size_t n = 0; n < x.size(); ++n) ASSERT_EQ(in[n], n < 64 ? 0.0 : x[n - 64]) << n;
    // delayOut on its own ring: the chain is 128 samples.
    Oversampler2x chain;
    for (size_t p = 0; p + 64 <= x.size(); p += 64) {
        chain.delayIn(through.data() + p, 64);
        chain.delayOut(through.data() + p, 64);
    }
    for (size_t n = 0; n < 2944; ++n) ASSERT_EQ(through[n], n < 128 ? 0.0 : x[n - 128]) << n;
}

TEST(ORV_PATH_SUITE(Oversampler2x), ResetForgetsEverythingAndEmptyCallsDoNothing) {
    ORV_SKIP_UNLESS_PATH_RUNS();
    Oversampler2x os;
    EXPECT_EQ(os.latency(), 126);
    std::vector<double> noise = randomSignal(512);
    os.upsample<orvtest::PathSet>(noise.data(), 256);
    noise = randomSignal(512);
    os.downsample<orvtest::PathSet>(noise.data(), 512);
    os.reset();
    std::vector<double> silence(512, 0.0);
    os.upsample<orvtest::PathSet>(silence.data(), 256);
    for (double v : silence) ASSERT_EQ(v, 0.0);
    EXPECT_EQ(os.downsample<orvtest::PathSet>(silence.data(), 512), 256);
    for (double v : silence) ASSERT_EQ(v, 0.0);
    os.delayIn(silence.data(), 512);
    os.delayOut(silence.data(), 512);
    for (double v : silence) ASSERT_EQ(v, 0.0);

    std::vector<double> untouched = {1.0, 2.0, 3.0};
    os.upsample<orvtest::PathSet>(untouched.data(), 0);
    os.upsample<orvtest::PathSet>(untouched.data(), -5);
    os.upsample<orvtest::PathSet>(nullptr, 10);
    EXPECT_EQ(os.downsample<orvtest::PathSet>(untouched.data(), 1), 0);
    EXPECT_EQ(os.downsample<orvtest::PathSet>(nullptr, 64), 0);
    os.delayIn(untouched.data(), -1);
    os.delayOut(nullptr, 64);
    EXPECT_EQ(untouched, (std::vector<double>{1.0, 2.0, 3.0}));
    // An odd last sample is left alone.
    EXPECT_EQ(os.downsample<orvtest::PathSet>(untouched.data(), 3), 1);
    EXPECT_EQ(untouched[2], 3.0);
}

}  // namespace
}  // namespace orv::dsp

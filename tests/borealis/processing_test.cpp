// Orv Borealis processing as a host sees it: the built plug-in loaded with dlopen and driven
// through its AEffect record.
#include "tests/borealis/render.h"
#include "tests/host/plugin_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

constexpr int kLatency = 1660;
constexpr int kPower = 0, kFat = 1, kLimiter = 4, kThreshold = 5, kRatio = 6, kAttack = 7, kMakeup = 11,
              kMix = 21, kOutput = 22, kScExt = 25, kSmooth = 26;

struct Variant {
    const char* name;
    float power, fat, smooth;
};
const Variant kVariants[] = {
    {"normal", 1, 0, 0}, {"FAT", 1, 1, 0},       {"Smooth", 1, 0, 1},
    {"Smooth+FAT", 1, 1, 1}, {"power-off", 0, 0, 0}, {"power-off+FAT", 0, 1, 0},
};

class Processing : public ::testing::Test {
protected:
    void SetUp() override {
        hostLog().sideChainConnected = true;
        fx = plugin.start();
        ASSERT_NE(fx, nullptr);
        fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
    }
    void TearDown() override { hostLog().sideChainConnected = true; }

    // Neutral settings with some changes, at `rate`, resumed.
    void setUp(float rate, std::vector<std::pair<int, float>> changes = {}) {
        auto p = neutralSettings();
        p.insert(p.end(), changes.begin(), changes.end());
        configure(fx, rate, p);
    }

    LoadedPlugin plugin{ORV_BOREALIS_PATH};
    AEffect* fx = nullptr;
};

TEST_F(Processing, EveryVariantDelaysByTheReportedLatencyAtEveryRate) {
    for (float rate : {22050.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f}) {
        for (const Variant& v : kVariants) {
            setUp(rate, {{kPower, v.power}, {kFat, v.fat}, {kSmooth, v.smooth}});
            ASSERT_EQ(fx->initialDelay, kLatency);
            Stereo in(kLatency + 400);
            in.left[100] = 0.5;
            in.right[100] = -0.25;
            const Stereo out = render<double>(fx, in, 512);
            std::size_t peakL = 0, peakR = 0;
            for (std::size_t i = 0; i < out.size(); ++i) {
                if (std::fabs(out.left[i]) > std::fabs(out.left[peakL])) peakL = i;
                if (std::fabs(out.right[i]) > std::fabs(out.right[peakR])) peakR = i;
            }
            EXPECT_EQ(peakL, 100u + kLatency) << v.name << " at " << rate;
            EXPECT_EQ(peakR, 100u + kLatency) << v.name << " at " << rate;
            EXPECT_NEAR(out.left[peakL], 0.5, 0.01) << v.name << " at " << rate;
        }
    }
}

TEST_F(Processing, PowerOffIsAPureDelay) {
    for (float fat : {0.0f, 1.0f}) {
        // Heavy settings that would change the signal if they were applied.
        setUp(44100.0f, {{kPower, 0.0f}, {kFat, fat}, {kRatio, 1.0f}, {kThreshold, 1.0f}, {kMakeup, 1.0f},
                         {kLimiter, 1.0f}, {kOutput, 1.0f}});
        const Stereo in = sine(6000, 0.9, 997.0, 44100.0);
        const Stereo out = render<double>(fx, in, 256);
        if (fat != 0.0f) {
            // The resampler is band-limited: a 1 kHz sine passes within its ripple.
            for (std::size_t i = kLatency + 300; i < out.size(); ++i)
                ASSERT_NEAR(out.left[i], in.left[i - kLatency], 1e-3) << i;
        } else {
            for (std::size_t i = 0; i < out.size(); ++i) {
                const double expected = i >= static_cast<std::size_t>(kLatency) ? in.left[i - kLatency] : 0.0;
                ASSERT_NEAR(out.left[i], expected, 1e-10) << i;
            }
        }
    }
}

TEST_F(Processing, NeutralRatioIsTransparent) {
    for (float smooth : {0.0f, 1.0f}) {
        setUp(44100.0f, {{kSmooth, smooth}});
        const Stereo in = sine(8000, 0.5, 440.0, 44100.0);
        const Stereo out = render<double>(fx, in, 333);
        for (std::size_t i = kLatency + 2000; i < out.size(); ++i) {
            ASSERT_NEAR(out.left[i], in.left[i - kLatency], 2e-4 * 0.5) << i;
            ASSERT_NEAR(out.right[i], in.right[i - kLatency], 2e-4 * 0.5) << i;
        }
    }
}

TEST_F(Processing, MixZeroGivesTheDrySignalTimesTheOutputGain) {
    // Output 0.75 is +6.02 dB, a factor of exactly 2; the compressor works hard meanwhile.
    setUp(44100.0f, {{kMix, 0.0f}, {kOutput, 0.75f}, {kRatio, 0.8f}, {kThreshold, 1.0f}, {kMakeup, 1.0f}});
    const Stereo in = sine(6000, 0.4, 300.0, 44100.0);
    const Stereo out = render<double>(fx, in, 128);
    for (std::size_t i = kLatency; i < out.size(); ++i) ASSERT_NEAR(out.left[i], 2.0 * in.left[i - kLatency], 1e-9) << i;
}

TEST_F(Processing, LimiterNeverExceedsItsCeiling) {
    for (const Variant& v : kVariants) {
        if (v.power == 0) continue;
        setUp(48000.0f, {{kFat, v.fat}, {kSmooth, v.smooth}, {kLimiter, 1.0f}, {kMakeup, 1.0f}, {kOutput, 1.0f}});
        Stereo in(12000);
        for (std::size_t i = 0; i < in.size(); ++i) {
            in.left[i] = ((i / 37) % 2) ? 1.0 : -1.0;  // full-scale square wave
            in.right[i] = (i % 1000 < 3) ? 1.0 : 0.01;   // sparse full-scale clicks
        }
        const Stereo out = render<float>(fx, in, 500);
        EXPECT_LE(peakOf(out.left, 0, out.size()), 0.999 + 1e-7) << v.name;
        EXPECT_LE(peakOf(out.right, 0, out.size()), 0.999 + 1e-7) << v.name;
        EXPECT_GT(peakOf(out.left, 4000, out.size()), 0.9) << v.name << ": the limiter keeps the level up";
    }
}

// Settings where everything adapts: compression, program-dependent times, Classic, limiter.
std::vector<std::pair<int, float>> busySettings(const Variant& v) {
    return {{kPower, v.power}, {kFat, v.fat}, {kSmooth, v.smooth}, {kRatio, 0.8f}, {kThreshold, 0.6f},
            {8, 1.0f},         {10, 1.0f},    {24, 1.0f},          {2, 1.0f},      {kLimiter, 1.0f},
            {kMakeup, 0.7f},   {kMix, 0.8f},  {19, 0.8f},          {20, 0.7f},     {13, 1.0f}};
}

TEST_F(Processing, BlockSizeAndInPlaceBuffersDoNotChangeTheResult) {
    Stereo in = sine(9000, 0.7, 150.0, 44100.0);
    for (std::size_t i = 0; i < in.size(); ++i) in.left[i] *= (i / 2000) % 2 ? 1.0 : 0.1;
    for (const Variant& v : kVariants) {
        setUp(44100.0f, busySettings(v));
        const Stereo reference = render<float>(fx, in, 64);
        for (int block : {1, 1000, 4096}) {
            setUp(44100.0f, busySettings(v));
            const Stereo out = render<float>(fx, in, block);
            ASSERT_EQ(out.left, reference.left) << v.name << " in blocks of " << block;
            ASSERT_EQ(out.right, reference.right) << v.name << " in blocks of " << block;
        }
        setUp(44100.0f, busySettings(v));
        const Stereo inPlace = render<float>(fx, in, 700, nullptr, true);
        ASSERT_EQ(inPlace.left, reference.left) << v.name << " in place";
        ASSERT_EQ(inPlace.right, reference.right) << v.name << " in place";
    }
}

TEST_F(Processing, ZeroLengthBlockChangesNothing) {
    const Stereo in = sine(3000, 0.7, 150.0, 44100.0);
    setUp(44100.0f, busySettings(kVariants[0]));
    const Stereo reference = render<double>(fx, in, 100);

    setUp(44100.0f, busySettings(kVariants[0]));
    Stereo out(in.size());
    std::vector<double> l = in.left, r = in.right, ol(in.size(), 0.0), orr(in.size(), 0.0);
    for (std::size_t pos = 0; pos < in.size(); pos += 100) {
        double* ins[4] = {&l[pos], &r[pos], nullptr, nullptr};
        double* outs[2] = {&ol[pos], &orr[pos]};
        fx->processDoubleReplacing(fx, ins, outs, 0);
        fx->processDoubleReplacing(fx, ins, outs, 100);
    }
    EXPECT_EQ(ol, reference.left);
    EXPECT_EQ(orr, reference.right);
}

TEST_F(Processing, ExternalSideChain) {
    const Stereo quiet = sine(8000, 0.05, 440.0, 44100.0);
    const Stereo loud = sine(8000, 0.9, 440.0, 44100.0);
    const std::vector<std::pair<int, float>> compress = {{kRatio, 1.0f}, {kThreshold, 0.5f}};

    setUp(44100.0f, compress);
    const Stereo internal = render<double>(fx, quiet, 256);

    // A loud key compresses the quiet main signal.
    setUp(44100.0f, {{kRatio, 1.0f}, {kThreshold, 0.5f}, {kScExt, 1.0f}});
    const Stereo keyed = render<double>(fx, quiet, 256, &loud);
    EXPECT_LT(peakOf(keyed.left, 6000, 8000), 0.5 * peakOf(internal.left, 6000, 8000));

    // Without side-chain pins the key falls back to the main inputs.
    hostLog().sideChainConnected = false;
    for (float smooth : {0.0f, 1.0f}) {
        setUp(44100.0f, {{kRatio, 1.0f}, {kThreshold, 0.5f}, {kSmooth, smooth}});
        const Stereo plain = render<double>(fx, quiet, 256);
        setUp(44100.0f, {{kRatio, 1.0f}, {kThreshold, 0.5f}, {kSmooth, smooth}, {kScExt, 1.0f}});
        const Stereo fallback = render<double>(fx, quiet, 256);
        EXPECT_EQ(fallback.left, plain.left) << "Smooth " << smooth;
        EXPECT_EQ(fallback.right, plain.right) << "Smooth " << smooth;
    }
}

TEST_F(Processing, SinglePrecisionAgreesWithDoublePrecision) {
    const Stereo in = sine(6000, 0.7, 150.0, 44100.0);
    for (const Variant& v : kVariants) {
        setUp(44100.0f, busySettings(v));
        const Stereo d = render<double>(fx, in, 256);
        setUp(44100.0f, busySettings(v));
        const Stereo f = render<float>(fx, in, 256);
        for (std::size_t i = 0; i < in.size(); ++i) {
            ASSERT_NEAR(f.left[i], d.left[i], 2e-6) << v.name << " " << i;
            ASSERT_NEAR(f.right[i], d.right[i], 2e-6) << v.name << " " << i;
        }
    }
}

double levelDb(const std::vector<double>& v, std::size_t from, std::size_t to) {
    return 20.0 * std::log10(peakOf(v, from, to));
}

TEST_F(Processing, SteadySineIsReducedByTheStaticCurve) {
    // Ratio 4:1 (slope 0.25), threshold -30.1 dB (factor 32), hard knee. The detector reads a
    // sine of amplitude A as A * 1.4142 * 0.582 * 1.005773063 * 32 + 0.005 relative to the
    // threshold; the curve then gives the gain d^0.25 / d.
    const double amplitude = 0.25;
    const double d = amplitude * 1.4142 * 0.582 * 1.005773063 * 32.0 + 0.005;
    const double expectedDb = 20.0 * std::log10(std::pow(d, 0.25) / d);
    for (const Variant& v : kVariants) {
        if (v.power == 0) continue;
        // Link 0: each channel's key is its own signal.
        setUp(44100.0f, {{kFat, v.fat}, {kSmooth, v.smooth}, {kRatio, 0.8f}, {kThreshold, 1.0f}, {19, 0.0f}});
        fx->dispatcher(fx, effVendorSpecific, 0x4F724752, 1, nullptr, 0.0f);
        const Stereo in = sine(20000, amplitude, 1000.0, 44100.0);
        const Stereo out = render<double>(fx, in, 512);
        const double measured = levelDb(out.left, 15000, 20000) - levelDb(in.left, 15000, 20000);
        EXPECT_NEAR(measured, expectedDb, 0.4) << v.name;

        double reduction[2] = {0.0, 0.0};
        ASSERT_EQ(fx->dispatcher(fx, effVendorSpecific, 0x4F724752, 0, reduction, 0.0f), 1);
        EXPECT_NEAR(reduction[0], -expectedDb, 1.0) << v.name << ": largest reduction seen";
        EXPECT_EQ(reduction[1], 0.0) << "limiter off";
    }
}

TEST_F(Processing, DetectorIsAlignedWithTheMainSignal) {
    // A loud burst after silence, with the fastest attack and the highest ratio: the detector
    // sees the burst when the gain stage does, so its first output cycle is already reduced.
    for (const Variant& v : kVariants) {
        if (v.power == 0) continue;
        setUp(44100.0f, {{kFat, v.fat}, {kSmooth, v.smooth}, {kRatio, 1.0f}, {kThreshold, 1.0f}, {kAttack, 0.0f}});
        Stereo in = sine(6000, 0.9, 1000.0, 44100.0);
        for (std::size_t i = 0; i < 3000; ++i) in.left[i] = in.right[i] = 0.0;
        const Stereo out = render<double>(fx, in, 512);
        EXPECT_LT(peakOf(out.left, 3000 + kLatency, 3000 + kLatency + 44), 0.25) << v.name;
        EXPECT_LT(peakOf(out.left, 3000 + kLatency + 200, 6000), 0.1) << v.name;
    }
}

}  // namespace

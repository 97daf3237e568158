// Orv Kestrel driven through its exported entry point and AEffect record.
#include "tests/host/plugin_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kThreshold = 5, kRatio = 6, kAttack = 8, kRelease = 10, kSmooth = 27, kStereo = 28;

class KestrelBinary : public ::testing::Test {
protected:
    void SetUp() override {
        hostLog() = HostLog();
        ASSERT_NE(plugin.library, nullptr) << dlerror();
        ASSERT_NE(plugin.entry, nullptr);
        ASSERT_NE(plugin.start(), nullptr);
    }
    void run(std::vector<float>& l, std::vector<float>& r, std::vector<float>& outL, std::vector<float>& outR) {
        outL.assign(l.size(), 0.0f);
        outR.assign(l.size(), 0.0f);
        float* in[4] = {l.data(), r.data(), l.data(), r.data()};
        float* out[2] = {outL.data(), outR.data()};
        plugin.fx->processReplacing(plugin.fx, in, out, static_cast<VstInt32>(l.size()));
    }
    LoadedPlugin plugin{ORV_KESTREL_PATH};
};

TEST_F(KestrelBinary, RecordCarriesIdentity) {
    AEffect* fx = plugin.fx;
    EXPECT_EQ(plugin.symbol("main"), plugin.symbol("VSTPluginMain"));
    EXPECT_EQ(plugin.symbol("createEffectInstance"), nullptr);
    EXPECT_EQ(fx->magic, 0x56737450);
    EXPECT_EQ(fx->uniqueID, 0x4F724B65);
    EXPECT_EQ(fx->numPrograms, 1);
    EXPECT_EQ(fx->numParams, 34);
    EXPECT_EQ(fx->numInputs, 4);
    EXPECT_EQ(fx->numOutputs, 2);
    EXPECT_EQ(fx->initialDelay, 1021);
    EXPECT_EQ(fx->flags & 0x1030, 0x30) << "32-bit processing only";
    EXPECT_EQ(plugin.text(effGetEffectName), "Orv Kestrel");
    EXPECT_EQ(plugin.text(effGetProductString), "Orv Kestrel - stereo mastering compressor");
    EXPECT_EQ(plugin.dispatch(effGetVendorVersion), 1700);
    EXPECT_EQ(plugin.dispatch(effGetPlugCategory), kPlugCategMastering);
    EXPECT_EQ(plugin.dispatch(effGetInputProperties, 2, 0, nullptr), 0);
    char name[32];
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 15, 0, name), 1);
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 16, 0, name), 0);
}

// The main signal waits for the detector's centre, which sits 1021 samples behind the input at
// every rate (the Hilbert window grows with the rate, and the key is read that much earlier).
TEST_F(KestrelBinary, LatencyIsTheDetectorDelayAtEveryRate) {
    for (float rate : {44100.0f, 48000.0f, 96000.0f, 192000.0f, 22050.0f, 300000.0f, 8000.0f}) {
        plugin.dispatch(effMainsChanged, 0, 0);
        plugin.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        plugin.dispatch(effMainsChanged, 0, 1);
        EXPECT_EQ(plugin.fx->initialDelay, 1021) << rate;
    }
}

// Power off is a pure delay by exactly the reported latency, at every rate.
TEST_F(KestrelBinary, PowerOffIsPureDelayOfReportedLatency) {
    for (float rate : {44100.0f, 48000.0f, 192000.0f}) {
        plugin.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        plugin.fx->setParameter(plugin.fx, 0, 0.0f);
        std::vector<float> l(2048, 0.0f), r(2048, 0.0f), outL, outR;
        l[5] = 0.75f;
        r[9] = -0.5f;
        run(l, r, outL, outR);
        const int latency = plugin.fx->initialDelay;
        for (int t = 0; t < 2048; ++t) {
            ASSERT_EQ(outL[t], t == 5 + latency ? 0.75f : 0.0f) << rate << " at " << t;
            ASSERT_EQ(outR[t], t == 9 + latency ? -0.5f : 0.0f) << rate << " at " << t;
        }
    }
}

// With power on and a neutral setting the main path has the same delay, in every kernel.
TEST_F(KestrelBinary, EveryKernelDelaysByTheReportedLatency) {
    for (float rate : {44100.0f, 48000.0f, 96000.0f, 192000.0f}) {
        for (float stereo : {1.0f, 0.0f}) {
            for (float smooth : {0.0f, 1.0f}) {
                plugin.dispatch(effMainsChanged, 0, 0);
                plugin.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
                plugin.fx->setParameter(plugin.fx, kStereo, stereo);
                plugin.fx->setParameter(plugin.fx, kSmooth, smooth);
                plugin.dispatch(effMainsChanged, 0, 1);
                std::vector<float> l(2048, 0.0f), r(2048, 0.0f), outL, outR;
                l[100] = 0.5f;
                r[100] = 0.5f;
                run(l, r, outL, outR);
                int peak = 0;
                for (int t = 1; t < 2048; ++t)
                    if (std::fabs(outL[t]) > std::fabs(outL[peak])) peak = t;
                EXPECT_EQ(peak, 100 + plugin.fx->initialDelay) << rate << " stereo " << stereo << " smooth " << smooth;
                EXPECT_NEAR(outL[peak], 0.5f, 0.5f * 0.005f);
            }
        }
    }
}

// The gain reaches the sample it was computed for: at the fastest attack, a 20 dB step comes
// out at the settled level from its first millisecond on, not above it while the detector
// catches up.
TEST_F(KestrelBinary, StepAtFastestAttackStartsAtTheSettledLevel) {
    for (float rate : {44100.0f, 96000.0f, 192000.0f}) {
        for (float smooth : {0.0f, 1.0f}) {
            for (float stereo : {1.0f, 0.0f}) {
                plugin.dispatch(effMainsChanged, 0, 0);
                plugin.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
                for (auto [index, value] : {std::pair<int, float>{kThreshold, 1.0f}, {kRatio, 0.9f}, {kAttack, 0.0f},
                                            {kRelease, 0.3f}, {kSmooth, smooth}, {kStereo, stereo}})
                    plugin.fx->setParameter(plugin.fx, index, value);
                plugin.dispatch(effMainsChanged, 0, 1);
                const int ms = static_cast<int>(rate / 1000.0f);
                const int step = 200 * ms, total = 300 * ms;
                std::vector<float> l(total), r(total), outL, outR;
                // The step starts on a rising half-wave: without Link (always so in Mono) the
                // Draft detector is not rectified, and a falling half-wave leaves the gain where
                // it was, whatever the alignment.
                for (int t = 0; t < total; ++t) {
                    const double a = t < step ? 0.05 : 0.5;  // -26 dBFS to -6 dBFS
                    l[t] = r[t] = static_cast<float>(a * std::sin(2.0 * M_PI * 1000.0 * (t - step) / rate));
                }
                run(l, r, outL, outR);
                auto peakDb = [&](int from, int to) {
                    float p = 0.0f;
                    for (int t = from; t < to; ++t) p = std::max(p, std::fabs(outL[t]));
                    return 20.0 * std::log10(p);
                };
                const int at = step + plugin.fx->initialDelay;
                const double settled = peakDb(at + 20 * ms, at + 40 * ms);
                const double first = peakDb(at, at + ms);
                EXPECT_NEAR(first, settled, 3.0) << rate << " smooth " << smooth << " stereo " << stereo;
            }
        }
    }
}

// Kestrel has no double-precision path: it says so, and a host that calls it anyway gets
// silence rather than whatever its buffers held.
TEST_F(KestrelBinary, RefusesDoublePrecision) {
    EXPECT_EQ(plugin.dispatch(effSetProcessPrecision, 0, kVstProcessPrecision64), 0);
    EXPECT_EQ(plugin.dispatch(effSetProcessPrecision, 0, kVstProcessPrecision32), 1);
    EXPECT_EQ(plugin.fx->flags & effFlagsCanDoubleReplacing, 0);
    std::vector<double> in(256, 0.5), outL(256, 7.0), outR(256, 7.0);
    double* ins[4] = {in.data(), in.data(), in.data(), in.data()};
    double* outs[2] = {outL.data(), outR.data()};
    plugin.fx->processDoubleReplacing(plugin.fx, ins, outs, 256);
    for (int t = 0; t < 256; ++t) {
        ASSERT_EQ(outL[t], 0.0) << t;
        ASSERT_EQ(outR[t], 0.0) << t;
    }
}

TEST_F(KestrelBinary, ChunkRoundTripKeepsEveryValue) {
    void* data = nullptr;
    plugin.fx->setParameter(plugin.fx, 7, 0.25f);  // stored-only values survive too
    plugin.fx->setParameter(plugin.fx, 31, 0.75f);
    plugin.fx->setParameter(plugin.fx, 6, 0.8f);
    const VstIntPtr size = plugin.dispatch(effGetChunk, 0, 0, &data);
    ASSERT_EQ(size, 2592);
    std::vector<unsigned char> chunk(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    EXPECT_EQ(std::memcmp(chunk.data() + 4, "eKrO", 4), 0) << "stamped 'OrKe', little-endian";

    LoadedPlugin other{ORV_KESTREL_PATH};
    ASSERT_NE(other.start(), nullptr);
    EXPECT_EQ(other.dispatch(effSetChunk, 0, size, chunk.data()), 0);
    for (int i = 0; i < 34; ++i) EXPECT_EQ(other.fx->getParameter(other.fx, i), plugin.fx->getParameter(plugin.fx, i)) << i;
    EXPECT_EQ(other.text(effGetParamDisplay, 6), "4.00 : 1");

    chunk[4] = 'o';  // another plug-in's bank is refused
    EXPECT_NE(other.dispatch(effSetChunk, 0, size, chunk.data()), 0);
}

}  // namespace

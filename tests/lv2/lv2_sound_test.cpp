// The LV2 plug-ins sound as the VST 2.4 build does, to the bit, for the same settings and
// block sizes: at their defaults, with every control port moved (also between blocks, as
// automation), with each factory preset, and with bad port values and unconnected ports.
#include "tests/lv2/plugin_cases.h"

using namespace orvtest;
using orv::lv2::kFirstParameterPort;
using orv::lv2::PortKind;

namespace {

constexpr std::uint32_t kFrames = 24000;

class Lv2Sound : public testing::TestWithParam<PluginCase> {
protected:
    const orv::lv2::PluginDescription& ports() { return GetParam().ports(); }

    // A value in the port's range: a whole step for choices and switches.
    float randomUnit(const orv::lv2::ParameterPort& p, std::mt19937& random) {
        std::uniform_real_distribution<float> u(orv::lv2::unitMinimum(p), orv::lv2::unitMaximum(p));
        if (p.kind == PortKind::Toggle) return static_cast<float>(random() % 2);
        if (p.kind == PortKind::Choice) return static_cast<float>(random() % p.choices);
        return u(random);
    }

    // Both builds, the same signal in the same blocks; `change` runs before the second half
    // with the LV2 port values to set.
    void expectSameSound(Lv2Instance& lv2, VstReference& vst, bool keys, const std::vector<float>& secondHalf = {}) {
        std::vector<float> in[4], a[4], b[4];
        testSignal(kFrames, 7, in);
        for (int c = 0; c < 4; ++c) {
            a[c].assign(in[c].begin(), in[c].begin() + kFrames / 2);
            b[c].assign(in[c].begin() + kFrames / 2, in[c].end());
        }
        lv2.connectKeys(keys);
        std::vector<float> lv2Out[2], vstOut[2], lv2Tail[2], vstTail[2];
        lv2.process(a, lv2Out, kMixedBlocks);
        vst.process(a, vstOut, kMixedBlocks, keys);
        for (std::size_t i = 0; i < secondHalf.size(); ++i) {
            lv2.control(kFirstParameterPort + static_cast<std::uint32_t>(i)) = secondHalf[i];
            vst.setPort(static_cast<int>(i), secondHalf[i]);
        }
        lv2.process(b, lv2Tail, kMixedBlocks);
        vst.process(b, vstTail, kMixedBlocks, keys);
        for (int c = 0; c < 2; ++c) {
            lv2Out[c].insert(lv2Out[c].end(), lv2Tail[c].begin(), lv2Tail[c].end());
            vstOut[c].insert(vstOut[c].end(), vstTail[c].begin(), vstTail[c].end());
            EXPECT_TRUE(allFinite(lv2Out[c]));
            EXPECT_EQ(largestDifference(lv2Out[c], vstOut[c]), 0.0) << "channel " << c;
        }
    }
};

TEST_P(Lv2Sound, AtTheDefaultsWithAndWithoutTheSideChainConnected) {
    for (bool keys : {true, false}) {
        SCOPED_TRACE(keys ? "key ports connected" : "key ports unconnected");
        Lv2Instance lv2(GetParam().uri, 48000);
        VstReference vst(GetParam(), 48000);
        ASSERT_TRUE(lv2.ok() && vst.ok());
        expectSameSound(lv2, vst, keys);
    }
}

TEST_P(Lv2Sound, WithEveryControlPortSetAndChangedBetweenBlocks) {
    for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        Lv2Instance lv2(GetParam().uri, 44100);
        VstReference vst(GetParam(), 44100);
        ASSERT_TRUE(lv2.ok() && vst.ok());
        std::vector<float> second;
        for (int i = 0; i < ports().numPorts; ++i) {
            const orv::lv2::ParameterPort& p = ports().ports[i];
            // Power stays on, or there is nothing to compare.
            const float u = p.index == 0 ? 1.0f : randomUnit(p, random);
            lv2.control(kFirstParameterPort + i) = u;
            vst.setPort(i, u);
            second.push_back(p.index == 0 ? 1.0f : randomUnit(p, random));
        }
        expectSameSound(lv2, vst, seed % 2 == 1, second);
    }
}

TEST_P(Lv2Sound, WithEachFactoryPresetLoadedAsAnLv2Preset) {
    const orv::lv2::PluginDescription& d = ports();
    UridMap urids;
    for (int n = 0; n < kNumPresets; ++n) {
        SCOPED_TRACE(d.presetNames[n]);
        Lv2Instance lv2(GetParam().uri, 48000);
        VstReference vst(GetParam(), 48000);
        ASSERT_TRUE(lv2.ok() && vst.ok());
        const std::string uri = std::string(GetParam().uri) + ":preset:" + std::to_string(n + 1);
        LilvNode* node = lilv_new_uri(lv2World(), uri.c_str());
        lilv_world_load_resource(lv2World(), node);
        LilvState* preset = lilv_state_new_from_world(lv2World(), &urids.mapFeatureData, node);
        lilv_node_free(node);
        ASSERT_NE(preset, nullptr);
        EXPECT_STREQ(lilv_state_get_label(preset), d.presetNames[n]);
        lv2.restoreState(preset);
        lilv_state_free(preset);
        for (int i = 0; i < d.numPorts; ++i) {
            const orv::lv2::ParameterPort& p = d.ports[i];
            const float expected = orv::lv2::unitValue(p, (*d.presetValues)[n][p.index]);
            EXPECT_EQ(lv2.control(kFirstParameterPort + i), expected) << p.symbol;
            vst.setPort(i, expected);
        }
        expectSameSound(lv2, vst, true);
    }
}

TEST_P(Lv2Sound, BadPortValuesAreClampedOrIgnored) {
    const orv::lv2::PluginDescription& d = ports();
    const float bad[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, -0.0f, 12345.0f};
    Lv2Instance lv2(GetParam().uri, 48000);
    VstReference vst(GetParam(), 48000);
    ASSERT_TRUE(lv2.ok() && vst.ok());
    std::vector<float> second;
    for (int i = 0; i < d.numPorts; ++i) {
        const float u = d.ports[i].index == 0 ? 1.0f : bad[i % 7];
        lv2.control(kFirstParameterPort + i) = u;
        vst.setPort(i, u);
        second.push_back(d.ports[i].index == 0 ? 1.0f : bad[(i + 3) % 7]);
    }
    expectSameSound(lv2, vst, true, second);

    // What the plug-in holds: NaN left the value as it was, the rest went to an end.
    Lv2Instance fresh(GetParam().uri, 48000);
    const std::vector<float> before = currentPresetValues(fresh.savedChunk());
    ASSERT_EQ(before.size(), static_cast<std::size_t>(kNumPresetParams));
    for (int i = 0; i < d.numPorts; ++i) fresh.control(kFirstParameterPort + i) = NAN;
    fresh.runSilence(64);
    EXPECT_EQ(currentPresetValues(fresh.savedChunk()), before);
    for (float end : {INFINITY, -INFINITY}) {
        for (int i = 1; i < d.numPorts; ++i) fresh.control(kFirstParameterPort + i) = end;
        fresh.runSilence(64);
        const std::vector<float> held = currentPresetValues(fresh.savedChunk());
        for (int i = 1; i < d.numPorts; ++i) {
            const orv::lv2::ParameterPort& p = d.ports[i];
            const float atEnd = end > 0 ? orv::lv2::unitMaximum(p) : orv::lv2::unitMinimum(p);
            EXPECT_EQ(orv::lv2::unitValue(p, held[p.index]), atEnd) << p.symbol;
        }
    }
}

TEST_P(Lv2Sound, TheLatencyPortAndTheGainReductionPorts) {
    for (double rate : {44100.0, 48000.0}) {
        Lv2Instance lv2(GetParam().uri, rate);
        ASSERT_TRUE(lv2.ok());
        lv2.runSilence(16);
        // The latency the VST build reports to its host (initialDelay), never zero.
        VstReference vst(GetParam(), rate);
        EXPECT_GT(vst.effect()->initialDelay, 0);
        EXPECT_EQ(lv2.control(orv::lv2::kLatency), static_cast<float>(vst.effect()->initialDelay));
        EXPECT_LT(lv2.control(orv::lv2::kGainReductionLeft), 0.5f);  // at rest, 1 : 1

        // A loud signal far over a low threshold at a high ratio is reduced on both channels.
        lv2.control("threshold") = -30.0f;
        lv2.control("ratio") = 20.0f;
        std::vector<float> in[4], out[2];
        testSignal(kFrames, 3, in);
        lv2.process(in, out, {512});
        EXPECT_GT(lv2.control(orv::lv2::kGainReductionLeft), 3.0f);
        EXPECT_GT(lv2.control(orv::lv2::kGainReductionRight), 3.0f);
        EXPECT_LE(lv2.control(orv::lv2::kGainReductionLeft), 60.0f);
    }
}

TEST_P(Lv2Sound, InPlaceBuffersGiveTheSameSound) {
    std::vector<float> in[4], apart[2], inPlace[2];
    testSignal(kFrames, 9, in);
    Lv2Instance a(GetParam().uri, 48000), b(GetParam().uri, 48000);
    ASSERT_TRUE(a.ok() && b.ok());
    b.processInPlace(true);
    a.process(in, apart, kMixedBlocks);
    b.process(in, inPlace, kMixedBlocks);
    for (int c = 0; c < 2; ++c) EXPECT_EQ(largestDifference(apart[c], inPlace[c]), 0.0) << "channel " << c;
}

TEST_P(Lv2Sound, UnconnectedOutputAndControlPortsAreLeftAlone) {
    Lv2Instance lv2(GetParam().uri, 48000);
    ASSERT_TRUE(lv2.ok());
    for (std::uint32_t i = orv::lv2::kLatency; i < kFirstParameterPort + ports().numPorts; ++i)
        lilv_instance_connect_port(lv2.lilv(), i, nullptr);
    lv2.runSilence(5000);
    std::vector<float> in[4], out[2];
    testSignal(4096, 5, in);
    lv2.process(in, out, {100});
    EXPECT_TRUE(allFinite(out[0]) && allFinite(out[1]));
}

INSTANTIATE_TEST_SUITE_P(BothPlugins, Lv2Sound, testing::Values(kBorealisCase, kKestrelCase), caseName);

}  // namespace

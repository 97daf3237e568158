// Both plug-ins read only the channel pointers the speaker arrangement gives and fill every
// output the host provides. Pins beyond the arrangement point at poison buffers here: their
// contents must never show in the output, and an output beyond it must stay as it was.
#include "tests/host/plugin_fixture.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int kFrames = 4096;
constexpr float kUntouched = 123.0f;

using Settings = std::vector<std::pair<int, float>>;

struct Variant {
    const char* name;
    Settings settings;
};

struct Engine {
    const char* name;
    const char* path;
    int scExt;
    std::vector<Variant> variants;
};

const Engine kEngines[] = {
    {"Borealis",
     ORV_BOREALIS_PATH,
     25,
     {{"normal", {}}, {"FAT", {{1, 1.0f}}}, {"Smooth", {{26, 1.0f}}}, {"power-off", {{0, 0.0f}}}}},
    {"Kestrel",
     ORV_KESTREL_PATH,
     26,
     {{"stereo", {{28, 1.0f}}}, {"mono", {{28, 0.0f}}}, {"Smooth", {{27, 1.0f}}}, {"power-off", {{0, 0.0f}}}}},
};

struct Arrangement {
    int inputs, outputs;
};

VstSpeakerArrangement arrangementOf(int channels) {
    VstSpeakerArrangement a{};
    a.numChannels = channels;
    return a;
}

struct Result {
    std::vector<float> out[2];
};

// Renders a sine through an instance set to `arrangement`; pins beyond it carry `poison`
// (inputs) or start as kUntouched (outputs).
Result render(const Engine& engine, const Variant& v, Arrangement arrangement, float poison) {
    LoadedPlugin plugin{engine.path};
    AEffect* fx = plugin.start();
    EXPECT_NE(fx, nullptr);
    Result r;
    if (!fx) return r;
    VstSpeakerArrangement in = arrangementOf(arrangement.inputs), out = arrangementOf(arrangement.outputs);
    plugin.dispatch(effMainsChanged, 0, 0);
    plugin.dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    fx->setParameter(fx, engine.scExt, 1.0f);
    fx->setParameter(fx, 6, 0.8f);
    for (const auto& [index, value] : v.settings) fx->setParameter(fx, index, value);
    plugin.dispatch(effMainsChanged, 0, 1);

    std::vector<float> channels[4];
    for (int c = 0; c < 4; ++c) {
        channels[c].resize(kFrames);
        for (int t = 0; t < kFrames; ++t)
            channels[c][t] = c < arrangement.inputs ? 0.5f * std::sin(0.05f * (c + 1) * t) : poison;
    }
    for (auto& o : r.out) o.assign(kFrames, kUntouched);
    for (int pos = 0; pos < kFrames; pos += 512) {
        float* ins[4] = {&channels[0][pos], &channels[1][pos], &channels[2][pos], &channels[3][pos]};
        float* outs[2] = {&r.out[0][pos], &r.out[1][pos]};
        fx->processReplacing(fx, ins, outs, 512);
    }
    return r;
}

TEST(ChannelPointers, OnlyThePinsOfTheArrangementAreUsed) {
    hostLog() = HostLog();
    // The accepted arrangements with fewer pins than the plug-ins have, and the refused one
    // that still changes the routing.
    const Arrangement arrangements[] = {{1, 1}, {1, 2}, {2, 2}, {2, 1}};
    for (const Engine& engine : kEngines) {
        for (const Variant& v : engine.variants) {
            for (Arrangement a : arrangements) {
                const std::string label = std::string(engine.name) + " " + v.name + " " + std::to_string(a.inputs) +
                                          " in " + std::to_string(a.outputs) + " out";
                const Result first = render(engine, v, a, 0.9f);
                const Result second = render(engine, v, a, -0.3f);
                for (int t = 0; t < kFrames; ++t) {
                    ASSERT_EQ(first.out[0][t], second.out[0][t]) << label << " at " << t;
                    const float expected = a.outputs == 2 ? second.out[1][t] : kUntouched;
                    ASSERT_EQ(first.out[1][t], expected) << label << " at " << t;
                    ASSERT_NE(first.out[0][t], kUntouched) << label << " at " << t;
                }
            }
        }
    }
}

// With nothing to process (no first output, or no first input) every output the host gave is
// silenced, the second only under an arrangement that has one.
TEST(ChannelPointers, MissingPointersGiveSilenceInWhatTheHostProvides) {
    hostLog() = HostLog();
    for (const Engine& engine : kEngines) {
        for (const Variant& v : engine.variants) {
            for (int outputs : {2, 1}) {
                LoadedPlugin plugin{engine.path};
                AEffect* fx = plugin.start();
                ASSERT_NE(fx, nullptr);
                VstSpeakerArrangement in = arrangementOf(2), out = arrangementOf(outputs);
                plugin.dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
                for (const auto& [index, value] : v.settings) fx->setParameter(fx, index, value);
                plugin.dispatch(effMainsChanged, 0, 1);
                std::vector<float> input(256, 0.5f), left(256, kUntouched), right(256, kUntouched);
                const std::string label = std::string(engine.name) + " " + v.name + " " + std::to_string(outputs);

                float* ins[4] = {input.data(), input.data(), nullptr, nullptr};
                float* noLeft[2] = {nullptr, right.data()};
                fx->processReplacing(fx, ins, noLeft, 256);
                for (int t = 0; t < 256; ++t) ASSERT_EQ(right[t], outputs == 2 ? 0.0f : kUntouched) << label;

                right.assign(256, kUntouched);
                float* noInput[4] = {nullptr, input.data(), nullptr, nullptr};
                float* both[2] = {left.data(), right.data()};
                fx->processReplacing(fx, noInput, both, 256);
                for (int t = 0; t < 256; ++t) {
                    ASSERT_EQ(left[t], 0.0f) << label;
                    ASSERT_EQ(right[t], outputs == 2 ? 0.0f : kUntouched) << label;
                }
            }
        }
    }
}

}  // namespace

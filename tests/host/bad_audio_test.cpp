// Both plug-ins fed garbage through their binary interface: NaN, infinite and absurdly large
// samples on the main and key inputs, in every kernel and both precisions, and host sample
// rates that are not numbers. The output must stay finite, carry no DC and be back at the level
// of a clean render soon after.
#include "tests/host/plugin_fixture.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr int kLength = 110250;  // 2.5 s
constexpr int kBad = 44100;      // the garbage arrives at 1 s
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

using Settings = std::vector<std::pair<int, float>>;

struct Variant {
    std::string name;
    Settings settings;
};

struct Engine {
    const char* path;
    bool hasDouble;
    Settings compress;  // a hard-working setting with the external key on
    std::vector<Variant> variants;
};

const Engine kBorealis{ORV_BOREALIS_PATH,
                       true,
                       {{6, 0.8f}, {5, 0.72f}, {25, 1.0f}},
                       {{"normal", {}},
                        {"FAT", {{1, 1.0f}}},
                        {"Smooth", {{26, 1.0f}}},
                        {"Smooth+FAT", {{26, 1.0f}, {1, 1.0f}}},
                        {"power-off", {{0, 0.0f}}}}};
const Engine kKestrel{ORV_KESTREL_PATH,
                      false,
                      {{6, 0.8f}, {5, 0.9f}, {26, 1.0f}, {8, 0.1f}},
                      {{"stereo Draft", {{28, 1.0f}, {27, 0.0f}}},
                       {"stereo Smooth", {{28, 1.0f}, {27, 1.0f}}},
                       {"mono Draft", {{28, 0.0f}, {27, 0.0f}}},
                       {"mono Smooth", {{28, 0.0f}, {27, 1.0f}}},
                       {"power-off", {{0, 0.0f}}}}};

struct Channels {
    std::vector<double> c[4];  // main left, main right, key left, key right
};

Channels music() {
    Channels s;
    for (auto& v : s.c) v.resize(kLength);
    for (int t = 0; t < kLength; ++t) {
        const double w = 2.0 * M_PI * t / kRate;
        s.c[0][t] = 0.25 * std::sin(1000.0 * w);
        s.c[1][t] = 0.25 * std::sin(1300.0 * w);
        s.c[2][t] = 0.4 * std::sin(500.0 * w);
        s.c[3][t] = 0.4 * std::sin(650.0 * w);
    }
    return s;
}

// One bad sample of each kind on every input, a few milliseconds apart.
Channels poisoned(bool doublePrecision) {
    Channels s = music();
    const double huge = doublePrecision ? 1e300 : FLT_MAX;
    const double bad[] = {kNaN, kInf, -kInf, huge};
    for (int input = 0; input < 4; ++input)
        for (int kind = 0; kind < 4; ++kind) s.c[input][kBad + 100 * input + 400 * kind] = bad[kind];
    return s;
}

struct Output {
    std::vector<double> left, right;
};

template <class T>
Output render(AEffect* fx, const Channels& in, int block) {
    std::vector<T> c[4], outL(kLength), outR(kLength);
    for (int i = 0; i < 4; ++i) c[i].assign(in.c[i].begin(), in.c[i].end());
    for (int pos = 0; pos < kLength; pos += block) {
        const int n = std::min(block, kLength - pos);
        T* ins[4] = {&c[0][pos], &c[1][pos], &c[2][pos], &c[3][pos]};
        T* outs[2] = {&outL[pos], &outR[pos]};
        if constexpr (sizeof(T) == sizeof(float))
            fx->processReplacing(fx, ins, outs, n);
        else
            fx->processDoubleReplacing(fx, ins, outs, n);
    }
    return {{outL.begin(), outL.end()}, {outR.begin(), outR.end()}};
}

Output renderIn(AEffect* fx, const Channels& in, bool doublePrecision) {
    return doublePrecision ? render<double>(fx, in, 300) : render<float>(fx, in, 300);
}

void configure(AEffect* fx, float rate, const Settings& a, const Settings& b) {
    fx->dispatcher(fx, effMainsChanged, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, rate);
    for (const Settings* s : {&a, &b})
        for (const auto& [index, value] : *s) fx->setParameter(fx, index, value);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
}

double rmsDb(const std::vector<double>& v, int from, int to) {
    double sum = 0.0;
    for (int t = from; t < to; ++t) sum += v[t] * v[t];
    return 10.0 * std::log10(sum / (to - from) + 1e-30);
}

double mean(const std::vector<double>& v, int from, int to) {
    double sum = 0.0;
    for (int t = from; t < to; ++t) sum += v[t];
    return sum / (to - from);
}

int firstNonFinite(const std::vector<double>& v) {
    for (int t = 0; t < static_cast<int>(v.size()); ++t)
        if (!std::isfinite(v[t])) return t;
    return -1;
}

// The poisoned render against a clean one in a fresh instance of the same setting.
void expectSurvives(const Engine& engine, const Variant& v, const Settings& extra, bool doublePrecision,
                    const std::string& label) {
    Output clean, bad;
    for (bool poison : {false, true}) {
        LoadedPlugin plugin{engine.path};
        AEffect* fx = plugin.start();
        ASSERT_NE(fx, nullptr);
        Settings s = engine.compress;
        s.insert(s.end(), extra.begin(), extra.end());
        configure(fx, static_cast<float>(kRate), s, v.settings);
        (poison ? bad : clean) = renderIn(fx, poison ? poisoned(doublePrecision) : music(), doublePrecision);
    }
    for (const std::vector<double>* out : {&bad.left, &bad.right})
        ASSERT_EQ(firstNonFinite(*out), -1) << label;
    const int recovered = kBad + 1600 + static_cast<int>(kRate);  // a second after the last bad sample
    for (int ch = 0; ch < 2; ++ch) {
        const std::vector<double>& b = ch ? bad.right : bad.left;
        const std::vector<double>& c = ch ? clean.right : clean.left;
        EXPECT_NEAR(rmsDb(b, recovered, kLength), rmsDb(c, recovered, kLength), 1.0) << label << " channel " << ch;
        // No DC anywhere after the garbage: a stuck value would move the mean far from the clean one.
        EXPECT_NEAR(mean(b, kBad, kLength), mean(c, kBad, kLength), 1e-3) << label << " channel " << ch;
        EXPECT_NEAR(mean(b, recovered, kLength), mean(c, recovered, kLength), 1e-4) << label << " channel " << ch;
    }
}

TEST(BadAudio, GarbageSamplesLeaveEveryKernelFiniteAndRecovering) {
    hostLog() = HostLog();
    for (const Engine* engine : {&kBorealis, &kKestrel}) {
        for (const Variant& v : engine->variants) {
            for (bool doublePrecision : {false, true}) {
                if (doublePrecision && !engine->hasDouble) continue;
                const std::string label = std::string(engine == &kBorealis ? "Borealis " : "Kestrel ") + v.name +
                                          (doublePrecision ? " 64-bit" : " 32-bit");
                expectSurvives(*engine, v, {}, doublePrecision, label);
                if (engine == &kBorealis) expectSurvives(*engine, v, {{4, 1.0f}}, doublePrecision, label + " limiter");
            }
        }
    }
}

// Samples past the finite range the engines take in are silence, not a burst: a block of them
// gives silence out (after the latency), and the output is finite throughout.
TEST(BadAudio, GarbageBlockComesOutAsSilence) {
    hostLog() = HostLog();
    LoadedPlugin plugin{ORV_BOREALIS_PATH};
    AEffect* fx = plugin.start();
    ASSERT_NE(fx, nullptr);
    configure(fx, 44100.0f, {{0, 0.0f}}, {});  // power off: a pure delay
    const int latency = fx->initialDelay;
    Channels in = music();
    for (int t = 10000; t < 10500; ++t)
        for (auto& c : in.c) c[t] = (t % 3 == 0) ? kNaN : (t % 3 == 1 ? 1e12 : -kInf);
    const Output out = render<double>(fx, in, 256);
    for (int t = 10000 + latency; t < 10500 + latency; ++t) {
        ASSERT_NEAR(out.left[t], 0.0, 1e-9) << t;
        ASSERT_NEAR(out.right[t], 0.0, 1e-9) << t;
    }
    EXPECT_NEAR(out.left[9999 + latency], in.c[0][9999], 1e-9);
    EXPECT_NEAR(out.left[10500 + latency], in.c[0][10500], 1e-9);
}

// A host rate that is not a number is out of range (44100); an infinite one is out of range
// too. Either way the engine keeps producing finite audio at its usual level.
TEST(BadAudio, SampleRatesThatAreNotNumbersGiveFiniteOutput) {
    hostLog() = HostLog();
    for (const Engine* engine : {&kBorealis, &kKestrel}) {
        Output reference;
        for (float rate : {44100.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity()}) {
            LoadedPlugin plugin{engine->path};
            AEffect* fx = plugin.start();
            ASSERT_NE(fx, nullptr);
            configure(fx, rate, engine->compress, {});
            const Output out = render<float>(fx, music(), 512);
            const std::string label = std::string(engine->path) + " at " + std::to_string(rate);
            ASSERT_EQ(firstNonFinite(out.left), -1) << label;
            ASSERT_EQ(firstNonFinite(out.right), -1) << label;
            if (rate == 44100.0f) {
                reference = out;
                continue;
            }
            EXPECT_NEAR(rmsDb(out.left, kLength / 2, kLength), rmsDb(reference.left, kLength / 2, kLength), 1.0)
                << label;
        }
    }
}


// A host processing in place hands each plug-in its garbage in the output buffers. Whatever the
// arrangement, the first output comes out finite; the second is finite when the arrangement has
// one, and otherwise is not written at all, so it still holds the host's own input. The rate is
// one the engines refuse and the block far longer than their chunks and rings.
TEST(BadAudio, GarbageProcessedInPlaceComesOutFiniteInTheOutputsWritten) {
    hostLog() = HostLog();
    constexpr int kBlock = 65535;
    for (const Engine* engine : {&kBorealis, &kKestrel}) {
        for (int outputs : {2, 1}) {
            for (int inputs : {2, 1}) {
                const std::string label = std::string(engine == &kBorealis ? "Borealis " : "Kestrel ") +
                                          std::to_string(inputs) + " in " + std::to_string(outputs) + " out";
                LoadedPlugin plugin{engine->path};
                AEffect* fx = plugin.start();
                ASSERT_NE(fx, nullptr);
                VstSpeakerArrangement in{}, out{};
                in.numChannels = inputs;
                out.numChannels = outputs;
                fx->dispatcher(fx, effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out, 0.0f);
                configure(fx, 7999.0f, engine->compress, {});
                std::vector<float> c[4];
                for (int block = 0; block < 2; ++block) {
                    for (int ch = 0; ch < 4; ++ch) {
                        c[ch].resize(kBlock);
                        for (int t = 0; t < kBlock; ++t)
                            c[ch][t] = block == 0 ? (t % 2 ? kInf : -kInf) : 0.3f * std::sin(0.01f * (ch + 1) * t);
                        if (block == 0) c[ch][kBlock / 2 + ch] = 1e38f;
                    }
                    const std::vector<float> given = c[1];
                    float* ins[4] = {c[0].data(), c[1].data(), c[2].data(), c[3].data()};
                    float* outs[2] = {c[0].data(), c[1].data()};
                    fx->processReplacing(fx, ins, outs, kBlock);
                    for (int t = 0; t < kBlock; ++t) {
                        ASSERT_TRUE(std::isfinite(c[0][t])) << label << " block " << block << " left at " << t;
                        if (outputs == 2)
                            ASSERT_TRUE(std::isfinite(c[1][t])) << label << " block " << block << " right at " << t;
                        else
                            ASSERT_EQ(std::memcmp(&c[1][t], &given[t], sizeof(float)), 0)
                                << label << " block " << block << " right written at " << t;
                    }
                }
            }
        }
    }
}

}  // namespace

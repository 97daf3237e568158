// The same settings give the same sound, whatever path led to them. For every factory preset of
// both built plug-ins, a fresh instance given the preset is the reference; after a suspend and
// resume these instances must render the same audio within float rounding:
// - one that ran another preset first;
// - one whose every switch was flipped and flipped back;
// - one that got the preset's values one by one, as a host restoring automation does;
// - a fresh one into which the bank chunk (preset current) was restored.
// The signal holds tones at stepping levels and noise bursts, so the side-chain filters, the
// link and the envelopes are all heard.
#include "plugin_fixture.h"
#include "presets/preset_record.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;
constexpr int kFrames = 22050;               // half a second
constexpr int kCompareFrom = 4410;           // the first 0.1 s is not compared
constexpr int kNumHostParams = 34;

// Tones whose level steps every 50 ms, with noise bursts on top; left and right differ.
void fillSignal(std::vector<float>& left, std::vector<float>& right) {
    left.resize(kFrames);
    right.resize(kFrames);
    std::uint32_t noise = 12345;
    for (int i = 0; i < kFrames; ++i) {
        const double t = i / kRate;
        const double level = 0.05 + 0.45 * ((i / 2205) % 4) / 3.0;
        noise = noise * 1664525u + 1013904223u;
        const double n = (static_cast<double>(noise >> 8) / 8388608.0 - 1.0) * (((i / 3000) % 3) == 1 ? 0.3 : 0.0);
        left[i] = static_cast<float>(level * std::sin(2.0 * M_PI * 1000.0 * t) + 0.2 * std::sin(2.0 * M_PI * 90.0 * t) + n);
        right[i] = static_cast<float>(level * std::sin(2.0 * M_PI * 3100.0 * t + 0.7) + n * 0.5);
    }
}

class Instance {
public:
    explicit Instance(const char* path) : plugin(path) {
        fx = plugin.startAt(kRate, kBlock);
        if (fx) plugin.dispatch(effMainsChanged, 0, 1);
    }
    bool ok() const { return fx != nullptr; }
    void program(int n) { EXPECT_TRUE(plugin.selectPreset(n)); }
    void restart() {
        plugin.dispatch(effMainsChanged, 0, 0);
        plugin.dispatch(effMainsChanged, 0, 1);
    }
    bool isSwitch(int index) {
        VstParameterProperties p{};
        return plugin.dispatch(effGetParameterProperties, index, 0, &p) && (p.flags & kVstParameterIsSwitch);
    }
    std::vector<unsigned char> chunk() {
        void* data = nullptr;
        const VstIntPtr size = plugin.dispatch(effGetChunk, 0, 0, &data);
        if (size <= 0 || !data) return {};
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        return std::vector<unsigned char>(bytes, bytes + size);
    }
    // Runs `frames` frames of the signal (from its start) through the plug-in; returns the
    // interleaved output.
    std::vector<float> render(int frames) {
        std::vector<float> left, right, out;
        fillSignal(left, right);
        out.reserve(2 * static_cast<std::size_t>(frames));
        float outL[kBlock], outR[kBlock];
        for (int at = 0; at < frames; at += kBlock) {
            const int n = std::min(kBlock, frames - at);
            float* in[4] = {&left[at], &right[at], &left[at], &right[at]};
            float* outs[2] = {outL, outR};
            fx->processReplacing(fx, in, outs, n);
            for (int i = 0; i < n; ++i) {
                out.push_back(outL[i]);
                out.push_back(outR[i]);
            }
        }
        return out;
    }

    LoadedPlugin plugin;
    AEffect* fx = nullptr;
};

// The largest difference after the first 0.1 s, in dB relative to the reference's peak there.
double differenceDb(const std::vector<float>& reference, const std::vector<float>& other) {
    double peak = 0.0, worst = 0.0;
    for (std::size_t i = 2 * kCompareFrom; i < reference.size() && i < other.size(); ++i) {
        peak = std::fmax(peak, std::fabs(reference[i]));
        const double d = std::fabs(static_cast<double>(reference[i]) - other[i]);
        worst = std::isnan(d) ? 1e30 : std::fmax(worst, d);
    }
    if (reference.size() != other.size()) return 999.0;
    if (worst == 0.0) return -999.0;
    return peak > 0.0 ? 20.0 * std::log10(worst / peak) : 999.0;
}

constexpr double kLimitDb = -140.0;

struct Plugin {
    const char* name;
    const char* path;
};

class SameSettings : public ::testing::TestWithParam<Plugin> {};

std::vector<float> freshRender(const char* path, int preset) {
    Instance fresh(path);
    fresh.program(preset);
    fresh.restart();
    return fresh.render(kFrames);
}

TEST_P(SameSettings, AnotherPresetFirstGivesTheFreshSound) {
    for (int n = 0; n < kNumPresets; ++n) {
        SCOPED_TRACE("preset " + std::to_string(n));
        Instance other(GetParam().path);
        ASSERT_TRUE(other.ok());
        other.program((n + 5) % kNumPresets);
        other.render(kFrames / 2);
        other.program(n);
        other.restart();
        EXPECT_LT(differenceDb(freshRender(GetParam().path, n), other.render(kFrames)), kLimitDb);
    }
}

TEST_P(SameSettings, EverySwitchFlippedAndBackGivesTheFreshSound) {
    for (int n = 0; n < kNumPresets; ++n) {
        SCOPED_TRACE("preset " + std::to_string(n));
        Instance flipped(GetParam().path);
        ASSERT_TRUE(flipped.ok());
        flipped.program(n);
        flipped.render(kBlock * 4);
        int switches = 0;
        for (int i = 0; i < kNumHostParams; ++i) {
            if (!flipped.isSwitch(i)) continue;
            ++switches;
            const float v = flipped.fx->getParameter(flipped.fx, i);
            flipped.fx->setParameter(flipped.fx, i, v >= 0.5f ? 0.0f : 1.0f);
            flipped.render(kBlock);
            flipped.fx->setParameter(flipped.fx, i, v);
            flipped.render(kBlock);
        }
        EXPECT_GT(switches, 5);
        flipped.restart();
        EXPECT_LT(differenceDb(freshRender(GetParam().path, n), flipped.render(kFrames)), kLimitDb);
    }
}

TEST_P(SameSettings, ValuesSetOneByOneGiveTheFreshSound) {
    for (int n = 0; n < kNumPresets; ++n) {
        SCOPED_TRACE("preset " + std::to_string(n));
        float values[kNumHostParams];
        {
            Instance source(GetParam().path);
            ASSERT_TRUE(source.ok());
            source.program(n);
            for (int i = 0; i < kNumHostParams; ++i) values[i] = source.fx->getParameter(source.fx, i);
        }
        Instance automated(GetParam().path);
        ASSERT_TRUE(automated.ok());
        automated.render(kBlock * 4);
        for (int i = 0; i < kNumHostParams; ++i) {
            automated.fx->setParameter(automated.fx, i, values[i]);
            if (i % 8 == 7) automated.render(kBlock);  // some arrive while the sound runs
        }
        automated.restart();
        EXPECT_LT(differenceDb(freshRender(GetParam().path, n), automated.render(kFrames)), kLimitDb);
    }
}

TEST_P(SameSettings, RestoredBankChunkGivesTheFreshSound) {
    for (int n = 0; n < kNumPresets; ++n) {
        SCOPED_TRACE("preset " + std::to_string(n));
        std::vector<unsigned char> bank;
        {
            Instance source(GetParam().path);
            ASSERT_TRUE(source.ok());
            source.program(n);
            bank = source.chunk();
        }
        ASSERT_EQ(bank.size(), static_cast<std::size_t>(kBankChunkSize));
        Instance restored(GetParam().path);
        ASSERT_TRUE(restored.ok());
        restored.plugin.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), bank.data());
        EXPECT_EQ(restored.plugin.currentPreset(), n);
        restored.restart();
        EXPECT_LT(differenceDb(freshRender(GetParam().path, n), restored.render(kFrames)), kLimitDb);
    }
}

INSTANTIATE_TEST_SUITE_P(BothPlugins, SameSettings,
                         ::testing::Values(Plugin{"Borealis", ORV_BOREALIS_PATH}, Plugin{"Kestrel", ORV_KESTREL_PATH}),
                         [](const ::testing::TestParamInfo<Plugin>& info) { return std::string(info.param.name); });

}  // namespace

#pragma once
// What the LV2 tests need of both plug-ins: the LV2 URI, the VST 2.4 build of the same plug-in
// to compare with, the port table, and test signals.
#include "lv2/port_table.h"
#include "tests/host/plugin_fixture.h"
#include "tests/lv2/lilv_host.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace orvtest {

struct PluginCase {
    const char* name;
    const char* uri;
    const char* vstPath;
    const orv::lv2::PluginDescription& (*ports)();
};

inline const PluginCase kBorealisCase{"Borealis", "urn:orv-tonekraft:borealis", ORV_BOREALIS_PATH,
                                      orv::lv2::borealisPorts};
inline const PluginCase kKestrelCase{"Kestrel", "urn:orv-tonekraft:kestrel", ORV_KESTREL_PATH,
                                     orv::lv2::kestrelPorts};

inline std::string caseName(const testing::TestParamInfo<PluginCase>& info) { return info.param.name; }
inline void PrintTo(const PluginCase& c, std::ostream* os) { *os << c.name; }

// Main left/right and key left/right: music-like material with loud and quiet stretches, a key
// of its own, so that the compressor, the limiter and the side-chain all work.
inline void testSignal(std::uint32_t frames, std::uint32_t seed, std::vector<float>* in) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int c = 0; c < 4; ++c) in[c].assign(frames, 0.0f);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double t = i / 48000.0;
        const double level = (i / 6000) % 2 ? 0.9 : 0.08;
        in[0][i] = static_cast<float>(level * (0.6 * std::sin(2 * M_PI * 110 * t) + 0.3 * noise(random)));
        in[1][i] = static_cast<float>(level * (0.6 * std::sin(2 * M_PI * 165 * t) + 0.3 * noise(random)));
        in[2][i] = static_cast<float>(0.7 * std::sin(2 * M_PI * 55 * t) * ((i / 3000) % 2));
        in[3][i] = static_cast<float>(0.5 * noise(random));
    }
}

// Block lengths a host may use, mixed: single frames, odd lengths, the largest.
inline const std::vector<std::uint32_t> kMixedBlocks{1, 17, 64, 500, 4096, 3, 1000, 256, 2, 777};

// The VST build of the same plug-in driven as the LV2 adapter drives it.
class VstReference {
public:
    VstReference(const PluginCase& c, double rate, bool resumeNow = true) : plugin(c.vstPath), ports(c.ports()) {
        fx = plugin.start();
        if (!fx) return;
        plugin.dispatch(effOpen);
        plugin.dispatch(effSetProcessPrecision, 0, kVstProcessPrecision32);
        plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
        plugin.dispatch(effSetBlockSize, 0, Lv2Instance::kMaxBlock);
        if (resumeNow) resume();
    }
    void resume() { plugin.dispatch(effMainsChanged, 0, 1); }
    bool setChunk(std::vector<unsigned char> chunk) {
        return plugin.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data()) == 0;
    }
    bool ok() const { return fx != nullptr; }
    // A port value as the adapter takes it: converted to the normalised value, and set only
    // when it reads differently from what the plug-in holds.
    void setPort(int i, float unit) {
        const orv::lv2::ParameterPort& p = ports.ports[i];
        if (std::isnan(unit)) return;
        const float x = orv::lv2::normalisedValue(p, unit);
        if (orv::lv2::unitValue(p, fx->getParameter(fx, p.index)) != orv::lv2::unitValue(p, x))
            fx->setParameter(fx, p.index, x);
    }
    void process(const std::vector<float>* in, std::vector<float>* out, const std::vector<std::uint32_t>& blocks,
                 bool keys) {
        hostLog().sideChainConnected = keys;
        const std::uint32_t total = static_cast<std::uint32_t>(in[0].size());
        out[0].assign(total, 0.0f);
        out[1].assign(total, 0.0f);
        std::uint32_t done = 0;
        for (std::size_t b = 0; done < total; ++b) {
            const std::uint32_t n = std::min(blocks[b % blocks.size()], total - done);
            float* i4[4] = {const_cast<float*>(in[0].data()) + done, const_cast<float*>(in[1].data()) + done,
                            keys ? const_cast<float*>(in[2].data()) + done : nullptr,
                            keys ? const_cast<float*>(in[3].data()) + done : nullptr};
            float* o2[2] = {out[0].data() + done, out[1].data() + done};
            fx->processReplacing(fx, i4, o2, static_cast<VstInt32>(n));
            done += n;
        }
        hostLog().sideChainConnected = true;
    }
    AEffect* effect() { return fx; }

private:
    LoadedPlugin plugin;
    const orv::lv2::PluginDescription& ports;
    AEffect* fx = nullptr;
};

// The largest difference between two signals.
inline double largestDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return INFINITY;
    double d = 0;
    for (std::size_t i = 0; i < a.size(); ++i) d = std::max(d, std::fabs(double(a[i]) - double(b[i])));
    return d;
}

inline bool allFinite(const std::vector<float>& a) {
    for (float v : a)
        if (!std::isfinite(v)) return false;
    return true;
}

// The normalised values of the current preset, as the bank chunk records them.
inline std::vector<float> currentPresetValues(const std::vector<unsigned char>& chunk) {
    if (chunk.size() != kBankChunkSize) return {};
    const int current = chunk[12] | chunk[13] << 8 | chunk[14] << 16 | chunk[15] << 24;
    if (current < 0 || current >= kNumPresets) return {};
    PresetRecord r;
    std::memcpy(&r, chunk.data() + kBankChunkHeaderSize + current * sizeof(PresetRecord), sizeof r);
    return std::vector<float>(r.values, r.values + kNumPresetParams);
}

}  // namespace orvtest

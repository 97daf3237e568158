// The two code paths of both plug-ins, through their binary interface: the SSE2 baseline and the
// AVX2+FMA wide path must each stay within 1e-7 of the peak (-140 dB) of the stored reference
// renders on a set of settings that reaches every kernel. The renders guard against change; that
// the sound itself is right is held against the parameters' arithmetic elsewhere (steady gain).
// They were written on the baseline path after the link filters came to follow their switches
// on every path. The private code-path request is checked as a host would
// use it, and a path switched between blocks must not disturb the sound.
//
// `code_path_test --write-references DIR BOREALIS KESTREL` renders the set with the given
// plug-ins (baseline path) into DIR instead of testing; --write-wide-renders the same from the
// wide path.
#include "borealis/dsp/code_path.h"
#include "tests/host/plugin_fixture.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kFrames = 13230;  // 0.3 s at 44.1 kHz, past the latency of both plug-ins
constexpr double kTolerance = 1e-7;

using Settings = std::vector<std::pair<int, float>>;

struct Case {
    const char* name;
    bool borealis;
    double rate;
    bool doublePrecision;
    Settings settings;
};

const Settings kHeavy = {{2, 1.0f}, {3, 1.0f}, {4, 1.0f}, {8, 1.0f}, {10, 1.0f}, {12, 1.0f}, {6, 0.8f}, {5, 0.6f}};

Settings with(Settings a, const Settings& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        {"borealis-normal", true, 44100.0, false, {{6, 0.8f}, {5, 0.6f}}},
        {"borealis-fat", true, 44100.0, false, {{1, 1.0f}, {6, 0.8f}, {5, 0.6f}}},
        {"borealis-smooth", true, 44100.0, false, {{26, 1.0f}, {6, 0.8f}, {5, 0.6f}}},
        {"borealis-smooth-fat", true, 44100.0, false, {{26, 1.0f}, {1, 1.0f}, {6, 0.8f}, {5, 0.6f}}},
        {"borealis-smooth-fat-96k", true, 96000.0, false, {{26, 1.0f}, {1, 1.0f}, {6, 0.8f}, {5, 0.6f}}},
        {"borealis-power-off", true, 44100.0, false, {{0, 0.0f}}},
        {"borealis-heavy", true, 44100.0, false, kHeavy},
        {"borealis-heavy-classic", true, 44100.0, false, with(kHeavy, {{24, 1.0f}})},
        {"borealis-heavy-fat", true, 44100.0, false, with(kHeavy, {{1, 1.0f}})},
        {"borealis-heavy-smooth-monitor", true, 44100.0, false, with(kHeavy, {{26, 1.0f}, {35, 1.0f}})},
        {"borealis-64bit-heavy", true, 44100.0, true, with(kHeavy, {{24, 1.0f}})},
        {"kestrel-stereo-draft", false, 44100.0, false, {{6, 0.8f}, {5, 0.7f}}},
        {"kestrel-stereo-smooth", false, 44100.0, false, {{27, 1.0f}, {6, 0.8f}, {5, 0.7f}}},
        {"kestrel-mono-draft", false, 44100.0, false, {{28, 0.0f}, {6, 0.8f}, {5, 0.7f}}},
        {"kestrel-mono-smooth", false, 44100.0, false, {{28, 0.0f}, {27, 1.0f}, {6, 0.8f}, {5, 0.7f}}},
        {"kestrel-power-off", false, 44100.0, false, {{0, 0.0f}}},
        {"kestrel-heavy-96k", false, 96000.0, false, {{2, 1.0f}, {3, 1.0f}, {10, 1.0f}, {5, 0.6f}, {6, 0.8f}}},
    };
    return all;
}

// The reference signal: tones and noise whose level steps every 25 ms between loud, quiet,
// silent and full scale, with a click in each step, so attack, release, knee, expansion and the
// limiter all have work. Left and right differ.
std::vector<double> signal(int channel) {
    std::vector<double> s(kFrames);
    const double levels[] = {0.5, 0.03, 1.0, 0.0, 0.2, 0.001, 0.9, 0.1};
    unsigned noise = 12345u + 7919u * static_cast<unsigned>(channel);
    for (int t = 0; t < kFrames; ++t) {
        const double w = 2.0 * M_PI * t / 44100.0;
        noise = noise * 1664525u + 1013904223u;
        const double n = static_cast<double>(noise >> 8) / 16777216.0 - 0.5;
        const int step = t / 1102;
        const double level = levels[step % 8];
        const double tone = 0.5 * std::sin((channel ? 180.0 : 110.0) * w) + 0.3 * std::sin(1234.5 * w) +
                            0.15 * std::sin((channel ? 5100.0 : 4700.0) * w);
        s[t] = level * (tone + 0.3 * n);
        if (t % 1102 == 300) s[t] = channel ? -level : level;
    }
    return s;
}

struct Output {
    std::vector<double> left, right;
};

void configure(AEffect* fx, const Case& c) {
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, static_cast<float>(c.rate));
    fx->dispatcher(fx, effSetBlockSize, 0, 512, nullptr, 0.0f);
    if (c.doublePrecision) fx->dispatcher(fx, effSetProcessPrecision, 0, kVstProcessPrecision64, nullptr, 0.0f);
    for (const auto& [index, value] : c.settings) fx->setParameter(fx, index, value);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
}

VstIntPtr requestPath(AEffect* fx, long request) {
    return fx->dispatcher(fx, effVendorSpecific, orv::dsp::kCodePathRequest, request, nullptr, 0.0f);
}

// `pathOfBlock(b)` is the request made before block b (blocks of varying length).
template <class T, class PathOfBlock>
Output render(AEffect* fx, PathOfBlock pathOfBlock) {
    std::vector<T> in[2], outL(kFrames), outR(kFrames);
    for (int c = 0; c < 2; ++c) {
        const std::vector<double> s = signal(c);
        in[c].assign(s.begin(), s.end());
    }
    const int blocks[] = {512, 77, 1024, 300, 64, 1};
    for (int pos = 0, b = 0; pos < kFrames; ++b) {
        const int n = std::min(blocks[b % 6], kFrames - pos);
        requestPath(fx, pathOfBlock(b));
        T* ins[4] = {&in[0][pos], &in[1][pos], &in[0][pos], &in[1][pos]};
        T* outs[2] = {&outL[pos], &outR[pos]};
        if constexpr (sizeof(T) == sizeof(float))
            fx->processReplacing(fx, ins, outs, n);
        else
            fx->processDoubleReplacing(fx, ins, outs, n);
        pos += n;
    }
    return {{outL.begin(), outL.end()}, {outR.begin(), outR.end()}};
}

template <class PathOfBlock>
Output renderCase(const char* path, const Case& c, PathOfBlock pathOfBlock) {
    LoadedPlugin plugin{path};
    AEffect* fx = plugin.start();
    if (!fx) return {};
    configure(fx, c);
    return c.doublePrecision ? render<double>(fx, pathOfBlock) : render<float>(fx, pathOfBlock);
}

std::string referenceFile(const std::string& dir, const Case& c) {
    return dir + "/" + c.name + (c.doublePrecision ? ".f64" : ".f32");
}

// Interleaved little-endian samples in the precision of the case.
bool writeReference(const std::string& file, const Case& c, const Output& o) {
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return false;
    bool ok = true;
    for (int t = 0; t < kFrames; ++t)
        for (double v : {o.left[t], o.right[t]}) {
            if (c.doublePrecision) {
                ok = ok && std::fwrite(&v, sizeof v, 1, f) == 1;
            } else {
                const float x = static_cast<float>(v);
                ok = ok && std::fwrite(&x, sizeof x, 1, f) == 1;
            }
        }
    return std::fclose(f) == 0 && ok;
}

bool readReference(const std::string& file, const Case& c, Output& o) {
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f) return false;
    o.left.assign(kFrames, 0.0);
    o.right.assign(kFrames, 0.0);
    bool ok = true;
    for (int t = 0; t < kFrames && ok; ++t)
        for (double* v : {&o.left[t], &o.right[t]}) {
            if (c.doublePrecision) {
                ok = ok && std::fread(v, sizeof *v, 1, f) == 1;
            } else {
                float x = 0.0f;
                ok = ok && std::fread(&x, sizeof x, 1, f) == 1;
                *v = x;
            }
        }
    ok = ok && std::fgetc(f) == EOF;
    std::fclose(f);
    return ok;
}

struct Difference {
    double peak = 0.0;
    double largest = 0.0;  // beyond what the output format's last bit allows
    int at = -1;
};

// A 32-bit output may differ in its last bit wherever the difference of the processing, however
// small, moves a sample across a rounding boundary of the format; that step is forgiven.
double formatStep(double x, bool doublePrecision) {
    if (doublePrecision) return 0.0;
    const float f = static_cast<float>(std::fabs(x));
    return static_cast<double>(std::nextafter(f, 1e30f)) - static_cast<double>(f);
}

Difference compare(const Output& reference, const Output& o, bool doublePrecision) {
    Difference d;
    for (const auto* ch : {&reference.left, &reference.right})
        for (double v : *ch) d.peak = std::max(d.peak, std::fabs(v));
    for (int t = 0; t < kFrames; ++t)
        for (int c = 0; c < 2; ++c) {
            const double r = c ? reference.right[t] : reference.left[t];
            const double x = c ? o.right[t] : o.left[t];
            double e = std::fabs(x - r);
            if (e <= formatStep(r, doublePrecision)) e = 0.0;
            if (!(e <= d.largest)) {
                d.largest = e;
                d.at = t;
            }
        }
    return d;
}

const char* pluginPath(const Case& c) { return c.borealis ? ORV_BOREALIS_PATH : ORV_KESTREL_PATH; }

void expectNearReference(const Case& c, const Output& o, const char* label) {
    Output reference;
    ASSERT_TRUE(readReference(referenceFile(ORV_REFERENCE_DIR, c), c, reference)) << c.name;
    ASSERT_EQ(o.left.size(), static_cast<std::size_t>(kFrames)) << c.name;
    const Difference d = compare(reference, o, c.doublePrecision);
    ASSERT_GT(d.peak, 0.01) << c.name << ": the reference is silent";
    EXPECT_LE(d.largest, kTolerance * d.peak)
        << c.name << " on " << label << ": " << d.largest << " at frame " << d.at << ", peak " << d.peak;
}

TEST(CodePath, TheBaselinePathGivesTheReferenceRenders) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        expectNearReference(c, renderCase(pluginPath(c), c, [](int) { return orv::dsp::kCodePathForceBaseline; }),
                            "the baseline path");
    }
}

TEST(CodePath, TheWidePathStaysWithinOneTenMillionthOfTheReferenceRenders) {
    if (!orv::dsp::processorRunsWidePath()) GTEST_SKIP() << "this processor has no AVX2 and FMA";
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        expectNearReference(c, renderCase(pluginPath(c), c, [](int) { return orv::dsp::kCodePathAutomatic; }),
                            "the wide path");
    }
}

// The paths share every ring, filter and envelope, so changing path between blocks (the request
// takes effect with the next block) leaves no trace beyond the rounding of either path.
TEST(CodePath, SwitchingPathBetweenBlocksKeepsTheSound) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        expectNearReference(c, renderCase(pluginPath(c), c, [](int b) {
            return b % 2 ? orv::dsp::kCodePathForceBaseline : orv::dsp::kCodePathAutomatic;
        }), "alternating paths");
    }
}

TEST(CodePath, TheRequestSetsAndReportsThePathAndOtherRequestsOnlyAsk) {
    const VstIntPtr wide = orv::dsp::processorRunsWidePath() ? 2 : 1;
    for (const char* path : {ORV_BOREALIS_PATH, ORV_KESTREL_PATH}) {
        LoadedPlugin plugin{path};
        AEffect* fx = plugin.start();
        ASSERT_NE(fx, nullptr);
        EXPECT_EQ(requestPath(fx, -1), wide) << path << ": a new instance takes the widest path";
        EXPECT_EQ(requestPath(fx, orv::dsp::kCodePathForceBaseline), 1) << path;
        EXPECT_EQ(requestPath(fx, -1), 1) << path;
        EXPECT_EQ(requestPath(fx, 7), 1) << path;
        EXPECT_EQ(requestPath(fx, orv::dsp::kCodePathAutomatic), wide) << path;
        // Any other vendorSpecific request is not taken for this one.
        EXPECT_EQ(fx->dispatcher(fx, effVendorSpecific, orv::dsp::kCodePathRequest + 1, 1, nullptr, 0.0f), 0) << path;
        EXPECT_EQ(requestPath(fx, -1), wide) << path;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // --write-wide-renders writes the same set from the wide path, to compare builds with.
    const bool baseline = argc == 5 && std::strcmp(argv[1], "--write-references") == 0;
    const bool wide = argc == 5 && std::strcmp(argv[1], "--write-wide-renders") == 0;
    if (baseline || wide) {
        const long long path = baseline ? orv::dsp::kCodePathForceBaseline : orv::dsp::kCodePathAutomatic;
        for (const Case& c : cases()) {
            const Output o = renderCase(c.borealis ? argv[3] : argv[4], c, [path](int) { return path; });
            if (o.left.empty() || !writeReference(referenceFile(argv[2], c), c, o)) {
                std::fprintf(stderr, "could not render or write %s\n", c.name);
                return 1;
            }
        }
        return 0;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

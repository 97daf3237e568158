// Both built plug-ins driven by a hostile host: random dispatcher requests with bad arguments,
// sample rates and block sizes in random order, parameter values out of range while audio
// runs, and audio full of NaN, infinities and denormals. Every run is seeded; the seed is
// printed so that a failure can be replayed with ORV_TORTURE_SEED=<seed>. ORV_TORTURE_CYCLES
// changes the number of cycles; ORV_TORTURE_SECONDS bounds the time per plug-in (the run stops
// after the cycle that crosses it, so a slow build runs fewer cycles of the same sequence).
//
// What must hold throughout: nothing crashes (the sanitizer build checks every access), every
// output sample is finite, processing and parameter changes allocate nothing, and nothing is
// written past the block the host asked for.
//
// A second test plays automation from the processing thread and from a second thread while the
// interface thread opens, idles and closes the editor over and over (in a window on a private
// Xvfb when there is no display): nothing crashes and the output stays finite.
#include "tests/host/plugin_fixture.h"
#include "tests/support/private_x_server.h"
#include "tests/torture/allocation_counter.h"

#include <X11/Xlib.h>

#include <atomic>
#include <thread>

#include <chrono>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kMaxBlock = 65536;
constexpr int kNumHostParameters = 34;        // what the host sees of either plug-in
constexpr int kGuard = 16;                   // samples after each block that must stay untouched
constexpr float kSentinel = 12345.678f;      // what the guard samples hold
constexpr std::size_t kScratchBytes = 1 << 16;  // the buffer handed for every pointer argument
constexpr long kFramesPerCycle = 1 << 17;    // audio per cycle, whatever the block size

// The host side: a modern host with every pin connected. It never allocates, so that any
// allocation seen while processing is the plug-in's.
VstIntPtr tortureHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
        case audioMasterVersion: return 2400;
        case audioMasterUpdateDisplay:
        case audioMasterBeginEdit:
        case audioMasterEndEdit: return 1;
        default: return 0;
    }
}

// How a request uses its pointer arguments. The host may hand null or a real buffer; it never
// hands a wild address, since no plug-in can survive that.
enum class PointerUse {
    Scratch,        // ptr: null or the zeroed scratch buffer (read or written by the request)
    Text,           // ptr: null or a terminated string (effSetProgramName, effCanDo, effString2Parameter)
    Chunk,          // ptr: null or chunk bytes, value: their size (effSetChunk)
    TwoPointers,    // value and ptr: each null or a buffer (speaker arrangements)
    Never,          // not sent at random: effClose ends the instance, effEditOpen needs a real window
};

PointerUse pointerUse(VstInt32 opcode) {
    switch (opcode) {
        case effClose:
        case effEditOpen: return PointerUse::Never;
        case effSetProgramName:
        case effCanDo:
        case effString2Parameter: return PointerUse::Text;
        case effSetChunk: return PointerUse::Chunk;
        case effSetSpeakerArrangement:
        case effGetSpeakerArrangement: return PointerUse::TwoPointers;
        default: return PointerUse::Scratch;
    }
}

// Requests that change the rate, block size or running state. A host sends them only while
// the plug-in is suspended, so they are sent at random only between processing runs.
bool changesProcessingSetup(VstInt32 opcode) {
    return opcode == effSetSampleRate || opcode == effSetBlockSize || opcode == effMainsChanged ||
           opcode == effSetBlockSizeAndSampleRate || opcode == effSetProcessPrecision;
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

class Torture {
public:
    Torture(LoadedPlugin& plugin, std::uint64_t seed, bool finiteAudio)
        : plugin(plugin), rng(seed), finiteAudio(finiteAudio) {
        for (int c = 0; c < 4; ++c) {
            in32[c].assign(kMaxBlock, 0.0f);
            in64[c].assign(kMaxBlock, 0.0);
        }
        for (int c = 0; c < 2; ++c) {
            out32[c].assign(kMaxBlock + kGuard, 0.0f);
            out64[c].assign(kMaxBlock + kGuard, 0.0);
        }
        scratch.assign(kScratchBytes / sizeof(std::uint64_t), 0);
        second.assign(kScratchBytes / sizeof(std::uint64_t), 0);
    }

    // One cycle: a burst of random requests, a new processing setup, then audio in blocks with
    // parameter changes and harmless requests in between.
    void cycle() {
        const int burst = pick(4, 24);
        for (int i = 0; i < burst; ++i) randomRequest(true);
        setUp();
        long frames = 0;
        const int blocks = pick(2, 12);
        for (int b = 0; b < blocks && frames < kFramesPerCycle; ++b) {
            const int n = blockLength();
            processBlock(n);
            frames += n > 0 ? n : 1;
            const int between = pick(0, 4);
            for (int i = 0; i < between; ++i) {
                if (chance(0.6)) hostileParameter();
                else randomRequest(false);
            }
        }
    }

    long nonFiniteBlocks = 0;
    long allocatingBlocks = 0;
    long overrunBlocks = 0;
    std::string firstProblem;

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng); }
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }

    void note(long& counter, const std::string& what) {
        if (counter++ == 0 && firstProblem.empty())
            firstProblem = what + " (rate " + std::to_string(rate) + ", block size " + std::to_string(blockSize) + ")";
    }

    VstInt32 hostileIndex() {
        static const VstInt32 table[] = {0, 1, 2, 3, 15, 16, 17, 33, 34, 35, 36, 63, 64, 255, 256, -1, -2, -34,
                                         INT_MAX, INT_MIN, INT_MAX - 1, 1 << 20};
        if (chance(0.2)) return static_cast<VstInt32>(rng());
        return table[pick(0, sizeof table / sizeof table[0] - 1)];
    }

    VstIntPtr hostileValue() {
        static const VstIntPtr table[] = {0, 1, 2, -1, 15, 16, 2592, 2593, 65536, INT_MAX, INT_MIN,
                                          std::numeric_limits<VstIntPtr>::max(), std::numeric_limits<VstIntPtr>::min()};
        if (chance(0.2)) return static_cast<VstIntPtr>(rng());
        return table[pick(0, sizeof table / sizeof table[0] - 1)];
    }

    float hostileFloat() {
        static const float table[] = {0.0f, 1.0f, -1.0f, 2.0f, 0.5f, kNaN, -kNaN, kInf, -kInf, 1e9f, -1e9f,
                                      1e-40f, -1e-40f, std::numeric_limits<float>::max(),
                                      std::numeric_limits<float>::lowest(), std::numeric_limits<float>::min()};
        if (chance(0.25)) return static_cast<float>(uniform(-3.0, 3.0));
        return table[pick(0, sizeof table / sizeof table[0] - 1)];
    }

    VstInt32 randomOpcode() {
        if (chance(0.9)) return pick(0, 80);
        static const VstInt32 far[] = {81, 99, 128, 255, 1000, 65535, -1, -80, INT_MAX, INT_MIN};
        if (chance(0.5)) return pick(81, 300);
        return far[pick(0, sizeof far / sizeof far[0] - 1)];
    }

    char* scratchBytes() { return reinterpret_cast<char*>(scratch.data()); }

    void fillText() {
        std::memset(scratch.data(), 0, kScratchBytes);
        const int length = chance(0.3) ? pick(0, kScratchBytes - 1) : pick(0, 80);
        static const char* common[] = {"receiveVstTimeInfo", "plugAsChannelInsert", "bypass", "sendVstMidiEvent", ""};
        if (chance(0.3)) {
            std::strcpy(scratchBytes(), common[pick(0, 4)]);
            return;
        }
        for (int i = 0; i < length; ++i) scratchBytes()[i] = static_cast<char>(pick(1, 255));
    }

    // Chunk bytes: a real chunk of this plug-in, as it is or byte-reversed, with a few
    // corrupted bytes now and then; or plain noise.
    VstIntPtr fillChunk() {
        std::memset(scratch.data(), 0, kScratchBytes);
        void* data = nullptr;
        const VstIntPtr got = plugin.dispatch(effGetChunk, 0, 0, &data);
        if (got > 0 && got <= static_cast<VstIntPtr>(kScratchBytes) && data && chance(0.8)) {
            std::memcpy(scratch.data(), data, static_cast<std::size_t>(got));
            unsigned char* b = reinterpret_cast<unsigned char*>(scratch.data());
            if (chance(0.3)) {
                // The other byte order: every header and value word reversed, names kept.
                for (int offset : {0, 4, 8, 12, 16, 20, 24, 28}) std::swap(b[offset], b[offset + 3]), std::swap(b[offset + 1], b[offset + 2]);
                for (int k = 0; k < 16; ++k)
                    for (int i = 0; i < 34; ++i) {
                        unsigned char* w = b + 32 + k * 160 + 24 + 4 * i;
                        std::swap(w[0], w[3]);
                        std::swap(w[1], w[2]);
                    }
            }
            const int corruptions = chance(0.5) ? pick(1, 8) : 0;
            for (int i = 0; i < corruptions; ++i) b[pick(0, static_cast<int>(got) - 1)] = static_cast<unsigned char>(rng());
            if (chance(0.3)) {
                // Values NaN, infinite or out of range in some presets.
                const float bad[] = {kNaN, kInf, -kInf, -1.0f, 2.0f, 1e30f};
                for (int i = 0; i < 8; ++i) {
                    const float v = bad[pick(0, 5)];
                    std::memcpy(b + 32 + pick(0, 15) * 160 + 24 + 4 * pick(0, 33), &v, 4);
                }
            }
            return chance(0.9) ? got : hostileValue();
        }
        unsigned char* b = reinterpret_cast<unsigned char*>(scratch.data());
        for (int i = 0; i < 2592; ++i) b[i] = static_cast<unsigned char>(rng());
        return chance(0.7) ? 2592 : hostileValue();
    }

    void randomRequest(bool setupAllowed) {
        VstInt32 op = randomOpcode();
        while (pointerUse(op) == PointerUse::Never || (!setupAllowed && changesProcessingSetup(op))) op = randomOpcode();
        VstInt32 index = hostileIndex();
        VstIntPtr value = hostileValue();
        float opt = hostileFloat();
        void* ptr = nullptr;
        switch (pointerUse(op)) {
            case PointerUse::Scratch:
                if (chance(0.8)) {
                    std::memset(scratch.data(), 0, kScratchBytes);
                    ptr = scratch.data();
                }
                break;
            case PointerUse::Text:
                if (chance(0.9)) {
                    fillText();
                    ptr = scratch.data();
                }
                break;
            case PointerUse::Chunk:
                if (chance(0.9)) {
                    value = fillChunk();
                    ptr = scratch.data();
                }
                break;
            case PointerUse::TwoPointers: {
                // Each an arrangement record with a channel count from a small hostile set.
                static const VstInt32 counts[] = {0, 1, 2, 4, 3, 8, -1, INT_MAX};
                std::memset(scratch.data(), 0, kScratchBytes);
                std::memset(second.data(), 0, kScratchBytes);
                auto* a = reinterpret_cast<VstSpeakerArrangement*>(scratch.data());
                auto* b = reinterpret_cast<VstSpeakerArrangement*>(second.data());
                a->numChannels = counts[pick(0, 7)];
                b->numChannels = counts[pick(0, 7)];
                value = chance(0.85) ? reinterpret_cast<VstIntPtr>(a) : 0;
                ptr = chance(0.85) ? b : nullptr;
                break;
            }
            case PointerUse::Never: break;
        }
        plugin.dispatch(op, index, value, ptr, opt);
        if (op == effSetSpeakerArrangement && value && ptr) noteArrangement(reinterpret_cast<VstSpeakerArrangement*>(value), static_cast<VstSpeakerArrangement*>(ptr));
    }

    float sampleRate() {
        static const float usual[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000,
                                      176400, 192000, 352800, 384000};
        static const float hostile[] = {0.0f, -1.0f, kNaN, 1e9f, kInf, -kInf, 1.0f, 7999.0f, 384001.0f, 1e-30f};
        if (chance(0.25)) return hostile[pick(0, sizeof hostile / sizeof hostile[0] - 1)];
        if (chance(0.3)) return static_cast<float>(uniform(8000.0, 384000.0));
        return usual[pick(0, sizeof usual / sizeof usual[0] - 1)];
    }

    // Suspend, a new rate and block size, resume: what a host does between runs.
    void setUp() {
        static const int sizes[] = {0, 1, 2, 3, 7, 31, 32, 33, 64, 100, 127, 128, 256, 441, 512, 1000, 1024,
                                    2048, 4096, 8192, 16384, 32768, 65535, 65536};
        blockSize = chance(0.3) ? pick(0, kMaxBlock) : sizes[pick(0, sizeof sizes / sizeof sizes[0] - 1)];
        rate = sampleRate();
        plugin.dispatch(effMainsChanged, 0, 0);
        plugin.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        plugin.dispatch(effSetBlockSize, 0, blockSize);
        double64 = (plugin.fx->flags & effFlagsCanDoubleReplacing) && chance(0.4);
        plugin.dispatch(effSetProcessPrecision, 0, double64 ? kVstProcessPrecision64 : kVstProcessPrecision32);
        plugin.dispatch(effMainsChanged, 0, 1);
        const VstInt32 delay = plugin.fx->initialDelay;
        if (delay < 0 || delay > 1 << 20) note(overrunBlocks, "latency out of range: " + std::to_string(delay));
    }

    // Never more than the block size the host announced; sometimes less, sometimes nothing.
    int blockLength() {
        if (blockSize == 0 || chance(0.05)) return 0;
        if (chance(0.6)) return blockSize;
        return pick(1, blockSize);
    }

    // A signal of one kind with bad samples sprinkled into it.
    template <typename T>
    void fillChannel(std::vector<T>& x, int n) {
        const int kind = finiteAudio ? pick(0, 4) : pick(0, 7);
        const double f = uniform(0.001, 0.45);
        const double a = uniform(0.0, 4.0);
        phase += 1.0;
        for (int i = 0; i < n; ++i) {
            double v;
            switch (kind) {
                case 0: v = 0.0; break;
                case 1: v = a * std::sin(6.283185307179586 * f * (i + phase * 1000.0)); break;
                case 2: v = uniform(-a, a); break;
                case 3: v = (i & 1 ? 1.0 : -1.0) * 1e-41; break;  // denormals, in float and double
                case 4: v = (i & 1 ? 1.0 : -1.0) * 1e-310; break;
                case 5: v = i % 37 == 0 ? std::numeric_limits<double>::quiet_NaN() : 0.5; break;
                case 6: v = i % 2 ? std::numeric_limits<double>::infinity() : -std::numeric_limits<double>::infinity(); break;
                default: v = i % 3 ? 1e30 : -1e30; break;
            }
            x[i] = static_cast<T>(v);
        }
        const int spikes = n > 0 && !finiteAudio && chance(0.5) ? pick(1, 6) : 0;
        static const double bad[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                     -std::numeric_limits<double>::infinity(), 1e-39, 1e38};
        for (int s = 0; s < spikes; ++s) x[pick(0, n - 1)] = static_cast<T>(bad[pick(0, 4)]);
    }

    // Which outputs the plug-ins write after an arrangement request. One output channel with one
    // or two inputs makes them write the first output only, also when they refuse two inputs to
    // one output; any other pair of counts gives them both outputs again. An output the plug-in
    // does not write keeps what the host left there: processing in place, that is the input.
    void noteArrangement(const VstSpeakerArrangement* in, const VstSpeakerArrangement* out) {
        secondOutputWritten = !(out->numChannels == 1 && (in->numChannels == 1 || in->numChannels == 2));
    }

    template <typename T>
    void checkOutputs(std::vector<T>* out, int n, const char* precision) {
        for (int c = 0; c < 2; ++c) {
            for (int i = 0; i < n && (c == 0 || secondOutputWritten); ++i) {
                if (!std::isfinite(out[c][i])) {
                    note(nonFiniteBlocks, std::string(precision) + " output " + std::to_string(c) + " sample " +
                                              std::to_string(i) + " of a " + std::to_string(n) + "-sample block is " +
                                              std::to_string(static_cast<double>(out[c][i])));
                    break;
                }
            }
            for (int i = n; i < n + kGuard; ++i)
                if (out[c][i] != static_cast<T>(kSentinel)) {
                    note(overrunBlocks, std::string(precision) + " output " + std::to_string(c) +
                                            " written past the block end (" + std::to_string(n) + " samples)");
                    break;
                }
        }
    }

    template <typename T>
    void run(std::vector<T>* in, std::vector<T>* out, int n, bool inPlace, const char* precision) {
        for (int c = 0; c < 4; ++c) fillChannel(in[c], n);
        for (int c = 0; c < 2; ++c) std::fill(out[c].begin(), out[c].begin() + n + kGuard, static_cast<T>(kSentinel));
        T* inputs[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
        T* outputs[2] = {out[0].data(), out[1].data()};
        if (inPlace) {
            for (int c = 0; c < 2; ++c) std::copy(in[c].begin(), in[c].begin() + n, out[c].begin());
            inputs[0] = outputs[0];
            inputs[1] = outputs[1];
        }
        torture::startCountingAllocations();
        if constexpr (sizeof(T) == sizeof(float))
            plugin.fx->processReplacing(plugin.fx, inputs, outputs, n);
        else
            plugin.fx->processDoubleReplacing(plugin.fx, inputs, outputs, n);
        const long allocations = torture::stopCountingAllocations();
        if (allocations)
            note(allocatingBlocks, std::string(precision) + " processing allocated " + std::to_string(allocations) + " times");
        const long before = nonFiniteBlocks;
        checkOutputs(out, n, precision);
        if (nonFiniteBlocks == 1 && before == 0) firstProblem += "; this block's input: " + describeInput(in, n);
    }

    // What a block's input held: bad samples and the largest finite magnitude.
    template <typename T>
    std::string describeInput(std::vector<T>* in, int n) {
        long bad = 0;
        double peak = 0.0;
        for (int c = 0; c < 4; ++c)
            for (int i = 0; i < n; ++i) {
                const double v = static_cast<double>(in[c][i]);
                if (!std::isfinite(v)) ++bad;
                else peak = std::max(peak, std::fabs(v));
            }
        return std::to_string(bad) + " non-finite samples, largest finite magnitude " + std::to_string(peak);
    }

    void processBlock(int n) {
        const bool inPlace = chance(0.3);
        if (chance(0.02)) misbehavingCall();
        if (double64)
            run(in64, out64, n, inPlace, "64-bit");
        else
            run(in32, out32, n, inPlace, "32-bit");
    }

    // Calls a careless host makes: a negative frame count, 64-bit audio to a plug-in that
    // offers only 32, or a block while suspended. Whatever comes out, nothing may break and
    // nothing may be written past the block.
    void misbehavingCall() {
        float* in32p[4] = {in32[0].data(), in32[1].data(), in32[2].data(), in32[3].data()};
        float* out32p[2] = {out32[0].data(), out32[1].data()};
        double* in64p[4] = {in64[0].data(), in64[1].data(), in64[2].data(), in64[3].data()};
        double* out64p[2] = {out64[0].data(), out64[1].data()};
        switch (pick(0, 2)) {
            case 0: {
                static const VstInt32 negative[] = {-1, -64, INT_MIN};
                const VstInt32 frames = negative[pick(0, 2)];
                for (int c = 0; c < 2; ++c) std::fill(out32[c].begin(), out32[c].begin() + kGuard, kSentinel);
                plugin.fx->processReplacing(plugin.fx, in32p, out32p, frames);
                if (plugin.fx->flags & effFlagsCanDoubleReplacing)
                    plugin.fx->processDoubleReplacing(plugin.fx, in64p, out64p, frames);
                for (int c = 0; c < 2; ++c)
                    for (int i = 0; i < kGuard; ++i)
                        if (out32[c][i] != kSentinel) {
                            note(overrunBlocks, "a negative frame count wrote output");
                            return;
                        }
                break;
            }
            case 1:
                if (!(plugin.fx->flags & effFlagsCanDoubleReplacing)) {
                    const int n = blockSize > 0 ? pick(0, blockSize) : 0;
                    for (int c = 0; c < 2; ++c) std::fill(out64[c].begin() + n, out64[c].begin() + n + kGuard, kSentinel);
                    plugin.fx->processDoubleReplacing(plugin.fx, in64p, out64p, n);
                    for (int c = 0; c < 2; ++c)
                        for (int i = n; i < n + kGuard; ++i)
                            if (out64[c][i] != static_cast<double>(kSentinel)) {
                                note(overrunBlocks, "64-bit audio to a 32-bit plug-in written past the block");
                                return;
                            }
                }
                break;
            default:
                plugin.dispatch(effMainsChanged, 0, 0);
                run(in32, out32, blockSize > 0 ? pick(0, blockSize) : 0, false, "32-bit (suspended)");
                plugin.dispatch(effMainsChanged, 0, 1);
                break;
        }
    }

    // Automation from the audio thread: any index, any value, and a read back.
    void hostileParameter() {
        const VstInt32 index = chance(0.8) ? pick(0, plugin.fx->numParams - 1) : hostileIndex();
        const float value = hostileFloat();
        torture::startCountingAllocations();
        plugin.fx->setParameter(plugin.fx, index, value);
        const float back = plugin.fx->getParameter(plugin.fx, chance(0.8) ? index : hostileIndex());
        const long allocations = torture::stopCountingAllocations();
        if (allocations) note(allocatingBlocks, "setParameter allocated " + std::to_string(allocations) + " times");
        (void)back;
    }

    LoadedPlugin& plugin;
    std::mt19937_64 rng;
    std::vector<float> in32[4], out32[2];
    std::vector<double> in64[4], out64[2];
    std::vector<std::uint64_t> scratch, second;
    bool finiteAudio;
    int blockSize = 1024;
    float rate = 44100.0f;
    bool double64 = false;
    double phase = 0.0;
    bool secondOutputWritten = true;
};

std::uint64_t tortureSeed() {
    const char* text = std::getenv("ORV_TORTURE_SEED");
    if (text && *text) return std::strtoull(text, nullptr, 0);
    return 20261209;
}

// ORV_TORTURE_FINITE_AUDIO=1 keeps NaN and infinities out of the audio (denormals stay), to tell
// faults of bad audio apart from those of bad rates, parameters and chunks.
bool finiteAudioOnly() {
    const char* text = std::getenv("ORV_TORTURE_FINITE_AUDIO");
    return text && *text == '1';
}

int tortureCycles() {
    const char* text = std::getenv("ORV_TORTURE_CYCLES");
    if (text && *text) return std::atoi(text);
    return 120;
}

double tortureSeconds() {
    const char* text = std::getenv("ORV_TORTURE_SECONDS");
    if (text && *text) return std::atof(text);
    return 40.0;
}

struct PluginUnderTest {
    const char* name;
    const char* path;
};

void PrintTo(const PluginUnderTest& p, std::ostream* os) { *os << p.name; }

class PluginTorture : public ::testing::TestWithParam<PluginUnderTest> {};

TEST(AllocationCounting, SeesAllocationsOfThisProcess) { EXPECT_TRUE(torture::allocationCountingWorks()); }

TEST_P(PluginTorture, SurvivesAHostileHost) {
    LoadedPlugin plugin(GetParam().path);
    ASSERT_NE(plugin.entry, nullptr) << dlerror();
    plugin.fx = plugin.entry(tortureHost);
    ASSERT_NE(plugin.fx, nullptr);
    plugin.dispatch(effOpen);

    const std::uint64_t seed = tortureSeed();
    const int cycles = tortureCycles();
    std::printf("[ torture  ] %s: seed %llu (replay with ORV_TORTURE_SEED=%llu), %d cycles\n", GetParam().name,
                static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed), cycles);
    std::fflush(stdout);

    Torture torture(plugin, seed, finiteAudioOnly());
    const auto start = std::chrono::steady_clock::now();
    const double budget = tortureSeconds();
    auto elapsed = [&] { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(); };
    int survived = 0;
    while (survived < cycles && elapsed() < budget) {
        torture.cycle();
        ++survived;
    }
    const double seconds = elapsed();
    if (survived < cycles) std::printf("[ torture  ] %s: time limit of %.0f s reached\n", GetParam().name, budget);

    std::printf("[ torture  ] %s: %d cycles survived in %.1f s; blocks with non-finite output %ld, "
                "allocating %ld, overrunning %ld\n",
                GetParam().name, survived, seconds, torture.nonFiniteBlocks, torture.allocatingBlocks,
                torture.overrunBlocks);
    if (!torture.firstProblem.empty()) std::printf("[ torture  ] first problem: %s\n", torture.firstProblem.c_str());
    RecordProperty("cycles_survived", survived);

    EXPECT_EQ(torture.nonFiniteBlocks, 0) << "seed " << seed << ": " << torture.firstProblem;
    EXPECT_EQ(torture.allocatingBlocks, 0) << "seed " << seed << ": " << torture.firstProblem;
    EXPECT_EQ(torture.overrunBlocks, 0) << "seed " << seed << ": " << torture.firstProblem;

    // After all that the instance still answers and closes cleanly.
    EXPECT_EQ(plugin.dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(plugin.fx->dispatcher(plugin.fx, effClose, 0, 0, nullptr, 0.0f), 1);
    plugin.fx = nullptr;
}

double editorTortureSeconds() {
    const char* text = std::getenv("ORV_TORTURE_EDITOR_SECONDS");
    if (text && *text) return std::atof(text);
    return 4.0;
}

// A value as hosts send them while automating: mostly in range, sometimes out of it or NaN.
float automationValue(std::mt19937_64& rng) {
    const int kind = static_cast<int>(rng() % 64);
    if (kind == 0) return std::numeric_limits<float>::quiet_NaN();
    if (kind == 1) return -0.5f;
    if (kind == 2) return 1.5f;
    return static_cast<float>(rng() >> 40) / static_cast<float>(1 << 24);
}

// The host's window for the editor, on the X server; none (the editor draws offscreen) when no
// server can be reached.
struct EditorParentWindow {
    EditorParentWindow() {
        if (!std::getenv("DISPLAY")) server.start();
        display = XOpenDisplay(nullptr);
        if (!display) return;
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 450, 460, 0, 0, 0);
        XMapWindow(display, window);
        XSync(display, False);
    }
    ~EditorParentWindow() {
        if (!display) return;
        XDestroyWindow(display, window);
        XCloseDisplay(display);
    }
    orvtest::PrivateXServer server;
    Display* display = nullptr;
    Window window = 0;
};

TEST_P(PluginTorture, SurvivesAutomationFromTwoThreadsWhileTheEditorOpensAndCloses) {
    EditorParentWindow parent;
    LoadedPlugin plugin(GetParam().path);
    ASSERT_NE(plugin.entry, nullptr) << dlerror();
    plugin.fx = plugin.entry(tortureHost);
    ASSERT_NE(plugin.fx, nullptr);
    AEffect* fx = plugin.fx;
    plugin.dispatch(effOpen);
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    plugin.dispatch(effSetBlockSize, 0, 1024);
    plugin.dispatch(effMainsChanged, 0, 1);

    const std::uint64_t seed = tortureSeed();
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0}, nonFinite{0}, automated{0};

    // The processing thread: blocks of any length up to 1024, each with a few parameter
    // changes before it, single and double precision in turn where the plug-in has both.
    std::thread processing([&] {
        std::mt19937_64 rng(seed);
        std::vector<float> in32(1024), out32[2] = {std::vector<float>(1024), std::vector<float>(1024)};
        std::vector<double> in64(1024), out64[2] = {std::vector<double>(1024), std::vector<double>(1024)};
        const bool hasDouble = (fx->flags & effFlagsCanDoubleReplacing) != 0;
        double phase = 0.0;
        for (long b = 0; !stop.load(std::memory_order_relaxed); ++b) {
            const int n = 1 + static_cast<int>(rng() % 1024);
            for (int i = 0; i < n; ++i, phase += 0.031) in64[i] = in32[i] = static_cast<float>(0.7 * std::sin(phase));
            for (int k = static_cast<int>(rng() % 40); k > 0; --k) {
                fx->setParameter(fx, static_cast<VstInt32>(rng() % kNumHostParameters), automationValue(rng));
                automated.fetch_add(1, std::memory_order_relaxed);
            }
            long bad = 0;
            if (hasDouble && (b & 1)) {
                double* ins[4] = {in64.data(), in64.data(), in64.data(), in64.data()};
                double* outs[2] = {out64[0].data(), out64[1].data()};
                fx->processDoubleReplacing(fx, ins, outs, n);
                for (auto& o : out64)
                    for (int i = 0; i < n; ++i) bad += !std::isfinite(o[i]);
            } else {
                float* ins[4] = {in32.data(), in32.data(), in32.data(), in32.data()};
                float* outs[2] = {out32[0].data(), out32[1].data()};
                fx->processReplacing(fx, ins, outs, n);
                for (auto& o : out32)
                    for (int i = 0; i < n; ++i) bad += !std::isfinite(o[i]);
            }
            nonFinite.fetch_add(bad, std::memory_order_relaxed);
            blocks.fetch_add(1, std::memory_order_relaxed);
        }
    });
    // A second thread that automates too (a control surface, a host's own automation thread):
    // every index the engines take, the page switches among them.
    std::thread second([&] {
        std::mt19937_64 rng(seed ^ 0x5eedu);
        while (!stop.load(std::memory_order_relaxed)) {
            const int pick = static_cast<int>(rng() % 44);
            const VstInt32 index = pick < 41 ? pick : pick == 41 ? 56 : pick == 42 ? 57 : 200;
            fx->setParameter(fx, index, automationValue(rng));
            fx->getParameter(fx, index);
            automated.fetch_add(1, std::memory_order_relaxed);
            if (rng() % 16 == 0) std::this_thread::yield();
        }
    });

    // The interface thread: open, idle for a while, close, again and again.
    std::mt19937_64 rng(seed ^ 0x1dea);
    long opens = 0, idles = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(editorTortureSeconds());
    void* window = reinterpret_cast<void*>(parent.window);
    while (std::chrono::steady_clock::now() < until) {
        if (plugin.dispatch(effEditOpen, 0, 0, window) != 1) break;
        ++opens;
        for (int k = static_cast<int>(rng() % 20); k >= 0; --k) {
            plugin.dispatch(effEditIdle);
            ++idles;
            std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 8));
        }
        plugin.dispatch(effEditClose);
    }
    stop.store(true);
    processing.join();
    second.join();

    std::printf("[ torture  ] %s: %ld blocks, %ld automated changes from two threads while the editor opened %ld "
                "times %s and idled %ld times; %ld non-finite output samples\n",
                GetParam().name, blocks.load(), automated.load(), opens, parent.display ? "on the X server" : "offscreen",
                idles, nonFinite.load());
    EXPECT_GT(opens, 1);
    EXPECT_GT(blocks.load(), 0);
    EXPECT_EQ(nonFinite.load(), 0) << "seed " << seed;
    plugin.dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(plugin.dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(plugin.fx->dispatcher(plugin.fx, effClose, 0, 0, nullptr, 0.0f), 1);
    plugin.fx = nullptr;
}

INSTANTIATE_TEST_SUITE_P(BothPlugins, PluginTorture,
                         ::testing::Values(PluginUnderTest{"borealis", ORV_BOREALIS_PATH},
                                           PluginUnderTest{"kestrel", ORV_KESTREL_PATH}),
                         [](const ::testing::TestParamInfo<PluginUnderTest>& info) { return std::string(info.param.name); });

}  // namespace

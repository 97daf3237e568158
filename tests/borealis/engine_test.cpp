// Orv Borealis engine linked into the test: processing allocates nothing, the meter feeds
// settle as the editor expects, and the delay geometry holds at every rate.
#include "borealis/borealis.h"
#include "borealis/kernel_layout.h"
#include "tests/borealis/render.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++allocations;
    return std::malloc(size ? size : 1);
}
void* operator new(std::size_t size, std::align_val_t align) {
    ++allocations;
    void* p = nullptr;
    if (posix_memalign(&p, static_cast<std::size_t>(align), size ? size : 1) == 0) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t align, const std::nothrow_t&) noexcept {
    ++allocations;
    void* p = nullptr;
    return posix_memalign(&p, static_cast<std::size_t>(align), size ? size : 1) == 0 ? p : nullptr;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace {

VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

TEST(BorealisEngine, ProcessingAndAutomationAllocateNothing) {
    Borealis engine(quietHost);
    AEffect* fx = engine.getAeffect();
    configure(fx, 48000.0f, neutralSettings());
    std::vector<float> l(4096, 0.3f), r(4096, -0.2f);
    std::vector<double> dl(4096, 0.3), dr(4096, -0.2);
    float* in[4] = {l.data(), r.data(), l.data(), r.data()};
    float* out[2] = {l.data(), r.data()};
    double* din[4] = {dl.data(), dr.data(), dl.data(), dr.data()};
    double* dout[2] = {dl.data(), dr.data()};

    const long before = allocations.load();
    const int switches[] = {0, 1, 2, 3, 4, 8, 10, 12, 13, 15, 17, 18, 24, 25, 26, 35};
    for (int round = 0; round < 4; ++round) {
        const float on = round % 2 ? 1.0f : 0.0f;
        // Every switch flips (FAT and Smooth restart the delay chain); power goes off last.
        for (int s : switches) fx->setParameter(fx, s, on);
        fx->setParameter(fx, 0, round == 3 ? 0.0f : 1.0f);
        for (int p : {5, 6, 7, 9, 11, 14, 16, 19, 20, 21, 22, 23}) fx->setParameter(fx, p, 0.25f * round);
        fx->processReplacing(fx, in, out, 4096);
        fx->processDoubleReplacing(fx, din, dout, 1000);
    }
    EXPECT_EQ(allocations.load() - before, 0);
}

TEST(BorealisEngine, EveryLayoutKeepsTheLatencyAndReadsOnlyWrittenSamples) {
    using borealis::KernelVariant;
    for (double rate : {22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0}) {
        for (KernelVariant v : {KernelVariant::Normal, KernelVariant::Fat, KernelVariant::Smooth, KernelVariant::PowerOff}) {
            for (int fat = 0; fat < 2; ++fat) {
                for (int smooth = 0; smooth < 2; ++smooth) {
                    const bool scInGain = v == KernelVariant::Smooth || v == KernelVariant::PowerOff;
                    // The normal kernel runs only with FAT and Smooth off, the FAT kernel only with FAT on.
                    if (v == KernelVariant::Normal && (fat || smooth)) continue;
                    if (v == KernelVariant::Fat && (!fat || smooth)) continue;
                    const double scRate = rate * ((fat && smooth) ? 2 : 1);
                    orv::dsp::HilbertTable table;
                    table.build(scRate, smooth != 0);
                    const int n = table.halfLength();
                    const borealis::KernelLayout l = borealis::makeLayout(v, fat != 0, n);
                    const int f = l.gainStageFactor;
                    const int path = fat ? 129 : 128;
                    SCOPED_TRACE(testing::Message() << rate << " variant " << int(v) << " fat " << fat << " smooth " << smooth);
                    ASSERT_EQ(l.wetDryDelay % f, 0);
                    EXPECT_EQ(l.mainDelay + path + l.wetDryDelay / f + 511, 1660);
                    // The key reaches the transformer's centre when the main signal reaches the gain.
                    EXPECT_EQ(l.keyDelay * f + (scInGain ? l.centre : l.centre * f), l.mainDelay * f + l.wetDryDelay);
                    // The newest tap is a sample already written; the rings hold every tap.
                    EXPECT_GE(l.centre, 2 * n - 1);
                    EXPECT_GE(l.keyDelay, 0);
                    EXPECT_LT(l.mainDelay, 1024);
                    EXPECT_LE(l.centre + 2 * n, borealis::SideChain::kHistorySize);
                    EXPECT_LT(l.wetDryDelay, 1024);
                    EXPECT_GE(l.monitorDelay, 0);
                    EXPECT_LT(l.monitorDelay, borealis::SideChain::kMonitorSize);
                }
            }
        }
    }
}

// Runs a constant input through the engine in one block.
void feed(Borealis& engine, double value, int frames) {
    std::vector<double> l(frames, value), r(frames, value), ol(frames), orr(frames);
    double* in[4] = {l.data(), r.data(), l.data(), r.data()};
    double* out[2] = {ol.data(), orr.data()};
    engine.processDoubleReplacing(in, out, frames);
}

TEST(BorealisEngine, MeterFeedsSettle) {
    Borealis engine(quietHost);
    AEffect* fx = engine.getAeffect();
    auto settings = neutralSettings();
    settings.push_back({23, 0.0f});  // Pre
    // Every meter setting is set here: the stored ones are whatever earlier tests left behind.
    settings.push_back({36, 0.5f});  // VU integration 300 ms
    settings.push_back({37, 0.5f});  // VU reference 0.06125^0.5
    settings.push_back({38, 0.0f});  // PPM follows rises at once
    settings.push_back({39, 0.5f});  // PPM return 1 s
    settings.push_back({40, 0.25f}); // over after 3 samples
    configure(fx, 44100.0f, settings);
    feed(engine, 0.5, 44100 * 5);
    const double g = std::pow(0.06125, 0.5);
    const borealis::MeterFeeds& m = engine.meters();
    for (int c = 0; c < 2; ++c) {
        EXPECT_NEAR(m.ppm(c), 0.5, 1e-6);
        EXPECT_NEAR(m.vu(c), 0.5 * 1.096 * 1.4142136 / g, 1e-4);
        EXPECT_NEAR(m.vuHold(c), m.vu(c), 1e-4);
        EXPECT_NEAR(m.ppmHold(c), 0.5, 1e-6);
        EXPECT_GT(m.vuHoldAge(c) + m.ppmHoldAge(c), 0);
        EXPECT_EQ(m.overFlag(c), 0.0);
    }
    // A meter click starts the followers again but keeps what the holds caught.
    const double heldVu = m.vuHold(0), heldPpm = m.ppmHold(1);
    engine.clearMeterFollowers();
    EXPECT_EQ(m.vu(0), 0.0);
    EXPECT_EQ(m.ppm(1), 0.0);
    EXPECT_EQ(m.overFlag(0), 0.01);
    EXPECT_EQ(m.vuHold(0), heldVu);
    EXPECT_EQ(m.ppmHold(1), heldPpm);
    engine.clearMeters();
    EXPECT_EQ(m.vu(0), 0.0);
    EXPECT_EQ(m.overFlag(0), 0.01);

    // GainRed with Mix 0 shows no gain change whatever the compression.
    configure(fx, 44100.0f, {{23, 0.5f}, {21, 0.0f}, {6, 1.0f}, {5, 1.0f}, {36, 0.0f}, {39, 0.0f}});
    feed(engine, 0.5, 44100);
    EXPECT_NEAR(m.vu(0), 1.0, 1e-6);
    EXPECT_NEAR(m.ppm(1), 1.0, 1e-6);
    // Full mix: the compressed gain pulls the needles below unity.
    configure(fx, 44100.0f, {{21, 1.0f}});
    feed(engine, 0.5, 44100);
    EXPECT_LT(m.ppm(0), 0.5);
    EXPECT_LT(m.ppmHold(0), 0.5);
    EXPECT_GT(engine.maxGainReductionDb(), 6.0);
}

TEST(BorealisEngine, OverFlagsNeedEnoughConsecutiveOversInOneBlock) {
    Borealis engine(quietHost);
    AEffect* fx = engine.getAeffect();
    auto settings = neutralSettings();
    settings.push_back({23, 0.0f});   // Pre: the delayed input
    settings.push_back({40, 0.25f});  // three samples
    configure(fx, 44100.0f, settings);
    auto block = [&](int overs) {
        std::vector<double> l(1500, 0.1), r(1500, 0.1), ol(1500), orr(1500);
        for (int i = 0; i < overs; ++i) l[10 + i] = 1.0;
        double* in[4] = {l.data(), r.data(), nullptr, nullptr};
        double* out[2] = {ol.data(), orr.data()};
        engine.processDoubleReplacing(in, out, 1500);
    };
    block(2);
    EXPECT_EQ(engine.meters().overFlag(0), 0.0);
    block(3);
    EXPECT_EQ(engine.meters().overFlag(0), 1.0);
    EXPECT_EQ(engine.meters().overFlag(1), 0.0);
    block(0);
    EXPECT_EQ(engine.meters().overFlag(0), 0.0);
}

class FailingBorealis : public Borealis {
public:
    explicit FailingBorealis(audioMasterCallback host) : Borealis(host, SimulateFailure{}) {}
};

TEST(BorealisEngine, FailedConstructionLeavesOutputsSilent) {
    FailingBorealis engine(quietHost);
    engine.resume();
    double in0[32], out0[32];
    for (double& v : in0) v = 0.5;
    for (double& v : out0) v = 7.0;
    double* in[4] = {in0, nullptr, nullptr, nullptr};
    double* out[1] = {out0};  // the failed object reports one output
    engine.processDoubleReplacing(in, out, 32);
    for (double v : out0) EXPECT_EQ(v, 0.0);
    EXPECT_EQ(engine.maxGainReductionDb(), 0.0);
}

}  // namespace


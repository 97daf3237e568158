// How parameter changes reach the processing: the handover slots themselves, and both engines
// linked directly. A change shows at once to the host and the editor, and reaches the processing
// at a block boundary; a preset or bank reaches it whole, even when a block boundary falls in
// the middle of its replay; repeating what is already set restarts nothing.
#include "borealis/borealis.h"
#include "kestrel/kestrel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <algorithm>
#include <vector>

namespace {

VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

TEST(ParameterHandover, HandsOverChangedValuesAndHoldsBackAnOpenSet) {
    ParameterHandover h;
    ParameterHandover::Taken t;
    EXPECT_FALSE(h.take(t));  // nothing changed
    h.publish(3, 0.25);
    h.publish(40, 0.75);
    h.publish(64, 1.0);  // outside the slots: ignored
    h.publish(-1, 1.0);
    ASSERT_TRUE(h.take(t));
    EXPECT_EQ(t.changed, (std::uint64_t{1} << 3) | (std::uint64_t{1} << 40));
    EXPECT_EQ(t.values[3], 0.25);
    EXPECT_EQ(t.values[40], 0.75);
    EXPECT_FALSE(t.wholeSet);
    EXPECT_FALSE(h.take(t));  // taken once only

    // A set in progress (nested, as a bank selecting its preset) is held back until it is complete.
    h.beginSet();
    h.publish(1, 0.5);
    h.beginSet();
    h.publish(2, 0.5);
    h.endSet();
    EXPECT_FALSE(h.take(t));
    h.publish(5, 0.125);
    h.endSet();
    ASSERT_TRUE(h.take(t));
    EXPECT_EQ(t.changed, 0b100110u);
    EXPECT_TRUE(t.wholeSet);
    EXPECT_EQ(t.values[5], 0.125);
}

// A writer thread publishes whole sets whose values all carry one number; every set the reader
// takes must be one of them, never a mixture.
TEST(ParameterHandover, ReaderNeverSeesAMixtureOfTwoSets) {
    ParameterHandover h;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int n = 1; !stop.load(); ++n) {
            h.beginSet();
            for (int i = 0; i < 34; ++i) h.publish(i, n);
            h.endSet();
        }
    });
    double seen[34] = {};
    long takes = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (takes < 2000 && std::chrono::steady_clock::now() < end) {
        ParameterHandover::Taken t;
        if (!h.take(t)) continue;
        ++takes;
        for (int i = 0; i < 34; ++i)
            if (t.changed & (std::uint64_t{1} << i)) seen[i] = t.values[i];
        for (int i = 1; i < 34; ++i) ASSERT_EQ(seen[i], seen[0]) << "slot " << i << " after " << takes << " sets";
    }
    stop.store(true);
    writer.join();
    EXPECT_GT(takes, 0);
}

TEST(BorealisHandover, ChangesShowAtOnceAndReachTheProcessingAtTheNextBlock) {
    Borealis fx(quietHost);
    fx.resume();
    fx.setParameter(kMakeup, 1.0f);
    EXPECT_FLOAT_EQ(fx.getParameter(kMakeup), 1.0f);
    EXPECT_DOUBLE_EQ(fx.settings().makeupGain, 16.0);
    EXPECT_DOUBLE_EQ(fx.processingSettings().makeupGain, 0.25 * std::pow(64.0, 0.333333f));
    std::vector<float> in(64, 0.1f), out(64);
    float* ins[4] = {in.data(), in.data(), in.data(), in.data()};
    float* outs[2] = {out.data(), out.data()};
    fx.processReplacing(ins, outs, 64);
    EXPECT_DOUBLE_EQ(fx.processingSettings().makeupGain, 16.0);
}

// A block boundary in the middle of a preset's replay keeps the previous settings: the preset
// arrives whole at the block after.
TEST(BorealisHandover, APresetArrivesWhole) {
    struct Probe : Borealis {
        using Borealis::Borealis;
        void setParameter(VstInt32 index, float value) override {
            Borealis::setParameter(index, value);
            if (interrupt && index == kMakeup) {
                takeOverSettings();
                midThreshold = processingSettings().thresholdFactor;
                midRatio = processingSettings().ratioIndex;
            }
        }
        bool interrupt = false;
        double midThreshold = 0.0;
        int midRatio = -1;
    } fx(quietHost);
    fx.resume();
    const BorealisSettings before = fx.processingSettings();
    fx.interrupt = true;
    fx.selectPreset(13);  // HeavyDrumKit: threshold and ratio before Makeup in the replay
    fx.interrupt = false;
    EXPECT_EQ(fx.midThreshold, before.thresholdFactor);
    EXPECT_EQ(fx.midRatio, before.ratioIndex);
    EXPECT_EQ(fx.settings().ratioIndex, 20);  // the interface sees the preset at once
    fx.takeOverSettings();
    EXPECT_EQ(fx.processingSettings().ratioIndex, 20);
    EXPECT_DOUBLE_EQ(fx.processingSettings().thresholdFactor, fx.settings().thresholdFactor);
    EXPECT_DOUBLE_EQ(fx.processingSettings().makeupGain, fx.settings().makeupGain);
}

// Runs a 1 kHz sine through `fx` and returns the output.
template <class Engine>
std::vector<float> play(Engine& fx, int frames, long& position) {
    std::vector<float> l(frames), out(frames), outR(frames);
    for (int i = 0; i < frames; ++i, ++position) l[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 1000.0 * position / 44100.0));
    float* ins[4] = {l.data(), l.data(), l.data(), l.data()};
    for (int done = 0; done < frames; done += 256) {
        const int n = std::min(256, frames - done);
        float* in[4] = {ins[0] + done, ins[1] + done, ins[2] + done, ins[3] + done};
        float* o[2] = {out.data() + done, outR.data() + done};
        fx.processReplacing(in, o, n);
    }
    return out;
}

template <class Engine>
void expectReloadKeepsTheSound(const char* name, int preset) {
    Engine reloaded(quietHost), untouched(quietHost);
    for (Engine* fx : {&reloaded, &untouched}) {
        fx->selectPreset(preset);
        fx->setSampleRate(44100.0f);
        fx->resume();
    }
    // Kestrel's resume sets the shelves from a table of its own until the program is applied
    // again: both instances first take the program once while playing.
    long a = 0, b = 0;
    play(reloaded, 4410, a);
    play(untouched, 4410, b);
    reloaded.selectPreset(preset);
    untouched.selectPreset(preset);
    play(reloaded, 44100, a);
    play(untouched, 44100, b);
    reloaded.selectPreset(preset);
    const std::vector<float> x = play(reloaded, 8192, a), y = play(untouched, 8192, b);
    double worst = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) worst = std::fmax(worst, std::fabs(x[i] - y[i]));
    EXPECT_LT(worst, 1e-4) << name << " preset " << preset << " reloaded";
}

TEST(BorealisHandover, ReloadingTheCurrentPresetLeavesTheSoundAsItIs) {
    for (int preset : {0, 3, 7, 13}) expectReloadKeepsTheSound<Borealis>("Borealis", preset);
}

TEST(KestrelHandover, ReloadingTheCurrentPresetLeavesTheSoundAsItIs) {
    for (int preset : {0, 3, 13}) expectReloadKeepsTheSound<Kestrel>("Kestrel", preset);
}

// Kestrel's index 1 and a repeated sample rate restart nothing; a real change of rate does.
TEST(KestrelHandover, OnlyARealChangeOfRateRestartsTheDelayLines) {
    Kestrel fx(quietHost);
    fx.setSampleRate(44100.0f);
    fx.resume();
    long position = 0;
    play(fx, 44100, position);
    const double envelope = fx.envelope(0);
    fx.setParameter(kestrel::kReset, 1.0f);
    fx.setSampleRate(44100.0f);
    std::vector<float> out = play(fx, 2048, position);
    int silent = 0, longest = 0;
    for (float v : out) longest = std::max(longest, silent = std::fabs(v) < 1e-6f ? silent + 1 : 0);
    EXPECT_LT(longest, 4);
    EXPECT_NEAR(fx.envelope(0), envelope, 0.05 * envelope);
    EXPECT_EQ(fx.getParameter(kestrel::kReset), 1.0f);
    EXPECT_EQ(fx.getUnitValue(kestrel::kReset), 0.0f);

    fx.setSampleRate(48000.0f);
    EXPECT_EQ(fx.hilbertLength(), 48);
    out = play(fx, 2048, position);
    EXPECT_LT(std::fabs(out[100]), 1e-9f);  // the new delay line starts from silence
}

}  // namespace

// The audio-thread side of orv-host's playback without any device: the ring between two
// threads keeps every sample in order, and the engine's render never allocates while its
// recording stays the plug-in's latency-compensated output of the whole source, through
// underruns, pauses and the source's end.
#include <gtest/gtest.h>

#include "tests/torture/allocation_counter.h"
#include "tools/orv-host/playback_engine.h"
#include "tools/orv-host/sample_ring.h"
#include "tools/orv-host/session.h"
#include "tools/orv-host/stream_runner.h"

#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

using orvhost::PlaybackEngine;
using orvhost::SampleRing;

TEST(SampleRing, CarriesEverySampleInOrderBetweenTwoThreads) {
    SampleRing<double> ring(1000);
    EXPECT_EQ(ring.capacity(), 1024u);
    constexpr std::size_t kTotal = 2000000;
    std::thread writer([&ring] {
        std::vector<double> chunk(97);
        std::size_t next = 0;
        while (next < kTotal) {
            const std::size_t n = std::min(chunk.size(), kTotal - next);
            for (std::size_t i = 0; i < n; ++i) chunk[i] = static_cast<double>(next + i);
            std::size_t put = 0;
            while (put < n) put += ring.write(chunk.data() + put, n - put);
            next += n;
        }
    });
    std::vector<double> chunk(61);
    std::size_t expected = 0, wrong = 0;
    while (expected < kTotal) {
        const std::size_t n = ring.read(chunk.data(), chunk.size());
        for (std::size_t i = 0; i < n; ++i, ++expected)
            if (chunk[i] != static_cast<double>(expected)) ++wrong;
    }
    writer.join();
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(ring.readable(), 0u);
    EXPECT_EQ(ring.writable(), ring.capacity());
}

class PlaybackEngineTest : public ::testing::Test {
protected:
    static constexpr int kBlock = 256;
    static constexpr double kRate = 48000.0;

    bool prepare(orvhost::Plugin& plugin) {
        orvhost::Options o;
        o.plugin = ORV_KESTREL_PATH;
        o.factory = true;
        o.rate = kRate;
        o.block = kBlock;
        o.sets = {{"Threshold", "-24dB"}, {"Ratio", "4:1"}};
        std::string error;
        if (!orvhost::loadAndPrepare(plugin, o, error)) return false;
        plugin.dispatch(effMainsChanged, 0, 1);
        return true;
    }

    static std::vector<double> signal(std::size_t frames) {
        std::vector<double> s(frames * 2);
        std::uint32_t noise = 99u;
        for (std::size_t i = 0; i < frames; ++i) {
            noise = noise * 1664525u + 1013904223u;
            const double level = (i / 4800) % 2 ? 0.7 : 0.1;
            s[2 * i] = level * std::sin(0.031 * static_cast<double>(i)) + (static_cast<double>(noise >> 9) / 8388608.0 - 0.5) * 0.05;
            s[2 * i + 1] = level * std::sin(0.017 * static_cast<double>(i));
        }
        return s;
    }
};

TEST_F(PlaybackEngineTest, RecordsTheWholeSourceThroughUnderrunsAndPausesWithoutAllocating) {
    if (!torture::allocationCountingWorks()) GTEST_SKIP() << "allocations cannot be counted in this build";
    orvhost::Plugin played, reference;
    ASSERT_TRUE(prepare(played));
    ASSERT_TRUE(prepare(reference));
    const std::size_t latency = static_cast<std::size_t>(played.initialDelay());
    ASSERT_GT(latency, 0u);
    const std::size_t frames = 30000;
    const std::vector<double> source = signal(frames);

    SampleRing<double> sourceRing(8192), recordRing(1 << 17);
    PlaybackEngine engine(played, kBlock, false, 2, kRate, latency, &sourceRing, &recordRing);
    std::vector<float> out(kBlock * 2);
    std::size_t fed = 0;
    long allocations = 0;
    int starvedBlocks = 0, soundWhilePaused = 0;
    float fadedTo = 0.0f;  // the last frame of a fade-out (5 ms: 240 frames)
    // Paused for three blocks now and then (the first of them fades out), never while starved.
    const auto pausedRound = [](int round) { return round % 23 >= 10 && round % 23 < 13 && round % 7 != 3; };
    for (int round = 0; !engine.sourceFinished() || !engine.tailFinished(); ++round) {
        ASSERT_LT(round, 2000);
        // The reader keeps up, except every seventh round (a starved block) and never beyond the end.
        if (round % 7 != 3) {
            const std::size_t n = std::min<std::size_t>(frames - fed, 300);
            fed += sourceRing.write(source.data() + 2 * fed, 2 * n) / 2;
        } else if (sourceRing.readable() < 2 * kBlock && fed < frames && !pausedRound(round)) {
            ++starvedBlocks;
        }
        if (fed == frames) engine.markSourceEnded();
        engine.setPaused(pausedRound(round));
        torture::startCountingAllocations();
        engine.render(nullptr, 0, out.data(), 2, kBlock);
        allocations += torture::stopCountingAllocations();
        // Once paused, the device hears the fade-out and then silence.
        if (pausedRound(round) && pausedRound(round - 1))
            for (float v : out) soundWhilePaused += v != 0.0f;
        if (pausedRound(round) && !pausedRound(round - 1)) fadedTo = std::max(std::fabs(out[2 * 239]), std::fabs(out[2 * 239 + 1]));
    }
    EXPECT_EQ(soundWhilePaused, 0);
    EXPECT_LT(fadedTo, 0.01f);
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(engine.underruns(), starvedBlocks);
    EXPECT_GT(starvedBlocks, 0);
    EXPECT_EQ(engine.framesPlayed(), static_cast<long long>(frames));
    EXPECT_EQ(engine.recordOverflows(), 0);
    EXPECT_GT(engine.peak(0), 0.01f);

    // The same source through `process`'s stream runner.
    orvhost::StreamRunner runner(reference, kBlock, false, 2, latency);
    std::vector<double> expected;
    for (std::size_t pos = 0; pos < frames; pos += kBlock) {
        const int n = static_cast<int>(std::min<std::size_t>(kBlock, frames - pos));
        const std::size_t got = runner.process(source.data() + 2 * pos, nullptr, 1, n);
        expected.insert(expected.end(), runner.output(), runner.output() + 2 * got);
    }
    for (std::size_t got; (got = runner.flush()) > 0;) expected.insert(expected.end(), runner.output(), runner.output() + 2 * got);
    std::vector<double> recorded(recordRing.readable());
    recordRing.read(recorded.data(), recorded.size());
    ASSERT_EQ(recorded.size(), expected.size());
    double worst = 0.0;
    for (std::size_t i = 0; i < expected.size(); ++i) worst = std::max(worst, std::fabs(recorded[i] - expected[i]));
    EXPECT_LT(worst, 1e-6);
}

TEST_F(PlaybackEngineTest, WhatIsLeftAtTheStopStillReachesTheRecording) {
    // Stopped after a few blocks: the rest of the source and the latency tail are run on the
    // caller's thread, and the recording is exactly as long as the source.
    orvhost::Plugin played;
    ASSERT_TRUE(prepare(played));
    const std::size_t latency = static_cast<std::size_t>(played.initialDelay());
    const std::size_t frames = 5000;
    const std::vector<double> source = signal(frames);
    SampleRing<double> sourceRing(1 << 14), recordRing(1 << 15);
    ASSERT_EQ(sourceRing.write(source.data(), source.size()), source.size());
    PlaybackEngine engine(played, kBlock, false, 2, kRate, latency, &sourceRing, &recordRing);
    engine.markSourceEnded();
    std::vector<float> out(kBlock * 2);
    for (int i = 0; i < 3; ++i) engine.render(nullptr, 0, out.data(), 2, kBlock);
    while (engine.processRemainingSource()) {
    }
    while (engine.processTail()) {
    }
    EXPECT_TRUE(engine.sourceFinished());
    EXPECT_EQ(recordRing.readable(), 2 * frames);
}

}  // namespace

// orv-host editor playing through a JACK server on the dummy driver, heard by a JACK client of
// the test's own: what --play delivers is sample for sample what `process` writes, --live
// passes a tone through the plug-in, and devices that are missing, busy, at another rate or
// that go away mid-play end the run with a clear message and status 3.
#include <gtest/gtest.h>
#include <sndfile.h>

#include "tests/playback/jack_probe.h"
#include "tests/playback/jack_server.h"
#include "tests/playback/running_host.h"
#include "tests/support/x_server_suite.h"
#include "tests/tools/host_runner.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using orvtest::contains;
using orvtest::tempPath;
using playtest::JackProbe;
using playtest::JackServer;
using playtest::RunningHost;

constexpr int kStatusDevice = 3;

// Program material that makes a compressor work: quiet, loud and noisy passages on two tones.
std::vector<double> programSignal(double rate, double seconds) {
    const std::size_t frames = static_cast<std::size_t>(rate * seconds);
    std::vector<double> s(frames * 2);
    std::uint32_t noise = 12345u;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double level = t < 0.3 ? 0.05 : t < 0.8 ? 0.8 : t < 1.2 ? 0.3 : 0.9;
        noise = noise * 1664525u + 1013904223u;
        const double n = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.2;
        s[2 * i] = level * (std::sin(2.0 * M_PI * 220.0 * t) * 0.9 + n);
        s[2 * i + 1] = level * std::sin(2.0 * M_PI * 331.0 * t);
    }
    return s;
}

// Where the reference starts in the recording, every frame equal; -1 when it is not there whole.
long findExactly(const std::vector<double>& reference, const std::vector<float>& left, const std::vector<float>& right,
                 long recorded) {
    const long frames = static_cast<long>(reference.size() / 2);
    long first = 0;
    while (first < frames && std::fabs(reference[2 * first]) < 0.05) ++first;
    for (long p = first; p + (frames - first) <= recorded; ++p) {
        if (left[p] != static_cast<float>(reference[2 * first])) continue;
        const long offset = p - first;
        if (offset < 0) continue;
        bool same = true;
        for (long i = 0; i < frames && same; ++i)
            same = left[offset + i] == static_cast<float>(reference[2 * i]) &&
                   right[offset + i] == static_cast<float>(reference[2 * i + 1]);
        if (same) return offset;
    }
    return -1;
}

class PlaybackThroughJack : public orvtest::XServerSuite {
public:
    static void SetUpTestSuite() {
        XServerSuite::SetUpTestSuite();
        playtest::quietJack();
        // CI starts a server and names it; otherwise the suite starts its own.
        const char* named = std::getenv("JACK_DEFAULT_SERVER");
        if (named && playtest::jackServerAnswers(named)) {
            server() = named;
            return;
        }
        own().reset(new JackServer(tempPath("jack-suite-server.log")));
        if (own()->start("orv-playback-test", 48000, {}, true)) server() = own()->serverName();
        else std::fprintf(stderr, "no JACK server for the suite: %s\n", own()->why().c_str());
    }
    static void TearDownTestSuite() {
        own().reset();
        XServerSuite::TearDownTestSuite();
    }

protected:
    void SetUp() override {
        XServerSuite::SetUp();
        if (IsSkipped()) return;
        if (server().empty()) GTEST_SKIP() << "no JACK server (jackd from jackd2)";
        ASSERT_TRUE(probe.open(server(), 12.0));
    }

    static std::string& server() {
        static std::string name;
        return name;
    }
    static std::unique_ptr<JackServer>& own() {
        static std::unique_ptr<JackServer> s;
        return s;
    }
    std::vector<std::pair<std::string, std::string>> environment(const std::string& name = "") const {
        return {{"JACK_DEFAULT_SERVER", name.empty() ? server() : name}};
    }
    int rate() const { return static_cast<int>(probe.rate()); }

    JackProbe probe;
};

TEST_F(PlaybackThroughJack, PlayDeliversWhatProcessWrites) {
    // Played paused, connected to the probe, then started with a space: the probe hears the
    // plug-in's latency and then exactly the samples `process` writes of the same file with
    // the same settings and blocks, without a gap, and --out records them.
    const std::string in = tempPath("jack-program.wav");
    ASSERT_TRUE(orvtest::writeAudio(in, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, rate(), programSignal(rate(), 1.5)));
    for (const char* plugin : {ORV_KESTREL_PATH, ORV_BOREALIS_PATH}) {
        SCOPED_TRACE(plugin);
        const std::string reference = tempPath("jack-program-processed.wav");
        const std::string settings = " --factory --set Threshold=-20dB --set Ratio=4:1 --block 256";
        ASSERT_EQ(orvtest::host(std::string("process ") + plugin + " " + in + " " + reference + " --bits float" + settings).status, 0);
        orvtest::Audio ref = orvtest::readAudio(reference);
        ASSERT_TRUE(ref.ok);

        const std::string recorded = tempPath("jack-program-recorded.wav");
        RunningHost host({"editor", plugin, "--play", in, "--out", recorded, "--bits", "float", "--paused", "--buffer", "256",
                          "--seconds", "4.5", "--factory", "--set", "Threshold=-20dB", "--set", "Ratio=4:1"},
                         tempPath("jack-play.log"), environment());
        const std::vector<std::string> ports = probe.portsOfProcess(host.processId(), "orv-host", true, 5.0);
        ASSERT_EQ(ports.size(), 2u) << host.output();
        ASSERT_TRUE(probe.connect(ports[0], probe.inputPort(0)));
        ASSERT_TRUE(probe.connect(ports[1], probe.inputPort(1)));
        probe.startRecording();
        ASSERT_TRUE(host.type(" "));
        ASSERT_EQ(host.wait(20.0), 0) << host.output();
        const std::string log = host.output();
        // The reader never fell behind; what the audio system reports of its own cycles (a
        // loaded machine's dummy server may miss one) is counted apart, and would show as a gap.
        EXPECT_TRUE(contains(log, "(source 0, device ")) << log;
        EXPECT_TRUE(contains(log, "the end of " + in + " has been played")) << log;

        const long offset = findExactly(ref.samples, probe.recordedChannel(0), probe.recordedChannel(1), probe.recorded());
        EXPECT_GE(offset, 0) << "the processed file was not heard sample for sample";
        // --out holds what was played, its latency taken off: the same samples again.
        orvtest::Audio out = orvtest::readAudio(recorded);
        ASSERT_TRUE(out.ok);
        EXPECT_EQ(out.samples, ref.samples);
        probe.resetRecording();
    }
}

TEST_F(PlaybackThroughJack, LivePassesAToneThroughThePlugIn) {
    // A -12 dBFS tone into orv-host's inputs comes out 6 dB louder with 6 dB of makeup, at the
    // same frequency; the plug-in's latency is reported.
    probe.playTone(997.0, 0.25);
    RunningHost host({"editor", ORV_KESTREL_PATH, "--live", "--buffer", "256", "--seconds", "3", "--factory", "--set",
                      "Makeup=6dB"},
                     tempPath("jack-live.log"), environment());
    const std::vector<std::string> outs = probe.portsOfProcess(host.processId(), "orv-host", true, 5.0);
    const std::vector<std::string> ins = probe.portsOfProcess(host.processId(), "orv-host", false, 5.0);
    ASSERT_EQ(outs.size(), 2u) << host.output();
    ASSERT_EQ(ins.size(), 2u) << host.output();
    for (int c = 0; c < 2; ++c) {
        ASSERT_TRUE(probe.connect(probe.outputPort(c), ins[c]));
        ASSERT_TRUE(probe.connect(outs[c], probe.inputPort(c)));
    }
    probe.startRecording();
    ASSERT_EQ(host.wait(20.0), 0) << host.output();
    const std::string log = host.output();
    EXPECT_TRUE(contains(log, "plug-in latency 1021 samples")) << log;
    EXPECT_TRUE(contains(log, "(source 0, device ")) << log;

    // Half a second from the middle of what was heard.
    const std::vector<float>& left = probe.recordedChannel(0);
    long start = 0, end = probe.recorded();
    while (start < end && std::fabs(left[start]) < 1e-3f) ++start;
    while (end > start && std::fabs(left[end - 1]) < 1e-3f) --end;
    ASSERT_GT(end - start, rate()) << "less than a second of the tone came back";
    const long from = (start + end) / 2 - rate() / 4, to = from + rate() / 2;
    double sum = 0.0;
    int crossings = 0;
    for (long i = from; i < to; ++i) {
        sum += static_cast<double>(left[i]) * left[i];
        if ((left[i - 1] < 0.0f) != (left[i] < 0.0f)) ++crossings;
    }
    const double rmsDb = 10.0 * std::log10(sum / static_cast<double>(to - from));
    const double toneDb = 20.0 * std::log10(0.25 / std::sqrt(2.0));
    EXPECT_NEAR(rmsDb, toneDb + 6.0, 0.2);
    EXPECT_NEAR(crossings, 997, 3);  // two a period over half a second
}

TEST_F(PlaybackThroughJack, DevicesThatCannotPlayEndTheRunWithAReason) {
    // No such device.
    {
        RunningHost host({"editor", ORV_KESTREL_PATH, "--play", "demo", "--device", "no-such-card", "--seconds", "1"},
                         tempPath("jack-missing.log"), environment());
        EXPECT_EQ(host.wait(20.0), kStatusDevice);
        EXPECT_TRUE(contains(host.output(), "no audio device named \"no-such-card\"")) << host.output();
    }
    // A file at a rate the server does not run at.
    {
        const int other = rate() == 44100 ? 48000 : 44100;
        const std::string in = tempPath("jack-other-rate.wav");
        ASSERT_TRUE(orvtest::writeAudio(in, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, other, std::vector<double>(2000, 0.1)));
        RunningHost host({"editor", ORV_KESTREL_PATH, "--play", in, "--seconds", "1"}, tempPath("jack-rate.log"),
                         environment());
        EXPECT_EQ(host.wait(20.0), kStatusDevice);
        EXPECT_TRUE(contains(host.output(), "does not play at " + std::to_string(other) + " Hz")) << host.output();
    }
    // A server with no room for orv-host's ports: busy.
    {
        JackServer full(tempPath("jack-busy-server.log"));
        ASSERT_TRUE(full.start("orv-busy", rate(), {"-p", "6"})) << full.why();
        RunningHost host({"editor", ORV_KESTREL_PATH, "--play", "demo", "--seconds", "1"}, tempPath("jack-busy.log"),
                         environment(full.serverName()));
        EXPECT_EQ(host.wait(20.0), kStatusDevice);
        EXPECT_TRUE(contains(host.output(), "is busy")) << host.output();
    }
    // --live on a device that is not there: the message names the way out.
    {
        RunningHost host({"editor", ORV_KESTREL_PATH, "--live", "--device", "no-such-card", "--seconds", "1"},
                         tempPath("jack-live-missing.log"), environment());
        EXPECT_EQ(host.wait(20.0), kStatusDevice);
        EXPECT_TRUE(contains(host.output(), "--list-devices")) << host.output();
    }
}

TEST_F(PlaybackThroughJack, ADeviceThatGoesAwayStopsPlaybackAndLeavesTheEditorOpen) {
    JackServer vanishing(tempPath("jack-vanishing-server.log"));
    ASSERT_TRUE(vanishing.start("orv-vanishing", rate())) << vanishing.why();
    RunningHost host({"editor", ORV_KESTREL_PATH, "--play", "demo", "--loop", "--seconds", "3"}, tempPath("jack-gone.log"),
                     environment(vanishing.serverName()));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    vanishing.stop();
    EXPECT_EQ(host.wait(20.0), kStatusDevice) << host.output();
    EXPECT_GE(host.seconds(), 2.9) << "the editor closed with the device";
    EXPECT_TRUE(contains(host.output(), "has stopped (it went away)")) << host.output();
}

TEST_F(PlaybackThroughJack, ListsTheServerAsADevice) {
    RunningHost host({"editor", "--list-devices"}, tempPath("jack-list.log"), environment());
    EXPECT_EQ(host.wait(20.0), 0);
    EXPECT_TRUE(contains(host.output(), "(JACK Audio Connection Kit)")) << host.output();
}

}  // namespace

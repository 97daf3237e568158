// orv-host and the files it leaves: an existing file is never replaced by the demo, the report
// and the warnings describe the file as written, integer output is dithered, an interrupted run
// leaves the finished output or none, every output obeys the same rule, rates are bounded.
#include "tests/tools/host_runner.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <csignal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using orvtest::Audio;
using orvtest::contains;
using orvtest::exists;
using orvtest::host;
using orvtest::HostRun;
using orvtest::readAudio;
using orvtest::tempPath;
using orvtest::writeAudio;

const std::string kProcess = "process " ORV_BOREALIS_PATH " ";
constexpr double kPi = 3.14159265358979323846;

std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void putText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The number printed after `label` on the first line that holds `line`.
double numberAfter(const std::string& text, const std::string& line, const std::string& label) {
    const std::size_t l = text.find(line);
    if (l == std::string::npos) return NAN;
    const std::size_t p = text.find(label, l);
    return p == std::string::npos ? NAN : std::atof(text.c_str() + p + label.size());
}

TEST(OrvHostOutput, AnExistingFileIsNeverReplacedByTheDemo) {
    const std::string song = tempPath("mysong.wav");
    putText(song, "precious");
    HostRun r = host(kProcess + song);
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.out, "process PLUGIN IN OUT")) << r.out;
    EXPECT_TRUE(contains(r.out, "--demo")) << r.out;
    EXPECT_EQ(contentsOf(song), "precious");

    // Asked for explicitly, the demo goes there; a new name gets it without asking.
    ASSERT_EQ(host(kProcess + "--demo " + song).status, 0);
    EXPECT_TRUE(readAudio(song).ok);
    const std::string fresh = tempPath("fresh-demo.wav");
    std::remove(fresh.c_str());
    ASSERT_EQ(host(kProcess + fresh).status, 0);
    EXPECT_TRUE(readAudio(fresh).ok);
    EXPECT_NE(host(kProcess + "--demo " + song + " " + fresh).status, 0) << "--demo takes one path";
}

TEST(OrvHostOutput, ReportAndWarningDescribeTheClippedFileAsWritten) {
    const int rate = 44100;
    std::vector<double> x(2 * rate * 4);
    for (std::size_t i = 0; i < x.size() / 2; ++i) x[2 * i] = x[2 * i + 1] = 0.7 * std::sin(2.0 * kPi * 440.0 * i / rate);
    const std::string in = tempPath("loud.wav"), out = tempPath("loud-16.wav");
    ASSERT_TRUE(writeAudio(in, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, rate, x));
    HostRun r = host(kProcess + in + " " + out + " --bits 16 --set Output=+12dB --report");
    ASSERT_EQ(r.status, 0) << r.out;
    Audio a = readAudio(out);
    ASSERT_TRUE(a.ok);
    double peak = 0.0, pinned = 0.0;
    for (double v : a.samples) {
        peak = std::max(peak, std::fabs(v));
        if (v >= 32767.0 / 32768.0 || v <= -1.0) ++pinned;
    }
    ASSERT_GT(pinned, 1000.0) << "the test needs a clipped file";
    const double reportedPeak = numberAfter(r.out, "left ", "output peak");
    EXPECT_NEAR(reportedPeak, 20.0 * std::log10(peak), 0.01) << r.out;
    EXPECT_LE(numberAfter(r.out, "loudness output", "true peak"), 3.5) << "measured on the clipped samples\n" << r.out;
    EXPECT_EQ(numberAfter(r.out, "output WAV", "dither, "), pinned) << r.out;
    // The clipping is said also without --report.
    HostRun quiet = host(kProcess + in + " " + out + " --bits 16 --set Output=+12dB");
    ASSERT_EQ(quiet.status, 0);
    EXPECT_TRUE(contains(quiet.out, std::to_string(static_cast<long long>(pinned)) + " samples")) << quiet.out;
    EXPECT_TRUE(contains(quiet.out, "clipped")) << quiet.out;
    HostRun fine = host(kProcess + in + " " + out + " --bits 16");
    EXPECT_FALSE(contains(fine.out, "clipped")) << fine.out;
}

// Amplitude of the component at DFT bin `k` of x[from, from + n), Hann-windowed.
double binAmplitude(const std::vector<double>& x, std::size_t from, std::size_t n, std::size_t k) {
    double re = 0.0, im = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * i / n);
        const double phase = 2.0 * kPi * static_cast<double>((k * i) % n) / n;
        re += w * x[from + i] * std::cos(phase);
        im -= w * x[from + i] * std::sin(phase);
    }
    return 4.0 * std::hypot(re, im) / n;
}

TEST(OrvHostOutput, SixteenBitsBackToSixteenBitsIsDithered) {
    // A -61 dBFS tone on a DFT bin, stored as dithered 16-bit samples so the input itself is
    // free of harmonics. Turned down 12 dB, too little of the input's own noise is left to
    // dither the requantisation: without dither the output's error follows the tone.
    const int rate = 44100;
    const std::size_t n = 1 << 19, skip = rate;  // analyse after the first second
    const std::size_t k = 11889;                 // about 1 kHz
    const double amplitude = std::pow(10.0, -61.0 / 20.0);
    std::vector<short> pcm(n + skip);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<short>(std::nearbyint(32768.0 * amplitude * std::sin(2.0 * kPi * double((k * i) % n) / n) +
                                                   uniform(random) + uniform(random)));
    const std::string in = tempPath("tone-16.wav");
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(in.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(sf_writef_short(f, pcm.data(), static_cast<sf_count_t>(pcm.size())), static_cast<sf_count_t>(pcm.size()));
    sf_close(f);

    auto worstHarmonicDb = [&](const std::string& extra) {
        const std::string out = tempPath("tone-16-out.wav");
        HostRun r = host(kProcess + in + " " + out + " --set Output=-12dB" + extra);
        EXPECT_EQ(r.status, 0) << r.out;
        Audio a = readAudio(out);
        EXPECT_EQ(a.samples.size(), pcm.size());
        if (a.samples.size() != pcm.size()) return 0.0;
        EXPECT_GT(binAmplitude(a.samples, skip, n, k), amplitude / 8) << "the tone comes through";
        double worst = 0.0;
        for (std::size_t h = 2; h <= 5; ++h) worst = std::max(worst, binAmplitude(a.samples, skip, n, h * k));
        return 20.0 * std::log10(worst + 1e-30);
    };
    EXPECT_LT(worstHarmonicDb(""), -130.0);
    EXPECT_GT(worstHarmonicDb(" --no-dither"), -125.0) << "the measurement sees undithered requantisation";
}

// Starts orv-host with its output on a pipe; `wait` collects its status.
struct Child {
    pid_t pid = -1;
    int out = -1;
    explicit Child(const std::string& args) {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(fds[1], 1);
            dup2(fds[1], 2);
            close(fds[0]);
            close(fds[1]);
            execl("/bin/sh", "sh", "-c", ("exec " ORV_HOST_PATH " " + args).c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        out = fds[0];
    }
    // Reads until `text` shows (or the output ends).
    std::string readUntil(const std::string& text) {
        std::string seen;
        char buf[512];
        ssize_t got;
        while (!contains(seen, text) && (got = read(out, buf, sizeof buf)) > 0) seen.append(buf, static_cast<std::size_t>(got));
        return seen;
    }
    int wait(std::string& rest) {
        rest += readUntil("\x01never");
        close(out);
        int raw = 0;
        waitpid(pid, &raw, 0);
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
};

TEST(OrvHostOutput, AnInterruptedRunLeavesTheOldOutputOrNone) {
    // Long enough to be interrupted in the middle; the progress bar is not shown on a pipe, so
    // the run is interrupted once it has had time to start writing.
    const int rate = 44100;
    const std::string in = tempPath("interrupted-in.wav"), out = tempPath("interrupted-out.wav");
    ASSERT_TRUE(writeAudio(in, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, rate, std::vector<double>(2 * rate * 240, 0.1)));
    for (int signal : {SIGINT, SIGTERM}) {
        putText(out, "the earlier output");
        Child child(kProcess + in + " " + out + " --set Ratio=4:1");
        ASSERT_GT(child.pid, 0);
        child.readUntil("(preset");  // the changed setting is said before processing starts
        usleep(300 * 1000);
        kill(child.pid, signal);
        std::string seen;
        const int status = child.wait(seen);
        EXPECT_EQ(status, 128 + signal) << seen;
        EXPECT_TRUE(contains(seen, "interrupted")) << seen;
        EXPECT_EQ(contentsOf(out), "the earlier output") << "the output is finished or untouched";
        EXPECT_FALSE(orvtest::partialLeft(out));
    }
    // A new name is not left behind at all.
    std::remove(out.c_str());
    Child child(kProcess + in + " " + out);
    usleep(500 * 1000);
    kill(child.pid, SIGINT);
    std::string seen;
    EXPECT_EQ(child.wait(seen), 130) << seen;
    EXPECT_FALSE(exists(out));
    EXPECT_FALSE(orvtest::partialLeft(out));
}

// Interrupted, orv-host still closes the plug-in with effClose, so that it can keep its settings:
// the test plug-in writes a marker when it is closed.
TEST(OrvHostOutput, AnInterruptedRunClosesThePlugInProperly) {
    const std::string in = tempPath("marker-in.wav"), out = tempPath("marker-out.wav"), marker = tempPath("marker-closed");
    ASSERT_TRUE(writeAudio(in, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, std::vector<double>(2 * 44100 * 60, 0.1)));
    std::remove(out.c_str());
    std::remove(marker.c_str());
    setenv("ORV_MARKER_FILE", marker.c_str(), 1);
    Child child("process " ORV_MARKER_PLUGIN_PATH " " + in + " " + out);
    usleep(500 * 1000);  // a run of this length lasts about five seconds
    kill(child.pid, SIGINT);
    std::string seen;
    EXPECT_EQ(child.wait(seen), 130) << seen;
    unsetenv("ORV_MARKER_FILE");
    EXPECT_EQ(contentsOf(marker), "closed") << "the plug-in was not closed\n" << seen;
    EXPECT_FALSE(exists(out));
}

// Two runs writing the same output at once each write a temporary file of their own: both
// succeed, and what stays is one whole output (the stand-in plug-in passes its input through).
TEST(OrvHostOutput, TwoRunsWritingOneOutputAtOnceLeaveAWholeFile) {
    const std::string in = tempPath("twice-in.wav"), out = tempPath("twice-out.wav");
    std::vector<double> x(2 * 44100 * 3);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = 0.25 * std::sin(0.01 * static_cast<double>(i));
    ASSERT_TRUE(writeAudio(in, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, x));
    std::remove(out.c_str());
    Child first("process " ORV_MARKER_PLUGIN_PATH " " + in + " " + out);
    Child second("process " ORV_MARKER_PLUGIN_PATH " " + in + " " + out);
    std::string seen;
    EXPECT_EQ(first.wait(seen), 0) << seen;
    EXPECT_EQ(second.wait(seen), 0) << seen;
    Audio a = readAudio(out);
    ASSERT_TRUE(a.ok);
    ASSERT_EQ(a.samples.size(), x.size());
    double worst = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) worst = std::max(worst, std::fabs(a.samples[i] - x[i]));
    EXPECT_LT(worst, 1e-7);
    EXPECT_FALSE(orvtest::partialLeft(out));
}

TEST(OrvHostOutput, SavedStateGoesIntoAPipeAsItIsAndNeverOverAnInput) {
    const std::string fifo = tempPath("state.fifo");
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Held open both ways, so orv-host's open does not wait and the bytes can be read after.
    const int fd = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    HostRun r = host("info " ORV_BOREALIS_PATH " --save-state " + fifo);
    EXPECT_EQ(r.status, 0) << r.out;
    struct stat st;
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the pipe was replaced by a file";
    char buf[4096];
    EXPECT_EQ(read(fd, buf, sizeof buf), 2592) << "the bank chunk went into the pipe";
    close(fd);
    std::remove(fifo.c_str());

    const std::string state = tempPath("kept.state");
    ASSERT_EQ(host("info " ORV_BOREALIS_PATH " --save-state " + state).status, 0);
    const std::string before = contentsOf(state);
    // The state is read whole before anything runs, so saving it back where it came from
    // updates it; an audio input is never replaced by a saved state.
    HostRun back = host("info " ORV_BOREALIS_PATH " --state " + state + " --save-state " + state);
    EXPECT_EQ(back.status, 0) << back.out;
    EXPECT_EQ(contentsOf(state), before);
    const std::string in = tempPath("state-over-input.wav"), out = tempPath("state-over-input-out.wav");
    ASSERT_TRUE(writeAudio(in, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, std::vector<double>(2 * 4410, 0.1)));
    const std::string audio = contentsOf(in);
    HostRun over = host(kProcess + in + " " + out + " --save-state " + in);
    EXPECT_NE(over.status, 0);
    EXPECT_TRUE(contains(over.out, "refusing to write")) << over.out;
    EXPECT_EQ(contentsOf(in), audio);
}

TEST(OrvHostOutput, RatesAreBoundedAndTheBenchSignalIsStreamed) {
    for (const char* rate : {"1e10", "1e300", "8000", "0"}) {
        HostRun r = host("bench " ORV_BOREALIS_PATH " --rate " + std::string(rate) + " --seconds 0.2");
        EXPECT_NE(r.status, 0) << rate;
        EXPECT_TRUE(contains(r.out, "bad --rate (22050 to 192000 Hz)")) << r.out;
        EXPECT_LT(r.maxRssKb, 100 * 1024) << rate;
    }
    // 20 s at 192 kHz held whole would be 61 MB of signal.
    HostRun r = host("bench " ORV_BOREALIS_PATH " --rate 192000 --seconds 20 --repeat 1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "frames=3840000")) << r.out;
    EXPECT_LT(r.maxRssKb, 40 * 1024) << "memory follows the signal's length";
}

TEST(OrvHostOutput, SmallerMisleadingAnswersAreMended) {
    HostRun bogus = host("bogus --help");
    EXPECT_NE(bogus.status, 0);
    EXPECT_TRUE(contains(bogus.out, "unknown command: bogus")) << bogus.out;
    for (const char* command : {"info", "process", "bench", "editor"})
        EXPECT_TRUE(contains(host(std::string(command) + " --help").out, "--sse2")) << command;

    HostRun upper = host("info " ORV_BOREALIS_PATH " --json --preset 'KICKPUMP'");
    EXPECT_EQ(upper.status, 0) << upper.out;
    EXPECT_TRUE(contains(upper.out, "\"display\": \"-6.62dB\"")) << "KickPump's threshold\n" << upper.out;
    HostRun unknown = host("info " ORV_BOREALIS_PATH " --preset Nope");
    EXPECT_NE(unknown.status, 0);
    EXPECT_TRUE(contains(unknown.out, "Gentle Master")) << unknown.out;

    // A key signal without S.C.Ext on is said to have no effect.
    const int rate = 44100;
    const std::string in = tempPath("main.wav"), key = tempPath("key-signal.wav"), out = tempPath("keyed.wav");
    ASSERT_TRUE(writeAudio(in, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, rate, std::vector<double>(2000, 0.1)));
    ASSERT_TRUE(writeAudio(key, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, rate, std::vector<double>(2000, 0.5)));
    HostRun off = host(kProcess + in + " " + out + " --sidechain " + key);
    EXPECT_EQ(off.status, 0) << off.out;
    EXPECT_TRUE(contains(off.out, "S.C.Ext=On")) << off.out;
    HostRun on = host(kProcess + in + " " + out + " --sidechain " + key + " --set S.C.Ext=On");
    EXPECT_FALSE(contains(on.out, "no effect")) << on.out;
}

TEST(OrvHostOutput, GainReductionCountsFromTheGainAtRest) {
    const int rate = 44100;
    const std::string silent = tempPath("silent.wav"), out = tempPath("silent-out.wav");
    ASSERT_TRUE(writeAudio(silent, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, rate, std::vector<double>(2 * rate, 0.0)));
    const std::string none = "largest gain reduction 0.00 dB (compressor)";
    HostRun quiet = host(kProcess + silent + " " + out + " --report");
    EXPECT_TRUE(contains(quiet.out, none)) << "silence is not reduced\n" << quiet.out;
    HostRun flat = host(kProcess + "--demo " + out + " --report --set Ratio=1:1");
    EXPECT_TRUE(contains(flat.out, none)) << "1:1 reduces nothing\n" << flat.out;
    HostRun pumping = host(kProcess + "--demo " + out + " --report --preset KickPump");
    EXPECT_GT(numberAfter(pumping.out, "largest gain reduction", "reduction "), 1.0) << pumping.out;
    // Measuring the resting gain leaves the processed audio as it is.
    const std::string plain = tempPath("kick-plain.wav");
    ASSERT_EQ(host(kProcess + "--demo " + plain + " --preset KickPump").status, 0);
    EXPECT_TRUE(readAudio(plain).samples == readAudio(out).samples);
}

TEST(OrvHostOutput, AnMp3InputIsNotCalledTruncated) {
    const int rate = 44100;
    const std::string in = tempPath("song.mp3"), out = tempPath("mp3-out.wav");
    std::vector<double> x(2 * rate * 2);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = 0.3 * std::sin(2.0 * kPi * 330.0 * (i / 2) / rate);
    if (!writeAudio(in, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 2, rate, x)) GTEST_SKIP() << "no MP3 encoder";
    HostRun r = host(kProcess + in + " " + out);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(contains(r.out, "truncated")) << r.out;
}

}  // namespace

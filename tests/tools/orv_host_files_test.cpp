// orv-host process with the files a user throws at it: lying headers, long files, samples past
// full scale, outputs that are its own input, devices and pipes, formats by extension, mono,
// bit depth and dither, the report's loudness figures and the progress bar.
#include "tests/tools/host_runner.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <thread>
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

const std::string kHost = "process " ORV_BOREALIS_PATH " ";
constexpr double kPi = 3.14159265358979323846;

std::vector<double> sine(int frames, int channels, double amplitude, double hz, int rate) {
    std::vector<double> x(static_cast<std::size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) x[i * channels + c] = amplitude * std::sin(2.0 * kPi * hz * i / rate);
    return x;
}

std::vector<unsigned char> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void putBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// A real FLAC file of 32 frames whose STREAMINFO claims `claimed` frames: the 36-bit total
// sample count sits after rate (20 bits), channels (3) and bits per sample (5), 18 bytes in.
std::string lyingFlac(const std::string& name, std::uint64_t claimed) {
    const std::string path = tempPath(name);
    EXPECT_TRUE(writeAudio(path, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, sine(32, 2, 0.5, 1000, 44100)));
    std::vector<unsigned char> b = bytesOf(path);
    EXPECT_GT(b.size(), 26u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "fLaC");
    b[21] = static_cast<unsigned char>((b[21] & 0xF0) | ((claimed >> 32) & 0x0F));
    for (int i = 0; i < 4; ++i) b[22 + i] = static_cast<unsigned char>(claimed >> (24 - 8 * i));
    putBytes(path, b);
    return path;
}

TEST(OrvHostFiles, HeaderClaimsDoNotDecideMemory) {
    for (std::uint64_t claimed : {200000000ull, 3000000000ull}) {
        const std::string in = lyingFlac("lying.flac", claimed), out = tempPath("lying-out.wav");
        SF_INFO info{};
        SNDFILE* f = sf_open(in.c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr);
        sf_close(f);
        ASSERT_EQ(static_cast<std::uint64_t>(info.frames), claimed) << "the header really lies";
        HostRun r = host(kHost + in + " " + out);
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(contains(r.out, "truncated")) << r.out;
        EXPECT_LT(r.maxRssKb, 120 * 1024) << "memory follows the header's claim";
        Audio a = readAudio(out);
        ASSERT_TRUE(a.ok);
        EXPECT_EQ(a.info.frames, 32) << "the frames that are there, no more";
    }
}

TEST(OrvHostFiles, ATruncatedWavIsProcessedWithAWarning) {
    const std::string whole = tempPath("whole.wav"), cut = tempPath("cut.wav"), out = tempPath("cut-out.wav");
    ASSERT_TRUE(writeAudio(whole, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, sine(10000, 2, 0.3, 440, 44100)));
    std::vector<unsigned char> b = bytesOf(whole);
    b.resize(44 + 4 * 6000);  // header and 6000 frames of the 10000 it declares
    putBytes(cut, b);
    HostRun r = host(kHost + cut + " " + out);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "truncated")) << r.out;
    EXPECT_EQ(readAudio(out).info.frames, 6000);
    HostRun fine = host(kHost + whole + " " + out);
    EXPECT_FALSE(contains(fine.out, "warning")) << fine.out;
}

TEST(OrvHostFiles, MemoryDoesNotGrowWithTheFileLength) {
    const int rate = 48000;
    const std::string shortIn = tempPath("short.wav"), longIn = tempPath("long.wav"), out = tempPath("len-out.wav");
    ASSERT_TRUE(writeAudio(shortIn, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, rate, sine(rate, 2, 0.3, 440, rate)));
    ASSERT_TRUE(writeAudio(longIn, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, rate, sine(40 * rate, 2, 0.3, 440, rate)));
    HostRun s = host(kHost + shortIn + " " + out + " --report");
    HostRun l = host(kHost + longIn + " " + out + " --report");
    ASSERT_EQ(s.status, 0) << s.out;
    ASSERT_EQ(l.status, 0) << l.out;
    // 40 s of stereo held in doubles would be 30 MB for the input alone.
    EXPECT_LT(l.maxRssKb, s.maxRssKb + 8 * 1024) << "short " << s.maxRssKb << " kB, long " << l.maxRssKb << " kB";
    EXPECT_EQ(readAudio(out).info.frames, 40 * rate);
}

TEST(OrvHostFiles, IntegerOutputClipsAndIsDitheredUnlessAskedNotTo) {
    const int rate = 44100;
    std::vector<double> x(2000, 0.0);
    x[100] = 1.297;
    x[101] = -1.5;
    x[300] = 0.5;
    const std::string in = tempPath("hot.wav");
    ASSERT_TRUE(writeAudio(in, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, rate, x));
    for (const char* bits : {"16", "24", "32"}) {
        const std::string out = tempPath(std::string("hot-") + bits + ".wav");
        HostRun r = host(kHost + in + " " + out + " --set Power=Off --no-dither --bits " + bits);
        ASSERT_EQ(r.status, 0) << r.out;
        Audio a = readAudio(out);
        ASSERT_EQ(a.samples.size(), x.size());
        EXPECT_GT(a.samples[100], 0.999) << bits << " bits: past full scale must clip, not wrap round";
        EXPECT_LT(a.samples[101], -0.999) << bits;
        EXPECT_NEAR(a.samples[300], 0.5, 1e-4) << bits;
        EXPECT_EQ(a.samples[0], 0.0) << bits << ": no dither asked for";
    }

    // A level of 0.3 steps of 16 bits: rounding alone gives silence, TPDF dither keeps its mean.
    const double step = 1.0 / 32768.0;
    const std::string quiet = tempPath("quiet.wav"), dithered = tempPath("quiet-16.wav"), plain = tempPath("quiet-16nd.wav");
    ASSERT_TRUE(writeAudio(quiet, SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, rate, std::vector<double>(40000, 0.3 * step)));
    ASSERT_EQ(host(kHost + quiet + " " + dithered + " --set Power=Off --bits 16").status, 0);
    ASSERT_EQ(host(kHost + quiet + " " + plain + " --set Power=Off --bits 16 --no-dither").status, 0);
    Audio d = readAudio(dithered), p = readAudio(plain);
    ASSERT_EQ(d.samples.size(), 40000u);
    ASSERT_EQ(p.samples.size(), 40000u);
    double mean = 0.0, worst = 0.0;
    for (double v : d.samples) {
        mean += v / d.samples.size();
        worst = std::max(worst, std::fabs(v));
    }
    for (double v : p.samples) EXPECT_EQ(v, 0.0);
    EXPECT_NEAR(mean / step, 0.3, 0.05) << "dither keeps the level below one step";
    EXPECT_LE(worst, 2.0 * step) << "triangular dither spans one step either way";

    // The same depth out as in, without dither: the bypassed file comes back unchanged; with
    // dither (the default for any integer output) it differs by at most a step either way.
    const std::string same = tempPath("quiet-24.wav"), sameDithered = tempPath("quiet-24d.wav");
    ASSERT_EQ(host(kHost + quiet + " " + same + " --set Power=Off --no-dither").status, 0);
    ASSERT_EQ(host(kHost + quiet + " " + sameDithered + " --set Power=Off").status, 0);
    Audio q = readAudio(quiet), s = readAudio(same), sd = readAudio(sameDithered);
    EXPECT_EQ(s.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(s.samples, q.samples);
    ASSERT_EQ(sd.samples.size(), q.samples.size());
    EXPECT_NE(sd.samples, q.samples);
    for (std::size_t i = 0; i < q.samples.size(); ++i) ASSERT_LE(std::fabs(sd.samples[i] - q.samples[i]), 1.0 / 8388608.0);
}

TEST(OrvHostFiles, OutputFormatFollowsTheExtension) {
    const int rate = 48000;
    const std::string in = tempPath("fmt-in.flac");
    ASSERT_TRUE(writeAudio(in, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 2, rate, sine(rate / 4, 2, 0.3, 440, rate)));
    struct Case {
        std::string name, options;
        int format;
    } cases[] = {
        {"fmt.wav", "", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {"fmt.WAV", "--bits float", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {"fmt.aiff", "--bits 16", SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        {"fmt.aif", "--bits 32", SF_FORMAT_AIFF | SF_FORMAT_PCM_32},
        {"fmt.flac", "--bits 16", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"fmt.ogg", "", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
        {"fmt.out", "", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},  // no known extension: the input's format
    };
    for (const Case& c : cases) {
        const std::string out = tempPath(c.name);
        std::remove(out.c_str());
        HostRun r = host(kHost + in + " " + out + " " + c.options);
        ASSERT_EQ(r.status, 0) << c.name << "\n" << r.out;
        Audio a = readAudio(out);
        ASSERT_TRUE(a.ok) << c.name;
        EXPECT_EQ(a.info.format, c.format) << c.name;
        EXPECT_EQ(a.info.frames, rate / 4) << c.name;
        EXPECT_EQ(a.info.channels, 2) << c.name;
    }
    for (const char* bad : {"fmt-bad.flac --bits float", "fmt-bad.flac --bits 32", "fmt-bad.ogg --bits 16"}) {
        HostRun r = host(kHost + in + " " + tempPath(bad));
        EXPECT_NE(r.status, 0) << bad;
        EXPECT_TRUE(contains(r.out, "cannot hold") || contains(r.out, "does not apply")) << r.out;
        EXPECT_FALSE(exists(tempPath("fmt-bad.flac")));
    }
}

TEST(OrvHostFiles, OggVorbisInAndOutInBlocks) {
    const int rate = 44100;
    const std::string in = tempPath("song.ogg"), out = tempPath("song-out.ogg"), wav = tempPath("song-out.wav");
    ASSERT_TRUE(writeAudio(in, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, rate, sine(8 * rate, 2, 0.3, 440, rate)));
    HostRun r = host(kHost + in + " " + out);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readAudio(out).info.frames, 8 * rate);
    HostRun w = host(kHost + in + " " + wav);
    ASSERT_EQ(w.status, 0) << w.out;
    EXPECT_EQ(readAudio(wav).info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT) << "decoded lossy audio is kept as float";
}

TEST(OrvHostFiles, NeverWritesOverItsInputOrIntoAnUnwritablePath) {
    const std::string in = tempPath("precious.wav");
    ASSERT_TRUE(writeAudio(in, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, sine(4410, 2, 0.3, 440, 44100)));
    const std::vector<unsigned char> before = bytesOf(in);
    const std::string hardLink = tempPath("precious-link.wav"), softLink = tempPath("precious-soft.wav");
    std::remove(hardLink.c_str());
    std::remove(softLink.c_str());
    ASSERT_EQ(link(in.c_str(), hardLink.c_str()), 0);
    ASSERT_EQ(symlink(in.c_str(), softLink.c_str()), 0);
    const std::string sameByPath = std::string(ORV_TEST_OUTPUT_DIR) + "/../output/precious.wav";
    for (const std::string& out : {in, hardLink, softLink, sameByPath}) {
        HostRun r = host(kHost + in + " " + out);
        EXPECT_NE(r.status, 0) << out;
        EXPECT_TRUE(contains(r.out, "refusing to write")) << r.out;
        EXPECT_TRUE(contains(r.out, "it is the input")) << r.out;
    }
    HostRun key = host(kHost + in + " " + tempPath("k-out.wav") + " --sidechain " + softLink + " --save-state " + in);
    EXPECT_NE(key.status, 0);
    EXPECT_TRUE(contains(key.out, "refusing to write")) << key.out;
    for (const std::string& out : {std::string("/nonexistent-folder/out.wav"), std::string(ORV_TEST_OUTPUT_DIR)}) {
        HostRun r = host(kHost + in + " " + out);
        EXPECT_NE(r.status, 0) << out;
        EXPECT_TRUE(contains(r.out, "cannot write audio file") || contains(r.out, "is a folder")) << r.out;
    }
    if (geteuid() != 0) {  // root may write anything
        const std::string locked = tempPath("locked.wav");
        putBytes(locked, {1, 2, 3});
        chmod(locked.c_str(), 0444);
        HostRun r = host(kHost + in + " " + locked);
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(contains(r.out, "not writable")) << r.out;
        EXPECT_EQ(bytesOf(locked).size(), 3u);
    }
    EXPECT_EQ(bytesOf(in), before) << "the input is never touched";
    // Writing through a link to another file replaces that file, and leaves the link a link.
    const std::string target = tempPath("target.wav"), viaLink = tempPath("via-link.wav");
    putBytes(target, {0});
    std::remove(viaLink.c_str());
    ASSERT_EQ(symlink(target.c_str(), viaLink.c_str()), 0);
    ASSERT_EQ(host(kHost + in + " " + viaLink).status, 0);
    struct stat st;
    ASSERT_EQ(lstat(viaLink.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readAudio(target).info.frames, 4410);
}

TEST(OrvHostFiles, DevicesAndPipesAreWrittenAsTheyAre) {
    const std::string in = tempPath("dev-in.wav");
    ASSERT_TRUE(writeAudio(in, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, sine(22050, 2, 0.3, 440, 44100)));
    HostRun r = host(kHost + in + " /dev/null --report");
    ASSERT_EQ(r.status, 0) << r.out;
    struct stat st;
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "/dev/null is still the device";
    EXPECT_FALSE(orvtest::partialLeft("/dev/null"));

    for (const char* name : {"pipe", "pipe.flac"}) {
        const std::string fifo = tempPath(name);
        std::remove(fifo.c_str());
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::vector<unsigned char> received;
        std::thread reader([&] { received = bytesOf(fifo); });
        HostRun p = host(kHost + in + " " + fifo);
        reader.join();
        ASSERT_EQ(p.status, 0) << name << "\n" << p.out;
        ASSERT_EQ(stat(fifo.c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode)) << name << " is still a pipe";
        const std::string copy = tempPath(std::string("from-") + name);
        putBytes(copy, received);
        Audio a = readAudio(copy);
        ASSERT_TRUE(a.ok) << name << ": " << received.size() << " bytes";
        EXPECT_EQ(a.samples.size(), 2u * 22050u) << name;
        std::remove(fifo.c_str());
    }
}

TEST(OrvHostFiles, ReportGivesLoudnessAndTruePeak) {
    // A 1 kHz sine at -23 dBFS in both channels measures -23 LUFS.
    const int rate = 48000;
    const std::string in = tempPath("ref-23.wav");
    ASSERT_TRUE(writeAudio(in, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, rate,
                           sine(10 * rate, 2, std::pow(10.0, -23.0 / 20.0), 1000, rate)));
    HostRun r = host(kHost + in + " /dev/null --set Power=Off --report --rate 44100");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "--rate is ignored")) << r.out;
    double integrated[2], range[2], peak[2];
    const char* lines[2] = {"loudness input ", "loudness output"};
    for (int i = 0; i < 2; ++i) {
        const std::size_t at = r.out.find(lines[i]);
        ASSERT_NE(at, std::string::npos) << r.out;
        ASSERT_EQ(std::sscanf(r.out.c_str() + at + 15, "  integrated %lf LUFS  range %lf LU  true peak %lf dBTP",
                              &integrated[i], &range[i], &peak[i]),
                  3)
            << r.out.substr(at);
        EXPECT_NEAR(integrated[i], -23.0, 0.2) << lines[i];
        EXPECT_NEAR(range[i], 0.0, 0.5) << lines[i];
        EXPECT_NEAR(peak[i], -23.0, 0.3) << lines[i];
    }
}

TEST(OrvHostFiles, ProgressBarOnlyOnATerminal) {
    const std::string out = tempPath("progress.wav");
    // `script` gives the command a terminal; its transcript is what a person would see.
    HostRun tty = orvtest::host("--version");  // orv-host runs at all
    ASSERT_EQ(tty.status, 0);
    const std::string command = std::string("script -qec '") + ORV_HOST_PATH + " process " ORV_BOREALIS_PATH " --demo " + out +
                                "' /dev/null";
    FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string seen;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) seen.append(buf, n);
    const int raw = pclose(p);
    if (WIFEXITED(raw) && WEXITSTATUS(raw) == 127) GTEST_SKIP() << "no script command";
    EXPECT_TRUE(contains(seen, "100%")) << seen;
    EXPECT_TRUE(contains(seen, "x realtime")) << seen;
    EXPECT_TRUE(contains(seen, "left")) << seen;
    HostRun quiet = host(kHost + "--demo " + out);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_FALSE(contains(quiet.out, "realtime")) << "no bar when standard error is not a terminal";
}

}  // namespace

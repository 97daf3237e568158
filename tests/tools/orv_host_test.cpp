// orv-host as a person uses it: exit status, one-line errors, files it writes.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace {

struct HostRun {
    int status;
    std::string out;
};

// Runs orv-host with the given arguments; standard error is folded into the output.
HostRun host(const std::string& args) {
    std::string command = std::string(ORV_HOST_PATH) + " " + args + " 2>&1";
    HostRun r{-1, {}};
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int raw = pclose(p);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string tempPath(const std::string& name) { return std::string(ORV_TEST_OUTPUT_DIR) + "/" + name; }

void writeWav(const std::string& path, int channels, int rate, const std::vector<float>& interleaved) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
    sf_close(f);
}

TEST(OrvHost, InfoListsIdentityParametersAndPresets) {
    HostRun r = host("info " ORV_BOREALIS_PATH);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("'OrBo' (0x4F72426F)"), std::string::npos);
    EXPECT_NE(r.out.find("Initial delay:  1660"), std::string::npos);
    EXPECT_NE(r.out.find("\" Threshold \""), std::string::npos);
    EXPECT_NE(r.out.find("KickPump"), std::string::npos);

    HostRun j = host("info " ORV_BOREALIS_PATH " --json --preset KickPump --set ' Ratio '=1");
    ASSERT_EQ(j.status, 0) << j.out;
    EXPECT_NE(j.out.find("\"uniqueId\": \"OrBo\""), std::string::npos);
    EXPECT_NE(j.out.find("\"display\": \"64.00 : 1\""), std::string::npos) << "--set by name, blanks ignored";
    EXPECT_NE(j.out.find("\"display\": \"-6.62dB\""), std::string::npos) << "KickPump threshold";
}

TEST(OrvHost, ClearErrorsAndNonZeroStatus) {
    struct Case {
        std::string args, expect;
    } cases[] = {
        {"info /nonexistent/plugin.so", "unknown plug-in"},
        {"info " ORV_HOST_PATH, "cannot load"},
        {"info " ORV_BOREALIS_PATH " --block 0", "bad --block"},
        {"info " ORV_BOREALIS_PATH " --frobnicate", "unknown option"},
        {"info " ORV_BOREALIS_PATH " --set Nope=1", "unknown parameter"},
        {"info " ORV_BOREALIS_PATH " --preset 99", "unknown preset"},
        {"info " ORV_BOREALIS_PATH " --state /nonexistent/state.bin", "cannot read state file"},
        {"process " ORV_BOREALIS_PATH " /nonexistent/in.wav " + tempPath("x.wav"), "cannot read audio file"},
        {"dance " ORV_BOREALIS_PATH, "unknown command"},
    };
    for (const Case& c : cases) {
        HostRun r = host(c.args);
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_NE(r.out.find(c.expect), std::string::npos) << c.args << "\n" << r.out;
        EXPECT_EQ(r.out.find("Segmentation"), std::string::npos);
    }
}

TEST(OrvHost, StateFilesRoundTrip) {
    const std::string state = tempPath("state.bin");
    std::remove(state.c_str());
    ASSERT_EQ(host("info " ORV_BOREALIS_PATH " --preset 3 --set 7=0.25 --save-state " + state).status, 0);
    std::ifstream in(state, std::ios::binary | std::ios::ate);
    ASSERT_TRUE(in.good());
    EXPECT_EQ(in.tellg(), 2592);
    HostRun r = host("info " ORV_BOREALIS_PATH " --json --state " + state);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"display\": \"0.17ms\""), std::string::npos) << r.out;  // attack at 0.25

    std::ofstream(tempPath("garbage.bin")) << "not a chunk";
    HostRun bad = host("info " ORV_BOREALIS_PATH " --state " + tempPath("garbage.bin"));
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.out.find("refused the state file"), std::string::npos);
}

TEST(OrvHost, ProcessKeepsLengthAndFormatAndRefusesBadInput) {
    const int rate = 48000;
    std::vector<float> mono(rate / 2);
    for (std::size_t i = 0; i < mono.size(); ++i) mono[i] = 0.25f * static_cast<float>(std::sin(0.05 * i));
    const std::string in = tempPath("mono.wav"), out = tempPath("mono-out.wav");
    writeWav(in, 1, rate, mono);
    std::remove(out.c_str());
    HostRun r = host("process " ORV_BOREALIS_PATH " " + in + " " + out + " --report --block 333");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("largest gain reduction"), std::string::npos);
    SF_INFO info{};
    SNDFILE* f = sf_open(out.c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    sf_close(f);
    EXPECT_EQ(info.frames, static_cast<sf_count_t>(mono.size())) << "latency compensated, same length";
    EXPECT_EQ(info.samplerate, rate);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24) << "output in the input's format";

    // Too many channels, a rate out of range, a key of another length: errors, and no output file.
    const std::string three = tempPath("three.wav"), slow = tempPath("slow.wav"), key = tempPath("key.wav");
    writeWav(three, 3, rate, std::vector<float>(300, 0.0f));
    writeWav(slow, 1, 8000, std::vector<float>(100, 0.0f));
    writeWav(key, 1, rate, std::vector<float>(100, 0.0f));
    const std::string none = tempPath("never.wav");
    for (const std::string& args : {three + " " + none, slow + " " + none, in + " " + none + " --sidechain " + key}) {
        std::remove(none.c_str());
        HostRun bad = host("process " ORV_BOREALIS_PATH " " + args);
        EXPECT_NE(bad.status, 0) << args;
        EXPECT_FALSE(exists(none)) << args;
        EXPECT_FALSE(exists(none + ".partial")) << args;
    }
}

TEST(OrvHost, DemoSignalWithoutInput) {
    const std::string out = tempPath("demo.wav");
    std::remove(out.c_str());
    HostRun r = host("process " ORV_BOREALIS_PATH " " + out + " --rate 44100");
    ASSERT_EQ(r.status, 0) << r.out;
    SF_INFO info{};
    SNDFILE* f = sf_open(out.c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    sf_close(f);
    EXPECT_EQ(info.channels, 2);
    EXPECT_NEAR(static_cast<double>(info.frames) / info.samplerate, 10.0, 0.01);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
}

}  // namespace

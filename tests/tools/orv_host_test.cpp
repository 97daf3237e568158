// orv-host as a person uses it: exit status, one-line errors, files it writes.
#include "tests/tools/host_runner.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using orvtest::contains;
using orvtest::exists;
using orvtest::host;
using orvtest::HostRun;
using orvtest::tempPath;

void writeWav(const std::string& path, int channels, int rate, const std::vector<float>& interleaved) {
    ASSERT_TRUE(orvtest::writeAudio(path, SF_FORMAT_WAV | SF_FORMAT_PCM_24, channels, rate,
                                    std::vector<double>(interleaved.begin(), interleaved.end())));
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
        {"info " ORV_BOREALIS_PATH " --set Nope=1", "Threshold, Ratio, Attack"},  // the valid names
        {"info " ORV_BOREALIS_PATH " --set Ratio=1.5", "value out of range"},
        {"info " ORV_BOREALIS_PATH " --set Ratio=-0.1", "value out of range"},
        {"info " ORV_BOREALIS_PATH " --set Threshold=-40dB", "-30.10dB to 6.02dB"},
        {"info " ORV_BOREALIS_PATH " --set Threshold=10ms", "not set in that unit"},
        {"info " ORV_BOREALIS_PATH " --set FAT=maybe", "no value \"maybe\""},
        {"info " ORV_BOREALIS_PATH " --set Threshold=", "bad --set"},
        {"process " ORV_BOREALIS_PATH " " + tempPath("x.wav") + " --bits 12", "bad --bits"},
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
    EXPECT_EQ(info.channels, 1) << "mono in, mono out";

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
        EXPECT_FALSE(orvtest::partialLeft(none)) << args;
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

TEST(OrvHost, SetTakesNamesInAnyCaseAndValuesInTheirUnits) {
    HostRun r = host("info " ORV_BOREALIS_PATH " --json --set ' threshold '=-12dB --set ATTACK=10ms --set ratio=4:1"
                     " --set 'Release = 2 s' --set high=5kHz --set Fat=On --set 20=C --set Link=75%");
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* display : {"\"display\": \"-12.00dB\"", "\"display\": \"10.00ms\"", "\"display\": \"4.00 : 1\"",
                                "\"display\": \"2.0s\"", "\"display\": \"5.00kHz\"", "\"display\": \"75%\""})
        EXPECT_TRUE(contains(r.out, display)) << display << "\n" << r.out;
    EXPECT_TRUE(contains(r.out, "\"name\": \" FAT \", \"display\": \" On \", \"label\": \"\", \"value\": 1,")) << r.out;
    EXPECT_TRUE(contains(r.out, "\"display\": \"C\"")) << r.out;
    // A switch whose "on" display is its own name still takes On.
    HostRun sc = host("info " ORV_BOREALIS_PATH " --json --set s.c.ext=on");
    ASSERT_EQ(sc.status, 0) << sc.out;
    EXPECT_TRUE(contains(sc.out, "\"name\": \"S.C.Ext\", \"display\": \"S.C.Ext\"")) << sc.out;
    // Units convert: 0.01 s is 10 ms; a bare number stays the stored 0..1 value.
    HostRun s = host("info " ORV_BOREALIS_PATH " --json --set Attack=0.01s --set Ratio=0.8");
    ASSERT_EQ(s.status, 0) << s.out;
    EXPECT_TRUE(contains(s.out, "\"display\": \"10.00ms\"")) << s.out;
    EXPECT_TRUE(contains(s.out, "\"name\": \" Ratio \", \"display\": \"4.00 : 1\", \"label\": \"\", \"value\": 0.8,")) << s.out;
}

TEST(OrvHost, EveryCommandAnswersHelpAndTheProgramItsVersion) {
    for (const char* command : {"info", "process", "bench", "editor"}) {
        HostRun r = host(std::string(command) + " --help");
        EXPECT_EQ(r.status, 0) << command << "\n" << r.out;
        EXPECT_TRUE(contains(r.out, std::string("usage: orv-host ") + command)) << r.out;
        EXPECT_TRUE(contains(r.out, "--set NAME=VALUE")) << r.out;
        EXPECT_EQ(host(std::string(command) + " " ORV_BOREALIS_PATH " -h").status, 0) << command;
    }
    EXPECT_TRUE(contains(host("process --help").out, "--bits 16|24|32|float"));
    EXPECT_TRUE(contains(host("editor --help").out, "--play FILE|demo"));
    HostRun v = host("--version");
    EXPECT_EQ(v.status, 0);
    EXPECT_TRUE(contains(v.out, "orv-host 1.")) << v.out;
    EXPECT_TRUE(contains(v.out, "libsndfile")) << v.out;
    EXPECT_TRUE(contains(v.out, "libebur128")) << v.out;
}

}  // namespace

// The streaming WAV reader and writer (orv-host's only audio file code on Windows, and its WAV
// writer for pipes on Linux): round trips block by block, sizes filled in on a file but left at
// "unknown" on a pipe, truncated data, and headers that lie.
#include "tools/orv-host/audio_file.h"
#include "tools/orv-host/wav_io.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

using orvhost::WavEncoding;

std::vector<unsigned char> contents(std::FILE* f) {
    std::vector<unsigned char> bytes;
    std::fflush(f);
    std::fseek(f, 0, SEEK_SET);
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<unsigned char>(c));
    return bytes;
}

TEST(WavStream, RoundTripsBlockByBlockInEveryEncoding) {
    for (WavEncoding e : {WavEncoding::Pcm16, WavEncoding::Pcm24, WavEncoding::Pcm32, WavEncoding::Float32}) {
        std::FILE* f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        orvhost::WavStreamWriter writer;
        ASSERT_TRUE(writer.open(f, 2, 48000, e, true));
        std::vector<double> block = {0.5, -0.5, 1.5, -1.5, 0.25, 0.0};  // 3 frames, one past full scale
        for (int i = 0; i < 5; ++i) ASSERT_TRUE(writer.write(block.data(), 3));
        ASSERT_TRUE(writer.finish());
        // The whole file also reads with the in-memory parser, so the filled-in sizes are right.
        const std::vector<unsigned char> bytes = contents(f);
        orvhost::WavAudio whole;
        std::string error;
        ASSERT_TRUE(orvhost::parseWav(bytes.data(), bytes.size(), whole, error)) << error;
        EXPECT_EQ(whole.frames(), 15u);

        std::fseek(f, 0, SEEK_SET);
        orvhost::WavStreamReader reader;
        ASSERT_TRUE(reader.open(f, error)) << error;
        EXPECT_EQ(reader.channels(), 2);
        EXPECT_EQ(reader.rate(), 48000);
        EXPECT_EQ(reader.declaredFrames(), 15u);
        std::vector<double> got(8);
        std::size_t total = 0, n;
        while ((n = reader.read(got.data(), 4)) > 0) {
            for (std::size_t i = 0; i < n * 2; ++i) {
                const double want = block[(total * 2 + i) % 6];
                const double clipped = e == WavEncoding::Float32 ? want : std::max(-1.0, std::min(1.0, want));
                EXPECT_NEAR(got[i], clipped, 1e-4) << static_cast<int>(e);
            }
            total += n;
        }
        EXPECT_EQ(total, 15u);
        std::fclose(f);
    }
}

TEST(WavStream, PipesKeepUnknownSizesAndShortDataReadsWhatIsThere) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    orvhost::WavStreamWriter writer;
    ASSERT_TRUE(writer.open(f, 1, 44100, WavEncoding::Pcm16, false));
    std::vector<double> x(100, 0.25);
    ASSERT_TRUE(writer.write(x.data(), 100));
    ASSERT_TRUE(writer.finish());
    std::vector<unsigned char> bytes = contents(f);
    ASSERT_EQ(bytes.size(), 44u + 200u);
    // The header claims far more data than the stream holds: a reader takes what is there.
    std::fseek(f, 0, SEEK_SET);
    orvhost::WavStreamReader reader;
    std::string error;
    ASSERT_TRUE(reader.open(f, error)) << error;
    EXPECT_GT(reader.declaredFrames(), 1000000u);
    std::vector<double> got(1024);
    EXPECT_EQ(reader.read(got.data(), 1024), 100u);
    EXPECT_EQ(reader.read(got.data(), 1024), 0u);
    EXPECT_FALSE(reader.failed());
    std::fclose(f);

    // Through the file interface: the frame count is what the header claims, the reads stop at the data's end.
    const std::vector<unsigned char> cut(bytes.begin(), bytes.end() - 51);  // half a sample lost too
    orvhost::AudioReader audio;
    ASSERT_TRUE(audio.openMemory(cut.data(), cut.size(), error)) << error;
    std::size_t total = 0, n;
    while ((n = audio.read(got.data(), 7)) > 0) total += n;
    EXPECT_EQ(total, 74u);
}

TEST(WavStream, MalformedHeadersAreRefusedWithAReason) {
    const std::vector<std::vector<unsigned char>> bad = {
        {},
        {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'X'},
        {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4},
        {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 0xFF, 0xFF, 0xFF, 0x7F},
    };
    for (const auto& b : bad) {
        std::FILE* f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        if (!b.empty()) std::fwrite(b.data(), 1, b.size(), f);
        std::fseek(f, 0, SEEK_SET);
        orvhost::WavStreamReader reader;
        std::string error;
        EXPECT_FALSE(reader.open(f, error));
        EXPECT_FALSE(error.empty());
        std::fclose(f);
    }
}

}  // namespace

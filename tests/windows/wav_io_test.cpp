// The built-in WAV reader and writer that orv-host.exe uses instead of libsndfile.
#include "tests/windows/check.h"
#include "tools/orv-host/wav_io.h"

#include <cmath>
#include <cstdint>
#include <cstring>

using orvhost::WavAudio;
using orvhost::WavEncoding;

namespace {

WavAudio stereo(WavEncoding encoding, std::vector<double> samples) {
    WavAudio a;
    a.channels = 2;
    a.rate = 48000;
    a.encoding = encoding;
    a.samples = std::move(samples);
    return a;
}

bool parse(const std::vector<unsigned char>& bytes, WavAudio& out) {
    std::string error;
    return orvhost::parseWav(bytes.data(), bytes.size(), out, error);
}

void put32(std::vector<unsigned char>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<unsigned char>(x >> (8 * i));
}

}  // namespace

ORV_TEST(wav, EveryEncodingRoundTrips) {
    const std::vector<double> in = {0.0, -1.0, 0.5, -0.25, 0.999, -0.5, 1.0 / 3.0, 0.125};
    const struct {
        WavEncoding encoding;
        double step;
    } cases[] = {{WavEncoding::Pcm16, 1.0 / 32767}, {WavEncoding::Pcm24, 1.0 / 8388607},
                 {WavEncoding::Pcm32, 1.0 / 2147483647}, {WavEncoding::Float32, 1e-7}};
    for (const auto& c : cases) {
        WavAudio out;
        REQUIRE(parse(orvhost::encodeWav(stereo(c.encoding, in)), out));
        CHECK(out.encoding == c.encoding);
        CHECK_EQ(out.channels, 2);
        CHECK_EQ(out.rate, 48000);
        REQUIRE(out.samples.size() == in.size());
        // PCM is written with 2^(n-1) - 1 as full scale and read with 2^(n-1), as libsndfile does.
        for (std::size_t i = 0; i < in.size(); ++i) CHECK(std::fabs(out.samples[i] - in[i]) <= 1.5 * c.step);
    }
}

ORV_TEST(wav, PcmClipsInsteadOfWrapping) {
    WavAudio out;
    REQUIRE(parse(orvhost::encodeWav(stereo(WavEncoding::Pcm16, {1.5, -3.0, 0.0 / 0.0, 1.0})), out));
    CHECK(out.samples[0] > 0.999);
    CHECK_EQ(out.samples[1], -1.0);
    CHECK_EQ(out.samples[2], 0.0);
    CHECK(out.samples[3] > 0.999);
    REQUIRE(parse(orvhost::encodeWav(stereo(WavEncoding::Pcm24, {2.0, -2.0})), out));
    CHECK(out.samples[0] > 0.999 && out.samples[1] == -1.0);
}

ORV_TEST(wav, OddSizedChunksArePaddedAndSkipped) {
    // Mono 24-bit with one frame: 3 data bytes plus a pad byte.
    WavAudio mono;
    mono.channels = 1;
    mono.encoding = WavEncoding::Pcm24;
    mono.samples = {0.5};
    std::vector<unsigned char> bytes = orvhost::encodeWav(mono);
    CHECK_EQ(bytes.size() % 2, static_cast<std::size_t>(0));
    // An odd-sized chunk of another kind before the data must be skipped with its pad byte.
    std::vector<unsigned char> withList(bytes.begin(), bytes.begin() + 36);
    const unsigned char list[] = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    withList.insert(withList.end(), list, list + sizeof list);
    withList.insert(withList.end(), bytes.begin() + 36, bytes.end());
    put32(withList, 4, static_cast<std::uint32_t>(withList.size() - 8));
    WavAudio out;
    REQUIRE(parse(withList, out));
    REQUIRE(out.samples.size() == 1u);
    CHECK(std::fabs(out.samples[0] - 0.5) < 1e-6);
}

ORV_TEST(wav, ExtensibleFormatIsRead) {
    std::vector<unsigned char> bytes = orvhost::encodeWav(stereo(WavEncoding::Pcm16, {0.25, -0.25}));
    // Rebuild the format chunk as WAVE_FORMAT_EXTENSIBLE with the PCM sub-format.
    std::vector<unsigned char> ext(bytes.begin(), bytes.begin() + 20);
    put32(ext, 16, 40);
    std::vector<unsigned char> fmt(bytes.begin() + 20, bytes.begin() + 36);
    fmt[0] = 0xFE;
    fmt[1] = 0xFF;
    ext.insert(ext.end(), fmt.begin(), fmt.end());
    const unsigned char extension[24] = {22, 0, 16, 0, 3, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    ext.insert(ext.end(), extension, extension + sizeof extension);
    ext.insert(ext.end(), bytes.begin() + 36, bytes.end());
    put32(ext, 4, static_cast<std::uint32_t>(ext.size() - 8));
    WavAudio out;
    REQUIRE(parse(ext, out));
    CHECK(out.encoding == WavEncoding::Pcm16);
    CHECK_EQ(out.samples.size(), static_cast<std::size_t>(2));
}

ORV_TEST(wav, TruncatedDataGivesTheWholeFramesThatAreThere) {
    std::vector<unsigned char> bytes = orvhost::encodeWav(stereo(WavEncoding::Pcm16, {0.1, 0.2, 0.3, 0.4, 0.5, 0.6}));
    bytes.resize(bytes.size() - 3);  // the last frame loses three of its four bytes
    WavAudio out;
    REQUIRE(parse(bytes, out));
    CHECK_EQ(out.frames(), static_cast<std::size_t>(2));
}

ORV_TEST(wav, MalformedFilesAreRejected) {
    const std::vector<unsigned char> good = orvhost::encodeWav(stereo(WavEncoding::Float32, {0.1, 0.2}));
    WavAudio out;
    std::vector<unsigned char> bad = good;
    bad[0] = 'X';
    CHECK(!parse(bad, out));
    bad = good;
    bad[34] = 64;  // float with 64 bits per sample is not supported
    CHECK(!parse(bad, out));
    bad = good;
    bad[22] = 0;  // no channels
    CHECK(!parse(bad, out));
    bad = good;
    bad[32] = 3;  // block size that does not match channels and sample size
    CHECK(!parse(bad, out));
    CHECK(!parse(std::vector<unsigned char>(good.begin(), good.begin() + 36), out));  // no data chunk
    std::string error;
    CHECK(!orvhost::parseWav(nullptr, 0, out, error));
    CHECK(!error.empty());
    CHECK(orvhost::encodeWav(WavAudio{0, 44100, WavEncoding::Pcm16, {}}).empty());
}

ORV_TEST(wav, ArbitraryBytesNeverCrashTheReader) {
    const std::vector<unsigned char> good =
        orvhost::encodeWav(stereo(WavEncoding::Pcm24, {0.1, 0.2, 0.3, 0.4, -0.1, -0.2}));
    std::uint32_t state = 12345;
    auto next = [&] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    int accepted = 0;
    for (int round = 0; round < 4000; ++round) {
        std::vector<unsigned char> bytes(good.begin(), good.begin() + next() % (good.size() + 1));
        const int flips = static_cast<int>(next() % 4);
        for (int f = 0; f < flips && !bytes.empty(); ++f) bytes[next() % bytes.size()] = static_cast<unsigned char>(next());
        WavAudio out;
        if (parse(bytes, out)) {
            ++accepted;
            CHECK(out.channels >= 1 && out.samples.size() % out.channels == 0);
            CHECK(out.samples.size() * 2 <= bytes.size());
        }
    }
    CHECK(accepted > 0);
}

// Arbitrary bytes as the files orv-host reads: an audio file of any format libsndfile knows
// (read block by block to its end, as `process` does), the same bytes through the built-in
// streaming WAV reader, and a state file.
#include "tools/orv-host/audio_file.h"
#include "tools/orv-host/state_file.h"
#include "tools/orv-host/wav_io.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kBlock = 512;
constexpr std::size_t kMaxFramesRead = 1 << 20;  // enough to reach the end of any input here

void readAudio(const std::uint8_t* data, std::size_t size) {
    orvhost::AudioReader reader;
    std::string error;
    if (!reader.openMemory(data, size, error)) {
        if (error.empty()) std::abort();  // a refusal always says why
        return;
    }
    const orvhost::AudioFileInfo& info = reader.info();
    if (info.channels < 1 || info.rate < 1) std::abort();
    if (info.channels > 64) return;  // orv-host refuses these before reading
    std::vector<double> block(kBlock * static_cast<std::size_t>(info.channels));
    std::size_t total = 0;
    for (std::size_t n; total < kMaxFramesRead && (n = reader.read(block.data(), kBlock)) > 0; total += n)
        if (n > kBlock) std::abort();
    reader.rewind();
    reader.read(block.data(), kBlock);
}

void readWavStream(const std::uint8_t* data, std::size_t size) {
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!f) return;
    orvhost::WavStreamReader wav;
    std::string error;
    if (wav.open(f, error)) {
        std::vector<double> block(kBlock * static_cast<std::size_t>(wav.channels()));
        std::size_t total = 0;
        for (std::size_t n; total < kMaxFramesRead && (n = wav.read(block.data(), kBlock)) > 0; total += n)
            for (std::size_t i = 0; i < n * static_cast<std::size_t>(wav.channels()); ++i)
                if (!std::isnan(block[i]) && std::fabs(block[i]) > 1.0 &&
                    wav.encoding() != orvhost::WavEncoding::Float32)
                    std::abort();  // integer samples always scale into -1..1
    } else if (error.empty()) {
        std::abort();
    }
    std::fclose(f);
}

void readState(const std::uint8_t* data, std::size_t size) {
    static const std::string path = [] {
        char name[] = "/tmp/orv-host-fuzz-state-XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0) close(fd);
        return std::string(name);
    }();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
    std::vector<unsigned char> bytes;
    std::string error;
    const bool ok = orvhost::readStateFile(path, bytes, error);
    if (ok != (size > 0) || (ok && bytes.size() != size)) std::abort();
    if (ok && !std::equal(bytes.begin(), bytes.end(), data)) std::abort();
}

}  // namespace

// libvorbis leaks its stream description when libsndfile gives up on a damaged Ogg header; that
// memory is the decoder library's, not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libvorbis.so\nleak:vorbis_info_init\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    readAudio(data, size);
    readWavStream(data, size);
    readState(data, size);
    return 0;
}

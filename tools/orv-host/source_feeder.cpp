#include "tools/orv-host/source_feeder.h"

#include "tools/orv-host/options.h"

#include <algorithm>

namespace orvhost {
namespace {
constexpr std::size_t kChunkFrames = 4096;
}

bool SourceFeeder::openFile(const std::string& path, std::string& error) {
    if (!reader.open(path, error)) return false;
    const AudioFileInfo& info = reader.info();
    if (info.channels > 2 || info.rate < kMinRate || info.rate > kMaxRate) {
        error = path + ": only mono and stereo files at 22050 to 192000 Hz can be played";
        return false;
    }
    fromFile = true;
    sampleRate = info.rate;
    numChannels = info.channels;
    return true;
}

void SourceFeeder::openDemo(double rate) {
    fromFile = false;
    sampleRate = rate;
    numChannels = 2;
    demo.make(rate);
}

long long SourceFeeder::lengthFrames() const {
    if (!fromFile) return static_cast<long long>(demo.frames());
    return reader.info().framesExact ? reader.info().frames : -1;
}

std::size_t SourceFeeder::readSome(std::size_t frames, bool loop) {
    if (fromFile) {
        std::size_t n = reader.read(chunk.data(), frames);
        if (n == 0 && reader.failed()) {
            failedRead.store(true, std::memory_order_release);
            return 0;
        }
        if (n == 0 && loop && reader.rewind()) n = reader.read(chunk.data(), frames);
        return n;
    }
    if (demo.atEnd() && loop) demo.rewind();
    return demo.read(chunk.data(), frames);
}

void SourceFeeder::fill(SampleRing<double>& ring, PlaybackEngine& engine, bool loop) {
    if (done.load(std::memory_order_relaxed)) return;
    const std::size_t width = static_cast<std::size_t>(numChannels);
    if (chunk.size() < kChunkFrames * width) chunk.assign(kChunkFrames * width, 0.0);
    while (ring.writable() >= width) {
        const std::size_t frames = std::min(kChunkFrames, ring.writable() / width);
        const std::size_t n = readSome(frames, loop);
        if (n == 0) {
            done.store(true, std::memory_order_release);
            engine.markSourceEnded();
            return;
        }
        ring.write(chunk.data(), n * width);
    }
}

}  // namespace orvhost

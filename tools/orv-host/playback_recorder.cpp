#include "tools/orv-host/playback_recorder.h"

namespace orvhost {
namespace {
constexpr std::size_t kChunkFrames = 4096;
}

bool PlaybackRecorder::open(const std::string& path, const std::string& bits, bool dither, Container fallback,
                            SampleDepth source, int channels, int rate, std::string& error) {
    Container container;
    SampleDepth depth;
    if (!chooseOutputFormat(path, bits, fallback, source, container, depth, error)) return false;
    if (!writer.open(path, container, depth, channels, rate, error)) return false;
    quantiser.reset(new SampleQuantiser(integerBits(depth), dither));
    numChannels = channels;
    buffer.assign(kChunkFrames * static_cast<std::size_t>(channels), 0.0);
    writing = true;
    failed = false;
    return true;
}

void PlaybackRecorder::drain(SampleRing<double>& ring) {
    if (!writing) return;
    const std::size_t width = static_cast<std::size_t>(numChannels);
    for (;;) {
        const std::size_t n = ring.read(buffer.data(), buffer.size()) / width;
        if (n == 0) return;
        if (failed) continue;  // the ring is still emptied, so the callback never finds it full
        quantiser->apply(buffer.data(), n * width);
        if (!writer.write(buffer.data(), n)) failed = true;
    }
}

bool PlaybackRecorder::finish(std::string& error) {
    if (!writing) return true;
    writing = false;
    if (failed) {
        writer.abandon();
        error = "cannot write the played audio";
        return false;
    }
    return writer.finish(error);
}

void PlaybackRecorder::abandon() {
    if (!writing) return;
    writing = false;
    writer.abandon();
}

}  // namespace orvhost

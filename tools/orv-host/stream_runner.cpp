#include "tools/orv-host/stream_runner.h"

#include <algorithm>

namespace orvhost {

StreamRunner::StreamRunner(const Plugin& plugin, int maxBlock, bool useDouble, int numChannels, std::size_t latency)
    : runner(plugin, maxBlock, useDouble),
      block(maxBlock),
      channels(numChannels < 2 ? 1 : 2),
      toSkip(latency),
      tailLeft(latency),
      out(static_cast<std::size_t>(maxBlock) * 2),
      silence(static_cast<std::size_t>(maxBlock) * 2, 0.0) {}

std::size_t StreamRunner::process(const double* main, const double* key, int keyChannels, int frames) {
    frames = std::max(0, std::min(frames, block));
    double* l = runner.input(0);
    double* r = runner.input(1);
    for (int i = 0; i < frames; ++i) {
        l[i] = main[i * channels];
        r[i] = main[i * channels + channels - 1];
    }
    double* kl = runner.input(2);
    double* kr = runner.input(3);
    for (int i = 0; i < frames; ++i) {
        kl[i] = key ? key[i * keyChannels] : 0.0;
        kr[i] = key ? key[i * keyChannels + keyChannels - 1] : 0.0;
    }
    if (frames == 0) return 0;
    runner.run(frames);
    const double* ol = runner.output(0);
    const double* orr = runner.outputChannels() > 1 ? runner.output(1) : ol;
    const std::size_t skip = std::min<std::size_t>(toSkip, static_cast<std::size_t>(frames));
    toSkip -= skip;
    std::size_t n = 0;
    for (int i = static_cast<int>(skip); i < frames; ++i, ++n) {
        out[n * channels] = ol[i];
        if (channels == 2) out[n * channels + 1] = orr[i];
    }
    return n;
}

std::size_t StreamRunner::flush() {
    // Whatever is still skipped at the end was never part of the input: feed only what brings
    // the remaining input frames out.
    while (tailLeft > 0) {
        const int frames = static_cast<int>(std::min<std::size_t>(tailLeft, static_cast<std::size_t>(block)));
        tailLeft -= static_cast<std::size_t>(frames);
        const std::size_t n = process(silence.data(), nullptr, 1, frames);
        if (n) return n;
    }
    return 0;
}

}  // namespace orvhost

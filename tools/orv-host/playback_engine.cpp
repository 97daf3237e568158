#include "tools/orv-host/playback_engine.h"

#include <algorithm>
#include <cmath>

namespace orvhost {
namespace {
constexpr double kFadeSeconds = 0.005;
}

PlaybackEngine::PlaybackEngine(const Plugin& plugin, int block, bool useDouble, int sourceChannels, double rate,
                               std::size_t pluginLatency, SampleRing<double>* sourceRing,
                               SampleRing<double>* recordRing)
    : runner(plugin, block, useDouble),
      maxBlock(block),
      channels(sourceChannels < 2 ? 1 : 2),
      sampleRate(rate),
      latency(static_cast<long long>(pluginLatency)),
      source(sourceRing),
      record(recordRing),
      fromRing(static_cast<std::size_t>(block) * 2, 0.0),
      toRecord(static_cast<std::size_t>(block) * 2, 0.0),
      fadeStep(static_cast<float>(1.0 / std::max(1.0, kFadeSeconds * rate))) {
    peaks[0].store(0.0f);
    peaks[1].store(0.0f);
}

void PlaybackEngine::renderCallback(void* engine, const float* input, int inputChannels, float* output,
                                    int outputChannels, int frames) {
    static_cast<PlaybackEngine*>(engine)->render(input, inputChannels, output, outputChannels, frames);
}

bool PlaybackEngine::sourceFinished() const {
    return source && sourceEnded.load(std::memory_order_acquire) && source->readable() == 0;
}

bool PlaybackEngine::tailFinished() const { return ran >= latency + fed.load(std::memory_order_relaxed); }

void PlaybackEngine::runPlugin(int frames, bool silent, float* output, int outputChannels) {
    runner.run(frames);
    const double* l = runner.output(0);
    const double* r = runner.outputChannels() > 1 ? runner.output(1) : l;
    if (output) {
        for (int i = 0; i < frames; ++i) {
            output[i * outputChannels] = static_cast<float>(l[i]);
            if (outputChannels > 1) output[i * outputChannels + 1] = static_cast<float>(r[i]);
            for (int c = 2; c < outputChannels; ++c) output[i * outputChannels + c] = 0.0f;
        }
        // Peak levels with a fall of 20 dB a second.
        const float fall = static_cast<float>(std::pow(10.0, -frames / sampleRate));
        float top[2] = {0.0f, 0.0f};
        for (int i = 0; i < frames; ++i) {
            top[0] = std::max(top[0], static_cast<float>(std::fabs(l[i])));
            top[1] = std::max(top[1], static_cast<float>(std::fabs(r[i])));
        }
        for (int c = 0; c < 2; ++c)
            peaks[c].store(std::max(top[c], peaks[c].load(std::memory_order_relaxed) * fall),
                           std::memory_order_relaxed);
    }
    // Output frame `ran + i` is recorded when it belongs to a source frame already fed.
    const long long fedNow = fed.load(std::memory_order_relaxed) + (silent ? 0 : frames);
    if (record) {
        const long long first = std::max(ran, latency), end = std::min(ran + frames, latency + fedNow);
        std::size_t n = 0;
        for (long long k = first; k < end; ++k, ++n) {
            const int i = static_cast<int>(k - ran);
            toRecord[n * channels] = l[i];
            if (channels == 2) toRecord[n * channels + 1] = r[i];
        }
        if (n) {
            const std::size_t wanted = n * static_cast<std::size_t>(channels);
            const std::size_t written = record->write(toRecord.data(), wanted);
            if (written < wanted)
                lostRecordFrames.fetch_add(static_cast<long long>((wanted - written) / channels), std::memory_order_relaxed);
        }
    }
    ran += frames;
    fed.store(fedNow, std::memory_order_relaxed);
}

void PlaybackEngine::render(const float* input, int inputChannels, float* output, int outputChannels, int frames) {
    const bool pausing = pausedFlag.load(std::memory_order_relaxed);
    for (int done = 0; done < frames;) {
        int n = std::min(frames - done, maxBlock);
        float* out = output ? output + static_cast<std::size_t>(done) * outputChannels : nullptr;
        const float* in = input ? input + static_cast<std::size_t>(done) * inputChannels : nullptr;
        if (pausing && fadeGain <= 0.0f) {
            if (out) std::fill(out, out + static_cast<std::size_t>(n) * outputChannels, 0.0f);
            done += n;
            continue;
        }
        // Pausing: only the frames of the fade-out are played.
        if (pausing) n = std::min(n, static_cast<int>(std::ceil(fadeGain / fadeStep)));
        done += n;
        renderFrames(in, inputChannels, out, outputChannels, n);
        if (!out || (fadeGain >= 1.0f && !pausing)) continue;
        // The device's output fades out on pausing and in on resuming, so neither clicks; the
        // recording is not faded.
        for (int i = 0; i < n; ++i) {
            fadeGain = pausing ? std::max(0.0f, fadeGain - fadeStep) : std::min(1.0f, fadeGain + fadeStep);
            for (int c = 0; c < outputChannels; ++c) out[i * outputChannels + c] *= fadeGain;
        }
    }
}

void PlaybackEngine::renderFrames(const float* in, int inputChannels, float* out, int outputChannels, int n) {
    double* l = runner.input(0);
    double* r = runner.input(1);
    if (!source) {
        // Live: the device's input, mono to both inputs; silence when the device gives none.
        for (int i = 0; i < n; ++i) {
            l[i] = in && inputChannels > 0 ? in[i * inputChannels] : 0.0;
            r[i] = in && inputChannels > 1 ? in[i * inputChannels + 1] : l[i];
        }
        runPlugin(n, false, out, outputChannels);
        return;
    }
    const bool ended = sourceEnded.load(std::memory_order_acquire);
    const std::size_t got = takeSource(n);
    if (got > 0) runPlugin(static_cast<int>(got), false, out, outputChannels);
    const int rest = n - static_cast<int>(got);
    if (rest == 0) return;
    float* restOut = out ? out + got * static_cast<std::size_t>(outputChannels) : nullptr;
    if (ended) {
        // After the source: the plug-in runs on silence, so its latency tail is heard and its
        // meters fall back.
        std::fill(l, l + rest, 0.0);
        std::fill(r, r + rest, 0.0);
        runPlugin(rest, true, restOut, outputChannels);
    } else {
        // The reader fell behind: a gap for the device, none for the plug-in or the recording.
        sourceUnderruns.fetch_add(1, std::memory_order_relaxed);
        if (restOut) std::fill(restOut, restOut + static_cast<std::size_t>(rest) * outputChannels, 0.0f);
    }
}

std::size_t PlaybackEngine::takeSource(int frames) {
    const std::size_t got = source->read(fromRing.data(), static_cast<std::size_t>(frames) * channels) / channels;
    double* l = runner.input(0);
    double* r = runner.input(1);
    for (std::size_t i = 0; i < got; ++i) {
        l[i] = fromRing[i * channels];
        r[i] = fromRing[i * channels + channels - 1];
    }
    return got;
}

bool PlaybackEngine::processRemainingSource() {
    if (!source || sourceFinished()) return false;
    const std::size_t got = takeSource(maxBlock);
    if (got == 0) return !sourceEnded.load(std::memory_order_acquire);  // the feeder has more to give
    runPlugin(static_cast<int>(got), false, nullptr, 0);
    return true;
}

bool PlaybackEngine::processTail() {
    if (tailFinished()) return false;
    const long long left = latency + fed.load(std::memory_order_relaxed) - ran;
    const int n = static_cast<int>(std::min<long long>(left, maxBlock));
    std::fill(runner.input(0), runner.input(0) + n, 0.0);
    std::fill(runner.input(1), runner.input(1) + n, 0.0);
    runPlugin(n, true, nullptr, 0);
    return true;
}

}  // namespace orvhost

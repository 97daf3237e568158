// orv-host process: runs an audio file (or the built-in demo signal) through a plug-in, block by
// block, so that memory stays the same whatever the file's length.
#include "tools/orv-host/audio_file.h"
#include "tools/orv-host/block_runner.h"
#include "tools/orv-host/commands.h"
#include "tools/orv-host/demo_signal.h"
#include "tools/orv-host/dither.h"
#include "tools/orv-host/os.h"
#include "tools/orv-host/param_values.h"
#include "tools/orv-host/progress.h"
#include "tools/orv-host/session.h"
#include "tools/orv-host/signal_stats.h"
#include "tools/orv-host/stream_runner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace orvhost {
namespace {

// Opens an input file and checks what orv-host can feed a stereo plug-in with.
bool openInput(AudioReader& reader, const std::string& path, std::string& error) {
    if (!reader.open(path, error)) return false;
    const AudioFileInfo& info = reader.info();
    if (info.channels > 2) {
        error = path + ": " + std::to_string(info.channels) + " channels (only mono and stereo are supported)";
        return false;
    }
    if (info.rate < kMinRate || info.rate > kMaxRate) {
        error = path + ": sample rate " + std::to_string(info.rate) + " Hz is out of range (22050 to 192000)";
        return false;
    }
    return true;
}

// The audio to process: a file read block by block, or the demo signal made in memory (ten
// seconds, a fixed size).
struct Source {
    AudioReader* reader = nullptr;
    DemoStream demo;
    int channels = 2;
    std::size_t read(double* out, std::size_t frames) { return reader ? reader->read(out, frames) : demo.read(out, frames); }
};

// True unless an Orv plug-in's S.C.Ext switch is off, in which case it ignores its key inputs.
bool sideChainListens(const Plugin& plugin) {
    const int index = plugin.isOrvPlugin() ? findParameter(plugin, "S.C.Ext") : -1;
    return index < 0 || plugin.getParameter(index) >= 0.5f;
}

std::string dbText(double db) {
    if (!std::isfinite(db)) return "-inf";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", db);
    return buf;
}

}  // namespace

int runProcess(const Options& o) {
    std::string inPath, outPath;
    if (o.positional.size() == 1) {
        outPath = o.positional[0];
        // A single path is where the demo signal goes. An existing file there is far more
        // likely a file meant to be processed than one meant to be replaced by the demo.
        if (!o.demo && pathKind(outPath) != PathKind::Missing)
            return fail("refusing to write the demo signal over " + outPath +
                        ", which exists; to process it, give an output too (process PLUGIN IN OUT); to write "
                        "the demo signal there, add --demo");
    } else if (o.positional.size() == 2 && !o.demo) {
        inPath = o.positional[0];
        outPath = o.positional[1];
    } else {
        return fail(o.demo ? "--demo takes one path: process PLUGIN --demo OUT" : "process needs [IN] OUT");
    }

    std::string error;
    if (!checkOutputsSpareInputs(o, inPath, outPath, error)) return fail(error);
    AudioReader reader, keyReader;
    Source source;
    double rate = o.rate;
    long long expectedFrames = 0;
    bool framesExact = true;
    Container inContainer = Container::Wav;
    SampleDepth inDepth = SampleDepth::Float;
    if (!inPath.empty()) {
        if (!openInput(reader, inPath, error)) return fail(error);
        const AudioFileInfo& info = reader.info();
        source.reader = &reader;
        source.channels = info.channels;
        rate = info.rate;
        expectedFrames = info.frames;
        framesExact = info.framesExact;
        inContainer = info.container;
        inDepth = info.depth;
        if (o.rateGiven && o.rate != rate)
            warn("--rate is ignored with an input file; it runs at the file's " + std::to_string(info.rate) + " Hz");
    } else {
        source.demo.make(rate);
        expectedFrames = static_cast<long long>(source.demo.frames());
    }
    int keyChannels = 1;
    if (!o.sidechain.empty()) {
        if (!openInput(keyReader, o.sidechain, error)) return fail(error);
        const AudioFileInfo& key = keyReader.info();
        keyChannels = key.channels;
        if (key.rate != rate) return fail("side-chain " + o.sidechain + " has another sample rate than the input");
        if (key.framesExact && framesExact && key.frames >= 0 && expectedFrames >= 0 && key.frames != expectedFrames)
            return fail("side-chain " + o.sidechain + " has another length than the input");
    }
    Container outContainer;
    SampleDepth outDepth;
    if (!chooseOutputFormat(outPath, o.bits, inContainer, inDepth, outContainer, outDepth, error)) return fail(error);

    Options run = o;
    run.rate = rate;
    Plugin plugin;
    if (!loadAndPrepare(plugin, run, error)) return fail(error);
    if (o.useDouble && !(plugin.effect()->flags & effFlagsCanDoubleReplacing))
        return fail("the plug-in does not process 64-bit audio (--double)");
    if (!(plugin.effect()->flags & effFlagsCanReplacing)) return fail("the plug-in cannot process replacing");
    if (!o.sidechain.empty() && !sideChainListens(plugin))
        warn("--sidechain has no effect while S.C.Ext is off: the plug-in listens to its main input; add "
             "--set S.C.Ext=On to let the key drive it");

    // The output is opened before any processing, so an unwritable path fails at once.
    const int channels = source.channels;
    AudioWriter writer;
    if (!writer.open(outPath, outContainer, outDepth, channels, static_cast<int>(rate), error)) return fail(error);

    if (!o.sidechain.empty()) {
        VstSpeakerArrangement in{0, 4}, out{0, 2};
        plugin.dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out);
    }
    plugin.dispatch(effMainsChanged, 0, 1);
    plugin.dispatch(effStartProcess);
    // Orv plug-ins report the gain reduction they applied through a vendor-specific query
    // ('OrGR': compressor and limiter, positive dB); value 1 clears it after reading.
    constexpr VstInt32 kGainReductionQuery = fourCharCode('O', 'r', 'G', 'R');
    double reported[2] = {0.0, 0.0};
    const bool reportsReduction = plugin.dispatch(effVendorSpecific, kGainReductionQuery, 1, reported) == 1;
    // The reported figures count from unity gain, but an Orv compressor's detector never reads
    // below a small floor, so at rest (silence, or a 1:1 ratio) its curve already sits a little
    // under unity. What the report calls gain reduction counts from that resting gain, measured
    // on a moment of silence; the plug-in is then reset so the run starts as it would without.
    double resting[2] = {0.0, 0.0};
    if (o.report && reportsReduction) {
        BlockRunner silence(plugin, o.block, o.useDouble);
        for (long long done = 0; done < static_cast<long long>(0.1 * rate); done += o.block) silence.run(o.block);
        plugin.dispatch(effVendorSpecific, kGainReductionQuery, 1, resting);
        plugin.dispatch(effMainsChanged, 0, 0);
        plugin.dispatch(effMainsChanged, 0, 1);
    }

    const std::size_t latency = static_cast<std::size_t>(std::max(0, plugin.initialDelay()));
    const std::size_t removed = o.keepLatency ? 0 : latency;
    StreamRunner runner(plugin, o.block, o.useDouble, channels, removed);
    // Every write of processed audio to integer samples is a requantisation, whatever the
    // input's depth: without dither its error follows the signal as distortion.
    SampleQuantiser quantiser(integerBits(outDepth), o.dither);
    ProgressBar progress(expectedFrames, rate, stderrIsTerminal());
    LevelMeter inLevels, outLevels;
    ReductionTracker reduction(rate, o.keepLatency ? latency : 0);
    std::unique_ptr<LoudnessMeter> inLoudness, outLoudness;
    if (o.report && LoudnessMeter::available()) {
        inLoudness.reset(new LoudnessMeter(channels, static_cast<int>(rate)));
        outLoudness.reset(new LoudnessMeter(channels, static_cast<int>(rate)));
    }

    std::vector<double> inBuf(static_cast<std::size_t>(o.block) * channels);
    std::vector<double> keyBuf(static_cast<std::size_t>(o.block) * keyChannels, 0.0);
    long long framesIn = 0, framesOut = 0, keyFrames = 0;
    bool writeFailed = false;
    auto emit = [&](std::size_t n) {
        if (!n || writeFailed) return;
        double* out = runner.outputForChange();
        // Measured as the samples land in the file: after dither, rounding and clipping.
        quantiser.apply(out, n * channels);
        if (o.report) {
            outLevels.add(out, n, channels);
            reduction.addOutput(out, n, channels);
            if (outLoudness) outLoudness->add(out, n);
        }
        if (!writer.write(out, n)) writeFailed = true;
        framesOut += static_cast<long long>(n);
        progress.update(framesOut);
    };
    while (!interruption()) {
        const std::size_t n = source.read(inBuf.data(), static_cast<std::size_t>(o.block));
        if (n == 0) break;
        const double* key = nullptr;
        if (!o.sidechain.empty()) {
            const std::size_t k = keyReader.read(keyBuf.data(), n);
            std::fill(keyBuf.begin() + static_cast<std::ptrdiff_t>(k * keyChannels), keyBuf.end(), 0.0);
            keyFrames += static_cast<long long>(k);
            key = keyBuf.data();
        }
        framesIn += static_cast<long long>(n);
        if (o.report) {
            inLevels.add(inBuf.data(), n, channels);
            reduction.addInput(inBuf.data(), n, channels);
            if (inLoudness) inLoudness->add(inBuf.data(), n);
        }
        emit(runner.process(inBuf.data(), key, keyChannels, static_cast<int>(n)));
        if (writeFailed) break;
    }
    while (!writeFailed && !interruption()) {
        const std::size_t n = runner.flush();
        if (!n) break;
        emit(n);
    }
    progress.finish();
    plugin.dispatch(effStopProcess);
    plugin.dispatch(effMainsChanged, 0, 0);

    if (interruption()) {
        writer.abandon();
        return interrupted(pathKind(outPath) == PathKind::Other ? outPath + " holds what was written before"
                                                                : outPath + " was not written");
    }
    if (writeFailed) {
        writer.abandon();
        return fail("cannot write audio file " + outPath + " (disk full, or the file grew too large for " +
                    containerName(outContainer) + "?)");
    }
    if (!writer.finish(error)) return fail(error);
    if (!saveStateIfAsked(plugin, o, error)) return fail(error);
    if (reader.failed() || (framesExact && expectedFrames > 0 && framesIn < expectedFrames))
        warn(inPath + " is truncated or damaged: its header claims " + std::to_string(expectedFrames) +
             " frames, " + std::to_string(framesIn) + " could be read; the output holds those");
    else if (!inPath.empty() && reader.info().shorterThanHeader)
        warn(inPath + " is truncated: its header declares more audio than the file holds; the output holds the " +
             std::to_string(framesIn) + " frames that are there");
    if (!o.sidechain.empty() && keyFrames < framesIn)
        warn("side-chain " + o.sidechain + " ended early (" + std::to_string(keyFrames) + " of " +
             std::to_string(framesIn) + " frames); silence was used after its end");
    if (quantiser.clipped() > 0)
        warn(std::to_string(quantiser.clipped()) + " samples of " + outPath + " clipped at full scale (" +
             depthName(outDepth) + " samples end at 0 dBFS); lower the output level or write --bits float");

    if (o.report) {
        std::printf("frames %lld at %.0f Hz, latency %zu samples %s\n", framesIn, rate, latency,
                    o.keepLatency ? "kept" : "compensated");
        std::printf("output %s, %s, %d channel%s%s, %llu samples clipped\n", containerName(outContainer),
                    depthName(outDepth), channels, channels == 1 ? "" : "s", quantiser.dithers() ? ", TPDF dither" : "",
                    quantiser.clipped());
        const char* names[2] = {"left ", "right"};
        for (int c = 0; c < channels; ++c)
            std::printf("%s  input peak %7.2f dBFS  rms %7.2f dBFS   output peak %7.2f dBFS  rms %7.2f dBFS\n",
                        channels == 1 ? "mono " : names[c], toDb(inLevels.peak(c)), toDb(inLevels.rms(c)),
                        toDb(outLevels.peak(c)), toDb(outLevels.rms(c)));
        if (reportsReduction && plugin.dispatch(effVendorSpecific, kGainReductionQuery, 0, reported) == 1)
            std::printf("largest gain reduction %.2f dB (compressor), %.2f dB (limiter), as the plug-in reports, "
                        "counted from its gain at rest\n",
                        std::max(0.0, reported[0] - resting[0]), std::max(0.0, reported[1] - resting[1]));
        std::printf("largest level reduction %.2f dB (output against input level, makeup included, 10 ms windows)\n",
                    reduction.largest());
        if (inLoudness) {
            const LoudnessMeter* meters[2] = {inLoudness.get(), outLoudness.get()};
            const char* which[2] = {"input ", "output"};
            for (int m = 0; m < 2; ++m)
                std::printf("loudness %s  integrated %s LUFS  range %.2f LU  true peak %s dBTP\n", which[m],
                            dbText(meters[m]->integrated()).c_str(), meters[m]->range(),
                            dbText(meters[m]->truePeakDb()).c_str());
        } else {
            std::printf("loudness: not measured (this build has no loudness library)\n");
        }
    }
    return 0;
}

}  // namespace orvhost

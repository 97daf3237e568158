// orv-host process: runs an audio file (or the built-in demo signal) through a plug-in.
#include "tools/orv-host/block_runner.h"
#include "tools/orv-host/commands.h"
#include "tools/orv-host/demo_signal.h"
#include "tools/orv-host/os.h"
#include "tools/orv-host/session.h"

#if ORV_HAVE_SNDFILE
#include <sndfile.h>
#else
#include "tools/orv-host/wav_io.h"
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace orvhost {
namespace {

constexpr double kMinRate = 22050.0;
constexpr double kMaxRate = 192000.0;
#if ORV_HAVE_SNDFILE
constexpr int kFloatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
#else
constexpr int kFloatWav = static_cast<int>(WavEncoding::Float32);
#endif

struct Audio {
    std::vector<double> left, right;
    int channels = 2;
    int format = kFloatWav;
    double rate = 44100.0;
    std::size_t frames() const { return left.size(); }
};

#if ORV_HAVE_SNDFILE
bool readAudio(const std::string& path, Audio& audio, std::string& error) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) {
        error = "cannot read audio file " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.channels > 2) {
        sf_close(f);
        error = path + ": " + std::to_string(info.channels) + " channels (only mono and stereo are supported)";
        return false;
    }
    if (info.samplerate < kMinRate || info.samplerate > kMaxRate) {
        sf_close(f);
        error = path + ": sample rate " + std::to_string(info.samplerate) + " Hz is out of range (22050 to 192000)";
        return false;
    }
    std::vector<double> interleaved(static_cast<std::size_t>(info.frames) * info.channels);
    sf_count_t got = sf_readf_double(f, interleaved.data(), info.frames);
    sf_close(f);
    audio.channels = info.channels;
    audio.format = info.format;
    audio.rate = info.samplerate;
    audio.left.resize(static_cast<std::size_t>(got));
    audio.right.resize(static_cast<std::size_t>(got));
    for (sf_count_t i = 0; i < got; ++i) {
        audio.left[i] = interleaved[i * info.channels];
        audio.right[i] = interleaved[i * info.channels + (info.channels - 1)];  // mono feeds both inputs
    }
    return true;
}

// Writes to a temporary name and renames it into place, so a failed run leaves no output behind.
bool writeAudio(const std::string& path, const Audio& audio, int channels, std::string& error) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(audio.rate);
    info.channels = channels;
    info.format = audio.format;
    if (!sf_format_check(&info)) {
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    }
    const std::string tmp = path + ".partial";
    SNDFILE* f = sf_open(tmp.c_str(), SFM_WRITE, &info);
    if (!f) {
        error = "cannot write audio file " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    std::vector<double> interleaved(audio.frames() * channels);
    for (std::size_t i = 0; i < audio.frames(); ++i) {
        interleaved[i * channels] = audio.left[i];
        if (channels == 2) interleaved[i * channels + 1] = audio.right[i];
    }
    const bool ok = sf_writef_double(f, interleaved.data(), static_cast<sf_count_t>(audio.frames())) ==
                    static_cast<sf_count_t>(audio.frames());
    sf_close(f);
    if (!ok || !replaceFile(tmp, path)) {
        std::remove(tmp.c_str());
        error = "cannot write audio file " + path;
        return false;
    }
    return true;
}
#else
// The same two operations with the built-in WAV reader and writer.
bool readAudio(const std::string& path, Audio& audio, std::string& error) {
    WavAudio wav;
    std::string why;
    if (!readWav(path, wav, why)) {
        error = "cannot read audio file " + path + ": " + why;
        return false;
    }
    if (wav.channels > 2) {
        error = path + ": " + std::to_string(wav.channels) + " channels (only mono and stereo are supported)";
        return false;
    }
    if (wav.rate < kMinRate || wav.rate > kMaxRate) {
        error = path + ": sample rate " + std::to_string(wav.rate) + " Hz is out of range (22050 to 192000)";
        return false;
    }
    const std::size_t frames = wav.frames();
    audio.channels = wav.channels;
    audio.format = static_cast<int>(wav.encoding);
    audio.rate = wav.rate;
    audio.left.resize(frames);
    audio.right.resize(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        audio.left[i] = wav.samples[i * wav.channels];
        audio.right[i] = wav.samples[i * wav.channels + (wav.channels - 1)];  // mono feeds both inputs
    }
    return true;
}

bool writeAudio(const std::string& path, const Audio& audio, int channels, std::string& error) {
    WavAudio wav;
    wav.channels = channels;
    wav.rate = static_cast<int>(audio.rate);
    wav.encoding = static_cast<WavEncoding>(audio.format);
    wav.samples.resize(audio.frames() * channels);
    for (std::size_t i = 0; i < audio.frames(); ++i) {
        wav.samples[i * channels] = audio.left[i];
        if (channels == 2) wav.samples[i * channels + 1] = audio.right[i];
    }
    const std::string tmp = path + ".partial";
    std::string why;
    if (!writeWav(tmp, wav, why) || !replaceFile(tmp, path)) {
        std::remove(tmp.c_str());
        error = "cannot write audio file " + path;
        return false;
    }
    return true;
}
#endif

struct Levels {
    double peak[2] = {0, 0};
    double sumSquares[2] = {0, 0};
    std::size_t frames = 0;
    void add(double l, double r) {
        peak[0] = std::max(peak[0], std::fabs(l));
        peak[1] = std::max(peak[1], std::fabs(r));
        sumSquares[0] += l * l;
        sumSquares[1] += r * r;
        ++frames;
    }
    double rms(int c) const { return frames ? std::sqrt(sumSquares[c] / frames) : 0.0; }
};

double toDb(double x) { return x > 1e-10 ? 20.0 * std::log10(x) : -200.0; }

// The largest level reduction between aligned input and output, over 10 ms windows whose
// input is above -60 dBFS: what a listener hears as gain reduction (makeup included).
double largestReduction(const Audio& in, const Audio& out, double rate) {
    const std::size_t window = std::max<std::size_t>(1, static_cast<std::size_t>(rate * 0.01));
    double worst = 0.0;
    for (std::size_t start = 0; start + window <= in.frames() && start + window <= out.frames(); start += window) {
        double ei = 0.0, eo = 0.0;
        for (std::size_t i = start; i < start + window; ++i) {
            ei += in.left[i] * in.left[i] + in.right[i] * in.right[i];
            eo += out.left[i] * out.left[i] + out.right[i] * out.right[i];
        }
        if (ei / (2.0 * window) < 1e-6) continue;
        worst = std::max(worst, -10.0 * std::log10(std::max(eo, 1e-20) / ei));
    }
    return worst;
}

void progress(std::size_t done, std::size_t total) {
    const int width = 40;
    const int filled = total ? static_cast<int>(width * done / total) : width;
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################", width - filled, "",
                 total ? static_cast<int>(100 * done / total) : 100);
    if (done >= total) std::fprintf(stderr, "\n");
}

}  // namespace

int runProcess(const Options& o) {
    std::string inPath, outPath;
    if (o.positional.size() == 1) {
        outPath = o.positional[0];
    } else if (o.positional.size() == 2) {
        inPath = o.positional[0];
        outPath = o.positional[1];
    } else {
        return fail("process needs [IN] OUT");
    }

    Audio input;
    std::string error;
    if (!inPath.empty()) {
        if (!readAudio(inPath, input, error)) return fail(error);
    } else {
        if (o.rate < kMinRate || o.rate > kMaxRate) return fail("--rate out of range (22050 to 192000)");
        input.rate = o.rate;
        makeDemoSignal(input.rate, 10.0, input.left, input.right);
    }
    Audio key;
    if (!o.sidechain.empty()) {
        if (!readAudio(o.sidechain, key, error)) return fail(error);
        if (key.frames() != input.frames()) return fail("side-chain " + o.sidechain + " has another length than the input");
        if (key.rate != input.rate) return fail("side-chain " + o.sidechain + " has another sample rate than the input");
    }

    Options run = o;
    run.rate = input.rate;
    Plugin plugin;
    if (!loadAndPrepare(plugin, run, error)) return fail(error);
    if (o.useDouble && !(plugin.effect()->flags & effFlagsCanDoubleReplacing))
        return fail("the plug-in does not process 64-bit audio (--double)");
    if (!(plugin.effect()->flags & effFlagsCanReplacing)) return fail("the plug-in cannot process replacing");
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

    const std::size_t delay = o.keepLatency ? 0 : static_cast<std::size_t>(std::max(0, plugin.initialDelay()));
    const std::size_t total = input.frames() + delay;
    Audio output;
    output.rate = input.rate;
    output.format = inPath.empty() ? kFloatWav : input.format;
    output.left.assign(input.frames(), 0.0);
    output.right.assign(input.frames(), 0.0);

    BlockRunner runner(plugin, o.block, o.useDouble);
    const bool showProgress = stderrIsTerminal();
    std::size_t lastShown = 0;
    Levels inLevels, outLevels;
    for (std::size_t pos = 0; pos < total;) {
        const int frames = static_cast<int>(std::min<std::size_t>(o.block, total - pos));
        for (int i = 0; i < frames; ++i) {
            const std::size_t k = pos + i;
            const bool live = k < input.frames();
            runner.input(0)[i] = live ? input.left[k] : 0.0;
            runner.input(1)[i] = live ? input.right[k] : 0.0;
            runner.input(2)[i] = live && !key.left.empty() ? key.left[k] : 0.0;
            runner.input(3)[i] = live && !key.right.empty() ? key.right[k] : 0.0;
        }
        runner.run(frames);
        const bool monoOut = runner.outputChannels() < 2 || plugin.numOutputs() < 2;
        for (int i = 0; i < frames; ++i) {
            const std::size_t k = pos + i;
            if (k < delay || k - delay >= output.frames()) continue;
            output.left[k - delay] = runner.output(0)[i];
            output.right[k - delay] = monoOut ? runner.output(0)[i] : runner.output(1)[i];
        }
        pos += frames;
        if (showProgress && (pos - lastShown > total / 100 || pos == total)) {
            progress(pos, total);
            lastShown = pos;
        }
    }
    plugin.dispatch(effStopProcess);
    plugin.dispatch(effMainsChanged, 0, 0);

    const int channels = inPath.empty() ? 2 : (input.channels == 1 && plugin.numOutputs() < 2 ? 1 : 2);
    if (!writeAudio(outPath, output, channels, error)) return fail(error);
    if (!saveStateIfAsked(plugin, o, error)) return fail(error);

    if (o.report) {
        for (std::size_t i = 0; i < input.frames(); ++i) {
            inLevels.add(input.left[i], input.right[i]);
            outLevels.add(output.left[i], output.right[i]);
        }
        std::printf("frames %zu at %.0f Hz, latency %zu samples %s\n", input.frames(), input.rate,
                    static_cast<std::size_t>(plugin.initialDelay()), o.keepLatency ? "kept" : "compensated");
        const char* names[2] = {"left ", "right"};
        for (int c = 0; c < 2; ++c)
            std::printf("%s  input peak %7.2f dBFS  rms %7.2f dBFS   output peak %7.2f dBFS  rms %7.2f dBFS\n",
                        names[c], toDb(inLevels.peak[c]), toDb(inLevels.rms(c)), toDb(outLevels.peak[c]),
                        toDb(outLevels.rms(c)));
        Audio aligned = output;
        if (o.keepLatency) {  // compare like with like
            const std::size_t d = static_cast<std::size_t>(plugin.initialDelay());
            for (std::size_t i = 0; i < aligned.frames(); ++i) {
                aligned.left[i] = i + d < output.frames() ? output.left[i + d] : 0.0;
                aligned.right[i] = i + d < output.frames() ? output.right[i + d] : 0.0;
            }
        }
        if (reportsReduction && plugin.dispatch(effVendorSpecific, kGainReductionQuery, 0, reported) == 1)
            std::printf("largest gain reduction %.2f dB (compressor), %.2f dB (limiter), as the plug-in reports\n",
                        reported[0], reported[1]);
        std::printf("largest level reduction %.2f dB (output against input level, makeup included, 10 ms windows)\n",
                    largestReduction(input, aligned, input.rate));
    }
    return 0;
}

}  // namespace orvhost

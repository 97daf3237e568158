#include "tools/orv-host/player.h"

#include "tools/orv-host/audio_device.h"
#include "tools/orv-host/commands.h"
#include "tools/orv-host/os.h"
#include "tools/orv-host/playback_console.h"
#include "tools/orv-host/playback_engine.h"
#include "tools/orv-host/playback_recorder.h"
#include "tools/orv-host/sample_ring.h"
#include "tools/orv-host/source_feeder.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#if !defined(_WIN32)
#include <chrono>
#include <thread>
#define ORV_PLAYER_THREADS 1
#endif

namespace orvhost {
namespace {

constexpr double kReadAheadSeconds = 2.0;   // the source ring
constexpr double kRecordSeconds = 4.0;      // the recording ring
constexpr double kStatusSeconds = 0.2;

std::string clockText(double seconds) {
    char text[32];
    const int whole = static_cast<int>(seconds);
    std::snprintf(text, sizeof text, "%d:%04.1f", whole / 60, seconds - 60.0 * (whole / 60));
    return text;
}

std::string levelText(float peak) {
    char text[16];
    if (peak < 1e-5f) return "  -inf";
    std::snprintf(text, sizeof text, "%6.1f", 20.0 * std::log10(peak));
    return text;
}

std::size_t ringSamples(double rate, double seconds, int channels, int block) {
    return static_cast<std::size_t>(std::max(rate * seconds, 4.0 * block)) * static_cast<std::size_t>(channels);
}

}  // namespace

struct Player::State {
    bool live = false;
    bool loop = false;
    std::string sourceName;
    SourceFeeder feeder;
    AudioDevice device;
    bool useDevice = false;
    double sampleRate = 44100.0;
    int block = 512;
    int channels = 2;  // of the source and the recording
    std::unique_ptr<SampleRing<double>> sourceRing, recordRing;
    std::unique_ptr<PlaybackEngine> engine;
    PlaybackRecorder recorder;
    std::unique_ptr<PlaybackConsole> console;
    bool running = false;
    bool lost = false;
    bool endNoted = false;
    bool pausedShown = false;
    double lastStatus = -1.0;
    // The clock that paces the plug-in when no device does.
    double startTime = 0.0;
    long long clockFrames = 0;
    std::vector<float> clockOut;
#if ORV_PLAYER_THREADS
    std::atomic<bool> threadsRun{false};
    std::thread diskThread, clockThread;
#endif

    void diskWork() {
        if (sourceRing) feeder.fill(*sourceRing, *engine, loop);
        if (recordRing) recorder.drain(*recordRing);
    }

    // The blocks that are due by the wall clock; after a stall (a debugger, a suspended
    // terminal) at most a second is caught up.
    void clockWork() {
        const long long due = static_cast<long long>((wallSeconds() - startTime) * sampleRate);
        if (due - clockFrames > static_cast<long long>(sampleRate)) clockFrames = due - static_cast<long long>(sampleRate);
        while (clockFrames + block <= due) {
            engine->render(nullptr, 0, clockOut.data(), 2, block);
            clockFrames += block;
        }
    }

    void startThreads() {
#if ORV_PLAYER_THREADS
        threadsRun = true;
        diskThread = std::thread([this] {
            while (threadsRun.load()) {
                diskWork();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
        if (!useDevice) {
            clockThread = std::thread([this] {
                while (threadsRun.load()) {
                    clockWork();
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
            });
        }
#endif
    }

    void stopThreads() {
#if ORV_PLAYER_THREADS
        threadsRun = false;
        if (clockThread.joinable()) clockThread.join();
        if (diskThread.joinable()) diskThread.join();
#endif
    }

    std::string statusLine() const {
        const double rate = sampleRate;
        const double played = static_cast<double>(engine->framesPlayed()) / rate;
        std::string line = engine->paused() ? "paused " : (live ? "live   " : "playing");
        if (live) {
            line += " " + clockText(played);
        } else {
            const long long length = feeder.lengthFrames();
            if (length > 0) {
                const long long pos = engine->framesPlayed();
                const long long inPass = loop ? pos % length : std::min(pos, length);
                line += " " + clockText(static_cast<double>(inPass) / rate) + " / " +
                        clockText(static_cast<double>(length) / rate);
                if (loop && pos >= length) line += " (pass " + std::to_string(pos / length + 1) + ")";
            } else {
                line += " " + clockText(played);
            }
            if (engine->sourceFinished()) line += " (end)";
        }
        line += "   peak L " + levelText(engine->peak(0)) + "  R " + levelText(engine->peak(1)) + " dBFS";
        line += "   underruns " + std::to_string(engine->underruns() + device.deviceUnderruns());
        return line;
    }
};

Player::Player() : state(new State) {}

Player::~Player() {
    std::string ignored;
    int status = 0;
    stop(ignored, status);
}

double Player::rate() const { return state->sampleRate; }
int Player::blockSize() const { return state->block; }

bool Player::prepare(const Options& o, std::string& error, int& status) {
    State& s = *state;
    status = 1;
    s.live = o.live;
    s.loop = o.loop;
    s.block = o.buffer > 0 ? o.buffer : o.block;
    const bool demo = !s.live && o.play == "demo";
    if (!s.live && !demo) {
        if (!s.feeder.openFile(o.play, error)) return false;
        s.sourceName = o.play;
    } else {
        s.sourceName = s.live ? "the device's input" : "the demo signal";
    }
    DeviceRequest request;
    request.name = o.device;
    request.bufferFrames = s.block;
    request.input = s.live;
    // A file plays at its own rate; the demo at --rate (44100 Hz unless given), or at the
    // device's own rate when it takes no other and no rate was asked for; live input at --rate
    // or the device's own.
    request.rate = !s.live && !demo ? s.feeder.rate() : demo || o.rateGiven ? o.rate : 0.0;
    std::string deviceError;
    bool chosen = s.device.choose(request, deviceError);
    if (!chosen && demo && !o.rateGiven && !s.device.foundNone()) {
        request.rate = 0.0;
        chosen = s.device.choose(request, deviceError);
    }
    if (chosen) {
        s.useDevice = true;
        s.sampleRate = s.device.rate();
        if (s.sampleRate < kMinRate || s.sampleRate > kMaxRate) {
            error = "the audio device " + s.device.description() + " runs at " + std::to_string(static_cast<int>(s.sampleRate)) +
                    " Hz; the plug-ins run at 22050 to 192000 Hz (choose a rate with --rate)";
            status = kDeviceFailureStatus;
            return false;
        }
    } else if (!s.live && o.device.empty() && s.device.foundNone()) {
        // No sound card at all: the audio still runs in real time, without sound.
        warn(deviceError + "; the audio runs through the plug-in in real time without sound");
        s.sampleRate = demo ? o.rate : s.feeder.rate();
    } else {
        error = deviceError;
        status = kDeviceFailureStatus;
        return false;
    }
    if (demo) s.feeder.openDemo(s.sampleRate);
    s.channels = s.live ? 2 : s.feeder.channels();
    return true;
}

bool Player::start(const Plugin& plugin, const Options& o, std::string& error, int& status) {
    State& s = *state;
    status = 1;
    if (!o.outFile.empty()) {
        if (!s.live && o.play != "demo" && sameFile(o.play, o.outFile)) {
            error = "refusing to write " + o.outFile + ": it is the file being played";
            return false;
        }
        const bool file = !s.live && s.feeder.isFile();
        const Container fallback = file ? s.feeder.fileInfo().container : Container::Wav;
        const SampleDepth depth = file ? s.feeder.fileInfo().depth : SampleDepth::Float;
        if (!s.recorder.open(o.outFile, o.bits, o.dither, fallback, depth, s.channels,
                             static_cast<int>(s.sampleRate), error))
            return false;
        s.recordRing.reset(new SampleRing<double>(ringSamples(s.sampleRate, kRecordSeconds, s.channels, s.block)));
    }
    if (!s.live) s.sourceRing.reset(new SampleRing<double>(ringSamples(s.sampleRate, kReadAheadSeconds, s.channels, s.block)));
    const std::size_t latency = static_cast<std::size_t>(std::max(0, plugin.initialDelay()));
    s.engine.reset(new PlaybackEngine(plugin, s.block, o.useDouble, s.channels, s.sampleRate, latency,
                                      s.sourceRing.get(), s.recordRing.get()));
    s.clockOut.assign(static_cast<std::size_t>(s.block) * 2, 0.0f);
    // The ring is full before the first block is asked for.
    s.diskWork();
    plugin.dispatch(effStartProcess);
    s.console.reset(new PlaybackConsole);
    if (o.startPaused) s.engine->startPaused();
    if (s.useDevice && !s.device.start(&PlaybackEngine::renderCallback, s.engine.get(), error)) {
        plugin.dispatch(effStopProcess);
        s.recorder.abandon();
        status = kDeviceFailureStatus;
        return false;
    }
    s.startTime = wallSeconds();
    s.running = true;
    s.startThreads();

    char text[512];
    const double latencyMs = 1000.0 * static_cast<double>(latency) / s.sampleRate;
    if (s.useDevice) {
        char inLatency[48] = "";
        if (s.live) std::snprintf(inLatency, sizeof inLatency, ", %.1f ms in", 1000.0 * s.device.inputLatency());
        std::snprintf(text, sizeof text,
                      "%s %s through %s at %.0f Hz in blocks of %d frames; plug-in latency %zu samples (%.1f ms), "
                      "device latency %.1f ms out%s",
                      s.live ? "live:" : "playing", s.sourceName.c_str(), s.device.description().c_str(), s.sampleRate,
                      s.block, latency, latencyMs, 1000.0 * s.device.outputLatency(), inLatency);
    } else {
        std::snprintf(text, sizeof text, "playing %s without sound at %.0f Hz in blocks of %d frames; plug-in latency %zu samples (%.1f ms)",
                      s.sourceName.c_str(), s.sampleRate, s.block, latency, latencyMs);
    }
    std::fprintf(stderr, "orv-host: %s\n", text);
    if (s.console->showsStatus()) std::fprintf(stderr, "orv-host: space pauses and resumes\n");
    if (o.startPaused && !s.console->showsStatus()) std::fprintf(stderr, "orv-host: paused\n");
    s.pausedShown = o.startPaused;
    return true;
}

void Player::service() {
    State& s = *state;
    if (!s.running) return;
#if !ORV_PLAYER_THREADS
    s.diskWork();
    if (!s.useDevice) s.clockWork();
    s.diskWork();
#endif
    for (int spaces = s.console->takeSpaces(); spaces > 0; --spaces) s.engine->setPaused(!s.engine->paused());
    const bool paused = s.engine->paused();
    if (paused != s.pausedShown && !s.console->showsStatus()) std::fprintf(stderr, "orv-host: %s\n", paused ? "paused" : "playing");
    s.pausedShown = paused;
    if (s.useDevice && !s.lost && !s.device.running()) {
        s.lost = true;
        s.console->endStatus();
        std::fprintf(stderr, "orv-host: the audio device %s has stopped (it went away): playback has stopped; the editor stays open\n",
                     s.device.description().c_str());
    }
    if (!s.live && !s.endNoted && s.engine->sourceFinished()) {
        s.endNoted = true;
        if (!s.console->showsStatus()) std::fprintf(stderr, "orv-host: the end of %s has been played\n", s.sourceName.c_str());
    }
    const double now = wallSeconds();
    if (!s.lost && (s.lastStatus < 0 || now - s.lastStatus >= kStatusSeconds)) {
        s.lastStatus = now;
        s.console->status(s.statusLine());
    }
}

bool Player::stop(std::string& error, int& status) {
    State& s = *state;
    status = 0;
    if (!s.running) return true;
    s.running = false;
    if (s.useDevice) s.device.stop();
    s.stopThreads();
    if (s.console) s.console->endStatus();
    const long long underruns = s.engine->underruns(), deviceUnderruns = s.device.deviceUnderruns();
    std::fprintf(stderr, "orv-host: played %.2f s; underruns: %lld (source %lld, device %lld)\n",
                 static_cast<double>(s.engine->framesPlayed()) / s.sampleRate, underruns + deviceUnderruns, underruns,
                 deviceUnderruns);
    s.console.reset();
    bool ok = true;
    if (s.lost) {
        error = "playback stopped early: the audio device " + s.device.description() + " went away";
        status = kDeviceFailureStatus;
        ok = false;
    }
    const auto readFailed = [&]() {
        if (!s.feeder.readFailed()) return false;
        // A recording that cannot hold the whole file is not left behind.
        s.recorder.abandon();
        error = "cannot read " + s.sourceName + " to its end";
        status = 1;
        return true;
    };
    if (readFailed()) return false;
    if (!s.recorder.isOpen()) return ok;
    if (interruption()) {
        // Interrupted: no half-made output is left behind.
        s.recorder.abandon();
        return ok;
    }
    // The recording holds the whole source: what was not yet played in real time is run
    // through the plug-in now (not when looping: then it holds what was played), and the
    // plug-in's latency tail brings the last frames out.
    if (!s.loop && !s.live) {
        while (s.engine->processRemainingSource() || !s.engine->sourceFinished()) {
            s.recorder.drain(*s.recordRing);
            s.feeder.fill(*s.sourceRing, *s.engine, false);
            if (readFailed()) return false;
        }
    }
    while (s.engine->processTail()) s.recorder.drain(*s.recordRing);
    s.recorder.drain(*s.recordRing);
    if (s.engine->recordOverflows() > 0) {
        s.recorder.abandon();
        error = "the recording lost " + std::to_string(s.engine->recordOverflows()) +
                " frames (the disk could not keep up): " + "nothing was written";
        status = 1;
        return false;
    }
    std::string fileError;
    if (!s.recorder.finish(fileError)) {
        error = fileError;
        status = 1;
        return false;
    }
    if (s.recorder.clipped() > 0)
        warn(std::to_string(s.recorder.clipped()) + " samples clipped at full scale in the recording");
    return ok;
}

}  // namespace orvhost

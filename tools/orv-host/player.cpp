#include "tools/orv-host/player.h"

#include "tools/orv-host/demo_signal.h"
#include "tools/orv-host/dither.h"
#include "tools/orv-host/os.h"
#include "tools/orv-host/stream_runner.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#if !defined(_WIN32)
#include <chrono>
#include <thread>
#define ORV_PLAYER_THREAD 1
#endif

namespace orvhost {

struct Player::State {
    AudioReader reader;
    bool fromFile = false;
    std::vector<double> left, right;  // the demo signal
    std::size_t demoPos = 0;
    double sampleRate = 44100.0;
    int channels = 2;
    bool loop = true;      // without an output the source repeats; with one it plays once
    bool sourceDone = false;
    bool flushed = false;
    std::unique_ptr<StreamRunner> runner;
    AudioWriter writer;
    std::unique_ptr<SampleQuantiser> quantiser;  // dither, rounding and clipping of the output
    bool writing = false, writeFailed = false;
    std::vector<double> in;
    int block = 512;
    double startTime = 0.0;
    long long framesDone = 0;
    std::atomic<bool> running{false};
#if ORV_PLAYER_THREAD
    std::thread thread;
#endif

    std::size_t readSource(std::size_t frames) {
        std::size_t n = 0;
        if (sourceDone) return 0;
        if (fromFile) {
            n = reader.read(in.data(), frames);
            if (n == 0 && loop && reader.rewind()) n = reader.read(in.data(), frames);
        } else {
            if (demoPos >= left.size() && loop) demoPos = 0;
            n = std::min(frames, left.size() - demoPos);
            for (std::size_t i = 0; i < n; ++i) {
                in[2 * i] = left[demoPos + i];
                in[2 * i + 1] = right[demoPos + i];
            }
            demoPos += n;
        }
        if (n == 0) sourceDone = true;
        return n;
    }

    void emit(std::size_t n) {
        if (!n || !writing || writeFailed) return;
        quantiser->apply(runner->outputForChange(), n * static_cast<std::size_t>(channels));
        if (!writer.write(runner->output(), n)) writeFailed = true;
    }

    // One block: from the source while it lasts, then the latency tail, then silence.
    void processBlock() {
        std::size_t n = readSource(static_cast<std::size_t>(block));
        if (n > 0) {
            emit(runner->process(in.data(), nullptr, 1, static_cast<int>(n)));
        } else if (!flushed) {
            const std::size_t tail = runner->flush();
            if (tail) emit(tail);
            else flushed = true;
        } else {
            std::fill(in.begin(), in.end(), 0.0);
            runner->process(in.data(), nullptr, 1, block);  // the meters fall back; nothing is written
        }
        framesDone += block;
    }

    void processDue() {
        const long long due = static_cast<long long>((wallSeconds() - startTime) * sampleRate);
        // After a stall (a debugger, a suspended terminal) catch up by at most a second.
        if (due - framesDone > static_cast<long long>(sampleRate)) framesDone = due - static_cast<long long>(sampleRate);
        while (framesDone + block <= due) processBlock();
    }
};

Player::Player() : state(new State) {}
Player::~Player() {
    std::string ignored;
    stop(ignored);
}

bool Player::openSource(const std::string& play, double demoRate, std::string& error) {
    if (play == "demo") {
        state->fromFile = false;
        state->sampleRate = demoRate;
        state->channels = 2;
        makeDemoSignal(demoRate, 10.0, state->left, state->right);
        return true;
    }
    if (!state->reader.open(play, error)) return false;
    const AudioFileInfo& info = state->reader.info();
    if (info.channels > 2 || info.rate < kMinRate || info.rate > kMaxRate) {
        error = play + ": only mono and stereo files at 22050 to 192000 Hz can be played";
        return false;
    }
    state->fromFile = true;
    state->sampleRate = info.rate;
    state->channels = info.channels;
    return true;
}

double Player::rate() const { return state->sampleRate; }

bool Player::start(const Plugin& plugin, const Options& o, std::string& error) {
    State& s = *state;
    s.block = o.block;
    s.in.assign(static_cast<std::size_t>(o.block) * 2, 0.0);
    s.loop = o.outFile.empty();
    if (!o.outFile.empty()) {
        Container container;
        SampleDepth depth;
        const Container fallback = s.fromFile ? s.reader.info().container : Container::Wav;
        const SampleDepth source = s.fromFile ? s.reader.info().depth : SampleDepth::Float;
        if (!chooseOutputFormat(o.outFile, o.bits, fallback, source, container, depth, error)) return false;
        if (!o.play.empty() && o.play != "demo" && sameFile(o.play, o.outFile)) {
            error = "refusing to write " + o.outFile + ": it is the file being played";
            return false;
        }
        if (!s.writer.open(o.outFile, container, depth, s.channels, static_cast<int>(s.sampleRate), error)) return false;
        s.quantiser.reset(new SampleQuantiser(integerBits(depth), o.dither));
        s.writing = true;
    }
    const std::size_t latency = static_cast<std::size_t>(std::max(0, plugin.initialDelay()));
    s.runner.reset(new StreamRunner(plugin, o.block, false, s.channels, s.writing ? latency : 0));
    plugin.dispatch(effStartProcess);
    s.startTime = wallSeconds();
    s.running = true;
#if ORV_PLAYER_THREAD
    s.thread = std::thread([&s] {
        while (s.running.load()) {
            s.processDue();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
#endif
    return true;
}

void Player::service() {
#if !ORV_PLAYER_THREAD
    if (state->running) state->processDue();
#endif
}

bool Player::stop(std::string& error) {
    State& s = *state;
    if (!s.running) return true;
    s.running = false;
#if ORV_PLAYER_THREAD
    if (s.thread.joinable()) s.thread.join();
#endif
    if (!s.writing) return true;
    if (interruption()) {
        // Interrupted: no half-made output is left behind.
        s.writing = false;
        s.writer.abandon();
        return true;
    }
    // What was not yet played in real time still goes into the file: it holds the whole source.
    while (!s.flushed && !s.writeFailed) s.processBlock();
    s.writing = false;
    if (s.writeFailed) {
        s.writer.abandon();
        error = "cannot write the played audio";
        return false;
    }
    return s.writer.finish(error);
}

}  // namespace orvhost

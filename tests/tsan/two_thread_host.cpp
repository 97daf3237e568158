// A two-thread host for both engines: an audio thread processes blocks of varying length without
// pause while an interface thread loads presets and bank chunks, reads the state back and sets
// every parameter, as a user working in the editor and a host restoring sessions do. Built with
// ThreadSanitizer (tools/run-tsan.sh) it shows every unsynchronised access between the two; in
// the ordinary build it runs briefly as a stress test.
//
// A second part runs when actions include 8 and the plug-in was built with its editor (the
// orv_tsan_editor_* hosts link one plug-in's editor each): the audio thread automates every
// host parameter in every block, as hosts that play automation from their audio thread do,
// while the interface thread opens the editor in a window of its own on the X server (a
// private Xvfb is started when there is no DISPLAY; without either the editor opens offscreen),
// idles it as a host does and closes it again, over and over.
//
// Usage: orv_tsan_host [seconds per plug-in [actions]], actions a sum of 1 (presets), 2 (banks),
// 4 (parameters) and 8 (automation with the editor open), all by default. Exit status 0 when
// every output sample was finite.
#include "borealis/borealis.h"
#include "kestrel/kestrel.h"
#include "tests/support/private_x_server.h"

#if ORV_TSAN_WITH_EDITOR
#include <X11/Xlib.h>
#endif

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
        case audioMasterVersion: return 2400;
        case audioMasterUpdateDisplay: return 1;
        default: return 0;  // pins connected, everything else unanswered
    }
}

// A small deterministic generator per thread.
struct Random {
    std::uint32_t state;
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    float unit() { return static_cast<float>(next() >> 8) / 16777216.0f; }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
};

constexpr int kMaxBlock = 1024;

struct Counts {
    long blocks = 0;
    long samples = 0;
    long nonFinite = 0;
    long presets = 0;
    long chunks = 0;
    long parameters = 0;
    long automated = 0;
    long editorOpens = 0;
    long editorIdles = 0;
};

void audioThread(AEffect* fx, std::atomic<bool>& stop, Counts& counts, bool doublePrecision, bool automate) {
    std::vector<float> in32[4], out32[2];
    std::vector<double> in64[4], out64[2];
    for (auto& v : in32) v.resize(kMaxBlock);
    for (auto& v : out32) v.resize(kMaxBlock);
    for (auto& v : in64) v.resize(kMaxBlock);
    for (auto& v : out64) v.resize(kMaxBlock);
    Random random{12345u};
    long t = 0;
    while (!stop.load(std::memory_order_relaxed)) {
        const int n = 1 + random.below(kMaxBlock);
        for (int i = 0; i < n; ++i, ++t) {
            const double s = 0.5 * std::sin(2.0 * M_PI * 440.0 * static_cast<double>(t) / 44100.0);
            const double key = 0.3 * std::sin(2.0 * M_PI * 97.0 * static_cast<double>(t) / 44100.0);
            in32[0][i] = static_cast<float>(in64[0][i] = s);
            in32[1][i] = static_cast<float>(in64[1][i] = -s);
            in32[2][i] = static_cast<float>(in64[2][i] = key);
            in32[3][i] = static_cast<float>(in64[3][i] = key * 0.5);
        }
        if (automate) {
            // Every host parameter but Power, every block, from this thread.
            for (int index = 1; index < kNumPresetParams; ++index) {
                fx->setParameter(fx, index, random.unit());
                ++counts.automated;
            }
        }
        const bool wide = doublePrecision && (counts.blocks & 1);
        if (wide) {
            double* in[4] = {in64[0].data(), in64[1].data(), in64[2].data(), in64[3].data()};
            double* out[2] = {out64[0].data(), out64[1].data()};
            fx->processDoubleReplacing(fx, in, out, n);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < n; ++i)
                    if (!std::isfinite(out64[c][i])) ++counts.nonFinite;
        } else {
            float* in[4] = {in32[0].data(), in32[1].data(), in32[2].data(), in32[3].data()};
            float* out[2] = {out32[0].data(), out32[1].data()};
            fx->processReplacing(fx, in, out, n);
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < n; ++i)
                    if (!std::isfinite(out32[c][i])) ++counts.nonFinite;
        }
        ++counts.blocks;
        counts.samples += n;
    }
}

int actions = 15;  // 1: presets, 2: banks, 4: parameters, 8: automation with the editor open

void interfaceThread(AEffect* fx, std::atomic<bool>& stop, Counts& counts) {
    Random random{987654u};
    char text[256];
    while (!stop.load(std::memory_order_relaxed)) {
        int action = random.below(4);
        if (!(actions & (1 << (action > 2 ? 2 : action)))) {
            std::this_thread::yield();
            continue;
        }
        switch (action) {
            case 0: {
                // A preset through the state: the bank with another current preset.
                void* data = nullptr;
                const VstIntPtr size = fx->dispatcher(fx, effGetChunk, 0, 0, &data, 0.0f);
                if (size != kBankChunkSize || !data) break;
                unsigned char chunk[kBankChunkSize];
                std::memcpy(chunk, data, kBankChunkSize);
                const std::int32_t preset = random.below(kNumPresets);
                std::memcpy(chunk + 12, &preset, 4);
                fx->dispatcher(fx, effSetChunk, 0, kBankChunkSize, chunk, 0.0f);
                ++counts.presets;
                break;
            }
            case 1: {
                // A whole bank with values of its own, as a stored session brings.
                void* data = nullptr;
                const VstIntPtr size = fx->dispatcher(fx, effGetChunk, 0, 0, &data, 0.0f);
                if (size != kBankChunkSize || !data) break;
                unsigned char chunk[kBankChunkSize];
                std::memcpy(chunk, data, kBankChunkSize);
                for (int p = 0; p < kNumPresets; ++p) {
                    float* values = reinterpret_cast<float*>(chunk + kBankChunkHeaderSize + p * sizeof(PresetRecord) +
                                                             kPresetNameLength);
                    for (int i = 1; i < kNumPresetParams; ++i) {
                        const float v = random.unit();
                        std::memcpy(values + i, &v, sizeof v);
                    }
                }
                fx->dispatcher(fx, effSetChunk, 0, kBankChunkSize, chunk, 0.0f);
                ++counts.chunks;
                break;
            }
            default: {
                // Every parameter the editor or the host can set, Power left on.
                for (int index = 1; index <= 40; ++index) {
                    fx->setParameter(fx, index, random.unit());
                    fx->getParameter(fx, index);
                    fx->dispatcher(fx, effGetParamDisplay, index, 0, text, 0.0f);
                    ++counts.parameters;
                }
                break;
            }
        }
    }
}

// The host's window that the editor opens in: a top-level window on the X server, or none
// (the editor then draws offscreen) when no server can be reached.
class HostWindow {
public:
    HostWindow() {
#if ORV_TSAN_WITH_EDITOR
        if (!std::getenv("DISPLAY")) server.start();
        display = XOpenDisplay(nullptr);
        if (!display) return;
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 450, 460, 0, 0, 0);
        XMapWindow(display, window);
        XSync(display, False);
#endif
    }
    ~HostWindow() {
#if ORV_TSAN_WITH_EDITOR
        if (!display) return;
        XDestroyWindow(display, window);
        XCloseDisplay(display);
#endif
    }
    void* parent() const { return reinterpret_cast<void*>(window); }
    bool onServer() const { return window != 0; }

private:
    orvtest::PrivateXServer server;
#if ORV_TSAN_WITH_EDITOR
    Display* display = nullptr;
#endif
    unsigned long window = 0;
};

// The interface thread of a host playing automation with the editor open: the editor is
// opened, idled for a while as hosts do (about every 10 ms, the values shown read back as a
// host's parameter list does) and closed again.
void editorThread(AEffect* fx, void* parent, std::atomic<bool>& stop, Counts& counts) {
    Random random{24680u};
    char text[256];
    while (!stop.load(std::memory_order_relaxed)) {
        if (fx->dispatcher(fx, effEditOpen, 0, 0, parent, 0.0f) != 1) {
            std::fprintf(stderr, "the editor did not open\n");
            return;
        }
        ++counts.editorOpens;
        const int idles = 1 + random.below(30);
        for (int k = 0; k < idles && !stop.load(std::memory_order_relaxed); ++k) {
            fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0.0f);
            const int index = 1 + random.below(kNumPresetParams - 1);
            fx->getParameter(fx, index);
            fx->dispatcher(fx, effGetParamDisplay, index, 0, text, 0.0f);
            ++counts.editorIdles;
            std::this_thread::sleep_for(std::chrono::milliseconds(random.below(12)));
        }
        fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0.0f);
    }
}

template <class Effect>
bool runWithEditor(const char* name, double seconds, bool doublePrecision, HostWindow& window) {
    Effect* effect = new Effect(hostCallback);
    AEffect* fx = effect->getAeffect();
    if (!(fx->flags & effFlagsHasEditor)) {
        fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
        return true;  // this host was built without the plug-in's editor
    }
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    fx->dispatcher(fx, effSetBlockSize, 0, kMaxBlock, nullptr, 0.0f);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);

    std::atomic<bool> stop{false};
    Counts audio, ui;
    std::thread audioWorker(audioThread, fx, std::ref(stop), std::ref(audio), doublePrecision, true);
    std::thread uiWorker(editorThread, fx, window.parent(), std::ref(stop), std::ref(ui));
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop.store(true);
    audioWorker.join();
    uiWorker.join();

    fx->dispatcher(fx, effMainsChanged, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    std::printf("%s with its editor %s: %ld blocks (%ld samples) with %ld automated changes while the editor "
                "opened %ld times and idled %ld times; %ld non-finite output samples\n",
                name, window.onServer() ? "on the X server" : "offscreen", audio.blocks, audio.samples,
                audio.automated, ui.editorOpens, ui.editorIdles, audio.nonFinite);
    return audio.nonFinite == 0 && audio.blocks > 0 && ui.editorOpens > 0;
}

template <class Effect>
bool run(const char* name, double seconds, bool doublePrecision) {
    Effect* effect = new Effect(hostCallback);
    AEffect* fx = effect->getAeffect();
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    fx->dispatcher(fx, effSetBlockSize, 0, kMaxBlock, nullptr, 0.0f);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);

    std::atomic<bool> stop{false};
    Counts audio, ui;
    std::thread audioWorker(audioThread, fx, std::ref(stop), std::ref(audio), doublePrecision, false);
    std::thread uiWorker(interfaceThread, fx, std::ref(stop), std::ref(ui));
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop.store(true);
    audioWorker.join();
    uiWorker.join();

    fx->dispatcher(fx, effMainsChanged, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);  // deletes the effect
    std::printf("%s: %ld blocks (%ld samples) processed while %ld presets, %ld banks and %ld parameter "
                "changes arrived; %ld non-finite output samples\n",
                name, audio.blocks, audio.samples, ui.presets, ui.chunks, ui.parameters, audio.nonFinite);
    return audio.nonFinite == 0 && audio.blocks > 0;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    if (argc > 2) actions = std::atoi(argv[2]);
    bool ok = true;
    if (actions & 7) {
        ok = run<Borealis>("Borealis", seconds, true) && ok;
        ok = run<Kestrel>("Kestrel", seconds, false) && ok;
    }
    if (actions & 8) {
        HostWindow window;
        ok = runWithEditor<Borealis>("Borealis", seconds, true, window) && ok;
        ok = runWithEditor<Kestrel>("Kestrel", seconds, false, window) && ok;
    }
    return ok ? 0 : 1;
}

// orv-host editor: opens a plug-in's editor inside a window of the host's, services it with
// idle calls, and either stays open for a person (parameter changes are printed as the host
// receives them) or writes a screenshot and closes. With --play or --live, audio runs through
// the plug-in to the sound card meanwhile (see player.h).
#include "borealis/editor/editor_hooks.h"
#include "tools/orv-host/audio_device.h"
#include "tools/orv-host/block_runner.h"
#include "tools/orv-host/commands.h"
#include "tools/orv-host/demo_signal.h"
#include "tools/orv-host/editor_window.h"
#include "tools/orv-host/os.h"
#include "tools/orv-host/player.h"
#include "tools/orv-host/session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif

namespace orvhost {
namespace {

constexpr int kProvisionalWidth = 320, kProvisionalHeight = 240;

// Plays a second of the demo signal through the plug-in so that its meters have something to show.
void playSomeAudio(const Plugin& plugin, double rate, int block) {
    std::vector<double> left, right;
    makeDemoSignal(rate, 3.0, left, right);
    BlockRunner runner(plugin, block, false);
    const std::size_t start = static_cast<std::size_t>(2.0 * rate);  // a loud passage
    for (std::size_t pos = start; pos < left.size();) {
        const int n = static_cast<int>(std::min<std::size_t>(block, left.size() - pos));
        std::copy(left.begin() + pos, left.begin() + pos + n, runner.input(0));
        std::copy(right.begin() + pos, right.begin() + pos + n, runner.input(1));
        runner.run(n);
        pos += n;
    }
}

void sleepMilliseconds(int ms) {
#if defined(_WIN32)
    Sleep(static_cast<DWORD>(ms));
#else
    timespec ts{0, static_cast<long>(ms) * 1000000L};
    nanosleep(&ts, nullptr);
#endif
}

}  // namespace

int runEditor(const Options& o) {
    const bool screenshot = !o.png.empty();
    hostContext().printAutomation = !screenshot;
    if (o.listDevices) {
        std::string text, error;
        if (!listAudioDevices(text, error)) {
            fail(error);
            return kDeviceFailureStatus;
        }
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    const bool playing = !o.play.empty() || o.live;
    if (!o.play.empty() && o.live) return fail("--play and --live cannot be given together");
    if (!o.outFile.empty() && !playing) return fail("--out needs --play FILE|demo or --live");
    if (o.loop && o.play.empty()) return fail("--loop needs --play FILE|demo");
    if ((!o.device.empty() || o.buffer || o.startPaused) && !playing)
        return fail("--device, --buffer and --paused need --play FILE|demo or --live");
    // The player is declared after the plug-in, so that on any way out its audio thread has
    // stopped before the plug-in is closed.
    Plugin plugin;
    Player player;
    std::string error;
    int failStatus = 1;
    Options run = o;
    if (playing) {
        if (!player.prepare(o, error, failStatus)) {
            fail(error);
            return failStatus;
        }
        run.rate = player.rate();
        run.block = player.blockSize();
    }
    if (!loadAndPrepare(plugin, run, error)) return fail(error);
    if (!(plugin.effect()->flags & effFlagsHasEditor)) return fail("the plug-in has no editor");
    if (!(plugin.effect()->flags & effFlagsCanReplacing)) return fail("the plug-in cannot process replacing");

    // The editor is opened first and asked for its size afterwards: some plug-ins know their
    // size only once the editor exists. The window starts at a provisional size and takes the
    // editor's as soon as it is known.
    EditorWindow window;
    if (!window.create(kProvisionalWidth, kProvisionalHeight, plugin.stringOf(effGetEffectName), error))
        return fail(error);
    if (screenshot) window.movePointerAway();
    if (o.scale && plugin.dispatch(effVendorSpecific, kEditorScaleRequest, o.scale) != o.scale)
        return fail("--scale: the plug-in cannot draw its editor at another scale");
    if (!plugin.dispatch(effEditOpen, 0, 0, window.parentHandle())) return fail("the plug-in could not open its editor");
    ERect* rect = nullptr;
    if (!plugin.dispatch(effEditGetRect, 0, 0, &rect) || !rect) {
        plugin.dispatch(effEditClose);
        return fail("the plug-in gave no editor size");
    }
    if (!window.resize(rect->right - rect->left, rect->bottom - rect->top, error)) {
        plugin.dispatch(effEditClose);
        return fail(error);
    }
    // A new editor size chosen while the window is open: the window takes it.
    hostContext().sizeWindow = [&window](int width, int height) {
        std::string ignored;
        return window.resize(width, height, ignored);
    };
    struct ForgetWindow {
        ~ForgetWindow() { hostContext().sizeWindow = nullptr; }
    } forgetWindow;
    plugin.dispatch(effMainsChanged, 0, 1);
    if (o.page == "settings") plugin.setParameter(56, 1.0f);  // page switch, routed back to the editor
    if (playing && !player.start(plugin, run, error, failStatus)) {
        plugin.dispatch(effEditClose);
        fail(error);
        return failStatus;
    }

    const double seconds = o.seconds > 0 ? o.seconds : (screenshot ? 1.0 : 1e9);
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    bool audioPlayed = false;
    int status = 0;
    while (std::chrono::steady_clock::now() < until && window.pump() && !interruption()) {
        if (screenshot && !audioPlayed && !playing) {
            playSomeAudio(plugin, run.rate, o.block);
            audioPlayed = true;
        }
        player.service();
        plugin.dispatch(effEditIdle);
        sleepMilliseconds(playing ? 10 : 20);
    }
    // Interrupted (Ctrl-C, SIGTERM): the editor and the plug-in are closed as on any other way
    // out, so the plug-in keeps its settings; a screenshot is not taken.
    if (interruption()) status = interrupted(screenshot ? o.png + " was not written" : "the editor was closed");
    else if (screenshot && !window.capture(o.png, error)) status = fail(error);
    int stopStatus = 0;
    if (!player.stop(error, stopStatus) && status == 0) {
        fail(error);
        status = stopStatus;
    }
    if (playing) plugin.dispatch(effStopProcess);
    plugin.dispatch(effEditClose);
    plugin.dispatch(effMainsChanged, 0, 0);
    window.destroy();
    if (status == 0 && !saveStateIfAsked(plugin, o, error)) return fail(error);
    return status;
}

}  // namespace orvhost

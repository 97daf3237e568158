// orv-host editor: opens a plug-in's editor inside a window of the host's, services it with
// idle calls, and either stays open for a person (parameter changes are printed as the host
// receives them) or writes a screenshot and closes.
#include "tools/orv-host/block_runner.h"
#include "tools/orv-host/commands.h"
#include "tools/orv-host/demo_signal.h"
#include "tools/orv-host/editor_window.h"
#include "tools/orv-host/session.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace orvhost {
namespace {

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

}  // namespace

int runEditor(const Options& o) {
    const bool screenshot = !o.png.empty();
    hostContext().printAutomation = !screenshot;
    Plugin plugin;
    std::string error;
    if (!loadAndPrepare(plugin, o, error)) return fail(error);
    if (!(plugin.effect()->flags & effFlagsHasEditor)) return fail("the plug-in has no editor");

    ERect* rect = nullptr;
    if (!plugin.dispatch(effEditGetRect, 0, 0, &rect) || !rect) return fail("the plug-in gave no editor size");
    const int width = rect->right - rect->left, height = rect->bottom - rect->top;

    EditorWindow window;
    if (!window.create(width, height, plugin.stringOf(effGetEffectName), error)) return fail(error);
    if (!plugin.dispatch(effEditOpen, 0, 0, window.parentHandle())) return fail("the plug-in could not open its editor");
    plugin.dispatch(effMainsChanged, 0, 1);
    if (o.page == "settings") plugin.setParameter(56, 1.0f);  // page switch, routed back to the editor

    const double seconds = o.seconds > 0 ? o.seconds : (screenshot ? 1.0 : 1e9);
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    bool audioPlayed = false;
    while (std::chrono::steady_clock::now() < until && window.pump()) {
        if (screenshot && !audioPlayed) {
            playSomeAudio(plugin, o.rate, o.block);
            audioPlayed = true;
        }
        plugin.dispatch(effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    int status = 0;
    if (screenshot && !window.capture(o.png, error)) status = fail(error);
    plugin.dispatch(effEditClose);
    plugin.dispatch(effMainsChanged, 0, 0);
    window.destroy();
    if (status == 0 && !saveStateIfAsked(plugin, o, error)) return fail(error);
    return status;
}

}  // namespace orvhost

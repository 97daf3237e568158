// orv-host bench: CPU cost of a plug-in on a deterministic signal.
#include "tools/orv-host/block_runner.h"
#include "tools/orv-host/commands.h"
#include "tools/orv-host/demo_signal.h"
#include "tools/orv-host/os.h"
#include "tools/orv-host/session.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace orvhost {

int runBench(const Options& o) {
    Plugin plugin;
    std::string error;
    if (!loadAndPrepare(plugin, o, error)) return fail(error);
    if (o.useDouble && !(plugin.effect()->flags & effFlagsCanDoubleReplacing))
        return fail("the plug-in does not process 64-bit audio (--double)");
    plugin.dispatch(effMainsChanged, 0, 1);

    const double seconds = o.seconds > 0 ? o.seconds : 10.0;
    // The first `warmup` seconds of the signal are processed unmeasured, so that envelopes,
    // filters and caches have settled; the rest is the measured part, processed `repeat` times.
    // The signal is made a stretch at a time outside the measured time, so memory stays small
    // for any length and rate.
    const std::size_t warmupFrames = static_cast<std::size_t>(o.warmup * o.rate);
    const std::size_t frames = static_cast<std::size_t>(seconds * o.rate);
    if (frames == 0) return fail("nothing to measure (--seconds too short)");
    constexpr std::size_t kStretch = 1 << 16;
    std::vector<double> left(kStretch), right(kStretch);
    BlockRunner runner(plugin, o.block, o.useDouble);
    BenchSignal signal(o.rate);
    // Processes `count` frames of `signal`; returns the CPU seconds of the processing alone.
    auto processFrames = [&](BenchSignal& from, std::size_t count, bool measured) {
        double cpu = 0.0;
        for (std::size_t done = 0; done < count;) {
            const std::size_t stretch = std::min(kStretch, count - done);
            from.fill(left.data(), right.data(), stretch);
            const double start = threadCpuSeconds();
            for (std::size_t pos = 0; pos < stretch;) {
                const int n = static_cast<int>(std::min<std::size_t>(o.block, stretch - pos));
                std::copy(left.begin() + pos, left.begin() + pos + n, runner.input(0));
                std::copy(right.begin() + pos, right.begin() + pos + n, runner.input(1));
                runner.run(n, measured);
                pos += n;
            }
            cpu += threadCpuSeconds() - start;
            done += stretch;
        }
        return cpu;
    };
    processFrames(signal, warmupFrames, false);

    // Input conversion happens inside the timed loop for both precisions alike; it is a small,
    // constant share next to any real plug-in.
    std::vector<double> perRepeat;
    for (int r = 0; r < o.repeat; ++r) {
        BenchSignal measuredPart = signal;
        perRepeat.push_back(processFrames(measuredPart, frames, true));
    }
    plugin.dispatch(effMainsChanged, 0, 0);

    std::sort(perRepeat.begin(), perRepeat.end());
    const double best = perRepeat.front();
    const double median = perRepeat[perRepeat.size() / 2];
    const double nsMin = 1e9 * best / static_cast<double>(frames);
    const double nsMedian = 1e9 * median / static_cast<double>(frames);
    std::printf("plug-in      %s\n", plugin.path().c_str());
    std::printf("signal       %.1f s at %.0f Hz after %.1f s warm-up, blocks of %d, %s, %d repeats\n", seconds,
                o.rate, o.warmup, o.block, o.useDouble ? "64-bit" : "32-bit", o.repeat);
    std::printf("cpu          %.3f ms per second of audio (min), %.3f ms (median)\n", 1000.0 * best / seconds,
                1000.0 * median / seconds);
    std::printf("code path    %s\n", codePathName(plugin));
    std::printf("realtime     %.1fx (min), %.1fx (median)\n", seconds / best, seconds / median);
    std::printf("per frame    %.1f ns (min), %.1f ns (median)\n", nsMin, nsMedian);
    std::printf("bench-result ns_min=%.2f ns_median=%.2f realtime_min=%.1f frames=%llu repeats=%d\n", nsMin,
                nsMedian, seconds / best, static_cast<unsigned long long>(frames), o.repeat);
    return 0;
}

}  // namespace orvhost

#include "tools/orv-host/progress.h"

#include "tools/orv-host/os.h"

#include <algorithm>
#include <cstdio>

namespace orvhost {

namespace {
constexpr double kShortAudioSeconds = 5.0;  // shorter files finish before a bar is worth it
constexpr double kRedrawSeconds = 0.1;
}  // namespace

ProgressBar::ProgressBar(long long totalFrames, double sampleRate, bool terminal)
    : total(totalFrames > 0 ? totalFrames : 0), rate(sampleRate > 0 ? sampleRate : 44100.0) {
    enabled = terminal && (total == 0 || static_cast<double>(total) / rate > kShortAudioSeconds);
    start = wallSeconds();
}

void ProgressBar::update(long long done) {
    if (!enabled) return;
    lastDone = done;
    const double now = wallSeconds();
    if (lastDraw >= 0.0 && now - lastDraw < kRedrawSeconds) return;
    lastDraw = now;
    const double elapsed = std::max(now - start, 1e-6);
    const double audioSeconds = static_cast<double>(done) / rate;
    const double speed = audioSeconds / elapsed;
    if (total > 0) {
        const double fraction = std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
        const int width = 30;
        const int filled = static_cast<int>(fraction * width);
        const double left = speed > 0 ? std::max(0.0, (static_cast<double>(total - done) / rate) / speed) : 0.0;
        const int leftSeconds = static_cast<int>(left + 0.5);
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%  %6.1fx realtime  %d:%02d left ", filled,
                     "##############################", width - filled, "", static_cast<int>(fraction * 100.0),
                     speed, leftSeconds / 60, leftSeconds % 60);
    } else {
        const int s = static_cast<int>(audioSeconds);
        std::fprintf(stderr, "\r%d:%02d of audio  %6.1fx realtime ", s / 60, s % 60, speed);
    }
    std::fflush(stderr);
    drawn = true;
}

void ProgressBar::finish() {
    if (!drawn) return;
    lastDraw = -1.0;
    update(total > 0 ? total : lastDone);
    std::fputc('\n', stderr);
    drawn = false;
}

}  // namespace orvhost

#pragma once
// A progress bar on standard error for long runs: percentage, speed against real time and the
// time left. Shown only when standard error is a terminal and the audio is longer than a few
// seconds, so logs and pipes stay clean.
#include <cstddef>

namespace orvhost {

class ProgressBar {
public:
    // `totalFrames` may be 0 when the length is unknown (the bar then shows time and speed only).
    ProgressBar(long long totalFrames, double sampleRate, bool terminal);
    void update(long long doneFrames);
    // Ends the line of a bar that was shown.
    void finish();
    bool shown() const { return drawn; }

private:
    long long total;
    double rate;
    bool enabled;
    bool drawn = false;
    long long lastDone = 0;
    double start = 0.0, lastDraw = -1.0;
};

}  // namespace orvhost

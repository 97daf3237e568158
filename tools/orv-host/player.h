#pragma once
// Audio played through a plug-in in real time while its editor is open, as a host's audio
// engine plays it: a file or the demo signal (--play, repeated with --loop) or the device's
// input (--live) goes through the plug-in to the sound card, and --out records it. Three
// threads take part: the device's audio callback runs the plug-in (PlaybackEngine), a disk
// thread reads the source ahead and writes the recording (SourceFeeder, PlaybackRecorder)
// through lock-free rings, and the interface thread calls service() for the keys, the status
// line and the device's health.
//
// With no sound card at all (and no --device or --live asked for) the audio still runs through
// the plug-in at the pace of real time, on a clock thread of the host's own, so the meters move
// and --out is written. Where there are no threads (the Windows build) service() does the
// reading, the due blocks and the writing on the interface thread.
#include "tools/orv-host/options.h"
#include "tools/orv-host/plugin.h"

#include <memory>
#include <string>

namespace orvhost {

class Player {
public:
    Player();
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Opens the source and chooses the device; afterwards the plug-in must be prepared at
    // rate() and blockSize(). False with a one-line reason and the exit status to give.
    bool prepare(const Options& options, std::string& error, int& status);
    double rate() const;
    int blockSize() const;
    // Opens the output file (--out, may be empty) and starts playing through the prepared plug-in.
    bool start(const Plugin& plugin, const Options& options, std::string& error, int& status);
    // On the interface thread, every round of its loop: keys, status line, device health.
    void service();
    // Stops playing, reports underruns and completes the output file. False with a reason and
    // the exit status when the run did not go as asked (the device went away, the file failed).
    bool stop(std::string& error, int& status);

    struct State;

private:
    std::unique_ptr<State> state;
};

}  // namespace orvhost

#pragma once
// Audio played through a plug-in at the pace of real time while its editor is open, so that its
// meters move as in a host. The source is a file or the demo signal; what comes out is
// discarded or written to a file. On Linux the audio runs on a thread of the host's own, as a
// host's audio engine does; where there are no threads (the Windows build) the idle loop calls
// service() and the blocks that are due are processed there.
#include "tools/orv-host/audio_file.h"
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

    // Opens the source named by --play ("demo" or a file); the plug-in must run at rate().
    bool openSource(const std::string& play, double demoRate, std::string& error);
    double rate() const;
    // Opens the output (--out, may be empty) and starts playing through the prepared plug-in.
    bool start(const Plugin& plugin, const Options& options, std::string& error);
    // Processes the blocks that are due (only needed where there is no audio thread).
    void service();
    // Stops playing and completes the output file.
    bool stop(std::string& error);

    struct State;

private:
    std::unique_ptr<State> state;
};

}  // namespace orvhost

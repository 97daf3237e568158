#pragma once
// The terminal while audio plays: keys typed (space pauses and resumes) and one status line
// redrawn in place on standard error when it is a terminal. A terminal on standard input is
// put in single-key mode without echo for the console's lifetime and restored after; keys also
// arrive from a pipe, so a script can pause and resume.
#include <string>

namespace orvhost {

class PlaybackConsole {
public:
    PlaybackConsole();
    ~PlaybackConsole();
    PlaybackConsole(const PlaybackConsole&) = delete;
    PlaybackConsole& operator=(const PlaybackConsole&) = delete;

    // Spaces typed since the last call (other keys are ignored); never waits.
    int takeSpaces();
    bool showsStatus() const { return statusShown; }
    // Redraws the status line (only on a terminal).
    void status(const std::string& line);
    // Ends the status line, so that messages start on a line of their own.
    void endStatus();

private:
    bool statusShown = false;
    bool drawn = false;
    int lastLength = 0;
    bool inputOpen = true;
    bool restore = false;
    struct Saved;
    Saved* saved = nullptr;
};

}  // namespace orvhost

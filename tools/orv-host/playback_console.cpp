#include "tools/orv-host/playback_console.h"

#include "tools/orv-host/os.h"

#include <cstdio>

#if defined(_WIN32)
#include <conio.h>
#include <io.h>
#else
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace orvhost {

struct PlaybackConsole::Saved {
#if !defined(_WIN32)
    termios mode;
#endif
};

namespace {
#if !defined(_WIN32)
// A terminal on standard input that this process may use: one it runs in the foreground of (a
// background job that touches its terminal is stopped by the system).
bool foregroundTerminal() { return isatty(0) && tcgetpgrp(0) == getpgrp(); }
#endif
}  // namespace

PlaybackConsole::PlaybackConsole() : statusShown(stderrIsTerminal()) {
#if !defined(_WIN32)
    if (foregroundTerminal()) {
        saved = new Saved;
        if (tcgetattr(0, &saved->mode) == 0) {
            termios raw = saved->mode;
            raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));  // Ctrl-C still interrupts
            raw.c_cc[VMIN] = 0;
            raw.c_cc[VTIME] = 0;
            restore = tcsetattr(0, TCSANOW, &raw) == 0;
        }
    }
#endif
}

PlaybackConsole::~PlaybackConsole() {
    endStatus();
#if !defined(_WIN32)
    if (restore) tcsetattr(0, TCSANOW, &saved->mode);
#endif
    delete saved;
}

int PlaybackConsole::takeSpaces() {
    int spaces = 0;
#if defined(_WIN32)
    if (_isatty(0))
        while (_kbhit())
            if (_getch() == ' ') ++spaces;
#else
    const bool terminal = isatty(0);
    while (inputOpen && (!terminal || foregroundTerminal())) {
        pollfd p{0, POLLIN, 0};
        if (poll(&p, 1, 0) <= 0 || !(p.revents & (POLLIN | POLLHUP))) break;
        char keys[64];
        const ssize_t n = read(0, keys, sizeof keys);
        if (n <= 0) {
            inputOpen = false;  // end of a pipe or of /dev/null: no more keys
            break;
        }
        for (ssize_t i = 0; i < n; ++i)
            if (keys[i] == ' ') ++spaces;
    }
#endif
    return spaces;
}

void PlaybackConsole::status(const std::string& line) {
    if (!statusShown) return;
    // Spaces over what is left of a longer line before (no terminal control codes, which not
    // every Windows console knows).
    const int pad = lastLength > static_cast<int>(line.size()) ? lastLength - static_cast<int>(line.size()) : 0;
    std::fprintf(stderr, "\r%s%*s", line.c_str(), pad, "");
    lastLength = static_cast<int>(line.size());
    std::fflush(stderr);
    drawn = true;
}

void PlaybackConsole::endStatus() {
    if (!drawn) return;
    std::fputc('\n', stderr);
    drawn = false;
    lastLength = 0;
}

}  // namespace orvhost

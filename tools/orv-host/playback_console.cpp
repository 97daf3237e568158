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

PlaybackConsole::PlaybackConsole() : statusShown(stderrIsTerminal()) {
#if !defined(_WIN32)
    if (isatty(0)) {
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
    while (inputOpen) {
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
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    drawn = true;
}

void PlaybackConsole::endStatus() {
    if (!drawn) return;
    std::fputc('\n', stderr);
    drawn = false;
}

}  // namespace orvhost

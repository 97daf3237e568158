#pragma once
// A child process a test steps through one byte at a time: the child runs a body given the two
// pipe ends it talks to the parent over; the parent reads its replies and sends it signals.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace orvtest {

class ChildProcess {
public:
    // The child's ends of the pipes. The body's return value is the child's exit status; a body
    // may also leave through _exit.
    struct Link {
        int fromParent;
        int toParent;
        bool send(char c) const { return write(toParent, &c, 1) == 1; }
        bool receive(char& c) const { return read(fromParent, &c, 1) == 1; }
    };

    explicit ChildProcess(const std::function<int(const Link&)>& body) {
        int down[2], up[2];
        if (pipe(down) != 0) return;
        if (pipe(up) != 0) {
            close(down[0]);
            close(down[1]);
            return;
        }
        pid = fork();
        if (pid == 0) {
            close(down[1]);
            close(up[0]);
            _exit(body(Link{down[0], up[1]}));
        }
        close(down[0]);
        close(up[1]);
        if (pid < 0) {
            close(down[1]);
            close(up[0]);
            return;
        }
        toChild = down[1];
        fromChild = up[0];
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Closing the pipes tells a child still waiting for a signal to give up; then it is reaped.
    ~ChildProcess() {
        if (toChild >= 0) close(toChild);
        if (fromChild >= 0) close(fromChild);
        if (pid > 0) waitpid(pid, nullptr, 0);
    }

    bool started() const { return pid > 0; }
    // The next byte from the child, or 0 when none came within the time (or the child is gone).
    char reply(int timeoutMs = 20000) {
        if (fromChild < 0) return 0;
        pollfd p{fromChild, POLLIN, 0};
        char c = 0;
        if (poll(&p, 1, timeoutMs) == 1 && read(fromChild, &c, 1) == 1) return c;
        return 0;
    }
    bool signal(char c) { return toChild >= 0 && write(toChild, &c, 1) == 1; }
    // Sends a signal and waits for the given reply.
    bool signalAndAwait(char c, char expected) { return signal(c) && reply() == expected; }

    pid_t pid = -1;

private:
    int toChild = -1, fromChild = -1;
};

}  // namespace orvtest

#pragma once
// A private Xvfb for a test suite: started when Xvfb is installed, with DISPLAY pointed at it
// for the suite's lifetime; otherwise the caller's own DISPLAY (if any) is used.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace orvtest {

class PrivateXServer {
public:
    // Starts a server with a screen of the given size; true when DISPLAY now names a server.
    bool start(const char* screen = "640x480x24") {
        if (access("/usr/bin/Xvfb", X_OK) == 0) {
            for (int n = 90 + getpid() % 200; n < 400 && serverPid == 0; n += 7) {
                const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
                const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
                if (access(socket.c_str(), F_OK) == 0 || access(lock.c_str(), F_OK) == 0) continue;
                const std::string display = ":" + std::to_string(n);
                const char* argv[] = {"/usr/bin/Xvfb", display.c_str(), "-nolisten", "tcp", "-screen", "0", screen,
                                      nullptr};
                pid_t pid = 0;
                if (posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) != 0) break;
                for (int i = 0; i < 100 && access(socket.c_str(), F_OK) != 0; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                if (access(socket.c_str(), F_OK) != 0) {
                    kill(pid, SIGTERM);
                    waitpid(pid, nullptr, 0);
                    continue;
                }
                serverPid = pid;
                savedDisplay = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
                setenv("DISPLAY", display.c_str(), 1);
            }
        }
        return std::getenv("DISPLAY") != nullptr;
    }

    void stop() {
        if (!serverPid) return;
        kill(serverPid, SIGTERM);
        waitpid(serverPid, nullptr, 0);
        serverPid = 0;
        if (savedDisplay.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", savedDisplay.c_str(), 1);
    }

    ~PrivateXServer() { stop(); }

private:
    pid_t serverPid = 0;
    std::string savedDisplay;
};

}  // namespace orvtest

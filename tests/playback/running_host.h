#pragma once
// orv-host run in the background by a playback test: its standard input is a pipe the test
// types keys into, its output (standard output and error together) is collected in a file
// and read once it has ended.
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace playtest {

class RunningHost {
public:
    // Starts `orv-host ARGS` with the given environment variables set as well.
    RunningHost(const std::vector<std::string>& args, const std::string& outputFile,
                const std::vector<std::pair<std::string, std::string>>& environment = {})
        : outputPath(outputFile) {
        int keys[2];
        if (pipe(keys) != 0) return;
        startTime = std::chrono::steady_clock::now();
        pid = fork();
        if (pid == 0) {
            for (const auto& e : environment) setenv(e.first.c_str(), e.second.c_str(), 1);
            dup2(keys[0], 0);
            close(keys[0]);
            close(keys[1]);
            const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(out, 2);
            std::vector<std::string> all = {ORV_HOST_PATH};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (std::string& a : all) argv.push_back(&a[0]);
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(keys[0]);
        keysFd = keys[1];
    }
    ~RunningHost() {
        if (pid > 0 && !ended) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (keysFd >= 0) close(keysFd);
    }
    RunningHost(const RunningHost&) = delete;
    RunningHost& operator=(const RunningHost&) = delete;

    long processId() const { return pid; }
    bool type(const std::string& keys) { return keysFd >= 0 && write(keysFd, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size()); }

    // Waits for the end (killing it after `seconds`); its exit status, -1 when it had to be killed.
    int wait(double seconds) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!ended) {
            int raw = 0;
            const pid_t got = waitpid(pid, &raw, WNOHANG);
            if (got == pid) {
                ended = true;
                status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
                runSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime).count();
                break;
            }
            if (std::chrono::steady_clock::now() > until) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
                ended = true;
                status = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return status;
    }
    double seconds() const { return runSeconds; }
    std::string output() const {
        std::ifstream in(outputPath);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string outputPath;
    pid_t pid = -1;
    int keysFd = -1;
    bool ended = false;
    int status = -1;
    double runSeconds = 0.0;
    std::chrono::steady_clock::time_point startTime;
};

}  // namespace playtest

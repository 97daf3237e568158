#pragma once
// JACK servers on the dummy driver for the playback tests: the one CI started (named by
// JACK_DEFAULT_SERVER) when it runs, else one of the test's own; and private ones a test can
// stop under a running orv-host.
#include <jack/jack.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace playtest {

// True when a server of that name answers this process. The JACK library keeps to one server
// per process once it has talked to one: servers other than the probe's are asked through
// jack_lsp (see serverAnswersAlone).
inline bool jackServerAnswers(const std::string& name) {
    jack_status_t status;
    jack_client_t* c = jack_client_open("orv-probe-check", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                        &status, name.c_str());
    if (!c) return false;
    jack_client_close(c);
    return true;
}

// True when `jack_lsp -s NAME` (a process of its own) reaches the server.
inline bool serverAnswersAlone(const std::string& name) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl("/usr/bin/jack_lsp", "jack_lsp", "-s", name.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int raw = 0;
    return pid > 0 && waitpid(pid, &raw, 0) == pid && WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
}

inline void quietJack() {
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
}

// Why servers get names from a short fixed list: every JACK server of a user takes a place
// in the machine's JACK registry, which holds eight and keeps the place of a server that was
// killed before it could give it back, until a server of the same name starts again. A name
// with a process id in it would leave a new dead place after every such kill, and after eight
// no server starts at all ("too many servers"); a fixed name takes its old place back.
class JackServer {
public:
    // jackd's own output goes to `logPath`, for when it does not start.
    explicit JackServer(std::string logPath) : logFile(std::move(logPath)) {}

    // Starts `jackd -n BASE-k -d dummy` at `rate` (extra server options before -d) under the
    // first k of 1..4 that no running server has (another run's); true once it answers (this
    // process when `askHere`, else jack_lsp). When it does not start, why() tells what jackd said.
    bool start(const std::string& base, int rate, const std::vector<std::string>& serverOptions = {},
               bool askHere = false) {
        if (access("/usr/bin/jackd", X_OK) != 0 || access("/usr/bin/jack_lsp", X_OK) != 0) {
            reason = "jackd or jack_lsp is not installed";
            return false;
        }
        for (int k = 1; k <= 4; ++k) {
            const std::string candidate = base + "-" + std::to_string(k);
            if (!serverAnswersAlone(candidate)) return launch(candidate, rate, serverOptions, askHere);
        }
        reason = "servers " + base + "-1 to -4 are all running";
        return false;
    }
    // Ends the server (as a device that goes away), letting it give its registry place back.
    void stop() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = 0;
    }
    ~JackServer() { stop(); }
    const std::string& serverName() const { return name; }
    const std::string& why() const { return reason; }

private:
    bool launch(const std::string& serverName, int rate, const std::vector<std::string>& serverOptions, bool askHere) {
        name = serverName;
        std::vector<std::string> args = {"/usr/bin/jackd", "-n", name, "--no-realtime"};
        args.insert(args.end(), serverOptions.begin(), serverOptions.end());
        for (const char* a : {"-d", "dummy", "-r"}) args.push_back(a);
        args.push_back(std::to_string(rate));
        args.push_back("-p");
        args.push_back("1024");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        pid = fork();
        if (pid == 0) {
            const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int null = open("/dev/null", O_RDONLY);
            dup2(null, 0);
            dup2(log >= 0 ? log : null, 1);
            dup2(log >= 0 ? log : null, 2);
            execv(argv[0], argv.data());
            _exit(127);
        }
        if (pid < 0) {
            pid = 0;
            reason = "fork failed";
            return false;
        }
        for (int i = 0; i < 100; ++i) {
            if (askHere ? jackServerAnswers(name) : serverAnswersAlone(name)) return true;
            int raw = 0;
            if (waitpid(pid, &raw, WNOHANG) == pid) {  // jackd gave up: say why
                pid = 0;
                reason = "jackd -n " + name + " ended at once:\n" + readLog();
                return false;
            }
            usleep(50000);
        }
        stop();
        reason = "jackd -n " + name + " did not answer within 5 s:\n" + readLog();
        return false;
    }
    std::string readLog() const {
        std::string text;
        if (FILE* f = std::fopen(logFile.c_str(), "r")) {
            char buffer[4096];
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
            std::fclose(f);
        }
        return text;
    }

    pid_t pid = 0;
    std::string name;
    std::string logFile;
    std::string reason;
};

}  // namespace playtest

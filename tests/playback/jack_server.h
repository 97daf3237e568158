#pragma once
// JACK servers on the dummy driver for the playback tests: the one CI started (named by
// JACK_DEFAULT_SERVER) when it runs, else one of the test's own; and private ones a test can
// stop under a running orv-host.
#include <jack/jack.h>

#include <csignal>
#include <cstdlib>
#include <string>
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

class JackServer {
public:
    // Starts `jackd -n NAME -d dummy` at `rate` (extra server options before -d); true once it
    // answers (this process when `askHere`, else jack_lsp).
    bool start(const std::string& serverName, int rate, const std::vector<std::string>& serverOptions = {},
               bool askHere = false) {
        if (access("/usr/bin/jackd", X_OK) != 0 || access("/usr/bin/jack_lsp", X_OK) != 0) return false;
        name = serverName;
        pid = fork();
        if (pid == 0) {
            std::vector<std::string> args = {"/usr/bin/jackd", "-n", name, "--no-realtime"};
            args.insert(args.end(), serverOptions.begin(), serverOptions.end());
            for (const char* a : {"-d", "dummy", "-r"}) args.push_back(a);
            args.push_back(std::to_string(rate));
            args.push_back("-p");
            args.push_back("1024");
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(&a[0]);
            argv.push_back(nullptr);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execv(argv[0], argv.data());
            _exit(127);
        }
        for (int i = 0; i < 100; ++i) {
            if (askHere ? jackServerAnswers(name) : serverAnswersAlone(name)) return true;
            usleep(50000);
        }
        stop();
        return false;
    }
    // Ends the server (as a device that goes away).
    void stop() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = 0;
    }
    ~JackServer() { stop(); }
    const std::string& serverName() const { return name; }

private:
    pid_t pid = 0;
    std::string name;
};

}  // namespace playtest

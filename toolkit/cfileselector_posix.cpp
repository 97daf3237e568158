// The system file dialog on Linux: zenity or, failing that, kdialog, run without a shell as a
// child process in a process group of its own. Its answer comes through a pipe that is read
// without blocking; ending the dialog stops the whole group and reaps the child, so that no
// dialog outlives its editor and no zombie is left. No thread is started.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "toolkit/cfileselector.h"

extern char** environ;

namespace toolkit {
namespace {

// Full path of `program` found along PATH, or empty.
std::string findProgram(const char* program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start);
        if (!candidate.empty()) {
            candidate += '/';
            candidate += program;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return {};
}

std::vector<std::string> splitLines(const std::string& text, char separator) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(std::string(1, separator) + "\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string startPath(const CNewFileSelector::Request& r) {
    std::string path = r.initialDirectory;
    if (path.empty()) {
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd)) path = cwd;
    }
    if (!path.empty() && path.back() != '/') path += '/';
    if (r.style == CNewFileSelector::kSelectSaveFile) path += r.defaultSaveName;
    return path;
}

// The dialog's arguments: zenity's or kdialog's, or none when neither is installed.
std::vector<std::string> dialogCommand(const CNewFileSelector::Request& r) {
    using Selector = CNewFileSelector;
    std::vector<std::string> argv;
    if (std::string zenity = findProgram("zenity"); !zenity.empty()) {
        argv = {zenity, "--file-selection", "--title=" + r.title, "--filename=" + startPath(r)};
        if (r.style == Selector::kSelectSaveFile) {
            argv.push_back("--save");
            argv.push_back("--confirm-overwrite");
        }
        if (r.style == Selector::kSelectDirectory) argv.push_back("--directory");
        if (r.multipleSelection && r.style == Selector::kSelectFile) {
            argv.push_back("--multiple");
            argv.push_back("--separator=\n");
        }
        for (const CFileExtension& e : r.extensions)
            argv.push_back("--file-filter=" + e.getDescription() + " | *." + e.getExtension());
    } else if (std::string kdialog = findProgram("kdialog"); !kdialog.empty()) {
        const char* mode = r.style == Selector::kSelectSaveFile    ? "--getsavefilename"
                           : r.style == Selector::kSelectDirectory ? "--getexistingdirectory"
                                                                   : "--getopenfilename";
        argv = {kdialog, "--title", r.title, mode, startPath(r)};
        if (r.style != Selector::kSelectDirectory && !r.extensions.empty()) {
            std::string filter;
            for (const CFileExtension& e : r.extensions) {
                if (!filter.empty()) filter += '\n';
                filter += "*." + e.getExtension() + "|" + e.getDescription();
            }
            argv.push_back(filter);
        }
        if (r.multipleSelection && r.style == Selector::kSelectFile) {
            argv.push_back("--multiple");
            argv.push_back("--separate-output");
        }
    }
    return argv;
}

// More than any list of chosen paths needs; a program that writes on is cut off here.
constexpr std::size_t kMaxAnswer = 1 << 20;

}  // namespace

struct CNewFileSelector::Process {
    pid_t pid = -1;
    int pipe = -1;
    std::string output;
    bool reaped = false;
    bool succeeded = false;
};

CNewFileSelector::Progress CNewFileSelector::startSystemDialog() {
    const std::vector<std::string> argv = dialogCommand(request);
    if (argv.empty()) {
        std::fprintf(stderr,
                     "No file dialog program was found. Install the package \"zenity\" (or \"kdialog\") "
                     "to choose files here.\n");
        return kUnavailable;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return kCancelled;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    // The dialog gets a group of its own (so that it can be ended with whatever it starts),
    // no blocked signals, and the usual handling of the signals that end it, whatever the
    // host has set for itself.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD}) sigaddset(&defaults, sig);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[1]);
    if (rc != 0) {
        std::fprintf(stderr, "The file dialog %s could not be started: %s\n", argv[0].c_str(), std::strerror(rc));
        close(fds[0]);
        return kCancelled;
    }
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    process = new Process;
    process->pid = pid;
    process->pipe = fds[0];
    return kRunning;
}

CNewFileSelector::Progress CNewFileSelector::pollSystemDialog(int waitMs) {
    if (!process) return progress;
    Process& p = *process;
    if (p.pipe >= 0 && waitMs > 0) {
        pollfd ready{p.pipe, POLLIN, 0};
        ::poll(&ready, 1, waitMs);
    }
    // Reaped first, read after: what the program wrote before it exited is then all in the
    // pipe, even if a helper it left running keeps the pipe open.
    if (!p.reaped) {
        int status = 0;
        const pid_t r = waitpid(p.pid, &status, WNOHANG);
        if (r == p.pid) {
            p.reaped = true;
            p.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        } else if (r < 0 && errno == ECHILD) {
            // The host reaps its children itself: the exit status is unknown, the answer tells.
            p.reaped = true;
            p.succeeded = true;
        }
    }
    while (p.pipe >= 0) {
        char buffer[4096];
        const ssize_t n = read(p.pipe, buffer, sizeof buffer);
        if (n > 0) {
            if (p.output.size() < kMaxAnswer) p.output.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    if (!p.reaped) return kRunning;
    const std::string answer = p.succeeded ? p.output : std::string();
    endSystemDialog();
    finish(splitLines(answer, '\n'));
    return progress;
}

void CNewFileSelector::endSystemDialog() {
    if (!process) return;
    Process& p = *process;
    if (!p.reaped && p.pid > 0) {
        kill(-p.pid, SIGTERM);
        kill(p.pid, SIGTERM);
        // A moment to go quietly, then by force; either way the child is reaped here.
        for (int i = 0; i < 20 && !p.reaped; ++i) {
            const pid_t r = waitpid(p.pid, nullptr, WNOHANG);
            if (r == p.pid || (r < 0 && errno == ECHILD)) p.reaped = true;
            else std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!p.reaped) {
            kill(-p.pid, SIGKILL);
            kill(p.pid, SIGKILL);
            while (waitpid(p.pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }
    // Whatever the program left running in its group goes with it.
    if (p.pid > 0) kill(-p.pid, SIGKILL);
    if (p.pipe >= 0) close(p.pipe);
    delete process;
    process = nullptr;
}

}  // namespace toolkit

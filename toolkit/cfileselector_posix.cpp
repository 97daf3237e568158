// The system file dialog on Linux: zenity or, failing that, kdialog, run without a shell.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

// Runs `argv` without a shell and returns what it wrote to its standard output; `ok` tells
// whether it exited with status 0.
std::string runAndCapture(const std::vector<std::string>& argv, bool& ok) {
    ok = false;
    int fds[2];
    if (pipe(fds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string out;
    if (rc == 0) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n > 0) out.append(buffer, static_cast<size_t>(n));
            else if (n < 0 && errno == EINTR) continue;
            else break;
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    close(fds[0]);
    return out;
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

}  // namespace

std::vector<std::string> CNewFileSelector::runSystemDialog(const Request& r) {
    std::vector<std::string> argv;
    char separator = '\n';
    if (std::string zenity = findProgram("zenity"); !zenity.empty()) {
        argv = {zenity, "--file-selection", "--title=" + r.title, "--filename=" + startPath(r)};
        if (r.style == kSelectSaveFile) {
            argv.push_back("--save");
            argv.push_back("--confirm-overwrite");
        }
        if (r.style == kSelectDirectory) argv.push_back("--directory");
        if (r.multipleSelection && r.style == kSelectFile) {
            argv.push_back("--multiple");
            argv.push_back("--separator=\n");
        }
        for (const CFileExtension& e : r.extensions)
            argv.push_back("--file-filter=" + e.getDescription() + " | *." + e.getExtension());
    } else if (std::string kdialog = findProgram("kdialog"); !kdialog.empty()) {
        const char* mode = r.style == kSelectSaveFile    ? "--getsavefilename"
                           : r.style == kSelectDirectory ? "--getexistingdirectory"
                                                         : "--getopenfilename";
        argv = {kdialog, "--title", r.title, mode, startPath(r)};
        if (r.style != kSelectDirectory && !r.extensions.empty()) {
            std::string filter;
            for (const CFileExtension& e : r.extensions) {
                if (!filter.empty()) filter += '\n';
                filter += "*." + e.getExtension() + "|" + e.getDescription();
            }
            argv.push_back(filter);
        }
        if (r.multipleSelection && r.style == kSelectFile) {
            argv.push_back("--multiple");
            argv.push_back("--separate-output");
        }
    } else {
        return {};
    }
    bool ok = false;
    const std::string out = runAndCapture(argv, ok);
    if (!ok) return {};
    return splitLines(out, separator);
}

}  // namespace toolkit

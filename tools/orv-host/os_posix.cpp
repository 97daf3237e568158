#include "tools/orv-host/os.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <csignal>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvhost {

const char kPluginSuffix[] = ".so";

void* openLibrary(const std::string& path, std::string& error) {
    // dlopen searches the library path for a bare name; a file in the current folder needs "./".
    std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* library = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        error = "cannot load " + path + ": " + (why ? why : "unknown reason");
    }
    return library;
}

void* librarySymbol(void* library, const char* name) { return library ? dlsym(library, name) : nullptr; }

void closeLibrary(void* library) {
    if (library) dlclose(library);
}

long processId() { return static_cast<long>(getpid()); }

std::string executableFolder() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    buf[n] = 0;
    std::string path(buf);
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

PathKind pathKind(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return PathKind::Missing;
    if (S_ISREG(st.st_mode)) return PathKind::Regular;
    if (S_ISDIR(st.st_mode)) return PathKind::Folder;
    return PathKind::Other;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool canWriteExisting(const std::string& path) { return access(path.c_str(), W_OK) == 0; }

std::string followLinks(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string out(real);
    std::free(real);
    return out;
}

std::string lastSystemError() { return std::strerror(errno); }

double wallSeconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

bool replaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

double threadCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

bool stderrIsTerminal() { return isatty(2); }

namespace {
volatile std::sig_atomic_t noted = 0;

void noteInterruption(int signal) { noted = signal; }
}  // namespace

void catchInterruptions() {
    struct sigaction action {};
    action.sa_handler = noteInterruption;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting on a pipe returns, so the command gets to see the note.
    // SA_RESETHAND: a second signal takes its default course and ends the program.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int interruption() { return noted; }

}  // namespace orvhost

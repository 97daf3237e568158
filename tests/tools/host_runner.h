#pragma once
// Runs orv-host as a person does from a shell, for the tests: exit status, everything it
// printed, and the most memory it held.
#include <sndfile.h>

#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace orvtest {

struct HostRun {
    int status = -1;
    std::string out;     // standard output and standard error together
    long maxRssKb = 0;   // the child's peak resident memory
};

// Runs `orv-host ARGS` through the shell (so ARGS may quote); standard error is folded in.
inline HostRun host(const std::string& args) {
    HostRun r;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return r;
    const std::string command = std::string(ORV_HOST_PATH) + " " + args + " 2>&1";
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], 1);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buf, sizeof buf)) > 0) r.out.append(buf, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int raw = 0;
    struct rusage usage {};
    if (wait4(pid, &raw, 0, &usage) == pid) {
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + (WIFSIGNALED(raw) ? WTERMSIG(raw) : 0);
        r.maxRssKb = usage.ru_maxrss;
    }
    return r;
}

inline bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// Whether an unfinished output of `path` was left beside it (NAME.partial-PID).
inline bool partialLeft(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string prefix = path.substr(slash == std::string::npos ? 0 : slash + 1) + ".partial";
    bool found = false;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name).compare(0, prefix.size(), prefix) == 0) found = true;
        closedir(d);
    }
    return found;
}

inline std::string tempPath(const std::string& name) { return std::string(ORV_TEST_OUTPUT_DIR) + "/" + name; }

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Writes an audio file with libsndfile; false if it could not be written.
inline bool writeAudio(const std::string& path, int format, int channels, int rate, const std::vector<double>& interleaved) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size() / channels);
    const bool ok = sf_writef_double(f, interleaved.data(), frames) == frames;
    return sf_close(f) == 0 && ok;
}

struct Audio {
    SF_INFO info{};
    std::vector<double> samples;  // interleaved
    bool ok = false;
};

inline Audio readAudio(const std::string& path) {
    Audio a;
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &a.info);
    if (!f) return a;
    // In blocks: a streamed file may not say how long it is.
    std::vector<double> block(4096 * static_cast<std::size_t>(a.info.channels));
    sf_count_t got;
    while ((got = sf_readf_double(f, block.data(), 4096)) > 0)
        a.samples.insert(a.samples.end(), block.begin(), block.begin() + got * a.info.channels);
    sf_close(f);
    a.ok = true;
    return a;
}

}  // namespace orvtest

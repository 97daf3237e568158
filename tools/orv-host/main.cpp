// orv-host: a small VST 2.4 host for people and for tests.
#include "tools/orv-host/commands.h"
#include "tools/orv-host/os.h"
#include "tools/orv-host/version.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace orvhost {
int fail(const std::string& message) {
    std::fprintf(stderr, "orv-host: %s\n", message.c_str());
    return 1;
}

void warn(const std::string& message) { std::fprintf(stderr, "orv-host: warning: %s\n", message.c_str()); }

int interrupted(const std::string& message) {
    std::fprintf(stderr, "orv-host: interrupted; %s\n", message.c_str());
    return 128 + interruption();
}
}  // namespace orvhost

int main(int argc, char** argv) {
    using namespace orvhost;
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        std::fputs(usageText(), argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::fputs(versionText().c_str(), stdout);
        return 0;
    }
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "orv-host: %s\n%s", error.c_str(), usageText());
        return 2;
    }
    int (*run)(const Options&) = options.command == "info"      ? runInfo
                                 : options.command == "process" ? runProcess
                                 : options.command == "bench"   ? runBench
                                 : options.command == "editor"  ? runEditor
                                                                : nullptr;
    if (!run) {
        std::fprintf(stderr, "orv-host: unknown command: %s\n%s", options.command.c_str(), usageText());
        return 2;
    }
    if (options.help) {
        std::fputs(commandUsage(options.command).c_str(), stdout);
        return 0;
    }
    // Ctrl-C and SIGTERM are noted from here on; each command stops at its next step, closes
    // the plug-in (which then saves its settings) and leaves no unfinished output.
    catchInterruptions();
    try {
        return run(options);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}

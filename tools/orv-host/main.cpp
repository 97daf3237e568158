// orv-host: a small VST 2.4 host for people and for tests.
#include "tools/orv-host/commands.h"
#include "tools/orv-host/version.h"

#include <cstdio>
#include <cstring>
#include <exception>

namespace orvhost {
int fail(const std::string& message) {
    std::fprintf(stderr, "orv-host: %s\n", message.c_str());
    return 1;
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
    if (options.help) {
        std::fputs(commandUsage(options.command).c_str(), stdout);
        return 0;
    }
    try {
        if (options.command == "info") return runInfo(options);
        if (options.command == "process") return runProcess(options);
        if (options.command == "bench") return runBench(options);
        if (options.command == "editor") return runEditor(options);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    std::fprintf(stderr, "orv-host: unknown command: %s\n%s", options.command.c_str(), usageText());
    return 2;
}

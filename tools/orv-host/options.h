#pragma once
// Command line of orv-host: a command, a plug-in, positional arguments and the options that
// every command accepts.
#include <string>
#include <utility>
#include <vector>

namespace orvhost {

struct Options {
    std::string command;
    std::string plugin;
    std::vector<std::string> positional;  // after the plug-in
    double rate = 44100.0;
    bool rateGiven = false;
    int block = 512;
    std::string preset;
    std::vector<std::pair<std::string, float>> sets;  // --set I=V, in order
    std::string stateFile;
    std::string saveStateFile;
    bool json = false;
    std::string sidechain;
    bool useDouble = false;
    bool keepLatency = false;
    bool report = false;
    double seconds = -1.0;  // command's own default when negative
    int repeat = 5;
    double warmup = 0.0;  // bench: seconds processed before measuring
    std::string png;
    std::string page = "main";
};

// Parses argv; false with a one-line reason in `error`.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);

// The usage text.
const char* usageText();

}  // namespace orvhost

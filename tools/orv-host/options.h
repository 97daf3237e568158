#pragma once
// Command line of orv-host: a command, a plug-in, positional arguments and the options that
// every command accepts.
#include <string>
#include <utility>
#include <vector>

namespace orvhost {

// The sample rates the plug-ins run at, and so every command takes.
constexpr double kMinRate = 22050.0;
constexpr double kMaxRate = 192000.0;

struct Options {
    std::string command;
    std::string plugin;
    std::vector<std::string> positional;  // after the plug-in
    double rate = 44100.0;
    bool rateGiven = false;
    int block = 512;
    std::string preset;
    std::vector<std::pair<std::string, std::string>> sets;  // --set NAME=VALUE, in order, as typed
    bool factory = false;      // --factory: start from the factory bank, not the stored defaults
    std::string bankFile;      // --bank-file F.orb: a bank file saved in the editor
    std::string presetFile;    // --preset-file F.orv: a preset file saved in the editor
    bool demo = false;         // process --demo OUT: write the demo signal even over an existing OUT
    std::string stateFile;
    std::string saveStateFile;
    bool json = false;
    std::string sidechain;
    bool useDouble = false;
    bool baselinePath = false;  // --sse2: an Orv plug-in runs its SSE2 baseline code path
    bool keepLatency = false;
    bool report = false;
    double seconds = -1.0;  // command's own default when negative
    int repeat = 5;
    double warmup = 0.0;  // bench: seconds processed before measuring
    std::string png;
    int scale = 0;  // editor --scale in per cent; 0 leaves the plug-in's own choice
    std::string page = "main";
    std::string bits;          // --bits 16|24|32|float; empty keeps the input's depth
    bool dither = true;        // TPDF dither when the bit depth is reduced
    std::string play;          // editor --play FILE|demo
    std::string outFile;       // editor --out FILE
    bool loop = false;         // editor --loop: the played source starts over at its end
    bool live = false;         // editor --live: the device's input through the plug-in
    bool startPaused = false;  // editor --paused: playback waits for a space
    std::string device;        // editor --device NAME|NUMBER
    int buffer = 0;            // editor --buffer N: frames per device block (0: --block)
    bool listDevices = false;  // editor --list-devices
    bool help = false;         // --help after a command: that command's usage
};

// Parses argv; false with a one-line reason in `error`.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);

// The usage text of the whole program, and of one command (the whole text for an unknown one).
const char* usageText();
std::string commandUsage(const std::string& command);

}  // namespace orvhost

#include "tools/orv-host/options.h"

#include "platform/resources.h"

#include "tools/orv-host/orv_banks.h"
#include "tools/orv-host/text.h"

#include <cmath>
#include <cstdlib>

namespace orvhost {

namespace {

const char kCommonOptions[] =
    "options for every command:\n"
    "  --rate HZ (44100)      sample rate when no audio file sets it, 22050 to 192000\n"
    "  --block N (512)        block size, 1 to 65536\n"
    "  --factory              start from the factory bank, not the stored defaults that the\n"
    "                         editor's DEFAULT buttons keep\n"
    "  --bank-file F.orb      load a bank file saved in the editor\n"
    "  --preset NAME|INDEX    select a preset (any case), or load a preset file F.orv\n"
    "  --preset-file F.orv    load a preset file saved in the editor into the current preset\n"
    "  --set NAME=VALUE       set a parameter (repeatable): NAME or its index, any case;\n"
    "                         VALUE in the parameter's units, e.g. Threshold=-12dB\n"
    "                         Attack=10ms Ratio=4:1 FAT=On, or a bare number: the 0..1\n"
    "                         position of the control (Makeup=1 is +24.08 dB)\n"
    "  --state FILE           load a state (bank chunk) file, or a bank file F.orb\n"
    "  --save-state FILE      save the state at the end\n"
    "  --sse2                 an Orv plug-in runs its SSE2 baseline code path\n";

const char kInfoUsage[] =
    "usage: orv-host info PLUGIN [--json] [OPTIONS]\n"
    "  identity, parameters (name, display, unit, value) and presets of a plug-in\n";

const char kProcessUsage[] =
    "usage: orv-host process PLUGIN IN OUT [OPTIONS]\n"
    "       orv-host process PLUGIN [--demo] OUT [OPTIONS]\n"
    "  runs IN (or a 10 s demo signal) through the plug-in into OUT, block by block;\n"
    "  OUT alone gets the demo signal if it does not exist yet (--demo: even if it does)\n"
    "  OUT's extension sets its format: .wav .flac .aiff/.aif .ogg (others: IN's format);\n"
    "  a device or a pipe (/dev/null, a FIFO) is written as it is. OUT may not be IN.\n"
    "  --sidechain KEY        a key signal for the side-chain inputs (same rate and length)\n"
    "  --bits 16|24|32|float  sample format of OUT (default: IN's where OUT can hold it)\n"
    "  --no-dither            no TPDF dither on integer samples\n"
    "  --double               64-bit processing\n"
    "  --keep-latency         keep the plug-in's latency in OUT (default: compensated)\n"
    "  --report               levels, gain reduction, loudness and true peak of IN and OUT\n";

const char kBenchUsage[] =
    "usage: orv-host bench PLUGIN [--seconds S (10)] [--repeat R (5)] [--warmup S (0)] [--double] [OPTIONS]\n"
    "  CPU cost of the plug-in on a deterministic signal\n";

const char kEditorUsage[] =
    "usage: orv-host editor PLUGIN [--png FILE] [--page main|settings] [--scale PERCENT] [--seconds S]\n"
    "                              [--play FILE|demo [--loop] | --live] [--out FILE] [--device NAME|N]\n"
    "                              [--buffer N] [--paused] [OPTIONS]\n"
    "       orv-host editor --list-devices\n"
    "  opens the plug-in's editor in a window; parameter changes and edit gestures are printed\n"
    "  --png FILE             write a screenshot and close\n"
    "  --page main|settings   the page to show\n"
    "  --scale PERCENT        an Orv editor drawn at 100, 125, 150, 175 or 200 %\n"
    "  --seconds S            close after S seconds\n"
    "  --play FILE|demo       play audio through the plug-in to the sound card while the editor is\n"
    "                         open (without any sound card: in real time, without sound)\n"
    "  --loop                 start the file over at its end\n"
    "  --live                 the device's input through the plug-in to its output\n"
    "  --out FILE             record what is played, the plug-in's latency taken off (without\n"
    "                         --loop or --live it holds the whole file, however long it played)\n"
    "  --device NAME|N        the audio device: a number from --list-devices, a name or part of one\n"
    "  --buffer N             frames per device block (default: --block); the plug-in runs on them\n"
    "  --paused               open with playback paused; space pauses and resumes\n"
    "  --list-devices         the audio devices: number, name, audio system, channels, rate\n"
    "  a device that is missing, busy or does not take the file's rate ends the run with status 3\n";

}  // namespace

const char* usageText() {
    return "usage: orv-host COMMAND PLUGIN [ARGS] [OPTIONS]\n"
           "       orv-host COMMAND --help | --help | --version\n"
           "commands:\n"
           "  info PLUGIN [--json]                      identity, parameters and presets\n"
           "  process PLUGIN IN OUT [--sidechain KEY]    run audio through the plug-in\n"
           "  process PLUGIN [--demo] OUT               the demo signal through the plug-in\n"
           "          [--bits 16|24|32|float] [--no-dither] [--double] [--keep-latency] [--report]\n"
           "  bench PLUGIN [--seconds S] [--repeat R] [--warmup S] [--double]\n"
           "  editor PLUGIN [--png FILE] [--page main|settings] [--scale PERCENT] [--seconds S] [--play FILE|demo]\n"
           "         [--loop] [--live] [--out FILE] [--device NAME|N] [--buffer N] [--paused] [--list-devices]\n"
           "PLUGIN is a path to a VST 2.4 .so or one of: borealis, kestrel\n"
           "options for every command:\n"
           "  --rate HZ (44100)  --block N (512)  --preset NAME|INDEX|F.orv  --set NAME=VALUE (repeatable)\n"
           "  --factory  --bank-file F.orb  --preset-file F.orv  --state FILE  --save-state FILE\n"
           "  --sse2 (an Orv plug-in runs its SSE2 baseline code path)\n";
}

std::string commandUsage(const std::string& command) {
    const char* own = command == "info"      ? kInfoUsage
                      : command == "process" ? kProcessUsage
                      : command == "bench"   ? kBenchUsage
                      : command == "editor"  ? kEditorUsage
                                             : nullptr;
    if (!own) return usageText();
    return std::string(own) + "PLUGIN is a path to a VST 2.4 .so or one of: borealis, kestrel\n" + kCommonOptions;
}

namespace {

bool parseInt(const std::string& s, int& out) {
    double d;
    if (!parseWholeNumber(s, d) || d != std::floor(d) || d < -2147483648.0 || d > 2147483647.0) return false;
    out = static_cast<int>(d);
    return true;
}

}  // namespace

bool parseOptions(int argc, char** argv, Options& o, std::string& error) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = "option " + a + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") o.help = true;
        else if (a == "--json") o.json = true;
        else if (a == "--no-dither") o.dither = false;
        else if (a == "--factory") o.factory = true;
        else if (a == "--demo") o.demo = true;
        else if (a == "--bank-file") {
            if (!value(o.bankFile)) return false;
        } else if (a == "--preset-file") {
            if (!value(o.presetFile)) return false;
        }
        else if (a == "--bits") {
            if (!value(o.bits)) return false;
            if (o.bits != "16" && o.bits != "24" && o.bits != "32" && o.bits != "float") {
                error = "bad --bits (16, 24, 32 or float): " + o.bits;
                return false;
            }
        } else if (a == "--play") {
            if (!value(o.play)) return false;
        } else if (a == "--out") {
            if (!value(o.outFile)) return false;
        } else if (a == "--loop") o.loop = true;
        else if (a == "--live") o.live = true;
        else if (a == "--paused") o.startPaused = true;
        else if (a == "--list-devices") o.listDevices = true;
        else if (a == "--device") {
            if (!value(o.device)) return false;
            if (o.device.empty()) {
                error = "--device needs a name or a number (orv-host editor --list-devices lists them)";
                return false;
            }
        } else if (a == "--buffer") {
            if (!value(v)) return false;
            if (!parseInt(v, o.buffer) || o.buffer < 16 || o.buffer > 8192) {
                error = "bad --buffer (16 to 8192 frames): " + v;
                return false;
            }
        }
        else if (a == "--double") o.useDouble = true;
        else if (a == "--sse2") o.baselinePath = true;
        else if (a == "--keep-latency") o.keepLatency = true;
        else if (a == "--report") o.report = true;
        else if (a == "--rate") {
            if (!value(v)) return false;
            if (!parseWholeNumber(v, o.rate) || !(o.rate >= kMinRate && o.rate <= kMaxRate)) {
                error = "bad --rate (22050 to 192000 Hz): " + v;
                return false;
            }
            o.rateGiven = true;
        } else if (a == "--block") {
            if (!value(v)) return false;
            if (!parseInt(v, o.block) || o.block < 1 || o.block > 65536) {
                error = "bad --block (1 to 65536): " + v;
                return false;
            }
        } else if (a == "--seconds") {
            if (!value(v)) return false;
            if (!parseWholeNumber(v, o.seconds) || o.seconds <= 0 || o.seconds > 3600) {
                error = "bad --seconds: " + v;
                return false;
            }
        } else if (a == "--repeat") {
            if (!value(v)) return false;
            if (!parseInt(v, o.repeat) || o.repeat < 1 || o.repeat > 1000) {
                error = "bad --repeat: " + v;
                return false;
            }
        } else if (a == "--warmup") {
            if (!value(v)) return false;
            if (!parseWholeNumber(v, o.warmup) || o.warmup < 0 || o.warmup > 3600) {
                error = "bad --warmup: " + v;
                return false;
            }
        } else if (a == "--preset") {
            if (!value(o.preset)) return false;
        } else if (a == "--set") {
            if (!value(v)) return false;
            std::size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0 || v.find_first_not_of(" \t", eq + 1) == std::string::npos) {
                error = "bad --set (expected INDEX=VALUE or NAME=VALUE): " + v;
                return false;
            }
            o.sets.emplace_back(v.substr(0, eq), v.substr(eq + 1));
        } else if (a == "--state") {
            if (!value(o.stateFile)) return false;
        } else if (a == "--save-state") {
            if (!value(o.saveStateFile)) return false;
        } else if (a == "--sidechain") {
            if (!value(o.sidechain)) return false;
        } else if (a == "--png") {
            if (!value(o.png)) return false;
        } else if (a == "--scale") {
            std::string v;
            if (!value(v)) return false;
            o.scale = std::atoi(v.c_str());
            if (v.find_first_not_of("0123456789") != std::string::npos || !orv::platform::isEditorScale(o.scale)) {
                error = "bad --scale (100, 125, 150, 175 or 200): " + v;
                return false;
            }
        } else if (a == "--page") {
            if (!value(o.page)) return false;
            if (o.page != "main" && o.page != "settings") {
                error = "bad --page (main or settings): " + o.page;
                return false;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option: " + a;
            return false;
        } else {
            words.push_back(a);
        }
    }
    if (words.empty()) {
        error = "no command given";
        return false;
    }
    o.command = words[0];
    if (o.help) return true;
    // Preset and bank files saved in the editor are known by their extension wherever a preset
    // or a state is asked for.
    for (std::string* given : {&o.preset, &o.stateFile}) {
        const bool preset = isPresetFileName(*given), bank = isBankFileName(*given);
        if (!preset && !bank) continue;
        std::string& file = preset ? o.presetFile : o.bankFile;
        if (!file.empty() && file != *given) {
            error = std::string("two ") + (preset ? "preset" : "bank") + " files given: " + file + " and " + *given;
            return false;
        }
        file = *given;
        given->clear();
    }
    if (words.size() < 2 && o.listDevices) return true;  // the devices need no plug-in
    if (words.size() < 2) {
        error = "no plug-in given";
        return false;
    }
    o.plugin = words[1];
    o.positional.assign(words.begin() + 2, words.end());
    return true;
}

}  // namespace orvhost

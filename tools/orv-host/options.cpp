#include "tools/orv-host/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace orvhost {

const char* usageText() {
    return "usage: orv-host COMMAND PLUGIN [ARGS] [OPTIONS]\n"
           "commands:\n"
           "  info PLUGIN [--json]                      identity, parameters and presets\n"
           "  process PLUGIN [IN] OUT [--sidechain KEY]  run audio through the plug-in\n"
           "          [--double] [--keep-latency] [--report]\n"
           "  bench PLUGIN [--seconds S] [--repeat R] [--warmup S] [--double]\n"
           "  editor PLUGIN [--png FILE] [--page main|settings] [--seconds S]\n"
           "PLUGIN is a path to a VST 2.4 .so or one of: borealis, kestrel\n"
           "options for every command:\n"
           "  --rate HZ (44100)  --block N (512)  --preset NAME|INDEX  --set I=V (repeatable)\n"
           "  --state FILE  --save-state FILE\n";
}

namespace {

bool parseDouble(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtod(s.c_str(), &end);
    return errno == 0 && end && *end == 0 && std::isfinite(out);
}

bool parseInt(const std::string& s, int& out) {
    double d;
    if (!parseDouble(s, d) || d != std::floor(d) || d < -2147483648.0 || d > 2147483647.0) return false;
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
        if (a == "--json") o.json = true;
        else if (a == "--double") o.useDouble = true;
        else if (a == "--keep-latency") o.keepLatency = true;
        else if (a == "--report") o.report = true;
        else if (a == "--rate") {
            if (!value(v)) return false;
            if (!parseDouble(v, o.rate) || o.rate <= 0) {
                error = "bad --rate: " + v;
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
            if (!parseDouble(v, o.seconds) || o.seconds <= 0 || o.seconds > 3600) {
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
            if (!parseDouble(v, o.warmup) || o.warmup < 0 || o.warmup > 3600) {
                error = "bad --warmup: " + v;
                return false;
            }
        } else if (a == "--preset") {
            if (!value(o.preset)) return false;
        } else if (a == "--set") {
            if (!value(v)) return false;
            std::size_t eq = v.rfind('=');
            double x;
            if (eq == std::string::npos || eq == 0 || !parseDouble(v.substr(eq + 1), x)) {
                error = "bad --set (expected INDEX=VALUE or NAME=VALUE): " + v;
                return false;
            }
            o.sets.emplace_back(v.substr(0, eq), static_cast<float>(x));
        } else if (a == "--state") {
            if (!value(o.stateFile)) return false;
        } else if (a == "--save-state") {
            if (!value(o.saveStateFile)) return false;
        } else if (a == "--sidechain") {
            if (!value(o.sidechain)) return false;
        } else if (a == "--png") {
            if (!value(o.png)) return false;
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
    if (words.size() < 2) {
        error = "no plug-in given";
        return false;
    }
    o.plugin = words[1];
    o.positional.assign(words.begin() + 2, words.end());
    return true;
}

}  // namespace orvhost

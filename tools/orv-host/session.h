#pragma once
// Brings a loaded plug-in into the state the options ask for, in the order a host would:
// open, rate and block size, the starting bank (factory or as created), state file, bank file,
// preset, preset file, parameter settings; and saves the state at the end.
#include "tools/orv-host/options.h"
#include "tools/orv-host/plugin.h"

namespace orvhost {

// Refuses (false, with a reason) any output of the run that is one of the files it reads: the
// options' own files and, for process, its input `in` and output `out` (either may be empty).
bool checkOutputsSpareInputs(const Options& options, const std::string& in, const std::string& out,
                             std::string& error);
bool loadAndPrepare(Plugin& plugin, const Options& options, std::string& error);
bool saveStateIfAsked(const Plugin& plugin, const Options& options, std::string& error);
// The code path an Orv plug-in runs ("SSE2" or "AVX2+FMA"); "-" for any other plug-in.
const char* codePathName(const Plugin& plugin);

}  // namespace orvhost

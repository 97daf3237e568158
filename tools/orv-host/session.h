#pragma once
// Brings a loaded plug-in into the state the options ask for, in the order a host would:
// open, rate and block size, state file, preset, parameter settings; and saves the state at the end.
#include "tools/orv-host/options.h"
#include "tools/orv-host/plugin.h"

namespace orvhost {

bool loadAndPrepare(Plugin& plugin, const Options& options, std::string& error);
bool saveStateIfAsked(const Plugin& plugin, const Options& options, std::string& error);
// The code path an Orv plug-in runs ("SSE2" or "AVX2+FMA"); "-" for any other plug-in.
const char* codePathName(const Plugin& plugin);

}  // namespace orvhost

#pragma once
// The banks of the Orv plug-ins as orv-host hands them over: the factory bank, and preset and bank
// files saved in the editor. Everything reaches the plug-in as a bank chunk through effSetChunk,
// so the plug-in loads it exactly as it loads a host's saved state.
#include "tools/orv-host/plugin.h"

#include <string>
#include <vector>

namespace orvhost {

// The bank chunk of the plug-in's factory bank, preset 0 current; empty for other plug-ins.
std::vector<unsigned char> factoryBankChunk(const Plugin& plugin);

// True when the plug-in's presets differ from its factory bank: it started from stored
// defaults (the editor's DEFAULT buttons keep a bank and a preset in the per-user store, and
// every new instance starts from them).
bool startsFromStoredDefaults(const Plugin& plugin);

// Loads a bank file (.orb) or a preset file (.orv, into the current preset) as the editor's
// load buttons do. False with a one-line reason: not readable, not of this plug-in, wrong size.
bool loadBankFile(const Plugin& plugin, const std::string& path, std::string& error);
bool loadPresetFile(const Plugin& plugin, const std::string& path, std::string& error);

// True for a name ending in ".orv" or ".orb" (any case).
bool isPresetFileName(const std::string& path);
bool isBankFileName(const std::string& path);

}  // namespace orvhost

#include "tools/orv-host/session.h"

#include "borealis/dsp/code_path.h"
#include "tools/orv-host/orv_banks.h"
#include "tools/orv-host/os.h"
#include "tools/orv-host/param_values.h"
#include "tools/orv-host/state_file.h"
#include "tools/orv-host/text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvhost {
namespace {

std::string lowerTrimmed(const std::string& text) {
    std::string s = trim(text);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The presets' names as the plug-in gives them (at most 16: the Orv banks' size).
std::vector<std::string> presetNames(const Plugin& plugin) {
    std::vector<std::string> names;
    const int count = plugin.isOrvPlugin() ? 16 : std::min(plugin.effect()->numPrograms, 16);
    for (int i = 0; i < count; ++i) {
        char name[256] = {};
        if (!plugin.dispatch(effGetProgramNameIndexed, i, 0, name)) break;
        name[sizeof name - 1] = 0;
        names.push_back(trim(name));
    }
    return names;
}

// Selects a preset by its index or its name in any case. An Orv preset is selected by rewriting
// the current-preset field of the bank chunk.
bool selectPreset(const Plugin& plugin, const std::string& preset, std::string& error) {
    const std::vector<std::string> names = presetNames(plugin);
    int index = -1;
    if (isDecimalIndex(preset)) {
        index = std::atoi(preset.c_str());
    } else {
        for (std::size_t i = 0; i < names.size() && index < 0; ++i)
            if (lowerTrimmed(names[i]) == lowerTrimmed(preset)) index = static_cast<int>(i);
    }
    if (index < 0 || index > 15) {
        std::string list;
        for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
        error = "unknown preset: " + preset + " (presets: " + (list.empty() ? "none" : list) + ")";
        return false;
    }
    if (!plugin.isOrvPlugin()) {
        if (index >= plugin.effect()->numPrograms) {
            error = "the plug-in has no program " + preset;
            return false;
        }
        plugin.dispatch(effSetProgram, 0, index);
        return true;
    }
    std::vector<unsigned char> chunk = plugin.getChunk();
    if (chunk.size() < 16) {
        error = "the plug-in gave no bank chunk";
        return false;
    }
    std::int32_t current = index;
    std::memcpy(&chunk[12], &current, 4);
    if (plugin.setChunk(chunk) != 0) {
        error = "the plug-in refused its own bank chunk";
        return false;
    }
    return true;
}

std::string shownValue(const Plugin& plugin, int index) {
    return trim(plugin.paramDisplay(index)) + trim(plugin.paramLabel(index));
}

// Applies the --set options, then says on standard error which parameters now differ from the
// preset they started from, with the values the plug-in shows, and how each bare number was
// taken where the parameter has a unit (a bare number is the control's 0..1 position).
bool applySettings(const Plugin& plugin, const Options& o, std::string& error) {
    const int count = plugin.numParams();
    std::vector<float> before(static_cast<std::size_t>(count));
    std::vector<std::string> shownBefore(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        before[i] = plugin.getParameter(i);
        shownBefore[i] = shownValue(plugin, i);
    }
    std::vector<std::string> notes;
    for (const auto& [key, value] : o.sets) {
        const int index = findParameter(plugin, key);
        if (index < 0) {
            error = "unknown parameter: " + key + " (parameters: " + parameterNames(plugin) + ")";
            return false;
        }
        float normalised = 0.0f;
        if (!normalisedValue(plugin, index, value, normalised, error)) return false;
        plugin.setParameter(index, normalised);
        const std::string note = bareNumberNote(plugin, index, key, value);
        if (!note.empty()) notes.push_back(note);
    }
    const std::string preset = trim(plugin.stringOf(effGetProgramName));
    for (int i = 0; i < count; ++i) {
        if (plugin.getParameter(i) == before[i]) continue;
        std::fprintf(stderr, "orv-host: %s = %s (preset \"%s\": %s)\n", trim(plugin.paramName(i)).c_str(),
                     shownValue(plugin, i).c_str(), preset.c_str(), shownBefore[i].c_str());
    }
    for (const std::string& note : notes) std::fprintf(stderr, "orv-host: note: %s\n", note.c_str());
    return true;
}

// Where the plug-in starts from: the factory bank when asked (--factory), otherwise whatever it
// took up when it was created, which for an Orv plug-in are the stored defaults when the
// editor's DEFAULT buttons have stored any. Those are right inside a host; on the command line
// their use is said, since they change what every later run does.
bool chooseStartingBank(const Plugin& plugin, const Options& o, std::string& error) {
    if (o.factory) {
        std::vector<unsigned char> factory = factoryBankChunk(plugin);
        if (factory.empty()) {
            error = "--factory: the plug-in has no factory bank that orv-host knows";
            return false;
        }
        if (plugin.setChunk(factory) != 0) {
            error = "--factory: the plug-in refused its factory bank";
            return false;
        }
        return true;
    }
    if (o.stateFile.empty() && o.bankFile.empty() && startsFromStoredDefaults(plugin))
        std::fprintf(stderr,
                     "orv-host: note: starting from the stored defaults kept by the editor's DEFAULT buttons "
                     "(in $XDG_CONFIG_HOME/SOFTWARE/Orv-tonekraft); --factory starts from the factory bank\n");
    return true;
}

}  // namespace

bool checkOutputsSpareInputs(const Options& o, const std::string& in, const std::string& out, std::string& error) {
    struct Named {
        const std::string& path;
        const char* what;
    };
    const Named reads[] = {{in, "input"},          {o.sidechain, "side-chain"},    {o.stateFile, "state file"},
                           {o.bankFile, "bank file"}, {o.presetFile, "preset file"}, {o.play, "file being played"}};
    const Named writes[] = {{out, "output"}, {o.saveStateFile, "saved state"}, {o.png, "screenshot"}, {o.outFile, "output"}};
    for (const Named& w : writes) {
        if (w.path.empty()) continue;
        for (const Named& r : reads) {
            if (r.path.empty() || !sameFile(w.path, r.path)) continue;
            // The state file is read whole before anything runs, and the saved state replaces it
            // only once complete: saving the state back where it came from updates it.
            if (&w.path == &o.saveStateFile && &r.path == &o.stateFile) continue;
            error = "refusing to write " + w.path + ": it is the " + r.what + " (" + r.path +
                    "), which would be destroyed; choose another output name";
            return false;
        }
    }
    return true;
}

bool loadAndPrepare(Plugin& plugin, const Options& o, std::string& error) {
    if (!checkOutputsSpareInputs(o, "", "", error)) return false;
    HostContext& host = hostContext();
    host.sampleRate = o.rate;
    host.blockSize = o.block;
    host.sideChainConnected = !o.sidechain.empty();
    if (!plugin.load(o.plugin, error)) return false;
    plugin.dispatch(effOpen);
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(o.rate));
    plugin.dispatch(effSetBlockSize, 0, o.block);
    if (o.baselinePath && (!plugin.isOrvPlugin() ||
                           plugin.dispatch(effVendorSpecific, orv::dsp::kCodePathRequest, orv::dsp::kCodePathForceBaseline) !=
                               static_cast<VstIntPtr>(orv::dsp::CodePath::Baseline))) {
        error = "--sse2: the plug-in has no choice of code path";
        return false;
    }
    if (!chooseStartingBank(plugin, o, error)) return false;

    if (!o.stateFile.empty()) {
        std::vector<unsigned char> bytes;
        if (!readStateFile(o.stateFile, bytes, error)) return false;
        if (!(plugin.effect()->flags & effFlagsProgramChunks)) {
            error = "the plug-in does not take state chunks";
            return false;
        }
        if (plugin.setChunk(bytes) != 0) {
            error = "the plug-in refused the state file: " + o.stateFile;
            return false;
        }
    }
    if (!o.bankFile.empty() && !loadBankFile(plugin, o.bankFile, error)) return false;
    if (!o.preset.empty() && !selectPreset(plugin, o.preset, error)) return false;
    if (!o.presetFile.empty() && !loadPresetFile(plugin, o.presetFile, error)) return false;
    return applySettings(plugin, o, error);
}

const char* codePathName(const Plugin& plugin) {
    if (!plugin.isOrvPlugin()) return "-";
    // A request that only asks (neither automatic nor forced).
    switch (plugin.dispatch(effVendorSpecific, orv::dsp::kCodePathRequest, -1)) {
        case static_cast<VstIntPtr>(orv::dsp::CodePath::Baseline): return "SSE2";
        case static_cast<VstIntPtr>(orv::dsp::CodePath::Wide): return "AVX2+FMA";
        default: return "-";
    }
}

bool saveStateIfAsked(const Plugin& plugin, const Options& o, std::string& error) {
    if (o.saveStateFile.empty()) return true;
    std::vector<unsigned char> chunk = plugin.getChunk();
    if (chunk.empty()) {
        error = "the plug-in gave no state chunk";
        return false;
    }
    return writeStateFile(o.saveStateFile, chunk, error);
}

}  // namespace orvhost

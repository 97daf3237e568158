#include "tools/orv-host/session.h"

#include "borealis/dsp/code_path.h"
#include "tools/orv-host/os.h"
#include "tools/orv-host/param_values.h"
#include "tools/orv-host/state_file.h"
#include "tools/orv-host/text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvhost {
namespace {

// Selects an Orv preset by rewriting the current-preset field of the bank chunk.
bool selectPreset(const Plugin& plugin, const std::string& preset, std::string& error) {
    int index = -1;
    if (isDecimalIndex(preset)) {
        index = std::atoi(preset.c_str());
    } else {
        for (int i = 0; i < 16; ++i) {
            char name[64] = {};
            if (plugin.dispatch(effGetProgramNameIndexed, i, 0, name) && trim(name) == trim(preset)) {
                index = i;
                break;
            }
        }
    }
    if (index < 0 || index > 15) {
        error = "unknown preset: " + preset;
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

}  // namespace

bool loadAndPrepare(Plugin& plugin, const Options& o, std::string& error) {
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
    if (!o.preset.empty() && !selectPreset(plugin, o.preset, error)) return false;
    for (const auto& [key, value] : o.sets) {
        const int index = findParameter(plugin, key);
        if (index < 0) {
            error = "unknown parameter: " + key + " (parameters: " + parameterNames(plugin) + ")";
            return false;
        }
        float normalised = 0.0f;
        if (!normalisedValue(plugin, index, value, normalised, error)) return false;
        plugin.setParameter(index, normalised);
    }
    return true;
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

// orv-host info: what a host learns about a plug-in through its record and dispatcher.
#include "tools/orv-host/commands.h"
#include "tools/orv-host/session.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace orvhost {
namespace {

struct ParamInfo {
    std::string name, display, label;
    float value;
    bool hasProperties;
    VstParameterProperties props;
};

std::string fourChars(VstInt32 id) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xff);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 32) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string flagNames(VstInt32 flags) {
    static const std::pair<VstInt32, const char*> names[] = {
        {effFlagsHasEditor, "HasEditor"},       {effFlagsHasClip, "HasClip"},
        {effFlagsHasVu, "HasVu"},               {effFlagsCanMono, "CanMono"},
        {effFlagsCanReplacing, "CanReplacing"}, {effFlagsProgramChunks, "ProgramChunks"},
        {effFlagsIsSynth, "IsSynth"},           {effFlagsNoSoundInStop, "NoSoundInStop"},
        {effFlagsCanDoubleReplacing, "CanDoubleReplacing"},
    };
    std::string out;
    for (auto& [bit, name] : names)
        if (flags & bit) out += (out.empty() ? "" : " ") + std::string(name);
    return out;
}

std::string terminated(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

}  // namespace

int runInfo(const Options& o) {
    Plugin plugin;
    std::string error;
    if (!loadAndPrepare(plugin, o, error)) return fail(error);
    AEffect* fx = plugin.effect();

    const std::string effectName = plugin.stringOf(effGetEffectName);
    const std::string vendor = plugin.stringOf(effGetVendorString);
    const std::string product = plugin.stringOf(effGetProductString);
    const VstIntPtr vendorVersion = plugin.dispatch(effGetVendorVersion);
    const VstIntPtr vstVersion = plugin.dispatch(effGetVstVersion);
    const VstIntPtr category = plugin.dispatch(effGetPlugCategory);

    std::vector<ParamInfo> params;
    for (int i = 0; i < plugin.numParams(); ++i) {
        ParamInfo p{plugin.paramName(i), plugin.paramDisplay(i), plugin.paramLabel(i), plugin.getParameter(i), false, {}};
        std::memset(&p.props, 0, sizeof p.props);
        p.hasProperties = plugin.dispatch(effGetParameterProperties, i, 0, &p.props) != 0;
        params.push_back(p);
    }
    std::vector<std::string> presets;
    for (int i = 0; i < 16; ++i) {
        char name[256] = {};
        if (!plugin.dispatch(effGetProgramNameIndexed, i, 0, name)) break;
        name[sizeof name - 1] = 0;
        presets.push_back(name);
    }

    if (o.json) {
        std::printf("{\n  \"path\": %s,\n", jsonString(plugin.path()).c_str());
        std::printf("  \"effect\": %s,\n  \"vendor\": %s,\n  \"product\": %s,\n", jsonString(effectName).c_str(),
                    jsonString(vendor).c_str(), jsonString(product).c_str());
        std::printf("  \"vendorVersion\": %ld,\n  \"uniqueId\": %s,\n  \"uniqueIdHex\": \"0x%08X\",\n",
                    static_cast<long>(vendorVersion), jsonString(fourChars(fx->uniqueID)).c_str(),
                    static_cast<unsigned>(fx->uniqueID));
        std::printf("  \"vstVersion\": %ld,\n  \"category\": %ld,\n  \"inputs\": %d,\n  \"outputs\": %d,\n",
                    static_cast<long>(vstVersion), static_cast<long>(category), fx->numInputs, fx->numOutputs);
        std::printf("  \"flags\": %d,\n  \"flagNames\": %s,\n  \"initialDelay\": %d,\n  \"numPrograms\": %d,\n",
                    fx->flags, jsonString(flagNames(fx->flags)).c_str(), fx->initialDelay, fx->numPrograms);
        std::printf("  \"parameters\": [\n");
        for (std::size_t i = 0; i < params.size(); ++i) {
            const ParamInfo& p = params[i];
            std::printf("    {\"index\": %zu, \"name\": %s, \"display\": %s, \"label\": %s, \"value\": %.7g", i,
                        jsonString(p.name).c_str(), jsonString(p.display).c_str(), jsonString(p.label).c_str(),
                        static_cast<double>(p.value));
            if (p.hasProperties)
                std::printf(", \"properties\": {\"flags\": %d, \"step\": %g, \"smallStep\": %g, \"largeStep\": %g, "
                            "\"label\": %s, \"shortLabel\": %s}",
                            p.props.flags, static_cast<double>(p.props.stepFloat),
                            static_cast<double>(p.props.smallStepFloat), static_cast<double>(p.props.largeStepFloat),
                            jsonString(terminated(p.props.label, sizeof p.props.label)).c_str(),
                            jsonString(terminated(p.props.shortLabel, sizeof p.props.shortLabel)).c_str());
            else
                std::printf(", \"properties\": null");
            std::printf("}%s\n", i + 1 < params.size() ? "," : "");
        }
        std::printf("  ],\n  \"presets\": [");
        for (std::size_t i = 0; i < presets.size(); ++i)
            std::printf("%s%s", i ? ", " : "", jsonString(presets[i]).c_str());
        std::printf("]\n}\n");
    } else {
        std::printf("Plug-in:        %s\n", plugin.path().c_str());
        std::printf("Effect:         %s\nVendor:         %s\nProduct:        %s\n", effectName.c_str(), vendor.c_str(),
                    product.c_str());
        std::printf("Vendor version: %ld\n", static_cast<long>(vendorVersion));
        std::printf("Unique ID:      '%s' (0x%08X)\n", fourChars(fx->uniqueID).c_str(),
                    static_cast<unsigned>(fx->uniqueID));
        std::printf("VST version:    %ld\nCategory:       %ld\n", static_cast<long>(vstVersion), static_cast<long>(category));
        std::printf("Inputs:         %d\nOutputs:        %d\n", fx->numInputs, fx->numOutputs);
        std::printf("Flags:          0x%X (%s)\n", static_cast<unsigned>(fx->flags), flagNames(fx->flags).c_str());
        std::printf("Initial delay:  %d samples\nPrograms:       %d\n", fx->initialDelay, fx->numPrograms);
        std::printf("Parameters:     %d\n", plugin.numParams());
        std::printf("  %-3s %-14s %-16s %-6s %-10s %s\n", "idx", "name", "display", "label", "value", "properties");
        for (std::size_t i = 0; i < params.size(); ++i) {
            const ParamInfo& p = params[i];
            std::string props = "-";
            if (p.hasProperties) {
                char buf[96];
                std::snprintf(buf, sizeof buf, "flags %d, steps %g/%g/%g", p.props.flags,
                              static_cast<double>(p.props.stepFloat), static_cast<double>(p.props.smallStepFloat),
                              static_cast<double>(p.props.largeStepFloat));
                props = buf;
            }
            std::printf("  %-3zu %-14s %-16s %-6s %-10.6f %s\n", i, ("\"" + p.name + "\"").c_str(),
                        ("\"" + p.display + "\"").c_str(), p.label.c_str(), static_cast<double>(p.value), props.c_str());
        }
        if (!presets.empty()) {
            std::printf("Presets:\n");
            for (std::size_t i = 0; i < presets.size(); ++i) std::printf("  %2zu %s\n", i, presets[i].c_str());
        }
    }
    if (!saveStateIfAsked(plugin, o, error)) return fail(error);
    return 0;
}

}  // namespace orvhost

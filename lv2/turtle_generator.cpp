// Writes the Turtle files of the plug-in's LV2 bundle (manifest.ttl, the plug-in's description
// with its UI, presets.ttl) from the port table and from the plug-in itself: port names are the
// plug-in's parameter names, choice labels its displays, defaults its Default preset.
//
//   orv-lv2-turtle-<plug-in> <bundle folder>
//
// Built once per plug-in; ORV_LV2_PORTS names the function that gives its port table.
#include "lv2/port_table.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "host/audioeffect.h"

using namespace orv::lv2;

namespace {

VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

std::string trimmed(const char* text) {
    std::string s(text);
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
    std::string s(text);
    // A Turtle number with a point or an exponent reads as a decimal or a double.
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string text(AEffect* fx, VstInt32 opcode, VstInt32 index) {
    char buffer[256] = {};
    fx->dispatcher(fx, opcode, index, 0, buffer, 0.0f);
    return trimmed(buffer);
}

const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

std::string presetUri(const PluginDescription& d, int n) { return std::string(d.uri) + ":preset:" + std::to_string(n + 1); }

std::string presetName(const PluginDescription& d, int n) {
    char name[kPresetNameLength + 1] = {};
    std::strncpy(name, d.presetNames[n], kPresetNameLength);
    return name;
}

void audioPort(FILE* f, int index, bool input, const char* symbol, const char* name, bool key) {
    std::fprintf(f, "    a lv2:AudioPort, %s ;\n    lv2:index %d ;\n    lv2:symbol \"%s\" ;\n    lv2:name \"%s\" ;\n",
                 input ? "lv2:InputPort" : "lv2:OutputPort", index, symbol, name);
    if (key) std::fprintf(f, "    lv2:portProperty lv2:isSideChain, lv2:connectionOptional ;\n");
}

void writePlugin(FILE* f, const PluginDescription& d, AEffect* fx) {
    std::fprintf(f, "%s", kPrefixes);
    std::fprintf(f, "<%s>\n    a lv2:Plugin, lv2:CompressorPlugin ;\n", d.uri);
    std::fprintf(f, "    doap:name %s ;\n", quoted(text(fx, effGetEffectName, 0)).c_str());
    std::fprintf(f, "    rdfs:comment %s ;\n", quoted(text(fx, effGetProductString, 0)).c_str());
    std::fprintf(f, "    doap:maintainer [ a <http://xmlns.com/foaf/0.1/Person> ; <http://xmlns.com/foaf/0.1/name> %s ] ;\n",
                 quoted(text(fx, effGetVendorString, 0)).c_str());
    // URIDs are needed for the state only.
    std::fprintf(f, "    lv2:optionalFeature lv2:hardRTCapable, urid:map, opts:options ;\n");
    std::fprintf(f, "    lv2:extensionData state:interface ;\n");
    std::fprintf(f, "    ui:ui <%s> ;\n", d.uiUri);
    std::fprintf(f, "    lv2:port [\n");
    audioPort(f, kInLeft, true, "in_l", "Input L", false);
    std::fprintf(f, "  ] , [\n");
    audioPort(f, kInRight, true, "in_r", "Input R", false);
    std::fprintf(f, "  ] , [\n");
    audioPort(f, kKeyLeft, true, "key_l", "Side-chain L", true);
    std::fprintf(f, "  ] , [\n");
    audioPort(f, kKeyRight, true, "key_r", "Side-chain R", true);
    std::fprintf(f, "  ] , [\n");
    audioPort(f, kOutLeft, false, "out_l", "Output L", false);
    std::fprintf(f, "  ] , [\n");
    audioPort(f, kOutRight, false, "out_r", "Output R", false);
    std::fprintf(f, "  ] , [\n");
    std::fprintf(f,
                 "    a lv2:ControlPort, lv2:OutputPort ;\n    lv2:index %d ;\n    lv2:symbol \"latency\" ;\n"
                 "    lv2:name \"Latency\" ;\n    lv2:designation lv2:latency ;\n"
                 "    lv2:portProperty lv2:reportsLatency, lv2:integer ;\n    units:unit units:frame ;\n"
                 "    lv2:minimum 0 ;\n    lv2:maximum 8192 ;\n",
                 kLatency);
    const char* sides[2] = {"l", "r"};
    const char* sideNames[2] = {"L", "R"};
    for (int c = 0; c < 2; ++c) {
        std::fprintf(f, "  ] , [\n");
        std::fprintf(f,
                     "    a lv2:ControlPort, lv2:OutputPort ;\n    lv2:index %d ;\n    lv2:symbol \"gain_reduction_%s\" ;\n"
                     "    lv2:name \"Gain reduction %s\" ;\n    units:unit units:db ;\n"
                     "    lv2:minimum 0.0 ;\n    lv2:maximum 60.0 ;\n",
                     kGainReductionLeft + c, sides[c], sideNames[c]);
    }
    for (int i = 0; i < d.numPorts; ++i) {
        const ParameterPort& p = d.ports[i];
        std::fprintf(f, "  ] , [\n");
        std::fprintf(f, "    a lv2:ControlPort, lv2:InputPort ;\n    lv2:index %d ;\n    lv2:symbol \"%s\" ;\n",
                     static_cast<int>(kFirstParameterPort) + i, p.symbol);
        std::fprintf(f, "    lv2:name %s ;\n", quoted(text(fx, effGetParamName, p.index)).c_str());
        const float start = fx->getParameter(fx, p.index);
        std::fprintf(f, "    lv2:default %s ;\n    lv2:minimum %s ;\n    lv2:maximum %s ;\n",
                     number(unitValue(p, start)).c_str(), number(unitMinimum(p)).c_str(),
                     number(unitMaximum(p)).c_str());
        if (p.unit) std::fprintf(f, "    units:unit units:%s ;\n", p.unit);
        if (p.kind == PortKind::Toggle) std::fprintf(f, "    lv2:portProperty lv2:toggled ;\n");
        if (p.kind == PortKind::Power) std::fprintf(f, "    lv2:portProperty pprops:logarithmic ;\n");
        if (p.kind == PortKind::Choice) std::fprintf(f, "    lv2:portProperty lv2:integer, lv2:enumeration ;\n");
        // Choices and switches are labelled with the plug-in's own displays.
        if (p.kind == PortKind::Choice || p.kind == PortKind::Toggle) {
            const int count = p.kind == PortKind::Choice ? p.choices : 2;
            std::string points;
            for (int k = 0; k < count; ++k) {
                fx->setParameter(fx, p.index, normalisedValue(p, static_cast<float>(k)));
                const std::string label = text(fx, effGetParamDisplay, p.index);
                if (label.empty()) continue;
                if (!points.empty()) points += " , ";
                points += "[ rdfs:label " + quoted(label) + " ; rdf:value " + number(static_cast<float>(k)) + " ]";
            }
            fx->setParameter(fx, p.index, start);
            if (!points.empty()) std::fprintf(f, "    lv2:scalePoint %s ;\n", points.c_str());
        }
    }
    std::fprintf(f, "  ] .\n\n");
    std::fprintf(f,
                 "<%s>\n    a ui:X11UI ;\n    lv2:requiredFeature ui:parent, <http://lv2plug.in/ns/ext/instance-access>, "
                 "ui:idleInterface ;\n    lv2:optionalFeature ui:resize, ui:touch, ui:noUserResize ;\n"
                 "    lv2:extensionData ui:idleInterface .\n",
                 d.uiUri);
}

void writeManifest(FILE* f, const PluginDescription& d) {
    std::fprintf(f, "%s", kPrefixes);
    std::fprintf(f, "<%s>\n    a lv2:Plugin ;\n    lv2:binary <%s> ;\n    rdfs:seeAlso <%s.ttl> .\n\n", d.uri,
                 d.binaryName, d.bundleName);
    std::fprintf(f, "<%s>\n    a ui:X11UI ;\n    ui:binary <%s> ;\n    rdfs:seeAlso <%s.ttl> .\n", d.uiUri, d.binaryName,
                 d.bundleName);
    for (int n = 0; n < kNumPresets; ++n)
        std::fprintf(f, "\n<%s>\n    a pset:Preset ;\n    lv2:appliesTo <%s> ;\n    rdfs:label %s ;\n    rdfs:seeAlso <presets.ttl> .\n",
                     presetUri(d, n).c_str(), d.uri, quoted(presetName(d, n)).c_str());
}

void writePresets(FILE* f, const PluginDescription& d) {
    std::fprintf(f, "%s", kPrefixes);
    for (int n = 0; n < kNumPresets; ++n) {
        std::fprintf(f, "<%s>\n    a pset:Preset ;\n    lv2:appliesTo <%s> ;\n    rdfs:label %s ;\n    lv2:port ",
                     presetUri(d, n).c_str(), d.uri, quoted(presetName(d, n)).c_str());
        for (int i = 0; i < d.numPorts; ++i) {
            const ParameterPort& p = d.ports[i];
            std::fprintf(f, "%s[\n        lv2:symbol \"%s\" ;\n        pset:value %s\n    ]", i ? " , " : "", p.symbol,
                         number(unitValue(p, (*d.presetValues)[n][p.index])).c_str());
        }
        std::fprintf(f, " .\n\n");
    }
}

bool writeFile(const std::string& path, void (*body)(FILE*, const PluginDescription&, AEffect*),
               const PluginDescription& d, AEffect* fx) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    body(f, d, fx);
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <bundle folder>\n", argv[0]);
        return 2;
    }
    const PluginDescription& d = ORV_LV2_PORTS();
    // The plug-in's own factory (the program cannot hold the entry point, whose other name is main).
    AudioEffect* effect = createEffectInstance(quietHost);
    AEffect* fx = effect ? effect->getAeffect() : nullptr;
    if (!fx || fx->numInputs != 4) {
        std::fprintf(stderr, "the plug-in could not be created\n");
        return 1;
    }
    const std::string folder = argv[1];
    const bool ok =
        writeFile(folder + "/" + d.bundleName + ".ttl", writePlugin, d, fx) &&
        writeFile(folder + "/manifest.ttl", [](FILE* f, const PluginDescription& d, AEffect*) { writeManifest(f, d); }, d, fx) &&
        writeFile(folder + "/presets.ttl", [](FILE* f, const PluginDescription& d, AEffect*) { writePresets(f, d); }, d, fx);
    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    return ok ? 0 : 1;
}

#include "tools/orv-host/plugin.h"

#include "tools/orv-host/os.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvhost {

namespace {
// The parameter's name as the plug-in gives it, for the lines printed while an editor is open.
std::string nameOf(AEffect* effect, VstInt32 index) {
    char name[256] = {};
    if (effect && effect->dispatcher && index >= 0 && index < effect->numParams)
        effect->dispatcher(effect, effGetParamName, index, 0, name, 0.0f);
    name[sizeof name - 1] = 0;
    std::string s(name);
    const std::size_t b = s.find_first_not_of(' ');
    const std::size_t e = s.find_last_not_of(' ');
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}
}  // namespace

HostContext& hostContext() {
    static HostContext context;
    return context;
}

VstIntPtr VSTCALLBACK_hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    HostContext& host = hostContext();
    switch (opcode) {
        case audioMasterVersion: return 2400;
        case audioMasterAutomate:
            ++host.automationCount;
            if (host.printAutomation) {
                std::printf("automate: parameter %d (%s) = %.6f\n", index, nameOf(effect, index).c_str(),
                            static_cast<double>(opt));
                std::fflush(stdout);
            }
            return 0;
        case audioMasterBeginEdit:
        case audioMasterEndEdit:
            // A gesture (a drag, a typed value) begins or ends: hosts group automation by it.
            if (host.printAutomation) {
                std::printf("%s edit: parameter %d (%s)\n", opcode == audioMasterBeginEdit ? "begin" : "end", index,
                            nameOf(effect, index).c_str());
                std::fflush(stdout);
            }
            return 1;
        case audioMasterPinConnected:
            // 0 means connected. Inputs 2 and 3 are the side-chain, present only with a key signal.
            if (value == 0 && (index == 2 || index == 3)) return host.sideChainConnected ? 0 : 1;
            return 0;
        case audioMasterGetSampleRate: return static_cast<VstIntPtr>(host.sampleRate);
        case audioMasterGetBlockSize: return host.blockSize;
        case audioMasterGetVendorString:
            if (ptr) std::strcpy(static_cast<char*>(ptr), "Orv-tonekraft");
            return 1;
        case audioMasterGetProductString:
            if (ptr) std::strcpy(static_cast<char*>(ptr), "orv-host");
            return 1;
        case audioMasterGetVendorVersion: return 1;
        case audioMasterUpdateDisplay: return 1;
        case audioMasterSizeWindow:
            return host.sizeWindow && host.sizeWindow(index, static_cast<int>(value)) ? 1 : 0;
        case audioMasterGetCurrentProcessLevel: return 0;
        default: return 0;
    }
}

std::string resolvePluginPath(const std::string& name) {
    const char* file = nullptr;
    if (name == "borealis") file = "OrvBorealis";
    if (name == "kestrel") file = "OrvKestrel";
    if (!file) return name;
    const std::string fileName = std::string(file) + kPluginSuffix;
    std::string beside = executableFolder() + "/" + fileName;
    if (fileExists(beside)) return beside;
    const char* home = std::getenv("HOME");
    if (home) {
        std::string installed = std::string(home) + "/.vst/" + fileName;
        if (fileExists(installed)) return installed;
    }
    return beside;
}

Plugin::~Plugin() { close(); }

bool Plugin::load(const std::string& nameOrPath, std::string& error) {
    libraryPath = resolvePluginPath(nameOrPath);
    if (!fileExists(libraryPath)) {
        error = "unknown plug-in: " + nameOrPath + " (no file " + libraryPath + ")";
        return false;
    }
    library = openLibrary(libraryPath, error);
    if (!library) return false;
    using Entry = AEffect* (*)(audioMasterCallback);
    auto entry = reinterpret_cast<Entry>(librarySymbol(library, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<Entry>(librarySymbol(library, "main"));
    if (!entry) {
        error = "not a VST 2.4 plug-in (no VSTPluginMain or main symbol): " + libraryPath;
        return false;
    }
    fx = entry(VSTCALLBACK_hostCallback);
    if (!fx) {
        error = "the plug-in refused to start: " + libraryPath;
        return false;
    }
    if (fx->magic != kEffectMagic || !fx->dispatcher) {
        error = "the plug-in returned a record without the VST magic: " + libraryPath;
        fx = nullptr;
        return false;
    }
    return true;
}

void Plugin::close() {
    if (fx) {
        fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
        fx = nullptr;
    }
    if (library) {
        closeLibrary(library);
        library = nullptr;
    }
}

VstIntPtr Plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) const {
    return fx ? fx->dispatcher(fx, opcode, index, value, ptr, opt) : 0;
}

std::string Plugin::stringOf(VstInt32 opcode, VstInt32 index, VstIntPtr value) const {
    // Generous buffer: plug-ins often write past the interface's nominal limits.
    char buf[512];
    std::memset(buf, 0, sizeof buf);
    dispatch(opcode, index, value, buf);
    buf[sizeof buf - 1] = 0;
    return buf;
}

float Plugin::getParameter(int index) const { return fx && fx->getParameter ? fx->getParameter(fx, index) : 0.0f; }
void Plugin::setParameter(int index, float value) const {
    if (fx && fx->setParameter) fx->setParameter(fx, index, value);
}
int Plugin::numParams() const { return fx ? fx->numParams : 0; }
int Plugin::numInputs() const { return fx ? fx->numInputs : 0; }
int Plugin::numOutputs() const { return fx ? fx->numOutputs : 0; }
int Plugin::initialDelay() const { return fx ? fx->initialDelay : 0; }

bool Plugin::isOrvPlugin() const {
    return fx && (fx->uniqueID == fourCharCode('O', 'r', 'B', 'o') || fx->uniqueID == fourCharCode('O', 'r', 'K', 'e'));
}

std::vector<unsigned char> Plugin::getChunk() const {
    void* data = nullptr;
    VstIntPtr size = dispatch(effGetChunk, 0, 0, &data);
    if (size <= 0 || !data || size > (1 << 28)) return {};
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

VstIntPtr Plugin::setChunk(std::vector<unsigned char>& bytes) const {
    return dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bytes.size()), bytes.data());
}

}  // namespace orvhost

#pragma once
// A VST 2.4 plug-in loaded by the command-line host. Everything goes through the plug-in's
// AEffect record, exactly as a host drives it.
#include "host/vst_interface.h"

#include <functional>
#include <string>
#include <vector>

namespace orvhost {

// What the host tells the plug-in when it asks (sample rate, block size, pin connections),
// and what it reports of the plug-in's requests.
struct HostContext {
    double sampleRate = 44100.0;
    int blockSize = 512;
    bool sideChainConnected = false;
    bool printAutomation = false;
    int automationCount = 0;
    // The open editor's window: resized when the plug-in asks (audioMasterSizeWindow).
    std::function<bool(int width, int height)> sizeWindow;
};
HostContext& hostContext();

// The host callback handed to every plug-in.
VstIntPtr VSTCALLBACK_hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt);

class Plugin {
public:
    Plugin() = default;
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // Loads a plug-in by path or by the short names "borealis" and "kestrel". On failure returns
    // false with a one-line reason in `error`.
    bool load(const std::string& nameOrPath, std::string& error);
    // effClose and unload; safe to call twice.
    void close();

    AEffect* effect() const { return fx; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) const;

    // Convenience readers; strings are always terminated, whatever the plug-in writes.
    std::string stringOf(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0) const;
    std::string paramName(int index) const { return stringOf(effGetParamName, index); }
    std::string paramDisplay(int index) const { return stringOf(effGetParamDisplay, index); }
    std::string paramLabel(int index) const { return stringOf(effGetParamLabel, index); }
    float getParameter(int index) const;
    void setParameter(int index, float value) const;
    int numParams() const;
    int numInputs() const;
    int numOutputs() const;
    int initialDelay() const;
    bool isOrvPlugin() const;
    const std::string& path() const { return libraryPath; }

    // The chunk bytes as the plug-in hands them out (empty when it has none).
    std::vector<unsigned char> getChunk() const;
    // Returns the plug-in's answer to effSetChunk.
    VstIntPtr setChunk(std::vector<unsigned char>& bytes) const;

private:
    void* library = nullptr;
    AEffect* fx = nullptr;
    std::string libraryPath;
};

// Resolves "borealis"/"kestrel" to the plug-in built beside this program or installed in ~/.vst.
std::string resolvePluginPath(const std::string& nameOrPath);

}  // namespace orvhost

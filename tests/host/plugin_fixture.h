#pragma once
// Loads a built plug-in with dlopen and drives it through its AEffect record, as a host does.
// The test host callback records what the plug-in asks of the host.
#include "host/aeffeditor.h"
#include "host/vst_interface.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

struct HostLog {
    std::vector<std::pair<int, float>> automated;
    int updateDisplays = 0;
    int beginEdits = 0;
    int endEdits = 0;
    VstIntPtr versionAnswer = 2400;
    bool sideChainConnected = true;
};

inline HostLog& hostLog() {
    static HostLog log;
    return log;
}

inline VstIntPtr testHostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt) {
    HostLog& log = hostLog();
    switch (opcode) {
        case audioMasterVersion: return log.versionAnswer;
        case audioMasterAutomate: log.automated.emplace_back(index, opt); return 0;
        case audioMasterUpdateDisplay: ++log.updateDisplays; return 1;
        case audioMasterBeginEdit: ++log.beginEdits; return 1;
        case audioMasterEndEdit: ++log.endEdits; return 1;
        case audioMasterPinConnected: return (index >= 2 && !log.sideChainConnected) ? 1 : 0;
        default: return 0;
    }
}

class LoadedPlugin {
public:
    explicit LoadedPlugin(const char* path) {
        library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (library) entry = reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain"));
    }
    ~LoadedPlugin() {
        if (fx) fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
        if (library) dlclose(library);
    }
    AEffect* start() {
        fx = entry ? entry(testHostCallback) : nullptr;
        return fx;
    }
    // Starts the effect and gives it the sample rate and block size, as a host does first.
    AEffect* startAt(double rate, int blockSize) {
        if (!start()) return nullptr;
        dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
        dispatch(effSetBlockSize, 0, blockSize);
        return fx;
    }
    void closeEffect() {
        if (fx) fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
        fx = nullptr;
    }
    VstIntPtr dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return fx->dispatcher(fx, op, index, value, ptr, opt);
    }
    std::string text(VstInt32 op, VstInt32 index = 0) {
        char buf[256] = {};
        dispatch(op, index, 0, buf);
        return buf;
    }
    void* symbol(const char* name) { return library ? dlsym(library, name) : nullptr; }

    // Makes preset n of the bank current, as a host does: the plug-in shows the host a single
    // program, so the bank chunk is read, given n as its current preset and restored.
    bool selectPreset(int n) {
        void* data = nullptr;
        const VstIntPtr size = dispatch(effGetChunk, 0, 0, &data);
        if (size < 16 || !data) return false;
        std::vector<unsigned char> chunk(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
        for (int i = 0; i < 4; ++i) chunk[12 + i] = static_cast<unsigned char>(n >> (8 * i));
        dispatch(effSetChunk, 0, size, chunk.data());
        return currentPreset() == n;
    }
    // The current preset as the bank chunk records it; -1 without a chunk.
    int currentPreset() {
        void* data = nullptr;
        if (dispatch(effGetChunk, 0, 0, &data) < 16 || !data) return -1;
        const unsigned char* c = static_cast<const unsigned char*>(data);
        return c[12] | c[13] << 8 | c[14] << 16 | c[15] << 24;
    }

    using Entry = AEffect* (*)(audioMasterCallback);
    void* library = nullptr;
    Entry entry = nullptr;
    AEffect* fx = nullptr;
};

#pragma once
// Loads a plug-in DLL built beside this program with LoadLibrary and starts it through
// VSTPluginMain, as a Windows host does.
#include "host/vst_interface.h"

#include <windows.h>

#include <string>

std::string besideThisProgram(const char* file);

VstIntPtr quietHostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float);

class PluginDll {
public:
    explicit PluginDll(const char* file);
    ~PluginDll();
    PluginDll(const PluginDll&) = delete;
    PluginDll& operator=(const PluginDll&) = delete;

    bool loaded() const { return module != nullptr; }
    HMODULE handle() const { return module; }
    FARPROC symbol(const char* name) const { return module ? GetProcAddress(module, name) : nullptr; }
    // Calls the entry point; null when it is missing or the plug-in refuses.
    AEffect* start(audioMasterCallback host = quietHostCallback);
    // effClose for the running instance (the plug-in deletes itself).
    void closeEffect();
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr);
    std::string text(VstInt32 opcode);

private:
    HMODULE module = nullptr;
    AEffect* fx = nullptr;
};

#include "tests/windows/plugin_dll.h"

#include <cstring>

std::string besideThisProgram(const char* file) {
    char buf[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string path(buf, n);
    std::size_t slash = path.find_last_of("\\/");
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "\\" + file;
}

VstIntPtr quietHostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

PluginDll::PluginDll(const char* file) { module = LoadLibraryA(besideThisProgram(file).c_str()); }

PluginDll::~PluginDll() {
    closeEffect();
    if (module) FreeLibrary(module);
}

AEffect* PluginDll::start(audioMasterCallback host) {
    using Entry = AEffect* (*)(audioMasterCallback);
    auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(symbol("VSTPluginMain")));
    fx = entry ? entry(host) : nullptr;
    return fx;
}

void PluginDll::closeEffect() {
    if (fx) fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    fx = nullptr;
}

VstIntPtr PluginDll::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) {
    return fx ? fx->dispatcher(fx, opcode, index, value, ptr, 0.0f) : 0;
}

std::string PluginDll::text(VstInt32 opcode) {
    char buf[256] = {};
    dispatch(opcode, 0, 0, buf);
    buf[sizeof buf - 1] = 0;
    return buf;
}

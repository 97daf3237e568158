// A host that closes a plug-in and unloads its library gets the memory back: after dlclose
// neither library stays mapped, however often it was loaded, used and closed before.
#include "plugin_fixture.h"

#include <fstream>
#include <string>

namespace {

bool mapped(const std::string& path) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(path) != std::string::npos) return true;
    return false;
}

void loadUseAndClose(const char* path) {
    LoadedPlugin plugin(path);
    ASSERT_NE(plugin.startAt(44100.0, 64), nullptr) << dlerror();
    plugin.dispatch(effMainsChanged, 0, 1);
    float in[64] = {0.25f}, outL[64], outR[64];
    float* ins[4] = {in, in, in, in};
    float* outs[2] = {outL, outR};
    plugin.fx->processReplacing(plugin.fx, ins, outs, 64);
    char text[256];
    for (int i = 0; i < 34; ++i) plugin.dispatch(effGetParamDisplay, i, 0, text);
    plugin.dispatch(effGetProgramName, 0, 0, text);
    void* chunk = nullptr;
    plugin.dispatch(effGetChunk, 0, 0, &chunk);
}

TEST(LibraryUnload, BothLibrariesLeaveTheProcessAtDlclose) {
    for (const char* path : {ORV_BOREALIS_PATH, ORV_KESTREL_PATH}) {
        SCOPED_TRACE(path);
        for (int round = 0; round < 3; ++round) {
            loadUseAndClose(path);
            EXPECT_FALSE(mapped(path)) << "still mapped after dlclose, round " << round;
            EXPECT_EQ(dlopen(path, RTLD_NOW | RTLD_NOLOAD), nullptr);
        }
    }
}

}  // namespace

#pragma once
// A small LV2 host for the tests, built on lilv: it finds the installed bundles (LV2_PATH),
// instantiates a plug-in with the features the Orv bundles ask for, connects every port to
// buffers of its own and runs blocks of any length. State goes through lilv as a host's
// session does, or straight through the plug-in's state interface to see the bank chunk.
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace orvtest {

// URIDs shared by every instance of the test program.
class UridMap {
public:
    static LV2_URID map(LV2_URID_Map_Handle, const char* uri) { return id(uri); }
    static const char* unmap(LV2_URID_Unmap_Handle, LV2_URID urid) {
        return urid > 0 && urid <= names().size() ? names()[urid - 1].c_str() : nullptr;
    }
    static LV2_URID id(const std::string& uri) {
        auto& ids = table();
        auto it = ids.find(uri);
        if (it != ids.end()) return it->second;
        names().push_back(uri);
        return ids[uri] = static_cast<LV2_URID>(names().size());
    }
    LV2_URID_Map mapFeatureData{nullptr, map};
    LV2_URID_Unmap unmapFeatureData{nullptr, unmap};

private:
    static std::map<std::string, LV2_URID>& table() {
        static std::map<std::string, LV2_URID> t;
        return t;
    }
    static std::vector<std::string>& names() {
        static std::vector<std::string> n;
        return n;
    }
};

// The LV2 world of the installed bundles, loaded once per test program.
LilvWorld* lv2World();
const LilvPlugin* lv2Plugin(const char* uri);

class Lv2Instance {
public:
    static constexpr std::uint32_t kMaxBlock = 4096;

    // Activated at once unless `activateNow` is false (a host restoring a session first).
    Lv2Instance(const char* uri, double rate, bool activateNow = true);
    void activate();
    ~Lv2Instance();
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    bool ok() const { return instance != nullptr; }
    const LilvPlugin* plugin() const { return plug; }
    LilvInstance* lilv() const { return instance; }
    std::uint32_t portIndex(const char* symbol) const;
    float& control(const char* symbol) { return controls[portIndex(symbol)]; }
    float& control(std::uint32_t index) { return controls[index]; }
    // Key inputs connected or left unconnected (the host's choice for optional ports).
    void connectKeys(bool connected) { keysConnected = connected; }
    // Outputs written into the main input buffers, as hosts that process in place do.
    void processInPlace(bool yes) { inPlace = yes; }

    // Runs `frames` frames of the given channels (main L/R, key L/R) through the plug-in in
    // blocks of the given lengths, repeated; writes the two outputs.
    void process(const std::vector<float>* in, std::vector<float>* out, const std::vector<std::uint32_t>& blocks);
    void runSilence(std::uint32_t frames);

    // The plug-in's bank chunk, saved through its state interface; empty if none.
    std::vector<unsigned char> savedChunk();
    // Restores a bank chunk through the state interface; the status it answers.
    LV2_State_Status restoreChunk(const std::vector<unsigned char>& chunk, LV2_URID type);

    // A whole state as a host keeps it (port values and properties) through lilv.
    LilvState* saveState();
    void restoreState(const LilvState* state);

    std::vector<const LV2_Feature*> features;

private:
    static const void* portValue(const char* symbol, void* user, std::uint32_t* size, std::uint32_t* type);
    static void setPortValue(const char* symbol, void* user, const void* value, std::uint32_t size,
                             std::uint32_t type);

    const LilvPlugin* plug = nullptr;
    LilvInstance* instance = nullptr;
    UridMap urids;
    std::int32_t maxBlock = kMaxBlock;
    LV2_Options_Option options[2];
    LV2_Feature mapFeature, unmapFeature, optionsFeature;
    std::vector<float> controls;
    std::vector<std::vector<float>> audio;
    bool keysConnected = true;
    bool active = false;
    bool inPlace = false;
};

}  // namespace orvtest

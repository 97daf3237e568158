// The plug-in DLLs as a Windows host sees them: loaded with LoadLibrary, started through
// VSTPluginMain, answering their identity, carrying their art as resources, and keeping the
// meter settings in the current user's registry between instances.
#include "tests/windows/check.h"
#include "tests/windows/plugin_dll.h"

#include <cstring>
#include <vector>

namespace {

struct Deliverable {
    const char* file;
    VstInt32 id;
    const char* name;
};

std::vector<Deliverable> deliverables() {
    std::vector<Deliverable> list = {{"OrvBorealis.dll", fourCharCode('O', 'r', 'B', 'o'), "Orv Borealis"}};
#if ORV_HAVE_KESTREL_DLL
    list.push_back({"OrvKestrel.dll", fourCharCode('O', 'r', 'K', 'e'), "Orv Kestrel"});
#endif
    return list;
}

const char kMeterKey[] = "Software\\Orv-tonekraft\\Tamarind";
const char* const kMeterNames[5] = {"vuintegration", "vureference", "ppmintegration", "ppmreturn", "overcounter"};
// Settings 36..40 given to the first instance. The over count (40) is kept as the engine's
// own value for the nearest count, so the second instance must find whatever the first reported.
const float kStoredMeters[5] = {0.25f, 0.75f, 0.375f, 0.625f, 0.5f};

bool readRawFloat(const char* name, float& value) {
    DWORD type = 0, size = sizeof value;
    return RegGetValueA(HKEY_CURRENT_USER, kMeterKey, name, RRF_RT_ANY, &type, &value, &size) == ERROR_SUCCESS &&
           type == REG_BINARY && size == sizeof value;
}

}  // namespace

ORV_TEST(plugin, LoadsThroughLoadLibraryAndAnswersItsIdentity) {
    for (const Deliverable& d : deliverables()) {
        PluginDll dll(d.file);
        REQUIRE(dll.loaded());
        // `main` is the same function as VSTPluginMain.
        CHECK(dll.symbol("VSTPluginMain") != nullptr);
        CHECK(dll.symbol("main") == dll.symbol("VSTPluginMain"));
        AEffect* fx = dll.start();
        REQUIRE(fx != nullptr);
        CHECK_EQ(fx->magic, kEffectMagic);
        CHECK_EQ(fx->uniqueID, d.id);
        CHECK_EQ(fx->numParams, 34);
        CHECK_EQ(fx->numInputs, 4);
        CHECK_EQ(fx->numOutputs, 2);
        CHECK_EQ(dll.text(effGetEffectName), std::string(d.name));
        CHECK_EQ(dll.text(effGetVendorString), std::string("Orv-tonekraft"));
        dll.closeEffect();
    }
}

#if ORV_HAVE_ART
ORV_TEST(plugin, CarriesItsArtAsPngResources) {
    for (const Deliverable& d : deliverables()) {
        PluginDll dll(d.file);
        REQUIRE(dll.loaded());
        HRSRC first = FindResourceA(dll.handle(), MAKEINTRESOURCEA(19000), "PNG");
        REQUIRE(first != nullptr);
        const void* bytes = LockResource(LoadResource(dll.handle(), first));
        REQUIRE(bytes != nullptr && SizeofResource(dll.handle(), first) > 8);
        CHECK(std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0);
        CHECK(FindResourceA(dll.handle(), MAKEINTRESOURCEA(18999), "PNG") == nullptr);
    }
}
#endif

// First half of the round trip (its own process): an instance takes meter settings from the
// editor's indices and writes them to the registry when it is closed.
ORV_TEST(meters_store, ClosingAnInstanceStoresTheMeterSettings) {
    RegDeleteKeyA(HKEY_CURRENT_USER, kMeterKey);
    PluginDll dll("OrvBorealis.dll");
    REQUIRE(dll.loaded());
    AEffect* fx = dll.start();
    REQUIRE(fx != nullptr);
    float reported[5];
    for (int i = 0; i < 5; ++i) {
        fx->setParameter(fx, 36 + i, kStoredMeters[i]);
        reported[i] = fx->getParameter(fx, 36 + i);
    }
    for (int i = 0; i < 4; ++i) CHECK_EQ(reported[i], kStoredMeters[i]);
    CHECK(reported[4] > 0.4f && reported[4] < 0.6f);
    // Nothing is written while the instance lives; closing it stores all five.
    float stored = -1.0f;
    CHECK(!readRawFloat(kMeterNames[0], stored));
    dll.closeEffect();
    for (int i = 0; i < 5; ++i) {
        stored = -1.0f;
        CHECK(readRawFloat(kMeterNames[i], stored));
        CHECK_EQ(stored, reported[i]);
    }
}

// Second half, in a new process: a new instance starts with the stored settings; a stored
// value outside 0..1 is replaced by its fallback.
ORV_TEST(meters_reload, ANewInstanceStartsWithTheStoredSettings) {
    float stored[5] = {};
    for (int i = 0; i < 5; ++i) REQUIRE(readRawFloat(kMeterNames[i], stored[i]));
    for (int i = 0; i < 4; ++i) CHECK_EQ(stored[i], kStoredMeters[i]);
    for (const Deliverable& d : deliverables()) {
        PluginDll dll(d.file);
        REQUIRE(dll.loaded());
        AEffect* fx = dll.start();
        REQUIRE(fx != nullptr);
        for (int i = 0; i < 4; ++i) CHECK_EQ(fx->getParameter(fx, 36 + i), stored[i]);
        dll.closeEffect();
    }
    const float outOfRange = 1.5f;
    RegSetKeyValueA(HKEY_CURRENT_USER, kMeterKey, "vureference", REG_BINARY, &outOfRange, sizeof outOfRange);
    PluginDll dll("OrvBorealis.dll");
    AEffect* fx = dll.start();
    REQUIRE(fx != nullptr);
    CHECK_EQ(fx->getParameter(fx, 37), 0.5f);
    dll.closeEffect();
}

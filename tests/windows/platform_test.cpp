// The Windows back end of the platform layer: registry values under HKEY_CURRENT_USER and bitmap
// resources through the recorded module handle.
#include "platform/module_handle.h"
#include "platform/registry.h"
#include "platform/resources.h"
#include "tests/windows/check.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

const char kKey[] = "SOFTWARE\\Orv-tonekraft\\WindowsTest";

// What the registry itself holds, read without the platform layer (the 16-bit interface, which
// hands out string values unconverted).
bool rawValue(const char* key, const char* name, DWORD& type, std::vector<unsigned char>& data) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return false;
    wchar_t wideName[64] = {};
    MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 63);
    DWORD size = 0;
    bool ok = RegQueryValueExW(k, wideName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    data.assign(size, 0);
    if (ok && size) ok = RegQueryValueExW(k, wideName, nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
    RegCloseKey(k);
    return ok;
}

void removeTestKey() { RegDeleteKeyA(HKEY_CURRENT_USER, kKey); }

}  // namespace

ORV_TEST(platform, BinaryValuesRoundTripAsRegBinary) {
    using namespace orv::platform;
    removeTestKey();
    const unsigned char record[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    REQUIRE(registrySetBinary(kKey, "Record", record, sizeof record));

    DWORD type = 0;
    std::vector<unsigned char> raw;
    REQUIRE(rawValue(kKey, "Record", type, raw));
    CHECK_EQ(type, static_cast<DWORD>(REG_BINARY));
    CHECK(raw == std::vector<unsigned char>(record, record + sizeof record));

    unsigned char whole[32] = {};
    CHECK_EQ(registryGetBinary(kKey, "Record", whole, sizeof whole), 10L);
    CHECK(std::memcmp(whole, record, sizeof record) == 0);
    // A shorter buffer gets the first bytes, never an overrun or a failure.
    unsigned char part[4] = {};
    CHECK_EQ(registryGetBinary(kKey, "Record", part, sizeof part), 4L);
    CHECK(std::memcmp(part, record, 4) == 0);
    // Overwriting replaces the whole value.
    const unsigned char shorter[2] = {42, 43};
    REQUIRE(registrySetBinary(kKey, "Record", shorter, sizeof shorter));
    CHECK_EQ(registryGetBinary(kKey, "Record", whole, sizeof whole), 2L);
    removeTestKey();
}

ORV_TEST(platform, MissingAndMistypedValuesReadAsMissing) {
    using namespace orv::platform;
    removeTestKey();
    unsigned char buf[4] = {7, 7, 7, 7};
    CHECK_EQ(registryGetBinary(kKey, "Nothing", buf, sizeof buf), -1L);
    CHECK_EQ(registryGetBinary("SOFTWARE\\Orv-tonekraft\\NoSuchKey", "Nothing", buf, sizeof buf), -1L);
    CHECK_EQ(buf[0], 7);
    std::string s = "untouched";
    CHECK(!registryGetString(kKey, "Nothing", s));
    CHECK_EQ(s, std::string("untouched"));

    REQUIRE(registrySetString(kKey, "Text", "abc"));
    CHECK_EQ(registryGetBinary(kKey, "Text", buf, sizeof buf), -1L);
    const float f = 0.5f;
    REQUIRE(registrySetBinary(kKey, "Number", &f, sizeof f));
    CHECK(!registryGetString(kKey, "Number", s));
    CHECK(!registryGetString("", "Text", s));
    removeTestKey();
}

ORV_TEST(platform, StringsAreStoredAsSixteenBitWithTheirTerminator) {
    using namespace orv::platform;
    removeTestKey();
    REQUIRE(registrySetString(kKey, "CurrDir", "C:\\Presets"));
    DWORD type = 0;
    std::vector<unsigned char> raw;
    REQUIRE(rawValue(kKey, "CurrDir", type, raw));
    CHECK_EQ(type, static_cast<DWORD>(REG_SZ));
    const char expected[] = "C:\\Presets";
    REQUIRE(raw.size() == 2 * sizeof expected);  // ten characters and the zero, two bytes each
    for (std::size_t i = 0; i < sizeof expected; ++i) {
        CHECK_EQ(raw[2 * i], static_cast<unsigned char>(expected[i]));
        CHECK_EQ(raw[2 * i + 1], 0);
    }
    std::string back;
    CHECK(registryGetString(kKey, "CurrDir", back));
    CHECK_EQ(back, std::string("C:\\Presets"));

    // An empty string is a value of its own (just the terminator), not a missing one.
    REQUIRE(registrySetString(kKey, "CurrBank", ""));
    back = "x";
    CHECK(registryGetString(kKey, "CurrBank", back));
    CHECK_EQ(back, std::string());

    // Characters of the current code page survive the 8-bit to 16-bit conversion.
    if (GetACP() != CP_UTF8) {
        const std::string accented = "Mix \xE9t\xE9";
        REQUIRE(registrySetString(kKey, "CurrPreset", accented));
        CHECK(registryGetString(kKey, "CurrPreset", back));
        CHECK_EQ(back, accented);
        wchar_t wide[16] = {};
        MultiByteToWideChar(CP_ACP, 0, accented.c_str(), -1, wide, 16);
        REQUIRE(rawValue(kKey, "CurrPreset", type, raw));
        CHECK(raw.size() >= 2 * 5 && std::memcmp(raw.data(), wide, 2 * 5) == 0);
    }
    removeTestKey();
}

ORV_TEST(platform, StringsWithoutTerminatorReadSafely) {
    using namespace orv::platform;
    removeTestKey();
    HKEY k;
    REQUIRE(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) == ERROR_SUCCESS);
    const wchar_t unterminated[3] = {L'a', L'b', L'c'};
    RegSetValueExW(k, L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(unterminated), sizeof unterminated);
    const unsigned char odd[3] = {'a', 0, 'b'};
    RegSetValueExW(k, L"Odd", 0, REG_SZ, odd, sizeof odd);
    RegCloseKey(k);
    std::string back;
    CHECK(registryGetString(kKey, "Raw", back));
    CHECK_EQ(back, std::string("abc"));
    CHECK(!registryGetString(kKey, "Odd", back));
    removeTestKey();
}

ORV_TEST(platform, DeleteRemovesOnlyExistingValues) {
    using namespace orv::platform;
    removeTestKey();
    CHECK(!registryDeleteValue(kKey, "MemoA"));
    const unsigned char b = 1;
    REQUIRE(registrySetBinary(kKey, "MemoA", &b, 1));
    CHECK(registryDeleteValue(kKey, "MemoA"));
    CHECK(!registryDeleteValue(kKey, "MemoA"));
    unsigned char out = 0;
    CHECK_EQ(registryGetBinary(kKey, "MemoA", &out, 1), -1L);
    removeTestKey();
}

#if ORV_HAVE_ART
ORV_TEST(platform, ResourcesAreFoundThroughTheRecordedModule) {
    using namespace orv::platform;
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    setModuleHandle(nullptr);
    CHECK(!findResource(19000, data, size));  // no module recorded yet
    // This program carries the Borealis art as resources, as the plug-in DLL does.
    setModuleHandle(GetModuleHandleA(nullptr));
    REQUIRE(findResource(19000, data, size));
    REQUIRE(data != nullptr && size > 8);
    CHECK(std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0);
    const unsigned char* untouched = data;
    CHECK(!findResource(18999, data, size));
    CHECK(!findResource(-1, data, size));
    CHECK(!findResource(0x12345, data, size));
    CHECK(data == untouched);
}
#endif


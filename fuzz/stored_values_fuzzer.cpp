// Values of the per-user store: arbitrary bytes in a value's file, read back as a binary
// value, as a string, and as the stored default bank and preset and the remembered locations
// that an engine loads when it starts.
//
// Input: one control byte, then the file's bytes. Control bits 0-2: which value (DefaultBank,
// DefaultPreset, MemoA, CurrDir, CurrBank, CurrPreset, or a value of another name); 3: wrap
// the bytes in a well-formed envelope (magic, type, length, hash), with bit 4 choosing the
// string type instead of binary, so that the payload's readers are reached at once.
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "fuzz/preset_editor_support.h"
#include "platform/registry.h"

namespace {

std::uint32_t fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t h = 2166136261u;
    for (std::uint8_t b : bytes) {
        h ^= b;
        h *= 16777619u;
    }
    return h;
}

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

const std::string& keyFolder() {
    static const std::string folder = [] {
        std::string path = orvfuzz::privateStore();
        for (const char* part : {"SOFTWARE", "Orv-tonekraft", "Orv_Borealis"}) {
            path += "/";
            path += part;
            mkdir(path.c_str(), 0700);
        }
        return path;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const char* const names[] = {"DefaultBank", "DefaultPreset", "MemoA", "CurrDir",
                                        "CurrBank",    "CurrPreset",    "Other", "DefaultBank"};
    const std::uint8_t control = data[0];
    const char* name = names[control & 7];
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if (control & 8) {
        std::vector<std::uint8_t> wrapped = {'O', 'R', 'V', 'R'};
        putU32(wrapped, (control & 16) ? 1u : 3u);
        putU32(wrapped, static_cast<std::uint32_t>(bytes.size()));
        wrapped.insert(wrapped.end(), bytes.begin(), bytes.end());
        putU32(wrapped, fnv1a(wrapped));
        bytes.swap(wrapped);
    }
    const std::string file = keyFolder() + "/" + name;
    if (std::FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }

    // Reads with every capacity a caller uses, and a null destination.
    std::uint8_t record[sizeof(BankFileRecord) + 16];
    for (std::size_t capacity : {std::size_t(0), sizeof(PresetFileRecord), sizeof(BankFileRecord)}) {
        std::memset(record, 0xA5, sizeof record);
        const long got = orv::platform::registryGetBinary(kPresetStoreKey, name, record, capacity);
        if (got < -1 || got > static_cast<long>(capacity)) orvfuzz::fail("binary read reported a wrong length");
        for (std::size_t i = capacity; i < sizeof record; ++i)
            if (record[i] != 0xA5) orvfuzz::fail("binary read wrote past its capacity");
    }
    if (orv::platform::registryGetBinary(kPresetStoreKey, name, nullptr, 64) > 0)
        orvfuzz::fail("a read into nothing reported bytes");
    std::string text = "untouched";
    if (!orv::platform::registryGetString(kPresetStoreKey, name, text) && text != "untouched")
        orvfuzz::fail("a failed string read changed the string");

    // The engine start-up path: stored defaults and locations loaded by the preset editor.
    CPresetSystemEffect& fx = (control & 32) ? static_cast<CPresetSystemEffect&>(orvfuzz::kestrel())
                                             : static_cast<CPresetSystemEffect&>(orvfuzz::borealis());
    CPresetSystemEditor& editor = orvfuzz::editorOf(fx);
    editor.loadStoredDefaults();
    for (const char* location : {editor.getCurrentDirectory(), editor.getCurrentBankFile(), editor.getCurrentPresetFile()})
        if (std::memchr(location, 0, CPresetSystemEditor::kDirectoryCapacity) == nullptr)
            orvfuzz::fail("a remembered location is unterminated");
    orvfuzz::checkEngine(fx);

    std::remove(file.c_str());
    return 0;
}

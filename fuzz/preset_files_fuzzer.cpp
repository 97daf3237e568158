// Preset and bank files as the editors read them: arbitrary bytes in a file, read into a
// zero-filled record and loaded into either engine, natively or as "endian-reversed".
//
// Input: one control byte, then the file's bytes. Control bits 0: which engine; 1: bank file
// instead of preset file; 2: the user's "endian-reversed" choice; 3-4: how the file is stamped
// (0 as given, 1 with the engine's identifier, 2 byte-reversed); 5: the right record type.
#include <cstring>
#include <string>
#include <unistd.h>

#include "fuzz/preset_editor_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t control = data[0];
    CPresetSystemEffect& fx = (control & 1) ? static_cast<CPresetSystemEffect&>(orvfuzz::kestrel())
                                            : static_cast<CPresetSystemEffect&>(orvfuzz::borealis());
    const bool bank = control & 2;
    const bool reversed = control & 4;
    std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const int stamp = (control >> 3) & 3;
    if (stamp && bytes.size() >= 4) {
        std::int32_t id = fx.getUniqueID();
        if (stamp == 2) swapWord(&id);
        std::memcpy(&bytes[0], &id, 4);
    }
    if ((control & 32) && bytes.size() >= 5) bytes[4] = static_cast<char>(bank ? kBankRecordType : kPresetRecordType);

    static const std::string path = orvfuzz::privateStore() + "/input.orv";
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }

    CPresetSystemEditor& editor = orvfuzz::editorOf(fx);
    if (bank) {
        BankFileRecord record;
        if (!readRecordFile(path, &record, sizeof record)) orvfuzz::fail("the file could not be read");
        editor.loadBankRecord(record, reversed);
    } else {
        PresetFileRecord record;
        if (!readRecordFile(path, &record, sizeof record)) orvfuzz::fail("the file could not be read");
        editor.loadPresetRecord(record, reversed);
    }

    // Names stay within their field and the host can always read them.
    char name[64];
    for (VstInt32 k = 0; k < kNumPresets; ++k) {
        std::memset(name, 0x55, sizeof name);
        if (fx.dispatcher(effGetProgramNameIndexed, k, 0, name, 0.0f) != 1) orvfuzz::fail("a preset name is missing");
        if (std::memchr(name, 0, kPresetNameLength + 1) == nullptr) orvfuzz::fail("a preset name is unterminated");
    }
    if (fx.getCurrentPreset() < 0 || fx.getCurrentPreset() >= kNumPresets) orvfuzz::fail("current preset out of range");
    orvfuzz::checkEngine(fx);
    return 0;
}

#include "tools/orv-host/orv_banks.h"

#include "presets/preset_file_record.h"
#include "tools/orv-host/os.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace orvhost {
namespace {

constexpr std::size_t kPresetsOffset = kBankChunkHeaderSize;
constexpr std::size_t kCurrentPresetOffset = 12;

const FactoryPresetValues* factoryValues(const Plugin& plugin) {
    if (!plugin.effect()) return nullptr;
    if (plugin.effect()->uniqueID == fourCharCode('O', 'r', 'B', 'o')) return &kBorealisFactoryPresets;
    if (plugin.effect()->uniqueID == fourCharCode('O', 'r', 'K', 'e')) return &kKestrelFactoryPresets;
    return nullptr;
}

void putWord(std::vector<unsigned char>& chunk, std::size_t offset, std::int32_t value) {
    std::memcpy(&chunk[offset], &value, 4);
}

// The plug-in's own chunk, checked to be an Orv bank chunk.
bool currentChunk(const Plugin& plugin, std::vector<unsigned char>& chunk, std::string& error) {
    chunk = plugin.getChunk();
    if (!factoryValues(plugin) || chunk.size() != static_cast<std::size_t>(kBankChunkSize)) {
        error = "preset and bank files are for the Orv plug-ins only";
        return false;
    }
    return true;
}

PresetRecord* presetsOf(std::vector<unsigned char>& chunk) {
    return reinterpret_cast<PresetRecord*>(chunk.data() + kPresetsOffset);
}

bool hands(const Plugin& plugin, std::vector<unsigned char>& chunk, const std::string& path, std::string& error) {
    if (plugin.setChunk(chunk) == 0) return true;
    error = "the plug-in refused the presets of " + path;
    return false;
}

// Reads one record file with the editor's reader; the size must be exactly one record, so a
// cut or padded file is refused with its reason instead of loading zeros.
bool readRecord(const std::string& path, void* record, std::size_t size, const char* what, std::string& error) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        error = "cannot read " + std::string(what) + " " + path + ": " + lastSystemError();
        return false;
    }
    if (!readRecordFile(path, record, size)) {
        error = "cannot read " + std::string(what) + " " + path + " (not a regular file?)";
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) != size) {
        error = path + " is not a " + what + ": " + std::to_string(st.st_size) + " bytes, a " + what + " has " +
                std::to_string(size);
        return false;
    }
    return true;
}

bool endsWith(const std::string& path, const char* extension) {
    const std::size_t n = std::strlen(extension);
    if (path.size() <= n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(path[path.size() - n + i])) != extension[i]) return false;
    return true;
}

}  // namespace

std::vector<unsigned char> factoryBankChunk(const Plugin& plugin) {
    const FactoryPresetValues* values = factoryValues(plugin);
    if (!values) return {};
    std::vector<unsigned char> chunk(kBankChunkSize, 0);
    putWord(chunk, 0, kChunkVersion);
    putWord(chunk, 4, plugin.effect()->uniqueID);
    putWord(chunk, 8, kNumPresets);
    putWord(chunk, kCurrentPresetOffset, 0);
    for (int k = 0; k < kNumPresets; ++k) {
        PresetRecord preset;
        setPresetName(preset, kFactoryPresetNames[k]);
        for (int i = 0; i < kNumPresetParams; ++i) preset.values[i] = (*values)[k][i];
        std::memcpy(chunk.data() + kPresetsOffset + k * sizeof(PresetRecord), &preset, sizeof preset);
    }
    return chunk;
}

bool startsFromStoredDefaults(const Plugin& plugin) {
    const std::vector<unsigned char> factory = factoryBankChunk(plugin);
    const std::vector<unsigned char> now = plugin.getChunk();
    if (factory.empty() || now.size() != factory.size()) return false;
    return std::memcmp(factory.data() + kPresetsOffset, now.data() + kPresetsOffset, factory.size() - kPresetsOffset) != 0;
}

bool loadBankFile(const Plugin& plugin, const std::string& path, std::string& error) {
    std::vector<unsigned char> chunk;
    if (!currentChunk(plugin, chunk, error)) return false;
    BankFileRecord bank;
    if (!readRecord(path, &bank, sizeof bank, "bank file", error)) return false;
    const RecordByteOrder order =
        recordByteOrder(bank.identifier, bank.type, plugin.effect()->uniqueID, kBankRecordType, false);
    if (order == RecordByteOrder::Rejected) {
        error = path + " is not a bank file of " + plugin.stringOf(effGetEffectName);
        return false;
    }
    // As the editor loads a bank: all sixteen presets, then preset 0.
    for (int k = 0; k < kNumPresets; ++k) {
        PresetRecord preset = bank.presets[k];
        if (order == RecordByteOrder::Swapped) swapPresetValues(preset);
        std::memcpy(&presetsOf(chunk)[k], &preset, sizeof preset);
    }
    putWord(chunk, kCurrentPresetOffset, 0);
    return hands(plugin, chunk, path, error);
}

bool loadPresetFile(const Plugin& plugin, const std::string& path, std::string& error) {
    std::vector<unsigned char> chunk;
    if (!currentChunk(plugin, chunk, error)) return false;
    PresetFileRecord file;
    if (!readRecord(path, &file, sizeof file, "preset file", error)) return false;
    const RecordByteOrder order =
        recordByteOrder(file.identifier, file.type, plugin.effect()->uniqueID, kPresetRecordType, false);
    if (order == RecordByteOrder::Rejected) {
        error = path + " is not a preset file of " + plugin.stringOf(effGetEffectName);
        return false;
    }
    // As the editor loads a preset: it replaces the current preset, name and all.
    std::int32_t current;
    std::memcpy(&current, &chunk[kCurrentPresetOffset], 4);
    if (current < 0 || current >= kNumPresets) current = 0;
    PresetRecord preset = file.preset;
    if (order == RecordByteOrder::Swapped) swapPresetValues(preset);
    std::memcpy(&presetsOf(chunk)[current], &preset, sizeof preset);
    return hands(plugin, chunk, path, error);
}

bool isPresetFileName(const std::string& path) { return endsWith(path, ".orv"); }
bool isBankFileName(const std::string& path) { return endsWith(path, ".orb"); }

}  // namespace orvhost

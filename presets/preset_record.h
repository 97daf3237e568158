#pragma once
// The unit of preset storage: a 24-byte name and the 34 normalised parameter values.
// The same 160 bytes appear in memory, in bank chunks, in files and in stored records.
#include <cstdint>

constexpr int kNumPresets = 16;
constexpr int kNumPresetParams = 34;
constexpr int kPresetNameLength = 24;
constexpr int kBankChunkHeaderSize = 32;
constexpr int kBankChunkSize = 2592;
constexpr std::int32_t kChunkVersion = 0x01000000;

struct PresetRecord {
    // 8-bit characters; zero-terminated and zero-filled when shorter than 24, unterminated at 24.
    char name[kPresetNameLength];
    float values[kNumPresetParams];
};
static_assert(sizeof(PresetRecord) == 160, "preset record is 160 bytes");
static_assert(kBankChunkHeaderSize + kNumPresets * sizeof(PresetRecord) == kBankChunkSize, "bank chunk size");

// Copies at most 24 characters of `text` into a name field, zero-filling the rest.
void setPresetName(PresetRecord& record, const char* text);

// Reverses the byte order of a 32-bit word in place.
void swapWord(void* word);

// The factory bank of one deliverable: names are shared, values differ.
using FactoryPresetValues = float[kNumPresets][kNumPresetParams];
extern const char* const kFactoryPresetNames[kNumPresets];
extern const FactoryPresetValues kBorealisFactoryPresets;
extern const FactoryPresetValues kKestrelFactoryPresets;

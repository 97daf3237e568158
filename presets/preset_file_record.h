#pragma once
// The records of preset and bank files and of the stored defaults and memories: a 4-byte
// identifier (the plug-in's unique id), a 1-byte record type and then one preset (preset
// record, 165 bytes) or the 16 presets in order (bank record, 2565 bytes). The records are
// packed and written in the machine's byte order; a file is exactly one record long.
//
// The preset members sit at offset 5 and are therefore unaligned: never take the address of a
// field inside them. Copy the whole PresetRecord out (or use the helpers below) instead.
#include <cstddef>
#include <cstdint>
#include <string>

#include "presets/preset_record.h"

constexpr unsigned char kPresetRecordType = 0x21;  // '!'
constexpr unsigned char kBankRecordType = 0x37;    // '7'

#pragma pack(push, 1)
struct PresetFileRecord {
    std::int32_t identifier;
    unsigned char type;
    PresetRecord preset;
};
struct BankFileRecord {
    std::int32_t identifier;
    unsigned char type;
    PresetRecord presets[kNumPresets];
};
#pragma pack(pop)
static_assert(sizeof(PresetFileRecord) == 165, "preset file record is 165 bytes");
static_assert(sizeof(BankFileRecord) == 2565, "bank file record is 2565 bytes");

// How a loaded record's values are to be read.
enum class RecordByteOrder { Rejected, Native, Swapped };

// Decides from the record's identifier and type whether it belongs to the plug-in `uniqueId`
// and in which byte order its values are. `userReversed` (the "endian-reversed" load) flips the
// decision once more. A wrong identifier or type gives Rejected.
RecordByteOrder recordByteOrder(std::int32_t identifier, unsigned char type, std::int32_t uniqueId,
                                unsigned char expectedType, bool userReversed);

// Reverses the byte order of the 34 values of a preset; the name is left as it is.
void swapPresetValues(PresetRecord& preset);

// Reads at most `size` bytes of the file `path` into `record`, which is zero-filled first (a
// short file leaves the rest zero). The file is opened for reading only. False when the file
// could not be opened or is not a regular file (a folder, FIFO or device); `record` is then all
// zero.
bool readRecordFile(const std::string& path, void* record, std::size_t size);

// Writes `size` bytes to the file `path`, replacing it. False when the file could not be
// created or not every byte was written.
bool writeRecordFile(const std::string& path, const void* record, std::size_t size);

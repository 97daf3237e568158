#include "presets/preset_file_record.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

RecordByteOrder recordByteOrder(std::int32_t identifier, unsigned char type, std::int32_t uniqueId,
                                unsigned char expectedType, bool userReversed) {
    std::int32_t reversedId = uniqueId;
    swapWord(&reversedId);
    bool swap;
    // A record written on a machine of the other byte order carries the identifier reversed.
    // An identifier that reads the same both ways is taken as native.
    if (identifier == reversedId && reversedId != uniqueId)
        swap = true;
    else if (identifier == uniqueId)
        swap = false;
    else
        return RecordByteOrder::Rejected;
    if (type != expectedType) return RecordByteOrder::Rejected;
    if (userReversed) swap = !swap;
    return swap ? RecordByteOrder::Swapped : RecordByteOrder::Native;
}

void swapPresetValues(PresetRecord& preset) {
    for (float& v : preset.values) swapWord(&v);
}

bool readRecordFile(const std::string& path, void* record, std::size_t size) {
    std::memset(record, 0, size);
    // Only a regular file holds a record. Opening a FIFO waits for a writer and reading a
    // terminal waits for input; either would stall the editor and the host's interface with it.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), error)) return false;
    // Reading only: a preset file the user may not write to (a read-only library, a file on a
    // CD) loads as well as any other.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    const std::size_t got = std::fread(record, 1, size, file);
    std::fclose(file);
    // Whatever was read stays; the rest of the record is zero.
    if (got < size) std::memset(static_cast<unsigned char*>(record) + got, 0, size - got);
    return true;
}

bool writeRecordFile(const std::string& path, const void* record, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(record, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

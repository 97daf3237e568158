#include "presets/preset_record.h"

#include <cstring>

void setPresetName(PresetRecord& record, const char* text) {
    std::memset(record.name, 0, sizeof record.name);
    if (text) std::memcpy(record.name, text, strnlen(text, kPresetNameLength));
}

void swapWord(void* word) {
    unsigned char* b = static_cast<unsigned char*>(word);
    unsigned char t = b[0];
    b[0] = b[3];
    b[3] = t;
    t = b[1];
    b[1] = b[2];
    b[2] = t;
}

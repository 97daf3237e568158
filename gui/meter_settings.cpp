#include "gui/meter_settings.h"

#include "platform/registry.h"

#include <cmath>

namespace {

const char kMeterKey[] = "SOFTWARE\\Orv-tonekraft\\Tamarind";

struct MeterSettingEntry {
    const char* name;
    float whenMissing;
    float whenOutOfRange;
};

const MeterSettingEntry kEntries[] = {
    {"vuintegration", 0.5f, 0.5f},
    {"vureference", 0.41f, 0.5f},
    {"ppmintegration", 0.5f, 0.52f},
    {"ppmreturn", 0.5f, 0.72365f},
    {"overcounter", 2.0f / 9.0f, 0.25f},
};

const MeterSettingEntry* entryFor(int index) {
    if (index < kFirstMeterSetting || index > kLastMeterSetting) return nullptr;
    return &kEntries[index - kFirstMeterSetting];
}

}  // namespace

float readMeterSetting(int index) {
    const MeterSettingEntry* entry = entryFor(index);
    if (!entry) return 0.5f;
    float value;
    if (orv::platform::registryGetBinary(kMeterKey, entry->name, &value, sizeof value) != sizeof value)
        return entry->whenMissing;
    return value;
}

void writeMeterSetting(int index, float value) {
    const MeterSettingEntry* entry = entryFor(index);
    if (!entry) return;
    orv::platform::registrySetBinary(kMeterKey, entry->name, &value, sizeof value);
}

float meterSettingFallback(int index) {
    const MeterSettingEntry* entry = entryFor(index);
    return entry ? entry->whenOutOfRange : 0.5f;
}

float readCheckedMeterSetting(int index) {
    float value = readMeterSetting(index);
    // A stored NaN is garbage too: it fails both comparisons, so test for the valid range.
    if (!(value >= 0.0f && value <= 1.0f)) return meterSettingFallback(index);
    return value;
}

void MeterSettingChanges::noteSet(int index) {
    if (index < kFirstMeterSetting || index > kLastMeterSetting) return;
    marks[index - kFirstMeterSetting].store(true, std::memory_order_relaxed);
}

void MeterSettingChanges::forget() {
    for (std::atomic<bool>& mark : marks) mark.store(false, std::memory_order_relaxed);
}

bool MeterSettingChanges::wasSet(int index) const {
    if (index < kFirstMeterSetting || index > kLastMeterSetting) return false;
    return marks[index - kFirstMeterSetting].load(std::memory_order_relaxed);
}

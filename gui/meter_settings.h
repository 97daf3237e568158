#pragma once
// The five meter settings (VU integration, VU reference, PPM integration, PPM return, over
// count) kept for the user between sessions, shared by both plug-ins. Each is a normalised
// parameter value (engine indices 36 to 40) stored as a 4-byte float.
#include <atomic>

constexpr int kFirstMeterSetting = 36;
constexpr int kLastMeterSetting = 40;

// The stored value of setting `index`, or its default when missing or unreadable.
// An index outside 36..40 reads as 0.5.
float readMeterSetting(int index);

// Stores `value` for setting `index`; an index outside 36..40 writes nothing.
void writeMeterSetting(int index, float value);

// The value an engine uses when the stored one lies outside 0..1 (or is not a number).
float meterSettingFallback(int index);

// The stored setting, checked: out-of-range values are replaced by the fallback.
float readCheckedMeterSetting(int index);

// What one plug-in instance has done to the stored settings. Several instances share the store;
// an instance writes back only the settings it has set since it read them, so an instance that
// changed nothing cannot undo, when it closes, a change the user made in another one.
class MeterSettingChanges {
public:
    // Marks setting `index` as set by this instance; other indices are ignored. Lock-free, so
    // the audio thread may call it from host automation.
    void noteSet(int index);
    // Forgets every mark; the engine calls this right after applying the stored values.
    void forget();
    bool wasSet(int index) const;
    // Stores each marked setting with the value `current(index)` gives, and clears its mark.
    // Runs on the interface thread only (it writes the store).
    template <class CurrentValue>
    void writeBack(CurrentValue current) {
        for (int index = kFirstMeterSetting; index <= kLastMeterSetting; ++index)
            if (marks[index - kFirstMeterSetting].exchange(false, std::memory_order_relaxed))
                writeMeterSetting(index, current(index));
    }

private:
    std::atomic<bool> marks[kLastMeterSetting - kFirstMeterSetting + 1] = {};
};

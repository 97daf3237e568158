#pragma once
// The five meter settings (VU integration, VU reference, PPM integration, PPM return, over
// count) kept for the user between sessions, shared by both plug-ins. Each is a normalised
// parameter value (engine indices 36 to 40) stored as a 4-byte float.

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

#pragma once
// The typed value readouts of the editors: reading what the user typed, the text a readout
// shows for a value in engine units, and the conversion of a typed value to the knob's
// normalised parameter value.

// Reads a typed number: an optional "-", the integer digits, then after ".", "," or "k" the
// fraction digits. "k" reads thousands ("2k2" is 2200, "1k" 1000). Any other character ends
// the number ("12ms" is 12); text that does not start with a digit or "-" reads as 0.
double parseNumber(const char* text);

// True when `text` holds a number parseNumber reads: an optional "-" followed by a digit.
// Empty text, a lone "-" and words are no number; the readout then keeps its value.
bool isTypedNumber(const char* text);

// How a readout writes its value (engine units as the effect's getUnitValue gives them).
enum class ReadoutText {
    Ratio,      // "1.20 : 1", "oo : 1" above the limit
    Attack,     // milliseconds with 3, 2, 1 or 0 decimals: "12.5ms"
    Release,    // "350ms", from 1000 ms on seconds: "1.50s"
    Decibel,    // "-3.25dB"
    Hertz,      // "120Hz"
    Kilohertz,  // value in Hz shown in kHz: "4.0kHz"
    Percent,    // "50%"
    Tilt,       // "12L", "C", "12R"
};

// How a typed value becomes the knob's normalised value (before limiting to 0..1).
enum class ReadoutConversion {
    RatioSteps,    // the nearest step of the ratio table
    AttackLog,     // log10(100 t) / 5
    ReleaseLog,    // log10(t / 100) / 2 (100 ms .. 10 s)
    ReleaseLog33,  // log10(0.03 t) / 2 (33 ms .. 3.3 s)
    Threshold,     // (6 - t) / 36
    Makeup,        // (t + 12) / 36
    Output24,      // t / 24 + 0.5 (-12 .. +12 dB)
    Output18,      // (t + 12) / 18 (-12 .. +6 dB)
    LowLog,        // log10(t / 25) / log10(16)
    HighLog,       // log10(t) / log10(16), t in kHz
    Percent,       // t / 100
    Tilt,          // t / 100 + 0.5
};

// Values above this show "oo : 1" in the Ratio readout: only the 64 : 1 step.
constexpr float kRatioInfinityLimit = 20.0f;

// Writes the readout text of `value` (engine units) into `text` (at least 32 characters).
void readoutText(ReadoutText kind, float value, char* text);

// The normalised value of a typed value `t`, limited to 0..1.
float readoutToNormalised(ReadoutConversion kind, double t);

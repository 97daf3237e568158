#pragma once
// Value-to-text functions the editors install on their value displays. Each writes a short,
// zero-terminated text (well under the display's 256 characters) into `text`.

// A time in milliseconds: "0ms" below 0.0001, then 3, 2, 1 or 0 decimals below 1, 10, 100 and
// 1000 ms, and from 1000 ms on seconds with 3 decimals ("1.500s"). Digits are cut, not rounded.
void formatTime(float value, char* text);

// A linear level as dB below full scale at 6 dB per doubling, one decimal cut: "-6.0dBFS";
// "-oo dBFS" at 1e-8 and below.
void formatDbfs(float value, char* text);

// A whole number of samples followed by "smps"; below 1 "0smps".
void formatSamples(float value, char* text);

// The value cut to a whole number.
void formatInteger(float value, char* text);

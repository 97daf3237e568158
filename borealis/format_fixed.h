#pragma once
// The number formatter of parameter displays and editor readouts: up to 8 characters of
// sign, digits and point, cut (not rounded) after the requested number of decimals.

// Writes `value` with `decimals` digits after the point (none and no point for 0) into `text`,
// which must hold 12 characters. Values beyond eight digits, NaN and infinities give "".
void formatFixed(double value, int decimals, char* text);

#pragma once
// `--set NAME=VALUE` as a person types it: the name in any case with any blanks around it (or
// the parameter's index), the value either as the plain 0..1 value a host stores, or in the
// parameter's own units as the plug-in displays them ("-12dB", "10ms", "4:1", "On").
#include "tools/orv-host/plugin.h"

#include <string>

namespace orvhost {

// The parameter a name or index stands for; -1 if none.
int findParameter(const Plugin& plugin, const std::string& key);

// The distinct parameter names, for an error message.
std::string parameterNames(const Plugin& plugin);

// A display text split into its number and its unit, the unit reduced to a base unit (seconds,
// hertz) with the number scaled to match. False when the text does not start with a number.
struct UnitValue {
    double value = 0.0;
    std::string unit;  // lower case, no blanks: "db", "s", "hz", "%", ":1", ""
};
bool parseUnitValue(const std::string& text, UnitValue& out);

// Finds the 0..1 value of parameter `index` that `text` asks for. A bare number is the 0..1
// value itself and must lie in 0..1. A number with a unit is searched for through the plug-in's
// own display of the parameter; other text must equal one of its displayed values. False with
// a one-line reason (out of range, wrong unit, no such value).
bool normalisedValue(const Plugin& plugin, int index, const std::string& text, float& value, std::string& error);

// How a bare number given to parameter `index` (now set) was taken, when the parameter shows a
// unit: "Makeup=1 is the position 1.0 (+24.08dB); write 1dB for a level". Empty when `text` is
// not a bare number or the parameter shows no unit.
std::string bareNumberNote(const Plugin& plugin, int index, const std::string& key, const std::string& text);

}  // namespace orvhost

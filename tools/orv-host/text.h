#pragma once
// Small text helpers shared by orv-host's option, parameter and session handling.
#include <string>

namespace orvhost {

// The text without leading and trailing spaces and tabs.
std::string trim(const std::string& s);

// True when the text is one to nine decimal digits and nothing else (a list index).
bool isDecimalIndex(const std::string& s);

// Reads a number that is the whole text; false for empty, partial, out-of-range or non-finite text.
bool parseWholeNumber(const std::string& s, double& out);

}  // namespace orvhost

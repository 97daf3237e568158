#pragma once
#include "tools/orv-host/options.h"

namespace orvhost {

// Each command returns the program's exit status and prints its own one-line errors.
int runInfo(const Options& options);
int runProcess(const Options& options);
int runBench(const Options& options);
int runEditor(const Options& options);

// Prints "orv-host: MESSAGE" on standard error and returns 1.
int fail(const std::string& message);
// Prints "orv-host: warning: MESSAGE" on standard error.
void warn(const std::string& message);
// Prints "orv-host: interrupted; MESSAGE" on standard error and returns the status of a program
// ended by the noted signal (128 + its number).
int interrupted(const std::string& message);

}  // namespace orvhost

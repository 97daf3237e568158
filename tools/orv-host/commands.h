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

}  // namespace orvhost

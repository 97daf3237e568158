#pragma once
// Counts every heap allocation made anywhere in the process (the plug-ins loaded with dlopen
// included) while counting is switched on. In a plain build the test binary replaces the C
// allocation functions and the global operator new; in an AddressSanitizer build the
// sanitizer's own allocation hooks are used instead, since the sanitizer owns malloc there.
//
// The test binary must export its symbols (ENABLE_EXPORTS) so that a plug-in's calls resolve
// to the replacements.

namespace torture {

// Starts counting from zero.
void startCountingAllocations();
// Stops counting; returns the number of allocations seen since the start.
long stopCountingAllocations();
// True when allocations can be seen at all in this build (a quick self-check runs first).
bool allocationCountingWorks();

}  // namespace torture

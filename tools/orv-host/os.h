#pragma once
// The few operating-system services orv-host needs, with a POSIX and a Windows implementation:
// loading a plug-in library, finding the program's own folder, replacing a file in one step
// and measuring the thread's CPU time.
#include <string>

namespace orvhost {

// File name ending of a plug-in library on this system (".so" or ".dll").
extern const char kPluginSuffix[];

// Opens a library; null with a one-line reason in `error` on failure.
void* openLibrary(const std::string& path, std::string& error);
// An exported function of an open library, or null.
void* librarySymbol(void* library, const char* name);
void closeLibrary(void* library);

// The folder holding this program ("." when it cannot be found).
std::string executableFolder();

// True for a path naming an existing regular file.
bool fileExists(const std::string& path);

// Moves `from` over `to`, replacing `to` if it exists. False when nothing was moved.
bool replaceFile(const std::string& from, const std::string& to);

// CPU seconds used by the calling thread (on Windows: wall-clock seconds, see os_windows.cpp).
double threadCpuSeconds();

// True when standard error is a terminal (progress bars are shown only then).
bool stderrIsTerminal();

}  // namespace orvhost

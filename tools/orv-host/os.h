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

// What a path names: nothing, a regular file, a folder, or something else (a device, a pipe).
enum class PathKind { Missing, Regular, Folder, Other };
PathKind pathKind(const std::string& path);

// True when both paths exist and name the same file (same device and file number), whatever
// names, links or folders lead to it.
bool sameFile(const std::string& a, const std::string& b);

// True when an existing file may be written by this process.
bool canWriteExisting(const std::string& path);

// The file a symbolic link finally names; the path itself when it is no link.
std::string followLinks(const std::string& path);

// This process's id, which makes the names of its temporary files its own.
long processId();

// The reason of the last failed system call, for messages.
std::string lastSystemError();

// Monotonic wall-clock seconds.
double wallSeconds();

// Moves `from` over `to`, replacing `to` if it exists. False when nothing was moved.
bool replaceFile(const std::string& from, const std::string& to);

// CPU seconds used by the calling thread (on Windows: wall-clock seconds, see os_windows.cpp).
double threadCpuSeconds();

// True when standard error is a terminal (progress bars are shown only then).
bool stderrIsTerminal();

// From this call on, Ctrl-C and a request to terminate (SIGINT, SIGTERM; on Windows the console's
// Ctrl-C and close events) no longer end the program at once: they are noted, so that the
// command can stop at its next step, remove an unfinished output and close the plug-in
// properly. A second one ends the program at once.
void catchInterruptions();
// The signal number of the interruption noted so far (on Windows 2 for Ctrl-C, 15 for the
// others), 0 when there has been none.
int interruption();

}  // namespace orvhost

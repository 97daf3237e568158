#pragma once
// The one rule for every file orv-host writes. A regular file (or a new name) is written under a
// temporary name of this process beside it and renamed over it only when it is complete, so a failed or
// interrupted run leaves either the finished file or the old one, never a half-written one. A
// device or a pipe (/dev/null, a FIFO) is written in place: renaming a file over it would
// replace the device itself. A folder or an unwritable file is refused before anything is done.
#include <cstddef>
#include <string>

namespace orvhost {

struct OutputPlan {
    std::string target;     // the file to end up with (symbolic links followed)
    std::string writePath;  // where the bytes are written
    bool direct = false;    // true for devices and pipes
};

// Decides where the bytes for `path` go. False with a one-line reason.
bool planOutput(const std::string& path, OutputPlan& plan, std::string& error);
// Ends a planned output once its file is closed (`written` false when a write or the close
// failed): the temporary file replaces the target. False with a one-line reason when the
// target was not written; the temporary file is then removed.
bool completeOutput(const OutputPlan& plan, bool written, std::string& error);
// Removes what a planned output wrote so far: the temporary file, never a device or pipe.
void discardOutput(const OutputPlan& plan);

// Writes `size` bytes as the whole of `path` by the rule above. False with a one-line reason.
bool writeWholeFile(const std::string& path, const void* data, std::size_t size, std::string& error);

}  // namespace orvhost

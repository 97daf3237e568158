#include "tools/orv-host/state_file.h"

#include "tools/orv-host/os.h"
#include "tools/orv-host/output_file.h"

#include <cstdio>

namespace orvhost {

bool readStateFile(const std::string& path, std::vector<unsigned char>& bytes, std::string& error) {
    bytes.clear();
    if (pathKind(path) == PathKind::Folder) {
        error = "the state file is a folder: " + path;
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot read state file: " + path;
        return false;
    }
    unsigned char buffer[1 << 14];
    std::size_t n;
    bool tooLarge = false;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        if (bytes.size() + n > kMaxStateFileBytes) {
            tooLarge = true;
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) error = "cannot read state file: " + path;
    else if (tooLarge) error = "state file is too large (over 64 MB): " + path;
    else if (bytes.empty()) error = "state file is empty: " + path;
    else return true;
    bytes.clear();
    return false;
}

bool writeStateFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error) {
    if (writeWholeFile(path, bytes.data(), bytes.size(), error)) return true;
    error = "cannot write state file: " + path + " (" + error + ")";
    return false;
}

}  // namespace orvhost

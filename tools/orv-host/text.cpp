#include "tools/orv-host/text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace orvhost {

std::string trim(const std::string& s) {
    const std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    const std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool isDecimalIndex(const std::string& s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

bool parseWholeNumber(const std::string& s, double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtod(s.c_str(), &end);
    return errno == 0 && end && *end == 0 && std::isfinite(out);
}

}  // namespace orvhost

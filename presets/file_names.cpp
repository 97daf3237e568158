#include "presets/file_names.h"

#include <cctype>

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool endsWithIgnoringCase(const std::string& text, const std::string& tail) {
    if (tail.size() > text.size()) return false;
    const std::size_t start = text.size() - tail.size();
    for (std::size_t i = 0; i < tail.size(); ++i)
        if (lower(text[start + i]) != lower(tail[i])) return false;
    return true;
}

}  // namespace

std::string withFileExtension(const std::string& path, const std::string& extension) {
    if (extension.empty()) return path;
    const std::string suffix = "." + extension;
    if (endsWithIgnoringCase(path, suffix)) return path;
    // A name that already ends in a dot ("Mix.") takes the extension without a second one.
    if (!path.empty() && path.back() == '.') return path + extension;
    return path + suffix;
}

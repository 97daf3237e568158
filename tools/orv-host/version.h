#pragma once
#include <string>

namespace orvhost {

// "orv-host VERSION" and the versions of the libraries it reads and writes audio with.
std::string versionText();

}  // namespace orvhost

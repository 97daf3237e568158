#include "tools/orv-host/version.h"

#if ORV_HAVE_SNDFILE
#include <sndfile.h>
#endif
#if ORV_HAVE_EBUR128
#include <ebur128.h>
#endif

namespace orvhost {

std::string versionText() {
    std::string text = std::string("orv-host ") + ORV_HOST_VERSION + "\n";
#if ORV_HAVE_SNDFILE
    text += std::string("audio files: ") + sf_version_string() + "\n";
#else
    text += "audio files: built-in WAV reader and writer\n";
#endif
#if ORV_HAVE_EBUR128
    int major = 0, minor = 0, patch = 0;
    ebur128_get_version(&major, &minor, &patch);
    text += "loudness: libebur128 " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch) + "\n";
#else
    text += "loudness: not available in this build\n";
#endif
    return text;
}

}  // namespace orvhost

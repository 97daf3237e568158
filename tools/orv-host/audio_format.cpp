// Output format choice and output placement, the same for every file back end.
#include "tools/orv-host/audio_file.h"

#include <cctype>
#include <cstdio>

namespace orvhost {

const char* containerName(Container c) {
    switch (c) {
        case Container::Wav: return "WAV";
        case Container::Flac: return "FLAC";
        case Container::Aiff: return "AIFF";
        case Container::Ogg: return "Ogg Vorbis";
    }
    return "?";
}

const char* depthName(SampleDepth d) {
    switch (d) {
        case SampleDepth::Pcm8: return "8-bit";
        case SampleDepth::Pcm16: return "16-bit";
        case SampleDepth::Pcm24: return "24-bit";
        case SampleDepth::Pcm32: return "32-bit";
        case SampleDepth::Float: return "32-bit float";
        case SampleDepth::Double: return "64-bit float";
        case SampleDepth::Lossy: return "lossy";
    }
    return "?";
}

int integerBits(SampleDepth d) {
    switch (d) {
        case SampleDepth::Pcm8: return 8;
        case SampleDepth::Pcm16: return 16;
        case SampleDepth::Pcm24: return 24;
        case SampleDepth::Pcm32: return 32;
        default: return 0;
    }
}

namespace {

bool extensionContainer(const std::string& path, Container& container) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "wav" || ext == "wave") container = Container::Wav;
    else if (ext == "flac") container = Container::Flac;
    else if (ext == "aiff" || ext == "aif" || ext == "aifc") container = Container::Aiff;
    else if (ext == "ogg" || ext == "oga") container = Container::Ogg;
    else return false;
    return true;
}

bool holds(Container c, SampleDepth d) {
    switch (c) {
        case Container::Wav:
        case Container::Aiff: return d != SampleDepth::Lossy;
        case Container::Flac: return d == SampleDepth::Pcm8 || d == SampleDepth::Pcm16 || d == SampleDepth::Pcm24;
        case Container::Ogg: return d == SampleDepth::Lossy;
    }
    return false;
}

}  // namespace

bool chooseOutputFormat(const std::string& path, const std::string& bits, Container fallback, SampleDepth source,
                        Container& container, SampleDepth& depth, std::string& error) {
    if (!extensionContainer(path, container)) container = fallback;
    if (container == Container::Ogg) {
        if (!bits.empty()) {
            error = "--bits does not apply to Ogg Vorbis (a lossy format): " + path;
            return false;
        }
        depth = SampleDepth::Lossy;
        return true;
    }
    if (!bits.empty()) {
        if (bits == "16") depth = SampleDepth::Pcm16;
        else if (bits == "24") depth = SampleDepth::Pcm24;
        else if (bits == "32") depth = SampleDepth::Pcm32;
        else if (bits == "float") depth = SampleDepth::Float;
        else {
            error = "bad --bits (16, 24, 32 or float): " + bits;
            return false;
        }
        if (!holds(container, depth)) {
            error = std::string(containerName(container)) + " cannot hold " + depthName(depth) + " samples (" + path + ")";
            return false;
        }
        return true;
    }
    depth = source;
    if (depth == SampleDepth::Double && container != Container::Flac) depth = SampleDepth::Float;
    if (!holds(container, depth)) depth = container == Container::Flac ? SampleDepth::Pcm24 : SampleDepth::Float;
    return true;
}

}  // namespace orvhost

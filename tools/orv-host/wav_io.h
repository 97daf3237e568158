#pragma once
// A small reader and writer of WAV files (PCM 16, 24 and 32 bit, 32-bit float), used by
// orv-host where libsndfile is not available (the Windows build). Samples are doubles in
// -1..1, interleaved, with the same scaling libsndfile applies.
#include <cstddef>
#include <string>
#include <vector>

namespace orvhost {

enum class WavEncoding { Pcm16 = 1, Pcm24, Pcm32, Float32 };

struct WavAudio {
    int channels = 2;
    int rate = 44100;
    WavEncoding encoding = WavEncoding::Float32;
    std::vector<double> samples;  // interleaved, frames * channels
    std::size_t frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};

// Parses a whole WAV file held in memory. On failure returns false with a one-line reason.
// A data chunk that runs past the end of the file yields the complete frames that are there.
bool parseWav(const unsigned char* bytes, std::size_t size, WavAudio& audio, std::string& error);

// The bytes of a WAV file holding `audio`; empty when it cannot be represented (no channels,
// a rate out of range, or more than 4 GB of samples). PCM samples are rounded and clipped.
std::vector<unsigned char> encodeWav(const WavAudio& audio);

bool readWav(const std::string& path, WavAudio& audio, std::string& error);
bool writeWav(const std::string& path, const WavAudio& audio, std::string& error);

}  // namespace orvhost

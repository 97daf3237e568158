#pragma once
// A small reader and writer of WAV files (PCM 16, 24 and 32 bit, 32-bit float), used by
// orv-host where libsndfile is not available (the Windows build). Samples are doubles in
// -1..1, interleaved, with the same scaling libsndfile applies.
#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// Reads a WAV file from an open stream piece by piece, so that memory does not grow with the
// file. The stream stays owned by the caller.
class WavStreamReader {
public:
    // Reads the header up to the start of the audio data. False with a one-line reason.
    bool open(std::FILE* file, std::string& error);
    int channels() const { return numChannels; }
    int rate() const { return sampleRate; }
    WavEncoding encoding() const { return sampleEncoding; }
    // Frames the data chunk declares (it may claim more than the file holds).
    std::uint64_t declaredFrames() const { return declared; }
    // Reads up to `frames` whole frames into `interleaved`; fewer at the end of the data.
    std::size_t read(double* interleaved, std::size_t frames);
    bool failed() const { return readError; }

private:
    std::FILE* file = nullptr;
    int numChannels = 0, sampleRate = 0, blockAlign = 0;
    WavEncoding sampleEncoding = WavEncoding::Float32;
    std::uint64_t declared = 0, remaining = 0;
    bool readError = false;
    std::vector<unsigned char> raw;
};

// Writes a WAV file to an open stream block by block. On a stream that can seek back, finish()
// fills in the sizes; on a pipe the sizes stay at their "unknown" maximum, as streamed WAV does.
class WavStreamWriter {
public:
    bool open(std::FILE* file, int channels, int rate, WavEncoding encoding, bool seekable);
    // PCM samples are rounded and clipped. False on a write error or past 4 GB of data.
    bool write(const double* interleaved, std::size_t frames);
    bool finish();

private:
    std::FILE* file = nullptr;
    int numChannels = 0;
    WavEncoding sampleEncoding = WavEncoding::Float32;
    bool canSeek = false;
    std::uint64_t dataBytes = 0;
    std::vector<unsigned char> raw;
};

}  // namespace orvhost

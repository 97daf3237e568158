#pragma once
// Audio files read and written block by block, so that memory stays the same whatever a file's
// length or whatever its header claims. Samples are doubles, interleaved, integer formats
// scaled to -1..1.
#include <cstddef>
#include <memory>
#include <string>

#include "tools/orv-host/output_file.h"

namespace orvhost {

enum class Container { Wav, Flac, Aiff, Ogg };
enum class SampleDepth { Pcm8, Pcm16, Pcm24, Pcm32, Float, Double, Lossy };

const char* containerName(Container container);
const char* depthName(SampleDepth depth);
// Bits of an integer depth; 0 for float, double and lossy data.
int integerBits(SampleDepth depth);

struct AudioFileInfo {
    int channels = 0;
    int rate = 0;
    long long frames = -1;  // as the header claims; -1 when it does not say
    bool framesExact = true;  // false where `frames` is only an estimate (MP3 has no exact count)
    Container container = Container::Wav;
    SampleDepth depth = SampleDepth::Float;
    bool shorterThanHeader = false;  // the header declares more audio data than the file holds
};

// The format of an output file: the container from the name's extension (.wav, .flac, .aiff,
// .aif, .ogg; `fallback` when the name has none of them, as /dev/null or a pipe), the depth
// from `bits` ("16", "24", "32", "float"; empty keeps the source's depth where the container
// can hold it). False with a one-line reason for a combination the container cannot store.
bool chooseOutputFormat(const std::string& path, const std::string& bits, Container fallback, SampleDepth source,
                        Container& container, SampleDepth& depth, std::string& error);

class AudioReader {
public:
    AudioReader();
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    bool open(const std::string& path, std::string& error);
    // Reads a file held in memory (the bytes must outlive the reader).
    bool openMemory(const unsigned char* bytes, std::size_t size, std::string& error);
    const AudioFileInfo& info() const { return fileInfo; }
    // Reads up to `frames` frames into `interleaved` (frames * channels values). Returns the
    // frames read: fewer only at the end of the data or on a read error (see failed()).
    std::size_t read(double* interleaved, std::size_t frames);
    bool failed() const;
    // Back to the first frame; false when the file cannot seek.
    bool rewind();
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
    AudioFileInfo fileInfo;
};

class AudioWriter {
public:
    AudioWriter();
    ~AudioWriter();  // abandons an unfinished file
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // Prepares the output. A regular file (or a new name) is written under a temporary name
    // beside it and put in place by finish(), so a failed run leaves no output behind; a device
    // or a pipe is written as it is. Integer formats clip. False with a one-line reason.
    bool open(const std::string& path, Container container, SampleDepth depth, int channels, int rate,
              std::string& error);
    bool write(const double* interleaved, std::size_t frames);
    bool finish(std::string& error);
    // Closes and removes what was written of a regular file.
    void abandon();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

}  // namespace orvhost

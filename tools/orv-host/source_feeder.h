#pragma once
// The reading side of playback: a file (or the demo signal) read ahead into the source ring on
// a thread that is not the audio thread, so the audio callback never waits for a disk. With
// looping the source starts over seamlessly at its end; without, the engine is told when the
// last frame is in the ring.
#include "tools/orv-host/audio_file.h"
#include "tools/orv-host/demo_signal.h"
#include "tools/orv-host/playback_engine.h"
#include "tools/orv-host/sample_ring.h"

#include <atomic>
#include <string>
#include <vector>

namespace orvhost {

class SourceFeeder {
public:
    // Opens a file; false with a one-line reason. Only mono and stereo files are played.
    bool openFile(const std::string& path, std::string& error);
    // The demo signal, made at `rate`.
    void openDemo(double rate);
    bool isFile() const { return fromFile; }
    const AudioFileInfo& fileInfo() const { return reader.info(); }
    int channels() const { return numChannels; }
    double rate() const { return sampleRate; }
    // Frames in one pass of the source; -1 when the file does not say.
    long long lengthFrames() const;

    // Fills the ring as far as it has room; tells `engine` when the source has ended. Called
    // by one thread at a time (the disk thread, or the caller once the stream has stopped).
    void fill(SampleRing<double>& ring, PlaybackEngine& engine, bool loop);
    bool ended() const { return done.load(std::memory_order_acquire); }
    // The file could not be read to its end (the error is kept for the final report).
    bool readFailed() const { return failedRead.load(std::memory_order_acquire); }

private:
    std::size_t readSome(std::size_t frames, bool loop);

    AudioReader reader;
    bool fromFile = false;
    DemoStream demo;
    double sampleRate = 44100.0;
    int numChannels = 2;
    std::vector<double> chunk;
    std::atomic<bool> done{false};
    std::atomic<bool> failedRead{false};
};

}  // namespace orvhost

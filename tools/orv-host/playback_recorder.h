#pragma once
// --out while playing: the frames the audio callback put in the recording ring, written to the
// file on a thread that is not the audio thread (dither, rounding and clipping as every output
// of orv-host gets them).
#include "tools/orv-host/audio_file.h"
#include "tools/orv-host/dither.h"
#include "tools/orv-host/sample_ring.h"

#include <memory>
#include <string>
#include <vector>

namespace orvhost {

class PlaybackRecorder {
public:
    bool open(const std::string& path, const std::string& bits, bool dither, Container fallback, SampleDepth source,
              int channels, int rate, std::string& error);
    bool isOpen() const { return writing; }
    // Writes whatever the ring holds. Called by one thread at a time.
    void drain(SampleRing<double>& ring);
    // Completes the file (false with a reason), or removes what was written.
    bool finish(std::string& error);
    void abandon();
    unsigned long long clipped() const { return quantiser ? quantiser->clipped() : 0; }

private:
    AudioWriter writer;
    std::unique_ptr<SampleQuantiser> quantiser;
    std::vector<double> buffer;
    int numChannels = 2;
    bool writing = false, failed = false;
};

}  // namespace orvhost

#pragma once
// Runs a stream of audio through a plug-in block by block: mono or stereo frames in, the same
// number of channels out (a mono stream feeds both inputs and takes the left output), an
// optional key signal on the side-chain inputs, and the plug-in's latency taken off the front
// when asked. After the last input block, flush() feeds silence until every input frame has
// come out, so the output is exactly as long as the input.
#include "tools/orv-host/block_runner.h"

#include <cstddef>
#include <vector>

namespace orvhost {

class StreamRunner {
public:
    StreamRunner(const Plugin& plugin, int maxBlock, bool useDouble, int channels, std::size_t latencyToRemove);

    int maxBlock() const { return block; }
    // Processes `frames` (at most maxBlock()) interleaved frames; `key` may be null. Returns
    // the number of output frames now in output().
    std::size_t process(const double* main, const double* key, int keyChannels, int frames);
    // Feeds silence for the removed latency, at most one block per call; returns the output
    // frames in output(), 0 when the stream is complete.
    std::size_t flush();
    const double* output() const { return out.data(); }
    double* outputForChange() { return out.data(); }

private:
    BlockRunner runner;
    int block;
    int channels;
    std::size_t toSkip;     // output frames still to drop at the start
    std::size_t tailLeft;   // silent frames still to feed at the end
    std::vector<double> out;
    std::vector<double> silence;
};

}  // namespace orvhost

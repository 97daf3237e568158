#pragma once
// Feeds a plug-in block by block: two main inputs, two key inputs and the outputs, in 32-bit or
// 64-bit samples, with buffers sized once for the largest block.
#include "tools/orv-host/plugin.h"

#include <vector>

namespace orvhost {

class BlockRunner {
public:
    BlockRunner(const Plugin& plugin, int maxBlock, bool useDouble);

    // Input channel c (0, 1 main; 2, 3 key) of the next block; write `frames` samples.
    double* input(int c) { return in[c].data(); }
    const double* output(int c) const { return out[c].data(); }
    int outputChannels() const { return numOut; }
    // Runs the plug-in over `frames` samples of the filled inputs. Unmeasured runs (a benchmark's
    // warm-up) call the plug-in through a different function, so an instruction counter can skip them.
    void run(int frames, bool measured = true);

private:
    const Plugin& plugin;
    bool useDouble;
    int numIn, numOut;
    std::vector<std::vector<double>> in, out;
    std::vector<std::vector<float>> inF, outF;
    std::vector<float*> inPtrF, outPtrF;
    std::vector<double*> inPtrD, outPtrD;
};

}  // namespace orvhost

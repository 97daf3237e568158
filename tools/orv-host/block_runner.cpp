#include "tools/orv-host/block_runner.h"

#include <algorithm>

namespace orvhost {

BlockRunner::BlockRunner(const Plugin& p, int maxBlock, bool dbl)
    : plugin(p), useDouble(dbl), numIn(std::max(4, p.numInputs())), numOut(std::max(2, p.numOutputs())) {
    in.assign(numIn, std::vector<double>(maxBlock, 0.0));
    out.assign(numOut, std::vector<double>(maxBlock, 0.0));
    inF.assign(numIn, std::vector<float>(maxBlock, 0.0f));
    outF.assign(numOut, std::vector<float>(maxBlock, 0.0f));
    for (int c = 0; c < numIn; ++c) {
        inPtrF.push_back(inF[c].data());
        inPtrD.push_back(in[c].data());
    }
    for (int c = 0; c < numOut; ++c) {
        outPtrF.push_back(outF[c].data());
        outPtrD.push_back(out[c].data());
    }
}

void BlockRunner::run(int frames) {
    AEffect* fx = plugin.effect();
    if (useDouble) {
        fx->processDoubleReplacing(fx, inPtrD.data(), outPtrD.data(), frames);
        return;
    }
    for (int c = 0; c < numIn; ++c)
        for (int i = 0; i < frames; ++i) inF[c][i] = static_cast<float>(in[c][i]);
    fx->processReplacing(fx, inPtrF.data(), outPtrF.data(), frames);
    for (int c = 0; c < numOut; ++c)
        for (int i = 0; i < frames; ++i) out[c][i] = outF[c][i];
}

}  // namespace orvhost

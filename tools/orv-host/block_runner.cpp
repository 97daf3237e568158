#include "tools/orv-host/block_runner.h"

#include <algorithm>

// The barrier after the call keeps the compiler from turning it into a tail jump, so the
// wrapper stays a frame of its own on the call stack.
#if defined(__GNUC__)
#define ORVHOST_NOINLINE __attribute__((noinline))
#define ORVHOST_NO_TAIL_CALL() __asm__ volatile("" ::: "memory")
#else
#define ORVHOST_NOINLINE
#define ORVHOST_NO_TAIL_CALL()
#endif

// The plug-in's process calls go through these out-of-line functions so that an instruction
// counter (callgrind --toggle-collect=orvhost_measured_*) can count exactly the plug-in's own work,
// without the host's sample conversion. Warm-up blocks call the plug-in directly.
extern "C" {
ORVHOST_NOINLINE void orvhost_measured_float(AEffect* fx, float** in, float** out, int frames) {
    fx->processReplacing(fx, in, out, frames);
    ORVHOST_NO_TAIL_CALL();
}
ORVHOST_NOINLINE void orvhost_measured_double(AEffect* fx, double** in, double** out, int frames) {
    fx->processDoubleReplacing(fx, in, out, frames);
    ORVHOST_NO_TAIL_CALL();
}
}

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

void BlockRunner::run(int frames, bool measured) {
    AEffect* fx = plugin.effect();
    if (useDouble) {
        if (measured)
            orvhost_measured_double(fx, inPtrD.data(), outPtrD.data(), frames);
        else
            fx->processDoubleReplacing(fx, inPtrD.data(), outPtrD.data(), frames);
        return;
    }
    for (int c = 0; c < numIn; ++c)
        for (int i = 0; i < frames; ++i) inF[c][i] = static_cast<float>(in[c][i]);
    if (measured)
        orvhost_measured_float(fx, inPtrF.data(), outPtrF.data(), frames);
    else
        fx->processReplacing(fx, inPtrF.data(), outPtrF.data(), frames);
    for (int c = 0; c < numOut; ++c)
        for (int i = 0; i < frames; ++i) out[c][i] = outF[c][i];
}

}  // namespace orvhost

#include "kestrel/kernel.h"

#include "borealis/dsp/sample_guard.h"

#include <cstring>
#include <initializer_list>

namespace kestrel {

using orv::dsp::BiquadPair;
using orv::dsp::BiquadType;

Kernel::Kernel() {
    lowShelf_.create(44100.0, BiquadType::LowShelf, 35.0, 0.35, -15.0);
    highShelf_.create(44100.0, BiquadType::HighShelf, 5500.0, 0.5, 12.0);
    fastLevel_.create(44100.0, BiquadType::Lowpass, 33.333333333333336, 0.5, 0.0);
    slowLevel_.create(44100.0, BiquadType::Lowpass, 3.3333333333333335, 0.5, 0.0);
    clearHistory();
    std::memset(&work_, 0, sizeof work_);
}

void Kernel::setFilterRate(double rate, bool onlyIfChanged) {
    for (BiquadPair* f : {&lowShelf_, &highShelf_, &fastLevel_, &slowLevel_}) {
        if (onlyIfChanged && f->filter().sampleRate() == rate) continue;
        f->setRate(rate);
        if (onlyIfChanged) f->reset();
    }
}

void Kernel::resetFilters() {
    for (BiquadPair* f : {&lowShelf_, &highShelf_, &fastLevel_, &slowLevel_}) f->reset();
}

void Kernel::restartFilters() {
    for (BiquadPair* f : {&lowShelf_, &highShelf_, &fastLevel_, &slowLevel_}) {
        f->setRate(f->filter().sampleRate());
        f->reset();
    }
}

void Kernel::setHilbertLength(int n) {
    if (n == hilbert_.halfLength()) return;
    hilbert_.buildHalfLength(n);
    clearHistory();
}

void Kernel::clearHistory() {
    std::memset(input_, 0, sizeof input_);
    for (auto& r : detector_) r.clear();
    for (auto& r : monitor_) r.clear();
    std::memset(work_.outL, 0, sizeof work_.outL);
    std::memset(work_.outR, 0, sizeof work_.outR);
}

void Kernel::process(const KernelChannels& ch, int frames, const KestrelSettings& s, Meters& meters, bool wide) {
    if (wide)
        processOnPath<orv::simd::Avx2Fma>(ch, frames, s, meters);
    else
        processOnPath<orv::simd::Sse2>(ch, frames, s, meters);
}

// A new design makes a shelf glide at once; arrival is only checked at whole multiples of kChunk
// frames, so the choice never depends on how the host cuts its blocks.
bool Kernel::shelvesSettled() {
    const bool checkpoint = (frameClock_ & (kChunk - 1)) == 0;
    lowSettling_.update(lowShelf_, checkpoint);
    highSettling_.update(highShelf_, checkpoint);
    return lowSettling_.settled && highSettling_.settled;
}

// The host's buffers from `offset` on, or, when one of them holds a sample the engine does not
// take in (see sample_guard.h), copies in which such samples are silence. The outputs are left
// as they are.
KernelChannels Kernel::chunkInputs(const KernelChannels& ch, int offset, int n) {
    KernelChannels c = ch;
    for (int k = 0; k < 4; ++k) c.in[k] = ch.in[k] + offset;
    if (orv::dsp::admitsAll(c.in, 0, n)) return c;
    for (int k = 0; k < 4; ++k) {
        for (int i = 0; i < n; ++i) work_.admitted[k][i] = static_cast<float>(orv::dsp::admitSample(c.in[k][i]));
        c.in[k] = work_.admitted[k];
    }
    return c;
}

void Kernel::writeChunk(const KernelChannels& ch, int offset, int n) const {
    float* left = ch.out[0] + offset;
    float* right = ch.out[1] + offset;
    for (int i = 0; i < n; ++i) left[i] = static_cast<float>(work_.outL[i]);
    for (int i = 0; i < n; ++i) right[i] = static_cast<float>(work_.outR[i]);
}

}  // namespace kestrel

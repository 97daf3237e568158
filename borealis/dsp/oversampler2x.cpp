#include "borealis/dsp/oversampler2x.h"

namespace orv::dsp {

Oversampler2x::Oversampler2x() noexcept
    : upKernel_(makeUpsamplerKernel()),
      downKernel_(makeDownsamplerKernel()),
      upTaps_(oddTaps(upKernel_)),
      downTaps_(oddTaps(downKernel_)) {}

void Oversampler2x::reset() noexcept {
    up_.clear();
    downFirst_.clear();
    downSecond_.clear();
}

void Oversampler2x::delayIn(double* buffer, int count) noexcept {
    if (buffer == nullptr) return;
    up_.pushDelayed(buffer, count, kBypassDelay);
}

void Oversampler2x::delayOut(double* buffer, int count) noexcept {
    if (buffer == nullptr) return;
    downFirst_.pushDelayed(buffer, count, kBypassDelay);
}

}  // namespace orv::dsp

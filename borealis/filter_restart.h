#pragma once
// Brings a filter back to the state of a newly designed one: same settings, empty history,
// gliding coefficients at their targets and its denormal noise from the start of its sequence,
// so that a suspended and resumed effect processes the same input into the same output.
#include "borealis/dsp/biquad.h"

namespace borealis {

inline void restartFilter(orv::dsp::Biquad& f) {
    orv::dsp::Biquad fresh(f.sampleRate(), f.type(), f.frequency(), f.q(), f.gainDb());
    fresh.setRate(f.sampleRate());  // the glide speed a rate change chooses
    fresh.reset();
    f = fresh;
}

inline void restartFilter(orv::dsp::BiquadPair& f) {
    orv::dsp::Biquad fresh = f.filter();
    restartFilter(fresh);
    f.replace(fresh);
}

}  // namespace borealis

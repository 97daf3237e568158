#pragma once
// The per-sample glide of the engines' smoothed gains (makeup, output, mix): each sample moves
// this fraction of the way to the target.
namespace orv::dsp {

constexpr double kGlide = 0.001;

}  // namespace orv::dsp

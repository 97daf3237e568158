#pragma once
// How both engines scale the magnitude of the analytic signal to a detector value (1.0 at the
// threshold), multiplied in this order:
//   magnitude * kDetectorRootTwo * kDetectorLevel * kDetectorTrim * threshold factor + kDetectorFloor
// The floor keeps the detector of silence above zero.
namespace orv::dsp {

constexpr double kDetectorRootTwo = 1.4142;
constexpr double kDetectorLevel = 0.582;
constexpr double kDetectorTrim = 1.005773063;
constexpr double kDetectorFloor = 0.005;

}  // namespace orv::dsp

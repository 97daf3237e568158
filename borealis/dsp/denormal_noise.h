#pragma once
// A tiny pseudo-random signal added to audio, filter states and smoothers so that no recursion
// ever decays into denormal numbers (which are slow on x86 and carry no audible information).
#include <cstdint>

namespace orv::dsp {

// Three-register shift-and-xor generator. next() returns values in [-scale, +scale); the values
// are never zero, so anything they are added to stays a normal number.
class DenormalNoise {
public:
    static constexpr std::uint32_t kSeed1 = 592;
    static constexpr std::uint32_t kSeed2 = 153768;
    static constexpr std::uint32_t kSeed3 = 1526;
    // The amplitude the processing kernels add to signals and smoothers.
    static constexpr double kKernelScale = 1e-12;
    // The amplitude every filter adds inside its recursion.
    static constexpr double kFilterScale = 1e-13;

    explicit DenormalNoise(double scale = kKernelScale) noexcept : scale_(scale) {}

    // Back to the start of the sequence.
    void reseed() noexcept {
        s1_ = kSeed1;
        s2_ = kSeed2;
        s3_ = kSeed3;
    }

    double next() noexcept {
        s1_ = (((s1_ >> 6) ^ (s1_ >> 15)) & 0x1FFFu) ^ (s1_ << 13);
        s2_ = (((s2_ >> 7) ^ (s2_ >> 9)) & 0xFFFFFu) ^ (s2_ << 20);
        s3_ = (((s3_ >> 8) ^ (s3_ >> 14)) & 0x1FFFFu) ^ (s3_ << 17);
        const std::uint32_t u = s1_ ^ s2_ ^ s3_;
        // u * (2 c) rounds exactly as (u * c) * 2 (doubling is exact), one multiply fewer.
        return (static_cast<double>(u) * (2.3283064365e-10 * 2.0) - 1.0) * scale_;
    }

    double scale() const noexcept { return scale_; }

private:
    std::uint32_t s1_ = kSeed1;
    std::uint32_t s2_ = kSeed2;
    std::uint32_t s3_ = kSeed3;
    double scale_;
};

}  // namespace orv::dsp

#pragma once
// A tiny pseudo-random signal added to audio, filter states and smoothers so that no recursion
// ever decays into denormal numbers (which are slow on x86 and carry no audible information).
#include <cstdint>
#include <emmintrin.h>

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
        step(s1_, s2_, s3_);
        return toValue(s1_ ^ s2_ ^ s3_);
    }

    // `rounds` rounds of K next() values: value k of round i goes to out[k][i]. The first two
    // registers step side by side in the 64-bit lanes of one vector, their shifts done as
    // multiplies (a right shift by s is the high half of a product by 2^(32 - s)); the values
    // are the same as next() gives.
    template <int K>
    void next(double* const (&out)[K], int rounds) noexcept {
        __m128i a = _mm_set_epi64x(s2_, s1_);
        const __m128i left = _mm_set_epi64x(1LL << 20, 1LL << 13);
        const __m128i rightA = _mm_set_epi64x(1LL << 25, 1LL << 26);  // >> 7, >> 6
        const __m128i rightB = _mm_set_epi64x(1LL << 23, 1LL << 17);  // >> 9, >> 15
        const __m128i mask = _mm_set_epi64x(0xFFFFF, 0x1FFF);
        std::uint32_t s3 = s3_;
        for (int i = 0; i < rounds; ++i) {
            for (int k = 0; k < K; ++k) {
                const __m128i shiftedA = _mm_srli_epi64(_mm_mul_epu32(a, rightA), 32);
                const __m128i shiftedB = _mm_srli_epi64(_mm_mul_epu32(a, rightB), 32);
                a = _mm_xor_si128(_mm_and_si128(_mm_xor_si128(shiftedA, shiftedB), mask), _mm_mul_epu32(a, left));
                s3 = (((s3 >> 8) ^ (s3 >> 14)) & 0x1FFFFu) ^ (s3 << 17);
                const std::uint32_t u =
                    static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_xor_si128(a, _mm_shuffle_epi32(a, 0x0E)))) ^ s3;
                out[k][i] = toValue(u);
            }
        }
        s1_ = static_cast<std::uint32_t>(_mm_cvtsi128_si32(a));
        s2_ = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(a, 0x0E)));
        s3_ = s3;
    }

    double scale() const noexcept { return scale_; }

private:
    std::uint32_t s1_ = kSeed1;
    std::uint32_t s2_ = kSeed2;
    std::uint32_t s3_ = kSeed3;
    // One step of each register. (x >> p) ^ (x >> q) is computed as ((x >> (q - p)) ^ x) >> p,
    // the same bits with one shift fewer.
    static void step(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c) noexcept {
        a = ((((a >> 9) ^ a) >> 6) & 0x1FFFu) ^ (a << 13);
        b = ((((b >> 2) ^ b) >> 7) & 0xFFFFFu) ^ (b << 20);
        c = ((((c >> 6) ^ c) >> 8) & 0x1FFFFu) ^ (c << 17);
    }
    // u * (2 c) rounds exactly as (u * c) * 2 (doubling is exact), one multiply fewer.
    static constexpr double kUnit = 2.3283064365e-10 * 2.0;
    double toValue(std::uint32_t u) const noexcept { return (static_cast<double>(u) * kUnit - 1.0) * scale_; }

    double scale_;
};

}  // namespace orv::dsp

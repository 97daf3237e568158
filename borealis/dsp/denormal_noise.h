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

    // The next 3 * count values, exactly as that many next() calls give them, dealt out in
    // turn: first[i], second[i] and third[i] are the values of calls 3i, 3i + 1 and 3i + 2.
    // The registers step in one pass; the values are scaled two at a time in the next.
    void fillTriples(double* first, double* second, double* third, int count) noexcept {
        constexpr int kPart = 64;
        std::uint32_t u[3][kPart];
        std::uint32_t a = s1_, b = s2_, c = s3_;
        for (int done = 0; done < count; done += kPart) {
            const int part = count - done < kPart ? count - done : kPart;
            for (int i = 0; i < part; ++i) {
                step(a, b, c);
                u[0][i] = a ^ b ^ c;
                step(a, b, c);
                u[1][i] = a ^ b ^ c;
                step(a, b, c);
                u[2][i] = a ^ b ^ c;
            }
            toValues(u[0], first + done, part);
            toValues(u[1], second + done, part);
            toValues(u[2], third + done, part);
        }
        s1_ = a;
        s2_ = b;
        s3_ = c;
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
                out[k][i] = (static_cast<double>(u) * (2.3283064365e-10 * 2.0) - 1.0) * scale_;
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
    // toValue of `count` register values, two at a time: flipping the top bit makes u a signed
    // integer 2^31 lower, which converts exactly, and adding 2^31 back is exact too.
    void toValues(const std::uint32_t* u, double* out, int count) const noexcept {
        const __m128i flip = _mm_set1_epi32(static_cast<int>(0x80000000u));
        const __m128d offset = _mm_set1_pd(2147483648.0), unit = _mm_set1_pd(kUnit);
        const __m128d one = _mm_set1_pd(1.0), scale = _mm_set1_pd(scale_);
        const int pairs = count / 2;
        for (int k = 0; k < pairs; ++k) {
            const __m128i v = _mm_xor_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + 2 * k)), flip);
            const __m128d x = _mm_add_pd(_mm_cvtepi32_pd(v), offset);
            _mm_storeu_pd(out + 2 * k, _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(x, unit), one), scale));
        }
        if (count & 1) out[count - 1] = toValue(u[count - 1]);
    }

    double scale_;
};

}  // namespace orv::dsp

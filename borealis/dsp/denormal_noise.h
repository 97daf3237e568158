#pragma once
// A tiny pseudo-random signal added to audio, filter states and smoothers so that no recursion
// ever decays into denormal numbers (which are slow on x86 and carry no audible information).
#include "borealis/dsp/code_path.h"

#include <cstdint>
#include <emmintrin.h>
#if ORV_HAS_WIDE_PATH
#include <immintrin.h>
#endif

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

#if ORV_HAS_WIDE_PATH
    // The same rounds as next<K>, for the wide path: the values, and the registers left after
    // them, are bit for bit those of next<K>. All three registers step together in the 32-bit
    // lanes of one vector with a shift count per lane; each step's registers are stored as
    // they stand, and the values are worked out eight at a time from those rows afterwards.
    // The fourth lane holds the constant 0x80000000 through every step (its shifts by 32 give
    // zero, its right shift by 0 and mask of all ones keep it as it is), so the xor of a row's
    // four lanes is u ^ 0x80000000, the signed form the conversion takes.
    template <int K>
    __attribute__((target("avx2"))) void nextWide(double* const (&out)[K], int rounds) noexcept {
        constexpr int kPass = 64;  // rounds per pass through the rows
        alignas(32) std::uint32_t rows[K][kPass][4];
        const __m128i skew = _mm_set_epi32(32, 6, 2, 9);
        const __m128i right = _mm_set_epi32(0, 8, 7, 6);
        const __m128i mask = _mm_set_epi32(-1, 0x1FFFF, 0xFFFFF, 0x1FFF);
        const __m128i left = _mm_set_epi32(32, 17, 20, 13);
        __m128i x = _mm_set_epi32(static_cast<int>(0x80000000u), static_cast<int>(s3_), static_cast<int>(s2_),
                                  static_cast<int>(s1_));
        for (int done = 0; done < rounds; done += kPass) {
            const int count = rounds - done < kPass ? rounds - done : kPass;
            for (int i = 0; i < count; ++i) {
                for (int k = 0; k < K; ++k) {
                    // step(): ((((x >> skew) ^ x) >> right) & mask) ^ (x << left), per lane.
                    const __m128i mixed = _mm_srlv_epi32(_mm_xor_si128(_mm_srlv_epi32(x, skew), x), right);
                    x = _mm_xor_si128(_mm_and_si128(mixed, mask), _mm_sllv_epi32(x, left));
                    _mm_store_si128(reinterpret_cast<__m128i*>(rows[k][i]), x);
                }
            }
            for (int k = 0; k < K; ++k) toValuesWide(rows[k], out[k] + done, count);
        }
        s1_ = static_cast<std::uint32_t>(_mm_cvtsi128_si32(x));
        s2_ = static_cast<std::uint32_t>(_mm_extract_epi32(x, 1));
        s3_ = static_cast<std::uint32_t>(_mm_extract_epi32(x, 2));
    }
#else
    // A build without the wide path: next<K> itself.
    template <int K>
    void nextWide(double* const (&out)[K], int rounds) noexcept {
        next(out, rounds);
    }
#endif

    // next<K> on the baseline path, nextWide<K> on the wide path: the same values either way.
    template <bool Wide, int K>
    void nextOnPath(double* const (&out)[K], int rounds) noexcept {
        if constexpr (Wide)
            nextWide(out, rounds);
        else
            next(out, rounds);
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

#if ORV_HAS_WIDE_PATH
    // toValue of each row's register word, from rows as nextWide stores them (the registers in
    // lanes 0 to 2, 0x80000000 in lane 3). Eight rows at a time: the xor of each row's lanes,
    // s = u ^ 0x80000000, is a signed int32 whose double plus 2^31 is exactly double(u); then
    // the same products and difference as toValue, in the same order (none of them fused: the
    // build keeps every multiply and add separate unless written as a fused one).
    __attribute__((target("avx2"))) void toValuesWide(const std::uint32_t (*rows)[4], double* out,
                                                      int count) const noexcept {
        const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
        const __m256d offset = _mm256_set1_pd(2147483648.0);
        const __m256d unit = _mm256_set1_pd(kUnit), one = _mm256_set1_pd(1.0), scale = _mm256_set1_pd(scale_);
        int i = 0;
        for (; i + 8 <= count; i += 8) {
            // Each 128-bit half takes every other row: the low halves rows i, i+2, i+4, i+6.
            const __m256i r0 = _mm256_load_si256(reinterpret_cast<const __m256i*>(rows[i]));
            const __m256i r1 = _mm256_load_si256(reinterpret_cast<const __m256i*>(rows[i + 2]));
            const __m256i r2 = _mm256_load_si256(reinterpret_cast<const __m256i*>(rows[i + 4]));
            const __m256i r3 = _mm256_load_si256(reinterpret_cast<const __m256i*>(rows[i + 6]));
            // Lanes 0 and 2, 1 and 3 of each row paired up, then the pairs: the rows' xors in
            // the order i, i+2, i+4, i+6 | i+1, i+3, i+5, i+7, put back in row order.
            const __m256i v0 = _mm256_xor_si256(_mm256_unpacklo_epi32(r0, r1), _mm256_unpackhi_epi32(r0, r1));
            const __m256i v1 = _mm256_xor_si256(_mm256_unpacklo_epi32(r2, r3), _mm256_unpackhi_epi32(r2, r3));
            const __m256i s = _mm256_permutevar8x32_epi32(
                _mm256_xor_si256(_mm256_unpacklo_epi64(v0, v1), _mm256_unpackhi_epi64(v0, v1)), order);
            const __m256d lo = _mm256_add_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(s)), offset);
            const __m256d hi = _mm256_add_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(s, 1)), offset);
            _mm256_storeu_pd(out + i, _mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(lo, unit), one), scale));
            _mm256_storeu_pd(out + i + 4, _mm256_mul_pd(_mm256_sub_pd(_mm256_mul_pd(hi, unit), one), scale));
        }
        for (; i < count; ++i) out[i] = toValue(rows[i][0] ^ rows[i][1] ^ rows[i][2]);
    }
#endif

    double scale_;
};

}  // namespace orv::dsp

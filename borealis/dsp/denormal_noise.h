#pragma once
// A tiny pseudo-random signal added to audio, filter states and smoothers so that no recursion
// ever decays into denormal numbers (which are slow on x86 and carry no audible information).
#include "borealis/dsp/simd.h"

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
        step(s1_, s2_, s3_);
        return toValue(s1_ ^ s2_ ^ s3_);
    }

    // `rounds` rounds of K next() values: value k of round i goes to out[k][i], the same values
    // next() gives. On an instruction set whose vector lanes shift by counts of their own, the
    // three registers step side by side in the lanes of one vector; otherwise one by one.
    template <class A, int K>
    void next(double* const (&out)[K], int rounds) noexcept {
        constexpr int kPass = 64;  // rounds per pass
        for (int done = 0; done < rounds; done += kPass) {
            const int count = rounds - done < kPass ? rounds - done : kPass;
            if constexpr (A::kLaneShifts) {
                // Each step's registers are kept as they stand; the words (the xor of a row's
                // lanes) are worked out four rows at a time afterwards.
                alignas(16) std::uint32_t rows[K][kPass][4];
                simd::Words x = simd::Words::of(s1_, s2_, s3_, 0);
                const simd::Words mask = simd::Words::of(0x1FFFu, 0xFFFFFu, 0x1FFFFu, 0);
                for (int i = 0; i < count; ++i) {
                    for (int k = 0; k < K; ++k) {
                        x = stepRegisters<LaneShifts<A>>(x, mask);
                        x.store(rows[k][i]);
                    }
                }
                std::uint32_t r[4];
                x.store(r);
                s1_ = r[0], s2_ = r[1], s3_ = r[2];
                for (int k = 0; k < K; ++k) rowValues<A>(rows[k], out[k] + done, count);
            } else {
                alignas(16) std::uint32_t words[K][kPass];
                std::uint32_t a = s1_, b = s2_, c = s3_;
                for (int i = 0; i < count; ++i) {
                    for (int k = 0; k < K; ++k) {
                        a = stepRegisters<RegisterShifts<9, 6, 13>>(a, 0x1FFFu);
                        b = stepRegisters<RegisterShifts<2, 7, 20>>(b, 0xFFFFFu);
                        c = stepRegisters<RegisterShifts<6, 8, 17>>(c, 0x1FFFFu);
                        words[k][i] = a ^ b ^ c;
                    }
                }
                s1_ = a, s2_ = b, s3_ = c;
                for (int k = 0; k < K; ++k) wordValues<A>(words[k], out[k] + done, count);
            }
        }
    }

    double scale() const noexcept { return scale_; }

private:
    std::uint32_t s1_ = kSeed1;
    std::uint32_t s2_ = kSeed2;
    std::uint32_t s3_ = kSeed3;
    // The shifts of one register's step, ((((x >> skew) ^ x) >> right) & mask) ^ (x << left):
    // (x >> p) ^ (x >> q) is computed as ((x >> (q - p)) ^ x) >> p, the same bits with one
    // shift fewer.
    template <int Skew, int Right, int Left>
    struct RegisterShifts {
        static std::uint32_t skew(std::uint32_t x) noexcept { return x >> Skew; }
        static std::uint32_t right(std::uint32_t x) noexcept { return x >> Right; }
        static std::uint32_t left(std::uint32_t x) noexcept { return x << Left; }
    };
    // The same shifts of all three registers, in lanes 0 to 2 (lane 3 stays zero).
    template <class A>
    struct LaneShifts {
        static simd::Words skew(simd::Words x) noexcept { return simd::shiftRightLanes<A, 9, 2, 6, 0>(x); }
        static simd::Words right(simd::Words x) noexcept { return simd::shiftRightLanes<A, 6, 7, 8, 0>(x); }
        static simd::Words left(simd::Words x) noexcept { return simd::shiftLeftLanes<A, 13, 20, 17, 0>(x); }
    };
    // The generator's step, for one register or for all three in lanes.
    template <class Shifts, class W>
    static ORV_SIMD_INLINE W stepRegisters(W x, W mask) noexcept {
        return (Shifts::right(Shifts::skew(x) ^ x) & mask) ^ Shifts::left(x);
    }
    static void step(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c) noexcept {
        a = stepRegisters<RegisterShifts<9, 6, 13>>(a, 0x1FFFu);
        b = stepRegisters<RegisterShifts<2, 7, 20>>(b, 0xFFFFFu);
        c = stepRegisters<RegisterShifts<6, 8, 17>>(c, 0x1FFFFu);
    }
    // u * (2 c) rounds exactly as (u * c) * 2 (doubling is exact), one multiply fewer.
    static constexpr double kUnit = 2.3283064365e-10 * 2.0;
    double toValue(std::uint32_t u) const noexcept { return (static_cast<double>(u) * kUnit - 1.0) * scale_; }
    // toValue of `count` words, four at a time (the conversion is exact, so the values are
    // toValue's).
    template <class A>
    void wordValues(const std::uint32_t* words, double* out, int count) const noexcept {
        using D = simd::Doubles<A, 4>;
        const D unit = D::splat(kUnit), one = D::splat(1.0), scale = D::splat(scale_);
        int i = 0;
        for (; i + 4 <= count; i += 4) ((D::fromUnsigned(words + i) * unit - one) * scale).store(out + i);
        for (; i < count; ++i) out[i] = toValue(words[i]);
    }
    // The same from rows of registers as the lanes' step leaves them (the word is the xor of a
    // row's lanes).
    template <class A>
    void rowValues(const std::uint32_t (*rows)[4], double* out, int count) const noexcept {
        using D = simd::Doubles<A, 4>;
        using simd::Words;
        const D unit = D::splat(kUnit), one = D::splat(1.0), scale = D::splat(scale_);
        int i = 0;
        for (; i + 4 <= count; i += 4) {
            const Words u = simd::xorAcrossLanes(Words::load(rows[i]), Words::load(rows[i + 1]),
                                                 Words::load(rows[i + 2]), Words::load(rows[i + 3]));
            ((D::fromUnsigned(u.v) * unit - one) * scale).store(out + i);
        }
        for (; i < count; ++i) out[i] = toValue(rows[i][0] ^ rows[i][1] ^ rows[i][2]);
    }

    double scale_;
};

}  // namespace orv::dsp

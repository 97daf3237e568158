#pragma once
// The vector layer of the processing: every instruction-set-specific operation of both engines
// lives here, and nowhere else.
//
// The processing is written once, as templates over an instruction set `A` and a lane count:
// Doubles<A, 1> is one double, Doubles<A, 2> a pair (left, right), Doubles<A, 4> four lanes (two
// pairs, or four channels). Two instruction sets exist:
//  - Sse2, the baseline every x86-64 processor runs: separate multiplies and adds;
//  - Avx2Fma, the wide path: 256-bit registers and fused multiply-adds.
// A translation unit compiled with -mavx2 -mfma provides Avx2Fma (the wide code path's files,
// see code_path.h); every other one only Sse2. Native is the widest set the unit is compiled for.
//
// Arithmetic policy. Plain operators (+, -, *, /) round every step, on both sets. mulAdd(a, b, c)
// is a * b + c: fused (one rounding) on Avx2Fma, a rounded product then a rounded sum on Sse2;
// mulSub(a, b, c) is c - a * b the same way. The order of operations is the one written, so each
// set gives the same bits wherever a sample falls in a block, and the two sets differ only where
// a product is fused.
#include <climits>
#include <cstdint>
#include <emmintrin.h>
#if defined(__AVX2__) && defined(__FMA__)
#include <immintrin.h>
#define ORV_SIMD_HAS_AVX2_FMA 1
#else
#define ORV_SIMD_HAS_AVX2_FMA 0
#endif

#if defined(__GNUC__) || defined(__clang__)
#define ORV_SIMD_INLINE inline __attribute__((always_inline))
#else
#define ORV_SIMD_INLINE inline
#endif

namespace orv::simd {

// The baseline instruction set.
struct Sse2 {
    static constexpr bool kFused = false;
    static constexpr int kNaturalLanes = 2;
    // Whether each 32-bit lane of a vector can shift by its own count in one instruction.
    static constexpr bool kLaneShifts = false;
};
// The wide path's instruction set.
struct Avx2Fma {
    static constexpr bool kFused = true;
    static constexpr int kNaturalLanes = 4;
    static constexpr bool kLaneShifts = true;
};
#if ORV_SIMD_HAS_AVX2_FMA
using Native = Avx2Fma;
#else
using Native = Sse2;
#endif

template <class A, int N>
struct Doubles;

// Whether instruction set A can be used in this translation unit.
template <class A>
constexpr bool kAvailable = !A::kFused || ORV_SIMD_HAS_AVX2_FMA;

// ---- one double ----------------------------------------------------------------------------
template <class A>
struct Doubles<A, 1> {
    static_assert(kAvailable<A>, "the wide instruction set is only compiled into the wide path's files");
    using Set = A;
    static constexpr int kLanes = 1;
    double v;
    static ORV_SIMD_INLINE Doubles splat(double x) { return {x}; }
    static ORV_SIMD_INLINE Doubles zero() { return {0.0}; }
    static ORV_SIMD_INLINE Doubles load(const double* p) { return {*p}; }
    static ORV_SIMD_INLINE Doubles loadAligned(const double* p) { return {*p}; }
    static ORV_SIMD_INLINE Doubles loadPairAligned(const double* p) { return {*p}; }
    ORV_SIMD_INLINE void store(double* p) const { *p = v; }
    ORV_SIMD_INLINE double lane(int) const { return v; }
    ORV_SIMD_INLINE double lane0() const { return v; }
};
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> negate(Doubles<A, 1> a) { return {-a.v}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> operator+(Doubles<A, 1> a, Doubles<A, 1> b) { return {a.v + b.v}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> operator-(Doubles<A, 1> a, Doubles<A, 1> b) { return {a.v - b.v}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> operator*(Doubles<A, 1> a, Doubles<A, 1> b) { return {a.v * b.v}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> operator/(Doubles<A, 1> a, Doubles<A, 1> b) { return {a.v / b.v}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> mulAdd(Doubles<A, 1> a, Doubles<A, 1> b, Doubles<A, 1> c) {
#if ORV_SIMD_HAS_AVX2_FMA
    if constexpr (A::kFused)
        return {_mm_cvtsd_f64(_mm_fmadd_sd(_mm_set_sd(a.v), _mm_set_sd(b.v), _mm_set_sd(c.v)))};
#endif
    return {a.v * b.v + c.v};
}
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> mulSub(Doubles<A, 1> a, Doubles<A, 1> b, Doubles<A, 1> c) {
#if ORV_SIMD_HAS_AVX2_FMA
    if constexpr (A::kFused)
        return {_mm_cvtsd_f64(_mm_fnmadd_sd(_mm_set_sd(a.v), _mm_set_sd(b.v), _mm_set_sd(c.v)))};
#endif
    return {c.v - a.v * b.v};
}
// Comparisons give a mask: a double whose bits are all set where the comparison holds, clear
// where it fails (a NaN in either fails), as the wider lanes do.
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> greater(Doubles<A, 1> a, Doubles<A, 1> b) {
    return {_mm_cvtsd_f64(_mm_cmpgt_sd(_mm_set_sd(a.v), _mm_set_sd(b.v)))};
}
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> less(Doubles<A, 1> a, Doubles<A, 1> b) {
    return {_mm_cvtsd_f64(_mm_cmplt_sd(_mm_set_sd(a.v), _mm_set_sd(b.v)))};
}
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> operator&(Doubles<A, 1> a, Doubles<A, 1> b) {
    return {_mm_cvtsd_f64(_mm_and_pd(_mm_set_sd(a.v), _mm_set_sd(b.v)))};
}
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> operator|(Doubles<A, 1> a, Doubles<A, 1> b) {
    return {_mm_cvtsd_f64(_mm_or_pd(_mm_set_sd(a.v), _mm_set_sd(b.v)))};
}
// mask ? a : b.
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> select(Doubles<A, 1> mask, Doubles<A, 1> a, Doubles<A, 1> b) {
    return {mask.v != 0.0 ? a.v : b.v};  // a set mask reads as a NaN, which is never 0
}
// a > b ? a : b (b when either is a NaN), as the wider lanes compute it.
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> max(Doubles<A, 1> a, Doubles<A, 1> b) {
    return {a.v > b.v ? a.v : b.v};
}
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> sqrt(Doubles<A, 1> a) {
    const __m128d x = _mm_set_sd(a.v);
    return {_mm_cvtsd_f64(_mm_sqrt_sd(x, x))};
}
// The value with its sign bit cleared.
template <class A>
ORV_SIMD_INLINE Doubles<A, 1> abs(Doubles<A, 1> a) {
    return {_mm_cvtsd_f64(_mm_andnot_pd(_mm_set_sd(-0.0), _mm_set_sd(a.v)))};
}

// ---- two doubles (one 128-bit register on both sets) ----------------------------------------
template <class A>
struct Doubles<A, 2> {
    static_assert(kAvailable<A>, "the wide instruction set is only compiled into the wide path's files");
    using Set = A;
    static constexpr int kLanes = 2;
    __m128d v;
    static ORV_SIMD_INLINE Doubles splat(double x) { return {_mm_set1_pd(x)}; }
    static ORV_SIMD_INLINE Doubles zero() { return {_mm_setzero_pd()}; }
    static ORV_SIMD_INLINE Doubles of(double lane0, double lane1) { return {_mm_set_pd(lane1, lane0)}; }
    static ORV_SIMD_INLINE Doubles load(const double* p) { return {_mm_loadu_pd(p)}; }
    // Loads from an address aligned to the register's width (loadAligned) or to 16 bytes
    // (loadPairAligned): on the baseline such a load can be an arithmetic operand in memory.
    static ORV_SIMD_INLINE Doubles loadAligned(const double* p) { return {_mm_load_pd(p)}; }
    static ORV_SIMD_INLINE Doubles loadPairAligned(const double* p) { return {_mm_load_pd(p)}; }
    // p[0], p[1] converted exactly.
    static ORV_SIMD_INLINE Doubles fromUnsigned(const std::uint32_t* p) {
        // u ^ 0x80000000 read as a signed number is u - 2^31.
        const __m128i s = _mm_xor_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi32(INT32_MIN));
        return {_mm_add_pd(_mm_cvtepi32_pd(s), _mm_set1_pd(2147483648.0))};
    }
    // Two consecutive values from two separate arrays: (a[0], b[0]).
    static ORV_SIMD_INLINE Doubles gather(const double* a, const double* b) { return of(*a, *b); }
    static ORV_SIMD_INLINE Doubles join(Doubles<A, 1> lo, Doubles<A, 1> hi) { return of(lo.v, hi.v); }
    // Lane i set (all bits) where bit i of `bits` is.
    static ORV_SIMD_INLINE Doubles lanesWhere(int bits) {
        return {_mm_castsi128_pd(_mm_set_epi64x((bits & 2) ? -1 : 0, (bits & 1) ? -1 : 0))};
    }
    ORV_SIMD_INLINE Doubles<A, 1> low() const { return {lane0()}; }
    ORV_SIMD_INLINE Doubles<A, 1> high() const { return {lane1()}; }
    ORV_SIMD_INLINE void store(double* p) const { _mm_storeu_pd(p, v); }
    ORV_SIMD_INLINE double lane0() const { return _mm_cvtsd_f64(v); }
    ORV_SIMD_INLINE double lane1() const { return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }
    ORV_SIMD_INLINE double lane(int i) const { return i == 0 ? lane0() : lane1(); }
    ORV_SIMD_INLINE void scatter(double* a, double* b) const {
        _mm_store_sd(a, v);
        _mm_storeh_pd(b, v);
    }
};
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> operator+(Doubles<A, 2> a, Doubles<A, 2> b) { return {_mm_add_pd(a.v, b.v)}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> operator-(Doubles<A, 2> a, Doubles<A, 2> b) { return {_mm_sub_pd(a.v, b.v)}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> operator*(Doubles<A, 2> a, Doubles<A, 2> b) { return {_mm_mul_pd(a.v, b.v)}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> operator/(Doubles<A, 2> a, Doubles<A, 2> b) { return {_mm_div_pd(a.v, b.v)}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> mulAdd(Doubles<A, 2> a, Doubles<A, 2> b, Doubles<A, 2> c) {
#if ORV_SIMD_HAS_AVX2_FMA
    if constexpr (A::kFused) return {_mm_fmadd_pd(a.v, b.v, c.v)};
#endif
    return {_mm_add_pd(_mm_mul_pd(a.v, b.v), c.v)};
}
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> mulSub(Doubles<A, 2> a, Doubles<A, 2> b, Doubles<A, 2> c) {
#if ORV_SIMD_HAS_AVX2_FMA
    if constexpr (A::kFused) return {_mm_fnmadd_pd(a.v, b.v, c.v)};
#endif
    return {_mm_sub_pd(c.v, _mm_mul_pd(a.v, b.v))};
}
// x86 semantics: max(a, b) is a > b ? a : b (so a NaN in a gives b), min(a, b) is a < b ? a : b.
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> max(Doubles<A, 2> a, Doubles<A, 2> b) { return {_mm_max_pd(a.v, b.v)}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> min(Doubles<A, 2> a, Doubles<A, 2> b) { return {_mm_min_pd(a.v, b.v)}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> sqrt(Doubles<A, 2> a) { return {_mm_sqrt_pd(a.v)}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> negate(Doubles<A, 2> a) { return {_mm_xor_pd(a.v, _mm_set1_pd(-0.0))}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> abs(Doubles<A, 2> a) { return {_mm_andnot_pd(_mm_set1_pd(-0.0), a.v)}; }
// Comparisons give masks (every bit of a lane set where true); a NaN compares false.
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> greater(Doubles<A, 2> a, Doubles<A, 2> b) { return {_mm_cmpgt_pd(a.v, b.v)}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> less(Doubles<A, 2> a, Doubles<A, 2> b) { return {_mm_cmplt_pd(a.v, b.v)}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> lessEqual(Doubles<A, 2> a, Doubles<A, 2> b) { return {_mm_cmple_pd(a.v, b.v)}; }
// True where a > b fails, a NaN in either included.
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> notGreater(Doubles<A, 2> a, Doubles<A, 2> b) { return {_mm_cmpngt_pd(a.v, b.v)}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> operator&(Doubles<A, 2> a, Doubles<A, 2> b) { return {_mm_and_pd(a.v, b.v)}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> operator|(Doubles<A, 2> a, Doubles<A, 2> b) { return {_mm_or_pd(a.v, b.v)}; }
// mask ? a : b, lane by lane.
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> select(Doubles<A, 2> mask, Doubles<A, 2> a, Doubles<A, 2> b) {
#if ORV_SIMD_HAS_AVX2_FMA
    if constexpr (A::kFused) return {_mm_blendv_pd(b.v, a.v, mask.v)};
#endif
    return {_mm_or_pd(_mm_and_pd(mask.v, a.v), _mm_andnot_pd(mask.v, b.v))};
}
// Bit i set where lane i of the mask is.
template <class A>
ORV_SIMD_INLINE int laneBits(Doubles<A, 2> mask) { return _mm_movemask_pd(mask.v); }

// ---- four doubles --------------------------------------------------------------------------
// On Sse2 two registers (lanes 0, 1 and 2, 3), on Avx2Fma one.
template <>
struct Doubles<Sse2, 4> {
    using Set = Sse2;
    static constexpr int kLanes = 4;
    using Half = Doubles<Sse2, 2>;
    Half lo, hi;
    static ORV_SIMD_INLINE Doubles splat(double x) { return {Half::splat(x), Half::splat(x)}; }
    static ORV_SIMD_INLINE Doubles zero() { return {Half::zero(), Half::zero()}; }
    static ORV_SIMD_INLINE Doubles of(double a, double b, double c, double d) { return {Half::of(a, b), Half::of(c, d)}; }
    static ORV_SIMD_INLINE Doubles load(const double* p) { return {Half::load(p), Half::load(p + 2)}; }
    static ORV_SIMD_INLINE Doubles loadAligned(const double* p) {
        return {Half::loadAligned(p), Half::loadAligned(p + 2)};
    }
    static ORV_SIMD_INLINE Doubles loadPairAligned(const double* p) { return loadAligned(p); }
    static ORV_SIMD_INLINE Doubles fromUnsigned(const std::uint32_t* p) {
        return {Half::fromUnsigned(p), Half::fromUnsigned(p + 2)};
    }
    // The four 32-bit lanes of w converted exactly.
    static ORV_SIMD_INLINE Doubles fromUnsigned(__m128i w) {
        const __m128i s = _mm_xor_si128(w, _mm_set1_epi32(INT32_MIN));
        const __m128d offset = _mm_set1_pd(2147483648.0);
        return {{_mm_add_pd(_mm_cvtepi32_pd(s), offset)}, {_mm_add_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(s, 0x4E)), offset)}};
    }
    static ORV_SIMD_INLINE Doubles join(Half lo, Half hi) { return {lo, hi}; }
    // A mask with every bit set in the lanes whose bit is set in `bits` (bit i for lane i).
    static ORV_SIMD_INLINE Doubles lanesWhere(int bits) {
        auto m = [bits](int i) { return (bits >> i) & 1 ? -1LL : 0LL; };
        return {{_mm_castsi128_pd(_mm_set_epi64x(m(1), m(0)))}, {_mm_castsi128_pd(_mm_set_epi64x(m(3), m(2)))}};
    }
    ORV_SIMD_INLINE void store(double* p) const {
        lo.store(p);
        hi.store(p + 2);
    }
    ORV_SIMD_INLINE Half low() const { return lo; }
    ORV_SIMD_INLINE Half high() const { return hi; }
};
#define ORV_SIMD_SPLIT(op)                                                                   \
    ORV_SIMD_INLINE Doubles<Sse2, 4> operator op(Doubles<Sse2, 4> a, Doubles<Sse2, 4> b) { \
        return {a.lo op b.lo, a.hi op b.hi};                                                 \
    }
ORV_SIMD_SPLIT(+)
ORV_SIMD_SPLIT(-)
ORV_SIMD_SPLIT(*)
ORV_SIMD_SPLIT(/)
ORV_SIMD_SPLIT(&)
ORV_SIMD_SPLIT(|)
#undef ORV_SIMD_SPLIT
#define ORV_SIMD_SPLIT(name)                                                                 \
    ORV_SIMD_INLINE Doubles<Sse2, 4> name(Doubles<Sse2, 4> a, Doubles<Sse2, 4> b) {        \
        return {name(a.lo, b.lo), name(a.hi, b.hi)};                                         \
    }
ORV_SIMD_SPLIT(max)
ORV_SIMD_SPLIT(min)
ORV_SIMD_SPLIT(greater)
ORV_SIMD_SPLIT(less)
ORV_SIMD_SPLIT(lessEqual)
ORV_SIMD_SPLIT(notGreater)
#undef ORV_SIMD_SPLIT
ORV_SIMD_INLINE Doubles<Sse2, 4> mulAdd(Doubles<Sse2, 4> a, Doubles<Sse2, 4> b, Doubles<Sse2, 4> c) {
    return {mulAdd(a.lo, b.lo, c.lo), mulAdd(a.hi, b.hi, c.hi)};
}
ORV_SIMD_INLINE Doubles<Sse2, 4> mulSub(Doubles<Sse2, 4> a, Doubles<Sse2, 4> b, Doubles<Sse2, 4> c) {
    return {mulSub(a.lo, b.lo, c.lo), mulSub(a.hi, b.hi, c.hi)};
}
ORV_SIMD_INLINE Doubles<Sse2, 4> sqrt(Doubles<Sse2, 4> a) { return {sqrt(a.lo), sqrt(a.hi)}; }
ORV_SIMD_INLINE Doubles<Sse2, 4> negate(Doubles<Sse2, 4> a) { return {negate(a.lo), negate(a.hi)}; }
ORV_SIMD_INLINE Doubles<Sse2, 4> select(Doubles<Sse2, 4> m, Doubles<Sse2, 4> a, Doubles<Sse2, 4> b) {
    return {select(m.lo, a.lo, b.lo), select(m.hi, a.hi, b.hi)};
}
ORV_SIMD_INLINE int laneBits(Doubles<Sse2, 4> m) { return laneBits(m.lo) | (laneBits(m.hi) << 2); }

#if ORV_SIMD_HAS_AVX2_FMA
template <>
struct Doubles<Avx2Fma, 4> {
    using Set = Avx2Fma;
    static constexpr int kLanes = 4;
    using Half = Doubles<Avx2Fma, 2>;
    __m256d v;
    static ORV_SIMD_INLINE Doubles splat(double x) { return {_mm256_set1_pd(x)}; }
    static ORV_SIMD_INLINE Doubles zero() { return {_mm256_setzero_pd()}; }
    static ORV_SIMD_INLINE Doubles of(double a, double b, double c, double d) { return {_mm256_setr_pd(a, b, c, d)}; }
    static ORV_SIMD_INLINE Doubles load(const double* p) { return {_mm256_loadu_pd(p)}; }
    static ORV_SIMD_INLINE Doubles loadAligned(const double* p) { return {_mm256_load_pd(p)}; }
    // (Arithmetic takes unaligned operands in memory here.)
    static ORV_SIMD_INLINE Doubles loadPairAligned(const double* p) { return {_mm256_loadu_pd(p)}; }
    static ORV_SIMD_INLINE Doubles fromUnsigned(const std::uint32_t* p) {
        return fromUnsigned(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    static ORV_SIMD_INLINE Doubles fromUnsigned(__m128i w) {
        const __m128i s = _mm_xor_si128(w, _mm_set1_epi32(INT32_MIN));
        return {_mm256_add_pd(_mm256_cvtepi32_pd(s), _mm256_set1_pd(2147483648.0))};
    }
    static ORV_SIMD_INLINE Doubles join(Half lo, Half hi) {
        return {_mm256_insertf128_pd(_mm256_castpd128_pd256(lo.v), hi.v, 1)};
    }
    static ORV_SIMD_INLINE Doubles lanesWhere(int bits) {
        auto m = [bits](int i) { return (bits >> i) & 1 ? -1LL : 0LL; };
        return {_mm256_castsi256_pd(_mm256_setr_epi64x(m(0), m(1), m(2), m(3)))};
    }
    ORV_SIMD_INLINE void store(double* p) const { _mm256_storeu_pd(p, v); }
    ORV_SIMD_INLINE Half low() const { return {_mm256_castpd256_pd128(v)}; }
    ORV_SIMD_INLINE Half high() const { return {_mm256_extractf128_pd(v, 1)}; }
};
using WideQuad = Doubles<Avx2Fma, 4>;
ORV_SIMD_INLINE WideQuad operator+(WideQuad a, WideQuad b) { return {_mm256_add_pd(a.v, b.v)}; }
ORV_SIMD_INLINE WideQuad operator-(WideQuad a, WideQuad b) { return {_mm256_sub_pd(a.v, b.v)}; }
ORV_SIMD_INLINE WideQuad operator*(WideQuad a, WideQuad b) { return {_mm256_mul_pd(a.v, b.v)}; }
ORV_SIMD_INLINE WideQuad operator/(WideQuad a, WideQuad b) { return {_mm256_div_pd(a.v, b.v)}; }
ORV_SIMD_INLINE WideQuad operator&(WideQuad a, WideQuad b) { return {_mm256_and_pd(a.v, b.v)}; }
ORV_SIMD_INLINE WideQuad operator|(WideQuad a, WideQuad b) { return {_mm256_or_pd(a.v, b.v)}; }
ORV_SIMD_INLINE WideQuad mulAdd(WideQuad a, WideQuad b, WideQuad c) { return {_mm256_fmadd_pd(a.v, b.v, c.v)}; }
ORV_SIMD_INLINE WideQuad mulSub(WideQuad a, WideQuad b, WideQuad c) { return {_mm256_fnmadd_pd(a.v, b.v, c.v)}; }
ORV_SIMD_INLINE WideQuad max(WideQuad a, WideQuad b) { return {_mm256_max_pd(a.v, b.v)}; }
ORV_SIMD_INLINE WideQuad min(WideQuad a, WideQuad b) { return {_mm256_min_pd(a.v, b.v)}; }
ORV_SIMD_INLINE WideQuad sqrt(WideQuad a) { return {_mm256_sqrt_pd(a.v)}; }
ORV_SIMD_INLINE WideQuad negate(WideQuad a) { return {_mm256_xor_pd(a.v, _mm256_set1_pd(-0.0))}; }
ORV_SIMD_INLINE WideQuad greater(WideQuad a, WideQuad b) { return {_mm256_cmp_pd(a.v, b.v, _CMP_GT_OQ)}; }
ORV_SIMD_INLINE WideQuad less(WideQuad a, WideQuad b) { return {_mm256_cmp_pd(a.v, b.v, _CMP_LT_OQ)}; }
ORV_SIMD_INLINE WideQuad lessEqual(WideQuad a, WideQuad b) { return {_mm256_cmp_pd(a.v, b.v, _CMP_LE_OQ)}; }
ORV_SIMD_INLINE WideQuad notGreater(WideQuad a, WideQuad b) { return {_mm256_cmp_pd(a.v, b.v, _CMP_NGT_UQ)}; }
ORV_SIMD_INLINE WideQuad select(WideQuad m, WideQuad a, WideQuad b) { return {_mm256_blendv_pd(b.v, a.v, m.v)}; }
ORV_SIMD_INLINE int laneBits(WideQuad m) { return _mm256_movemask_pd(m.v); }
#endif

// The taps of symmetric and antisymmetric filters, c applied to two samples a and b:
//   mulAddSum(c, a, b, acc)        acc + c (a + b)
//   mulAddDifference(c, a, b, acc) acc + c (a - b)
// On the baseline the samples are combined first, then multiplied and added; on the wide path
// each sample gets a fused multiply-add of its own, a's first (fewer instructions: each reads
// its sample straight from memory).
template <class D>
ORV_SIMD_INLINE D mulAddSum(D c, D a, D b, D acc) {
    if constexpr (D::Set::kFused)
        return mulAdd(c, b, mulAdd(c, a, acc));
    else
        return acc + c * (a + b);
}
template <class D>
ORV_SIMD_INLINE D mulAddDifference(D c, D a, D b, D acc) {
    if constexpr (D::Set::kFused)
        return mulSub(c, b, mulAdd(c, a, acc));
    else
        return acc + c * (a - b);
}

// Both halves the same pair.
template <class A>
ORV_SIMD_INLINE Doubles<A, 4> twice(Doubles<A, 2> pair) { return Doubles<A, 4>::join(pair, pair); }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> twice(Doubles<A, 1> one) { return Doubles<A, 2>::join(one, one); }

// ---- four 32-bit integers and four floats (one 128-bit register on both sets) --------------
struct Words {
    __m128i v;
    static ORV_SIMD_INLINE Words of(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
        return {_mm_set_epi32(static_cast<int>(d), static_cast<int>(c), static_cast<int>(b), static_cast<int>(a))};
    }
    static ORV_SIMD_INLINE Words splat(std::uint32_t x) { return {_mm_set1_epi32(static_cast<int>(x))}; }
    static ORV_SIMD_INLINE Words load(const std::uint32_t* p) { return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))}; }
    ORV_SIMD_INLINE std::uint32_t lane0() const { return static_cast<std::uint32_t>(_mm_cvtsi128_si32(v)); }
    ORV_SIMD_INLINE void store(std::uint32_t* p) const { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
};
ORV_SIMD_INLINE Words operator^(Words a, Words b) { return {_mm_xor_si128(a.v, b.v)}; }
ORV_SIMD_INLINE Words operator&(Words a, Words b) { return {_mm_and_si128(a.v, b.v)}; }
ORV_SIMD_INLINE Words operator-(Words a, Words b) { return {_mm_sub_epi32(a.v, b.v)}; }
template <int S>
ORV_SIMD_INLINE Words shiftRight(Words a) { return {_mm_srli_epi32(a.v, S)}; }
template <int S>
ORV_SIMD_INLINE Words shiftRightSigned(Words a) { return {_mm_srai_epi32(a.v, S)}; }
// Each lane shifted by its own count (0 to 32; 32 gives zero).
template <class A, int S0, int S1, int S2, int S3>
ORV_SIMD_INLINE Words shiftRightLanes(Words a) {
#if ORV_SIMD_HAS_AVX2_FMA
    if constexpr (A::kFused) return {_mm_srlv_epi32(a.v, _mm_set_epi32(S3, S2, S1, S0))};
#endif
    // A right shift by s is the high half of a 32x32 product by 2^(32 - s): two lanes a multiply.
    const __m128i even = _mm_srli_epi64(_mm_mul_epu32(a.v, _mm_set_epi64x(1LL << (32 - S2), 1LL << (32 - S0))), 32);
    const __m128i odd = _mm_srli_epi64(
        _mm_mul_epu32(_mm_srli_epi64(a.v, 32), _mm_set_epi64x(1LL << (32 - S3), 1LL << (32 - S1))), 32);
    return {_mm_or_si128(even, _mm_slli_epi64(odd, 32))};
}
template <class A, int S0, int S1, int S2, int S3>
ORV_SIMD_INLINE Words shiftLeftLanes(Words a) {
#if ORV_SIMD_HAS_AVX2_FMA
    if constexpr (A::kFused) return {_mm_sllv_epi32(a.v, _mm_set_epi32(S3, S2, S1, S0))};
#endif
    // A left shift by s is the low half of a product by 2^s (32 gives zero).
    auto factor = [](int s) -> long long { return s >= 32 ? 0 : (1LL << s); };
    const __m128i even = _mm_mul_epu32(a.v, _mm_set_epi64x(factor(S2), factor(S0)));
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a.v, 32), _mm_set_epi64x(factor(S3), factor(S1)));
    const __m128i low = _mm_set_epi32(0, -1, 0, -1);
    return {_mm_or_si128(_mm_and_si128(even, low), _mm_slli_epi64(odd, 32))};
}
// The xor of the four lanes of each of four vectors: lane i of the result for vector i.
ORV_SIMD_INLINE Words xorAcrossLanes(Words r0, Words r1, Words r2, Words r3) {
    // (r0: 0^2, r1: 0^2, r0: 1^3, r1: 1^3), and the same of r2, r3.
    const __m128i a = _mm_xor_si128(_mm_unpacklo_epi32(r0.v, r1.v), _mm_unpackhi_epi32(r0.v, r1.v));
    const __m128i b = _mm_xor_si128(_mm_unpacklo_epi32(r2.v, r3.v), _mm_unpackhi_epi32(r2.v, r3.v));
    return {_mm_xor_si128(_mm_unpacklo_epi64(a, b), _mm_unpackhi_epi64(a, b))};
}

struct Floats {
    __m128 v;
    static ORV_SIMD_INLINE Floats splat(float x) { return {_mm_set1_ps(x)}; }
};
ORV_SIMD_INLINE Floats operator*(Floats a, Floats b) { return {_mm_mul_ps(a.v, b.v)}; }
ORV_SIMD_INLINE Floats operator-(Floats a, Floats b) { return {_mm_sub_ps(a.v, b.v)}; }
ORV_SIMD_INLINE Words bitsOf(Floats a) { return {_mm_castps_si128(a.v)}; }
ORV_SIMD_INLINE Floats floatsOfBits(Words a) { return {_mm_castsi128_ps(a.v)}; }
// Four doubles (two pairs) rounded to floats, and back.
template <class A>
ORV_SIMD_INLINE Floats toFloats(Doubles<A, 2> lo, Doubles<A, 2> hi) {
    return {_mm_movelh_ps(_mm_cvtpd_ps(lo.v), _mm_cvtpd_ps(hi.v))};
}
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> lowDoubles(Floats a) { return {_mm_cvtps_pd(a.v)}; }
template <class A>
ORV_SIMD_INLINE Doubles<A, 2> highDoubles(Floats a) { return {_mm_cvtps_pd(_mm_movehl_ps(a.v, a.v))}; }

// ---- compiler hints ------------------------------------------------------------------------
// The same pointer, with the compiler no longer knowing where it came from: loads through it
// stay plain loads from memory. Sums over sliding windows need it, where the compiler would
// otherwise carry values from one tap to the next in registers, run out of registers and move
// the sums themselves to the stack.
template <class T>
ORV_SIMD_INLINE T* opaque(T* p) {
#if defined(__GNUC__) || defined(__clang__)
    asm("" : "+r"(p));
#endif
    return p;
}

// ---- whole arrays --------------------------------------------------------------------------
// The sample vectors of the input scan: four floats or two doubles per register.
template <class T>
struct SampleVectors;
template <>
struct SampleVectors<float> {
    using V = __m128;
    static constexpr int kLanes = 4;
    static ORV_SIMD_INLINE V load(const float* p) { return _mm_loadu_ps(p); }
    static ORV_SIMD_INLINE V loadOne(const float* p) { return _mm_load_ss(p); }
    static ORV_SIMD_INLINE V splat(float x) { return _mm_set1_ps(x); }
    static ORV_SIMD_INLINE V zero() { return _mm_setzero_ps(); }
    static ORV_SIMD_INLINE V magnitude(V a) { return _mm_and_ps(a, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF))); }
    // Not (a <= b): true for a NaN as well as for a larger a.
    static ORV_SIMD_INLINE V beyond(V a, V b) { return _mm_cmpnle_ps(a, b); }
    static ORV_SIMD_INLINE V either(V a, V b) { return _mm_or_ps(a, b); }
    static ORV_SIMD_INLINE int bits(V a) { return _mm_movemask_ps(a); }
};
template <>
struct SampleVectors<double> {
    using V = __m128d;
    static constexpr int kLanes = 2;
    static ORV_SIMD_INLINE V load(const double* p) { return _mm_loadu_pd(p); }
    static ORV_SIMD_INLINE V loadOne(const double* p) { return _mm_load_sd(p); }
    static ORV_SIMD_INLINE V splat(double x) { return _mm_set1_pd(x); }
    static ORV_SIMD_INLINE V zero() { return _mm_setzero_pd(); }
    static ORV_SIMD_INLINE V magnitude(V a) {
        return _mm_and_pd(a, _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFLL)));
    }
    static ORV_SIMD_INLINE V beyond(V a, V b) { return _mm_cmpnle_pd(a, b); }
    static ORV_SIMD_INLINE V either(V a, V b) { return _mm_or_pd(a, b); }
    static ORV_SIMD_INLINE int bits(V a) { return _mm_movemask_pd(a); }
};

// Whether every |x[i]| <= limit (a NaN fails), two registers a pass. A lone sample is loaded
// into lane 0 with zeros beside it, which pass.
template <class T>
ORV_SIMD_INLINE bool allWithin(const T* x, int count, T limit) {
    using S = SampleVectors<T>;
    const typename S::V bound = S::splat(limit);
    typename S::V bad = S::zero();
    int i = 0;
    for (; i + 2 * S::kLanes <= count; i += 2 * S::kLanes) {
        const typename S::V a = S::magnitude(S::load(x + i)), b = S::magnitude(S::load(x + i + S::kLanes));
        bad = S::either(bad, S::either(S::beyond(a, bound), S::beyond(b, bound)));
    }
    for (; i < count; ++i) bad = S::either(bad, S::beyond(S::magnitude(S::loadOne(x + i)), bound));
    return S::bits(bad) == 0;
}

}  // namespace orv::simd

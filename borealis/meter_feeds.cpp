#include "borealis/meter_feeds.h"

#include <cmath>
#include <emmintrin.h>
#if ORV_HAS_WIDE_PATH
#include <immintrin.h>
#endif

namespace borealis {

void MeterFeeds::beginBlock(const BorealisSettings& s, double hostRate) {
    source_ = orv::meterSourceFor(s.meterSource);
    // The ballistics are calibrated for twice the host rate in the Pre and GainRed modes.
    const double rate = source_ == MeterSource::Post ? hostRate : 2.0 * hostRate;
    ballistics_.update(rate, s.vuIntegrationMs, s.ppmIntegrationMs, s.ppmReturnMs);
    cVu_ = ballistics_.vu();
    cInt_ = ballistics_.integration();
    cRet_ = ballistics_.ret();
    referenceInverse_ = s.vuReferenceInverse;
    overLimit_ = static_cast<int>(s.overCount);
    expansion_ = s.ratioIndex < 6;
}

void MeterFeeds::level(Channel& c, double x, double noise) {
    const double a = std::fabs(x);
    c.vu += (a * 1.096 * 1.4142136 * referenceInverse_ - c.vu) * cVu_ + noise;
    c.ppm += (a - c.ppm) * (a <= c.ppm ? cRet_ : cInt_) + noise;
    if (a >= 1.0)
        ++c.overCount;
    else if (c.overCount < overLimit_)
        c.overCount = 0;
    if (c.ppm > c.ppmHold) {
        c.ppmHold = c.ppm;
        c.ppmHoldAge = 0;
    }
    if (c.vu > c.vuHold) {
        c.vuHold = c.vu;
        c.vuHoldAge = 0;
    }
}

void MeterFeeds::gain(Channel& c, double m, double noise) {
    c.vu += (m - c.vu) * cVu_ + noise;
    if (expansion_)
        c.ppm += (m - c.ppm) * (m <= c.ppm ? cRet_ : cInt_) + noise;
    else
        c.ppm += (m - c.ppm) * (c.ppm <= m ? cRet_ : cInt_) + noise;
    // A deeper reduction lowers the hold at once; a rise above unity raises it.
    auto hold = [](double value, double& held, int& age) {
        if ((value > 1.0 && value > held) || (value < held && value > 0.01)) {
            held = value;
            age = 0;
        }
    };
    hold(c.vu, c.vuHold, c.vuHoldAge);
    hold(c.ppm, c.ppmHold, c.ppmHoldAge);
}

void MeterFeeds::feedLevel(double left, double right, double noise) {
    level(ch_[0], left, noise);
    level(ch_[1], right, noise);
}

void MeterFeeds::feedGain(double left, double right, double noise) {
    gain(ch_[0], left, noise);
    gain(ch_[1], right, noise);
}

void MeterFeeds::feedGainChunk(const double* left, const double* right, const double* noise, int count) {
    if (count <= 0) return;
    const __m128d cVu = _mm_set1_pd(cVu_), cInt = _mm_set1_pd(cInt_), cRet = _mm_set1_pd(cRet_);
    const __m128d one = _mm_set1_pd(1.0), floor = _mm_set1_pd(0.01);
    __m128d vu = _mm_set_pd(ch_[1].vu, ch_[0].vu), ppm = _mm_set_pd(ch_[1].ppm, ch_[0].ppm);
    __m128d vuHold = _mm_set_pd(ch_[1].vuHold, ch_[0].vuHold);
    __m128d ppmHold = _mm_set_pd(ch_[1].ppmHold, ch_[0].ppmHold);
    // Lanes whose hold was set in this chunk (all bits set in such a lane).
    __m128d vuTaken = _mm_setzero_pd(), ppmTaken = _mm_setzero_pd();
    auto select = [](__m128d mask, __m128d a, __m128d b) { return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b)); };
    // The hold rule of gain(): above unity and above the hold, or below the hold and above 0.01.
    auto hold = [&](__m128d value, __m128d& held, __m128d& taken) {
        const __m128d up = _mm_and_pd(_mm_cmpgt_pd(value, one), _mm_cmpgt_pd(value, held));
        const __m128d down = _mm_and_pd(_mm_cmplt_pd(value, held), _mm_cmpgt_pd(value, floor));
        const __m128d take = _mm_or_pd(up, down);
        held = select(take, value, held);
        taken = _mm_or_pd(taken, take);
    };
    for (int i = 0; i < count; ++i) {
        const __m128d m = _mm_set_pd(right[i], left[i]);
        const __m128d n = _mm_set1_pd(noise[i]);
        vu = _mm_add_pd(vu, _mm_add_pd(_mm_mul_pd(_mm_sub_pd(m, vu), cVu), n));
        const __m128d returning = expansion_ ? _mm_cmple_pd(m, ppm) : _mm_cmple_pd(ppm, m);
        ppm = _mm_add_pd(ppm, _mm_add_pd(_mm_mul_pd(_mm_sub_pd(m, ppm), select(returning, cRet, cInt)), n));
        hold(vu, vuHold, vuTaken);
        hold(ppm, ppmHold, ppmTaken);
    }
    const int vuHeld = _mm_movemask_pd(vuTaken), ppmHeld = _mm_movemask_pd(ppmTaken);
    double v[2], p[2], vh[2], ph[2];
    _mm_storeu_pd(v, vu);
    _mm_storeu_pd(p, ppm);
    _mm_storeu_pd(vh, vuHold);
    _mm_storeu_pd(ph, ppmHold);
    for (int c = 0; c < 2; ++c) {
        ch_[c].vu = v[c];
        ch_[c].ppm = p[c];
        ch_[c].vuHold = vh[c];
        ch_[c].ppmHold = ph[c];
        if (vuHeld & (1 << c)) ch_[c].vuHoldAge = 0;
        if (ppmHeld & (1 << c)) ch_[c].ppmHoldAge = 0;
    }
}

#if ORV_HAS_WIDE_PATH
void MeterFeeds::feedGainChunkWide(const double* left, const double* right, const double* noise, int count) {
    if (expansion_)
        gainChunkWide<true>(left, right, noise, count);
    else
        gainChunkWide<false>(left, right, noise, count);
}

template <bool kExpansion>
void MeterFeeds::gainChunkWide(const double* left, const double* right, const double* noise, int count) {
    if (count <= 0) return;
    // Lanes: VU left, VU right, PPM left, PPM right. The VU lanes take cVu either way; the PPM
    // lanes take the return or the integration coefficient as gain() chooses.
    const __m256d cApproach = _mm256_setr_pd(cVu_, cVu_, cInt_, cInt_);
    const __m256d cReturn = _mm256_setr_pd(cVu_, cVu_, cRet_, cRet_);
    const __m256d one = _mm256_set1_pd(1.0), floor = _mm256_set1_pd(0.01);
    __m256d x = _mm256_setr_pd(ch_[0].vu, ch_[1].vu, ch_[0].ppm, ch_[1].ppm);
    __m256d held = _mm256_setr_pd(ch_[0].vuHold, ch_[1].vuHold, ch_[0].ppmHold, ch_[1].ppmHold);
    __m256d taken = _mm256_setzero_pd();
    for (int i = 0; i < count; ++i) {
        const __m128d pair = _mm_set_pd(right[i], left[i]);
        const __m256d m = _mm256_insertf128_pd(_mm256_castpd128_pd256(pair), pair, 1);
        const __m256d returning = kExpansion ? _mm256_cmp_pd(m, x, _CMP_LE_OQ) : _mm256_cmp_pd(x, m, _CMP_LE_OQ);
        const __m256d c = _mm256_blendv_pd(cApproach, cReturn, returning);
        x = _mm256_add_pd(x, _mm256_add_pd(_mm256_mul_pd(_mm256_sub_pd(m, x), c), _mm256_broadcast_sd(noise + i)));
        // The hold rule of gain(): above unity and above the hold, or below the hold and above 0.01.
        const __m256d up = _mm256_and_pd(_mm256_cmp_pd(x, one, _CMP_GT_OQ), _mm256_cmp_pd(x, held, _CMP_GT_OQ));
        const __m256d down = _mm256_and_pd(_mm256_cmp_pd(x, held, _CMP_LT_OQ), _mm256_cmp_pd(x, floor, _CMP_GT_OQ));
        const __m256d take = _mm256_or_pd(up, down);
        held = _mm256_blendv_pd(held, x, take);
        taken = _mm256_or_pd(taken, take);
    }
    const int heldBits = _mm256_movemask_pd(taken);
    double v[4], h[4];
    _mm256_storeu_pd(v, x);
    _mm256_storeu_pd(h, held);
    for (int c = 0; c < 2; ++c) {
        ch_[c].vu = v[c];
        ch_[c].ppm = v[2 + c];
        ch_[c].vuHold = h[c];
        ch_[c].ppmHold = h[2 + c];
        if (heldBits & (1 << c)) ch_[c].vuHoldAge = 0;
        if (heldBits & (4 << c)) ch_[c].ppmHoldAge = 0;
    }
}
#endif

void MeterFeeds::ageHolds(int samples) {
    // Ages saturate instead of overflowing when no editor ever releases the holds.
    constexpr int kMaxAge = 1 << 30;
    if (samples <= 0) return;
    for (Channel& c : ch_) {
        c.vuHoldAge = c.vuHoldAge > kMaxAge - samples ? kMaxAge : c.vuHoldAge + samples;
        c.ppmHoldAge = c.ppmHoldAge > kMaxAge - samples ? kMaxAge : c.ppmHoldAge + samples;
    }
}

void MeterFeeds::latchOvers(double limit) {
    for (Channel& c : ch_) {
        if (c.overCount >= limit) {
            c.overFlag = 1.0;
            c.overCount = 0;
        } else {
            c.overFlag = 0.0;
        }
    }
}

}  // namespace borealis

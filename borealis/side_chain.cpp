#include "borealis/side_chain.h"

#include "borealis/filter_restart.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>

namespace borealis {

using orv::dsp::BiquadType;

namespace {
constexpr double kBoostDb = 12.0, kBoostQ = 0.5;
constexpr double kCutDb = -15.0, kCutQ = 0.35;
}  // namespace

SideChain::SideChain() {
    lowShelf_.create(44100.0, BiquadType::LowShelf, 35.0, 0.35, -15.0);
    highShelf_.create(44100.0, BiquadType::HighShelf, 5500.0, 0.5, 12.0);
    linkFilter_.create(44100.0, BiquadType::Peaking, 700.0, 0.3, 12.0);
    rebuild(44100.0, false);
}

void SideChain::setRate(double rate) {
    glideSkippable_ = rate <= kMaxSettledRate;
    lowShelf_.setRate(rate);
    highShelf_.setRate(rate);
    linkFilter_.setRate(rate);
}

void SideChain::setLowShelf(double frequency, bool boost) {
    lowShelf_.setFrequency(0.7 * frequency);
    lowShelf_.setQ(boost ? kBoostQ : kCutQ);
    lowShelf_.setGain(boost ? kBoostDb : kCutDb);
}

void SideChain::setHighShelf(double frequency, bool boost) {
    highShelf_.setFrequency(1.375 * frequency);
    highShelf_.setQ(boost ? kBoostQ : kCutQ);
    highShelf_.setGain(boost ? kBoostDb : kCutDb);
}

void SideChain::setLinkFilters(bool highCut, bool lowCut) {
    BiquadType type = BiquadType::Peaking;
    double frequency = 700.0, q = 0.01;
    if (highCut && !lowCut) {
        type = BiquadType::LowShelf;
        frequency = 7000.0;
        q = 0.45;
    } else if (!highCut && lowCut) {
        type = BiquadType::HighShelf;
        frequency = 100.0;
        q = 0.45;
    } else if (highCut && lowCut) {
        frequency = 1000.0;
        q = 0.1;
    }
    // The same design again (a preset or a restored session repeating the switches) keeps the
    // filter running; a new design starts from a cleared history.
    const orv::dsp::Biquad& current = linkFilter_.filter();
    if (current.type() == type && current.frequency() == frequency && current.q() == q && current.gainDb() == kBoostDb)
        return;
    linkFilter_.setType(type);
    linkFilter_.setFrequency(frequency);
    linkFilter_.setQ(q);
    linkFilter_.setGain(kBoostDb);
    linkFilter_.reset();
}

void SideChain::rebuild(double sideChainRate, bool smooth) {
    hilbert_.build(sideChainRate, smooth);
    clearHistories();
}

void SideChain::clearHistories() {
    history_.clear();
    monitor_.clear();
}

void SideChain::resetFilters() {
    restartFilter(lowShelf_);
    restartFilter(highShelf_);
    restartFilter(linkFilter_);
    lowMode_ = ShelfMode();
    highMode_ = ShelfMode();
    shelfClock_ = 0;
}

void SideChain::updateShelfMode(const orv::dsp::BiquadPair& f, ShelfMode& mode, bool checkpoint) const {
    const orv::dsp::BiquadCoefficients& t = f.filter().targets();
    const orv::dsp::BiquadCoefficients& r = mode.reached;
    // A new design glides again from where the coefficients are, at once.
    if (mode.settled && (!skipSettledGlide_ || !glideSkippable_ || t.b0 != r.b0 || t.b1 != r.b1 || t.b2 != r.b2 || t.a1 != r.a1 || t.a2 != r.a2))
        mode.settled = false;
    if (!mode.settled && checkpoint && skipSettledGlide_ && glideSkippable_ && f.glideArrived()) {
        mode.settled = true;
        mode.reached = t;
    }
}

void SideChain::runShelves(double* left, double* right, int count) {
    for (int done = 0; done < count;) {
        const unsigned phase = shelfClock_ & (kSettleCheck - 1);
        updateShelfMode(lowShelf_, lowMode_, phase == 0);
        updateShelfMode(highShelf_, highMode_, phase == 0);
        const int part = std::min(count - done, static_cast<int>(kSettleCheck - phase));
        if (lowMode_.settled)
            lowShelf_.processPlain(left + done, right + done, part);
        else
            lowShelf_.processSmoothed(left + done, right + done, part);
        if (highMode_.settled)
            highShelf_.processPlain(left + done, right + done, part);
        else
            highShelf_.processSmoothed(left + done, right + done, part);
        shelfClock_ += static_cast<unsigned>(part);
        done += part;
    }
}

template <bool Fused>
void SideChain::runShelvesPairs(double* pairs, int count) {
    for (int done = 0; done < count;) {
        const unsigned phase = shelfClock_ & (kSettleCheck - 1);
        updateShelfMode(lowShelf_, lowMode_, phase == 0);
        updateShelfMode(highShelf_, highMode_, phase == 0);
        const int part = std::min(count - done, static_cast<int>(kSettleCheck - phase));
        double* const p = pairs + 2 * done;
#if defined(ORV_BIQUAD_FUSED)
        if constexpr (Fused) {
            // Both shelves settled: the high one runs a frame behind the low one in the same
            // register.
            if (lowMode_.settled && highMode_.settled) {
                orv::dsp::BiquadPair::processPlainPairsFusedChain(lowShelf_, highShelf_, p, part);
                shelfClock_ += static_cast<unsigned>(part);
                done += part;
                continue;
            }
        }
#endif
        if (lowMode_.settled)
            lowShelf_.processPlainPairs<Fused>(p, part);
        else
            lowShelf_.processSmoothedPairs<Fused>(p, part);
        if (highMode_.settled)
            highShelf_.processPlainPairs<Fused>(p, part);
        else
            highShelf_.processSmoothedPairs<Fused>(p, part);
        shelfClock_ += static_cast<unsigned>(part);
        done += part;
    }
}

float fastMagnitude(double a, double h) {
    const float v = static_cast<float>(a * a + h * h);
    std::int32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    bits = 0x5f3759df - (bits >> 1);
    float y;
    std::memcpy(&y, &bits, sizeof y);
    y = y * (1.5f - 0.5f * v * y * y);
    y = y * (1.5f - 0.5f * v * y * y);
    return y * v;
}

inline void SideChain::pushFiltered(double eL, double eR, double fL, double fR, const BorealisSettings& s,
                                     SideChainOutput& out) {
    fL *= 0.25;
    fR *= 0.25;
    const double common = 0.7071 * (fL + fR);
    history_.push(eL + s.link * (common - fL), eR + s.link * (common - fR));
    monitor_.push(eL, eR);
    out.monitorL = monitor_.ago(monitorDelay_, 0);
    out.monitorR = monitor_.ago(monitorDelay_, 1);
}

inline void SideChain::filterAndPush(double kL, double kR, const BorealisSettings& s, SideChainOutput& out) {
    double eL = kL * s.tiltLeft, eR = kR * s.tiltRight;
    runShelves(&eL, &eR, 1);
    double fL = eL, fR = eR;
    linkFilter_.processPlain(fL, fR);
    pushFiltered(eL, eR, fL, fR, s, out);
}

template <bool Exact>
inline double SideChain::detector(double a, double h, const BorealisSettings& s) {
    const double magnitude = Exact ? std::sqrt(a * a + h * h) : fastMagnitude(a, h);
    return detectorValue(magnitude, s.thresholdFactor);
}

namespace {
// detector() for two samples of both channels at once, (left, right) of the first sample in
// a[0], a[1] and h[0], h[1], of the second in a[2], a[3] and h[2], h[3]: the same operations
// lane for lane, in double precision or, for the fast form, in the four lanes of one single-
// precision vector.
template <bool Exact>
inline void detectorsTwice(const double* a, const double* h, double thresholdFactor, SideChainOutput& first,
                           SideChainOutput& second) {
    const __m128d a0 = _mm_loadu_pd(a), a1 = _mm_loadu_pd(a + 2);
    const __m128d h0 = _mm_loadu_pd(h), h1 = _mm_loadu_pd(h + 2);
    const __m128d sum0 = _mm_add_pd(_mm_mul_pd(a0, a0), _mm_mul_pd(h0, h0));
    const __m128d sum1 = _mm_add_pd(_mm_mul_pd(a1, a1), _mm_mul_pd(h1, h1));
    __m128d m0, m1;
    if constexpr (Exact) {
        m0 = _mm_sqrt_pd(sum0);
        m1 = _mm_sqrt_pd(sum1);
    } else {
        // fastMagnitude in four lanes.
        const __m128 v = _mm_movelh_ps(_mm_cvtpd_ps(sum0), _mm_cvtpd_ps(sum1));
        const __m128i bits = _mm_sub_epi32(_mm_set1_epi32(0x5f3759df), _mm_srai_epi32(_mm_castps_si128(v), 1));
        __m128 y = _mm_castsi128_ps(bits);
        const __m128 half = _mm_set1_ps(0.5f), threeHalves = _mm_set1_ps(1.5f);
        y = _mm_mul_ps(y, _mm_sub_ps(threeHalves, _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(half, v), y), y)));
        y = _mm_mul_ps(y, _mm_sub_ps(threeHalves, _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(half, v), y), y)));
        const __m128 magnitude = _mm_mul_ps(y, v);
        m0 = _mm_cvtps_pd(magnitude);
        m1 = _mm_cvtps_pd(_mm_movehl_ps(magnitude, magnitude));
    }
    // detectorValue, lane for lane.
    auto value = [thresholdFactor](__m128d m) {
        __m128d d = _mm_mul_pd(_mm_mul_pd(_mm_mul_pd(m, _mm_set1_pd(1.4142)), _mm_set1_pd(0.582)),
                               _mm_set1_pd(1.005773063));
        return _mm_add_pd(_mm_mul_pd(d, _mm_set1_pd(thresholdFactor)), _mm_set1_pd(0.005));
    };
    double d[4];
    _mm_storeu_pd(d, value(m0));
    _mm_storeu_pd(d + 2, value(m1));
    first.detectorL = d[0];
    first.detectorR = d[1];
    second.detectorL = d[2];
    second.detectorR = d[3];
}
}  // namespace

template <bool Exact>
SideChainOutput SideChain::process(double kL, double kR, const BorealisSettings& s) {
    SideChainOutput out;
    filterAndPush(kL, kR, s, out);
    const int n = hilbert_.halfLength();
    const int span = centre_ + 2 * n;  // from the oldest tap to the newest sample
    const double* centre = history_.newest(span) + 2 * (2 * n - 1);
    double h[2];
    hilbert_.transformStereo(centre, h[0], h[1]);
    out.detectorL = detector<Exact>(centre[0], h[0], s);
    out.detectorR = detector<Exact>(centre[1], h[1], s);
    return out;
}

template <bool Exact, bool Wide>
void SideChain::processBlock(const double* kL, const double* kR, int count, const BorealisSettings& s,
                             SideChainOutput* out) {
    const int n = hilbert_.halfLength();
    const int span = centre_ + 2 * n;
    constexpr int kPart = 128;
    for (int start = 0; start < count; start += kPart) {
        const int part = count - start < kPart ? count - start : kPart;
        // The filters over the whole part first, each with its state in registers, on
        // (left, right) pairs stored side by side: e the shelved key, f the link filter's output.
        alignas(16) double e[2 * kPart], f[2 * kPart];
        const double tiltLeft = s.tiltLeft, tiltRight = s.tiltRight;
        for (int i = 0; i < part; ++i) {
            e[2 * i] = kL[start + i] * tiltLeft;
            e[2 * i + 1] = kR[start + i] * tiltRight;
        }
        runShelvesPairs<Wide>(e, part);
        std::memcpy(f, e, sizeof(double) * 2 * static_cast<std::size_t>(part));
        linkFilter_.processPlainPairs<Wide>(f, part);

        SideChainOutput* o = out + start;
        if constexpr (Wide) {
            // A group of samples into the history, then the transforms of all their centres
            // at once. Each centre lies centre_ pairs behind its own sample, so the group's
            // centres are neighbours; the group is as long as the ring lets them all be read.
            const int group = span + kWideGroup - 1 <= kHistorySize ? kWideGroup : 2;
            for (int g = 0; g < part; g += group) {
                const int count = part - g < group ? part - g : group;
                for (int i = g; i < g + count; ++i) pushFiltered(e[2 * i], e[2 * i + 1], f[2 * i], f[2 * i + 1], s, o[i]);
                const double* first = history_.newest(span + count - 1) + 2 * (2 * n - 1);
                alignas(32) double h[2 * kWideGroup];
                hilbert_.transformStereoRunFused(first, count, h);
                int i = 0;
                for (; i + 2 <= count; i += 2)
                    detectorsTwice<Exact>(first + 2 * i, h + 2 * i, s.thresholdFactor, o[g + i], o[g + i + 1]);
                if (i < count) {
                    o[g + i].detectorL = detector<Exact>(first[2 * i], h[2 * i], s);
                    o[g + i].detectorR = detector<Exact>(first[2 * i + 1], h[2 * i + 1], s);
                }
            }
            continue;
        }
        int i = 0;
        for (; i + 2 <= part; i += 2) {
            pushFiltered(e[2 * i], e[2 * i + 1], f[2 * i], f[2 * i + 1], s, o[i]);
            pushFiltered(e[2 * i + 2], e[2 * i + 3], f[2 * i + 2], f[2 * i + 3], s, o[i + 1]);
            // The first sample's centre, now one pair further back; the second's follows it.
            const double* centre = history_.newest(span + 1) + 2 * (2 * n - 1);
            double h[4];
            hilbert_.transformStereoTwice(centre, h);
            detectorsTwice<Exact>(centre, h, s.thresholdFactor, o[i], o[i + 1]);
        }
        if (i < part) {
            pushFiltered(e[2 * i], e[2 * i + 1], f[2 * i], f[2 * i + 1], s, o[i]);
            const double* centre = history_.newest(span) + 2 * (2 * n - 1);
            double h[2];
            hilbert_.transformStereo(centre, h[0], h[1]);
            o[i].detectorL = detector<Exact>(centre[0], h[0], s);
            o[i].detectorR = detector<Exact>(centre[1], h[1], s);
        }
    }
}

template SideChainOutput SideChain::process<true>(double, double, const BorealisSettings&);
template SideChainOutput SideChain::process<false>(double, double, const BorealisSettings&);
template void SideChain::processBlock<true, false>(const double*, const double*, int, const BorealisSettings&,
                                                   SideChainOutput*);
template void SideChain::processBlock<false, false>(const double*, const double*, int, const BorealisSettings&,
                                                    SideChainOutput*);
template void SideChain::processBlock<true, true>(const double*, const double*, int, const BorealisSettings&,
                                                  SideChainOutput*);
template void SideChain::processBlock<false, true>(const double*, const double*, int, const BorealisSettings&,
                                                   SideChainOutput*);

}  // namespace borealis

#include "borealis/side_chain.h"

#include "borealis/filter_restart.h"

#include <cstdint>
#include <cstring>

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
    lowMode_ = orv::dsp::GlideSettling();
    highMode_ = orv::dsp::GlideSettling();
    shelfClock_ = 0;
}

}  // namespace borealis

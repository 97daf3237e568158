#pragma once
// What the editor reads from and does to its effect beyond the host adapter's parameter calls:
// units, side-chain, latency, the meter feeds. Both engines answer the same calls, so one
// template adapts either. The meters are read from the values the audio thread publishes after
// each block, and released or cleared through requests it carries out at its next block: the
// editor never touches what the processing is working on.
#include <memory>

struct EditorMeterChannel {
    float vu, over, ppm, ppmHold, vuHold;
    int vuHoldAge, ppmHoldAge;
};

class EditorEffectLink {
public:
    virtual ~EditorEffectLink() = default;
    virtual bool failed() const = 0;
    virtual float unitValue(int index) = 0;
    virtual bool hasSideChain() = 0;
    virtual float latencyMs() = 0;
    virtual float latencySamples() = 0;
    virtual float sampleRate() = 0;
    virtual EditorMeterChannel meter(int channel) const = 0;
    virtual void releaseVuHold(int channel) = 0;
    virtual void releasePpmHold(int channel) = 0;
    // A click on a meter: levels, over flags and over counts start again; the holds stay.
    virtual void clearMeters() = 0;
};

template <class Effect>
class EffectLink : public EditorEffectLink {
public:
    explicit EffectLink(Effect* fx) : fx(fx) {}
    bool failed() const override { return !fx || fx->failed(); }
    float unitValue(int index) override { return fx->getUnitValue(index); }
    bool hasSideChain() override { return fx->hasSideChain(); }
    float latencyMs() override { return fx->getLatencyMs(); }
    float latencySamples() override { return fx->getLatencySamples(); }
    float sampleRate() override { return fx->getSampleRate(); }
    EditorMeterChannel meter(int c) const override {
        const auto m = fx->meters().shown(c);
        return {static_cast<float>(m.vu),      static_cast<float>(m.overFlag), static_cast<float>(m.ppm),
                static_cast<float>(m.ppmHold), static_cast<float>(m.vuHold),   m.vuHoldAge,
                m.ppmHoldAge};
    }
    void releaseVuHold(int c) override { fx->meters().requestVuHoldRelease(c); }
    void releasePpmHold(int c) override { fx->meters().requestPpmHoldRelease(c); }
    void clearMeters() override { fx->meters().requestClearFollowers(); }

private:
    Effect* fx;
};

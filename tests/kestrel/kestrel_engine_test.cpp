// The Kestrel engine linked statically: processing, meters, parameters and real-time safety.
#include "kestrel/kestrel.h"
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

namespace {
std::atomic<long> allocations{0};
std::atomic<bool> countAllocations{false};
}  // namespace

void* operator new(std::size_t size) {
    if (countAllocations) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (countAllocations) ++allocations;
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new[](std::size_t size, const std::nothrow_t& t) noexcept { return operator new(size, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace kestrel;

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct Signal {
    std::vector<float> l, r, kl, kr, outL, outR;
    explicit Signal(int n) : l(n), r(n), kl(n), kr(n), outL(n), outR(n) {}
    int size() const { return static_cast<int>(l.size()); }
};

// Runs the whole signal in blocks of `block` samples.
void run(Kestrel& k, Signal& s, int block) {
    for (int done = 0; done < s.size(); done += block) {
        const int n = std::min(block, s.size() - done);
        float* in[4] = {s.l.data() + done, s.r.data() + done, s.kl.data() + done, s.kr.data() + done};
        float* out[2] = {s.outL.data() + done, s.outR.data() + done};
        k.processReplacing(in, out, n);
    }
}

Signal sine(int n, double freq, double amp, double rate = 44100.0) {
    Signal s(n);
    for (int t = 0; t < n; ++t) {
        s.l[t] = s.kl[t] = static_cast<float>(amp * std::sin(2 * M_PI * freq * t / rate));
        s.r[t] = s.kr[t] = static_cast<float>(0.7 * amp * std::sin(2 * M_PI * 1.3 * freq * t / rate));
    }
    return s;
}

// A compressing setting with every detector path in use.
void compress(Kestrel& k) {
    k.setParameter(kThreshold, 1.0f);  // -30 dB
    k.setParameter(kRatio, 0.9f);
    k.setParameter(kSmooth, 1.0f);
    k.setParameter(kAttack, 0.2f);
    k.setParameter(kRelease, 0.3f);
}

TEST(KestrelEngine, OneToOneWithNeutralGainsIsTransparent) {
    for (float smooth : {0.0f, 1.0f}) {
        Kestrel k(host);
        k.setSampleRate(44100.0f);
        k.setParameter(kSmooth, smooth);  // factory default: ratio 1:1, makeup 0 dB, output -0.03 dB
        Signal s = sine(20000, 997.0, 0.5);
        run(k, s, 512);
        for (int t = 1021; t < s.size(); ++t) {
            ASSERT_NEAR(s.outL[t], s.l[t - 1021], 0.005 * std::fabs(s.l[t - 1021]) + 1e-6) << t;
            ASSERT_NEAR(s.outR[t], s.r[t - 1021], 0.005 * std::fabs(s.r[t - 1021]) + 1e-6) << t;
        }
    }
}

TEST(KestrelEngine, CompressionReducesLoudSignals) {
    Kestrel k(host);
    k.setSampleRate(48000.0f);
    compress(k);
    Signal s = sine(48000, 440.0, 0.9, 48000.0);
    run(k, s, 256);
    EXPECT_LT(k.lastGain(0), 0.5);
    double peak = 0;
    for (int t = 40000; t < 48000; ++t) peak = std::max(peak, std::fabs(double(s.outL[t])));
    EXPECT_LT(peak, 0.45);
}

TEST(KestrelEngine, MonoOfPureSideSignalIsSilence) {
    Kestrel k(host);
    k.setSampleRate(44100.0f);
    compress(k);
    k.setParameter(kStereo, 0.0f);
    Signal s = sine(8000, 300.0, 1.0);
    for (int t = 0; t < s.size(); ++t) s.r[t] = -s.l[t];
    run(k, s, 128);
    for (int t = 0; t < s.size(); ++t) {
        ASSERT_LT(std::fabs(s.outL[t]), 1e-9f) << t;
        ASSERT_EQ(s.outL[t], s.outR[t]);
    }
}

TEST(KestrelEngine, LinkGivesBothChannelsOneGain) {
    for (float smooth : {0.0f, 1.0f}) {
        Kestrel k(host);
        k.setSampleRate(44100.0f);
        compress(k);
        k.setParameter(kSmooth, smooth);
        k.setParameter(kLink, 1.0f);
        Signal s = sine(6000, 200.0, 0.9);
        s.r = s.l;  // identical channels: identical outputs, whatever the detector
        run(k, s, 100);
        for (int t = 0; t < s.size(); ++t) ASSERT_NEAR(s.outL[t], s.outR[t], 1e-6f) << t;
        for (float& x : s.r) x = 0.0f;  // one silent channel still follows the loud one
        for (float& x : s.kr) x = 0.0f;
        run(k, s, 100);
        EXPECT_NEAR(k.lastGain(0), k.lastGain(1), 1e-9);
        EXPECT_LT(k.lastGain(1), 0.9);
    }
}

// A key impulse reaches the detector only while it is inside the Hilbert window: no tap reads
// a ring position that has not been written in this pass.
TEST(KestrelEngine, HilbertWindowReadsOnlyWrittenKeySamples) {
    for (float rate : {44100.0f, 192000.0f}) {
        Kestrel k(host);
        k.setSampleRate(rate);
        k.setParameter(kSmooth, 1.0f);
        k.setParameter(kScExt, 1.0f);
        k.setParameter(kRelease, 1.0f);
        const int n = k.hilbertLength();
        const int total = 6000, start = 3000;
        std::vector<double> env(total);
        float zero = 0.0f, outL, outR, key;
        for (int t = 0; t < total; ++t) {
            key = t == start ? 1.0f : 0.0f;
            float* in[4] = {&zero, &zero, &key, &key};
            float* out[2] = {&outL, &outR};
            k.processReplacing(in, out, 1);
            env[t] = k.envelope(0);
        }
        const int arrives = start + 1022 - 2 * n;  // the key is read 1022 - 2N behind the input
        EXPECT_LT(env[arrives - 1], 0.0051) << rate;
        EXPECT_GT(env[start + 1021], 0.01) << rate;  // the detector's centre, 1021 behind
        for (int t = arrives + 4 * n; t < total; ++t) ASSERT_LE(env[t], env[t - 1] + 1e-12) << rate << " at " << t;
    }
}

TEST(KestrelEngine, OutputDoesNotDependOnBlockSize) {
    std::vector<float> reference;
    for (int block : {512, 1, 64, 77, 1000}) {
        Kestrel k(host);
        k.setSampleRate(44100.0f);
        compress(k);
        k.setParameter(kAutoRelease, 1.0f);
        k.setParameter(kMeters, 1.0f);
        Signal s = sine(9000, 150.0, 0.8);
        run(k, s, block);
        if (reference.empty())
            reference = s.outL;
        else
            ASSERT_EQ(reference, s.outL) << "block " << block;
    }
}

// The Smooth detector sums each frame's Hilbert taps in passes of several frames and takes the
// last frames of a chunk one at a time, and the wide path runs the side-chain shelves of a
// chunk in a staggered form; at rates whose tap count is not a multiple of the passes' step,
// and on both code paths, in either kernel, with either detector, no sample may depend on where
// the host's blocks begin. The envelopes, which keep differences far below the output's
// resolution (with the Draft detector down to the last bit of the side chain), are compared
// as well.
TEST(KestrelEngine, DetectorsDoNotDependOnBlockSizeAtAnyRate) {
    for (float rate : {11025.0f, 22050.0f, 44100.0f, 37800.0f})
        for (float stereo : {1.0f, 0.0f})
            for (float smooth : {1.0f, 0.0f})
                for (VstIntPtr path : {orv::dsp::kCodePathForceBaseline, orv::dsp::kCodePathAutomatic}) {
                    std::vector<float> reference, referenceRight;
                    std::vector<double> referenceEnvelopes;
                    for (int block : {512, 1, 3, 64, 77}) {
                        Kestrel k(host);
                        k.vendorSpecific(orv::dsp::kCodePathRequest, path, nullptr, 0.0f);
                        k.setSampleRate(rate);
                        compress(k);
                        k.setParameter(kSmooth, smooth);
                        k.setParameter(kAutoRelease, 1.0f);
                        k.setParameter(kStereo, stereo);
                        Signal s = sine(6000, 150.0, 0.8, rate);
                        std::vector<double> envelopes;
                        for (int done = 0; done < s.size();) {
                            const int n = std::min(block, 1000 - done % 1000);
                            float* in[4] = {s.l.data() + done, s.r.data() + done, s.kl.data() + done,
                                            s.kr.data() + done};
                            float* out[2] = {s.outL.data() + done, s.outR.data() + done};
                            k.processReplacing(in, out, n);
                            done += n;
                            if (done % 1000 == 0) {
                                envelopes.push_back(k.envelope(0));
                                envelopes.push_back(k.envelope(1));
                            }
                        }
                        if (reference.empty()) {
                            reference = s.outL;
                            referenceRight = s.outR;
                            referenceEnvelopes = envelopes;
                        } else {
                            const std::string what = "rate " + std::to_string(rate) + " stereo " +
                                                     std::to_string(stereo) + " smooth " + std::to_string(smooth) +
                                                     " path " + std::to_string(path) + " block " +
                                                     std::to_string(block);
                            ASSERT_EQ(reference, s.outL) << what;
                            ASSERT_EQ(referenceRight, s.outR) << what;
                            ASSERT_EQ(referenceEnvelopes, envelopes) << what;
                        }
                    }
                }
}

// Side-chain shelves that glide towards a new design and later settle must not make the output
// depend on where the host's blocks begin, in either kernel. The envelopes are compared as well
// (every 1000 frames), since they keep differences far below the output's resolution.
TEST(KestrelEngine, ShelfChangesMidStreamDoNotDependOnBlockSize) {
    for (float stereo : {1.0f, 0.0f}) {
        std::vector<float> reference;
        std::vector<double> referenceEnvelopes;
        for (int block : {512, 1, 64, 77, 1000}) {
            Kestrel k(host);
            k.setSampleRate(44100.0f);
            compress(k);
            k.setParameter(kStereo, stereo);
            Signal s = sine(60000, 150.0, 0.8);
            std::vector<double> envelopes;
            for (int done = 0; done < s.size();) {
                const int next = (done / 1000 + 1) * 1000;
                const int n = std::min(block, next - done);
                float* in[4] = {s.l.data() + done, s.r.data() + done, s.kl.data() + done, s.kr.data() + done};
                float* out[2] = {s.outL.data() + done, s.outR.data() + done};
                k.processReplacing(in, out, n);
                done += n;
                if (done % 1000 == 0) {
                    envelopes.push_back(k.envelope(0));
                    envelopes.push_back(k.envelope(1));
                }
                // New shelf designs at fixed frames, between whatever blocks the host uses.
                if (done == 3000) k.setParameter(kLowFreq, 0.8f);
                if (done == 20000) k.setParameter(kHighFreq, 0.2f);
            }
            if (reference.empty()) {
                reference = s.outL;
                referenceEnvelopes = envelopes;
            } else {
                ASSERT_EQ(reference, s.outL) << "block " << block << " stereo " << stereo;
                ASSERT_EQ(referenceEnvelopes, envelopes) << "block " << block << " stereo " << stereo;
            }
        }
    }
}

// After suspend and resume the engine starts afresh: with auto release (which reads the level
// filters) its envelope follows a new signal as a newly created engine's does.
TEST(KestrelEngine, ResumeStartsTheLevelFiltersAfresh) {
    auto setUp = [](Kestrel& k) {
        k.setSampleRate(44100.0f);
        compress(k);
        k.setParameter(kAutoRelease, 1.0f);
    };
    Kestrel used(host), fresh(host);
    setUp(used);
    setUp(fresh);
    Signal loud = sine(20000, 150.0, 0.9);
    run(used, loud, 512);
    used.suspend();
    used.resume();

    // A burst, then silence: the release after it is where the level filters act.
    Signal a = sine(30000, 150.0, 0.8);
    for (int t = 8000; t < a.size(); ++t) a.l[t] = a.r[t] = a.kl[t] = a.kr[t] = 0.0f;
    Signal b = a;
    for (int done = 0; done < a.size(); done += 100) {
        float* inA[4] = {a.l.data() + done, a.r.data() + done, a.kl.data() + done, a.kr.data() + done};
        float* outA[2] = {a.outL.data() + done, a.outR.data() + done};
        float* inB[4] = {b.l.data() + done, b.r.data() + done, b.kl.data() + done, b.kr.data() + done};
        float* outB[2] = {b.outL.data() + done, b.outR.data() + done};
        used.processReplacing(inA, outA, 100);
        fresh.processReplacing(inB, outB, 100);
        for (int c = 0; c < 2; ++c)
            ASSERT_NEAR(used.envelope(c), fresh.envelope(c), 1e-9 + 1e-7 * fresh.envelope(c)) << "frame " << done << " channel " << c;
    }
}

TEST(KestrelEngine, NoAllocationWhileProcessing) {
    Kestrel k(host);
    k.setSampleRate(96000.0f);
    compress(k);
    Signal s = sine(4096, 440.0, 0.9, 96000.0);
    allocations = 0;
    countAllocations = true;
    for (float stereo : {1.0f, 0.0f}) {
        k.setParameter(kStereo, stereo);
        for (float meters : {0.0f, 0.5f, 1.0f}) {
            k.setParameter(kMeters, meters);
            k.setParameter(kRms, meters);
            k.setParameter(kScMonit, meters > 0.7f ? 1.0f : 0.0f);
            k.setParameter(kPower, 1.0f);
            run(k, s, 512);
            k.setParameter(kPower, 0.0f);
            run(k, s, 333);
        }
    }
    countAllocations = false;
    EXPECT_EQ(allocations.load(), 0);
}

TEST(KestrelEngine, OverLatchNeedsTheFullCount) {
    Kestrel k(host);
    k.setSampleRate(44100.0f);
    k.setParameter(kPower, 0.0f);
    k.setParameter(kMeters, 0.0f);   // Pre
    k.setParameter(kOverIndic, 0.25f);  // 3 samples
    ASSERT_EQ(k.settings().meter.overCount, 3.0);
    for (int run_ : {2, 3}) {
        Signal s(2000);
        for (int t = 10; t < 10 + run_; ++t) s.l[t] = s.r[t] = 1.0f;
        run(k, s, 2000);
        EXPECT_EQ(k.meters().overFlag(0), run_ == 3 ? 1.0 : 0.0) << run_;
        EXPECT_EQ(k.meters().overCount(0), 0);
    }
}

TEST(KestrelEngine, GainReductionMeterWithoutMixReadsUnity) {
    Kestrel k(host);
    k.setSampleRate(44100.0f);
    compress(k);
    k.setParameter(kMix, 0.0f);
    k.setParameter(kMeters, 0.5f);
    k.setParameter(kPpmReturn, 0.0f);  // fast ballistics, so the meters settle within the signal
    k.setParameter(kVuIntegr, 0.0f);
    Signal s = sine(44100, 440.0, 0.9);
    run(k, s, 512);
    EXPECT_LT(k.lastGain(0), 0.5);
    EXPECT_NEAR(k.meters().ppm(0), 1.0, 1e-6);
    EXPECT_NEAR(k.meters().vu(0), 1.0, 1e-3);
}

TEST(KestrelEngine, DisplaysAndDeliberateQuirks) {
    Kestrel k(host);
    char text[64];
    auto display = [&](VstInt32 i) {
        k.getParameterDisplay(i, text);
        return std::string(text);
    };
    k.setParameter(kRatio, 1.0f);
    EXPECT_EQ(display(kRatio), "64.00 : 1");
    k.setParameter(kRatio, 0.049f);
    EXPECT_EQ(display(kRatio), "0.50 : 1");
    k.setParameter(kClassic, 1.0f);
    EXPECT_EQ(display(kClassic), "");
    k.setParameter(kSmooth, 0.0f);
    EXPECT_EQ(display(kSmooth), "Draft");
    k.setParameter(kOverIndic, 0.3f);
    EXPECT_FLOAT_EQ(k.getParameter(kOverIndic), 3.0f / 9.0f);
    EXPECT_EQ(display(kOverIndic), "4smps");
    k.getParameterName(kUnused, text);
    EXPECT_EQ(std::string(text), " - ");
    k.setParameter(kPower, 0.0f);  // common to every program
    for (int p = 0; p < kNumPresets; ++p) EXPECT_EQ(k.getPresets()[p].values[kPower], 0.0f);
    k.setParameter(kRatio, -3.0f);  // out-of-range host values are limited, never index outside the table
    EXPECT_EQ(k.settings().ratioIndex, 0);

    // A program sets the low shelves from its mode and then its frequency; resume replaces both.
    k.setSampleRate(44100.0f);
    k.setParameter(kLowScf, 1.0f);
    k.setParameter(kLowFreq, 1.0f);
    k.takeOverSettings();  // what the next block does first
    EXPECT_DOUBLE_EQ(k.lowShelf(0).frequency(), 280.0);
    EXPECT_DOUBLE_EQ(k.lowShelf(0).gainDb(), -9.0);
    k.setParameter(kHighScf, 0.0f);
    k.takeOverSettings();
    EXPECT_DOUBLE_EQ(k.highShelf(1).gainDb(), 12.0);
    k.suspend();
    k.resume();
    EXPECT_DOUBLE_EQ(k.lowShelf(0).frequency(), 150.0);
    EXPECT_DOUBLE_EQ(k.highShelf(1).gainDb(), 20.0);
}

class FailingKestrel : public Kestrel {
public:
    FailingKestrel() : Kestrel(host, SimulateFailure{}) {}
};

TEST(KestrelEngine, FailedConstructionTellsTheUserAndStaysSilent) {
    std::vector<std::string> shown;
    orv::platform::setMessageBoxHandler([&](const std::string& text, const std::string& caption) {
        shown.push_back(caption + ": " + text);
    });
    {
        FailingKestrel k;
        EXPECT_EQ(k.getAeffect()->uniqueID, fourCharCode('-', '-', '-', '-'));
        EXPECT_EQ(k.getAeffect()->numInputs, 1);
        EXPECT_EQ(k.getAeffect()->numOutputs, 1);
        k.resume();
        float in[8] = {1, 1, 1, 1, 1, 1, 1, 1}, out[8] = {5, 5, 5, 5, 5, 5, 5, 5};
        float* ins[4] = {in, in, in, in};
        float* outs[2] = {out, out};
        k.processReplacing(ins, outs, 8);
        for (float x : out) EXPECT_EQ(x, 0.0f);
    }
    orv::platform::setMessageBoxHandler({});
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], "Cannot create Orv Kestrel: Not enough memory");
}

}  // namespace

namespace {
// Gain of a biquad design at `freq`.
double responseAt(const orv::dsp::BiquadCoefficients& c, double freq, double rate) {
    const double w = 2 * M_PI * freq / rate;
    const double nr = c.b0 + c.b1 * std::cos(w) + c.b2 * std::cos(2 * w), ni = -c.b1 * std::sin(w) - c.b2 * std::sin(2 * w);
    const double dr = 1 + c.a1 * std::cos(w) + c.a2 * std::cos(2 * w), di = -c.a1 * std::sin(w) - c.a2 * std::sin(2 * w);
    return std::sqrt((nr * nr + ni * ni) / (dr * dr + di * di));
}

// Peak of each output over the last `n` frames after running `frames` frames of a 60 Hz key
// (left 0.1, right 0.05).
void monitorPeaks(Kestrel& k, int frames, int n, double& left, double& right) {
    Signal s(frames);
    for (int t = 0; t < frames; ++t) {
        s.kl[t] = static_cast<float>(0.1 * std::sin(2 * M_PI * 60.0 * t / 44100.0));
        s.kr[t] = 0.5f * s.kl[t];
        s.l[t] = s.r[t] = 0.3f;
    }
    run(k, s, 256);
    left = right = 0;
    for (int t = frames - n; t < frames; ++t) {
        left = std::max(left, std::fabs(static_cast<double>(s.outL[t])));
        right = std::max(right, std::fabs(static_cast<double>(s.outR[t])));
    }
}
}  // namespace

// With the side-chain monitor on, each output is its own key through its own shelves: both
// channels follow the shelf designs, also after a stretch of Mono (which leaves the right
// shelves idle) and a design change made meanwhile.
TEST(KestrelEngine, EachChannelsKeyPassesItsOwnShelves) {
    Kestrel k(host);
    k.setSampleRate(44100.0f);
    k.setParameter(kScExt, 1.0f);
    k.setParameter(kScMonit, 1.0f);
    k.setParameter(kHighScf, 0.5f);  // flat
    k.setParameter(kLowScf, 0.0f);   // +9 dB below 110 Hz
    auto check = [&](const char* when) {
        double left, right;
        monitorPeaks(k, 60000, 4000, left, right);
        const double gain = k.settings().outputGain * responseAt(k.lowShelf(0).targets(), 60.0, 44100.0) *
                            responseAt(k.highShelf(0).targets(), 60.0, 44100.0);
        EXPECT_NEAR(left, 0.1 * gain, 0.002 * gain) << when;
        EXPECT_NEAR(right, 0.05 * gain, 0.001 * gain) << when;
    };
    check("stereo");
    k.setParameter(kStereo, 0.0f);
    double left, right;
    monitorPeaks(k, 10000, 4000, left, right);
    k.setParameter(kLowFreq, 0.9f);  // a new design while the right shelves are idle
    monitorPeaks(k, 10000, 4000, left, right);
    k.setParameter(kStereo, 1.0f);
    check("after mono");
}


// Borealis parameter mapping, displays and the preset contract, on the engine linked directly.
#include "borealis/borealis.h"
#include "borealis/format_fixed.h"
#include "gui/meter_settings.h"
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

std::string fixed(double v, int decimals) {
    char text[16];
    formatFixed(v, decimals, text);
    return text;
}

class BorealisParams : public ::testing::Test {
protected:
    std::string display(int index) {
        char text[64];
        fx.getParameterDisplay(index, text);
        return text;
    }
    std::string displayAt(int index, float x) {
        fx.setParameter(index, x);
        return display(index);
    }
    Borealis fx{quietHost};
};

TEST(FormatFixed, CutsRatherThanRounds) {
    EXPECT_EQ(fixed(-0.0012, 2), "-0.00");
    EXPECT_EQ(fixed(12.04, 2), "12.04");
    EXPECT_EQ(fixed(25.0, 0), "25");
    EXPECT_EQ(fixed(0.8399999, 2), "0.83");
    EXPECT_EQ(fixed(0.01, 2), "0.00");
    EXPECT_EQ(fixed(-30.103, 2), "-30.10");
    EXPECT_EQ(fixed(1234567.0, 1), "1234567");
    EXPECT_EQ(fixed(0.0, 1), "0.0");
}

TEST(FormatFixed, OutOfRangeAndNonNumbersGiveEmptyText) {
    EXPECT_EQ(fixed(123456789.0, 2), "");
    EXPECT_EQ(fixed(-12345678.0, 2), "");
    EXPECT_EQ(fixed(std::nan(""), 2), "");
    EXPECT_EQ(fixed(1e300, 2), "");
}

TEST_F(BorealisParams, SwitchesTurnOnAtOneHalf) {
    for (int index : {kFat, kSoft, kRms, kLimiter, kAutoAttack, kAutoRelease, kClassic, kSmooth}) {
        EXPECT_EQ(displayAt(index, 0.4999f), " Off ") << index;
        EXPECT_EQ(displayAt(index, 0.5f), " On ") << index;
    }
    EXPECT_EQ(displayAt(kAutoMakeup, 0.5f), " AutoMakeup ");
    EXPECT_EQ(displayAt(kHighScf, 1.0f), " HighBoost ");
    EXPECT_EQ(displayAt(kHighScf, 0.0f), " HighCut ");
    EXPECT_EQ(displayAt(kScExt, 1.0f), "S.C.Ext");
    EXPECT_EQ(displayAt(kScMonit, 0.0f), " Off     ");
}

TEST_F(BorealisParams, RatioTableDisplaysEveryStep) {
    const char* expected[21] = {"0.50 : 1", "0.59 : 1", "0.70 : 1", "0.77 : 1", "0.83 : 1", "0.91 : 1", "1.00 : 1",
                                "1.09 : 1", "1.20 : 1", "1.29 : 1", "1.39 : 1", "1.68 : 1", "2.00 : 1", "2.37 : 1",
                                "2.79 : 1", "3.36 : 1", "4.00 : 1", "5.59 : 1", "8.00 : 1", "12.00 : 1", "64.00 : 1"};
    for (int i = 0; i < 21; ++i) EXPECT_EQ(displayAt(kRatio, std::min(1.0f, i / 20.0f + 0.001f)), expected[i]) << i;
    EXPECT_EQ(displayAt(kRatio, 0.95f), "12.00 : 1");
    EXPECT_EQ(displayAt(kRatio, 0.3f), "1.00 : 1");
    EXPECT_EQ(fx.settings().ratioIndex, 6);
}

TEST_F(BorealisParams, ContinuousDisplays) {
    EXPECT_EQ(displayAt(kThreshold, 0.0f), "6.02dB");
    EXPECT_EQ(displayAt(kThreshold, 1.0f), "-30.10dB");
    EXPECT_EQ(displayAt(kAttack, 0.0f), "0.00ms");
    EXPECT_EQ(displayAt(kAttack, 0.5f), "3.16ms");
    EXPECT_EQ(displayAt(kRelease, 0.5f), "1.0s");
    EXPECT_EQ(displayAt(kMakeup, 0.0f), "-12.04dB");
    EXPECT_EQ(displayAt(kMakeup, 1.0f), "24.08dB");
    EXPECT_EQ(displayAt(kHigh, 1.0f), "16.00kHz");
    EXPECT_EQ(displayAt(kLow, 0.0f), "25Hz");
    EXPECT_EQ(displayAt(kLink, 0.5f), "50%");
    EXPECT_EQ(displayAt(kOutput, 0.0f), "-12.04dB");
    EXPECT_EQ(displayAt(kTilt, 0.5f), "C");
    EXPECT_EQ(displayAt(kTilt, 0.25f), "25L");
    EXPECT_EQ(displayAt(kTilt, 0.75f), "25R");
    EXPECT_EQ(displayAt(kTilt, 0.495f), "C");
    EXPECT_EQ(displayAt(kMeters, 0.33f), " GainRed ");
    EXPECT_EQ(displayAt(kMeters, 0.6599f), " GainRed ");
    EXPECT_EQ(displayAt(kMeters, 0.66f), " Post ");
    EXPECT_EQ(displayAt(kMeters, 0.1f), " Pre ");
}

TEST_F(BorealisParams, OverIndicKeepsItsQuantisedValue) {
    EXPECT_EQ(displayAt(kOverIndic, 0.25f), "3smps");
    EXPECT_NEAR(fx.getParameter(kOverIndic), 0.2222222f, 1e-6);
    EXPECT_EQ(displayAt(kOverIndic, 1.0f), "10smps");
}

TEST_F(BorealisParams, TiltDirectionFollowsTheRatio) {
    fx.setParameter(kTilt, 1.0f);
    fx.setParameter(kRatio, 0.0f);  // expanding
    EXPECT_NEAR(fx.settings().tiltLeft, 0.5, 1e-12);
    EXPECT_NEAR(fx.settings().tiltRight, 2.0, 1e-12);
    fx.setParameter(kRatio, 1.0f);  // compressing: the ratio change re-applies Tilt
    EXPECT_NEAR(fx.settings().tiltLeft, 2.0, 1e-12);
    EXPECT_NEAR(fx.settings().tiltRight, 0.5, 1e-12);
}

TEST_F(BorealisParams, UnitValuesForTheReadouts) {
    fx.setParameter(kThreshold, 0.0f);
    EXPECT_FLOAT_EQ(fx.getUnitValue(kThreshold), 6.0f);
    fx.setParameter(kOutput, 1.0f);
    EXPECT_FLOAT_EQ(fx.getUnitValue(kOutput), 12.0f);
    EXPECT_FLOAT_EQ(fx.getUnitValue(kPower), 0.0f);
    EXPECT_FLOAT_EQ(fx.getUnitValue(99), 0.0f);
    EXPECT_NEAR(fx.getLatencyMs(), 1660.0f * 1000.0f / 44100.0f, 1e-3);
}

TEST_F(BorealisParams, PowerIsGlobalAcrossPresetsOtherValuesAreNot) {
    fx.selectPreset(3);
    fx.setParameter(kPower, 0.0f);
    fx.setParameter(kThreshold, 0.9f);
    const PresetRecord* presets = fx.getPresets();
    for (int k = 0; k < kNumPresets; ++k) EXPECT_EQ(presets[k].values[kPower], 0.0f) << k;
    EXPECT_FLOAT_EQ(presets[3].values[kThreshold], 0.9f);
    EXPECT_FLOAT_EQ(presets[2].values[kThreshold], 0.5f);
    fx.selectPreset(5);
    EXPECT_EQ(fx.getParameter(kPower), 0.0f) << "Power did not come back on with another preset";
}

TEST_F(BorealisParams, SelectPresetReplaysWithoutWritingBack) {
    fx.selectPreset(2);
    EXPECT_FLOAT_EQ(fx.getParameter(kPower), 1.0f);
    EXPECT_FLOAT_EQ(fx.getParameter(kOutput), 0.58f);
    EXPECT_EQ(fx.getCurrentPreset(), 2);
    fx.selectPreset(16);  // ignored
    fx.selectPreset(-1);
    EXPECT_EQ(fx.getCurrentPreset(), 2);
}

TEST_F(BorealisParams, InternalIndicesAreNotStoredInPresets) {
    PresetRecord before = fx.getPresets()[0];
    fx.setParameter(kScMonit, 1.0f);
    fx.setParameter(kVuIntegr, 0.9f);
    fx.setParameter(500, 1.0f);
    fx.setParameter(-2, 1.0f);
    EXPECT_EQ(std::memcmp(&before, &fx.getPresets()[0], sizeof before), 0);
    EXPECT_FLOAT_EQ(fx.getParameter(kScMonit), 1.0f);
}

class FailingBorealis : public Borealis {
public:
    FailingBorealis() : Borealis(quietHost, SimulateFailure{}) {}
};

TEST(BorealisConstruction, FailureShowsTheMessageAndKeepsAHarmlessObject) {
    std::vector<std::string> messages;
    orv::platform::setMessageBoxHandler(
        [&](const std::string& text, const std::string& caption) { messages.push_back(caption + ": " + text); });
    {
        FailingBorealis fx;
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], "Cannot create Orv Borealis: Not enough memory");
        EXPECT_EQ(fx.getAeffect()->numInputs, 1);
        EXPECT_EQ(fx.getAeffect()->numOutputs, 1);
        EXPECT_EQ(fx.getAeffect()->uniqueID, 0x2D2D2D2D);
        fx.suspend();
        EXPECT_EQ(messages.size(), 2u) << "every suspend repeats the message";
        fx.resume();
        float buf[4][16] = {};
        for (float& v : buf[0]) v = 0.5f;
        float* in[4] = {buf[0], buf[1], buf[2], buf[3]};
        float out0[16], out1[16];
        for (float& v : out0) v = 7.0f;
        float* out[2] = {out0, out1};
        fx.processReplacing(in, out, 16);
        for (float v : out0) EXPECT_EQ(v, 0.0f);
    }
    orv::platform::setMessageBoxHandler(nullptr);
}

TEST(BorealisConstruction, SampleRateRules) {
    Borealis fx(quietHost);
    fx.setSampleRate(16000.0f);
    fx.suspend();
    EXPECT_EQ(fx.getSampleRate(), 22050.0f);
    fx.setSampleRate(16000.0f);
    fx.resume();
    EXPECT_EQ(fx.getSampleRate(), 44100.0f);
    fx.suspend();
    fx.setSampleRate(96000.0f);
    fx.resume();
    EXPECT_EQ(fx.getSampleRate(), 96000.0f);
    fx.suspend();
    fx.setSampleRate(384000.0f);
    fx.resume();
    EXPECT_EQ(fx.getSampleRate(), 44100.0f);
    EXPECT_EQ(fx.getAeffect()->initialDelay, 1660);
}

}  // namespace

namespace {

// The meter settings live in the user's store: read by the constructor, written by the destructor.
TEST(BorealisMeterSettings, SurviveANewInstanceAndBadValuesFallBack) {
    char pattern[] = "/tmp/orv-meters-XXXXXX";
    const std::string root = mkdtemp(pattern);
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string previous = old ? old : "";
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    {
        Borealis fresh(quietHost);
        EXPECT_FLOAT_EQ(fresh.getParameter(kVuRefer), 0.41f) << "missing value gives the default";
        EXPECT_NEAR(fresh.getParameter(kOverIndic), 2.0f / 9.0f, 1e-6);
        fresh.setParameter(kVuIntegr, 0.8f);
        fresh.setParameter(kOverIndic, 0.5f);
    }
    {
        Borealis second(quietHost);
        EXPECT_FLOAT_EQ(second.getParameter(kVuIntegr), 0.8f);
        EXPECT_NEAR(second.getParameter(kOverIndic), 5.0f / 9.0f, 1e-6);
    }
    writeMeterSetting(kPpmReturn, 7.5f);
    writeMeterSetting(kVuIntegr, -1.0f);
    {
        Borealis third(quietHost);
        EXPECT_FLOAT_EQ(third.getParameter(kPpmReturn), 0.72365f);
        EXPECT_FLOAT_EQ(third.getParameter(kVuIntegr), 0.5f);
    }
    setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
    std::system(("rm -rf " + root).c_str());
}

}  // namespace

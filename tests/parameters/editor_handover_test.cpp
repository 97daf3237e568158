// What crosses from the setter's thread to the editor and back without a lock: the parameter
// feed the editor empties in its idle pass, the meter values it reads and the requests it makes
// of the meters, and the engines' answers to getParameter and the displays while another thread
// sets parameters.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "borealis/borealis.h"
#include "borealis/meter_channels.h"
#include "kestrel/kestrel.h"
#include "presets/editor_value_feed.h"

namespace {

VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

TEST(EditorValueFeed, HandsOverTheLatestValueOfEachChangedIndexOnce) {
    EditorValueFeed feed;
    EditorValueFeed::Taken t;
    EXPECT_FALSE(feed.take(t));

    feed.publish(5, 0.25f);
    feed.publish(5, 0.75f);
    feed.publish(40, 1.0f);
    feed.publish(-1, 0.5f);  // outside the slots: ignored
    feed.publish(64, 0.5f);
    ASSERT_TRUE(feed.take(t));
    EXPECT_EQ(t.changed, (std::uint64_t{1} << 5) | (std::uint64_t{1} << 40));
    EXPECT_FLOAT_EQ(t.values[5], 0.75f);
    EXPECT_FLOAT_EQ(t.values[40], 1.0f);
    EXPECT_EQ(t.pageSwitches, 0u);
    EXPECT_FALSE(feed.take(t)) << "taken once";

    feed.publish(3, 0.5f);
    feed.discard();
    EXPECT_FALSE(feed.take(t)) << "an opening editor drops what it reads itself";
}

TEST(EditorValueFeed, CountsPageSwitchesInsteadOfKeepingTheirValues) {
    EditorValueFeed feed;
    EditorValueFeed::Taken t;
    feed.publish(EditorValueFeed::kMainPageSwitch, 1.0f);
    feed.publish(EditorValueFeed::kSettingsPageSwitch, 1.0f);
    feed.publish(EditorValueFeed::kMainPageSwitch, 0.0f);
    ASSERT_TRUE(feed.take(t));
    EXPECT_EQ(t.pageSwitches, 3u);
    EXPECT_EQ(t.changed, 0u);
}

TEST(EditorValueFeed, AReaderRacingAWriterEndsWithTheWritersLastValue) {
    EditorValueFeed feed;
    constexpr int kRounds = 200000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int k = 1; k <= kRounds; ++k) feed.publish(k % 3, static_cast<float>(k));
        done.store(true);
    });
    float last[3] = {0, 0, 0};
    EditorValueFeed::Taken t;
    auto drain = [&] {
        if (!feed.take(t)) return;
        for (int i = 0; i < 3; ++i)
            if (t.changed & (std::uint64_t{1} << i)) {
                EXPECT_GE(t.values[i], last[i]) << "values never go back in time";
                last[i] = t.values[i];
            }
    };
    while (!done.load()) drain();
    writer.join();
    drain();
    EXPECT_FLOAT_EQ(last[kRounds % 3], static_cast<float>(kRounds));
    EXPECT_FLOAT_EQ(last[(kRounds - 1) % 3], static_cast<float>(kRounds - 1));
    EXPECT_FLOAT_EQ(last[(kRounds - 2) % 3], static_cast<float>(kRounds - 2));
}

// The meter base class with a way to move its working values as a block would.
struct TestMeters : orv::MeterChannels {
    void setWorking(int c, double level, int age) {
        ch_[c].vu = ch_[c].ppm = ch_[c].vuHold = ch_[c].ppmHold = level;
        ch_[c].vuHoldAge = ch_[c].ppmHoldAge = age;
        ch_[c].overFlag = 1.0;
    }
    void setSource(orv::MeterSource s) { source_ = s; }
};

TEST(EditorMeterRequests, TheEditorSeesValuesOnlyAsPublishedAfterABlock) {
    TestMeters m;
    m.setSource(orv::MeterSource::Pre);
    m.setWorking(0, 0.5, 100);
    EXPECT_EQ(m.shown(0).vu, 0.0) << "nothing published yet";
    m.publish();
    const auto s = m.shown(0);
    EXPECT_EQ(s.vu, 0.5);
    EXPECT_EQ(s.ppmHold, 0.5);
    EXPECT_EQ(s.ppmHoldAge, 100);
    EXPECT_EQ(s.overFlag, 1.0);
}

TEST(EditorMeterRequests, AReleasedHoldShowsAtOnceAndReachesTheProcessingAtItsNextBlock) {
    for (auto source : {orv::MeterSource::Pre, orv::MeterSource::GainRed}) {
        const double rest = source == orv::MeterSource::GainRed ? 1.0 : 0.0;
        TestMeters m;
        m.setSource(source);
        m.setWorking(1, 0.5, 90000);
        m.publish();
        m.requestPpmHoldRelease(1);
        EXPECT_EQ(m.shown(1).ppmHold, rest);
        EXPECT_EQ(m.shown(1).ppmHoldAge, 0);
        EXPECT_EQ(m.shown(1).vuHold, 0.5) << "only the hold asked for";
        EXPECT_EQ(m.ppmHold(1), 0.5) << "the processing's own value waits for its block";

        // A block that was running when the request came publishes nothing over it.
        m.publish();
        EXPECT_EQ(m.shown(1).ppmHold, rest);

        m.applyEditorRequests();
        EXPECT_EQ(m.ppmHold(1), rest);
        EXPECT_EQ(m.ppmHoldAge(1), 0);
        EXPECT_EQ(m.vuHold(1), 0.5);
        m.setWorking(0, 0.25, 7);  // the block goes on
        m.publish();
        EXPECT_EQ(m.shown(0).vu, 0.25) << "published again once the request was carried out";
    }
}

TEST(EditorMeterRequests, AClickClearsFollowersAndOversButKeepsTheHolds) {
    TestMeters m;
    m.setWorking(0, 0.5, 10);
    m.setWorking(1, 0.5, 10);
    m.publish();
    m.requestClearFollowers();
    m.requestVuHoldRelease(0);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(m.shown(c).vu, 0.0);
        EXPECT_EQ(m.shown(c).ppm, 0.0);
        EXPECT_EQ(m.shown(c).ppmHold, 0.5);
    }
    m.applyEditorRequests();
    EXPECT_EQ(m.vu(0), 0.0);
    EXPECT_EQ(m.ppm(1), 0.0);
    EXPECT_EQ(m.ppmHold(1), 0.5);
    EXPECT_EQ(m.vuHold(0), 1.0) << "GainRed rest after the release asked for with the click";
    EXPECT_EQ(m.vuHold(1), 0.5);

    // Suspend clears everything, what is shown and what is pending.
    m.requestVuHoldRelease(1);
    m.clear();
    m.applyEditorRequests();
    EXPECT_EQ(m.shown(1).vuHold, 0.0);
    EXPECT_EQ(m.vuHold(1), 0.0);
}

// getParameter, getUnitValue and getParameterDisplay answer from the value last set for the
// index, so they give what the engine's own settings gave before (and may run while another
// thread sets parameters).
template <class Fx>
void expectAnswersFollowTheLastValue(Fx& fx, std::initializer_list<int> indices) {
    for (int index : indices) {
        for (float v : {0.0f, 0.13f, 0.5f, 0.77f, 1.0f}) {
            fx.setParameter(index, v);
            char text[64] = {};
            fx.getParameterDisplay(index, text);
            EXPECT_GT(std::strlen(text), 0u) << index;
            // The value as kept (OverIndic is quantised) gives the same answers again.
            const float kept = fx.getParameter(index);
            const float unit = fx.getUnitValue(index);
            fx.setParameter(index, kept);
            char again[64] = {};
            fx.getParameterDisplay(index, again);
            EXPECT_STREQ(text, again) << index << " at " << v;
            EXPECT_FLOAT_EQ(fx.getUnitValue(index), unit) << index << " at " << v;
        }
    }
}

TEST(EngineAnswers, BorealisDisplaysAndUnitsComeFromTheValueOfTheirIndex) {
    Borealis fx(quietHost);
    fx.setParameter(kRatio, 0.96f);
    EXPECT_FLOAT_EQ(fx.getUnitValue(kRatio), 12.0f);
    char text[64] = {};
    fx.getParameterDisplay(kRatio, text);
    EXPECT_STREQ(text, "12.00 : 1");
    fx.setParameter(kOverIndic, 0.3f);  // quantised to 3/9
    EXPECT_FLOAT_EQ(fx.getParameter(kOverIndic), static_cast<float>(3.0 / 9.0));
    EXPECT_FLOAT_EQ(fx.getUnitValue(kOverIndic), 4.0f);
    EXPECT_FLOAT_EQ(fx.getUnitValue(kVuIntegr), static_cast<float>(fx.settings().vuIntegrationMs));
    expectAnswersFollowTheLastValue(fx, {kFat, kThreshold, kRatio, kRelease, kHigh, kTilt, kMeters, kVuRefer,
                                         kPpmIntegr, kPpmReturn, kOverIndic});
}

TEST(EngineAnswers, KestrelDisplaysAndUnitsComeFromTheValueOfTheirIndex) {
    Kestrel fx(quietHost);
    fx.setParameter(kestrel::kLowScf, 1.0f);
    char text[64] = {};
    fx.getParameterDisplay(kestrel::kLowScf, text);
    EXPECT_STREQ(text, "LoBoost");
    fx.setParameter(kestrel::kPpmReturn, 0.5f);
    EXPECT_FLOAT_EQ(fx.getUnitValue(kestrel::kPpmReturn), static_cast<float>(fx.settings().meter.ppmReturnMs));
    expectAnswersFollowTheLastValue(fx, {kestrel::kThreshold, kestrel::kRatio, kestrel::kHighScf, kestrel::kMakeup,
                                         kestrel::kVuIntegr, kestrel::kOverIndic});
}

}  // namespace

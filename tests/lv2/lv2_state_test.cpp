// The LV2 state is the plug-in's bank chunk: a session saved and reopened sounds the same and
// keeps every preset and its name; a state the plug-in cannot take changes nothing.
#include "tests/lv2/plugin_cases.h"

#include <lv2/atom/atom.h>

using namespace orvtest;
using orv::lv2::kFirstParameterPort;

namespace {

constexpr std::uint32_t kFrames = 16000;

class Lv2State : public testing::TestWithParam<PluginCase> {
protected:
    const orv::lv2::PluginDescription& ports() { return GetParam().ports(); }
    void setSomePorts(Lv2Instance& lv2) {
        // A setting well away from the defaults, in the middle of each port's range.
        for (int i = 1; i < ports().numPorts; ++i) {
            const orv::lv2::ParameterPort& p = ports().ports[i];
            const float mid = 0.5f * (orv::lv2::unitMinimum(p) + orv::lv2::unitMaximum(p));
            lv2.control(kFirstParameterPort + i) = p.kind == orv::lv2::PortKind::Linear ||
                                                           p.kind == orv::lv2::PortKind::Power
                                                       ? 0.3f * orv::lv2::unitMinimum(p) + 0.7f * orv::lv2::unitMaximum(p)
                                                       : std::round(mid);
        }
    }
    std::vector<float> render(Lv2Instance& lv2) {
        std::vector<float> in[4], out[2];
        testSignal(kFrames, 11, in);
        lv2.process(in, out, kMixedBlocks);
        out[0].insert(out[0].end(), out[1].begin(), out[1].end());
        return out[0];
    }
    LilvState* throughText(LilvState* state, UridMap& urids) {
        // As a session file holds it: written out as Turtle and read back.
        char* text = lilv_state_to_string(lv2World(), &urids.mapFeatureData, &urids.unmapFeatureData, state,
                                          "urn:orv-test:session", nullptr);
        LilvState* back = lilv_state_new_from_string(lv2World(), &urids.mapFeatureData, text);
        lilv_free(text);
        lilv_state_free(state);
        return back;
    }
};

TEST_P(Lv2State, ASavedSessionReopensWithTheSameSound) {
    UridMap urids;
    Lv2Instance original(GetParam().uri, 48000);
    ASSERT_TRUE(original.ok());
    setSomePorts(original);
    render(original);
    LilvState* state = throughText(original.saveState(), urids);
    ASSERT_NE(state, nullptr);

    // Reopened as hosts reopen a session: the state restored before the instance is activated.
    Lv2Instance reopened(GetParam().uri, 48000, false);
    reopened.restoreState(state);
    lilv_state_free(state);
    reopened.activate();
    for (int i = 0; i < ports().numPorts; ++i)
        EXPECT_EQ(reopened.control(kFirstParameterPort + i), original.control(kFirstParameterPort + i))
            << ports().ports[i].symbol;
    EXPECT_EQ(reopened.savedChunk(), original.savedChunk());

    // It sounds as the VST build does with the same bank chunk.
    VstReference vst(GetParam(), 48000, false);
    ASSERT_TRUE(vst.setChunk(original.savedChunk()));
    vst.resume();
    std::vector<float> in[4], out[2];
    testSignal(kFrames, 11, in);
    vst.process(in, out, kMixedBlocks, true);
    out[0].insert(out[0].end(), out[1].begin(), out[1].end());
    EXPECT_EQ(largestDifference(render(reopened), out[0]), 0.0);
}

TEST_P(Lv2State, TheWholeBankAndItsNamesTravelWithTheState) {
    UridMap urids;
    Lv2Instance lv2(GetParam().uri, 48000);
    ASSERT_TRUE(lv2.ok());
    std::vector<unsigned char> chunk = lv2.savedChunk();
    ASSERT_EQ(chunk.size(), static_cast<std::size_t>(kBankChunkSize));
    // A user's bank: preset 5 renamed and changed, preset 9 current.
    PresetRecord r;
    std::uint8_t* record5 = chunk.data() + kBankChunkHeaderSize + 5 * sizeof(PresetRecord);
    std::memcpy(&r, record5, sizeof r);
    setPresetName(r, "Renamed by the user");
    r.values[5] = 0.75f;
    std::memcpy(record5, &r, sizeof r);
    chunk[12] = 9;
    ASSERT_EQ(lv2.restoreChunk(chunk, UridMap::id(LV2_ATOM__Chunk)), LV2_STATE_SUCCESS);

    LilvState* state = throughText(lv2.saveState(), urids);
    Lv2Instance reopened(GetParam().uri, 48000);
    reopened.restoreState(state);
    lilv_state_free(state);
    const std::vector<unsigned char> back = reopened.savedChunk();
    ASSERT_EQ(back.size(), chunk.size());
    EXPECT_EQ(back, lv2.savedChunk());
    EXPECT_EQ(back[12], 9);
    std::memcpy(&r, back.data() + kBankChunkHeaderSize + 5 * sizeof(PresetRecord), sizeof r);
    EXPECT_EQ(std::string(r.name, strnlen(r.name, kPresetNameLength)), "Renamed by the user");
    EXPECT_EQ(r.values[5], 0.75f);
}

TEST_P(Lv2State, AStateThePluginCannotTakeChangesNothing) {
    Lv2Instance lv2(GetParam().uri, 48000);
    ASSERT_TRUE(lv2.ok());
    setSomePorts(lv2);
    lv2.runSilence(64);
    const std::vector<unsigned char> before = lv2.savedChunk();
    std::vector<unsigned char> wrongType = before;
    EXPECT_EQ(lv2.restoreChunk(wrongType, UridMap::id(LV2_ATOM__String)), LV2_STATE_ERR_BAD_TYPE);
    std::vector<unsigned char> cut(before.begin(), before.begin() + 100);
    EXPECT_NE(lv2.restoreChunk(cut, UridMap::id(LV2_ATOM__Chunk)), LV2_STATE_SUCCESS);
    std::vector<unsigned char> noise(before.size());
    std::mt19937 random(3);
    for (auto& b : noise) b = static_cast<unsigned char>(random());
    lv2.restoreChunk(noise, UridMap::id(LV2_ATOM__Chunk));
    EXPECT_EQ(lv2.savedChunk(), before);
    // A state without the bank (a preset of port values only) leaves the bank alone.
    EXPECT_EQ(lv2.restoreChunk({}, UridMap::id(LV2_ATOM__Chunk)), LV2_STATE_SUCCESS);
    EXPECT_EQ(lv2.savedChunk(), before);
    std::vector<float> in[4], out[2];
    testSignal(4096, 2, in);
    lv2.process(in, out, {333});
    EXPECT_TRUE(allFinite(out[0]) && allFinite(out[1]));
}

INSTANTIATE_TEST_SUITE_P(BothPlugins, Lv2State, testing::Values(kBorealisCase, kKestrelCase), caseName);

}  // namespace

// Orv Borealis driven through its exported entry point and AEffect record.
#include "tests/host/plugin_fixture.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

class BorealisBinary : public ::testing::Test {
protected:
    void SetUp() override {
        hostLog() = HostLog();
        ASSERT_NE(plugin.library, nullptr) << dlerror();
        ASSERT_NE(plugin.entry, nullptr);
        ASSERT_NE(plugin.start(), nullptr);
    }
    LoadedPlugin plugin{ORV_BOREALIS_PATH};
};

TEST_F(BorealisBinary, ExportsEntryUnderBothNames) {
    EXPECT_EQ(plugin.symbol("main"), plugin.symbol("VSTPluginMain"));
    EXPECT_EQ(plugin.symbol("createEffectInstance"), nullptr) << "only the entry point is exported";
}

TEST_F(BorealisBinary, RecordCarriesIdentity) {
    AEffect* fx = plugin.fx;
    EXPECT_EQ(fx->magic, 0x56737450);
    EXPECT_EQ(fx->uniqueID, 0x4F72426F);
    EXPECT_EQ(fx->numPrograms, 1);
    EXPECT_EQ(fx->numParams, 34);
    EXPECT_EQ(fx->numInputs, 4);
    EXPECT_EQ(fx->numOutputs, 2);
    EXPECT_EQ(fx->initialDelay, 1660);
    EXPECT_EQ(fx->version, 1);
    EXPECT_FLOAT_EQ(fx->ioRatio, 1.0f);
    EXPECT_EQ(fx->flags & 0x1030, 0x1030);
    EXPECT_EQ(plugin.dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(plugin.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(plugin.dispatch(effGetVendorVersion), 1700);
    EXPECT_EQ(plugin.dispatch(effGetPlugCategory), kPlugCategMastering);
    EXPECT_EQ(plugin.text(effGetEffectName), "Orv Borealis");
    EXPECT_EQ(plugin.text(effGetProductString), "Orv Borealis - stereo mastering compressor");
    EXPECT_FALSE(plugin.text(effGetVendorString).empty());
    EXPECT_EQ(plugin.dispatch(effSetProcessPrecision, 0, kVstProcessPrecision64), 1);
    EXPECT_EQ(plugin.dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(plugin.dispatch(effSetTotalSampleToProcess, 0, 777), 777);
}

TEST_F(BorealisBinary, HostTooOldGetsNothing) {
    hostLog().versionAnswer = 0;
    EXPECT_EQ(plugin.entry(testHostCallback), nullptr);
}

TEST_F(BorealisBinary, CanDoAnswersNothing) {
    for (const char* s : {"receiveVstTimeInfo", "plugAsChannelInsert", "sendVstEvents", ""}) {
        char buf[64];
        std::strcpy(buf, s);
        EXPECT_EQ(plugin.dispatch(effCanDo, 0, 0, buf), 0) << s;
    }
    EXPECT_EQ(plugin.dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(BorealisBinary, PinsDescribeOnlyTheMainPair) {
    VstPinProperties p{};
    ASSERT_EQ(plugin.dispatch(effGetInputProperties, 0, 0, &p), 1);
    EXPECT_STREQ(p.label, "My 1 In");
    EXPECT_EQ(p.flags, 3);
    ASSERT_EQ(plugin.dispatch(effGetOutputProperties, 1, 0, &p), 1);
    EXPECT_STREQ(p.label, "My 2 Out");
    EXPECT_EQ(plugin.dispatch(effGetInputProperties, 2, 0, &p), 0);
    EXPECT_EQ(plugin.dispatch(effGetInputProperties, 3, 0, &p), 0);
    EXPECT_EQ(plugin.dispatch(effGetInputProperties, -1, 0, &p), 0);
    EXPECT_EQ(plugin.dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
}

TEST_F(BorealisBinary, SpeakerArrangementsFollowTheTable) {
    struct Case {
        int in, out;
        VstIntPtr result;
    } cases[] = {{1, 1, 1}, {1, 2, 1}, {2, 2, 1}, {4, 2, 1}, {2, 1, 0}, {3, 2, 0}, {0, 0, 0}, {-5, 99, 0}};
    for (const Case& c : cases) {
        VstSpeakerArrangement in{0, c.in}, out{0, c.out};
        EXPECT_EQ(plugin.dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), c.result)
            << c.in << " in, " << c.out << " out";
    }
    VstSpeakerArrangement in{0, 2};
    EXPECT_EQ(plugin.dispatch(effSetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), nullptr), 0);
    EXPECT_EQ(plugin.dispatch(effSetSpeakerArrangement, 0, 0, &in), 0);
    VstSpeakerArrangement* a = &in;
    VstSpeakerArrangement* b = &in;
    EXPECT_EQ(plugin.dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&a), &b), 0);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(b, nullptr);
}

TEST_F(BorealisBinary, ParametersShowNamesAndDisplays) {
    EXPECT_EQ(plugin.text(effGetParamName, 5), " Threshold ");
    EXPECT_EQ(plugin.text(effGetParamDisplay, 5), "-0.00dB");
    EXPECT_EQ(plugin.text(effGetParamName, 30), " - ");
    EXPECT_EQ(plugin.text(effGetParamDisplay, 30), "");
    EXPECT_EQ(plugin.text(effGetParamLabel, 5), "");
    EXPECT_EQ(plugin.text(effGetParamName, 1000), " - ");
    EXPECT_EQ(plugin.text(effGetParamDisplay, -3), "");
    // A host that passes no buffer gets nothing written and no crash.
    EXPECT_EQ(plugin.dispatch(effGetParamName, 0, 0, nullptr), 0);
    EXPECT_EQ(plugin.dispatch(effGetParamDisplay, 0, 0, nullptr), 0);

    plugin.fx->setParameter(plugin.fx, 6, 1.0f);
    EXPECT_EQ(plugin.text(effGetParamDisplay, 6), "64.00 : 1");
    EXPECT_FLOAT_EQ(plugin.fx->getParameter(plugin.fx, 6), 1.0f);
    EXPECT_EQ(plugin.fx->getParameter(plugin.fx, 34), 0.0f);
    EXPECT_EQ(plugin.fx->getParameter(plugin.fx, -1), 0.0f);
    EXPECT_EQ(plugin.dispatch(effCanBeAutomated, 12), 1);
}

TEST_F(BorealisBinary, ParameterPropertiesForSwitchesAndMeters) {
    VstParameterProperties p{};
    ASSERT_EQ(plugin.dispatch(effGetParameterProperties, 23, 0, &p), 1);
    EXPECT_EQ(p.flags, kVstParameterUsesFloatStep);
    EXPECT_FLOAT_EQ(p.stepFloat, 0.5f);
    EXPECT_STREQ(p.label, " Meters ");
    ASSERT_EQ(plugin.dispatch(effGetParameterProperties, 0, 0, &p), 1);
    EXPECT_EQ(p.flags, kVstParameterIsSwitch | kVstParameterUsesFloatStep);
    EXPECT_EQ(std::string(p.shortLabel, strnlen(p.shortLabel, 8)), " Power ");
    EXPECT_EQ(plugin.dispatch(effGetParameterProperties, 5, 0, &p), 0);
    EXPECT_EQ(plugin.dispatch(effGetParameterProperties, 35, 0, nullptr), 0);
}

TEST_F(BorealisBinary, ProgramsAreOneHostProgramOverSixteenPresets) {
    EXPECT_EQ(plugin.dispatch(effGetProgram), 0);
    plugin.dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(plugin.dispatch(effGetProgram), 0);
    EXPECT_EQ(plugin.text(effGetProgramName), "Default");
    char name[64] = {};
    ASSERT_EQ(plugin.dispatch(effGetProgramNameIndexed, 15, 0, name), 1);
    EXPECT_STREQ(name, "KickPump");
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 16, 0, name), 0);
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, -1, 0, name), 0);

    char longName[] = "A name that is much longer than twenty-four";
    plugin.dispatch(effSetProgramName, 0, 0, longName);
    EXPECT_EQ(plugin.text(effGetProgramName), "A name that is much long");
    EXPECT_EQ(plugin.dispatch(effSetProgramName, 0, 0, nullptr), 0);
}

TEST_F(BorealisBinary, AutomationIsStoredInTheCurrentPresetOnly) {
    plugin.fx->setParameter(plugin.fx, 5, 0.9f);
    void* data = nullptr;
    ASSERT_EQ(plugin.dispatch(effGetChunk, 0, 0, &data), 2592);
    float stored;
    std::memcpy(&stored, static_cast<unsigned char*>(data) + 32 + 24 + 5 * 4, 4);
    EXPECT_FLOAT_EQ(stored, 0.9f);
    std::memcpy(&stored, static_cast<unsigned char*>(data) + 32 + 160 + 24 + 5 * 4, 4);
    EXPECT_FLOAT_EQ(stored, 0.75f) << "preset 1 keeps its own threshold";
}

TEST_F(BorealisBinary, ChunkRoundTripRestoresNamesValuesAndCurrentPreset) {
    void* data = nullptr;
    ASSERT_EQ(plugin.dispatch(effGetChunk, 1, 0, &data), 2592);
    std::vector<unsigned char> chunk(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + 2592);
    EXPECT_EQ(chunk[3], 1) << "version word 0x01000000, little-endian";
    std::int32_t current = 13;
    std::memcpy(&chunk[12], &current, 4);
    std::memcpy(&chunk[32 + 13 * 160], "Renamed", 8);

    hostLog().updateDisplays = 0;
    ASSERT_EQ(plugin.dispatch(effSetChunk, 0, 2592, chunk.data()), 0);
    EXPECT_EQ(plugin.text(effGetProgramName), "Renamed");
    EXPECT_FLOAT_EQ(plugin.fx->getParameter(plugin.fx, 5), 0.8f) << "HeavyDrumKit threshold replayed";
    EXPECT_GE(hostLog().updateDisplays, 1);

    void* again = nullptr;
    ASSERT_EQ(plugin.dispatch(effGetChunk, 0, 0, &again), 2592);
    EXPECT_EQ(std::memcmp(again, chunk.data(), 2592), 0);
}

TEST_F(BorealisBinary, MalformedChunksAreRefusedAndChangeNothing) {
    void* data = nullptr;
    plugin.dispatch(effGetChunk, 0, 0, &data);
    std::vector<unsigned char> good(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + 2592);
    std::vector<unsigned char> before = good;

    EXPECT_EQ(plugin.dispatch(effSetChunk, 0, 2591, good.data()), -1);
    EXPECT_EQ(plugin.dispatch(effSetChunk, 0, 2593, good.data()), -1);
    EXPECT_EQ(plugin.dispatch(effSetChunk, 0, 2592, nullptr), -1);
    EXPECT_EQ(plugin.dispatch(effSetChunk, 0, -1, good.data()), -1);

    std::vector<unsigned char> foreign = good;
    std::memcpy(&foreign[4], "XXXX", 4);
    EXPECT_EQ(plugin.dispatch(effSetChunk, 0, 2592, foreign.data()), -1);
    std::vector<unsigned char> count = good;
    count[8] = 15;
    EXPECT_EQ(plugin.dispatch(effSetChunk, 0, 2592, count.data()), -1);
    std::vector<unsigned char> version = good;
    version[3] = 2;
    EXPECT_EQ(plugin.dispatch(effSetChunk, 0, 2592, version.data()), -1) << "another version is not loaded";

    plugin.dispatch(effGetChunk, 0, 0, &data);
    EXPECT_EQ(std::memcmp(data, before.data(), 2592), 0);
}

TEST_F(BorealisBinary, ByteReversedChunkLoadsLikeTheOriginal) {
    plugin.fx->setParameter(plugin.fx, 7, 0.123f);
    void* data = nullptr;
    plugin.dispatch(effGetChunk, 0, 0, &data);
    std::vector<unsigned char> native(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + 2592);
    std::vector<unsigned char> reversed = native;
    auto swap = [&](std::size_t at) { std::reverse(reversed.begin() + at, reversed.begin() + at + 4); };
    for (std::size_t at = 0; at < 32; at += 4) swap(at);
    for (int k = 0; k < 16; ++k)
        for (int i = 0; i < 34; ++i) swap(32 + k * 160 + 24 + 4 * i);

    plugin.fx->setParameter(plugin.fx, 7, 0.9f);
    ASSERT_EQ(plugin.dispatch(effSetChunk, 0, 2592, reversed.data()), 0);
    EXPECT_FLOAT_EQ(plugin.fx->getParameter(plugin.fx, 7), 0.123f);
    plugin.dispatch(effGetChunk, 0, 0, &data);
    EXPECT_EQ(std::memcmp(data, native.data(), 2592), 0);
}

TEST_F(BorealisBinary, ChunkWithCurrentPresetOutOfRangeReplacesButAppliesNothing) {
    void* data = nullptr;
    plugin.dispatch(effGetChunk, 0, 0, &data);
    std::vector<unsigned char> chunk(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + 2592);
    float threshold = 0.42f;
    std::memcpy(&chunk[32 + 24 + 5 * 4], &threshold, 4);
    for (std::int32_t bad : {16, -1}) {
        std::memcpy(&chunk[12], &bad, 4);
        ASSERT_EQ(plugin.dispatch(effSetChunk, 0, 2592, chunk.data()), 0);
        EXPECT_FLOAT_EQ(plugin.fx->getParameter(plugin.fx, 5), 0.1667f) << "engine untouched";
    }
    plugin.dispatch(effGetChunk, 0, 0, &data);
    float stored;
    std::memcpy(&stored, static_cast<unsigned char*>(data) + 32 + 24 + 5 * 4, 4);
    EXPECT_FLOAT_EQ(stored, 0.42f) << "store replaced";
}

TEST_F(BorealisBinary, ChunkValuesOutsideTheRangeCannotBreakTheEngine) {
    void* data = nullptr;
    plugin.dispatch(effGetChunk, 0, 0, &data);
    std::vector<unsigned char> chunk(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + 2592);
    const float garbage[] = {-7.0f, 1e30f, std::numeric_limits<float>::quiet_NaN()};
    for (float g : garbage) {
        for (int i = 0; i < 34; ++i) std::memcpy(&chunk[32 + 24 + 4 * i], &g, 4);
        ASSERT_EQ(plugin.dispatch(effSetChunk, 0, 2592, chunk.data()), 0);
        for (int i = 0; i < 41; ++i) {
            float v = plugin.fx->getParameter(plugin.fx, i);
            EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << "parameter " << i << " = " << v;
        }
        EXPECT_FALSE(plugin.text(effGetParamDisplay, 6).empty());
    }
}

TEST_F(BorealisBinary, EditorRequestsWithoutEditorAnswerZero) {
    ERect* rect = nullptr;
    if (!(plugin.fx->flags & effFlagsHasEditor)) {
        EXPECT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &rect), 0);
        EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, nullptr), 0);
        EXPECT_EQ(plugin.dispatch(effEditKeyDown, 'a', 0, nullptr, 0), 0);
    }
    EXPECT_EQ(plugin.dispatch(effEditGetRect, 0, 0, nullptr), 0);
}

TEST_F(BorealisBinary, CloseReturnsOneAndUnknownOpcodesAnswerZero) {
    EXPECT_EQ(plugin.dispatch(9999), 0);
    EXPECT_EQ(plugin.dispatch(-4), 0);
    EXPECT_EQ(plugin.dispatch(effOpen), 0);
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    plugin.dispatch(effSetBlockSize, 0, 256);
    plugin.dispatch(effMainsChanged, 0, 1);
    plugin.dispatch(effMainsChanged, 0, 0);
    AEffect* fx = plugin.fx;
    plugin.fx = nullptr;
    EXPECT_EQ(fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f), 1);
}

}  // namespace

namespace {

// Arbitrary bytes as a chunk: stamped with our identifier (either byte order) or not, of the
// right size or not. The plug-in must answer, never crash, and keep every value in range.
TEST_F(BorealisBinary, RandomChunksNeverBreakThePlugin) {
    std::uint32_t state = 12345;
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    std::vector<unsigned char> bytes(4096);
    for (int round = 0; round < 300; ++round) {
        for (auto& b : bytes) b = static_cast<unsigned char>(next());
        const int kind = round % 3;
        if (kind > 0) {  // stamped, in native or reversed order, with a believable header
            const unsigned char native[4] = {'o', 'B', 'r', 'O'};
            const unsigned char reversed[4] = {'O', 'r', 'B', 'o'};
            std::memcpy(&bytes[4], kind == 1 ? native : reversed, 4);
            if (next() % 2) {
                const std::int32_t version = kind == 1 ? 0x01000000 : 0x00000001;
                const std::int32_t count = kind == 1 ? 16 : 0x10000000;
                std::memcpy(&bytes[0], &version, 4);
                std::memcpy(&bytes[8], &count, 4);
            }
        }
        const VstIntPtr size = round % 10 == 0 ? static_cast<VstIntPtr>(next() % 4096) : 2592;
        const VstIntPtr answer = plugin.dispatch(effSetChunk, 0, size, bytes.data());
        EXPECT_TRUE(answer == 0 || answer == -1);
        for (int i = 0; i < 41; ++i) {
            const float v = plugin.fx->getParameter(plugin.fx, i);
            ASSERT_TRUE(v >= 0.0f && v <= 1.0f) << "round " << round << ", parameter " << i;
        }
        char name[64] = {};
        ASSERT_EQ(plugin.dispatch(effGetProgramNameIndexed, 7, 0, name), 1);
        void* data = nullptr;
        ASSERT_EQ(plugin.dispatch(effGetChunk, 0, 0, &data), 2592);
    }
}

}  // namespace

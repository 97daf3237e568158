// What orv-host starts a plug-in from and tells about it: the stored defaults kept by the
// editor's DEFAULT buttons (and --factory), preset and bank files saved in the editor, and the
// settings that differ from the preset.
#include "tests/tools/host_runner.h"

#include "platform/registry.h"
#include "presets/preset_file_record.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using orvtest::contains;
using orvtest::host;
using orvtest::HostRun;
using orvtest::tempPath;

const std::string kInfo = "info " ORV_BOREALIS_PATH " ";
constexpr std::int32_t kBorealisId = ('O' << 24) | ('r' << 16) | ('B' << 8) | 'o';
constexpr std::int32_t kKestrelId = ('O' << 24) | ('r' << 16) | ('K' << 8) | 'e';

// Factory preset k, under another name when one is given. The file records are packed, so
// their presets are only ever assigned whole, never bound to a reference.
PresetRecord factoryPreset(int k, const char* name = nullptr) {
    PresetRecord p;
    setPresetName(p, name ? name : kFactoryPresetNames[k]);
    for (int i = 0; i < kNumPresetParams; ++i) p.values[i] = kBorealisFactoryPresets[k][i];
    return p;
}

BankFileRecord factoryBank(std::int32_t id) {
    BankFileRecord bank;
    std::memset(&bank, 0, sizeof bank);
    bank.identifier = id;
    bank.type = kBankRecordType;
    for (int k = 0; k < kNumPresets; ++k) bank.presets[k] = factoryPreset(k);
    return bank;
}

std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A per-user store of its own for each test, as the editor's DEFAULT buttons fill it.
class OrvHostPresets : public ::testing::Test {
protected:
    void SetUp() override {
        root = tempPath(std::string("store-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::system(("rm -rf '" + root + "'").c_str());
        setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    }
    std::string root;
};

TEST_F(OrvHostPresets, StoredDefaultsAreSaidAndFactoryStartsFromTheFactoryBank) {
    EXPECT_FALSE(contains(host(kInfo).out, "stored defaults")) << "nothing stored, nothing said";
    BankFileRecord bank = factoryBank(kBorealisId);
    bank.presets[0] = factoryPreset(2, "My Loud Default");
    ASSERT_TRUE(orv::platform::registrySetBinary("SOFTWARE\\Orv-tonekraft\\Orv_Borealis", "DefaultBank", &bank, sizeof bank));
    const std::string stored = root + "/SOFTWARE/Orv-tonekraft/Orv_Borealis/DefaultBank";
    const std::string before = contentsOf(stored);
    ASSERT_FALSE(before.empty());

    HostRun r = host(kInfo);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "My Loud Default")) << "the plug-in starts from the stored bank";
    EXPECT_TRUE(contains(r.out, "stored defaults")) << r.out;
    EXPECT_TRUE(contains(r.out, "--factory")) << r.out;

    HostRun factory = host(kInfo + "--factory --preset Default");
    ASSERT_EQ(factory.status, 0) << factory.out;
    EXPECT_FALSE(contains(factory.out, "My Loud Default")) << factory.out;
    EXPECT_FALSE(contains(factory.out, "stored defaults")) << factory.out;
    EXPECT_TRUE(contains(factory.out, "   0 Default")) << factory.out;
    EXPECT_EQ(contentsOf(stored), before) << "the stored defaults are left as they are";
}

TEST_F(OrvHostPresets, PresetAndBankFilesSavedInTheEditorAreLoaded) {
    BankFileRecord bank = factoryBank(kBorealisId);
    bank.presets[5] = factoryPreset(5, "From The Bank File");
    const std::string orb = tempPath("mine.orb");
    ASSERT_TRUE(writeRecordFile(orb, &bank, sizeof bank));
    for (const std::string& option : {"--bank-file ", "--state "}) {
        HostRun r = host(kInfo + option + orb);
        ASSERT_EQ(r.status, 0) << option << r.out;
        EXPECT_TRUE(contains(r.out, "   5 From The Bank File")) << option << r.out;
    }

    PresetFileRecord preset;
    std::memset(&preset, 0, sizeof preset);
    preset.identifier = kBorealisId;
    preset.type = kPresetRecordType;
    preset.preset = factoryPreset(15, "From The Preset File");  // KickPump's values
    const std::string orv = tempPath("mine.ORV");
    ASSERT_TRUE(writeRecordFile(orv, &preset, sizeof preset));
    for (const std::string& option : {"--preset-file ", "--preset "}) {
        HostRun r = host(kInfo + "--json --preset 3 " + option + orv);
        ASSERT_EQ(r.status, 0) << option << r.out;
        EXPECT_TRUE(contains(r.out, "\"From The Preset File\"")) << option << r.out;
        EXPECT_TRUE(contains(r.out, "\"display\": \"-6.62dB\"")) << "KickPump's threshold\n" << r.out;
    }

    // Another plug-in's bank, a cut file and a missing one are refused with their reason.
    BankFileRecord other = factoryBank(kKestrelId);
    const std::string kestrel = tempPath("kestrel.orb"), cut = tempPath("cut.orv");
    ASSERT_TRUE(writeRecordFile(kestrel, &other, sizeof other));
    ASSERT_TRUE(writeRecordFile(cut, &preset, 100));
    struct Case {
        std::string args, expect;
    } cases[] = {{"--bank-file " + kestrel, "not a bank file of"},
                 {"--preset-file " + cut, "100 bytes"},
                 {"--bank-file " + tempPath("none.orb"), "cannot read bank file"}};
    for (const Case& c : cases) {
        HostRun r = host(kInfo + c.args);
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_TRUE(contains(r.out, c.expect)) << r.out;
    }
}

TEST_F(OrvHostPresets, SettingsThatDifferFromThePresetAreSaidWithTheirDisplays) {
    HostRun r = host(kInfo + "--set Makeup=1 --set Ratio=4:1 --set FAT=On --set Threshold=0");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "orv-host: Makeup = 24.08dB (preset \"Default\": ")) << r.out;
    EXPECT_TRUE(contains(r.out, "orv-host: Ratio = 4.00 : 1 (preset \"Default\": 1.00 : 1)")) << r.out;
    EXPECT_TRUE(contains(r.out, "Makeup=1 is the position 1.0 (24.08dB); write 1dB for a level")) << r.out;
    EXPECT_TRUE(contains(r.out, "Threshold=0 is the position 0.0 (6.02dB); write 0dB for a level")) << r.out;
    EXPECT_FALSE(contains(r.out, "Ratio=4:1 is")) << "a value in its unit needs no explanation";
    EXPECT_FALSE(contains(r.out, "FAT=On is")) << r.out;
    EXPECT_FALSE(contains(host(kInfo).out, "(preset \"")) << "nothing set, nothing said";
}

}  // namespace

// Preset and bank files, the stored default preset and bank, the memories and the remembered
// locations: byte-exact round trips, byte-reversed records, records of the other plug-in or of
// the other type, read-only files, the host's working directory, new instances, and arbitrary
// bytes in files and stored values.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "harness.h"
#include "platform/registry.h"

namespace pbtest {
namespace {

using namespace toolkit;
using Editor = CPresetSystemEditor;

void fillPreset(PresetRecord& p, const char* name, float base) {
    setPresetName(p, name);
    for (int i = 0; i < kNumPresetParams; ++i) p.values[i] = base + i * 0.01f;
}

PresetFileRecord presetRecord(std::int32_t id, unsigned char type, const char* name, float base) {
    PresetFileRecord r;
    std::memset(&r, 0, sizeof r);
    r.identifier = id;
    r.type = type;
    PresetRecord p;
    fillPreset(p, name, base);
    r.preset = p;
    return r;
}

// The same record as a machine of the other byte order writes it.
std::string reversedBytes(PresetFileRecord r) {
    std::int32_t id = r.identifier;
    swapWord(&id);
    r.identifier = id;
    PresetRecord p = r.preset;
    swapPresetValues(p);
    r.preset = p;
    return bytesOf(&r, sizeof r);
}

TEST_F(PresetBarTest, PresetAndBankFilesRoundTripByteExactly) {
    Instance i;
    i.effect->selectPreset(6);
    fillPreset(i.effect->getPresets()[6], "Six", 0.2f);
    answer(file("six"));  // no extension given: the preset extension is added
    i.clickControl(Editor::kTagSavePreset);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].style, CNewFileSelector::kSelectSaveFile);
    ASSERT_EQ(requests[0].extensions.size(), 1u);
    EXPECT_EQ(requests[0].extensions[0].getExtension(), "orv");
    PresetFileRecord saved;
    i.editor->savePresetRecord(saved);
    const std::string presetBytes = readBytes(file("six.orv"));
    EXPECT_EQ(presetBytes, bytesOf(&saved, sizeof saved));
    EXPECT_EQ(presetBytes.substr(0, 5), std::string("oBrO!"));  // little-endian 'OrBo', type '!'
    EXPECT_STREQ(i.editor->getCurrentPresetFile(), "six.orv");
    EXPECT_EQ(std::string(i.editor->getCurrentDirectory()), dir + "/");

    answer(file("all.orb"));
    i.clickControl(Editor::kTagSaveBank);
    EXPECT_EQ(requests.back().title, "Save bank");
    BankFileRecord bank;
    i.editor->saveBankRecord(bank);
    const std::string bankBytes = readBytes(file("all.orb"));
    EXPECT_EQ(bankBytes, bytesOf(&bank, sizeof bank));

    // The preset goes into whichever preset is current, name included.
    i.effect->selectPreset(2);
    i.editor->getPresetMenu()->setCurrent(2);
    answer(file("six.orv"));
    i.clickControl(Editor::kTagLoadPreset);
    EXPECT_EQ(requests.back().initialDirectory, dir + "/");
    EXPECT_EQ(bytesOf(&i.effect->getPresets()[2], 160), bytesOf(&i.effect->getPresets()[6], 160));
    EXPECT_STREQ(i.editor->getNameField()->getText(), "Six");
    EXPECT_STREQ(i.editor->getPresetMenu()->getEntry(2), "Six");

    // The bank replaces all 16 and leaves preset 0 current; saving again gives the same bytes.
    Instance other;
    other.effect->selectPreset(9);
    answer(file("all.orb"));
    other.clickControl(Editor::kTagLoadBank);
    EXPECT_EQ(other.effect->getCurrentPreset(), 0);
    EXPECT_STREQ(other.editor->getPresetMenu()->getEntry(6), "Six");
    answer(file("again.orb"));
    other.clickControl(Editor::kTagSaveBank);
    EXPECT_EQ(readBytes(file("again.orb")), bankBytes);

    // A cancelled dialog changes nothing.
    answer("");
    other.clickControl(Editor::kTagLoadPreset);
    EXPECT_STREQ(other.editor->getCurrentPresetFile(), "");
}

TEST_F(PresetBarTest, ByteReversedFilesLoadAndTheRightClickLoadSwapsOnceMore) {
    Instance i;
    const PresetFileRecord native = presetRecord(kBorealisId, kPresetRecordType, "Far away", 0.3f);
    writeBytes(file("native.orv"), bytesOf(&native, sizeof native));
    writeBytes(file("reversed.orv"), reversedBytes(native));

    answer(file("reversed.orv"));
    i.clickControl(Editor::kTagLoadPreset);
    EXPECT_EQ(bytesOf(&i.effect->getPresets()[0], 160), bytesOf(&native.preset, 160));

    answer(file("native.orv"));
    i.clickControl(Editor::kTagLoadPreset, kRButton);  // "endian-reversed"
    EXPECT_EQ(requests.back().title, "Load preset (endian-reversed)");
    PresetRecord swapped = native.preset;
    swapPresetValues(swapped);
    EXPECT_EQ(bytesOf(&i.effect->getPresets()[0], 160), bytesOf(&swapped, 160));
    EXPECT_EQ(presetName(i.effect->getPresets()[0]), "Far away");  // names never swapped

    answer(file("reversed.orv"));
    i.clickControl(Editor::kTagLoadPreset, kRButton);
    EXPECT_EQ(bytesOf(&i.effect->getPresets()[0], 160), bytesOf(&swapped, 160));

    // A reversed bank file loads with its values swapped back.
    BankFileRecord bank;
    i.editor->saveBankRecord(bank);
    BankFileRecord rev = bank;
    std::int32_t id = rev.identifier;
    swapWord(&id);
    rev.identifier = id;
    for (int k = 0; k < kNumPresets; ++k) {
        PresetRecord p = rev.presets[k];
        swapPresetValues(p);
        rev.presets[k] = p;
    }
    writeBytes(file("reversed.orb"), bytesOf(&rev, sizeof rev));
    Instance other;
    answer(file("reversed.orb"));
    other.clickControl(Editor::kTagLoadBank);
    EXPECT_EQ(bytesOf(other.effect->getPresets(), 2560), bytesOf(bank.presets, 2560));
}

TEST_F(PresetBarTest, RecordsOfTheOtherPluginOrTypeAreIgnored) {
    Instance i;
    i.effect->selectPreset(3);
    const std::string before = bytesOf(i.effect->getPresets(), 2560);
    const PresetFileRecord kestrel = presetRecord(kKestrelId, kPresetRecordType, "Kestrel", 0.5f);
    writeBytes(file("kestrel.orv"), bytesOf(&kestrel, sizeof kestrel));
    BankFileRecord bank;
    i.editor->saveBankRecord(bank);
    writeBytes(file("bank.orb"), bytesOf(&bank, sizeof bank));

    for (const char* name : {"kestrel.orv", "bank.orb", "missing.orv"}) {
        answer(file(name));
        i.clickControl(Editor::kTagLoadPreset);
        answer(file(name));
        i.clickControl(Editor::kTagLoadPreset, kRButton);
        EXPECT_EQ(bytesOf(i.effect->getPresets(), 2560), before) << name;
        EXPECT_EQ(i.effect->getCurrentPreset(), 3);
    }
    // A preset file picked as a bank is refused, and preset 0 is current and applied.
    i.effect->applied.clear();
    const PresetFileRecord own = presetRecord(kBorealisId, kPresetRecordType, "Own", 0.1f);
    writeBytes(file("own.orv"), bytesOf(&own, sizeof own));
    answer(file("own.orv"));
    i.clickControl(Editor::kTagLoadBank);
    EXPECT_EQ(bytesOf(i.effect->getPresets(), 2560), before);
    EXPECT_EQ(i.effect->getCurrentPreset(), 0);
    EXPECT_EQ(i.effect->applied.size(), size_t(kNumPresetParams));

    // The Kestrel plug-in takes its own file.
    Instance k(kKestrelId);
    answer(file("kestrel.orv"));
    k.clickControl(Editor::kTagLoadPreset);
    EXPECT_EQ(presetName(k.effect->getPresets()[0]), "Kestrel");
}

TEST_F(PresetBarTest, ReadOnlyFilesLoadAndTheWorkingDirectoryIsLeftAlone) {
    char cwdBefore[4096];
    ASSERT_NE(getcwd(cwdBefore, sizeof cwdBefore), nullptr);
    Instance i;
    ASSERT_EQ(mkdir(file("library").c_str(), 0755), 0);
    const PresetFileRecord own = presetRecord(kBorealisId, kPresetRecordType, "Read only", 0.4f);
    writeBytes(file("library/ro.orv"), bytesOf(&own, sizeof own));
    ASSERT_EQ(chmod(file("library/ro.orv").c_str(), 0444), 0);

    answer(file("library/ro.orv"));
    i.clickControl(Editor::kTagLoadPreset);
    EXPECT_EQ(presetName(i.effect->getPresets()[0]), "Read only");
    EXPECT_EQ(std::string(i.editor->getCurrentDirectory()), file("library/"));
    char cwdAfter[4096];
    ASSERT_NE(getcwd(cwdAfter, sizeof cwdAfter), nullptr);
    EXPECT_STREQ(cwdAfter, cwdBefore);

    // A bare name from the dialog is taken in the remembered folder, not the working directory.
    setPresetName(i.effect->getPresets()[0], "Relative");
    answer("relative.orv");
    i.clickControl(Editor::kTagSavePreset);
    EXPECT_EQ(readBytes(file("library/relative.orv")).size(), 165u);
    EXPECT_STREQ(i.editor->getCurrentPresetFile(), "relative.orv");
    EXPECT_EQ(access("relative.orv", F_OK), -1);
}

TEST_F(PresetBarTest, MemoriesDefaultsAndLocationsSurviveANewInstance) {
    {
        Instance i;
        i.effect->selectPreset(5);
        fillPreset(i.effect->getPresets()[5], "Memory A", 0.25f);
        i.clickControl(Editor::kTagStoreMemoA);
        fillPreset(i.effect->getPresets()[5], "Edited", 0.75f);
        i.clickControl(Editor::kTagRecallMemoA);
        EXPECT_EQ(presetName(i.effect->getPresets()[5]), "Memory A");
        EXPECT_EQ(i.effect->getPresets()[5].values[2], 0.27f);

        fillPreset(i.effect->getPresets()[5], "Default one", 0.5f);
        i.clickControl(Editor::kTagDefaultPreset);  // single click: nothing
        EXPECT_EQ(orv::platform::registryGetBinary(kPresetStoreKey, "DefaultPreset", nullptr, 0), -1);
        i.clickControl(Editor::kTagDefaultPreset, kLButton | kDoubleClick);
        fillPreset(i.effect->getPresets()[1], "Bank one", 0.125f);
        i.clickControl(Editor::kTagDefaultBank, kLButton | kDoubleClick);
        answer(file("where.orv"));
        i.clickControl(Editor::kTagSavePreset);
    }
    {
        // Start-up: the default bank, then the default preset over preset 0.
        Instance i;
        EXPECT_EQ(presetName(i.effect->getPresets()[1]), "Bank one");
        EXPECT_EQ(presetName(i.effect->getPresets()[0]), "Default one");
        EXPECT_EQ(presetName(i.effect->getPresets()[5]), "Default one");  // it was in the bank too
        EXPECT_STREQ(i.editor->getNameField()->getText(), "Default one");
        EXPECT_EQ(std::string(i.editor->getCurrentDirectory()), dir + "/");
        EXPECT_STREQ(i.editor->getCurrentPresetFile(), "where.orv");
        i.effect->selectPreset(8);
        i.clickControl(Editor::kTagRecallMemoA);
        EXPECT_EQ(presetName(i.effect->getPresets()[8]), "Memory A");
        i.clickControl(Editor::kTagRecallMemoB);  // nothing stored: nothing changes
        EXPECT_EQ(presetName(i.effect->getPresets()[8]), "Memory A");

        i.clickControl(Editor::kTagDefaultPreset, kLButton | kDoubleClick | kControl);
        i.clickControl(Editor::kTagDefaultBank, kLButton | kDoubleClick | kControl);
    }
    Instance i;
    EXPECT_EQ(presetName(i.effect->getPresets()[0]), kFactoryPresetNames[0]);
    EXPECT_EQ(presetName(i.effect->getPresets()[1]), kFactoryPresetNames[1]);
}

TEST_F(PresetBarTest, ArbitraryBytesInFilesAndStoredValuesNeverCrashOrTouchTheStore) {
    Instance i;
    std::mt19937 rng(1234);
    const PresetFileRecord good = presetRecord(kBorealisId, kPresetRecordType, "Good", 0.1f);
    const std::string goodBytes = bytesOf(&good, sizeof good);
    BankFileRecord bank;
    i.editor->saveBankRecord(bank);
    const std::string bankBytes = bytesOf(&bank, sizeof bank);
    i.clickControl(Editor::kTagStoreMemoB);
    const auto store = storeSnapshot();

    for (int round = 0; round < 60; ++round) {
        std::string bytes;
        switch (round % 4) {
            case 0: bytes.resize(rng() % 3000); for (char& c : bytes) c = char(rng()); break;
            case 1: bytes = goodBytes.substr(0, rng() % goodBytes.size()); break;
            case 2: bytes = bankBytes.substr(0, rng() % bankBytes.size()); break;
            default: bytes = goodBytes + std::string(rng() % 4000, char(rng())); break;
        }
        writeBytes(file("fuzz"), bytes);
        answer(file("fuzz"));
        i.clickControl(round % 2 ? Editor::kTagLoadBank : Editor::kTagLoadPreset, round % 3 ? kLButton : kRButton);
        orv::platform::registrySetBinary(kPresetStoreKey, "MemoA", bytes.data(), bytes.size());
        i.clickControl(Editor::kTagRecallMemoA);
        ASSERT_GE(i.effect->getCurrentPreset(), 0);
        ASSERT_LT(i.effect->getCurrentPreset(), kNumPresets);
    }
    orv::platform::registryDeleteValue(kPresetStoreKey, "MemoA");
    EXPECT_EQ(storeSnapshot(), store);

    // A truncated preset keeps what it has: the identifier, type and the first values.
    writeBytes(file("short.orv"), goodBytes.substr(0, 5 + 24 + 8));
    answer(file("short.orv"));
    i.clickControl(Editor::kTagLoadPreset);
    const PresetRecord& loaded = i.effect->getPresets()[i.effect->getCurrentPreset()];
    EXPECT_EQ(presetName(loaded), "Good");
    EXPECT_EQ(loaded.values[1], 0.11f);
    EXPECT_EQ(loaded.values[2], 0.0f);

    // Stored defaults of any bytes at start-up.
    for (int round = 0; round < 16; ++round) {
        std::string bytes(rng() % 3000, 0);
        for (char& c : bytes) c = char(rng());
        if (round % 2) std::memcpy(bytes.data(), bankBytes.data(), std::min(bytes.size(), size_t(5)));
        orv::platform::registrySetBinary(kPresetStoreKey, "DefaultBank", bytes.data(), bytes.size());
        orv::platform::registrySetBinary(kPresetStoreKey, "DefaultPreset", bytes.data(), bytes.size());
        orv::platform::registrySetString(kPresetStoreKey, "CurrDir", std::string(rng() % 600, 'd'));
        TestEffect fresh;
        ASSERT_LT(std::strlen(fresh.testEditor->getCurrentDirectory()), size_t(Editor::kDirectoryCapacity));
    }
}

}  // namespace
}  // namespace pbtest

// The per-user store: values survive, bad data reads as missing, writes are never half done.
#include "gui/meter_settings.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace orv::platform;

class Store : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orv-store-XXXXXX";
        root = mkdtemp(pattern);
        previous = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
        setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    }
    void TearDown() override {
        setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
        std::system(("rm -rf " + root).c_str());
    }
    std::string valueFile(const std::string& key, const std::string& name) { return root + "/" + key + "/" + name; }
    void overwrite(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string root, previous;
    const std::string key = "SOFTWARE\\Orv-tonekraft\\Tamarind";
};

TEST_F(Store, BinaryAndStringValuesRoundTrip) {
    const unsigned char bytes[5] = {1, 2, 0, 255, 7};
    ASSERT_TRUE(registrySetBinary(key, "blob", bytes, sizeof bytes));
    unsigned char back[8] = {};
    EXPECT_EQ(registryGetBinary(key, "blob", back, sizeof back), 5);
    EXPECT_EQ(std::memcmp(back, bytes, 5), 0);
    EXPECT_EQ(registryGetBinary(key, "blob", back, 2), 2) << "reads at most the capacity";

    ASSERT_TRUE(registrySetString(key, "CurrDir", "/home/user/Presets"));
    std::string s;
    ASSERT_TRUE(registryGetString(key, "CurrDir", s));
    EXPECT_EQ(s, "/home/user/Presets");
    EXPECT_EQ(registryGetBinary(key, "CurrDir", back, sizeof back), -1) << "a string is not binary";

    EXPECT_TRUE(registryDeleteValue(key, "blob"));
    EXPECT_EQ(registryGetBinary(key, "blob", back, sizeof back), -1);
    EXPECT_FALSE(registryDeleteValue(key, "blob"));
}

TEST_F(Store, GarbageTruncatedAndForeignFilesReadAsMissing) {
    float v = 0.7f;
    ASSERT_TRUE(registrySetBinary(key, "vureference", &v, 4));
    const std::string path = valueFile("SOFTWARE/Orv-tonekraft/Tamarind", "vureference");
    std::ifstream in(path, std::ios::binary);
    std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(good.size(), 20u);

    float out = 0;
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        overwrite(path, good.substr(0, cut));
        EXPECT_EQ(registryGetBinary(key, "vureference", &out, 4), -1) << "cut at " << cut;
    }
    std::string flipped = good;
    flipped[13] ^= 0x40;
    overwrite(path, flipped);
    EXPECT_EQ(registryGetBinary(key, "vureference", &out, 4), -1);
    overwrite(path, "0.7\n");
    EXPECT_EQ(registryGetBinary(key, "vureference", &out, 4), -1);
    overwrite(path, good + "x");
    EXPECT_EQ(registryGetBinary(key, "vureference", &out, 4), -1);
}

TEST_F(Store, NamesCannotEscapeTheStore) {
    const char b = 1;
    EXPECT_FALSE(registrySetBinary(key, "../evil", &b, 1));
    EXPECT_FALSE(registrySetBinary(key, "", &b, 1));
    EXPECT_FALSE(registrySetBinary("SOFTWARE\\..\\..\\x", "v", &b, 1));
    EXPECT_FALSE(registrySetBinary("SOFTWARE\\a/b", "v", &b, 1));
}

TEST_F(Store, ConcurrentWritersNeverLeaveAHalfWrittenValue) {
    // Two processes write different complete records as fast as they can; a reader in this
    // process must only ever see one of the two, never a mixture or a short record.
    std::vector<unsigned char> a(2565, 0xAA), b(2565, 0xBB);
    ASSERT_TRUE(registrySetBinary(key, "DefaultBank", a.data(), a.size()));
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = fork();
        if (writers[w] == 0) {
            const auto& mine = w ? b : a;
            for (int i = 0; i < 200; ++i) registrySetBinary(key, "DefaultBank", mine.data(), mine.size());
            _exit(0);
        }
    }
    std::vector<unsigned char> seen(2565);
    for (int i = 0; i < 400; ++i) {
        long n = registryGetBinary(key, "DefaultBank", seen.data(), seen.size());
        if (n == -1) continue;  // momentarily unreadable is fine; wrong is not
        ASSERT_EQ(n, 2565);
        ASSERT_TRUE(seen == a || seen == b);
    }
    for (pid_t p : writers) waitpid(p, nullptr, 0);
}

// Both plug-ins in one process each carry a copy of the store's code, and any number of their
// instances may write at the same moment: every write must land, whatever temporary files other
// writers of this process hold at the time.
TEST_F(Store, EveryWriteLandsWhileOtherWritersOfThisProcessHoldTemporaryFiles) {
    std::vector<unsigned char> value(2565, 0x5A);
    ASSERT_TRUE(registrySetBinary(key, "DefaultBank", value.data(), value.size()));
    // The temporary files another library of this process would be writing just now.
    const std::string folder = root + "/SOFTWARE/Orv-tonekraft/Tamarind/";
    for (int n = 0; n <= 64; ++n)
        overwrite(folder + "DefaultBank.tmp." + std::to_string(getpid()) + "." + std::to_string(n), "partial");
    int failed = 0;
    std::thread other([&] {
        for (int i = 0; i < 200; ++i) failed += !registrySetBinary(key, "DefaultBank", value.data(), value.size());
    });
    int failedHere = 0;
    for (int i = 0; i < 200; ++i) failedHere += !registrySetBinary(key, "DefaultBank", value.data(), value.size());
    other.join();
    EXPECT_EQ(failed + failedHere, 0);
    std::vector<unsigned char> seen(2565);
    EXPECT_EQ(registryGetBinary(key, "DefaultBank", seen.data(), seen.size()), 2565);
    EXPECT_EQ(seen, value);
}

TEST_F(Store, MeterSettingsDefaultsAndFallbacks) {
    EXPECT_FLOAT_EQ(readMeterSetting(36), 0.5f);
    EXPECT_FLOAT_EQ(readMeterSetting(37), 0.41f);
    EXPECT_NEAR(readMeterSetting(40), 2.0f / 9.0f, 1e-7);
    EXPECT_FLOAT_EQ(readMeterSetting(35), 0.5f);
    EXPECT_FLOAT_EQ(readMeterSetting(41), 0.5f);

    writeMeterSetting(38, 0.9f);
    EXPECT_FLOAT_EQ(readMeterSetting(38), 0.9f);
    writeMeterSetting(39, 3.0f);
    EXPECT_FLOAT_EQ(readMeterSetting(39), 3.0f);
    EXPECT_FLOAT_EQ(readCheckedMeterSetting(39), 0.72365f);
    writeMeterSetting(37, std::nanf(""));
    EXPECT_FLOAT_EQ(readCheckedMeterSetting(37), 0.5f) << "a stored NaN is out of range";
    writeMeterSetting(50, 0.1f);  // ignored
    EXPECT_FLOAT_EQ(readMeterSetting(50), 0.5f);
}

}  // namespace

namespace {

// A FIFO or a folder where a value file belongs reads as missing, at once: opening a FIFO for
// reading would otherwise wait for a writer, and the plug-in's construction with it.
TEST_F(Store, OnlyRegularFilesAreRead) {
    float v = 0.7f;
    ASSERT_TRUE(registrySetBinary(key, "vureference", &v, sizeof v));
    const std::string folder = root + "/SOFTWARE/Orv-tonekraft/Tamarind";
    ASSERT_EQ(mkfifo((folder + "/ppmreturn").c_str(), 0600), 0);
    ASSERT_EQ(mkdir((folder + "/overcounter").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo((folder + "/CurrDir").c_str(), 0600), 0);

    alarm(10);  // a regression blocks in open(); fail instead of hanging the suite
    float out = -1.0f;
    EXPECT_EQ(registryGetBinary(key, "ppmreturn", &out, sizeof out), -1);
    EXPECT_EQ(registryGetBinary(key, "overcounter", &out, sizeof out), -1);
    std::string s = "untouched";
    EXPECT_FALSE(registryGetString(key, "CurrDir", s));
    EXPECT_EQ(s, "untouched");
    EXPECT_FLOAT_EQ(readMeterSetting(39), 0.5f) << "a FIFO gives the missing default";
    EXPECT_NEAR(readMeterSetting(40), 2.0f / 9.0f, 1e-7);
    EXPECT_FLOAT_EQ(readMeterSetting(37), 0.7f) << "regular files beside it still read";
    alarm(0);

    // A write replaces the FIFO with a proper value file.
    writeMeterSetting(39, 0.25f);
    EXPECT_FLOAT_EQ(readMeterSetting(39), 0.25f);
}

// Only settings marked as set are written back, each once; other indices are never marked.
TEST_F(Store, MeterSettingChangesWriteBackOnlyWhatWasSet) {
    writeMeterSetting(36, 0.1f);
    writeMeterSetting(38, 0.3f);
    MeterSettingChanges changes;
    changes.noteSet(38);
    changes.noteSet(35);
    changes.noteSet(41);
    EXPECT_TRUE(changes.wasSet(38));
    EXPECT_FALSE(changes.wasSet(36));
    EXPECT_FALSE(changes.wasSet(35));
    EXPECT_FALSE(changes.wasSet(41));

    std::vector<int> asked;
    changes.writeBack([&](int index) {
        asked.push_back(index);
        return 0.8f;
    });
    EXPECT_EQ(asked, std::vector<int>{38});
    EXPECT_FLOAT_EQ(readMeterSetting(36), 0.1f) << "an unset value is left alone";
    EXPECT_FLOAT_EQ(readMeterSetting(38), 0.8f);
    EXPECT_EQ(registryGetBinary(key, "vureference", nullptr, 0), -1) << "nothing created for the rest";

    asked.clear();
    changes.writeBack([&](int index) {
        asked.push_back(index);
        return 0.0f;
    });
    EXPECT_TRUE(asked.empty()) << "a write-back clears the marks";

    changes.noteSet(40);
    changes.forget();
    EXPECT_FALSE(changes.wasSet(40));
}

}  // namespace

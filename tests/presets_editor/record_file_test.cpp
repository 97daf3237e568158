// Reading preset and bank files: what a chosen path may turn out to be.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "presets/preset_file_record.h"

namespace {

class RecordFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orv-record-file-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string dir;
};

bool allZero(const PresetFileRecord& r) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&r);
    for (std::size_t i = 0; i < sizeof r; ++i)
        if (b[i]) return false;
    return true;
}

TEST_F(RecordFile, ShortFileKeepsItsBytesAndZeroFillsTheRest) {
    const std::string path = dir + "/short.orv";
    std::ofstream(path, std::ios::binary) << "OrBo!Name";
    PresetFileRecord record;
    std::memset(&record, 0xEE, sizeof record);
    ASSERT_TRUE(readRecordFile(path, &record, sizeof record));
    EXPECT_EQ(std::memcmp(&record, "OrBo!Name", 9), 0);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&record);
    for (std::size_t i = 9; i < sizeof record; ++i) ASSERT_EQ(b[i], 0) << i;
}

// A folder, a missing file and a FIFO are refused at once with an all-zero record; a FIFO
// with no writer must not block the caller (the editor runs on the host's interface thread).
TEST_F(RecordFile, AnythingButARegularFileIsRefusedWithoutWaiting) {
    PresetFileRecord record;
    std::memset(&record, 0xEE, sizeof record);
    EXPECT_FALSE(readRecordFile(dir, &record, sizeof record));
    EXPECT_TRUE(allZero(record));
    std::memset(&record, 0xEE, sizeof record);
    EXPECT_FALSE(readRecordFile(dir + "/missing.orv", &record, sizeof record));
    EXPECT_TRUE(allZero(record));

    const std::string fifo = dir + "/pipe.orv";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::memset(&record, 0xEE, sizeof record);
    auto reading = std::async(std::launch::async, [&] { return readRecordFile(fifo, &record, sizeof record); });
    if (reading.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
        // Release the blocked reader so the test can end, then fail.
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        if (fd >= 0) ::close(fd);
        reading.wait();
        FAIL() << "reading a FIFO waited for a writer";
    }
    EXPECT_FALSE(reading.get());
    EXPECT_TRUE(allZero(record));
}

}  // namespace

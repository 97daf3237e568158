// File selectors with an injected chooser, with no dialog program, and with a stand-in
// dialog program found on PATH: one that answers at once, one that takes its time while the
// caller goes on, and one that is ended before it answers.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "support.h"

namespace tktest {
namespace {

struct ChooserReset : ::testing::Test {
    void TearDown() override { CNewFileSelector::setChooser(nullptr); }
};

TEST_F(ChooserReset, TheChooserSeesTheRequestAndItsAnswerIsTheSelection) {
    CNewFileSelector::Request seen{};
    CNewFileSelector::setChooser([&](const CNewFileSelector::Request& r) {
        seen = r;
        return std::vector<std::string>{"/tmp/a.orv", "/tmp/b.orv"};
    });
    CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectFile);
    selector->setTitle("Load preset");
    selector->setInitialDirectory("/home/user/");
    selector->addFileExtension(CFileExtension("Orv Preset", "orv"));
    selector->setAllowMultiFileSelection(false);
    EXPECT_TRUE(selector->runModal());
    EXPECT_EQ(seen.title, "Load preset");
    EXPECT_EQ(seen.initialDirectory, "/home/user/");
    ASSERT_EQ(seen.extensions.size(), 1u);
    EXPECT_EQ(seen.extensions[0].getDescription(), "Orv Preset");
    // Single selection: only the first path is kept.
    ASSERT_EQ(selector->getNumSelectedFiles(), 1);
    EXPECT_STREQ(selector->getSelectedFile(0), "/tmp/a.orv");
    EXPECT_EQ(selector->getSelectedFile(1), nullptr);

    CNewFileSelector::setChooser([](const CNewFileSelector::Request&) { return std::vector<std::string>{}; });
    EXPECT_FALSE(selector->runModal());
    EXPECT_EQ(selector->getNumSelectedFiles(), 0);
    selector->forget();
}

struct PathSwap {
    std::string old;
    explicit PathSwap(const std::string& path) : old(std::getenv("PATH") ? std::getenv("PATH") : "") {
        setenv("PATH", path.c_str(), 1);
    }
    ~PathSwap() { setenv("PATH", old.c_str(), 1); }
};

TEST_F(ChooserReset, WithoutADialogProgramTheSelectorSaysWhatToInstall) {
    const std::string empty = ::testing::TempDir() + "toolkit_no_programs";
    mkdir(empty.c_str(), 0700);
    PathSwap path(empty);
    CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectSaveFile);
    selector->setDefaultSaveName("x.orv");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(selector->start(), CNewFileSelector::kUnavailable);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("zenity"), std::string::npos) << said;
    EXPECT_NE(said.find("kdialog"), std::string::npos) << said;
    EXPECT_EQ(selector->getNumSelectedFiles(), 0);
    EXPECT_FALSE(selector->runModal());
    selector->forget();
}

// A stand-in zenity that notes its process id, waits, then answers `answer`.
std::string slowZenity(const std::string& name, const char* seconds, const char* answer) {
    const std::string dir = ::testing::TempDir() + name;
    mkdir(dir.c_str(), 0700);
    std::ofstream out(dir + "/zenity");
    out << "#!/bin/sh\necho $$ > '" << dir << "/pid'\nsleep " << seconds << " &\necho $! > '" << dir
        << "/sleeper'\nwait $!\necho '" << answer << "'\n";
    out.close();
    chmod((dir + "/zenity").c_str(), 0700);
    return dir;
}

pid_t readPid(const std::string& file) {
    for (int i = 0; i < 200; ++i) {
        std::ifstream in(file);
        pid_t pid = 0;
        if (in >> pid && pid > 0) return pid;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

// True when `pid` is gone, or at most a zombie waiting for a parent other than us (an orphan
// the system reaps); a zombie of ours would be a child never reaped.
bool notRunning(pid_t pid) {
    for (int i = 0; i < 100; ++i) {
        if (kill(pid, 0) != 0 && errno == ESRCH) return true;
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        bool zombie = false;
        pid_t parent = 0;
        while (std::getline(status, line)) {
            if (line.rfind("State:", 0) == 0) zombie = line.find('Z') != std::string::npos;
            if (line.rfind("PPid:", 0) == 0) parent = std::atoi(line.c_str() + 5);
        }
        if (zombie && parent != getpid()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

using Clock = std::chrono::steady_clock;

TEST_F(ChooserReset, ASlowDialogAnswersWhileTheCallerGoesOn) {
    const std::string dir = slowZenity("toolkit_slow_zenity", "0.4", "/chosen/Slow.orv");
    PathSwap path(dir + ":/usr/bin:/bin");
    CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectFile);
    const auto started = Clock::now();
    ASSERT_EQ(selector->start(), CNewFileSelector::kRunning);
    EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(200));
    const pid_t pid = readPid(dir + "/pid");
    int pollsWhileOpen = 0;
    CNewFileSelector::Progress progress = CNewFileSelector::kRunning;
    while (progress == CNewFileSelector::kRunning && Clock::now() - started < std::chrono::seconds(5)) {
        const auto before = Clock::now();
        progress = selector->poll();
        EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(20));  // never waits
        if (progress == CNewFileSelector::kRunning) ++pollsWhileOpen;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_GT(pollsWhileOpen, 5);
    ASSERT_EQ(progress, CNewFileSelector::kChosen);
    EXPECT_STREQ(selector->getSelectedFile(0), "/chosen/Slow.orv");
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(notRunning(pid));  // reaped, not left as a zombie
    selector->forget();
}

TEST_F(ChooserReset, EndingAnOpenDialogStopsItAndWhatItStartedAndChoosesNothing) {
    const std::string dir = slowZenity("toolkit_endless_zenity", "30", "/chosen/Never.orv");
    PathSwap path(dir + ":/usr/bin:/bin");
    for (int round = 0; round < 2; ++round) {
        std::remove((dir + "/pid").c_str());
        std::remove((dir + "/sleeper").c_str());
        CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectFile);
        ASSERT_EQ(selector->start(), CNewFileSelector::kRunning);
        const pid_t pid = readPid(dir + "/pid");
        const pid_t sleeper = readPid(dir + "/sleeper");
        ASSERT_GT(pid, 0);
        ASSERT_GT(sleeper, 0);
        const auto before = Clock::now();
        if (round == 0) {
            selector->cancel();
            EXPECT_EQ(selector->getProgress(), CNewFileSelector::kCancelled);
            EXPECT_EQ(selector->getNumSelectedFiles(), 0);
            EXPECT_EQ(selector->poll(), CNewFileSelector::kCancelled);
        }
        selector->forget();  // the second round: released while open
        EXPECT_LT(Clock::now() - before, std::chrono::seconds(2));
        EXPECT_TRUE(notRunning(pid));
        EXPECT_TRUE(notRunning(sleeper));
    }
}

TEST_F(ChooserReset, ZenityIsRunWithoutAShellAndItsAnswerIsRead) {
    const std::string dir = ::testing::TempDir() + "toolkit_fake_zenity";
    mkdir(dir.c_str(), 0700);
    const std::string script = dir + "/zenity";
    const std::string argsFile = dir + "/args";
    {
        std::ofstream out(script);
        out << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '" << argsFile << "'\n"
            << "echo '/chosen/My Preset.orv'\n";
    }
    chmod(script.c_str(), 0700);
    PathSwap path(dir + ":/usr/bin:/bin");
    CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectSaveFile);
    selector->setTitle("Save preset; rm -rf $HOME");
    selector->setInitialDirectory("/presets");
    selector->setDefaultSaveName("A.orv");
    selector->addFileExtension(CFileExtension("Orv Preset", "orv"));
    ASSERT_TRUE(selector->runModal());
    EXPECT_STREQ(selector->getSelectedFile(0), "/chosen/My Preset.orv");
    selector->forget();

    std::ifstream in(argsFile);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("--title=Save preset; rm -rf $HOME\n"), std::string::npos);
    EXPECT_NE(all.find("--filename=/presets/A.orv\n"), std::string::npos);
    EXPECT_NE(all.find("--save\n"), std::string::npos);
    EXPECT_NE(all.find("--file-filter=Orv Preset | *.orv\n"), std::string::npos);
}

}  // namespace
}  // namespace tktest

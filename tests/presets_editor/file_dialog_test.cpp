// The preset bar with the system file dialog: a stand-in zenity first on PATH that takes its
// time. The editor goes on idling while it is open and acts on its answer when it comes;
// closing the editor or the effect meanwhile ends it and loads nothing; with no dialog program
// the name field says what to install for a while.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "harness.h"

namespace pbtest {
namespace {

using namespace toolkit;
using Editor = CPresetSystemEditor;
using Clock = std::chrono::steady_clock;

class FileDialogTest : public PresetBarTest {
protected:
    void SetUp() override {
        PresetBarTest::SetUp();
        CNewFileSelector::setChooser(nullptr);  // the real dialog path, with a program of ours
        savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    }
    void TearDown() override {
        setenv("PATH", savedPath.c_str(), 1);
        PresetBarTest::TearDown();
    }
    // A zenity that notes its process id, waits `seconds`, then answers `answer`.
    void slowZenity(const char* seconds, const std::string& answer) {
        const std::string bin = file("bin");
        mkdir(bin.c_str(), 0700);
        std::ofstream out(bin + "/zenity");
        out << "#!/bin/sh\necho $$ > '" << file("pid") << "'\nsleep " << seconds << "\necho '" << answer << "'\n";
        out.close();
        chmod((bin + "/zenity").c_str(), 0700);
        setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
    }
    pid_t dialogPid() {
        for (int i = 0; i < 200; ++i) {
            std::ifstream in(file("pid"));
            pid_t pid = 0;
            if (in >> pid && pid > 0) return pid;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }
    // A preset file named `name` for the plug-in of `i`.
    void writePresetFile(Instance& i, const std::string& path, const char* name) {
        PresetFileRecord r;
        i.editor->savePresetRecord(r);
        PresetRecord preset = r.preset;  // the file record is packed: edit an aligned copy
        setPresetName(preset, name);
        for (int k = 0; k < kNumPresetParams; ++k) preset.values[k] = 0.25f;
        r.preset = preset;
        writeBytes(path, bytesOf(&r, sizeof r));
    }
    std::string savedPath;
};

bool reaped(pid_t pid) {
    for (int i = 0; i < 100; ++i) {
        if (kill(pid, 0) != 0 && errno == ESRCH) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST_F(FileDialogTest, TheEditorKeepsIdlingWhileTheDialogIsOpenAndLoadsTheAnswer) {
    Instance i;
    writePresetFile(i, file("slow.orv"), "Slow Answer");
    slowZenity("0.4", file("slow.orv"));
    const std::string before = presetName(i.effect->getPresets()[0]);
    const auto started = Clock::now();
    i.clickControl(Editor::kTagLoadPreset);
    EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(200));  // the click returns at once
    EXPECT_TRUE(i.editor->isFileDialogOpen());
    const pid_t pid = dialogPid();
    int idlesWhileOpen = 0;
    while (i.editor->isFileDialogOpen() && Clock::now() - started < std::chrono::seconds(5)) {
        const auto t = Clock::now();
        i.editor->idle();
        EXPECT_LT(Clock::now() - t, std::chrono::milliseconds(50));
        if (i.editor->isFileDialogOpen()) {
            ++idlesWhileOpen;
            EXPECT_EQ(presetName(i.effect->getPresets()[0]), before);  // nothing loaded yet
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_GT(idlesWhileOpen, 5);
    EXPECT_FALSE(i.editor->isFileDialogOpen());
    EXPECT_EQ(presetName(i.effect->getPresets()[0]), "Slow Answer");
    EXPECT_STREQ(i.editor->getNameField()->getText(), "Slow Answer");
    EXPECT_FLOAT_EQ(i.effect->getPresets()[0].values[0], 0.25f);
    EXPECT_STREQ(i.editor->getCurrentPresetFile(), "slow.orv");
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(reaped(pid));

    // A save dialog the same way: the file is written when the answer comes.
    slowZenity("0.1", file("saved"));
    i.clickControl(Editor::kTagSavePreset);
    EXPECT_FALSE(std::ifstream(file("saved.orv")).good());
    for (int k = 0; k < 250 && i.editor->isFileDialogOpen(); ++k) {
        i.editor->idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    PresetFileRecord saved;
    i.editor->savePresetRecord(saved);
    EXPECT_EQ(readBytes(file("saved.orv")), bytesOf(&saved, sizeof saved));
}

TEST_F(FileDialogTest, ClosingTheEditorOrTheEffectMidDialogEndsItAndLoadsNothing) {
    {
        Instance i;
        writePresetFile(i, file("late.orv"), "Too Late");
        slowZenity("0.5", file("late.orv"));
        const std::string before = presetName(i.effect->getPresets()[0]);
        i.clickControl(Editor::kTagLoadPreset);
        ASSERT_TRUE(i.editor->isFileDialogOpen());
        const pid_t pid = dialogPid();
        i.editor->idle();
        const auto t = Clock::now();
        i.editor->close();
        EXPECT_LT(Clock::now() - t, std::chrono::seconds(1));
        EXPECT_FALSE(i.editor->isFileDialogOpen());
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(reaped(pid));
        std::this_thread::sleep_for(std::chrono::milliseconds(600));  // past the dialog's answer
        ASSERT_TRUE(i.editor->open(nullptr));
        for (int k = 0; k < 5; ++k) i.editor->idle();
        EXPECT_EQ(presetName(i.effect->getPresets()[0]), before);
        EXPECT_STREQ(i.editor->getNameField()->getText(), before.c_str());
    }
    std::remove(file("pid").c_str());
    pid_t pid = 0;
    {
        Instance i;
        i.clickControl(Editor::kTagLoadBank);
        pid = dialogPid();
    }  // the effect goes with its editor open and the dialog up
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(reaped(pid));
}

TEST_F(FileDialogTest, WithoutADialogProgramTheNameFieldSaysWhatToInstallForAWhile) {
    const std::string empty = file("nothing");
    mkdir(empty.c_str(), 0700);
    setenv("PATH", empty.c_str(), 1);
    Instance i;
    const std::string name = presetName(i.effect->getPresets()[0]);
    ::testing::internal::CaptureStderr();
    i.clickControl(Editor::kTagSavePreset);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("zenity"), std::string::npos) << said;
    EXPECT_FALSE(i.editor->isFileDialogOpen());
    EXPECT_TRUE(i.editor->isNoticeShown());
    EXPECT_STREQ(i.editor->getNameField()->getText(), CNewFileSelector::kNoDialogHint);
    EXPECT_EQ(presetName(i.effect->getPresets()[0]), name);  // the preset keeps its name
    i.editor->idle();
    EXPECT_STREQ(i.editor->getNameField()->getText(), CNewFileSelector::kNoDialogHint);

    // Entering the note unchanged does not rename the preset.
    i.editor->valueChanged(i.editor->getNameField());
    EXPECT_EQ(presetName(i.effect->getPresets()[0]), name);
    EXPECT_STREQ(i.editor->getNameField()->getText(), name.c_str());

    // Shown again by a load click, and gone after its time.
    ::testing::internal::CaptureStderr();
    i.clickControl(Editor::kTagLoadBank);
    ::testing::internal::GetCapturedStderr();
    EXPECT_STREQ(i.editor->getNameField()->getText(), CNewFileSelector::kNoDialogHint);
    const auto shown = Clock::now();
    while (i.editor->isNoticeShown() && Clock::now() - shown < std::chrono::seconds(6)) {
        i.editor->idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_GE(Clock::now() - shown, std::chrono::milliseconds(Editor::kNoticeMs - 100));
    EXPECT_FALSE(i.editor->isNoticeShown());
    EXPECT_STREQ(i.editor->getNameField()->getText(), name.c_str());
}


// Where the system dialog is modal (Windows), the host's messages, and with them the editor's
// timer, keep running inside it. A chooser that idles the editor stands in for that loop.
TEST_F(PresetBarTest, AModalDialogThatIdlesTheEditorStillHasItsAnswerActedOn) {
    Instance i;
    const std::string path = file("modal.orv");
    CNewFileSelector::setChooser([&](const CNewFileSelector::Request&) {
        for (int k = 0; k < 3; ++k) i.editor->idle();
        return std::vector<std::string>{path};
    });
    i.clickControl(Editor::kTagSavePreset);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 165);
}

}  // namespace
}  // namespace pbtest

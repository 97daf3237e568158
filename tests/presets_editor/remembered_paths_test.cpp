// The names of saved files and the remembered folder and file names when several instances,
// in one process or in several, share the per-user store.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "harness.h"
#include "platform/registry.h"
#include "presets/file_names.h"

namespace pbtest {
namespace {

using Editor = CPresetSystemEditor;

TEST(FileNames, TheExtensionIsAddedUnlessTheNameEndsInIt) {
    EXPECT_EQ(withFileExtension("Mix v1.2", "orv"), "Mix v1.2.orv");
    EXPECT_EQ(withFileExtension("/home/me/Mix v1.2", "orv"), "/home/me/Mix v1.2.orv");
    EXPECT_EQ(withFileExtension("/home/me.d/Master", "orb"), "/home/me.d/Master.orb");
    EXPECT_EQ(withFileExtension("plain", "orv"), "plain.orv");
    EXPECT_EQ(withFileExtension("Mix.", "orv"), "Mix.orv");
    EXPECT_EQ(withFileExtension("Mix.orv", "orv"), "Mix.orv");
    EXPECT_EQ(withFileExtension("Mix.ORV", "orv"), "Mix.ORV");
    EXPECT_EQ(withFileExtension("Mix.Orb", "orb"), "Mix.Orb");
    EXPECT_EQ(withFileExtension("bank.orb", "orv"), "bank.orb.orv") << "the other kind's extension";
    EXPECT_EQ(withFileExtension("Mixorv", "orv"), "Mixorv.orv") << "the dot belongs to the extension";
}

TEST_F(PresetBarTest, ADottedNameIsSavedWithTheExtensionAndLoadsAgain) {
    Instance i;
    setPresetName(i.effect->getPresets()[0], "Dotted");
    answer(file("Mix v1.2"));
    i.clickControl(Editor::kTagSavePreset);
    EXPECT_EQ(readBytes(file("Mix v1.2.orv")).size(), sizeof(PresetFileRecord));
    EXPECT_STREQ(i.editor->getCurrentPresetFile(), "Mix v1.2.orv");

    answer(file("Master 2.0"));
    i.clickControl(Editor::kTagSaveBank);
    EXPECT_EQ(readBytes(file("Master 2.0.orb")).size(), sizeof(BankFileRecord));

    answer(file("Upper.ORV"));
    i.clickControl(Editor::kTagSavePreset);
    EXPECT_EQ(readBytes(file("Upper.ORV")).size(), sizeof(PresetFileRecord));
    EXPECT_TRUE(readBytes(file("Upper.ORV.orv")).empty());

    setPresetName(i.effect->getPresets()[0], "Changed");
    answer(file("Mix v1.2.orv"));
    i.clickControl(Editor::kTagLoadPreset);
    EXPECT_EQ(presetName(i.effect->getPresets()[0]), "Dotted");
}

std::string storedString(const char* name) {
    std::string value = "<none>";
    orv::platform::registryGetString(kPresetStoreKey, name, value);
    return value;
}

class RememberedPaths : public PresetBarTest {
protected:
    void SetUp() override {
        PresetBarTest::SetUp();
        ASSERT_EQ(mkdir(file("chosen").c_str(), 0700), 0);
        preset = presetFile();
    }
    // The store as the user left it before the instances start.
    void storeOldPaths() {
        orv::platform::registrySetString(kPresetStoreKey, "CurrDir", "/old/");
        orv::platform::registrySetString(kPresetStoreKey, "CurrBank", "old.orb");
        orv::platform::registrySetString(kPresetStoreKey, "CurrPreset", "old.orv");
    }
    std::string presetFile() const { return file("chosen/picked.orv"); }
    std::string preset;
};

// One instance saves a preset in a new folder, the other runs no dialog. Whichever closes last,
// the new folder and file name stay stored; the bank name, which neither changed, is untouched.
TEST_F(RememberedPaths, TheChosenPathSurvivesAnIdleInstanceInEitherClosingOrder) {
    for (bool choosingClosesFirst : {true, false}) {
        SCOPED_TRACE(choosingClosesFirst ? "choosing instance closes first" : "idle instance closes first");
        storeOldPaths();
        auto choosing = std::make_unique<Instance>();
        auto idle = std::make_unique<Instance>();
        answer(preset);
        choosing->clickControl(Editor::kTagSavePreset);
        ASSERT_EQ(readBytes(preset).size(), sizeof(PresetFileRecord));
        if (choosingClosesFirst) {
            choosing.reset();
            idle.reset();
        } else {
            idle.reset();
            EXPECT_EQ(storedString("CurrDir"), "/old/") << "the idle instance wrote nothing";
            choosing.reset();
        }
        EXPECT_EQ(storedString("CurrDir"), file("chosen/"));
        EXPECT_EQ(storedString("CurrPreset"), "picked.orv");
        EXPECT_EQ(storedString("CurrBank"), "old.orb");
        Instance next;
        EXPECT_STREQ(next.editor->getCurrentDirectory(), file("chosen/").c_str());
    }
}

TEST_F(RememberedPaths, InstancesThatRunNoDialogWriteNothing) {
    { Instance a, b; }
    EXPECT_EQ(storedString("CurrDir"), "<none>");
    EXPECT_EQ(storedString("CurrBank"), "<none>");
    EXPECT_EQ(storedString("CurrPreset"), "<none>");
    // A cancelled dialog is no choice either.
    storeOldPaths();
    {
        Instance a;
        answer("");
        a.clickControl(Editor::kTagLoadBank);
    }
    EXPECT_EQ(storedString("CurrDir"), "/old/");
    EXPECT_EQ(storedString("CurrBank"), "old.orb");
}

// An instance in a child process that loads the preset file (or does nothing) when told to,
// then closes. The chooser's queued answer is inherited from the test process.
class ChildInstance {
public:
    explicit ChildInstance(bool choose) {
        int down[2], up[2];
        if (pipe(down) != 0 || pipe(up) != 0) return;
        pid = fork();
        if (pid == 0) {
            close(down[1]);
            close(up[0]);
            char c = 'r';
            {
                Instance instance;
                if (write(up[1], &c, 1) != 1 || read(down[0], &c, 1) != 1) _exit(3);
                if (choose) instance.clickControl(Editor::kTagLoadPreset);
            }
            c = 'd';
            _exit(write(up[1], &c, 1) == 1 ? 0 : 4);
        }
        close(down[0]);
        close(up[1]);
        toChild = down[1];
        fromChild = up[0];
    }
    ~ChildInstance() {
        if (toChild >= 0) close(toChild);
        if (fromChild >= 0) close(fromChild);
        if (pid > 0) waitpid(pid, nullptr, 0);
    }
    char reply() {
        pollfd p{fromChild, POLLIN, 0};
        char c = 0;
        if (poll(&p, 1, 20000) == 1 && read(fromChild, &c, 1) == 1) return c;
        return 0;
    }
    bool actAndClose() {
        const char c = 'g';
        return write(toChild, &c, 1) == 1 && reply() == 'd';
    }
    pid_t pid = -1;
    int toChild = -1, fromChild = -1;
};

TEST_F(RememberedPaths, TheChosenPathSurvivesAnIdleInstanceInAnotherProcess) {
    {
        Instance saver;
        answer(preset);
        saver.clickControl(Editor::kTagSavePreset);
    }
    for (bool choosingClosesFirst : {true, false}) {
        SCOPED_TRACE(choosingClosesFirst ? "choosing instance closes first" : "idle instance closes first");
        storeOldPaths();
        answer(preset);
        ChildInstance choosing(true);
        ChildInstance idle(false);
        answers.clear();
        ASSERT_GT(choosing.pid, 0);
        ASSERT_GT(idle.pid, 0);
        ASSERT_EQ(choosing.reply(), 'r');
        ASSERT_EQ(idle.reply(), 'r');
        ChildInstance& first = choosingClosesFirst ? choosing : idle;
        ChildInstance& second = choosingClosesFirst ? idle : choosing;
        ASSERT_TRUE(first.actAndClose());
        ASSERT_TRUE(second.actAndClose());
        EXPECT_EQ(storedString("CurrDir"), file("chosen/"));
        EXPECT_EQ(storedString("CurrPreset"), "picked.orv");
        EXPECT_EQ(storedString("CurrBank"), "old.orb");
    }
}

}  // namespace
}  // namespace pbtest

// File selectors with an injected chooser, with no dialog program, and with a stand-in
// dialog program found on PATH.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

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

TEST_F(ChooserReset, WithoutADialogProgramTheDialogIsCancelled) {
    const std::string empty = ::testing::TempDir() + "toolkit_no_programs";
    mkdir(empty.c_str(), 0700);
    PathSwap path(empty);
    CNewFileSelector* selector = CNewFileSelector::create(nullptr, CNewFileSelector::kSelectSaveFile);
    selector->setDefaultSaveName("x.orv");
    EXPECT_FALSE(selector->runModal());
    selector->forget();
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

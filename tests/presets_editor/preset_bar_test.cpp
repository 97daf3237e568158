// The preset bar driven with synthetic mouse and key events: menu, rocker and name field select
// and rename presets in the effect's store; the bar follows renames made by the host; the idle
// timer runs only while the window is open.
#include <chrono>
#include <thread>

#include "gui/controls.h"
#include "harness.h"

namespace pbtest {
namespace {

using namespace toolkit;
using Editor = CPresetSystemEditor;

TEST_F(PresetBarTest, BarIsLaidOutOnThePluginsBandsAndShowsTheCurrentPreset) {
    Instance i;
    EXPECT_EQ(i.editor->getPresetBarControl(Editor::kTagDefaultPreset)->getViewSize(), CRect(103, 446, 150, 456));
    EXPECT_EQ(i.editor->getPresetBarControl(Editor::kTagRecallMemoB)->getViewSize(), CRect(417, 444, 429, 458));
    EXPECT_EQ(i.editor->getNameField()->getViewSize(), CRect(175, 443.5, 292, 458.5));
    EXPECT_STREQ(i.editor->getNameField()->getText(), kFactoryPresetNames[0]);
    EXPECT_EQ(i.editor->getPresetMenu()->getNbEntries(), kNumPresets);
    EXPECT_EQ(i.editor->getPresetMenu()->getStyle(), 0x1E00);

    TestEffect kestrel;
    TestEditor editor(nullptr, kKestrelPresetBar);  // no effect: open refuses
    EXPECT_FALSE(editor.open(nullptr));
    EXPECT_EQ(editor.getPresetBarControl(Editor::kTagPresetName), nullptr);
    TestEditor k(&kestrel, kKestrelPresetBar);
    ASSERT_TRUE(k.open(nullptr));
    EXPECT_EQ(k.getPresetBarControl(Editor::kTagDefaultBank)->getViewSize(), CRect(32, 364, 69, 374));
    EXPECT_EQ(k.getNameField()->getViewSize(), CRect(175, 361.5, 292, 376.5));
    k.close();
    EXPECT_EQ(k.getPresetBarControl(Editor::kTagDefaultBank), nullptr);
}

TEST_F(PresetBarTest, MenuOpensInTwoColumnsAndSelectsThePresetChosen) {
    Instance i;
    i.clickControl(Editor::kTagPresetMenu);
    COptionMenuPopup* popup = i.editor->getPresetMenu()->getPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->getColumns(), 2);
    const CRect tenth = popup->getEntryRect(10);
    EXPECT_GT(tenth.left, popup->getEntryRect(9).left);  // entry 10 starts the second column
    const CRect last = popup->getEntryRect(15);
    EXPECT_EQ(last.left, tenth.left);  // and holds the last six
    EXPECT_TRUE(popup->getEntryRect(16).isEmpty());
    i.click((last.left + last.right) / 2, (last.top + last.bottom) / 2);
    EXPECT_EQ(i.effect->getCurrentPreset(), 15);
    EXPECT_EQ(i.editor->getPresetMenu()->getCurrentIndex(), 15);
    EXPECT_STREQ(i.editor->getNameField()->getText(), kFactoryPresetNames[15]);
    ASSERT_EQ(i.effect->applied.size(), size_t(kNumPresetParams));  // preset 15 reached the engine
    EXPECT_EQ(i.effect->applied[3].second, kBorealisFactoryPresets[15][3]);
}

TEST_F(PresetBarTest, RockerStepsWithinTheBankAndReappliesAtTheEnds) {
    Instance i;
    const CRect r = i.editor->getRocker()->getViewSize();
    i.effect->selectPreset(0);
    i.editor->getPresetMenu()->setCurrent(0);
    i.click(r.left + 3, (r.top + r.bottom) / 2);  // left at preset 0: stays
    EXPECT_EQ(i.effect->getCurrentPreset(), 0);
    i.click(r.right - 3, (r.top + r.bottom) / 2);
    EXPECT_EQ(i.effect->getCurrentPreset(), 1);
    EXPECT_EQ(i.editor->getPresetMenu()->getCurrentIndex(), 1);
    EXPECT_STREQ(i.editor->getNameField()->getText(), kFactoryPresetNames[1]);

    i.effect->selectPreset(15);
    i.effect->applied.clear();
    i.click(r.right - 3, (r.top + r.bottom) / 2);
    EXPECT_EQ(i.effect->getCurrentPreset(), 15);
    EXPECT_EQ(i.effect->applied.size(), size_t(kNumPresetParams));  // re-applied
    EXPECT_EQ(i.editor->getPresetMenu()->getCurrentIndex(), 15);
}

TEST_F(PresetBarTest, TypedNameIsCutTo24AndRenamesTheCurrentPresetOnly) {
    Instance i;
    i.effect->selectPreset(4);
    i.editor->getPresetMenu()->setCurrent(4);
    i.clickControl(Editor::kTagPresetName);
    for (int k = 0; k < 40; ++k) {
        VstKeyCode back{0, kVKeyBack, 0};
        i.frame()->dispatchKeyDown(back);
    }
    i.typeKeys("Mastering bus, gentle glue 2");  // 28 characters
    i.pressReturn();
    const std::string cut = "Mastering bus, gentle gl";
    EXPECT_STREQ(i.editor->getNameField()->getText(), cut.c_str());
    EXPECT_EQ(i.editor->getPresetMenu()->getEntry(4), cut);
    EXPECT_EQ(presetName(i.effect->getPresets()[4]), cut);
    char hostName[kPresetNameLength + 1] = {};
    i.effect->getProgramName(hostName);
    EXPECT_EQ(std::string(hostName), cut);
    EXPECT_EQ(presetName(i.effect->getPresets()[3]), kFactoryPresetNames[3]);

    // A rename from the host shows in the field and the menu.
    char renamed[] = "From the host";
    i.effect->setProgramName(renamed);
    EXPECT_STREQ(i.editor->getNameField()->getText(), "From the host");
    EXPECT_STREQ(i.editor->getPresetMenu()->getEntry(4), "From the host");
}

TEST_F(PresetBarTest, IdleTimerRunsOnlyWhileOpenAndFiresWhenIdleCallsStop) {
    Instance i;
    EXPECT_TRUE(i.editor->isIdleTimerRunning());
    // The checks that the timer is not yet due again only hold when the calls themselves took
    // less than its 50 ms period: a loaded machine running a sanitizer build may be slower.
    const auto timed = [](auto&& call) {
        const auto start = std::chrono::steady_clock::now();
        const bool fired = call();
        return std::make_pair(fired, std::chrono::steady_clock::now() - start < std::chrono::milliseconds(40));
    };
    const auto afterIdle = timed([&] { i.editor->idle(); return i.editor->serviceIdleTimer(); });
    if (afterIdle.second) EXPECT_FALSE(afterIdle.first);  // just serviced
    const unsigned ticksBefore = i.editor->getIdleTimerTicks();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const auto due = timed([&] { return i.editor->serviceIdleTimer(); });
    EXPECT_TRUE(due.first);
    EXPECT_EQ(i.editor->getIdleTimerTicks(), ticksBefore + 1);
    if (due.second) EXPECT_FALSE(i.editor->serviceIdleTimer());
    i.editor->close();
    EXPECT_FALSE(i.editor->isIdleTimerRunning());
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_FALSE(i.editor->serviceIdleTimer());
}

}  // namespace
}  // namespace pbtest

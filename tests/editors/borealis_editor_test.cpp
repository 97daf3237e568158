// The Orv Borealis window, driven through the effect's AEffect record and synthetic mouse and
// key events on its offscreen frame.
#include <chrono>
#include <cmath>
#include <thread>

#include "borealis/borealis.h"
#include "borealis/editor/borealis_layout.h"
#include "editor_harness.h"
#include "gui/editor_scale.h"
#include "gui/formatters.h"

using namespace edtest;

namespace {

const auto* releaseFontCaches = ::testing::AddGlobalTestEnvironment(new ReleaseFontCaches);

using BorealisEditorTest = EditorFixture<Borealis>;

// The size menu of the settings page.
COptionMenu* sizeMenuOf(BorealisEditor* editor) { return dynamic_cast<COptionMenu*>(editor->getControl(kTagEditorScale)); }

// The user chooses entry `index` of the size menu.
void chooseSize(BorealisEditor* editor, COptionMenu* menu, int index) {
    menu->setCurrent(index);
    editor->valueChanged(menu);
}

TEST_F(BorealisEditorTest, AttachedAtConstructionWithTheWindowSize) {
    EXPECT_TRUE(record()->flags & effFlagsHasEditor);
    ERect* r = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &r), 1);
    EXPECT_EQ(r->right - r->left, 450);
    EXPECT_EQ(r->bottom - r->top, 460);
    open();
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &r), 1);
    EXPECT_EQ(r->right, 450);
    EXPECT_EQ(r->bottom, 460);
    EXPECT_EQ(frame->getWidth(), 450);
    EXPECT_EQ(frame->getHeight(), 460);
}

TEST_F(BorealisEditorTest, ControlsShowTheEffectsValuesAndFollowHostAutomation) {
    open();
    for (int tag : {kPower, kFat, kThreshold, kRatio, kRelease, kLow, kMix, kMeters, kVuIntegr, kOverIndic}) {
        ASSERT_NE(editor->getControl(tag), nullptr) << tag;
        EXPECT_FLOAT_EQ(editor->getControl(tag)->getValue(), fx->getParameter(tag)) << tag;
    }
    hostSetsThenIdle(kRatio, 0.96f);  // step 19: 12 : 1
    EXPECT_FLOAT_EQ(editor->getControl(kRatio)->getValue(), 0.96f);
    EXPECT_STREQ(editor->getReadout(41)->getText(), "12.00 : 1");
    hostSetsThenIdle(kRatio, 1.0f);
    EXPECT_STREQ(editor->getReadout(41)->getText(), "oo : 1");
    hostSetsThenIdle(kRelease, 0.5f);  // 1000 ms
    EXPECT_STREQ(editor->getReadout(43)->getText(), "1.00s");
    hostSetsThenIdle(kTilt, 0.3f);
    EXPECT_STREQ(editor->getReadout(48)->getText(), "20L");
    hostSetsThenIdle(kFat, 1.0f);
    EXPECT_FLOAT_EQ(editor->getControl(kFat)->getValue(), 1.0f);
    hostSetsThenIdle(kVuIntegr, 0.5f);  // 300 ms
    EXPECT_FLOAT_EQ(editor->getControl(kVuIntegr)->getValue(), 0.5f);
    EXPECT_NEAR(editor->getSettingsDisplay(kVuIntegr)->getValue(), 300.0f, 0.01f);
}

TEST_F(BorealisEditorTest, KnobDragAndButtonClickReachTheHostInsideEditGestures) {
    open();
    const float before = fx->getParameter(kThreshold);
    const CPoint c = centreOf(kThreshold);
    drag(c, CPoint(c.x, c.y - 30));  // 30 of 300 pixels: a tenth of the range
    const float after = fx->getParameter(kThreshold);
    EXPECT_NEAR(after, before + 0.1f, 1e-4f);
    EXPECT_TRUE(automated(kThreshold, after));
    EXPECT_EQ(hostLog().begins, std::vector<int>{kThreshold});
    EXPECT_EQ(hostLog().ends, std::vector<int>{kThreshold});

    hostLog().clear();
    const float limiter = fx->getParameter(kLimiter);
    click(centreOf(kLimiter));
    EXPECT_FLOAT_EQ(fx->getParameter(kLimiter), limiter < 0.5f ? 1.0f : 0.0f);
    EXPECT_EQ(hostLog().begins, std::vector<int>{kLimiter});
    EXPECT_EQ(hostLog().ends, std::vector<int>{kLimiter});
    EXPECT_EQ(hostLog().automated.size(), 1u);

    // The meter-settings knobs are the user's own and are not automated.
    hostSetsThenIdle(56, 1.0f);
    hostLog().clear();
    hostSetsThenIdle(kPpmReturn, 0.7f);
    const CPoint s = centreOf(kPpmReturn);
    drag(s, CPoint(s.x, s.y + 60));
    EXPECT_NEAR(fx->getParameter(kPpmReturn), 0.5f, 1e-4f);
    EXPECT_FALSE(anyAutomation(kPpmReturn));
}

// At every scale the window is that much larger and the same gestures, at the scaled
// positions, move the same parameters by the same amounts.
TEST_F(BorealisEditorTest, EveryScaleSizesTheWindowAndTakesTheSameGestures) {
    EXPECT_EQ(dispatch(effVendorSpecific, kEditorScaleRequest, 0), 100);  // only asks
    for (const int percent : {125, 150, 175, 200, 100}) {
        SCOPED_TRACE(percent);
        const double s = percent / 100.0;
        ASSERT_EQ(dispatch(effVendorSpecific, kEditorScaleRequest, percent), percent);
        EXPECT_EQ(dispatch(effVendorSpecific, kEditorScaleRequest, 130), percent);  // not offered
        ERect* r = nullptr;
        ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &r), 1);
        EXPECT_EQ(r->right - r->left, static_cast<int>(std::ceil(450 * s)));
        EXPECT_EQ(r->bottom - r->top, static_cast<int>(std::ceil(460 * s)));
        open();
        EXPECT_EQ(frame->getDeviceWidth(), r->right);
        EXPECT_EQ(frame->getDeviceHeight(), r->bottom);
        EXPECT_EQ(frame->getScale(), s);
        // The harness's gestures reach the frame at the scaled positions.
        hostSetsThenIdle(kThreshold, 0.5f);
        const CPoint c = centreOf(kThreshold);
        drag(c, CPoint(c.x, c.y - 30));  // a tenth of the range, as at 100 %
        EXPECT_NEAR(fx->getParameter(kThreshold), 0.6f, 1e-4f);
        const float limiter = fx->getParameter(kLimiter);
        click(centreOf(kLimiter));
        EXPECT_FLOAT_EQ(fx->getParameter(kLimiter), limiter < 0.5f ? 1.0f : 0.0f);
        const float ratio = fx->getParameter(kRatio);
        frame->dispatchWheel(device(centreOf(kRatio)), 1.0f, CButtonState());
        EXPECT_NE(fx->getParameter(kRatio), ratio);  // the wheel turns the knob under the mouse
        typeIntoReadout(kThreshold, 44, "-12");
        EXPECT_FLOAT_EQ(fx->getParameter(kThreshold), 0.5f);
        close();
    }
}

// The size menu on the settings page: a host that resizes its window gets the editor rebuilt
// at the new size on the next idle pass; one that refuses keeps the old size, and the page says
// the new one comes with the next opening. The choice is stored for the user either way.
TEST_F(BorealisEditorTest, TheSizeMenuResizesTheWindowOrWaitsForTheNextOpening) {
    ASSERT_EQ(dispatch(effVendorSpecific, kEditorScaleRequest, 100), 100);
    open();
    hostSetsThenIdle(56, 1.0f);
    COptionMenu* menu = sizeMenuOf(editor);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->getCurrentIndex(), 0);
    // 150 %, accepted.
    chooseSize(editor, menu, 2);
    ASSERT_EQ(hostLog().sizes.size(), 1u);
    EXPECT_EQ(hostLog().sizes[0], std::make_pair(675, 690));
    EXPECT_EQ(storedEditorScale(), 150);
    dispatch(effEditIdle);
    frame = editor->getFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->getScale(), 1.5);
    EXPECT_EQ(frame->getDeviceWidth(), 675);
    EXPECT_TRUE(editor->isSettingsPageShown());
    ERect* r = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &r), 1);
    EXPECT_EQ(r->right, 675);
    // 200 %, refused: the window stays at 150 % and the note shows; the next opening is 200 %.
    hostLog().acceptsSize = false;
    menu = sizeMenuOf(editor);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->getCurrentIndex(), 2);
    chooseSize(editor, menu, 4);
    dispatch(effEditIdle);
    EXPECT_EQ(editor->getFrame(), frame);
    EXPECT_EQ(frame->getScale(), 1.5);
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &r), 1);
    EXPECT_EQ(r->right, 675);
    EXPECT_EQ(storedEditorScale(), 200);
    close();
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &r), 1);
    EXPECT_EQ(r->right, 900);
    open();
    EXPECT_EQ(frame->getScale(), 2.0);
    close();
    storeEditorScale(100);
}

// At 200 % the size menu's list opens under a click on the menu and an entry clicked in it is
// chosen: the list's hit areas follow the scale too.
TEST_F(BorealisEditorTest, TheSizeMenusListTakesClicksAtTheScale) {
    ASSERT_EQ(dispatch(effVendorSpecific, kEditorScaleRequest, 200), 200);
    open();
    hostSetsThenIdle(56, 1.0f);
    COptionMenu* menu = sizeMenuOf(editor);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->getCurrentIndex(), 4);
    click(centreOf(kTagEditorScale));
    COptionMenuPopup* list = menu->getPopup();
    ASSERT_NE(list, nullptr);
    dispatch(effEditIdle);
    const CPoint entry = list->getEntryRect(1).getCenter();  // 125 %
    hover(entry);
    EXPECT_EQ(list->getHighlighted(), 1);
    click(entry);
    EXPECT_EQ(menu->getPopup(), nullptr);
    ASSERT_EQ(hostLog().sizes.size(), 1u);
    EXPECT_EQ(hostLog().sizes[0], std::make_pair(563, 575));
    EXPECT_EQ(storedEditorScale(), 125);
    close();
    storeEditorScale(100);
}

// An instance whose size menu nobody touched writes nothing back.
TEST_F(BorealisEditorTest, AnUntouchedSizeMenuStoresNothing) {
    storeEditorScale(125);
    open();
    hostSetsThenIdle(56, 1.0f);
    close();
    EXPECT_EQ(storedEditorScale(), 125);
    storeEditorScale(100);
}

TEST_F(BorealisEditorTest, TypedReadoutValuesBecomeParameterValues) {
    open();
    struct Case {
        int knob, readout;
        const char* typed;
        float expected;
    } cases[] = {
        {kRatio, 41, "64", 1.0f},              // limited to 16
        {kRatio, 41, "1.2", 0.41f},            // step 8
        {kAttack, 42, "500", 0.93979f},        // log10(50000) / 5
        {kAttack, 42, "5000", 1.0f},           // limited to 1000 ms
        {kRelease, 43, "2k", 0.65051f},        // 2000 ms
        {kRelease, 43, "350ms", 0.27203f},     // the unit ends the number
        {kThreshold, 44, "-12", 0.5f},
        {kThreshold, 44, "-60", 1.0f},         // limited to -30 dB
        {kLow, 45, "100", 0.5f},
        {kHigh, 46, "1,5", 0.14624f},          // 1.5 kHz
        {kLink, 47, "25", 0.25f},
        {kTilt, 48, "-50", 0.0f},
        {kOutput, 50, "6", 0.75f},
        {kMix, 49, "40%", 0.4f},
        {kMakeup, 51, "-12", 0.0f},
    };
    for (const Case& c : cases) {
        hostLog().clear();
        typeIntoReadout(c.knob, c.readout, c.typed);
        EXPECT_NEAR(fx->getParameter(c.knob), c.expected, 1e-4f) << c.typed;
        EXPECT_TRUE(automated(c.knob, c.expected)) << c.typed;
        EXPECT_NEAR(editor->getControl(c.knob)->getValue(), c.expected, 1e-4f) << c.typed;
    }
    EXPECT_STREQ(editor->getReadout(45)->getText(), "100Hz");
}

TEST_F(BorealisEditorTest, TextThatIsNoNumberKeepsTheValueAndEscapeCancels) {
    open();
    hostSetsThenIdle(kAttack, 0.4f);     // 1 ms
    hostSetsThenIdle(kThreshold, 0.5f);  // -12 dB
    hostSetsThenIdle(kMix, 0.7f);
    struct Case {
        int knob, readout;
        const char* typed;
        float kept;
        const char* shown;
    } cases[] = {
        {kAttack, 42, "abc", 0.4f, "1.00ms"},
        {kThreshold, 44, "", 0.5f, "-12.00dB"},
        {kMix, 49, "-", 0.7f, "70%"},
        {kMix, 49, " ", 0.7f, "70%"},
    };
    for (const Case& c : cases) {
        hostLog().clear();
        typeIntoReadout(c.knob, c.readout, c.typed);
        EXPECT_FLOAT_EQ(fx->getParameter(c.knob), c.kept) << '"' << c.typed << '"';
        EXPECT_FALSE(anyAutomation(c.knob)) << '"' << c.typed << '"';
        EXPECT_STREQ(editor->getReadout(c.readout)->getText(), c.shown);
    }

    // Opening a readout for typing selects its text, so digits typed at once replace it.
    hover(centreOf(kThreshold));
    dispatch(effEditIdle);
    click(editor->getReadout(44)->getViewSize().getCenter());
    EXPECT_TRUE(editor->getReadout(44)->isAllSelected());
    keyDown(0, '3');
    keyDown(kVKeyEscape);  // cancels: nothing changes
    EXPECT_FALSE(editor->getReadout(44)->isTyping());
    EXPECT_FLOAT_EQ(fx->getParameter(kThreshold), 0.5f);
    EXPECT_STREQ(editor->getReadout(44)->getText(), "-12.00dB");
    click(editor->getReadout(44)->getViewSize().getCenter());
    keyDown(0, '0');
    keyDown(kVKeyReturn);
    EXPECT_NEAR(fx->getParameter(kThreshold), 1.0f / 6.0f, 1e-4f);  // 0 dB
}

TEST_F(BorealisEditorTest, ReadoutGoesTwoSecondsAfterADragEnds) {
    open();
    const CPoint c = centreOf(kRatio);
    hover(c);
    dispatch(effEditIdle);
    frame->dispatchMouseDown(c, CButtonState(kLButton));
    frame->dispatchMouseMoved(CPoint(c.x, c.y - 20), CButtonState(kLButton));
    dispatch(effEditIdle);
    ASSERT_TRUE(editor->isReadoutShown(41));
    fakeNow() += 5000;  // held for a long time: the readout stays while dragging
    dispatch(effEditIdle);
    EXPECT_TRUE(editor->isReadoutShown(41));
    frame->dispatchMouseUp(CPoint(c.x, c.y - 20), CButtonState(kLButton));
    hover(CPoint(20, 20));  // away from the knob
    dispatch(effEditIdle);
    EXPECT_TRUE(editor->isReadoutShown(41));
    fakeNow() += 2100;
    dispatch(effEditIdle);
    EXPECT_FALSE(editor->isReadoutShown(41));
}

TEST_F(BorealisEditorTest, ARefusedBankShowsPresetZeroWhichIsNowCurrent) {
    open();
    CControl* menu = editor->getPresetBarControl(CPresetSystemEditor::kTagPresetMenu);
    auto* name = dynamic_cast<CTextEdit*>(editor->getPresetBarControl(CPresetSystemEditor::kTagPresetName));
    ASSERT_NE(menu, nullptr);
    ASSERT_NE(name, nullptr);
    click(CPoint(340, 451));  // rocker, right half: preset 1
    click(CPoint(340, 451));  // preset 2
    ASSERT_EQ(fx->getCurrentPreset(), 2);
    BankFileRecord refused{};
    refused.identifier = 0x12345678;  // another plug-in's bank
    editor->loadBankRecord(refused, false);
    EXPECT_EQ(fx->getCurrentPreset(), 0);
    EXPECT_EQ(static_cast<int>(menu->getValue() + 0.5f), 0);
    char current[64] = {};
    fx->getProgramName(current);
    EXPECT_STREQ(name->getText(), current);
    click(CPoint(340, 451));  // next from the preset really shown
    EXPECT_EQ(fx->getCurrentPreset(), 1);
    EXPECT_EQ(static_cast<int>(menu->getValue() + 0.5f), 1);
}

TEST_F(BorealisEditorTest, ReadoutAppearsUnderTheMouseAndGoesTwoSecondsLater) {
    open();
    hostSetsThenIdle(kRatio, 0.96f);
    hover(centreOf(kRatio));
    dispatch(effEditIdle);
    ASSERT_TRUE(editor->isReadoutShown(41));
    EXPECT_STREQ(editor->getReadout(41)->getText(), "12.00 : 1");
    EXPECT_FALSE(editor->isReadoutShown(42));

    hover(CPoint(20, 20));  // plain background
    fakeNow() += 1500;
    dispatch(effEditIdle);
    EXPECT_TRUE(editor->isReadoutShown(41));
    fakeNow() += 600;
    dispatch(effEditIdle);
    EXPECT_FALSE(editor->isReadoutShown(41));

    // A button has no readout.
    hover(centreOf(kLimiter));
    dispatch(effEditIdle);
    for (int tag = 41; tag <= 51; ++tag) EXPECT_FALSE(editor->isReadoutShown(tag)) << tag;
}

TEST_F(BorealisEditorTest, ReadoutBeingTypedIntoStaysUntilFinished) {
    open();
    hover(centreOf(kAttack));
    dispatch(effEditIdle);
    click(editor->getReadout(42)->getViewSize().getCenter());
    ASSERT_TRUE(editor->getReadout(42)->isTyping());
    hover(CPoint(20, 20));
    fakeNow() += 5000;
    dispatch(effEditIdle);
    EXPECT_TRUE(editor->isReadoutShown(42));
    for (int k = 0; k < 12; ++k) keyDown(kVKeyBack);
    keyDown(0, '1');
    keyDown(kVKeyReturn);
    EXPECT_NEAR(fx->getParameter(kAttack), 0.4f, 1e-4f);  // 1 ms
}

TEST_F(BorealisEditorTest, TooltipShowsNameAndValueAfterTheHoverDelayAndFollowsTheValue) {
    open();
    hostSetsThenIdle(kAttack, 0.4f);  // 1 ms
    const CPoint c = centreOf(kAttack);
    const CRect knob = editor->getControl(kAttack)->getViewSize();
    const std::uint32_t below = pixel(frame, static_cast<int>(c.x), static_cast<int>(knob.bottom + 10));
    hover(c);
    dispatch(effEditIdle);
    fakeNow() += 300;
    dispatch(effEditIdle);
    EXPECT_FALSE(frame->isTooltipShown());  // not yet
    fakeNow() += 400;
    dispatch(effEditIdle);
    ASSERT_TRUE(frame->isTooltipShown());
    EXPECT_EQ(frame->getTooltip().getText(), "Attack\n1.00ms");
    // Drawn below the knob, inside the window, over what was there.
    const CRect box = frame->getTooltip().getBox();
    EXPECT_GE(box.top, knob.bottom);
    EXPECT_TRUE(box.left >= 0 && box.right <= 450 && box.bottom <= 460);
    EXPECT_NE(pixel(frame, static_cast<int>(c.x), static_cast<int>(knob.bottom + 10)), below);

    writePng("borealis-tooltip.png");
    hostSetsThenIdle(kAttack, 0.6f);  // automation: the value in the tooltip follows
    dispatch(effEditIdle);
    EXPECT_EQ(frame->getTooltip().getText(), "Attack\n10.0ms");

    // A press hides it, and it stays away on the same control.
    frame->dispatchMouseDown(c, CButtonState(kLButton));
    EXPECT_FALSE(frame->isTooltipShown());
    frame->dispatchMouseUp(c, CButtonState(kLButton));
    fakeNow() += 2000;
    dispatch(effEditIdle);
    EXPECT_FALSE(frame->isTooltipShown());
    dispatch(effEditIdle);
    EXPECT_EQ(pixel(frame, static_cast<int>(c.x), static_cast<int>(knob.bottom + 10)), below);

    // Another control: its own tooltip; moving away or leaving the window hides it.
    restOn(centreOf(kLimiter));
    ASSERT_TRUE(frame->isTooltipShown());
    EXPECT_EQ(frame->getTooltip().getText(), "Output limiter\nOff");
    hover(CPoint(20, 20));
    dispatch(effEditIdle);
    EXPECT_FALSE(frame->isTooltipShown());
    restOn(centreOf(kRatio));
    EXPECT_EQ(frame->getTooltip().getText().substr(0, 6), "Ratio\n");
    frame->dispatchMouseExited();
    EXPECT_FALSE(frame->isTooltipShown());
    restOn(centreOf(kRatio));
    close();  // closing with a tooltip shown
    open();
    EXPECT_FALSE(frame->isTooltipShown());
}

TEST_F(BorealisEditorTest, EveryControlHasATooltipThatFitsTheWindow) {
    open();
    const std::vector<CControl*> all = pointableControls();
    EXPECT_GE(all.size(), 50u);
    for (CControl* c : all) {
        std::string text;
        ASSERT_TRUE(editor->tooltipFor(c, text)) << "tag " << c->getTag();
        EXPECT_FALSE(text.empty() || text[0] == '\n') << "tag " << c->getTag();
    }
    std::string text;
    ASSERT_TRUE(editor->tooltipFor(editor->getControl(kVuRefer), text));
    EXPECT_EQ(text, "VU reference level\n" + std::string([&] {
                  char t[64] = {};
                  formatDbfs(fx->getUnitValue(kVuRefer), t);
                  return std::string(t);
              }()));
    // The preset bar's tooltips sit above it, inside the window.
    restOn(editor->getPresetBarControl(CPresetSystemEditor::kTagRecallMemoB)->getViewSize().getCenter());
    ASSERT_TRUE(frame->isTooltipShown());
    const CRect box = frame->getTooltip().getArea();
    EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= 450 && box.bottom <= 444);
}

TEST_F(BorealisEditorTest, PagesSwitchThroughTheEffect) {
    open();
    EXPECT_FALSE(editor->isSettingsPageShown());
    hostSetsThenIdle(56, 1.0f);
    EXPECT_TRUE(editor->isSettingsPageShown());
    hostSetsThenIdle(56, 0.0f);
    EXPECT_FALSE(editor->isSettingsPageShown());

    click(CPoint(150, 412));  // the "meter settings" plate of the main page
    EXPECT_TRUE(editor->isSettingsPageShown());
    hostSetsThenIdle(kRatio, 0.96f);  // controls of the hidden page still follow
    EXPECT_FLOAT_EQ(editor->getControl(kRatio)->getValue(), 0.96f);
    click(CPoint(200, 80));  // the title plate of the settings page
    EXPECT_FALSE(editor->isSettingsPageShown());
    EXPECT_TRUE(hostLog().automated.empty());
}

TEST_F(BorealisEditorTest, MetersAreFedOnIdleOnlyOnTheMainPage) {
    dispatch(effMainsChanged, 0, 1);
    hostSetsThenIdle(kMeters, 0.0f);  // input level
    open();
    process(4096, 0.5f);
    dispatch(effEditIdle);
    COldVuMeter* left = editor->getMeter(0);
    EXPECT_GT(fx->meters().vu(0), 0.01);
    EXPECT_FLOAT_EQ(left->getVuLevel(), static_cast<float>(fx->meters().vu(0)));
    EXPECT_FLOAT_EQ(left->getPpmHold(), static_cast<float>(fx->meters().ppmHold(0)));

    hostSetsThenIdle(56, 1.0f);
    const float shown = left->getVuLevel();
    process(8192, 0.0f);
    dispatch(effEditIdle);
    EXPECT_FLOAT_EQ(left->getVuLevel(), shown);
    hostSetsThenIdle(56, 0.0f);
    dispatch(effEditIdle);
    EXPECT_FLOAT_EQ(left->getVuLevel(), static_cast<float>(fx->meters().vu(0)));
}

TEST_F(BorealisEditorTest, HoldsAreReleasedAfterTwoSecondsOfAudio) {
    dispatch(effMainsChanged, 0, 1);
    hostSetsThenIdle(kMeters, 0.0f);
    open();
    process(4096, 0.5f);
    dispatch(effEditIdle);
    ASSERT_GT(fx->meters().ppmHold(0), 0.1);
    process(44100, 0.0f);  // one second: kept
    dispatch(effEditIdle);
    EXPECT_GT(fx->meters().ppmHold(0), 0.1);
    process(44100 + 4096, 0.0f);
    dispatch(effEditIdle);
    // The editor shows the release at once; the processing carries it out at its next block.
    EXPECT_EQ(fx->meters().shown(0).ppmHold, 0.0);
    EXPECT_EQ(fx->meters().shown(0).ppmHoldAge, 0);
    process(64, 0.0f);
    EXPECT_LT(fx->meters().ppmHold(0), 0.1) << "the hold follows the quiet signal again";
    EXPECT_LE(fx->meters().ppmHoldAge(0), 64);
}

TEST_F(BorealisEditorTest, MeterClickClearsTheHeldOverLampsAndTheFeeds) {
    dispatch(effMainsChanged, 0, 1);
    hostSetsThenIdle(kMeters, 0.0f);
    open();
    process(4096, 0.5f);
    COldVuMeter* right = editor->getMeter(1);
    right->setOver(1.0f);
    right->setOver(0.0f);
    ASSERT_TRUE(right->isOverHeld());
    const double heldPpm = fx->meters().ppmHold(0);
    ASSERT_GT(heldPpm, 0.1);
    click(CPoint(100, 50));  // the left meter's face
    EXPECT_FALSE(right->isOverHeld());
    EXPECT_EQ(fx->meters().shown(0).vu, 0.0);
    EXPECT_EQ(fx->meters().shown(1).ppm, 0.0);
    EXPECT_EQ(fx->meters().shown(0).ppmHold, heldPpm) << "the holds are kept";
    // The processing's followers start again at its next block.
    process(1, 0.0f);
    EXPECT_LT(fx->meters().vu(0), 0.01);
    EXPECT_LT(fx->meters().ppm(1), 0.01);
    EXPECT_EQ(fx->meters().ppmHold(0), heldPpm);
}

TEST_F(BorealisEditorTest, HostChangesShowAtTheNextIdleNotInsideTheHostsCall) {
    open();
    hostSets(kRatio, 0.5f);
    dispatch(effEditIdle);
    CControl* ratio = editor->getControl(kRatio);
    const std::string shown = editor->getReadout(41)->getText();

    // setParameter may come from the audio thread: it leaves the window alone.
    hostSets(kRatio, 0.7f);
    hostSets(kRatio, 0.96f);
    EXPECT_FLOAT_EQ(ratio->getValue(), 0.5f);
    EXPECT_EQ(editor->getReadout(41)->getText(), shown);
    dispatch(effEditIdle);
    EXPECT_FLOAT_EQ(ratio->getValue(), 0.96f) << "the latest of the changes";
    EXPECT_STREQ(editor->getReadout(41)->getText(), "12.00 : 1");

    // Without idle calls from the host, the editor's 50 ms timer takes the changes.
    hostSets(kVuIntegr, 0.5f);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    ASSERT_TRUE(editor->serviceIdleTimer());
    EXPECT_FLOAT_EQ(editor->getControl(kVuIntegr)->getValue(), 0.5f);
    EXPECT_NEAR(editor->getSettingsDisplay(kVuIntegr)->getValue(), 300.0f, 0.01f);
}

TEST_F(BorealisEditorTest, EachPageSwitchBetweenTwoIdleCallsSwapsThePagesOnce) {
    open();
    hostSets(56, 1.0f);
    hostSets(57, 1.0f);
    dispatch(effEditIdle);
    EXPECT_FALSE(editor->isSettingsPageShown()) << "there and back";
    hostSets(56, 1.0f);
    hostSets(57, 1.0f);
    hostSets(56, 1.0f);
    EXPECT_FALSE(editor->isSettingsPageShown());
    dispatch(effEditIdle);
    EXPECT_TRUE(editor->isSettingsPageShown());
}

TEST_F(BorealisEditorTest, TheUsersOwnChangesShowWithoutWaitingForIdle) {
    open();
    // A preset chosen with the rocker moves every control at once.
    CRect rocker = editor->getPresetBarControl(CPresetSystemEditor::kTagPresetRocker)->getViewSize();
    click(CPoint(rocker.right - 2, (rocker.top + rocker.bottom) / 2));
    ASSERT_NE(fx->getCurrentPreset(), 0);
    for (int tag : {kThreshold, kRatio, kAttack, kRelease, kMix, kOutput, kFat, kPower})
        EXPECT_FLOAT_EQ(editor->getControl(tag)->getValue(), fx->getParameter(tag)) << tag;
    // So does a knob typed into, and what the host changed meanwhile.
    hostSets(kOutput, 0.25f);
    typeIntoReadout(kMix, 49, "40");
    EXPECT_NEAR(editor->getControl(kMix)->getValue(), 0.4f, 1e-6f);
    EXPECT_FLOAT_EQ(editor->getControl(kOutput)->getValue(), 0.25f);
    // The page switch goes through the effect and comes back at once too.
    click(centreOf(kTagMainPageSwitch));
    EXPECT_TRUE(editor->isSettingsPageShown());
}

TEST_F(BorealisEditorTest, AReopenedWindowShowsWhatChangedWhileItWasClosed) {
    open();
    close();
    hostSets(kRatio, 0.96f);
    hostSets(kMix, 0.25f);
    hostSets(56, 1.0f);  // for a window that is gone
    open();
    EXPECT_FLOAT_EQ(editor->getControl(kRatio)->getValue(), 0.96f);
    EXPECT_FLOAT_EQ(editor->getControl(kMix)->getValue(), 0.25f);
    EXPECT_STREQ(editor->getReadout(41)->getText(), "12.00 : 1");
    dispatch(effEditIdle);
    EXPECT_FALSE(editor->isSettingsPageShown()) << "a new window opens on the main page";
}

TEST_F(BorealisEditorTest, SideChainButtonsFollowTheInputsAndTheWindow) {
    open();
    setInputs(2);
    click(centreOf(kScExt));
    EXPECT_FLOAT_EQ(editor->getControl(kScExt)->getValue(), 0.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(kScExt), 0.0f);
    EXPECT_FALSE(anyAutomation(kScExt));

    setInputs(4);
    click(centreOf(kScExt));
    EXPECT_FLOAT_EQ(editor->getControl(kScExt)->getValue(), 1.0f);
    EXPECT_TRUE(automated(kScExt, 1.0f));

    // A program change does not move S.C.Ext: the button shows what the user clicked.
    hostSetsThenIdle(kScExt, 0.0f);
    EXPECT_FLOAT_EQ(editor->getControl(kScExt)->getValue(), 1.0f);

    click(centreOf(kScMonit));
    EXPECT_FLOAT_EQ(fx->getParameter(kScMonit), 1.0f);
    EXPECT_FALSE(anyAutomation(kScMonit));  // not a host parameter
    close();
    EXPECT_FLOAT_EQ(fx->getParameter(kScMonit), 0.0f);
    EXPECT_FALSE(anyAutomation(kScMonit));
}

TEST_F(BorealisEditorTest, SuspendResetsTheMetersAndResumeShowsTheLatency) {
    open();
    EXPECT_NEAR(editor->getLatencyDisplay(1)->getValue(), 1660.0f, 0.01f);
    dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    dispatch(effMainsChanged, 0, 1);
    EXPECT_NEAR(editor->getLatencyDisplay(0)->getValue(), 1660.0f * 1000.0f / 96000.0f, 0.01f);
    editor->getMeter(0)->setVuLevel(0.7f);
    dispatch(effMainsChanged, 0, 0);
    EXPECT_LT(editor->getMeter(0)->getVuLevel(), 1e-6f);
}

TEST_F(BorealisEditorTest, OpensAndClosesManyTimes) {
    for (int k = 0; k < 50; ++k) {
        open();
        hostSetsThenIdle(kThreshold, (k % 10) / 10.0f);
        if (k % 7 == 0) hostSetsThenIdle(56, 1.0f);
        hover(centreOf(kMix));
        dispatch(effEditIdle);
        close();
        dispatch(effEditIdle);  // nothing to service while closed
        hostSetsThenIdle(kRatio, 0.5f);
    }
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_EQ(editor->getControl(kThreshold), nullptr);
    open();  // still opens on the main page
    EXPECT_FALSE(editor->isSettingsPageShown());
    EXPECT_FLOAT_EQ(editor->getControl(kRatio)->getValue(), 0.5f);
}

// An effect that failed to construct shows no window.
struct FailedBorealis : Borealis {
    explicit FailedBorealis(audioMasterCallback cb) : Borealis(cb, SimulateFailure{}) {}
};

TEST(BorealisEditorFailure, OpenRefusesWhenTheEffectFailed) {
    FailedBorealis fx(hostCallback);
    BorealisEditor* editor = makeBorealisEditor(&fx);
    EXPECT_FALSE(editor->open(nullptr));
    EXPECT_EQ(editor->getFrame(), nullptr);
    editor->idle();
    editor->close();
}

TEST_F(BorealisEditorTest, WritesBothPages) {
    dispatch(effMainsChanged, 0, 1);
    hostSetsThenIdle(kMeters, 0.0f);
    open();
    process(8192, 0.4f);
    hover(centreOf(kThreshold));
    dispatch(effEditIdle);
    writePng("borealis-main.png");
    hostSetsThenIdle(56, 1.0f);
    writePng("borealis-settings.png");
}

}  // namespace

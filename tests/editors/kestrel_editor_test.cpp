// The Orv Kestrel window: the same editor class with Kestrel's layout, tags and conversions.
#include "editor_harness.h"
#include "kestrel/editor/kestrel_layout.h"
#include "kestrel/kestrel.h"

using namespace edtest;
using namespace kestrel;

namespace {

const auto* releaseFontCaches = ::testing::AddGlobalTestEnvironment(new ReleaseFontCaches);

using KestrelEditorTest = EditorFixture<Kestrel>;

TEST_F(KestrelEditorTest, AttachedAtConstructionWithTheWindowSize) {
    EXPECT_TRUE(record()->flags & effFlagsHasEditor);
    ERect* r = nullptr;
    ASSERT_EQ(dispatch(effEditGetRect, 0, 0, &r), 1);
    EXPECT_EQ(r->right, 450);
    EXPECT_EQ(r->bottom, 378);
    open();
    EXPECT_EQ(frame->getWidth(), 450);
    EXPECT_EQ(frame->getHeight(), 378);
    // Kestrel's controls only: no FAT, Limiter, Low or High knob.
    for (int tag : {kPower, kSoft, kRms, kThreshold, kRatio, kAttack, kRelease, kAutoRelease, kLowScf, kHighScf,
                    kMakeup, kAutoMakeup, kLink, kOutput, kMeters, kScExt, kSmooth, kStereo, kScMonit})
        EXPECT_NE(editor->getControl(tag), nullptr) << tag;
    for (int tag : {1, 4, 7, 9, 13, 15, 21, 22, 45, 46, 47, 48, 49}) EXPECT_EQ(editor->getControl(tag), nullptr) << tag;
}

TEST_F(KestrelEditorTest, EveryControlHasATooltipWithItsValue) {
    open();
    for (CControl* c : pointableControls()) {
        std::string text;
        EXPECT_TRUE(editor->tooltipFor(c, text) && !text.empty()) << "tag " << c->getTag();
    }
    hostSetsThenIdle(kOutput, 1.0f);  // +6 dB
    restOn(centreOf(kOutput));
    ASSERT_TRUE(frame->isTooltipShown());
    EXPECT_EQ(frame->getTooltip().getText(), "Output gain\n6.00dB");
    restOn(centreOf(kStereo));
    EXPECT_EQ(frame->getTooltip().getText().substr(0, 7), "Stereo\n");
}

TEST_F(KestrelEditorTest, KnobDragReachesTheHostInsideAnEditGesture) {
    open();
    hostSetsThenIdle(kOutput, 0.5f);
    const CPoint c = centreOf(kOutput);
    drag(c, CPoint(c.x, c.y - 60));
    EXPECT_NEAR(fx->getParameter(kOutput), 0.7f, 1e-4f);
    EXPECT_TRUE(automated(kOutput, fx->getParameter(kOutput)));
    EXPECT_EQ(hostLog().begins, std::vector<int>{kOutput});
    EXPECT_EQ(hostLog().ends, std::vector<int>{kOutput});

    // The shelf selectors take three positions.
    hostLog().clear();
    const CRect sel = editor->getControl(kLowScf)->getViewSize();
    click(CPoint(sel.getCenter().x, sel.bottom - 2));
    EXPECT_FLOAT_EQ(fx->getParameter(kLowScf), 1.0f);
    EXPECT_TRUE(automated(kLowScf, 1.0f));
}

TEST_F(KestrelEditorTest, TypedReadoutValuesUseKestrelsConversions) {
    open();
    struct Case {
        int knob, readout;
        const char* typed;
        float expected;
    } cases[] = {
        {kRelease, 43, "2000", 0.88907f},  // log10(60) / 2
        {kRelease, 43, "10", 0.0f},        // limited to 33 ms
        {kOutput, 50, "6", 1.0f},
        {kOutput, 50, "12", 1.0f},         // in range, limited to +6 dB
        {kOutput, 50, "-12", 0.0f},
        {kThreshold, 44, "-12", 0.5f},
        {kMakeup, 51, "6", 0.5f},
        {kAttack, 42, "10", 0.6f},
        {kRatio, 41, "4", 0.81f},
    };
    for (const Case& c : cases) {
        hostLog().clear();
        typeIntoReadout(c.knob, c.readout, c.typed);
        EXPECT_NEAR(fx->getParameter(c.knob), c.expected, 1e-4f) << c.typed;
        EXPECT_TRUE(automated(c.knob, c.expected)) << c.typed;
    }
    hostSetsThenIdle(kRelease, 0.88907f);
    EXPECT_STREQ(editor->getReadout(43)->getText(), "2.00s");  // 1999.6 ms, rounded
}

TEST_F(KestrelEditorTest, OnlyKnobsShowReadouts) {
    open();
    hover(centreOf(kLink));
    dispatch(effEditIdle);
    for (int tag = 41; tag <= 51; ++tag) EXPECT_FALSE(editor->isReadoutShown(tag)) << tag;
    hover(centreOf(kMakeup));
    dispatch(effEditIdle);
    EXPECT_TRUE(editor->isReadoutShown(51));
    hostSetsThenIdle(56, 1.0f);  // no readouts on the settings page
    hover(centreOf(kAttack));
    dispatch(effEditIdle);
    EXPECT_FALSE(editor->isReadoutShown(42));
}

TEST_F(KestrelEditorTest, SideChainButtonsAndPages) {
    open();
    setInputs(2);
    click(centreOf(kScExt));
    EXPECT_FLOAT_EQ(editor->getControl(kScExt)->getValue(), 0.0f);
    EXPECT_FALSE(anyAutomation(kScExt));
    setInputs(4);
    click(centreOf(kScExt));
    EXPECT_TRUE(automated(kScExt, 1.0f));

    click(centreOf(kScMonit));
    EXPECT_FLOAT_EQ(fx->getParameter(kScMonit), 1.0f);
    close();
    EXPECT_FLOAT_EQ(fx->getParameter(kScMonit), 0.0f);

    open();
    hostSetsThenIdle(57, 1.0f);
    EXPECT_TRUE(editor->isSettingsPageShown());
    click(CPoint(200, 80));
    EXPECT_FALSE(editor->isSettingsPageShown());
}

TEST_F(KestrelEditorTest, MetersFedAndReset) {
    dispatch(effMainsChanged, 0, 1);
    hostSetsThenIdle(kMeters, 0.0f);
    open();
    process(4096, 0.5f);
    dispatch(effEditIdle);
    EXPECT_GT(fx->meters().vu(1), 0.001);
    EXPECT_FLOAT_EQ(editor->getMeter(1)->getVuLevel(), static_cast<float>(fx->meters().vu(1)));
    EXPECT_FLOAT_EQ(editor->getLatencyDisplay(1)->getValue(), fx->getLatencySamples());
    dispatch(effMainsChanged, 0, 0);
    EXPECT_LT(editor->getMeter(1)->getVuLevel(), 1e-6f);
}

TEST_F(KestrelEditorTest, OpensAndClosesManyTimes) {
    for (int k = 0; k < 50; ++k) {
        open();
        hostSetsThenIdle(kThreshold, (k % 10) / 10.0f);
        if (k % 5 == 0) hostSetsThenIdle(56, 1.0f);
        hover(centreOf(kRelease));
        dispatch(effEditIdle);
        close();
    }
    EXPECT_EQ(editor->getFrame(), nullptr);
}

TEST_F(KestrelEditorTest, WritesBothPages) {
    dispatch(effMainsChanged, 0, 1);
    hostSetsThenIdle(kMeters, 0.0f);
    open();
    process(8192, 0.4f);
    hover(centreOf(kThreshold));
    dispatch(effEditIdle);
    writePng("kestrel-main.png");
    hostSetsThenIdle(56, 1.0f);
    writePng("kestrel-settings.png");
}

}  // namespace

// Text fields, option menus and value displays.
#include <gtest/gtest.h>

#include <cstdio>

#include "support.h"

namespace tktest {
namespace {

struct TextEditTest : ::testing::Test {
    OffscreenFrame f;
    CTextEdit* field = nullptr;
    void SetUp() override {
        field = new CTextEdit(CRect(10, 10, 90, 24), &f.listener, 59, "Init");
        f.frame->addView(field);
    }
};

TEST_F(TextEditTest, EnterKeepsTheTypedTextAndTellsTheListenerOnce) {
    EXPECT_EQ(f.key(0, 'x'), kKeyNotHandled);  // not typing: keys pass through
    EXPECT_EQ(f.down(20, 15), kMouseDownEventHandledButDontNeedMovedOrUpEvents);
    EXPECT_TRUE(field->isTyping());
    EXPECT_EQ(f.frame->getFocusView(), field);
    f.key(kVKeyEnd);  // from the end of the selected text
    f.key(kVKeyBack);
    f.key(kVKeyLeft);
    f.type("X");
    f.key(kVKeyEnd);
    f.type(" 2");
    EXPECT_STREQ(field->getText(), "Init");  // nothing kept before Enter
    EXPECT_TRUE(f.listener.calls.empty());
    EXPECT_EQ(f.key(kVKeyReturn), kKeyHandled);
    EXPECT_STREQ(field->getText(), "InXi 2");
    EXPECT_FALSE(field->isTyping());
    EXPECT_EQ(f.frame->getFocusView(), nullptr);
    ASSERT_EQ(f.listener.calls.size(), 1u);
    EXPECT_EQ(f.listener.calls[0].tag, 59);
    EXPECT_TRUE(f.editor.begins.empty());  // typing is no parameter gesture
}

TEST_F(TextEditTest, TypingStartsWithTheWholeTextSelected) {
    f.down(20, 15);
    EXPECT_TRUE(field->isAllSelected());
    f.type("12");  // replaces the selection
    EXPECT_EQ(field->getTypedText(), "12");
    EXPECT_FALSE(field->isAllSelected());
    f.key(kVKeyReturn);
    EXPECT_STREQ(field->getText(), "12");

    f.down(20, 15);
    f.key(kVKeyBack);  // deletes the selection
    EXPECT_EQ(field->getTypedText(), "");
    f.key(kVKeyEscape);

    f.down(20, 15);
    f.key(kVKeyLeft);  // drops the selection, caret at the start
    f.type("x");
    EXPECT_EQ(field->getTypedText(), "x12");
    f.key(kVKeyEscape);

    // The selection is drawn as a band behind the text.
    f.frame->idle();
    const CColor plain = pixelAt(f.frame, 12, 12);
    f.down(20, 15);
    f.frame->idle();
    EXPECT_FALSE(pixelAt(f.frame, 50, 12) == plain);
    f.key(kVKeyEscape);
}

TEST_F(TextEditTest, EscapeRestoresTheTextWithoutTellingTheListener) {
    f.down(20, 15);
    f.key(kVKeyEnd);
    f.type("abc");
    EXPECT_EQ(field->getTypedText(), "Initabc");
    f.key(kVKeyEscape);
    EXPECT_STREQ(field->getText(), "Init");
    EXPECT_FALSE(field->isTyping());
    EXPECT_TRUE(f.listener.calls.empty());
}

TEST_F(TextEditTest, ClickingElsewhereKeepsTheTextAndRemovalDropsIt) {
    f.down(20, 15);
    f.key(kVKeyEnd);
    f.type("1");
    f.down(50, 60);
    EXPECT_STREQ(field->getText(), "Init1");
    EXPECT_EQ(f.listener.calls.size(), 1u);

    f.down(20, 15);
    f.type("2");
    field->remember();
    f.frame->removeView(field, true);
    EXPECT_FALSE(field->isTyping());
    EXPECT_STREQ(field->getText(), "Init1");
    EXPECT_EQ(f.frame->getFocusView(), nullptr);
    EXPECT_EQ(f.listener.calls.size(), 1u);
    field->forget();
}

TEST_F(TextEditTest, OverlongTextIsCutAndNonAsciiTextDrawsWithoutBreakingTheContext) {
    std::string longText(400, 'a');
    field->setText(longText.c_str());
    EXPECT_EQ(std::string(field->getText()).size(), static_cast<size_t>(kDisplayTextSize - 1));
    field->setText("caf\xe9");  // 8-bit text, not UTF-8
    auto* after = new CParamDisplay(CRect(10, 40, 90, 60));
    after->setBackColor(stripColor(3));
    after->setStyle(kNoFrame | kNoTextStyle);
    f.frame->addView(after);
    f.frame->idle();
    EXPECT_EQ(stripIndexAt(f.frame, 50, 50), 3);
}

struct MenuTest : ::testing::Test {
    OffscreenFrame f;
    COptionMenu* menu = nullptr;
    void SetUp() override {
        menu = new COptionMenu(CRect(60, 66, 72, 78), &f.listener, 71, nullptr, nullptr,
                               kPopupStyle | kCheckStyle | kNoTextStyle | kNoDrawStyle);
        char name[32];
        for (int i = 0; i < 16; ++i) {
            std::snprintf(name, sizeof name, "P%d", i);
            menu->addEntry(name);
        }
        menu->setNbItemsPerColumn(10);
        menu->setCurrent(3);
        f.frame->addView(menu);
    }
};

TEST_F(MenuTest, StyleBitsOfThePresetMenu) {
    EXPECT_EQ(kPopupStyle | kCheckStyle | kNoTextStyle | kNoDrawStyle, 0x1E00);
}

TEST_F(MenuTest, ChoosingAnEntryMakesItCurrentAndTellsTheListener) {
    f.down(65, 70);
    COptionMenuPopup* popup = menu->getPopup();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->getColumns(), 2);  // 10 and 6 entries
    const CRect twelve = popup->getEntryRect(12);
    EXPECT_EQ(twelve.left, popup->getEntryRect(2).right);
    EXPECT_EQ(twelve.top, popup->getEntryRect(2).top);
    const CRect box = popup->getBox();
    EXPECT_TRUE(box.left >= 0 && box.top >= 0);  // moved to fit inside the window
    f.frame->idle();
    const CPoint c = twelve.getCenter();
    f.move(c.x, c.y, 0);
    EXPECT_EQ(popup->getHighlighted(), 12);
    f.down(c.x, c.y);
    f.up(c.x, c.y);
    EXPECT_EQ(menu->getPopup(), nullptr);
    EXPECT_EQ(menu->getCurrentIndex(), 12);
    EXPECT_STREQ(menu->getCurrent(), "P12");
    ASSERT_EQ(f.listener.calls.size(), 1u);
    EXPECT_EQ(f.listener.calls[0].value, 12.0f);
    EXPECT_EQ(f.frame->getNbViews(), 1);  // the list is gone
    f.frame->idle();
}

TEST_F(MenuTest, ClickOutsideOrEscapeClosesWithoutAChange) {
    f.down(65, 70);
    ASSERT_NE(menu->getPopup(), nullptr);
    const CRect box = menu->getPopup()->getBox();
    f.down(box.left > 5 ? 1 : 99, box.top > 5 ? 1 : 79);
    EXPECT_EQ(menu->getPopup(), nullptr);
    f.down(65, 70);
    ASSERT_NE(menu->getPopup(), nullptr);
    f.key(kVKeyEscape);
    EXPECT_EQ(menu->getPopup(), nullptr);
    EXPECT_EQ(menu->getCurrentIndex(), 3);
    EXPECT_TRUE(f.listener.calls.empty());
}

TEST_F(MenuTest, EntriesCanBeRetitledAndOutOfRangeRequestsAreRefused) {
    EXPECT_TRUE(menu->setEntry(3, "Renamed"));
    EXPECT_STREQ(menu->getCurrent(), "Renamed");
    EXPECT_FALSE(menu->setEntry(16, "x"));
    EXPECT_FALSE(menu->setCurrent(-1));
    EXPECT_EQ(menu->getEntry(99), nullptr);
    EXPECT_EQ(menu->getCurrentIndex(), 3);
}

void formatPercent(float value, char* text) { std::snprintf(text, kDisplayTextSize, "%d%%", static_cast<int>(value * 100)); }

TEST(ParamDisplay, ShowsTheValueThroughItsFunctionAndDrawsItsColours) {
    OffscreenFrame f;
    auto* display = new CParamDisplay(CRect(0, 0, 50, 20));
    char text[kDisplayTextSize];
    display->formatValue(0.25f, text);
    EXPECT_STREQ(text, "0.25");
    display->setValueToText(formatPercent);
    display->formatValue(0.25f, text);
    EXPECT_STREQ(text, "25%");

    display->setBackColor(stripColor(4));
    display->setFrameColor(stripColor(5));
    f.frame->addView(display);
    f.frame->idle();
    EXPECT_EQ(stripIndexAt(f.frame, 0, 0), 5);   // frame
    EXPECT_EQ(stripIndexAt(f.frame, 3, 3), 4);   // background
    display->setTransparency(true);
    f.frame->idle();
    EXPECT_EQ(pixelAt(f.frame, 3, 3), kBlackCColor);  // the frame's colour shows through
}

}  // namespace
}  // namespace tktest

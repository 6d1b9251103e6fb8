// Screen model: grid, printing and wrapping, scrollback ring, resize, alternate screen,
// text extraction and the palette.
#include "CharWidth.h"
#include "Palette.h"
#include "ScreenText.h"

#include <gtest/gtest.h>

using namespace orvane;
using orvane::test::cellAt;
using orvane::test::screen;

namespace {

VTAttrs redBackground()
{
    VTAttrs a;
    a.setBg(VTColor::indexed(1));
    return a;
}

}  // namespace

TEST(TerminalModel, FreshTerminalIsBlankWithDefaultStopsAndRegion)
{
    Terminal t(80, 24);
    EXPECT_EQ(t.cols(), 80);
    EXPECT_EQ(t.rows(), 24);
    for (int r = 0; r < 24; ++r)
        for (int c = 0; c < 80; ++c)
            ASSERT_EQ(cellAt(t, r, c), VTCell());
    std::vector<bool> stops(80, false);
    for (int c = 8; c < 80; c += 8)
        stops[size_t(c)] = true;
    EXPECT_EQ(t.tabStops(), stops);
    EXPECT_EQ(t.scrollTop(), 0);
    EXPECT_EQ(t.scrollBottom(), 23);
    EXPECT_EQ(t.cursor(), std::make_pair(0, 0));
    EXPECT_EQ(t.generation(), 0u);
    EXPECT_TRUE(t.cursorVisible);
    EXPECT_TRUE(t.autowrap);

    Terminal tiny(0, -5);
    EXPECT_EQ(tiny.cols(), 1);
    EXPECT_EQ(tiny.rows(), 1);
    tiny.feed("abc\r\n\x1b[5;5H\x1b[2J\x1b[L\x1b[P\tx");  // nothing escapes a 1x1 grid
    EXPECT_EQ(tiny.cursor(), std::make_pair(0, 0));
}

TEST(TerminalModel, WrappingAtTheLastColumn)
{
    Terminal t(80, 3);
    t.feed(std::string(80, 'a'));
    EXPECT_EQ(t.cursorCol(), 79);
    EXPECT_TRUE(t.pendingWrap());
    t.feed("b");
    EXPECT_EQ(t.cursor(), std::make_pair(1, 1));
    EXPECT_EQ(cellAt(t, 1, 0).ch, U'b');

    Terminal off(80, 3);
    off.feed("\x1b[?7l" + std::string(79, 'a') + "xyz");
    EXPECT_EQ(off.rowText(0), std::string(79, 'a') + "z");
    EXPECT_EQ(off.cursor(), std::make_pair(0, 79));
    EXPECT_EQ(off.rowText(1), "");
}

TEST(TerminalModel, DoubleWidthCharacters)
{
    Terminal t(6, 3);
    t.feed("\x1b[41m\xe4\xb8\xad");  // U+4E2D on a red background
    EXPECT_TRUE(cellAt(t, 0, 0).wide);
    EXPECT_EQ(cellAt(t, 0, 0).ch, U'\u4E2D');
    EXPECT_TRUE(cellAt(t, 0, 1).spacer);
    EXPECT_EQ(cellAt(t, 0, 1).ch, U' ');
    EXPECT_EQ(cellAt(t, 0, 1).attrs.bg(), VTColor::indexed(1));
    EXPECT_EQ(t.cursorCol(), 2);
    EXPECT_EQ(t.rowText(0), "\xe4\xb8\xad");
    EXPECT_EQ(t.text({0, 0}, {0, 5}), "\xe4\xb8\xad");

    // In the last column with autowrap on: a pen-coloured space, then the next line.
    t.feed("\x1b[1;6H\xe4\xb8\xad");
    EXPECT_EQ(cellAt(t, 0, 5).ch, U' ');
    EXPECT_FALSE(cellAt(t, 0, 5).wide);
    EXPECT_EQ(cellAt(t, 0, 5).attrs, redBackground());
    EXPECT_TRUE(cellAt(t, 1, 0).wide);
    EXPECT_EQ(t.cursor(), std::make_pair(1, 2));

    // With autowrap off it is dropped.
    Terminal off(6, 3);
    off.feed("\x1b[?7l\x1b[1;6H\xe4\xb8\xad");
    EXPECT_EQ(screen(off), "||");
    EXPECT_EQ(off.cursor(), std::make_pair(0, 5));
    EXPECT_FALSE(off.pendingWrap());
}

TEST(TerminalModel, ZeroWidthCharacterChangesNothing)
{
    Terminal t(10, 2);
    t.feed("e");
    const auto before = t.line(0);
    t.feed("\xcc\x81\xe2\x80\x8b");  // U+0301, U+200B
    EXPECT_EQ(t.line(0), before);
    EXPECT_EQ(t.cursorCol(), 1);
}

TEST(TerminalModel, CharacterWidthRule)
{
    struct Case {
        char32_t c;
        int width;
    } cases[] = {
        {U'a', 1},      {0x00E9, 1},   {0x02FF, 1},  {0x0301, 0},  {0x20DD, 0},  {0x00AD, 1},
        {0x200B, 0},    {0x200F, 0},   {0xFEFF, 0},  {0x2060, 0},  {0x1100, 2},  {0x115F, 2},
        {0x1160, 1},    {0x3042, 2},   {0xAC00, 2},  {0xD7A3, 2},  {0xFF01, 2},  {0xFF61, 1},
        {0x1F600, 2},   {0x231A, 2},   {0x2603, 1},  {0x20000, 2}, {0x3FFFD, 2}, {0x40000, 1},
        {0x10FFFF, 1},  {0x303F, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(charWidth(c.c), c.width) << std::hex << uint32_t(c.c);
}

TEST(TerminalModel, ScrollbackKeepsTheNewestLinesUpToTheLimit)
{
    Terminal t(12, 2);
    for (int i = 0; i < 10001; ++i)
        t.feed("line " + std::to_string(i) + "\r\n");
    // 10001 lines and the empty last one: 10000 lines left the screen and all are kept.
    EXPECT_EQ(t.scrollbackCount(), 10000);
    t.feed("x\r\n");
    EXPECT_EQ(t.scrollbackCount(), 10000);
    EXPECT_EQ(t.text({0, 0}, {0, 11}), "line 1");
    EXPECT_EQ(t.text({9999, 0}, {9999, 11}), "line 10000");
    EXPECT_EQ(t.totalLines(), 10002);
}

TEST(TerminalModel, ScrollbackRingCompactsOnlyWhenMostlyDead)
{
    LineDeque d;
    auto row = [](int i) { return VTRow(1, VTCell{char32_t(i), 0, 0, {}}); };
    for (int i = 0; i < 100; ++i)
        d.append(row(i), 100);
    EXPECT_EQ(d.count(), 100u);
    EXPECT_EQ(d.head, 0u);
    // Each further line drops one by moving the head...
    for (int i = 100; i < 100 + 1024; ++i)
        d.append(row(i), 100);
    EXPECT_EQ(d.head, 1024u);
    EXPECT_EQ(d.items.size(), 1124u);
    EXPECT_EQ(d[0][0].ch, char32_t(1024));
    // ...until more than 1024 dead entries make up over half the list.
    d.append(row(1124), 100);
    EXPECT_EQ(d.head, 0u);
    EXPECT_EQ(d.count(), 100u);
    EXPECT_EQ(d[0][0].ch, char32_t(1025));
    EXPECT_EQ(d[99][0].ch, char32_t(1124));

    // A large limit: the dead part is never more than half, so no compaction yet.
    LineDeque big;
    for (int i = 0; i < 3000 + 1100; ++i)
        big.append(row(i), 3000);
    EXPECT_EQ(big.head, 1100u);
    EXPECT_EQ(big.count(), 3000u);

    LineDeque none;
    none.append(row(1), 0);
    EXPECT_EQ(none.count(), 0u);
}

TEST(TerminalModel, OnlyTheMainScreenTopFeedsTheScrollback)
{
    Terminal region(10, 5);
    region.feed("\x1b[2;5r\x1b[5;1H\n\n\n");
    EXPECT_EQ(region.scrollbackCount(), 0);

    Terminal alt(10, 5);
    alt.feed("\x1b[?1049h\x1b[5;1H\n\n\n");
    EXPECT_EQ(alt.scrollbackCount(), 0);
    alt.feed("\x1b[?1049l\x1b[5;1H\n");
    EXPECT_EQ(alt.scrollbackCount(), 1);

    Terminal off(10, 5);
    off.maxScrollback = 0;
    off.feed("\x1b[5;1H\n\n");
    EXPECT_EQ(off.scrollbackCount(), 0);
}

TEST(TerminalModel, ShrinkingPushesRowsAboveTheCursorOrDropsTheBottom)
{
    Terminal t(10, 24);
    for (int i = 0; i < 24; ++i)
        t.feed("\x1b[" + std::to_string(i + 1) + ";1Hr" + std::to_string(i));
    t.resize(10, 20);
    EXPECT_EQ(t.scrollbackCount(), 4);
    EXPECT_EQ(t.text({0, 0}, {3, 9}), "r0\nr1\nr2\nr3");
    EXPECT_EQ(t.rowText(0), "r4");
    EXPECT_EQ(t.cursor(), std::make_pair(19, 3));
    EXPECT_EQ(t.scrollBottom(), 19);

    Terminal top(10, 24);
    for (int i = 0; i < 24; ++i)
        top.feed("\x1b[" + std::to_string(i + 1) + ";1Hr" + std::to_string(i));
    top.feed("\x1b[H");
    top.resize(10, 20);
    EXPECT_EQ(top.scrollbackCount(), 0);
    EXPECT_EQ(top.rowText(0), "r0");
    EXPECT_EQ(top.rowText(19), "r19");
}

TEST(TerminalModel, ResizePadsWithBlankCellsAndCountsGenerations)
{
    Terminal t(4, 2);
    t.feed("\x1b[44mab\x1b[K");
    const uint64_t g = t.generation();
    t.resize(4, 2);
    EXPECT_EQ(t.generation(), g);
    t.resize(8, 3);
    EXPECT_EQ(t.generation(), g + 1);
    EXPECT_EQ(cellAt(t, 0, 3).attrs.bg(), VTColor::indexed(4));  // erased with the pen's background
    EXPECT_EQ(cellAt(t, 0, 5), VTCell());                         // padding is blank
    EXPECT_EQ(cellAt(t, 2, 0), VTCell());
    EXPECT_FALSE(t.pendingWrap());
    EXPECT_EQ(t.tabStops().size(), 8u);

    t.feed("\x1b[2;3r");
    t.resize(3, 1);
    EXPECT_EQ(t.scrollTop(), 0);
    EXPECT_EQ(t.scrollBottom(), 0);
    EXPECT_EQ(t.rowText(0), "ab");  // cursor was on row 0: the rows below went
}

TEST(TerminalModel, AlternateScreenSurvivesResize)
{
    Terminal t(10, 5);
    t.feed("\x1b[31mmain1\r\nmain2\x1b[5;9H");
    t.feed("\x1b[?1049h\x1b[0m\x1b[Halt");
    EXPECT_TRUE(t.inAltScreen());
    EXPECT_EQ(screen(t), "alt||||");
    t.resize(4, 3);
    t.feed("\x1b[?1049l");
    EXPECT_FALSE(t.inAltScreen());
    EXPECT_EQ(screen(t), "main|main|");
    EXPECT_EQ(t.cursor(), std::make_pair(2, 3));
    EXPECT_EQ(t.pen().fg(), VTColor::indexed(1));

    // Leaving without entering only clears a pending wrap.
    Terminal u(3, 2);
    u.feed("abc");
    ASSERT_TRUE(u.pendingWrap());
    u.feed("\x1b[?1049l");
    EXPECT_FALSE(u.pendingWrap());
    EXPECT_EQ(screen(u), "abc|");
}

TEST(TerminalModel, EraseScrollbackKeepsScreenAndMarks)
{
    Terminal t(10, 2);
    t.feed("a\r\nb\r\nc\x1b]133;A\x07");
    ASSERT_EQ(t.scrollbackCount(), 1);
    t.feed("\x1b[3J");
    EXPECT_EQ(t.scrollbackCount(), 0);
    EXPECT_EQ(screen(t), "b|c");
    EXPECT_EQ(t.marks.size(), 1u);
}

TEST(TerminalModel, TextExtraction)
{
    Terminal t(10, 3);
    t.feed("hello   \r\nw\xe4\xb8\xadrld  \r\nlast");
    EXPECT_EQ(t.text({0, 1}, {2, 1}), "ello\nw\xe4\xb8\xadrld\nla");
    EXPECT_EQ(t.text({2, 1}, {0, 1}), t.text({0, 1}, {2, 1}));
    EXPECT_EQ(t.text({1, 0}, {1, 2}), "w\xe4\xb8\xad");
    EXPECT_EQ(t.text({2, 0}, {99, 99}), "last");
    EXPECT_EQ(t.text({5, 0}, {9, 0}), "");
}

TEST(TerminalModel, ScrolledViewMixesScrollbackAndGrid)
{
    Terminal t(5, 2);
    t.feed("a\r\nb\r\nc\r\nd");
    ASSERT_EQ(t.scrollbackCount(), 2);
    auto text = [](const VTRow& r) { return std::string(1, char(r[0].ch)); };
    EXPECT_EQ(text(t.line(0, 1)), "b");
    EXPECT_EQ(text(t.line(1, 1)), "c");
    EXPECT_EQ(text(t.line(0, 99)), "a");
    EXPECT_EQ(text(t.absLine(0)), "a");
    EXPECT_EQ(text(t.absLine(3)), "d");
    EXPECT_EQ(text(t.absLine(50)), "d");
}

TEST(TerminalModel, ResetsRestoreTheirDefinedState)
{
    Terminal t(10, 4);
    t.maxScrollback = 50;
    t.feed("x\r\n\r\n\r\n\r\ny\x1b]52;c;aGk=\x07");
    t.feed("\x1b[2;3r\x1b[1;4m\x1b[?25l\x1b[?7l\x1b[?1h\x1b[?2004h\x1b[?1003h\x1b[?1006h\x1b[?1004h");
    t.feed("\x1b]2;title\x07\x1b]133;A\x07\x1b[3g\x1b[?1049h\x1b[5n");
    t.feed("\x1b[!p");
    EXPECT_EQ(t.pen(), VTAttrs());
    EXPECT_EQ(t.scrollBottom(), 3);
    EXPECT_TRUE(t.cursorVisible);
    EXPECT_FALSE(t.autowrap);  // soft reset leaves the other modes

    t.feed("\x1b" "c");
    EXPECT_FALSE(t.inAltScreen());
    EXPECT_EQ(screen(t), "|||");
    EXPECT_TRUE(t.autowrap);
    EXPECT_FALSE(t.appCursorKeys || t.bracketedPaste || t.mouseSGR || t.focusEvents);
    EXPECT_EQ(t.mouseTracking, 0);
    EXPECT_EQ(t.title, "");
    EXPECT_TRUE(t.marks.empty());
    EXPECT_EQ(t.tabStops()[8], true);
    EXPECT_EQ(t.scrollbackCount(), 1);  // kept
    EXPECT_EQ(t.maxScrollback, 50);
    EXPECT_EQ(t.takeClipboard(), "hi");
    EXPECT_EQ(orvane::test::take(t), "\x1b[0n");
}

TEST(Palette, IndexedCubeGreyAndBright)
{
    EXPECT_EQ(Palette::indexed(1), 0xFF5C57u);
    EXPECT_EQ(Palette::indexed(16), 0x000000u);
    EXPECT_EQ(Palette::indexed(17), 0x00005Fu);
    EXPECT_EQ(Palette::indexed(231), 0xFFFFFFu);
    EXPECT_EQ(Palette::indexed(232), 0x080808u);
    EXPECT_EQ(Palette::indexed(255), 0xEEEEEEu);
    EXPECT_EQ(Palette::color(VTColor::indexed(1), true), 0xFF7A75u);
    EXPECT_EQ(Palette::color(VTColor::indexed(9), true), 0xFF7A75u);
    EXPECT_EQ(Palette::color(VTColor::indexed(9), false), 0xFF7A75u);
    EXPECT_EQ(Palette::color(VTColor::indexed(200), true), Palette::indexed(200));
    EXPECT_EQ(Palette::color(VTColor::rgb(1, 2, 3), false), 0x010203u);
    EXPECT_EQ(Palette::color(VTColor::defaultColor(), true), std::nullopt);
}

TEST(SgrMouse, ReportsPressAndRelease)
{
    EXPECT_EQ(sgrMouse(0, 4, 9, true), "\x1b[<0;5;10M");
    EXPECT_EQ(sgrMouse(35, 0, 0, false), "\x1b[<35;1;1m");
}

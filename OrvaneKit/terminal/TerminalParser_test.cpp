// Interpreter: byte strings in, screens, pens, modes, replies, titles, clipboard and marks out.
#include "ScreenText.h"

#include <gtest/gtest.h>

using namespace orvane;
using orvane::test::cellAt;
using orvane::test::screen;
using orvane::test::take;

namespace {

const std::string kFull(40, 'a');  // fills a 10x4 screen

struct ScreenCase {
    const char* name;
    std::string input;
    std::string screen;  // rows joined by "|"
    int row;
    int col;
};

// 10 columns x 4 rows.
const std::vector<ScreenCase> kScreenCases = {
    {"plain", "abc", "abc|||", 0, 3},
    {"crlf", "ab\r\ncd", "ab|cd||", 1, 2},
    {"lf keeps the column", "ab\ncd", "ab|  cd||", 1, 4},
    {"vt and ff are line feeds", "a\vb\fc", "a| b|  c|", 2, 3},
    {"bs stops at column 0", "\bx", "x|||", 0, 1},
    {"bs", "abc\b\bX", "aXc|||", 0, 2},
    {"ht", "a\tb", "a       b|||", 0, 9},
    {"ht past the last stop", "\t\t\tZ", "         Z|||", 0, 9},
    {"hts and tbc", "\x1b[3g\x1b[1;4H\x1bH\r\tx", "   x|||", 0, 4},
    {"tbc 0 clears one stop", "\x1b[1;9H\x1b[g\r\tx", "         x|||", 0, 9},
    {"cup clamps", "\x1b[99;99Hx", "|||         x", 3, 9},
    {"cup leading empty parameter", "\x1b[;5Hx", "    x|||", 0, 5},
    {"cup trailing empty parameter", "\x1b[3;Hx", "||x|", 2, 1},
    {"relative moves", "\x1b[3;5H\x1b[2A\x1b[3C\x1b[B\x1b[Dx", "|      x||", 1, 7},
    {"vpr and hpr", "\x1b[2e\x1b[3ax", "||   x|", 2, 4},
    {"parameter capped then clamped", "\x1b[999999Cx", "         x|||", 0, 9},
    {"cnl and cpl", "\x1b[2Ex\x1b[Fy", "|y|x|", 1, 1},
    {"cha hpa vpa", "\x1b[5Gx\x1b[3`y\x1b[3dz", "  y x||   z|", 2, 4},
    {"ed 0", kFull + "\x1b[2;3H\x1b[J", "aaaaaaaaaa|aa||", 1, 2},
    {"ed 1", kFull + "\x1b[2;3H\x1b[1J", "|   aaaaaaa|aaaaaaaaaa|aaaaaaaaaa", 1, 2},
    {"ed 2", kFull + "\x1b[2;3H\x1b[2J", "|||", 1, 2},
    {"ed unknown mode", kFull + "\x1b[2;3H\x1b[7J", "aaaaaaaaaa|aaaaaaaaaa|aaaaaaaaaa|aaaaaaaaaa", 1, 2},
    {"decsed acts as ed", kFull + "\x1b[2;3H\x1b[?2J", "|||", 1, 2},
    {"el 0", "abcdef\x1b[1;3H\x1b[K", "ab|||", 0, 2},
    {"el 1", "abcdef\x1b[1;3H\x1b[1K", "   def|||", 0, 2},
    {"el 2", "abcdef\x1b[1;3H\x1b[2K", "|||", 0, 2},
    {"decsel acts as el", "abcdef\x1b[1;3H\x1b[?K", "ab|||", 0, 2},
    {"ech", "abcdef\x1b[1;2H\x1b[2X", "a  def|||", 0, 1},
    {"ich drops cells at the end", "abcdefghij\x1b[1;2H\x1b[2@", "a  bcdefgh|||", 0, 1},
    {"dch", "abcdef\x1b[1;2H\x1b[2P", "adef|||", 0, 1},
    {"dch more than the row", "abcdef\x1b[1;2H\x1b[99P", "a|||", 0, 1},
    {"il", "1\r\n2\r\n3\r\n4\x1b[2;3H\x1b[L", "1||2|3", 1, 0},
    {"dl", "1\r\n2\r\n3\r\n4\x1b[2;3H\x1b[M", "1|3|4|", 1, 0},
    {"il outside the region", "1\r\n2\r\n3\r\n4\x1b[2;3r\x1b[4;1H\x1b[L", "1|2|3|4", 3, 0},
    {"il inside the region", "1\r\n2\r\n3\r\n4\x1b[2;3r\x1b[2;1H\x1b[5L", "1|||4", 1, 0},
    {"su", "1\r\n2\r\n3\r\n4\x1b[2S", "3|4||", 3, 1},
    {"sd", "1\r\n2\r\n3\r\n4\x1b[T", "|1|2|3", 3, 1},
    {"line feeds scroll the region", "\x1b[2;3r\x1b[3;1Ha\nb\nc", "| b|  c|", 2, 3},
    {"below the region never scrolls", "\x1b[1;2r\x1b[4;1Hx\ny", "|||xy", 3, 2},
    {"ri at the top scrolls down", "a\x1bMb", " b|a||", 0, 2},
    {"ri in the middle moves up", "\x1b[3;1H\x1bMx", "|x||", 1, 1},
    {"nel", "ab\x1b" "Ecd", "ab|cd||", 1, 2},
    {"ind", "ab\x1b" "Dcd", "ab|  cd||", 1, 4},
    {"decsc and decrc", "\x1b[2;2H\x1b" "7\x1b[4;4H\x1b" "8x", "| x||", 1, 2},
    {"scosc and scorc", "\x1b[2;2H\x1b[s\x1b[4;4H\x1b[ux", "| x||", 1, 2},
    {"can abandons a csi", "\x1b[31\x18m", "m|||", 0, 1},
    {"sub abandons an escape", "\x1b\x1a" "c", "c|||", 0, 1},
    {"control inside csi runs first", "abc\x1b[2\rJ", "|||", 0, 0},
    {"no character sets", "\x1b(0q", "q|||", 0, 1},
    {"esc final after intermediates ignored", "ab\x1b#8", "ab|||", 0, 2},
    {"control after esc is swallowed", "ab\x1b\rx", "abx|||", 0, 3},
    {"esc esc is swallowed", "ab\x1b\x1b" "cx", "abcx|||", 0, 4},
    {"control inside esc intermediates", "ab\x1b(\rx", "ab|||", 0, 0},
    {"dcs leaves no trace", "a\x1bPq#0;2;0;0;0\x1b\\b", "ab|||", 0, 2},
    {"apc ended by bel", "a\x1b_hello\x07" "b", "ab|||", 0, 2},
    {"sos and pm", "a\x1bXx\x1b\\\x1b^y\x07" "b", "ab|||", 0, 2},
    {"esc inside a string does not end it", "a\x1bPx\x1bqy\x07" "b", "ab|||", 0, 2},
    {"osc ended by esc [ starts a csi", "\x1b]0;t\x1b[2Cx", "  x|||", 0, 3},
    {"del is ignored", "a\x7f" "b", "ab|||", 0, 2},
    {"unrecognised sequences are consumed", "\x1b[5hx\x1b[2 qy\x1b[?2004$pz\x1b[=5cw\x1b[<1m", "xyzw|||", 0, 4},
    {"esc inside csi abandons it", "\x1b[31\x1b[1mX", "X|||", 0, 1},
    {"c1 characters are printed", "\xc2\x85", "\xc2\x85|||", 0, 1},
    {"utf-8", "\xe2\x82\xac", "\xe2\x82\xac|||", 0, 1},
    {"utf-8 interrupted", "\xe2" "A", "\xef\xbf\xbd" "A|||", 0, 2},
    {"invalid lead byte", "\xff", "\xef\xbf\xbd|||", 0, 1},
    {"surrogate is one replacement", "\xed\xa0\x80", "\xef\xbf\xbd|||", 0, 1},
    {"overlong two bytes", "\xc0\xaf", "\xef\xbf\xbd\xef\xbf\xbd|||", 0, 2},
    {"overlong three bytes", "\xe0\x80\xaf", "\xef\xbf\xbd|||", 0, 1},
    {"above U+10FFFF", "\xf4\x90\x80\x80", "\xef\xbf\xbd|||", 0, 1},
    {"escape interrupts utf-8", "\xe2\x82\x1b[2Cx", "\xef\xbf\xbd  x|||", 0, 4},
};

void feedBytewise(Terminal& t, const std::string& s)
{
    for (const char c : s)
        t.feed(std::string_view(&c, 1));
}

VTAttrs penAfter(const std::string& input)
{
    Terminal t(10, 2);
    t.feed(input);
    return t.pen();
}

VTAttrs fg(VTColor c)
{
    VTAttrs a;
    a.setFg(c);
    return a;
}

}  // namespace

TEST(TerminalParser, ScreenSnapshots)
{
    for (const auto& c : kScreenCases) {
        Terminal t(10, 4);
        t.feed(c.input);
        EXPECT_EQ(screen(t), c.screen) << c.name;
        EXPECT_EQ(t.cursor(), std::make_pair(c.row, c.col)) << c.name;
    }
}

// The parser keeps its state across calls: any split of the input gives the same result.
TEST(TerminalParser, SplitWritesGiveTheSameResult)
{
    for (const auto& c : kScreenCases) {
        Terminal whole(10, 4), bytes(10, 4), halves(10, 4);
        whole.feed(c.input);
        feedBytewise(bytes, c.input);
        const size_t mid = c.input.size() / 2;
        halves.feed(c.input.substr(0, mid));
        halves.feed(c.input.substr(mid));
        for (const Terminal* t : {&bytes, &halves}) {
            EXPECT_EQ(screen(*t), screen(whole)) << c.name;
            EXPECT_EQ(t->cursor(), whole.cursor()) << c.name;
            EXPECT_EQ(t->pen(), whole.pen()) << c.name;
            EXPECT_EQ(t->pendingWrap(), whole.pendingWrap()) << c.name;
        }
        EXPECT_EQ(bytes.generation(), c.input.size()) << c.name;
        EXPECT_EQ(whole.generation(), 1u) << c.name;
    }
}

TEST(TerminalParser, SelectGraphicRendition)
{
    VTAttrs boldRed = fg(VTColor::indexed(1));
    boldRed.bold = 1;
    VTAttrs all;
    all.bold = all.dim = all.italic = all.underline = all.inverse = 1;
    VTAttrs dimItalic;
    dimItalic.dim = 1;
    dimItalic.italic = 1;
    VTAttrs bgBright;
    bgBright.setBg(VTColor::indexed(15));
    VTAttrs rgbBg;
    rgbBg.setBg(VTColor::rgb(255, 0, 7));

    struct Case {
        std::string input;
        VTAttrs pen;
    } cases[] = {
        {"\x1b[1;31m", boldRed},
        {"\x1b[1;2;3;4;7m", all},
        {"\x1b[1;2;3;4;7;22;23;24;27m", VTAttrs()},
        {"\x1b[2;3;1;22;3m", [] { VTAttrs a; a.italic = 1; return a; }()},
        {"\x1b[1;31m\x1b[m", VTAttrs()},
        {"\x1b[1;31;0m", VTAttrs()},
        {"\x1b[2;3m\x1b[5;6;8;9;21;53m", dimItalic},
        {"\x1b[31;39m", VTAttrs()},
        {"\x1b[107m", bgBright},
        {"\x1b[97m", fg(VTColor::indexed(15))},
        {"\x1b[90m", fg(VTColor::indexed(8))},
        {"\x1b[44;49m", VTAttrs()},
        {"\x1b[38;5;300m", fg(VTColor::indexed(255))},
        {"\x1b[38;2;10;20;30m", fg(VTColor::rgb(10, 20, 30))},
        {"\x1b[38:2:10:20:30m", fg(VTColor::rgb(10, 20, 30))},
        {"\x1b[48;2;999;0;7m", rgbBg},
        {"\x1b[31m\x1b[38;2;10;20m", fg(VTColor::indexed(1))},
        {"\x1b[38;2;1;4m", VTAttrs()},  // too short: the rest is consumed, underline is not set
        {"\x1b[38;5m", VTAttrs()},
        {"\x1b[38;7;1m", [] { VTAttrs a; a.bold = 1; return a; }()},  // 7 skipped, 1 applies
        {"\x1b[38m", VTAttrs()},
        {"\x1b[38;5;1;4m", [] { VTAttrs a = fg(VTColor::indexed(1)); a.underline = 1; return a; }()},
        {"\x1b[;1m", [] { VTAttrs a; a.bold = 1; return a; }()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(penAfter(c.input), c.pen) << c.input.substr(1);

    Terminal t(10, 2);
    t.feed("\x1b[1;31mX");
    EXPECT_EQ(cellAt(t, 0, 0).attrs, boldRed);
}

TEST(TerminalParser, EraseUsesThePenBackgroundOnly)
{
    Terminal t(4, 2);
    t.feed("\x1b[1;4;7;31;42mab\x1b[1;1H\x1b[K");
    VTCell erased;
    erased.attrs.setBg(VTColor::indexed(2));
    EXPECT_EQ(cellAt(t, 0, 0), erased);
    t.feed("\x1b[2;1H\x1b[L");
    EXPECT_EQ(cellAt(t, 1, 3), erased);
}

TEST(TerminalParser, Replies)
{
    struct Case {
        std::string input;
        std::string reply;
    } cases[] = {
        {"\x1b[c", "\x1b[?62;22c"},
        {"\x1b[0c", "\x1b[?62;22c"},
        {"\x1b[1c", ""},
        {"\x1b[>c", "\x1b[>0;10;1c"},
        {"\x1b[>5;7c", "\x1b[>0;10;1c"},
        {"\x1b[=c", ""},
        {"\x1b[5n", "\x1b[0n"},
        {"\x1b[5;10H\x1b[6n", "\x1b[5;10R"},
        {"\x1b[1;10Hxyz\x1b[6n", "\x1b[2;3R"},
        {"\x1b[1;10Hx\x1b[6n", "\x1b[1;10R"},  // pending wrap: column limited to the grid
        {"\x1b[?6n", ""},
        {"\x1b[7n", ""},
        {"\x1b[c\x1b[5n\x1b[>c", "\x1b[?62;22c\x1b[0n\x1b[>0;10;1c"},
    };
    for (const auto& c : cases) {
        Terminal t(10, 24);
        t.feed(c.input);
        EXPECT_EQ(take(t), c.reply) << c.input.substr(1);
        EXPECT_EQ(take(t), "");
    }
}

TEST(TerminalParser, ScrollRegion)
{
    struct Case {
        std::string input;
        int top, bottom;
        bool homed;
    } cases[] = {
        {"\x1b[5;2r", 0, 23, false},
        {"\x1b[1;99r", 0, 23, false},
        {"\x1b[2;20r", 1, 19, true},
        {"\x1b[2;0r", 1, 23, true},
        {"\x1b[r", 0, 23, true},
        {"\x1b[24;24r", 0, 23, false},
        {"\x1b[2;20r\x1b[3r", 2, 23, true},
    };
    for (const auto& c : cases) {
        Terminal t(80, 24);
        t.feed("\x1b[10;10H");
        t.feed(c.input);
        EXPECT_EQ(t.scrollTop(), c.top) << c.input.substr(1);
        EXPECT_EQ(t.scrollBottom(), c.bottom) << c.input.substr(1);
        EXPECT_EQ(t.cursor() == std::make_pair(0, 0), c.homed) << c.input.substr(1);
    }
}

TEST(TerminalParser, PrivateModes)
{
    Terminal t(10, 3);
    t.feed("\x1b[?1;2004;1006;1004h\x1b[?25l\x1b[?7l");
    EXPECT_TRUE(t.appCursorKeys && t.bracketedPaste && t.mouseSGR && t.focusEvents);
    EXPECT_FALSE(t.cursorVisible || t.autowrap);
    t.feed("\x1b[?1;2004;1006;1004;25;7l\x1b[?25;7h");
    EXPECT_FALSE(t.appCursorKeys || t.bracketedPaste || t.mouseSGR || t.focusEvents);
    EXPECT_TRUE(t.cursorVisible && t.autowrap);

    t.feed("\x1b[?1002h\x1b[?1000h");
    EXPECT_EQ(t.mouseTracking, 1002);
    t.feed("\x1b[?1003l");
    EXPECT_EQ(t.mouseTracking, 1002);
    t.feed("\x1b[?1003h");
    EXPECT_EQ(t.mouseTracking, 1003);
    t.feed("\x1b[?1003l");
    EXPECT_EQ(t.mouseTracking, 0);
    t.feed("\x1b[?1003h\x1b[?1000l");
    EXPECT_EQ(t.mouseTracking, 0);

    t.feed("\x1b[1h\x1b[>1h");  // no marker, other markers: not DEC modes
    EXPECT_FALSE(t.appCursorKeys);
}

TEST(TerminalParser, AlternateScreenModes)
{
    for (const char* mode : {"47", "1047", "1049"}) {
        Terminal t(6, 3);
        t.feed("main\x1b[2;3H\x1b[32m");
        t.feed(std::string("\x1b[?") + mode + "h");
        EXPECT_TRUE(t.inAltScreen()) << mode;
        EXPECT_EQ(screen(t), "||") << mode;
        EXPECT_EQ(t.cursor(), std::make_pair(1, 2)) << mode;  // not moved
        t.feed("alt\x1b[0m");
        t.feed(std::string("\x1b[?") + mode + "h");  // a second set keeps the first save
        t.feed("\x1b[H");
        t.feed(std::string("\x1b[?") + mode + "l");
        EXPECT_EQ(screen(t), "main||") << mode;
        EXPECT_EQ(t.cursor(), std::make_pair(1, 2)) << mode;
        EXPECT_EQ(t.pen().fg(), VTColor::indexed(2)) << mode;
    }
}

TEST(TerminalParser, TitleFromOsc0And2)
{
    struct Case {
        std::string input;
        std::string title;
    } cases[] = {
        {"\x1b]0;ab\x07", "ab"},
        {"\x1b]2;ab\x1b\\", "ab"},
        {"\x1b]2;caf\xc3\xa9 \xe2\x9c\x93\x07", "caf\xc3\xa9 \xe2\x9c\x93"},
        {"\x1b]2;old\x07\x1b]1;x\x07", "old"},
        {"\x1b]2;old\x07\x1b]2;\x07", ""},
        {"\x1b]2;old\x07\x1b]2\x07", ""},
        {"\x1b]2;a;b\x07", "a;b"},
        {"\x1b]02;x\x07", ""},
        {"\x1b]2;x\x18y\x07", ""},  // CAN abandons the string
        {"\x1b]2;tab\there\x07", "tab\there"},
        {"\x1b]2;bad\xff\x07", "bad\xef\xbf\xbd"},
    };
    for (const auto& c : cases) {
        Terminal t(10, 2);
        t.feed(c.input);
        EXPECT_EQ(t.title, c.title) << c.input.substr(1);
    }
}

TEST(TerminalParser, OscPayloadIsBounded)
{
    Terminal t(10, 2);
    t.feed("\x1b]2;");
    t.feed(std::string(100000, 'x'));
    t.feed("\x07");
    EXPECT_EQ(t.title.size(), 4095u - 2u + 1u);  // "2;" plus the text, then the last character
    EXPECT_EQ(screen(t), "|");
}

TEST(TerminalParser, ClipboardWrites)
{
    struct Case {
        std::string input;
        std::optional<std::string> clipboard;
    } cases[] = {
        {"\x1b]52;c;aGVsbG8gd29ybGQ=\x07", "hello world"},
        {"\x1b]52;;aGk\x07", "hi"},
        {"\x1b]52;c;aG\r\nk= \x07", "hi"},
        {"\x1b]52;c;aG*k=\x07", std::nullopt},
        {"\x1b]52;c;?\x07", std::nullopt},
        {"\x1b]52;c\x07", std::nullopt},
        {"\x1b]52;c;\x07", ""},
        {"\x1b]52;c;YQ\x07", "a"},
        {"\x1b]52;c;YWJ\x07", "ab"},
        {"\x1b]52;c;YWJjZ\x07", "abc"},  // a lone final character yields nothing
        {"\x1b]52;c;/w==\x07", "\xef\xbf\xbd"},
        {"\x1b]52;c;aGk=\x07\x1b]52;c;bw==\x07", "o"},
    };
    for (const auto& c : cases) {
        Terminal t(10, 2);
        t.feed(c.input);
        EXPECT_EQ(t.takeClipboard(), c.clipboard) << c.input.substr(1);
        EXPECT_EQ(t.takeClipboard(), std::nullopt);
    }
}

TEST(TerminalParser, ShellIntegrationMarks)
{
    Terminal t(10, 3);
    t.feed("a\r\nb\r\nc\r\nd");  // one line in the scrollback, cursor on screen row 2
    t.feed("\x1b]133;A\x07\x1b]133;B\x1b\\\x1b]133;C\x07");
    t.feed("\x1b]133;D;127\x07\x1b]133;D\x07\x1b]133;D;x\x07\x1b]133;D;-3;aid=1\x07");
    t.feed("\x1b]133;D;+4\x07\x1b]133;D;+-4\x07\x1b]133;D;99999999999999999999\x07\x1b]133;E\x07");
    const std::vector<VTMarkEntry> expected = {
        {3, VTMark::promptStart()},           {3, VTMark::commandStart()},
        {3, VTMark::outputStart()},           {3, VTMark::commandEnd(127)},
        {3, VTMark::commandEnd(std::nullopt)}, {3, VTMark::commandEnd(std::nullopt)},
        {3, VTMark::commandEnd(-3)},          {3, VTMark::commandEnd(4)},
        {3, VTMark::commandEnd(std::nullopt)}, {3, VTMark::commandEnd(std::nullopt)},
    };
    EXPECT_EQ(t.marks, expected);
}

TEST(TerminalParser, MarksAreBounded)
{
    Terminal t(10, 3);
    std::string many;
    for (int i = 0; i < 10000; ++i)
        many += "\x1b]133;A\x07";
    t.feed(many);
    EXPECT_EQ(t.marks.size(), 10000u);
    t.feed("\x1b]133;C\x07");
    EXPECT_EQ(t.marks.size(), 9001u);
    EXPECT_EQ(t.marks.back().mark, VTMark::outputStart());
}

TEST(TerminalParser, CsiParametersAreBounded)
{
    Terminal t(10, 2);
    std::string many = "\x1b[";
    for (int i = 0; i < 100000; ++i)
        many += "1;";
    t.feed(many + "31mX");
    EXPECT_EQ(cellAt(t, 0, 0).ch, U'X');
    EXPECT_TRUE(cellAt(t, 0, 0).attrs.bold);
    EXPECT_EQ(t.parserState(), VTState::Ground);
}

// Input that arrives in one piece is taken in large steps (whole CSI sequences, 24-bit
// colours, runs of printable or UTF-8 text); one byte at a time it goes through the state
// machine. Every cell, the cursor, the pen, the scrollback and the replies must agree.
// The title string after each case only keeps the end of the buffer far away, so that
// the large steps are taken; it leaves the screen alone.
TEST(TerminalParser, WholeBuffersAndSingleBytesAgree)
{
    const std::string farEnd = "\x1b]2;" + std::string(64, 't') + "\x07";
    const std::vector<std::string> cases = {
        "\x1b[38;2;1;22;255mA\x1b[48;2;9;99;199mB\x1b[38;2;0;0;0mC",
        "\x1b[38;2;1000;0;7mA\x1b[48;2;256;255;9999mB",  // clamped components
        "\x1b[38;2;;1;2mA\x1b[38;2;1;;2mB\x1b[38;2;1;2;mC",
        "\x1b[38:2:1:2:3mA\x1b[38;2:1;2;3mB",
        "\x1b[38;2;1;2mA\x1b[38;2;1mB\x1b[38;2mC",         // too short
        "\x1b[38;2;1;2;3;4mA\x1b[48;2;1;2;3;7;1mB",       // more after the colour
        "\x1b[38;2;1;2;3HA\x1b[48;2;1;2;3@B",              // other finals
        "\x1b[?38;2;1;2;3mA\x1b[38;2;1;2;3 mB",           // marker, intermediate
        "\x1b[38;5;200;48;5;17;1;4;7mA\x1b[39;49;22mB",
        "\x1b[38;5;00017mA\x1b[48;5;0000201mB\x1b[38;5;000000202mC\x1b[48;5;0000000000203mD",
        "\x1b[2;5H\x1b[1;31;42mA\x1b[0K\x1b[2;3r\x1b[3;1H\n\nB\x1b[44m\x1bMC\x1b[2L\x1b[M",
        "\x1b[123456789;2HA\x1b[00000000003;0004HB\x1b[65535;65536;99999CC",
        "\x1b[1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17;18;19;20;21;22;23mA",
        "\x1b[;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;31mA\x1b[;mB",
        "\x1b[3;1?HA\x1b[?1;2004h\x1b[?25lB\x1b[>cC\x1b[6nD\x1b[cE",
        "\x1b[2\r;3HA\x1b[1\x1b[2JB\x1b[3\x18" "4HC\x1b[12\xc3\xa9HD",
        "\xe4\xb8\xad\xe6\x96\x87\xf0\x9f\x98\x80 abc\xc3\xa9\xcc\x81\xe2\x80\x8b",
        "abcdefghi\xe4\xb8\xad" "abcdefgh\xf0\x9f\x98\x80\xe4\xb8\xad",  // wide at the last column
        "\xe2\x82x\xf0\x9f\x98y\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80\xff\x80z",
        "\x1b[?7labcdefghijklmnop\xe4\xb8\xad\x1b[?7hqrstuvwxyz",
        "0123456789012345678901234567890123456789abcdefghijklmnopqrstuvwxyz\r\n\r\nend\x7f\t\b!",
    };
    for (const auto& c : cases) {
        const std::string input = c + farEnd;
        Terminal whole(10, 4), bytes(10, 4);
        whole.feed(input);
        feedBytewise(bytes, input);
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(whole.line(r), bytes.line(r)) << "row " << r << " of " << c.substr(1);
        EXPECT_EQ(whole.scrollbackCount(), bytes.scrollbackCount()) << c.substr(1);
        for (int n = 0; n < std::min(whole.scrollbackCount(), bytes.scrollbackCount()); ++n)
            EXPECT_EQ(whole.absLine(n), bytes.absLine(n)) << "line " << n << " of " << c.substr(1);
        EXPECT_EQ(whole.cursor(), bytes.cursor()) << c.substr(1);
        EXPECT_EQ(whole.pendingWrap(), bytes.pendingWrap()) << c.substr(1);
        EXPECT_EQ(whole.pen(), bytes.pen()) << c.substr(1);
        EXPECT_EQ(whole.scrollTop(), bytes.scrollTop()) << c.substr(1);
        EXPECT_EQ(whole.scrollBottom(), bytes.scrollBottom()) << c.substr(1);
        EXPECT_EQ(whole.autowrap, bytes.autowrap) << c.substr(1);
        EXPECT_EQ(take(whole), take(bytes)) << c.substr(1);
    }
}

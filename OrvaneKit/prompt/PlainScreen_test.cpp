#include "PlainScreen.h"

#include <gtest/gtest.h>

using orvane::PlainScreen;

TEST(PlainScreen, KeepsAtMostMaxLines)
{
    PlainScreen s(3);
    s.feed("one\ntwo\nthree\nfour\nfive\n");
    EXPECT_EQ(s.lines(), (std::vector<std::string>{"four", "five", ""}));
    EXPECT_EQ(s.text(), "four\nfive\n");
    EXPECT_EQ(s.tail(2), "five\n");
    EXPECT_EQ(s.tail(1), "");
    EXPECT_EQ(s.tail(0), "");
    EXPECT_EQ(s.tail(99), "four\nfive\n");
    EXPECT_EQ(s.maxLines(), 3);

    PlainScreen one(0);
    one.feed("a\nb\nc");
    EXPECT_EQ(one.maxLines(), 1);
    EXPECT_EQ(one.text(), "c");
}

TEST(PlainScreen, ControlsAndEscapes)
{
    struct Case {
        std::string input;
        std::string text;
        int column;
    } cases[] = {
        {"progress 10%\rprogress 99%", "progress 99%", 12},
        {"abcdef\rXY", "XYcdef", 2},
        {"ab\bX", "aX", 2},
        {"\b\bx", "x", 1},
        {"abc\tx", "abc     x", 9},
        {"abcdefgh\tx", "abcdefgh        x", 17},
        {"\x1b[1;31mred\x1b[0m", "red", 3},
        {"\x1b]0;title\x07" "after", "after", 5},
        {"\x1b]0;title\x1b\\after", "after", 5},
        {"\x1b(Bx", "Bx", 2},  // only CSI and OSC are skipped; "(" is dropped
        {"\x1b" "7x", "x", 1},
        {"a\x01\x7f" "b", "ab", 2},
        {"caf\xc3\xa9", "caf\xc3\xa9", 4},
        {"\xff" "abcd", "d", 1},  // an invalid byte swallows three more
        {"\xe4\xb8\xad" "x", "\xe4\xb8\xad" "x", 2},
    };
    for (const auto& c : cases) {
        PlainScreen s(10);
        s.feed(c.input);
        EXPECT_EQ(s.text(), c.text) << c.input;
        EXPECT_EQ(s.cursorColumn(), c.column) << c.input;
    }
}

TEST(PlainScreen, SplitUtf8AndReset)
{
    PlainScreen s(5);
    s.feed("\xe2");
    s.feed("\x82");
    s.feed("\xac");
    EXPECT_EQ(s.text(), "\xe2\x82\xac");

    const std::vector<std::vector<uint8_t>> chunks = {{'h', 'i', '\n', 0xe2}, {0x82, 0xac, '!'}};
    PlainScreen fresh(5);
    for (const auto& c : chunks)
        fresh.feed(c);
    s.reset(chunks);
    EXPECT_EQ(s, fresh);
    EXPECT_EQ(s.text(), "hi\n\xe2\x82\xac!");
}

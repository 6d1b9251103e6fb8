#include "Links.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

VTRow rowOf(const std::string& text)
{
    Terminal t(120, 1);
    t.feed(text);
    return t.line(0);
}

}  // namespace

TEST(Links, TrailingPunctuationAndParentheses)
{
    struct Case {
        std::string text;
        int col;
        std::optional<std::string> url;
    } cases[] = {
        {"see https://example.com/a.", 10, "https://example.com/a"},
        {"see https://example.com/a. next", 26, std::nullopt},  // the period is not part of it
        {"https://en.wikipedia.org/wiki/Foo_(bar) x", 0, "https://en.wikipedia.org/wiki/Foo_(bar)"},
        {"(see https://example.com/x)", 6, "https://example.com/x"},
        {"[https://example.com/y]", 3, "https://example.com/y"},
        {"https://example.com/z]", 0, "https://example.com/z"},
        {"mailto:someone@example.com, x", 3, "mailto:someone@example.com"},
        {"ftp://files.example.org/pub", 5, "ftp://files.example.org/pub"},
        {"file:///etc/hosts", 2, "file:///etc/hosts"},
        {"<http://a.b/c>", 1, "http://a.b/c"},
        {"say \"https://q.example/path\"!", 8, "https://q.example/path"},
        {"no link here", 3, std::nullopt},
        {"http:// nothing", 2, std::nullopt},
        {"first http://one.example then http://two.example", 35, "http://two.example"},
        {"\xe4\xb8\xad\xe6\x96\x87 https://x.example/\xe6\x96\x87", 7, "https://x.example/%E6%96%87"},
    };
    for (const auto& c : cases) {
        const auto link = linkAt(rowOf(c.text), c.col);
        if (!c.url) {
            EXPECT_FALSE(link) << c.text;
            continue;
        }
        ASSERT_TRUE(link) << c.text;
        EXPECT_EQ(link->url.toString(QUrl::FullyEncoded).toStdString(), *c.url) << c.text;
    }
    const auto wide = linkAt(rowOf("\xe4\xb8\xad https://x.example/a"), 3);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->first, 3);
    EXPECT_EQ(wide->last, 21);
}

TEST(Links, WordRanges)
{
    const VTRow row = rowOf("foo.bar(baz) a \xe4\xb8\xad\xe6\x96\x87x");
    EXPECT_EQ(wordRange(row, 2), std::make_pair(0, 6));   // foo.bar
    EXPECT_EQ(wordRange(row, 8), std::make_pair(8, 10));  // baz
    EXPECT_EQ(wordRange(row, 7), std::make_pair(7, 7));   // a delimiter alone
    EXPECT_EQ(wordRange(row, 12), std::make_pair(12, 12));
    EXPECT_EQ(wordRange(row, 15), std::make_pair(15, 15));  // double-width characters end words
}

// Layout strings, listings and the views built from them.
#include "TmuxModel.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

Shape single(uint32_t id, int cols, int rows)
{
    return {Shape::Kind::Single, {{id, cols, rows}}};
}

}  // namespace

TEST(TmuxLayout, ParsesLeavesAndSplits)
{
    EXPECT_EQ(parseLayout("b25f,80x24,0,0,5"), LayoutNode::leaf({5, 80, 24}));
    const auto stack = parseLayout("abcd,80x24,0,0[80x12,0,0,1,80x11,0,13,2]");
    ASSERT_TRUE(stack);
    EXPECT_EQ(*stack, LayoutNode::split(true, 80, 24,
                                        {LayoutNode::leaf({1, 80, 12}), LayoutNode::leaf({2, 80, 11})}));
    EXPECT_EQ(shape(*stack), (Shape{Shape::Kind::Stack, {{1, 80, 12}, {2, 80, 11}}}));

    const auto side = parseLayout("abcd,80x24,0,0{40x24,0,0,1,39x24,41,0,2}");
    ASSERT_TRUE(side);
    EXPECT_FALSE(side->vertical);
    EXPECT_EQ(shape(*side), (Shape{Shape::Kind::Other, {{1, 40, 24}, {2, 39, 24}}}));

    const auto three = parseLayout("abcd,80x24,0,0[80x8,0,0,1,80x7,0,9,2,80x7,0,17,3]");
    ASSERT_TRUE(three);
    EXPECT_EQ(shape(*three).kind, Shape::Kind::Other);
    EXPECT_EQ(shape(*three).panes.size(), 3u);

    const auto nested = parseLayout("abcd,80x24,0,0[80x12,0,0{40x12,0,0,1,39x12,41,0,4},80x11,0,13,2]");
    ASSERT_TRUE(nested);
    EXPECT_EQ(shape(*nested), (Shape{Shape::Kind::Other, {{1, 40, 12}, {4, 39, 12}, {2, 80, 11}}}));
}

TEST(TmuxLayout, RejectsMalformedLayouts)
{
    for (const char* bad : {
             "80x24,0,0,5x",                            // no checksum: the first comma eats cols
             "b25f80x24",                                // no comma at all
             "abcd,80x24,0,0[80x12,0,0,1,80x11,0,13,2}", // bracket that does not match
             "abcd,80x24,0,0,5 ",                        // text after the node
             "abcd,80x24,0,0",                           // no pane and no children
             "abcd,80x,0,0,5",                           // missing number
             "abcd,80x24,0,0[]",                         // a split without children
             "abcd,99999999999999999999x24,0,0,5",       // number too large
             "abcd,80x24,0,0,99999999999",               // pane id too large
             "abcd,-80x24,0,0,5",
             "",
         })
        EXPECT_EQ(parseLayout(bad), std::nullopt) << bad;
    std::string deep = "abcd,1x1,0,0";
    for (int i = 0; i < 100000; ++i)
        deep += "[1x1,0,0";
    EXPECT_EQ(parseLayout(deep), std::nullopt);
}

TEST(TmuxListings, Windows)
{
    const auto w = parseWindows({
        "W|@3|2|0|b25f,80x24,0,0,7|third",
        "W|@1|0|1|b25f,80x24,0,0,5|name|with|bars",
        "W|@2|1|0|bad layout|dropped",
        "W|@4|1|0|b25f,80x24,0,0,9|second",
        "X|@5|3|0|b25f,80x24,0,0,9|wrong tag",
        "W|5|3|0|b25f,80x24,0,0,9|no at sign",
        "W|@6|x|0|b25f,80x24,0,0,9|bad index",
        "W|@7|4|0|b25f,80x24,0,0,9",  // too few fields
    });
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0], (WinInfo{1, 0, true, "name|with|bars", single(5, 80, 24)}));
    EXPECT_EQ(w[1].name, "second");
    EXPECT_EQ(w[2].name, "third");
    EXPECT_FALSE(w[2].active);
}

TEST(TmuxListings, PanesAndSessions)
{
    const auto p = parsePanes({"P|@1|%0|1|2|5", "P|@1|%1|0|0|0|extra", "P|1|%2|1|0|0", "P|@1|3|1|0|0",
                               "P|@2|%4|true|7|8", "P|@2|%5|1||8"});
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0], (PaneInfo{1, 0, true, 2, 5}));
    EXPECT_EQ(p[1], (PaneInfo{2, 4, false, 7, 8}));

    const auto s = parseSessions({"S|1|0|100|$0|beta", "S|2|1|100|$1|alpha", "S|3|0|200|$2|zeta|with|bars",
                                  "S|x|0|1|$3|bad", "S|1|0|50|$4"});
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0], (SessionInfo{"$2", "zeta|with|bars", 3, 0, 200}));
    EXPECT_EQ(s[1].name, "alpha");
    EXPECT_EQ(s[2].name, "beta");
}

TEST(TmuxListings, ViewsShowOneOrTwoPanes)
{
    const auto windows = parseWindows({
        "W|@1|0|1|abcd,80x24,0,0[80x12,0,0,1,80x11,0,13,2]|stack",
        "W|@2|1|0|abcd,80x24,0,0{40x24,0,0,3,39x24,41,0,4}|side",
        "W|@3|2|0|abcd,80x24,0,0{40x24,0,0,5,39x24,41,0,6}|side, none active",
        "W|@4|3|0|b25f,80x24,0,0,7|single",
    });
    const auto panes = parsePanes({"P|@1|%1|0|0|0", "P|@1|%2|1|0|0", "P|@2|%3|0|0|0", "P|@2|%4|1|0|0",
                                   "P|@3|%5|0|0|0", "P|@3|%6|0|0|0"});
    const auto views = windowViews(windows, panes);
    ASSERT_EQ(views.size(), 4u);
    EXPECT_EQ(views[0], (WinView{1, "stack", true, {1, 2}, {12, 11}, 1}));
    EXPECT_EQ(views[1], (WinView{2, "side", false, {4}, {24}, 0}));
    EXPECT_EQ(views[2], (WinView{3, "side, none active", false, {5}, {24}, 0}));
    EXPECT_EQ(views[3], (WinView{4, "single", false, {7}, {24}, 0}));
    EXPECT_EQ(paneSizes(windows), (std::vector<PaneSize>{{1, 80, 12}, {2, 80, 11}, {3, 40, 24}, {4, 39, 24},
                                                         {5, 40, 24}, {6, 39, 24}, {7, 80, 24}}));
}

TEST(TmuxListings, AgePhrases)
{
    struct Case {
        int64_t seconds;
        const char* text;
    } cases[] = {
        {59, "just now"},          {-500, "just now"},       {60, "1 min. ago"},      {59 * 60, "59 min. ago"},
        {3600, "1 hr. ago"},       {3 * 3600 + 5, "3 hr. ago"}, {86400, "1 day ago"},  {2 * 86400, "2 days ago"},
        {7 * 86400, "1 wk. ago"},  {5 * 7 * 86400, "1 mo. ago"}, {20 * 86400, "2 wk. ago"},
        {70 * 86400, "2 mo. ago"}, {365 * 86400, "1 yr. ago"}, {800 * 86400, "2 yr. ago"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ago(1'000'000'000, 1'000'000'000 - c.seconds), c.text) << c.seconds;
}

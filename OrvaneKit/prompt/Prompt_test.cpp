#include "Prompt.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

VTRow rowOf(const std::string& utf8, int cols = 80)
{
    Terminal t(cols, 1);
    t.feed(utf8);
    return t.line(0);
}

}  // namespace

TEST(PromptColumns, FindsTheColumnAfterThePrompt)
{
    struct Case {
        std::string row;
        int column;
    } cases[] = {
        {"alice@box:~/src$ make", 17},
        {"alice@box ~/src % ls", 18},
        {"root@host:/# ", 13},
        {"a.b-c@my-host.local$ x", 21},
        {"me@h # cmd", 7},
        {"me@h$ ", 6},
        {" alice@box:~$ ls", 0},          // leading space
        {"alice@box:~$ls", 0},            // no space after the prompt character
        {"alice@box:~>", 0},
        {"no at sign here $ ", 0},
        {"@box$ ", 0},
        {"", 0},
        {"j\xc3\xb6rg@m\xc3\xbcller:~$ ls", 15},  // Unicode word characters
        {"\xe4\xb8\xad@box$ ls", 0},              // starts with a double-width character
        {"bob@box:\xe4\xb8\xad\xe6\x96\x87$ ls", 14},  // wide characters in the directory
        {"bob@box:\xf0\x9f\x98\x80$ x", 12},          // a character outside the BMP
    };
    for (const auto& c : cases)
        EXPECT_EQ(promptColumns(rowOf(c.row)), c.column) << c.row;
}

TEST(PromptColumns, LooksNoFurtherThan120CodeUnits)
{
    const std::string dir(100, 'd');
    EXPECT_EQ(promptColumns(rowOf("u@h:" + dir + "$ ls", 200)), 106);
    const std::string longDir(130, 'd');
    EXPECT_EQ(promptColumns(rowOf("u@h:" + longDir + "$ ls", 200)), 0);
    EXPECT_EQ(promptColumns(VTRow()), 0);
}

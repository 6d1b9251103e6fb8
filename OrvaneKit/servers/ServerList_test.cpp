// The own-list text: reading, writing one line, edits, reorders and the filter.
#include "ServerList.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

Server own(std::string name, std::string target, int line, bool tmux = true)
{
    return Server{std::move(name), std::move(target), true, line, tmux};
}

std::string names(const std::vector<Server>& servers)
{
    std::string out;
    for (const auto& s : servers)
        out += (out.empty() ? "" : ",") + s.name;
    return out;
}

} // namespace

TEST(ServerList, ReadsTheOwnListText)
{
    struct Case {
        const char* name;
        std::string text;
        std::vector<Server> servers;
    } cases[] = {
        {"name, target and plain",
         "web = alice@host:2222 | plain",
         {own("web", "alice@host:2222", 0, false)}},
        {"target alone", "alice@host", {own("alice@host", "alice@host", 0)}},
        {"plain is lower case only", "x = alice@host | Plain", {}},
        {"plain without blanks", "h1|plain", {own("h1", "h1", 0, false)}},
        {"comments and blanks count as lines",
         "# mine\na = h1\n\nb = h2\n",
         {own("a", "h1", 1), own("b", "h2", 3)}},
        {"spaces and tabs trimmed", " \t name\t=  me@h  \t", {own("name", "me@h", 0)}},
        {"empty name", "= h1", {own("", "h1", 0)}},
        {"first = splits", "a = b = c", {}},
        {"a bar that is not plain stays in the name", "a | b = h1", {own("a | b", "h1", 0)}},
        {"a bar that is not plain spoils the target", "a = h1 | ssh", {}},
        {"only the last bar is looked at", "a = h1 | plain | plain", {}},
        {"nothing before plain", "| plain", {}},
        {"indented comment", "   # a = h1", {}},
        {"target rule",
         "a = -oProxyCommand=x\nb = h;rm\nc = me@ho st\nd = [fe80::1%eth0]",
         {own("d", "[fe80::1%eth0]", 3)}},
        {"name is not tested", "J\xc3\xb6rg's box = j@h", {own("J\xc3\xb6rg's box", "j@h", 0)}},
        {"CR LF line ends", "a = h1\r\nb = h2 | plain\r\n", {own("a", "h1", 0), own("b", "h2", 1, false)}},
        {"empty text", "", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseOwnServers(c.text), c.servers) << c.name;
}

TEST(ServerList, Ids)
{
    const auto servers = parseOwnServers("# c\nx = h1\ny = h2");
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0].id(), "own:1");
    EXPECT_EQ(servers[1].id(), "own:2");
    EXPECT_EQ((Server{"alias", "alias", false, 0, true}).id(), "ssh:alias");
}

TEST(ServerList, WritesOneLine)
{
    struct Case {
        std::string name;
        std::string target;
        bool tmux;
        std::string line;
    } cases[] = {
        {"a=b", "t", true, "a b = t"},
        {"t", "t", true, "t"},
        {"", "t", false, "t | plain"},
        {"  web\t", "me@h", true, "web = me@h"},
        {"a\nb\r\v\fc", "h", true, "a b   c = h"},
        {"a\xc2\x85"
         "b\xe2\x80\xa8"
         "c\xe2\x80\xa9",
         "h", true, "a b c = h"},
        {"\xe2\x80\xa8t", "t", true, "t"},
        // A name starting with "#" would make the line a comment and the server disappear.
        {"#1 prod", "h", true, "1 prod = h"},
        {"# #", "h", false, "h | plain"},
        {"\v#x", "h", true, "x = h"},
        // An entry is always one line, even with a target that is no valid target.
        {"n", "a\nb\r", true, "n = a b "},
        {"x", "me@h:22", false, "x = me@h:22 | plain"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(serverLine(c.name, c.target, c.tmux), c.line) << c.name;
}

TEST(ServerList, AWrittenLineReadsBack)
{
    struct Case {
        std::string name;
        std::string target;
        bool tmux;
        std::string readName;
    } cases[] = {
        {"web", "me@h", true, "web"},
        {"web", "me@h", false, "web"},
        {"", "me@h", true, "me@h"},
        {"a | plain", "h", true, "a | plain"},
        {"a | plain", "h", false, "a | plain"},
        {"x |", "h", false, "x |"},
        {"a = b", "h", true, "a   b"},
        {"#1", "h", true, "1"},
        {"J\xc3\xb6rg", "h", false, "J\xc3\xb6rg"},
    };
    for (const auto& c : cases) {
        const auto servers = parseOwnServers(serverLine(c.name, c.target, c.tmux));
        EXPECT_EQ(servers, std::vector<Server>{own(c.readName, c.target, 0, c.tmux)}) << c.name;
    }
}

TEST(ServerList, EditsLines)
{
    using Entry = std::optional<std::pair<std::string, std::string>>;
    struct Case {
        const char* name;
        std::string text;
        std::optional<int> line;
        Entry entry;
        bool tmux;
        std::string result;
    } cases[] = {
        {"append to nothing", "", std::nullopt, Entry{{"a", "h"}}, true, "a = h\n"},
        {"append after a text without a final line feed", "x\n# c", std::nullopt, Entry{{"a", "h"}}, false,
         "x\n# c\na = h | plain\n"},
        {"replace in place", "# c\nold\n\nz\n", 1, Entry{{"new", "h"}}, true, "# c\nnew = h\n\nz\n"},
        {"replace past the end", "a\n", 5, Entry{{"new", "h"}}, true, "a\n"},
        {"negative line", "a\nb", -1, Entry{{"new", "h"}}, true, "a\nb\n"},
        {"remove", "a\n# c\nb\n", 0, std::nullopt, true, "# c\nb\n"},
        {"remove the last line left", "a\n", 0, std::nullopt, true, "\n"},
        {"remove past the end", "a", 1, std::nullopt, true, "a\n"},
        {"remove without a line", "a\n\n", std::nullopt, std::nullopt, true, "a\n\n"},
        {"only one empty last line dropped", "a\n\n\n", 0, std::nullopt, true, "\n\n"},
        {"CR LF lines keep their ends", "a = h1\r\nb = h2\r\n", 1, Entry{{"c", "h3"}}, true,
         "a = h1\r\nc = h3\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(editServerLines(c.text, c.line, c.entry, c.tmux), c.result) << c.name;
}

TEST(ServerList, ReordersServerLinesOnly)
{
    const std::string text = "# top\na = h1\n\nb = h2 | plain\nbad line!\nh3\n";
    const auto servers = parseOwnServers(text);
    ASSERT_EQ(servers.size(), 3u);
    EXPECT_EQ(reorderedServerLines(text, {servers[2], servers[0], servers[1]}),
              "# top\nh3\n\na = h1\nbad line!\nb = h2 | plain\n");

    // Rewritten in the normal form.
    EXPECT_EQ(reorderedServerLines("web=h1|plain\nh2", parseOwnServers("h2\nweb=h1|plain")),
              "h2\nweb = h1 | plain\n");

    struct Unchanged {
        const char* name;
        std::string text;
        std::vector<Server> order;
    } unchanged[] = {
        {"count differs", "a = h1\nb = h2", {own("a", "h1", 0)}},
        {"one server", "# c\na = h1", {own("a", "h1", 1)}},
        {"no server", "# c", {}},
    };
    for (const auto& c : unchanged)
        EXPECT_EQ(reorderedServerLines(c.text, c.order), c.text) << c.name;
}

TEST(ServerList, Filters)
{
    const std::vector<Server> servers = {
        own("web", "alice@web.example.com", 0),
        own("Build box", "ci@10.0.0.7:2222", 1),
        own("J\xc3\x96RG", "j@h", 2),
        Server{"prod-db", "prod-db", false, 0, true},
    };
    struct Case {
        std::string query;
        std::string names;
    } cases[] = {
        {"", "web,Build box,J\xc3\x96RG,prod-db"},
        {"   ", "web,Build box,J\xc3\x96RG,prod-db"},
        {"WEB", "web"},
        {"box 2222", "Build box"},
        {"2222 box", "Build box"},
        {"b", "web,Build box,prod-db"},
        {"j\xc3\xb6rg", "J\xc3\x96RG"},
        {"web nothing", ""},
        {"10.0 build", "Build box"},
        {"box ci@", "Build box"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(names(filterServers(servers, c.query)), c.names) << c.query;
}

// Reading ssh client configuration: Host and Include lines, include expansion, and the host
// list of a fixture tree of configuration files.
#include "SSHConfig.h"
#include "TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace orvane;
using orvane::testing::writeFile;
using Strings = std::vector<std::string>;

namespace {

// A home folder with a .ssh folder in a temporary directory.
class Home {
public:
    Home() { std::filesystem::create_directories(ssh()); }
    std::string path() const { return tmp_.path().toStdString(); }
    std::string ssh() const { return path() + "/.ssh"; }
    // Writes a file under the home folder, making its folders.
    void write(const std::string& relative, const std::string& text) const
    {
        const std::filesystem::path file = path() + "/" + relative;
        std::filesystem::create_directories(file.parent_path());
        writeFile(file.string(), text);
    }

private:
    QTemporaryDir tmp_;
};

} // namespace

TEST(SSHConfig, ParsesHostAndIncludeLines)
{
    struct Case {
        const char* name;
        std::string text;
        Strings hosts;
        Strings includes;
    } cases[] = {
        {"hosts", "Host a b\n  HostName x.example.com\n  User me\n", {"a", "b"}, {}},
        {"keywords ignore case", "HOST a\nhost b\nINCLUDE c\n", {"a", "b"}, {"c"}},
        {"patterns and negations left out", "Host *.example.com web !bad db? x*\n", {"web"}, {}},
        {"trailing comment words", "Host a # old box\n", {"a", "#", "old", "box"}, {}},
        {"comment lines", "# Host hidden\n#Host x\n", {}, {}},
        {"tabs and blanks", "\tHost\t a \t b\n\n   \n", {"a", "b"}, {}},
        {"includes as written",
         "Include conf.d/* ~/x /etc/ssh/y\ninclude z\n",
         {},
         {"conf.d/*", "~/x", "/etc/ssh/y", "z"}},
        {"key=value form not recognised", "Host=foo\nInclude=bar\n", {}, {}},
        {"quotes are not understood", "Host \"my box\"\n", {"\"my", "box\""}, {}},
        {"other keywords", "Match host a\nHostName b\nHosts c\n", {}, {}},
        {"keyword alone", "Host\nInclude\n", {}, {}},
        {"CR LF line ends", "Host a\r\nHost b\r\nInclude c\r\n", {"a", "b"}, {"c"}},
        {"no final line feed", "Host last", {"last"}, {}},
    };
    for (const auto& c : cases) {
        const SSHConfig config = parseSSHConfig(c.text);
        EXPECT_EQ(config.hosts, c.hosts) << c.name;
        EXPECT_EQ(config.includes, c.includes) << c.name;
    }
}

TEST(SSHConfig, ExpandsIncludes)
{
    Home home;
    for (const char* name : {"conf.d/20-b.conf", "conf.d/3-a.conf", "conf.d/c.txt", "conf.d/.hidden.conf",
                             "conf.d/x.conf.bak", "conf.d/q?.conf", "conf.d/ab"})
        home.write(std::string(".ssh/") + name, "");
    const std::string h = home.path();
    const std::string d = home.ssh() + "/conf.d/";
    struct Case {
        std::string include;
        Strings files;
    } cases[] = {
        {"config.extra", {h + "/.ssh/config.extra"}},
        {"~/other/config", {h + "/other/config"}},
        {"/etc/ssh/ssh_config", {"/etc/ssh/ssh_config"}},
        {"conf.d/*.conf", {d + ".hidden.conf", d + "20-b.conf", d + "3-a.conf", d + "q?.conf"}},
        {"conf.d/*",
         {d + ".hidden.conf", d + "20-b.conf", d + "3-a.conf", d + "ab", d + "c.txt", d + "q?.conf",
          d + "x.conf.bak"}},
        {"conf.d/3*", {d + "3-a.conf"}},
        {"conf.d/ab*", {d + "ab"}},  // the star may match nothing
        {"conf.d/a*b", {d + "ab"}},
        {"conf.d/ab*b", {}},             // "ab" is shorter than prefix and suffix together
        {"conf.d/q?*", {d + "q?.conf"}},  // "?" is literal
        {"conf.d/*.conf*", {}},          // a second "*" is literal
        {"missing/*", {}},
        {"*/20-b.conf", {h + "/.ssh/*/20-b.conf"}},  // only the last component expands
    };
    for (const auto& c : cases)
        EXPECT_EQ(expandInclude(c.include, h), c.files) << c.include;
}

TEST(SSHConfig, LoadsHostsOfTheIncludeTree)
{
    Home home;
    const std::string abs = home.path() + "/elsewhere/abs.conf";
    home.write(".ssh/config", "Include conf.d/*.conf\n"
                              "Host main -bad a;b alias_1 *\n"
                              "  HostName 10.0.0.1 # not a host\n"
                              "Include ~/extra/config " +
                                  abs +
                                  "\n"
                                  "Host late main\n");
    home.write(".ssh/conf.d/1.conf", "Host one\nInclude level2\n");
    home.write(".ssh/conf.d/2.conf", "Host two # spare box\n");
    home.write(".ssh/conf.d/skip.txt", "Host skipped\n");
    home.write(".ssh/level2", "Host two-deep\nInclude level3\n");
    home.write(".ssh/level3", "Host three-deep\nInclude level4\n");
    home.write(".ssh/level4", "Host too-deep\n");
    home.write("extra/config", "Host extra one\n");
    home.write("elsewhere/abs.conf", "Host absolute\n");
    // The including file's own hosts come first, then those of its includes, in order;
    // includes go three levels deep; each name once; only valid targets.
    EXPECT_EQ(loadSSHConfigHosts(home.path()),
              (Strings{"main", "alias_1", "late", "one", "two-deep", "three-deep", "two", "spare", "box",
                       "extra", "absolute"}));
}

TEST(SSHConfig, MissingConfigGivesNoHosts)
{
    Home home;
    EXPECT_EQ(loadSSHConfigHosts(home.path()), Strings{});
    EXPECT_EQ(loadSSHConfigHosts(home.path() + "/nobody"), Strings{});
}

TEST(SSHConfig, IncludeCyclesEndAtTheDepthLimit)
{
    Home home;
    // config -> a -> config again (a cycle) and a -> x, then b.
    home.write(".ssh/config", "Host c\nInclude a b\nInclude config\n");
    home.write(".ssh/a", "Host a\nInclude config x\n");
    home.write(".ssh/x", "Host x\n");
    home.write(".ssh/b", "Host b\n");
    // Reading follows every include to the third level, the cycle included: inside "a",
    // "config" is read again and brings "b" before "x".
    EXPECT_EQ(loadSSHConfigHosts(home.path()), (Strings{"c", "a", "b", "x"}));
}

TEST(SSHConfig, WideIncludeFanOutsStayCheap)
{
    Home home;
    home.write(".ssh/config", "Include d/*\n");
    Strings expected;
    for (int i = 0; i < 200; ++i) {
        const std::string n = std::to_string(1000 + i);
        home.write(".ssh/d/" + n, "Host h" + n + "\nInclude d/*\n");
        expected.push_back("h" + n);
    }
    // 200 files that each include all 200: a naive walk would read 200^3 files.
    EXPECT_EQ(loadSSHConfigHosts(home.path()), expected);
}

TEST(SSHConfig, OnlyRegularFilesAreRead)
{
    Home home;
    ASSERT_EQ(mkfifo((home.ssh() + "/pipe").c_str(), 0600), 0);
    home.write(".ssh/config", "Include pipe /dev/zero conf.d\nHost ok\n");
    std::filesystem::create_directories(home.ssh() + "/conf.d");
    // Neither blocks on the pipe nor reads the endless device.
    EXPECT_EQ(loadSSHConfigHosts(home.path()), Strings{"ok"});
}

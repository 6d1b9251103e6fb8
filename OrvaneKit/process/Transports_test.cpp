// Target and session rules, command lines of the four transports, and local shells.
#include "TestSupport.h"
#include "TransportError.h"
#include "Transports.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

using namespace orvane;
using orvane::testing::waitUntil;

namespace {

// Sets an environment variable for the scope of a test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

using Args = std::vector<std::string>;

}  // namespace

TEST(Transports, TargetRule)
{
    struct Case {
        std::string target;
        bool valid;
    } cases[] = {
        {"root@server", true},
        {"user.name@host-1.example.com", true},
        {"me@host:2222", true},
        {"me@[fe80::1%en0]", true},
        {"alias_1", true},
        {"", false},
        {"-oProxyCommand=x", false},
        {"me@ho st", false},
        {"me@host;rm", false},
        {"'me'@host", false},
        {"j\xc3\xb6rg@host", false},
        {"me@host/x", false},
        {"a-b@c", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(validTarget(c.target), c.valid) << c.target;
}

TEST(Transports, SessionRule)
{
    struct Case {
        std::string session;
        bool valid;
    } cases[] = {
        {"orvane", true},         {"my.session_2-b", true}, {"", false},
        {"my session", false},    {"a:b", false},           {"caf\xc3\xa9", false},
        {std::string(60, 'a'), true}, {std::string(61, 'a'), false}, {"x'y", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(validSession(c.session), c.valid) << c.session;
    EXPECT_EQ(tmuxControlCommand("work"), "$SHELL -lc 'tmux -CC new-session -A -s work'");
}

TEST(Transports, SshDestinationCarriesThePortAsAnOption)
{
    struct Case {
        std::string target;
        Args args;
    } cases[] = {
        {"root@server", {"root@server"}},
        {"root@server:2222", {"-p", "2222", "root@server"}},
        {"root@10.0.0.5:22", {"-p", "22", "root@10.0.0.5"}},
        {"server:2200", {"-p", "2200", "server"}},
        {"root@server:", {"root@server:"}},
        {"root@server:ssh", {"root@server:ssh"}},
        {"root@[fe80::1%eth0]", {"root@fe80::1%eth0"}},
        {"root@::1", {"root@::1"}},
        {"alias", {"alias"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sshDestination(c.target), c.args) << c.target;
}

TEST(Transports, CommandLines)
{
    ScopedEnv shell("SHELL", "/usr/local/bin/fish");
    ScopedEnv ssh("ORVANE_SSH", nullptr);

    SystemSSHTransport system("me@host:2222", "work");
    EXPECT_EQ(system.executable(), "/usr/bin/ssh");
    EXPECT_EQ(system.arguments(),
              (Args{"ssh", "-tt", "-o", "ServerAliveInterval=15", "-o", "ServerAliveCountMax=3", "-p", "2222",
                    "me@host", "$SHELL -lc 'tmux -CC new-session -A -s work'"}));
    EXPECT_TRUE(system.extraEnv().empty());
    EXPECT_EQ(system.directory(), std::nullopt);

    PlainSSHTransport plain("me@host");
    EXPECT_EQ(plain.arguments(),
              (Args{"ssh", "-o", "ServerAliveInterval=15", "-o", "ServerAliveCountMax=3", "me@host"}));

    LocalShellTransport local(std::string("/tmp"));
    EXPECT_EQ(local.executable(), "/usr/local/bin/fish");
    EXPECT_EQ(local.arguments(), (Args{"fish", "-l"}));
    EXPECT_EQ(local.extraEnv(), (PTYProcess::Env{{"TERM_PROGRAM", "Orvane"}}));
    EXPECT_EQ(local.directory(), "/tmp");

    LocalTmuxTransport attach(false), fresh(true);
    EXPECT_EQ(attach.arguments(), (Args{"fish", "-lc", "tmux -CC attach"}));
    EXPECT_EQ(fresh.arguments(), (Args{"fish", "-lc", "tmux -CC new-session"}));

    ScopedEnv other("ORVANE_SSH", "/opt/ssh-wrapper");
    EXPECT_EQ(PlainSSHTransport("a@b").executable(), "/opt/ssh-wrapper");
}

TEST(Transports, LoginShellFallsBackToThePasswordDatabase)
{
    ScopedEnv shell("SHELL", "");
    const passwd* pw = getpwuid(getuid());
    const std::string expected = pw && pw->pw_shell && *pw->pw_shell ? pw->pw_shell : "/bin/sh";
    const std::string s = loginShell();
    EXPECT_EQ(s, expected);
    LocalShellTransport local;
    EXPECT_EQ(local.executable(), s);
}

TEST(Transports, InvalidTargetsAndSessionsStartNothing)
{
    struct Case {
        std::shared_ptr<PTYProcess> transport;
        std::string message;
    } cases[] = {
        {std::make_shared<SystemSSHTransport>("-oProxyCommand=touch /tmp/pwned", "s"),
         "Invalid target: -oProxyCommand=touch /tmp/pwned"},
        {std::make_shared<SystemSSHTransport>("", "s"), "Invalid target: "},
        {std::make_shared<SystemSSHTransport>("me@host", "my session"), "Invalid session name: my session"},
        {std::make_shared<SystemSSHTransport>("me@host", std::string(61, 'a')),
         "Invalid session name: " + std::string(61, 'a')},
        {std::make_shared<PlainSSHTransport>("-oProxyCommand=x"), "Invalid target: -oProxyCommand=x"},
        {std::make_shared<PlainSSHTransport>("me@host;id"), "Invalid target: me@host;id"},
    };
    for (auto& c : cases) {
        try {
            c.transport->start(80, 24);
            ADD_FAILURE() << "started: " << c.message;
        } catch (const TransportError& e) {
            EXPECT_EQ(e.message, c.message);
            EXPECT_STREQ(e.what(), c.message.c_str());
        }
        EXPECT_EQ(c.transport->processID(), 0) << c.message;
    }
}

TEST(Transports, LocalShellStartsInHomeAndReportsItsDirectory)
{
    QTemporaryDir home;
    ScopedEnv h("HOME", home.path().toUtf8().constData());
    ScopedEnv shell("SHELL", "/bin/sh");
    auto t = std::make_shared<LocalShellTransport>();
    EXPECT_EQ(t->workingDirectory(), std::nullopt);
    std::string out;
    t->onData = [&](std::span<const uint8_t> b) { out.append(b.begin(), b.end()); };
    t->start(80, 24);
    const std::string dir = home.path().toStdString();
    EXPECT_TRUE(waitUntil([&] { return t->workingDirectory() == dir; }));
    t->write("echo \"[$TERM_PROGRAM]\"; cd /usr/share\n");
    EXPECT_TRUE(waitUntil([&] { return t->workingDirectory() == std::string("/usr/share"); }));
    EXPECT_TRUE(waitUntil([&] { return out.find("[Orvane]") != std::string::npos; }));
    t->stop();
    EXPECT_TRUE(waitUntil([&] { return t->workingDirectory() == std::nullopt; }));
}

// The built-in SSH transport against a real sshd on 127.0.0.1, and against small fake servers
// for the failures a real one does not show on demand.
#include "DirectSSHTransport.h"
#include "TestSupport.h"
#include "TransportError.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace orvane;
using namespace std::chrono_literals;
using orvane::testing::readFile;
using orvane::testing::spin;
using orvane::testing::SshServer;
using orvane::testing::SshServerOptions;
using orvane::testing::TestUser;
using orvane::testing::waitUntil;
using orvane::testing::writeFile;

namespace {

const std::string kRejected = "\r\nConnection failed: Login rejected (key or password is wrong).\r\n";

// "type base64" of an OpenSSH .pub file.
std::string publicPart(const std::string& pubFile)
{
    const std::string line = readFile(pubFile);
    const auto first = line.find(' ');
    return line.substr(0, line.find_first_of(" \n", first + 1));
}

size_t count(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// What a transport told its owner, and on which thread.
struct Recorder {
    std::string out;
    int closes = 0;
    int started = 0;
    std::vector<bool> authenticated;
    bool offThread = false;

    void attach(DirectSSHTransport& t)
    {
        const auto check = [this] {
            if (QThread::currentThread() != QCoreApplication::instance()->thread())
                offThread = true;
        };
        t.onData = [this, check](std::span<const uint8_t> b) {
            check();
            out.append(b.begin(), b.end());
        };
        t.onClose = [this, check] {
            check();
            ++closes;
        };
        t.onStarted = [this, check] {
            check();
            ++started;
        };
        t.onAuthenticated = [this, check](bool keyOnly) {
            check();
            authenticated.push_back(keyOnly);
        };
    }
    bool saw(const std::string& part) const { return out.find(part) != std::string::npos; }
};

class DirectSSH : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<SshServer>(options());
        if (!server->running())
            GTEST_FAIL() << server->error();
        knownHosts = std::make_shared<FileKnownHosts>(dir.path().toStdString() + "/known_hosts");
        // The key the server already trusts.
        keys = std::make_shared<MemoryKeyStore>(parseOpenSSHEd25519(readFile(server->clientKey())));
    }

    std::string hostName() const { return "[127.0.0.1]:" + std::to_string(server->port()); }
    std::string hostKey() const { return publicPart(server->hostKey() + ".pub"); }
    void trustServer() { knownHosts->save(hostName(), hostKey()); }

    std::shared_ptr<DirectSSHTransport> make(const std::string& target, bool plain = true,
                                             std::optional<std::string> command = std::nullopt)
    {
        auto t =
            std::make_shared<DirectSSHTransport>(target, "orvane-direct", keys, knownHosts, command, plain);
        rec.attach(*t);
        return t;
    }

    bool waitFor(const std::string& part, std::chrono::milliseconds timeout = 10s)
    {
        return waitUntil([&] { return rec.saw(part); }, timeout);
    }
    // onClose arrives, and no second one follows.
    void expectClosedOnce()
    {
        EXPECT_TRUE(waitUntil([&] { return rec.closes > 0; })) << rec.out;
        spin(150ms);
        EXPECT_EQ(rec.closes, 1) << rec.out;
        EXPECT_FALSE(rec.offThread);
    }

    virtual SshServerOptions options() const { return {.privateHome = true}; }

    QTemporaryDir dir;
    std::unique_ptr<SshServer> server;
    std::shared_ptr<FileKnownHosts> knownHosts;
    std::shared_ptr<SSHKeyStore> keys;
    Recorder rec;
};

// A TCP listener on 127.0.0.1 that accepts connections and then either closes them at once or
// keeps them open without a word.
class FakeServer {
public:
    explicit FakeServer(bool closeAtOnce) : closeAtOnce_(closeAtOnce)
    {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(fd_, 4);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] {
            for (;;) {
                const int c = accept(fd_, nullptr, nullptr);
                if (c < 0 || stopping_)
                    break;
                if (closeAtOnce_)
                    close(c);
                else
                    held_.push_back(c);
            }
            if (const int c = accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK); c >= 0)
                close(c);
        });
    }
    ~FakeServer()
    {
        stopping_ = true;
        shutdown(fd_, SHUT_RDWR);
        thread_.join();
        close(fd_);
        for (const int c : held_)
            close(c);
    }
    int port() const { return port_; }

private:
    bool closeAtOnce_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::vector<int> held_;
    std::thread thread_;
};

} // namespace

TEST(SSHTargetParsing, SplitsUserHostAndPort)
{
    struct Case {
        const char* target;
        SSHTarget parsed;
        const char* name;
    };
    const Case cases[] = {
        {"alice@host", {"alice", "host", 22}, "host"},
        {"alice@host:2222", {"alice", "host", 2222}, "[host]:2222"},
        {"alice@[fe80::1]", {"alice", "fe80::1", 22}, "fe80::1"},
        {"alice@[fe80::1%eth0]", {"alice", "fe80::1%eth0", 22}, "fe80::1%eth0"},
        {"alice@[::1]:2222", {"alice", "::1]:2222", 22}, "::1]:2222"}, // a bracketed host carries no port
        {"a@b@c", {"a", "b@c", 22}, "b@c"},
        {"alice@host:", {"alice", "host:", 22}, "host:"},
        {"alice@host:ssh", {"alice", "host:ssh", 22}, "host:ssh"},
        {"alice@host:22", {"alice", "host", 22}, "host"},
        {"alice@10.0.0.1:99999", {"alice", "10.0.0.1", 99999}, "[10.0.0.1]:99999"},
    };
    for (const auto& c : cases) {
        const SSHTarget t = parseTarget(c.target);
        EXPECT_EQ(t, c.parsed) << c.target;
        EXPECT_EQ(knownHostsName(t), c.name) << c.target;
    }
}

TEST(SSHTargetParsing, BadTargetsThrowBeforeAnyConnection)
{
    const auto known = std::make_shared<FileKnownHosts>("/nonexistent/known_hosts");
    const auto keys = std::make_shared<MemoryKeyStore>(std::nullopt);
    const std::pair<std::string, std::string> cases[] = {
        {"host", "Please enter user@host (e.g. root@192.168.0.39)."},
        {"@host", "Invalid target: @host"},
        {"alice@", "Invalid target: alice@"},
        {"alice@[]", "Invalid target: alice@[]"},
        {"-oProxyCommand=x@host", "Invalid target: -oProxyCommand=x@host"},
        {"alice@my host", "Invalid target: alice@my host"},
        {"", "Invalid target: "},
    };
    for (const auto& [target, message] : cases) {
        DirectSSHTransport t(target, "s", keys, known);
        bool closed = false;
        t.onClose = [&] { closed = true; };
        try {
            t.start(80, 24);
            ADD_FAILURE() << "no error for " << target;
        } catch (const TransportError& e) {
            EXPECT_EQ(e.message, message);
        }
        spin(20ms);
        EXPECT_FALSE(closed) << target;
    }
}

TEST(DirectSSHCommand, DefaultsToTmuxControlMode)
{
    const auto known = std::make_shared<FileKnownHosts>("/nonexistent/known_hosts");
    const auto keys = std::make_shared<MemoryKeyStore>(std::nullopt);
    EXPECT_EQ(DirectSSHTransport("a@b", "work", keys, known).command,
              "$SHELL -lc 'tmux -CC new-session -A -s work'");
    EXPECT_EQ(DirectSSHTransport("a@b", "work", keys, known, "uptime").command, "uptime");
}

TEST_F(DirectSSH, NewHostAnsweredYesIsStoredAndTheKeyLogsIn)
{
    auto t = make(server->target());
    t->start(100, 30);
    const std::string question =
        "The authenticity of " + hostName() + " can't be established.\r\nssh-ed25519 " +
        "fingerprint: " + fingerprint(hostKey()) + "\r\nContinue connecting (yes/no)? ";
    ASSERT_TRUE(waitFor("(yes/no)? ")) << rec.out;
    EXPECT_TRUE(rec.saw("Connecting to 127.0.0.1:" + std::to_string(server->port()) + " ...\r\n" + question))
        << rec.out;
    // Typed text shows only after Enter.
    const std::string asked = rec.out;
    t->write("YE");
    spin(50ms);
    EXPECT_EQ(rec.out, asked);
    t->write("S\r");
    ASSERT_TRUE(waitUntil([&] { return !rec.authenticated.empty(); })) << rec.out;
    EXPECT_TRUE(rec.saw("(yes/no)? YES\r\n")) << rec.out;
    EXPECT_EQ(rec.authenticated, std::vector<bool>{true});
    EXPECT_EQ(readFile(knownHosts->url), hostName() + " " + hostKey() + "\n");

    // Plain mode: the login shell runs on a pseudo-terminal of the size asked for, follows size
    // changes, and its error output arrives like the rest.
    ASSERT_TRUE(waitUntil([&] { return rec.started == 1; })) << rec.out;
    t->write("echo \"answer $((6 * 7)) $(stty size)\"\n");
    EXPECT_TRUE(waitFor("answer 42 30 100")) << rec.out;
    t->resize(120, 40);
    t->write("echo \"now $(stty size)\"; echo on-stderr >&2\n");
    EXPECT_TRUE(waitFor("now 40 120")) << rec.out;
    EXPECT_TRUE(waitFor("on-stderr\r\n")) << rec.out;
    t->write("echo \"home $HOME\"\n");
    EXPECT_TRUE(waitFor("home " + server->dir() + "/home")) << rec.out;
    t->write("exit\n");
    expectClosedOnce();

    // Known now: the next connection asks nothing.
    rec = {};
    auto again = make(server->target(), false, "exec sh");
    again->start(80, 24);
    ASSERT_TRUE(waitUntil([&] { return !rec.authenticated.empty(); })) << rec.out;
    EXPECT_FALSE(rec.saw("authenticity")) << rec.out;
    again->write("echo ready-$((2 + 2))\n");
    EXPECT_TRUE(waitFor("ready-4")) << rec.out;
    again->stop();
    expectClosedOnce();
}

TEST_F(DirectSSH, NewHostNotConfirmedIsRefused)
{
    for (const char* answer : {"no\r", "y\r", "yes please\n", "\r"}) {
        rec = {};
        auto t = make(server->target());
        t->start(80, 24);
        ASSERT_TRUE(waitFor("(yes/no)? ")) << rec.out;
        t->write(answer);
        EXPECT_TRUE(waitFor("\r\nConnection failed: Host key not confirmed\r\n")) << answer << rec.out;
        expectClosedOnce();
        EXPECT_TRUE(rec.authenticated.empty());
        EXPECT_FALSE(knownHosts->key(hostName()));
    }
}

TEST_F(DirectSSH, ChangedHostKeyIsRefusedWithAWarning)
{
    const std::string other =
        "ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIBLd0ZjXWfLSWYrmF7EOnRtl5wuCT6OZYkOXyADfDbjg";
    knownHosts->save(hostName(), other);
    const std::string before = readFile(knownHosts->url);
    auto t = make(server->target());
    t->start(80, 24);
    EXPECT_TRUE(waitFor("\r\nConnection failed: Host key changed\r\n")) << rec.out;
    EXPECT_TRUE(rec.saw("\r\n@@@ WARNING: the key of " + hostName() +
                        " has changed! @@@\r\nThis could be an attack. " + "Connection aborted.\r\nNeu: " +
                        fingerprint(hostKey()) + "\r\nBekannt: " + fingerprint(other) + "\r\n"))
        << rec.out;
    expectClosedOnce();
    EXPECT_FALSE(rec.saw("(yes/no)"));
    EXPECT_EQ(readFile(knownHosts->url), before);
}

TEST_F(DirectSSH, ExecModeReachesTmuxControlMode)
{
    trustServer();
    auto t = make(server->target(), false);
    t->start(80, 24);
    EXPECT_TRUE(waitFor("\x1bP1000p", 20s)) << rec.out;
    EXPECT_EQ(rec.authenticated, std::vector<bool>{true});
    EXPECT_EQ(rec.started, 0);
    t->stop();
    expectClosedOnce();
}

TEST_F(DirectSSH, KeyRefusedWithoutPasswordMethodEndsWithoutQuestions)
{
    trustServer();
    keys = std::make_shared<MemoryKeyStore>(std::nullopt);
    auto t = make(server->target());
    t->start(80, 24);
    EXPECT_TRUE(waitFor(kRejected)) << rec.out;
    expectClosedOnce();
    EXPECT_FALSE(rec.saw("'s password: "));
    EXPECT_TRUE(rec.authenticated.empty());

    // A key the server does not know fares no better.
    rec = {};
    keys = std::make_shared<MemoryKeyStore>(Ed25519PrivateKey::generate());
    auto other = make(server->target());
    other->start(80, 24);
    EXPECT_TRUE(waitFor(kRejected)) << rec.out;
    expectClosedOnce();
}

TEST_F(DirectSSH, ConnectionRefusedShowsTheFailureLine)
{
    const int port = orvane::testing::freePort();
    auto t = make("alice@127.0.0.1:" + std::to_string(port));
    t->start(80, 24);
    EXPECT_TRUE(waitFor("Connecting to 127.0.0.1:" + std::to_string(port) +
                        " ...\r\n\r\nConnection failed: Connection refused\r\n"))
        << rec.out;
    expectClosedOnce();
}

TEST(DirectSSHFailures, ServerThatSaysNothingTimesOut)
{
    FakeServer silent(false);
    QTemporaryDir dir;
    auto t = std::make_shared<DirectSSHTransport>(
        "alice@127.0.0.1:" + std::to_string(silent.port()), "s",
        std::make_shared<MemoryKeyStore>(std::nullopt),
        std::make_shared<FileKnownHosts>(dir.path().toStdString() + "/kh"), std::nullopt, true, 300ms);
    Recorder rec;
    rec.attach(*t);
    t->start(80, 24);
    ASSERT_TRUE(waitUntil([&] { return rec.closes > 0; }, 5s)) << rec.out;
    EXPECT_EQ(count(rec.out, "\r\nConnection failed: "), 1u) << rec.out;
    EXPECT_FALSE(rec.saw("Login rejected")) << rec.out;
}

TEST(DirectSSHFailures, ServerThatHangsUpBeforeLogin)
{
    FakeServer rude(true);
    QTemporaryDir dir;
    auto t = std::make_shared<DirectSSHTransport>(
        "alice@127.0.0.1:" + std::to_string(rude.port()), "s", std::make_shared<MemoryKeyStore>(std::nullopt),
        std::make_shared<FileKnownHosts>(dir.path().toStdString() + "/kh"));
    Recorder rec;
    rec.attach(*t);
    t->start(80, 24);
    ASSERT_TRUE(waitUntil([&] { return rec.closes > 0; })) << rec.out;
    EXPECT_TRUE(rec.saw("\r\nConnection failed: disconnected by the server before login succeeded.\r\n"))
        << rec.out;
    spin(100ms);
    EXPECT_EQ(rec.closes, 1);
}

TEST_F(DirectSSH, StopAndReleaseSilenceTheTransport)
{
    // stop() at the host-key question: the question ends as refused, onClose comes once.
    auto t = make(server->target());
    t->start(80, 24);
    ASSERT_TRUE(waitFor("(yes/no)? ")) << rec.out;
    t->stop();
    expectClosedOnce();
    t->stop();
    t->write("yes\r");
    spin(100ms);
    EXPECT_EQ(rec.closes, 1);
    EXPECT_FALSE(knownHosts->key(hostName()));

    // Released while asking: nothing more arrives, and the worker lets go of the server.
    rec = {};
    auto gone = make(server->target());
    gone->start(80, 24);
    ASSERT_TRUE(waitFor("(yes/no)? ")) << rec.out;
    const std::string seen = rec.out;
    gone.reset();
    spin(300ms);
    EXPECT_EQ(rec.out, seen);
    EXPECT_EQ(rec.closes, 0);

    // Released from inside its own onClose when the remote command ends.
    trustServer();
    std::shared_ptr<DirectSSHTransport> running = make(server->target(), false, "echo done");
    bool released = false;
    running->onClose = [&] {
        running.reset();
        released = true;
    };
    running->start(80, 24);
    EXPECT_TRUE(waitUntil([&] { return released; })) << rec.out;
}

TEST_F(DirectSSH, BytesBeforeTheChannelAreDropped)
{
    trustServer();
    auto t = make(server->target(), false, "exec sh");
    t->write("echo early-bird\n"); // before start: dropped
    t->start(80, 24);
    ASSERT_TRUE(waitUntil([&] { return !rec.authenticated.empty(); })) << rec.out;
    t->write("echo late-$((1 + 1))\n");
    EXPECT_TRUE(waitFor("late-2")) << rec.out;
    EXPECT_FALSE(rec.saw("early-bird")) << rec.out;
    t->stop();
    expectClosedOnce();
}

namespace {

class DirectSSHPassword : public DirectSSH {
protected:
    void SetUp() override
    {
        if (!user.ready())
            GTEST_SKIP() << user.error();
        DirectSSH::SetUp();
        if (HasFatalFailure())
            return;
        trustServer();
        keys = std::make_shared<MemoryKeyStore>(Ed25519PrivateKey::generate()); // not authorized
    }
    SshServerOptions options() const override { return {.passwordLogin = true, .privateHome = true}; }
    std::string target() const { return user.name + "@127.0.0.1:" + std::to_string(server->port()); }
    std::string prompt() const { return user.name + "'s password: "; }

    TestUser user{"orvane-pwtest", "Lantern-Quiet-42"};
};

} // namespace

TEST_F(DirectSSHPassword, PasswordLoginAfterTheKeyIsRefusedStartsTheShell)
{
    auto t = make(target());
    t->start(100, 30);
    ASSERT_TRUE(waitFor(prompt())) << rec.out;
    // Nothing is echoed; backspace removes a byte, also one of a multi-byte character.
    const std::string asked = rec.out;
    t->write("x\x7f" + user.password + "\xc3\xa9\x7f\x7f");
    spin(50ms);
    EXPECT_EQ(rec.out, asked);
    t->write("\r");
    ASSERT_TRUE(waitUntil([&] { return !rec.authenticated.empty(); })) << rec.out;
    EXPECT_EQ(rec.authenticated, std::vector<bool>{false});
    EXPECT_TRUE(rec.saw(prompt() + "\r\n")) << rec.out;
    EXPECT_FALSE(rec.saw(user.password));

    // Plain mode: the account's login shell runs what is typed.
    ASSERT_TRUE(waitUntil([&] { return rec.started == 1; })) << rec.out;
    t->write("echo \"I am $(id -un) $(stty size)\"\n");
    EXPECT_TRUE(waitFor("I am " + user.name + " 30 100")) << rec.out;
    t->write("exit\n");
    expectClosedOnce();
}

TEST_F(DirectSSHPassword, ThreeWrongPasswordsEndTheLogin)
{
    auto t = make(target());
    t->start(80, 24);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(waitUntil([&] { return count(rec.out, prompt()) == size_t(i); })) << rec.out;
        t->write("wrong-" + std::to_string(i) + "\rignored after enter");
    }
    EXPECT_TRUE(waitFor(kRejected)) << rec.out;
    expectClosedOnce();
    EXPECT_EQ(count(rec.out, prompt()), 3u);
    EXPECT_TRUE(rec.authenticated.empty());
}

TEST_F(DirectSSHPassword, EmptyPasswordEndsAtOnce)
{
    auto t = make(target());
    t->start(80, 24);
    ASSERT_TRUE(waitFor(prompt())) << rec.out;
    t->write("\n");
    EXPECT_TRUE(waitFor(kRejected)) << rec.out;
    expectClosedOnce();
    EXPECT_EQ(count(rec.out, prompt()), 1u);
}

TEST_F(DirectSSHPassword, StopDuringThePasswordQuestion)
{
    auto t = make(target());
    t->start(80, 24);
    ASSERT_TRUE(waitFor(prompt())) << rec.out;
    t->write("half-typed");
    t->stop();
    expectClosedOnce();
    EXPECT_TRUE(rec.authenticated.empty());
    EXPECT_EQ(count(rec.out, prompt()), 1u);
}

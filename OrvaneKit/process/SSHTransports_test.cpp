// The system ssh transports against a real sshd on 127.0.0.1.
#include "TestSupport.h"
#include "Transports.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace orvane;
using orvane::testing::SshServer;
using orvane::testing::waitUntil;

namespace {

class SSHTransports : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.running())
            GTEST_FAIL() << server.error();
        setenv("ORVANE_SSH", server.sshWrapper().c_str(), 1);
    }
    void TearDown() override { unsetenv("ORVANE_SSH"); }

    template <typename T>
    void attach(T& t, std::string& out, bool& closed)
    {
        t->onData = [&out](std::span<const uint8_t> b) { out.append(b.begin(), b.end()); };
        t->onClose = [&closed] { closed = true; };
    }

    SshServer server{orvane::testing::SshServerOptions{.passwordLogin = false, .privateHome = true}};
};

}  // namespace

TEST_F(SSHTransports, PlainSessionRunsACommandThroughThePortForm)
{
    auto t = std::make_shared<PlainSSHTransport>(server.target());
    std::string out;
    bool closed = false;
    attach(t, out, closed);
    t->start(100, 30);
    t->write("echo \"answer $((6 * 7)) $(stty size)\"; exit\n");
    ASSERT_TRUE(waitUntil([&] { return closed; }, std::chrono::seconds(20))) << out;
    EXPECT_NE(out.find("answer 42 30 100"), std::string::npos) << out;
}

TEST_F(SSHTransports, SystemTransportReachesTmuxControlMode)
{
    auto t = std::make_shared<SystemSSHTransport>(server.target(), "orvane-test");
    std::string out;
    bool closed = false;
    attach(t, out, closed);
    t->start(80, 24);
    // tmux announces control mode with a DCS introducer before its first line.
    ASSERT_TRUE(waitUntil([&] { return out.find("\x1bP1000p") != std::string::npos; }, std::chrono::seconds(20)))
        << out;
    EXPECT_TRUE(waitUntil([&] { return out.find("%session-changed") != std::string::npos; })) << out;
    const int pid = t->processID();
    t->stop();
    EXPECT_TRUE(waitUntil([&] { return !orvane::testing::processExists(pid); }));
    EXPECT_FALSE(closed);
}

TEST_F(SSHTransports, ChildrenDoNotOutliveTheirTransports)
{
    {
        auto plain = std::make_shared<PlainSSHTransport>(server.target());
        plain->start(80, 24);
        auto tmux = std::make_shared<SystemSSHTransport>(server.target(), "orvane-test2");
        std::string out;
        tmux->onData = [&](std::span<const uint8_t> b) { out.append(b.begin(), b.end()); };
        tmux->start(80, 24);
        ASSERT_TRUE(waitUntil([&] { return out.find("\x1bP1000p") != std::string::npos; }, std::chrono::seconds(20)));
    }
    // Released: every ssh client this test started ends.
    EXPECT_TRUE(waitUntil(
        [&] { return orvane::testing::processesMatching("-F " + server.dir() + "/ssh_config").empty(); }));
}

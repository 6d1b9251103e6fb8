// The client against a real tmux in control mode, started through a local tmux transport
// with a private server (its own TMUX_TMPDIR and HOME).
#include "TestSupport.h"
#include "TmuxControlClient.h"
#include "Transports.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace orvane;
using orvane::testing::waitUntil;
namespace ev = orvane::tmuxevent;

namespace {

class TmuxLive : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string dir = tmp.path().toStdString();
        setenv("TMUX_TMPDIR", dir.c_str(), 1);
        setenv("HOME", dir.c_str(), 1);
        setenv("SHELL", "/bin/sh", 1);
        unsetenv("TMUX");
        transport = std::make_shared<LocalTmuxTransport>(true);
        client = std::make_unique<TmuxControlClient>(
            "orvane", [t = std::weak_ptr(transport)](std::span<const uint8_t> b) {
                if (auto p = t.lock())
                    p->write(b);
            });
        client->onEvent = [this](const TmuxEvent& e) { events.push_back(e); };
        transport->onData = [this](std::span<const uint8_t> b) { client->feed(b); };
        transport->onClose = [this] {
            closed = true;
            client->finish();
        };
        transport->start(100, 30);
    }
    void TearDown() override
    {
        transport->stop();
        orvane::testing::runCommand("tmux kill-server 2>/dev/null");
    }

    // The first event of type T from `from` on that satisfies `pred`.
    template <typename T>
    const T* waitFor(std::function<bool(const T&)> pred = {}, size_t* from = nullptr)
    {
        const T* found = nullptr;
        size_t start = from ? *from : 0;
        waitUntil([&] {
            for (size_t i = start; i < events.size(); ++i) {
                if (const T* e = std::get_if<T>(&events[i]); e && (!pred || pred(*e))) {
                    found = e;
                    if (from)
                        *from = i + 1;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    QTemporaryDir tmp;
    std::shared_ptr<LocalTmuxTransport> transport;
    std::unique_ptr<TmuxControlClient> client;
    std::vector<TmuxEvent> events;
    bool closed = false;
};

}  // namespace

TEST_F(TmuxLive, MirrorsARealSession)
{
    ASSERT_TRUE(waitFor<ev::ControlStarted>());
    size_t at = 0;
    const ev::Layout* first = waitFor<ev::Layout>({}, &at);
    ASSERT_TRUE(first);
    ASSERT_EQ(first->windows.size(), 1u);
    ASSERT_EQ(first->windows[0].panes.size(), 1u);
    const uint32_t pane = first->windows[0].panes[0];
    EXPECT_EQ(first->fresh, (std::vector<uint32_t>{pane}));
    client->setClientSize(100, 30);

    // The fresh pane's screen arrives as a capture.
    ASSERT_TRUE(waitFor<ev::Capture>([&](const ev::Capture& c) { return c.pane == pane; }));

    // Typing reaches the shell in the pane.
    const std::string keys = "echo hi-from-$((40+2))\r";
    client->sendKeys(pane, std::span(reinterpret_cast<const uint8_t*>(keys.data()), keys.size()));
    std::string output;
    ASSERT_TRUE(waitUntil([&] {
        output.clear();
        for (const auto& e : events)
            if (const auto* o = std::get_if<ev::PaneOutput>(&e); o && o->pane == pane)
                output.append(o->bytes.begin(), o->bytes.end());
        return output.find("hi-from-42") != std::string::npos;
    })) << output;

    // A split gives a stack of two panes, the new one captured.
    ASSERT_TRUE(client->run("split-window -v"));
    const ev::Layout* split =
        waitFor<ev::Layout>([](const ev::Layout& l) { return !l.windows.empty() && l.windows[0].panes.size() == 2; },
                            &at);
    ASSERT_TRUE(split);
    ASSERT_EQ(split->fresh.size(), 1u);
    const uint32_t second = split->fresh[0];
    EXPECT_EQ(split->windows[0].panes[1], second);
    EXPECT_EQ(split->windows[0].focus, 1);
    ASSERT_TRUE(waitFor<ev::Capture>([&](const ev::Capture& c) { return c.pane == second; }));

    // Sessions are listed; switching renames.
    client->requestSessions(true);
    const ev::Sessions* sessions = waitFor<ev::Sessions>();
    ASSERT_TRUE(sessions);
    ASSERT_EQ(sessions->sessions.size(), 1u);
    EXPECT_EQ(sessions->sessions[0].windows, 1);
    ASSERT_TRUE(client->run("new-session -d -s other"));
    ASSERT_TRUE(waitFor<ev::Sessions>([](const ev::Sessions& s) { return s.sessions.size() == 2; }));
    ASSERT_TRUE(client->run("switch-client -t other"));
    ASSERT_TRUE(waitFor<ev::SessionChanged>([](const ev::SessionChanged& s) { return s.name == "other"; }));
    EXPECT_EQ(client->sessionName, "other");

    // Leaving control mode ends it.
    ASSERT_TRUE(client->run("detach-client"));
    EXPECT_TRUE(waitFor<ev::Exited>());
    EXPECT_TRUE(waitUntil([&] { return closed; }));
}

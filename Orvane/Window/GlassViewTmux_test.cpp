// A window bound to a real local tmux server (private TMUX_TMPDIR and HOME): tabs mirror tmux,
// and the window's actions change tmux.
#include "GlassView.h"
#include "GlassWindow.h"
#include "TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;
using orvane::testing::waitUntil;

namespace {

class GlassViewTmux : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QByteArray dir = tmp.path().toUtf8();
        setenv("TMUX_TMPDIR", dir.constData(), 1);
        setenv("HOME", dir.constData(), 1);
        setenv("SHELL", "/bin/sh", 1);
        unsetenv("TMUX");
        window = new GlassWindow(QRect(0, 0, 1000, 700));
        view = new GlassView(localTmuxServer(), std::nullopt);
        window->setContentView(view);
        window->teardown = [v = QPointer(view)] {
            if (v)
                v->teardown();
        };
        window->onClose = [this] { closed = true; };
        window->show();
    }
    void TearDown() override
    {
        delete window;
        orvane::testing::runCommand("tmux kill-server 2>/dev/null");
    }
    // What tmux itself says, one line per window or pane.
    std::string tmux(const std::string& args)
    {
        std::string out;
        orvane::testing::runCommand("tmux " + args + " 2>&1", &out);
        return out;
    }
    bool shown()
    {
        return waitUntil([&] {
            return view->link() && !view->link()->inLogin && !view->tabs().empty() &&
                   !view->tabs()[0]->panes.empty();
        });
    }
    size_t lines(const std::string& s) { return size_t(std::count(s.begin(), s.end(), '\n')); }
    bool screenShows(TerminalView* pane, const std::string& text)
    {
        return waitUntil([&] {
            for (int r = 0; r < pane->term.rows(); ++r)
                if (pane->term.rowText(r).find(text) != std::string::npos)
                    return true;
            return false;
        });
    }

    QTemporaryDir tmp;
    GlassWindow* window = nullptr;
    GlassView* view = nullptr;
    bool closed = false;
};

}  // namespace

TEST_F(GlassViewTmux, TabsAndPanesFollowTmux)
{
    ASSERT_TRUE(shown());
    EXPECT_EQ(view->tabs().size(), 1u);
    TerminalView* pane = view->tabs()[0]->panes[0];
    ASSERT_TRUE(pane->paneID);
    EXPECT_TRUE(pane->dropReplies);

    // Typing reaches the shell in the tmux pane, and its output comes back.
    pane->send(std::string_view("echo typed-$((2+3))\r"));
    EXPECT_TRUE(screenShows(pane, "typed-5"));

    // A new tab is a new tmux window; selecting switches tmux's window.
    view->newTab();
    ASSERT_TRUE(waitUntil([&] { return view->tabs().size() == 2; }));
    EXPECT_EQ(lines(tmux("list-windows")), 2u);
    EXPECT_EQ(view->active(), 1);
    view->selectTab(0);
    EXPECT_TRUE(waitUntil([&] { return tmux("display-message -p '#{window_index}'") == "0\n"; }));

    // Split and unsplit, and the divider resizes the top pane.
    view->splitPane();
    ASSERT_TRUE(waitUntil([&] { return view->tabs()[size_t(view->active())]->panes.size() == 2; }));
    EXPECT_EQ(lines(tmux("list-panes")), 2u);
    const QRectF c = view->content();
    view->dragDivider(c.top() + 5 * view->tabs()[size_t(view->active())]->panes[0]->cellHeight() + 1);
    EXPECT_TRUE(waitUntil([&] { return tmux("list-panes -F '#{pane_height}'").starts_with("5\n"); }))
        << tmux("list-panes -F '#{pane_height}'");
    view->closeFocused();
    ASSERT_TRUE(waitUntil([&] { return view->tabs()[size_t(view->active())]->panes.size() == 1; }));
    EXPECT_EQ(lines(tmux("list-panes")), 1u);

    // A window of three side-by-side panes shows its active pane only.
    tmux("split-window -h");
    tmux("split-window -h");
    ASSERT_TRUE(waitUntil([&] { return view->link()->panes.size() == 4; }));
    EXPECT_EQ(view->tabs()[size_t(view->active())]->panes.size(), 1u);
    const std::string active = tmux("display-message -p '#{pane_id}'");
    EXPECT_EQ("%" + std::to_string(*view->tabs()[size_t(view->active())]->panes[0]->paneID) + "\n", active);

    // Closing the other tab kills its tmux window.
    view->closeTab(1);
    EXPECT_TRUE(waitUntil([&] { return view->tabs().size() == 1; }));
    EXPECT_EQ(lines(tmux("list-windows")), 1u);
}

TEST_F(GlassViewTmux, TheEndOfTmuxClosesTheWindow)
{
    ASSERT_TRUE(shown());
    tmux("kill-server");
    EXPECT_TRUE(waitUntil([&] { return closed; }));
}

TEST_F(GlassViewTmux, SessionListSwitchesCreatesAndKills)
{
    ASSERT_TRUE(shown());
    view->showSessions();
    ASSERT_TRUE(view->picker());
    EXPECT_TRUE(view->sessionsOpen());
    ASSERT_TRUE(waitUntil([&] { return view->picker()->items.size() == 1; }));
    EXPECT_EQ(view->picker()->heading, "Sessions on Local tmux");
    EXPECT_TRUE(view->picker()->items[0].detail.startsWith("1 windows, 1 attached, just now"))
        << view->picker()->items[0].detail.toStdString();

    // A name with a blank is refused; a good one is created and switched to.
    view->askText = [](const QString&, const QString&, const QString&) { return std::optional<std::string>("build 2"); };
    view->picker()->onAdd();
    EXPECT_TRUE(view->picker());
    view->askText = [](const QString&, const QString&, const QString&) { return std::optional<std::string>("build-2"); };
    view->picker()->onAdd();
    EXPECT_FALSE(view->picker());
    ASSERT_TRUE(waitUntil([&] { return view->link()->sessionName == "build-2"; }));
    EXPECT_EQ(lines(tmux("list-sessions")), 2u);

    // The list marks the current session; switching back and killing the other.
    view->showSessions();
    ASSERT_TRUE(waitUntil([&] { return view->picker() && view->picker()->items.size() == 2; }));
    int current = -1, other = -1;
    for (int i = 0; i < 2; ++i)
        (view->picker()->items[size_t(i)].title.endsWith(" \u25CF") ? current : other) = i;
    ASSERT_GE(current, 0);
    ASSERT_GE(other, 0);
    EXPECT_EQ(view->picker()->items[size_t(current)].title, "build-2 \u25CF");
    view->picker()->onChoose(other);
    ASSERT_TRUE(waitUntil([&] { return view->link()->sessionName != "build-2"; }));
    view->showSessions();
    ASSERT_TRUE(waitUntil([&] { return view->picker() && view->picker()->items.size() == 2; }));
    for (int i = 0; i < 2; ++i)
        if (view->link()->sessions[size_t(i)].name == "build-2")
            view->picker()->onDelete(i);
    EXPECT_TRUE(waitUntil([&] { return lines(tmux("list-sessions")) == 1; }));
    EXPECT_TRUE(waitUntil([&] { return view->picker() && view->picker()->items.size() == 1; }));
}

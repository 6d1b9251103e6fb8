// Windows bound to tmux over the system ssh program, against a real sshd on 127.0.0.1.
#include "GlassView.h"
#include "GlassWindow.h"
#include "TestSupport.h"
#include "UserDefaults.h"

#include <QSettings>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace orvane;
using orvane::testing::SshServer;
using orvane::testing::SshServerOptions;
using orvane::testing::waitUntil;

namespace {

class GlassViewSSH : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.running()) << server.error();
        setenv("ORVANE_SSH", server.sshWrapper().c_str(), 1);
        setenv("ORVANE_SESSION", "e2e", 1);
    }
    void TearDown() override
    {
        unsetenv("ORVANE_SSH");
        unsetenv("ORVANE_SESSION");
    }
    std::string loginScreen(GlassView& v)
    {
        std::string s;
        if (TerminalView* first = v.link() ? v.link()->first.data() : nullptr)
            for (int r = 0; r < first->term.rows(); ++r)
                s += first->term.rowText(r) + "\n";
        return s;
    }

    SshServer server{SshServerOptions{.passwordLogin = false, .privateHome = true}};
};

}  // namespace

TEST_F(GlassViewSSH, KeyLoginShowsTheSessionAndIsRecorded)
{
    const Server s{"loopback", server.target(), true, 0, true};
    GlassView view(s, std::nullopt);
    view.resize(900, 600);
    view.show();
    ASSERT_TRUE(view.link());
    EXPECT_TRUE(view.link()->inLogin);
    ASSERT_TRUE(waitUntil([&] { return view.link() && !view.link()->inLogin; }, std::chrono::seconds(20)))
        << loginScreen(view);
    EXPECT_EQ(view.tabs().size(), 1u);
    EXPECT_EQ(keyLoginRecord()[s.id()], true);
    const QVariantMap stored =
        QSettings(userDefaultsPath(), QSettings::IniFormat).value("orvaneAuthKey").toMap();
    EXPECT_EQ(stored.value(QString::fromStdString(s.id())).toBool(), true);
    view.teardown();
}

TEST_F(GlassViewSSH, AServerWithoutTmuxShowsTheHint)
{
    // The remote shell looks for a program that does not exist there, as on a server without tmux.
    const std::string wrapper = server.dir() + "/ssh-no-tmux";
    orvane::testing::writeFile(wrapper,
                               "#!/bin/bash\n"
                               "last=\"${!#}\"\n"
                               "exec " + server.sshWrapper() + " \"${@:1:$#-1}\" \"${last//tmux -CC/tmux-missing -CC}\"\n",
                               0755);
    setenv("ORVANE_SSH", wrapper.c_str(), 1);
    auto* window = new GlassWindow(QRect(0, 0, 900, 600));
    auto* view = new GlassView(Server{"box", server.target(), true, 0, true}, std::nullopt);
    window->setContentView(view);
    window->show();
    ASSERT_TRUE(waitUntil([&] { return view->link() && view->link()->closed; }, std::chrono::seconds(20)))
        << loginScreen(*view);
    std::string screen = loginScreen(*view);
    std::erase(screen, '\n');  // the hint wraps on the pane's width
    EXPECT_NE(screen.find("[tmux does not seem to be installed on box. Install it there (e.g. apt install tmux).]"),
              std::string::npos)
        << screen;
    EXPECT_NE(screen.find("[Connection closed. Close this window with"), std::string::npos) << screen;
    // The next close action closes the window.
    bool closed = false;
    window->onClose = [&] { closed = true; };
    view->closeFocused();
    EXPECT_TRUE(closed);
    delete window;
}

TEST(GlassViewSSHPassword, ThePromptShowsInTheLoginPaneAndTheLoginIsRecorded)
{
    orvane::testing::TestUser user{"orvane-pwwin", "Glass-Harbour-17"};
    if (!user.ready())
        GTEST_SKIP() << user.error();
    SshServer server{SshServerOptions{.passwordLogin = true, .privateHome = true}};
    ASSERT_TRUE(server.running()) << server.error();
    // The account reaches its private home and tmux folder; ssh asks for the password.
    chmod(server.dir().c_str(), 0711);
    chmod((server.dir() + "/home").c_str(), 01777);
    chmod(server.tmuxTmpDir().c_str(), 01777);
    const std::string wrapper = server.dir() + "/ssh-password";
    orvane::testing::writeFile(wrapper,
                               "#!/bin/sh\nexec " + server.sshWrapper() +
                                   " -o BatchMode=no -o PubkeyAuthentication=no"
                                   " -o PreferredAuthentications=password \"$@\"\n",
                               0755);
    setenv("ORVANE_SSH", wrapper.c_str(), 1);
    setenv("ORVANE_SESSION", "pw", 1);
    const Server s{"pw", user.name + "@127.0.0.1:" + std::to_string(server.port()), true, 0, true};
    {
        GlassView view(s, std::nullopt);
        view.resize(900, 600);
        view.show();
        TerminalView* login = view.link()->first;
        auto loginShows = [&](const std::string& text) {
            for (int r = 0; r < login->term.rows(); ++r)
                if (login->term.rowText(r).find(text) != std::string::npos)
                    return true;
            return false;
        };
        ASSERT_TRUE(waitUntil([&] { return loginShows("password:"); }, std::chrono::seconds(20)));
        login->send(user.password + "\r");
        ASSERT_TRUE(waitUntil([&] { return view.link() && !view.link()->inLogin; }, std::chrono::seconds(20)));
        EXPECT_EQ(keyLoginRecord()[s.id()], false);
        view.teardown();
    }
    orvane::testing::runCommand("su -s /bin/sh " + user.name + " -c 'TMUX_TMPDIR=" + server.tmuxTmpDir() +
                                " tmux kill-server' 2>/dev/null");
    unsetenv("ORVANE_SSH");
    unsetenv("ORVANE_SESSION");
}

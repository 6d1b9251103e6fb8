// The glass view offscreen with real shells: tabs, splits, closing rules, the divider,
// font sizes and geometry.
#include "GlassView.h"
#include "TestSupport.h"
#include "UserDefaults.h"

#include <tuple>

#include <QApplication>
#include <QKeyEvent>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;
using orvane::testing::waitUntil;

namespace {

class GlassViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SHELL", "/bin/sh", 1);
        setenv("HOME", home.path().toUtf8().constData(), 1);
        QSettings(userDefaultsPath(), QSettings::IniFormat).clear();
    }
    std::unique_ptr<GlassView> make()
    {
        auto v = std::make_unique<GlassView>(std::nullopt, std::nullopt);
        v->resize(900, 600);
        v->show();
        return v;
    }
    // Tabs are told apart by their first pane.
    static std::vector<TerminalView*> firstPanes(const GlassView& v)
    {
        std::vector<TerminalView*> out;
        for (const auto& t : v.tabs())
            out.push_back(t->panes.at(0));
        return out;
    }
    void key(GlassView& v, int k, Qt::KeyboardModifiers mods)
    {
        TerminalView* pane = v.tabs()[size_t(v.active())]->focusedPane();
        QKeyEvent over(QEvent::ShortcutOverride, k, mods);
        QApplication::sendEvent(pane, &over);
        QKeyEvent press(QEvent::KeyPress, k, mods);
        QApplication::sendEvent(pane, &press);
    }
    QTemporaryDir home;
};

}  // namespace

TEST_F(GlassViewTest, ClosingATabKeepsTheRightOneActive)
{
    struct Case {
        int active, closed, expectedFormer;  // expectedFormer: index in the original order
    } cases[] = {
        {2, 0, 2}, {0, 2, 0}, {1, 1, 2}, {2, 2, 1},
    };
    for (const auto& c : cases) {
        auto v = make();
        v->addTab(std::nullopt);
        v->addTab(std::nullopt);
        const auto before = firstPanes(*v);
        v->selectTab(c.active);
        v->closeTab(c.closed);
        ASSERT_EQ(v->tabs().size(), 2u);
        EXPECT_EQ(firstPanes(*v)[size_t(v->active())], before[size_t(c.expectedFormer)])
            << "active " << c.active << " closed " << c.closed;
        // Hidden and shown panes follow the active tab.
        for (size_t t = 0; t < v->tabs().size(); ++t)
            EXPECT_EQ(v->tabs()[t]->panes[0]->isVisibleTo(v.get()), int(t) == v->active());
    }
}

TEST_F(GlassViewTest, SplitUnsplitAndCloseFocused)
{
    QSettings(userDefaultsPath(), QSettings::IniFormat).setValue("splitRatio", 0.9);
    auto v = make();
    TerminalView* top = v->tabs()[0]->panes[0];
    v->splitPane();
    const TabModel& tab = *v->tabs()[0];
    ASSERT_EQ(tab.panes.size(), 2u);
    EXPECT_EQ(tab.panes[0], top);
    EXPECT_EQ(tab.focus, 1);
    EXPECT_EQ(tab.ratio, 0.5);  // 0.9 is out of range
    EXPECT_LT(tab.panes[0]->geometry().bottom(), tab.panes[1]->geometry().top());
    TerminalView* bottom = tab.panes[1];

    // Focus on the bottom pane: unsplitting removes the top one.
    v->splitPane();
    ASSERT_EQ(v->tabs()[0]->panes.size(), 1u);
    EXPECT_EQ(v->tabs()[0]->panes[0], bottom);
    EXPECT_EQ(v->tabs()[0]->focus, 0);

    // Close-focused: the unfocused pane of a split, then the tab; the last tab leaves none.
    v->splitPane();
    v->tabs()[0]->focus = 0;
    v->closeFocused();
    ASSERT_EQ(v->tabs()[0]->panes.size(), 1u);
    EXPECT_EQ(v->tabs()[0]->panes[0], bottom);
    v->addTab(std::nullopt);
    v->closeFocused();
    EXPECT_EQ(v->tabs().size(), 1u);
    v->closeFocused();
    EXPECT_TRUE(v->tabs().empty());
}

TEST_F(GlassViewTest, DividerDragIsClampedAndRemembered)
{
    auto v = make();
    v->splitPane();
    const QRectF c = v->content();
    v->dragDivider(c.top() - 100);
    EXPECT_DOUBLE_EQ(v->tabs()[0]->ratio, 0.15);
    v->dragDivider(c.bottom() + 100);
    EXPECT_DOUBLE_EQ(v->tabs()[0]->ratio, 0.85);
    v->dragDivider(c.top() + 5 + (c.height() - 10) * 0.3);
    EXPECT_NEAR(v->tabs()[0]->ratio, 0.3, 1e-9);
    v->endDividerDrag();
    EXPECT_NEAR(storedSplitRatio(), 0.3, 1e-9);
    ASSERT_TRUE(v->dividerGrab());
}

TEST_F(GlassViewTest, ShortcutsReachTheWindowBeforeThePane)
{
    auto v = make();
    v->addTab(std::nullopt);
    key(*v, Qt::Key_3, Qt::MetaModifier);  // no third tab: nothing, and the pane does not see it
    EXPECT_EQ(v->active(), 1);
    key(*v, Qt::Key_BracketRight, Qt::MetaModifier);
    EXPECT_EQ(v->active(), 0);
    key(*v, Qt::Key_BracketLeft, Qt::MetaModifier);
    EXPECT_EQ(v->active(), 1);
    key(*v, Qt::Key_1, Qt::MetaModifier);
    EXPECT_EQ(v->active(), 0);
    key(*v, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(v->tabs().size(), 3u);
    EXPECT_EQ(v->active(), 2);
    key(*v, Qt::Key_D, Qt::MetaModifier);
    EXPECT_EQ(v->tabs()[2]->panes.size(), 2u);
    key(*v, Qt::Key_Up, Qt::MetaModifier | Qt::AltModifier);
    EXPECT_EQ(v->tabs()[2]->focus, 0);
    key(*v, Qt::Key_Down, Qt::MetaModifier | Qt::AltModifier);
    EXPECT_EQ(v->tabs()[2]->focus, 1);
}

TEST_F(GlassViewTest, FontSizeRules)
{
    auto v = make();
    v->splitPane();
    v->addTab(std::nullopt);
    auto sizes = [&] {
        std::vector<double> out;
        for (const auto& t : v->tabs())
            for (const auto& p : t->panes)
                out.push_back(p->fontSize());
        return out;
    };
    v->changeFontSize(8);
    EXPECT_EQ(sizes(), (std::vector<double>{8, 8, 8}));
    v->perform({WindowAction::FontSmaller});
    EXPECT_EQ(QSettings(userDefaultsPath(), QSettings::IniFormat).value("fontSize").toDouble(), 7);
    EXPECT_EQ(sizes(), (std::vector<double>{14, 14, 14}));
    v->perform({WindowAction::FontSmaller});
    EXPECT_EQ(sizes(), (std::vector<double>{13, 13, 13}));
    v->changeFontSize(40);
    v->perform({WindowAction::FontBigger});
    EXPECT_EQ(sizes(), (std::vector<double>{14, 14, 14}));
    v->perform({WindowAction::FontReset});
    EXPECT_EQ(storedFontSize(), 14);
    // New panes read the stored size.
    v->changeFontSize(20);
    v->addTab(std::nullopt);
    EXPECT_EQ(v->tabs().back()->panes[0]->fontSize(), 20);
}

TEST_F(GlassViewTest, GeometryAndAShellInThePane)
{
    auto v = make();
    EXPECT_EQ(v->card(), QRectF(26, 26, 848, 534));
    EXPECT_EQ(v->content(), QRectF(52, 82, 796, 462));
    EXPECT_EQ(v->trafficLights(), QRectF(46, 46, 74, 26));
    EXPECT_EQ(v->palette(), QRectF(814, 46, 40, 26));
    EXPECT_EQ(v->cornerRadius(), 36);
    TerminalView* pane = v->tabs()[0]->panes[0];
    EXPECT_EQ(QRectF(pane->geometry()), v->content());
    EXPECT_EQ(v->tabs()[0]->displayTitle(), "sh");

    pane->send(std::string_view("echo glass-$((1+1))\r"));
    std::string screen;
    EXPECT_TRUE(waitUntil([&] {
        screen.clear();
        for (int r = 0; r < pane->term.rows(); ++r)
            screen += pane->term.rowText(r) + "\n";
        return screen.find("glass-2\n") != std::string::npos;  // the prompt may come first
    })) << screen;
    // The shell ending closes its tab.
    pane->send(std::string_view("exit\r"));
    EXPECT_TRUE(waitUntil([&] { return v->tabs().empty(); }));
}

TEST_F(GlassViewTest, ServerListRowsAndEdits)
{
    auto v = make();
    v->showServers();
    ASSERT_TRUE(v->picker());
    const auto& rows = [&]() -> const std::vector<PickerItem>& { return v->picker()->items; };
    ASSERT_EQ(rows().size(), 1u);
    EXPECT_EQ(rows()[0], (PickerItem{"Local tmux", "attach or start", false, false, false, false, true}));
    EXPECT_TRUE(v->picker()->numbered && v->picker()->zeroIndexed);

    std::optional<GlassView::ServerFields> answer;
    v->editServer = [&](const std::optional<Server>&) { return answer; };
    for (const auto& [name, target, tmux] : std::vector<std::tuple<std::string, std::string, bool>>{
             {"", "me@alpha", true}, {"beta", "me@beta:2222", false}, {"gamma", "root@gamma", true}}) {
        answer = GlassView::ServerFields{name, target, tmux};
        v->picker()->onAdd();
    }
    answer = GlassView::ServerFields{"bad", "-oProxyCommand=x", true};  // refused without a message
    v->picker()->onAdd();
    answer = GlassView::ServerFields{"blank", "me@ho st", true};  // the dialog takes it, the list does not
    v->picker()->onAdd();
    ASSERT_EQ(rows().size(), 4u);
    EXPECT_EQ(rows()[1].title, "me@alpha");
    EXPECT_EQ(rows()[2].detail, "me@beta:2222  (ssh only)");
    EXPECT_FALSE(rows()[2].highlighted);
    EXPECT_TRUE(rows()[3].highlighted);

    // The third server dragged to the top becomes the first; row 0 never moves.
    v->picker()->onReorder(3, 1);
    EXPECT_EQ(rows()[1].title, "gamma");
    v->picker()->onReorder(2, 0);
    EXPECT_EQ(rows()[1].title, "me@alpha");
    v->picker()->onDelete(1);
    EXPECT_EQ(rows().size(), 3u);

    // Choosing opens a window for the server and closes the list.
    std::optional<Server> opened;
    v->onOpenServer = [&](const Server& s) { opened = s; };
    v->picker()->onChoose(0);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->name, "Local tmux");
    EXPECT_FALSE(v->picker());
}

TEST_F(GlassViewTest, SwitchToLocalTmuxOnlyFromOnePane)
{
    auto v = make();
    v->addTab(std::nullopt);
    v->switchToLocalTmux();
    EXPECT_FALSE(v->link());
    EXPECT_EQ(v->tabs().size(), 2u);
}

TEST_F(GlassViewTest, TabTitlesRenameAndTheTmuxOffer)
{
    auto v = make();
    TabModel& tab = *v->tabs()[0];
    EXPECT_EQ(v->windowTitle(), std::to_string(v->number()) + "  sh");

    // The poll finds the command running in the shell, and keeps it after it ends.
    TerminalView* pane = tab.panes[0];
    pane->send(std::string_view("exec 2>/dev/null; sleep 3\r"));
    EXPECT_TRUE(waitUntil([&] { return tab.lastCommand == "sleep"; }, std::chrono::seconds(15)));
    EXPECT_EQ(tab.displayTitle(), "sleep");

    // A program's title wins over the command, a user's name over both; blanks restore.
    pane->receive(std::string_view("\x1b]2;vim notes\x07"));
    EXPECT_EQ(tab.displayTitle(), "vim notes");
    v->askText = [](const QString&, const QString&, const QString&) { return std::optional<std::string>(" build "); };
    v->renameTab();
    EXPECT_EQ(tab.displayTitle(), " build ");
    v->askText = [](const QString&, const QString&, const QString&) { return std::optional<std::string>("   "); };
    v->renameTab();
    EXPECT_EQ(tab.displayTitle(), "vim notes");

    // tmux in the only pane is offered once, and again after it ended.
    int offers = 0;
    v->confirmTmuxSwitch = [&] {
        ++offers;
        return false;
    };
    const int pid = pane->shell->processID();
    v->applyCommands({pid}, {{pid, "tmux"}});
    v->applyCommands({pid}, {{pid, "tmux"}});
    EXPECT_EQ(offers, 1);
    v->applyCommands({pid}, {{pid, "vim"}});
    v->applyCommands({pid}, {{pid, "tmux"}});
    EXPECT_EQ(offers, 2);
    v->addTab(std::nullopt);
    v->applyCommands({pid, 0}, {{pid, "vim"}});
    v->applyCommands({pid, 0}, {{pid, "tmux"}});
    EXPECT_EQ(offers, 2);  // two tabs: no offer
}

// The application object offscreen: windows and their limit, folders, quitting, automation.
#include "AppDelegate.h"
#include "GlassView.h"
#include "GlassWindow.h"
#include "InstanceChannel.h"
#include "TestSupport.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;
using orvane::testing::waitUntil;

namespace {

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("SHELL", "/bin/sh", 1);
        setenv("HOME", home.path().toUtf8().constData(), 1);
        for (const char* v : {"ORVANE_CONNECT", "ORVANE_ACTIONS", "ORVANE_SNAPSHOT", "ORVANE_TEST_FOLDER_SERVICE",
                              "ORVANE_TEST_FOLDER_SERVICE_TAB", "ORVANE_HELPSHOT"})
            unsetenv(v);
    }
    static size_t open(const AppDelegate& app)
    {
        size_t n = 0;
        for (const auto& w : app.windows())
            n += !w.isNull();
        return n;
    }
    static GlassView* view(GlassWindow* w) { return dynamic_cast<GlassView*>(w->contentView()); }
    QTemporaryDir home;
};

}  // namespace

TEST(AppParts, ActionsAndRequests)
{
    EXPECT_EQ(splitActions("tab,split,,count"), (std::vector<QString>{"tab", "split", "count"}));
    EXPECT_EQ(splitActions("tab, split"), (std::vector<QString>{"tab", " split"}));
    EXPECT_TRUE(splitActions("").empty());
    for (const InstanceRequest& r : {InstanceRequest{InstanceRequest::Kind::Window, {}},
                                     InstanceRequest{InstanceRequest::Kind::Folder, "/tmp/a b"},
                                     InstanceRequest{InstanceRequest::Kind::FolderTab, "/x\ty"}}) {
        const auto back = decodeRequest(encodeRequest(r));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->kind, r.kind);
        EXPECT_EQ(back->folder, r.folder);
    }
    EXPECT_FALSE(decodeRequest("bogus"));
    EXPECT_FALSE(decodeRequest("drop\t/tmp"));
}

TEST_F(AppTest, AtMostSixWindowsAndQuitClosesOne)
{
    AppDelegate app;
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(app.openWindow(std::nullopt, std::nullopt));
    EXPECT_EQ(app.openWindow(std::nullopt, std::nullopt), nullptr);
    EXPECT_EQ(open(app), 6u);
    std::vector<int> numbers;
    for (const auto& w : app.windows())
        numbers.push_back(view(w)->number());
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5, 6}));

    app.quitOrCloseWindow();
    EXPECT_EQ(open(app), 5u);
    app.runAction("count");
    EXPECT_EQ(orvane::testing::readFile("/tmp/orvane-count"), "5 min=false");
    // The freed number comes back for the next window.
    GlassWindow* again = app.openWindow(std::nullopt, std::nullopt);
    ASSERT_TRUE(again);
    EXPECT_EQ(open(app), 6u);
}

TEST_F(AppTest, ViewActionsReachTheFirstWindow)
{
    AppDelegate app;
    GlassWindow* w = app.openWindow(std::nullopt, std::nullopt);
    GlassView* v = view(w);
    for (const char* a : {"tab", " tab", "split", "select0", "select9", "select", "selectx", "nonsense"})
        app.runAction(a);
    EXPECT_EQ(v->tabs().size(), 2u);
    EXPECT_EQ(v->active(), 0);
    EXPECT_EQ(v->tabs()[1]->panes.size(), 2u);
    app.runAction("count");
    EXPECT_EQ(orvane::testing::readFile("/tmp/orvane-count"), "1 min=false");
}

TEST_F(AppTest, FoldersReplaceTheLaunchWindowOrOpenTabs)
{
    AppDelegate app;
    app.openDefaultWindow();
    ASSERT_EQ(open(app), 1u);
    const QString folder = home.path();
    EXPECT_TRUE(app.openFolder(folder, false));
    QApplication::processEvents();
    ASSERT_EQ(open(app), 1u);  // the launch window was replaced
    GlassView* v = view(app.windows().back());
    EXPECT_TRUE(waitUntil([&] { return v->focusedDirectory() == folder; }));

    EXPECT_TRUE(app.openFolder("/usr", true));
    EXPECT_EQ(open(app), 1u);
    EXPECT_EQ(v->tabs().size(), 2u);
    EXPECT_TRUE(waitUntil([&] { return v->focusedDirectory() == QStringLiteral("/usr"); }));

    EXPECT_FALSE(app.openFolder("/no/such/folder", false));
    EXPECT_EQ(open(app), 1u);
}

TEST_F(AppTest, SnapshotIsAPngOfTheWindow)
{
    QTemporaryDir dir;
    AppDelegate app;
    GlassWindow* w = app.openWindow(std::nullopt, std::nullopt);
    w->resize(700, 450);
    QApplication::processEvents();
    const QString path = dir.path() + "/shot.png";
    app.takeSnapshot(path);
    QImage img(path);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size() / img.devicePixelRatio(), w->contentView()->size());
}

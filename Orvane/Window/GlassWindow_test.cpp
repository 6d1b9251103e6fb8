#include "GlassWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLayout>
#include <QPointer>

#include <gtest/gtest.h>

#include <string>

using orvane::GlassWindow;

TEST(GlassWindow, FramelessTranslucentWithAMinimumSize)
{
    GlassWindow window(QRect(50, 60, 700, 500));
    EXPECT_TRUE(window.isWindow());
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window.windowFlags() & Qt::NoDropShadowWindowHint);
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_FALSE(window.testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_EQ(window.geometry(), QRect(50, 60, 700, 500));
    EXPECT_FALSE(window.onClose);
    EXPECT_FALSE(window.defaultLaunchWindowUntil);

    window.resize(100, 100);
    EXPECT_EQ(window.size(), QSize(420, 280));

    auto* view = new QWidget;
    window.setContentView(view);
    window.show();
    EXPECT_EQ(view->parentWidget(), &window);
    EXPECT_EQ(view->geometry(), window.rect());
}

TEST(GlassWindow, ClosingTearsDownThenReportsOnce)
{
    GlassWindow window(QRect(0, 0, 600, 400));
    std::string order;
    window.teardown = [&] { order += "teardown "; };
    window.onClose = [&] { order += "onClose "; };
    window.show();
    EXPECT_TRUE(window.close());
    EXPECT_EQ(order, "teardown onClose ");
    EXPECT_FALSE(window.isVisible());
    window.close();
    EXPECT_EQ(order, "teardown onClose ");
}

TEST(GlassWindow, OnCloseMayReleaseTheWindow)
{
    QPointer<GlassWindow> window = new GlassWindow(QRect(0, 0, 600, 400));
    bool torn = false;
    window->teardown = [&] { torn = true; };
    window->onClose = [w = window.data()] {
        w->onClose = nullptr;  // the delegate forgets the window...
        w->deleteLater();      // ...and releases it
    };
    window->show();
    window->close();
    EXPECT_TRUE(torn);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
}

TEST(GlassWindow, ReportsFrameAndStateChanges)
{
    GlassWindow window(QRect(0, 0, 600, 400));
    int frames = 0, states = 0;
    window.onFrameChanged = [&] { ++frames; };
    window.onStateChanged = [&] { ++states; };
    window.show();
    QCoreApplication::processEvents();
    frames = states = 0;

    window.setGeometry(30, 40, 700, 450);
    QCoreApplication::processEvents();
    EXPECT_GE(frames, 1);
    EXPECT_TRUE(window.frameIsSavable());

    window.toggleFullScreen();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.isFullScreen());
    EXPECT_GE(states, 1);
    EXPECT_FALSE(window.frameIsSavable());
    window.toggleFullScreen();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.isFullScreen());
    EXPECT_TRUE(window.frameIsSavable());
}

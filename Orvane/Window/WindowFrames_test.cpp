#include "WindowFrames.h"

#include <TempConfig.h>
#include <UserDefaults.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include <gtest/gtest.h>

using namespace orvane;
using orvane::testing::TempConfig;

namespace {

const QList<QRect> kOneScreen{{0, 0, 1920, 1080}};
const QList<QRect> kTwoScreens{{1920, 0, 1280, 1024}, {0, 0, 1920, 1080}};

}  // namespace

TEST(ScreenSignature, ScreensSortedAsText)
{
    EXPECT_EQ(screenSignature(kOneScreen), "0,0,1920,1080");
    EXPECT_EQ(screenSignature(kTwoScreens), "0,0,1920,1080;1920,0,1280,1024");
    // Text order, not numeric order: "-" before digits, "10..." before "9...".
    EXPECT_EQ(screenSignature({{900, 0, 800, 600}, {1000, 0, 800, 600}, {-1280, 0, 1280, 1024}}),
              "-1280,0,1280,1024;1000,0,800,600;900,0,800,600");
    EXPECT_EQ(screenSignature({}), "");

    QList<QRect> connected;
    for (const QScreen* s : QGuiApplication::screens())
        connected.append(s->geometry());
    EXPECT_EQ(screenSignature(), screenSignature(connected));
}

TEST(SavedFrame, ComesBackOnTheSameScreensOnly)
{
    TempConfig config;
    QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    saveFrame(settings, QRect(2000, 100, 900, 600), 2, kTwoScreens);
    EXPECT_EQ(savedFrame(settings, 2, kTwoScreens), QRect(2000, 100, 900, 600));
    EXPECT_EQ(savedFrame(settings, 3, kTwoScreens), std::nullopt);
    // The second screen was removed: a different arrangement, nothing saved for it.
    EXPECT_EQ(savedFrame(settings, 2, kOneScreen), std::nullopt);
    settings.sync();

    // From the file, as the next run reads it.
    QSettings next(userDefaultsPath(), QSettings::IniFormat);
    EXPECT_EQ(savedFrame(next, 2, kTwoScreens), QRect(2000, 100, 900, 600));

    // The connected screens (the test platform's) through the plain calls.
    saveFrame(QRect(10, 20, 640, 400), 5);
    EXPECT_EQ(savedFrame(5), QRect(10, 20, 640, 400));
}

TEST(SavedFrame, WindowOneFallsBackToTheOlderKey)
{
    TempConfig config;
    config.write("[General]\nframe=40, 50, 1000, 700\n");
    QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    EXPECT_EQ(savedFrame(settings, 1, kOneScreen), QRect(40, 50, 1000, 700));
    EXPECT_EQ(savedFrame(settings, 2, kOneScreen), std::nullopt);

    // Its own key for these screens wins; a malformed own value does not fall back.
    saveFrame(settings, QRect(60, 70, 800, 500), 1, kOneScreen);
    EXPECT_EQ(savedFrame(settings, 1, kOneScreen), QRect(60, 70, 800, 500));
    settings.setValue(QStringLiteral("frame1@") + screenSignature(kTwoScreens), QVariantList{1, 2, 3});
    EXPECT_EQ(savedFrame(settings, 1, kTwoScreens), std::nullopt);
    EXPECT_EQ(savedFrame(settings, 1, QList<QRect>{{0, 0, 1280, 800}}), QRect(40, 50, 1000, 700));
}

TEST(SavedFrame, AcceptsOnlyFourNumbersOfAtLeastMinimumSizeReachableOnAScreen)
{
    struct Case {
        QVariant stored;
        bool accepted;
        const char* why;
    };
    // One screen 1920 × 1080; a window must keep 80 points on it in both directions.
    const Case cases[] = {
        {QVariantList{100, 100, 800, 600}, true, "plain"},
        {QStringList{"100", "100", "800", "600"}, true, "as the file gives it"},
        {QVariantList{100.4, 99.6, 800, 600}, true, "fractions"},
        {QVariantList{100, 100, 800, 280}, true, "minimum height"},
        {QVariantList{100, 100, 800, 300}, true, "300 high"},
        {QVariantList{100, 100, 800, 279}, false, "too low"},
        {QVariantList{100, 100, 419, 600}, false, "too narrow"},
        {QVariantList{100, 100, 800}, false, "three entries"},
        {QVariantList{100, 100, 800, 600, 1}, false, "five entries"},
        {QStringList{"100", "x", "800", "600"}, false, "not a number"},
        {QString("100"), false, "not an array"},
        {QVariantList{-720, 100, 800, 600}, true, "80 left on the screen's left"},
        {QVariantList{-721, 100, 800, 600}, false, "79 left on the screen's left"},
        {QVariantList{1840, 100, 800, 600}, true, "80 left on the screen's right"},
        {QVariantList{1841, 100, 800, 600}, false, "79 on the right"},
        {QVariantList{2600, 100, 800, 600}, false, "wholly right of the screen"},
        {QVariantList{100, -520, 800, 600}, true, "80 left at the top"},
        {QVariantList{100, -521, 800, 600}, false, "79 at the top"},
        {QVariantList{100, 1000, 800, 600}, true, "80 left at the bottom"},
        {QVariantList{100, 1001, 800, 600}, false, "79 at the bottom"},
        {QVariantList{100, 1600, 800, 600}, false, "wholly below the screen"},
        {QVariantList{-1e12, -1e12, 4e12, 4e12}, false, "absurdly large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        TempConfig config;
        QSettings settings(userDefaultsPath(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("frame3@0,0,1920,1080"), c.stored);
        EXPECT_EQ(savedFrame(settings, 3, kOneScreen).has_value(), c.accepted);
    }
    // Off the first screen but on the second.
    EXPECT_TRUE(frameReachable(QRectF(2500, 300, 800, 600), kTwoScreens));
    EXPECT_FALSE(frameReachable(QRectF(2500, 300, 800, 600), kOneScreen));
    EXPECT_FALSE(frameReachable(QRectF(0, 0, 800, 600), {}));
}

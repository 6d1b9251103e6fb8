#include "WindowRegistry.h"

#include <gtest/gtest.h>

using orvane::WindowRegistry;
using Entry = WindowRegistry::Entry;

TEST(WindowRegistry, NumbersAndGlowsOfClosedWindowsAreReusedSmallestFirst)
{
    WindowRegistry registry;
    int a = 0, b = 0, c = 0, d = 0, e = 0;
    EXPECT_EQ(registry.nextNumber(), 1);
    EXPECT_EQ(registry.registerView(&a), (Entry{1, 0}));
    EXPECT_EQ(registry.registerView(&b), (Entry{2, 1}));
    EXPECT_EQ(registry.registerView(&c), (Entry{3, 2}));

    registry.unregister(&b);
    EXPECT_EQ(registry.nextNumber(), 2);
    EXPECT_EQ(registry.registerView(&d), (Entry{2, 1}));
    EXPECT_EQ(registry.registerView(&e), (Entry{4, 3}));

    registry.unregister(&a);
    registry.unregister(&d);
    EXPECT_EQ(registry.nextNumber(), 1);
    EXPECT_EQ(registry.registerView(&a), (Entry{1, 0}));
}

TEST(WindowRegistry, GlowChangesKeepTheNumberAndFreeTheOldGlow)
{
    WindowRegistry registry;
    int a = 0, b = 0, c = 0, stranger = 0;
    registry.registerView(&a);
    registry.registerView(&b);
    registry.setGlow(5, &a);
    EXPECT_EQ(registry.entry(&a), (Entry{1, 5}));
    EXPECT_EQ(registry.registerView(&c), (Entry{3, 0}));  // glow 0 is free again

    registry.setGlow(2, &stranger);  // not registered: nothing happens
    EXPECT_EQ(registry.entry(&stranger), std::nullopt);
    EXPECT_EQ(registry.numbers().size(), 3u);

    // Registering a view again gives it its entry back instead of a second one.
    EXPECT_EQ(registry.registerView(&a), (Entry{1, 5}));
    EXPECT_EQ(registry.numbers().size(), 3u);
    registry.unregister(&stranger);
    EXPECT_EQ(registry.numbers().size(), 3u);
}

TEST(WindowRegistry, MoreWindowsThanThemesStillGetAGlow)
{
    WindowRegistry registry;
    int views[10] = {};
    for (int i = 0; i < 10; ++i) {
        const Entry e = registry.registerView(&views[i]);
        EXPECT_EQ(e.number, i + 1);
        EXPECT_GE(e.glow, 0);
        EXPECT_LT(e.glow, 8);
    }
}

TEST(WindowRegistry, SharedIsOneInstance)
{
    EXPECT_EQ(&WindowRegistry::shared(), &WindowRegistry::shared());
}

#include "Glow.h"

#include <gtest/gtest.h>

using orvane::Glow;

TEST(Glow, EightThemesInOrderWithTheirAccents)
{
    const auto& all = Glow::all();
    ASSERT_EQ(all.size(), 8u);
    const char* names[] = {"aurora", "ember", "tide", "rose", "ocean", "gold", "violet", "lime"};
    const uint32_t accents[] = {0x3FD8FF, 0xFFB45A, 0x7FFFD0, 0xFF9AC8,
                                0x6FE6FF, 0xFFE27A, 0xC9A2FF, 0xD4FF7A};
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].name, names[i]);
        EXPECT_EQ(all[i].accent(), accents[i]);
        EXPECT_EQ(all[i].colors[0], all[i].accent());
    }
    EXPECT_EQ(all[0].colors[2], 0xB44DFFu);
    EXPECT_EQ(all[7].colors[3], 0xB8F55Au);
}

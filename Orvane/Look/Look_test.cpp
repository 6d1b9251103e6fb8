#include "Look.h"
#include "TempConfig.h"

#include <Glow.h>

#include <QSettings>

#include <gtest/gtest.h>

using orvane::Look;
using orvane::testing::TempConfig;

namespace {

Look make(std::optional<int> color, double tint, double seeThrough, std::optional<int> prompt, bool promptOn)
{
    Look l;
    l.color = color;
    l.tint = tint;
    l.seeThrough = seeThrough;
    l.prompt = prompt;
    l.promptOn = promptOn;
    return l;
}

}  // namespace

TEST(Look, NothingStoredGivesTheDefaultLook)
{
    TempConfig config;
    const Look look = Look::load(1);
    EXPECT_EQ(look, make(std::nullopt, 0.3, 0.05, std::nullopt, true));
    EXPECT_EQ(look, Look{});
}

// What a user (or an older version) may have left in the file, as the file holds it.
TEST(Look, LoadingLimitsRangesAndRejectsMalformedArrays)
{
    struct Case {
        const char* stored;
        Look expected;
    };
    const Look fallback;
    const Case cases[] = {
        {"2, 1.5, 0.9, -1, 0", make(2, 1.0, 0.7, std::nullopt, false)},
        {"-1, 0.3, 0.05", make(std::nullopt, 0.3, 0.05, std::nullopt, true)},
        {"-1, 0.3, 0.05, 4", make(std::nullopt, 0.3, 0.05, 4, true)},
        {"0, -0.5, -3, 7, 2", make(0, 0.0, 0.0, 7, true)},
        {"3.9, 0.25, 0.5, 1.2, 1", make(3, 0.25, 0.5, 1, true)},
        // colour indexes outside the eight themes follow the glow
        {"8, 0.5, 0.5, 1e300, 1", make(std::nullopt, 0.5, 0.5, std::nullopt, true)},
        {"-0.5, inf, -inf, -2, 0", make(std::nullopt, 1.0, 0.0, std::nullopt, false)},
        // malformed: too short, not numbers, not an array
        {"1, 0.5", fallback},
        {"5", fallback},
        {"2, abc, 0.5", fallback},
        {"2, nan, 0.5", fallback},
        {"2, 0.5, ", fallback},
        {"@Invalid()", fallback},
        {"hello", fallback},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        TempConfig config;
        config.write(QByteArray("[General]\nlook3=") + c.stored + "\n");
        EXPECT_EQ(Look::load(3), c.expected);
        EXPECT_EQ(Look::load(4), fallback);  // another window's number
    }
}

TEST(Look, SavedLookComesBackUnderItsNumberOnly)
{
    TempConfig config;
    const Look look = make(6, 0.42, 0.7, std::nullopt, false);
    look.save(2);
    EXPECT_EQ(Look::load(2), look);
    EXPECT_EQ(Look::load(1), Look{});
    EXPECT_TRUE(config.read().contains("look2=6, 0.42, 0.7, -1, 0")) << config.read().constData();

    // A new process reads the file, not this one's cache.
    QSettings fresh(orvane::userDefaultsPath(), QSettings::IniFormat);
    EXPECT_EQ(Look::load(fresh, 2), look);
}

TEST(Look, DerivedColours)
{
    const int aurora = 0, gold = 5, rose = 3;
    // Gold at full strength: the background is the gold accent itself, light, and prompts
    // are left uncoloured.
    Look full = make(std::nullopt, 1.0, 0.05, std::nullopt, true);
    EXPECT_EQ(full.tintedBackground(gold), 0xFFE27Au);
    EXPECT_TRUE(full.isLight(gold));
    EXPECT_EQ(full.paneLook(gold), (orvane::PaneLook{true, std::nullopt}));
    // Aurora is dark when mixed half and half with the base, light at three quarters.
    EXPECT_FALSE(make(std::nullopt, 0.5, 0.05, std::nullopt, true).isLight(aurora));
    EXPECT_TRUE(make(std::nullopt, 0.75, 0.05, std::nullopt, true).isLight(aurora));
    // An explicit tint colour wins over the window's glow.
    full.color = gold;
    EXPECT_TRUE(full.isLight(aurora));
    EXPECT_EQ(full.tintColor(aurora), 0xFFE27Au);

    // With no tint the background is the base colour and never light.
    for (int g = 0; g < 8; ++g) {
        const Look none = make(g, 0.0, 0.05, std::nullopt, true);
        EXPECT_EQ(none.tintedBackground(g), Look::kBaseColor);
        EXPECT_FALSE(none.isLight(g)) << g;
        EXPECT_EQ(none.promptColor(g), orvane::Glow::all()[size_t(g)].accent());
    }

    // The prompt colour: the window's glow, an explicit theme, or none when switched off.
    const Look dark;
    EXPECT_EQ(dark.paneLook(aurora), (orvane::PaneLook{false, 0x3FD8FFu}));
    EXPECT_EQ(make(std::nullopt, 0.3, 0.05, rose, true).promptColor(aurora), 0xFF9AC8u);
    EXPECT_EQ(make(std::nullopt, 0.3, 0.05, rose, false).promptColor(aurora), std::nullopt);
}

TEST(Look, CyclingTheGlowClearsExplicitColours)
{
    const Look explicitColours = make(4, 0.6, 0.2, 2, false);
    const orvane::GlowCycle cleared = orvane::cycleGlow(0, explicitColours);
    EXPECT_EQ(cleared.glowIndex, 1);  // aurora to ember
    EXPECT_TRUE(cleared.lookChanged);
    EXPECT_EQ(cleared.look, make(std::nullopt, 0.6, 0.2, std::nullopt, false));

    const Look onlyPrompt = make(std::nullopt, 0.3, 0.05, 6, true);
    EXPECT_EQ(orvane::cycleGlow(3, onlyPrompt), (orvane::GlowCycle{4, Look{}, true}));

    const orvane::GlowCycle following = orvane::cycleGlow(7, Look{});
    EXPECT_EQ(following, (orvane::GlowCycle{0, Look{}, false}));  // lime wraps to aurora, nothing to save
}

#include "GlassDrawing.h"
#include "TestCard.h"
#include "WindowChrome.h"

#include <Glow.h>

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace orvane;
using orvane::testing::TestCard;
using orvane::testing::hex;
using orvane::testing::near;
using orvane::testing::renderGlass;

namespace {

const TestCard kWindow{{600, 400}};

// A pixel inside light i that none of the glyphs touches.
QPoint plainPixel(int i)
{
    const QPointF c = trafficLightCenter(kWindow.trafficLights(), i);
    return {int(c.x()) - 1, int(c.y()) - 5};
}

QColor lightAt(const QImage& image, int i)
{
    return image.pixelColor(plainPixel(i));
}

}  // namespace

TEST(GlassDrawing, TrafficLightColoursAndGreyWhenInactive)
{
    const QColor close = rgbColor(kCloseLight), minimise = rgbColor(kMinimiseLight),
                 full = rgbColor(kFullScreenLight), grey = rgbColor(kInactiveLight);
    struct Case {
        bool key;
        std::optional<int> hover;
        QColor expected[3];
    };
    const Case cases[] = {
        {true, std::nullopt, {close, minimise, full}},
        {true, PaletteButton, {close, minimise, full}},
        {false, std::nullopt, {grey, grey, grey}},
        {false, PaletteButton, {grey, grey, grey}},
        // the mouse over any light colours all three
        {false, MinimiseButton, {close, minimise, full}},
        {false, CloseButton, {close, minimise, full}},
    };
    for (const Case& c : cases) {
        GlassInputs in = kWindow.glass();
        in.key = c.key;
        in.hover = c.hover;
        const QImage image = renderGlass(kWindow, in);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE("key " + std::to_string(c.key) + " hover " + std::to_string(c.hover.value_or(-1)) +
                         " light " + std::to_string(i));
            EXPECT_TRUE(near(lightAt(image, i), c.expected[i], 1)) << hex(lightAt(image, i));
        }
    }
}

TEST(GlassDrawing, HoverShowsEachLightsGlyph)
{
    GlassInputs in = kWindow.glass();
    const QImage plain = renderGlass(kWindow, in);
    in.hover = FullScreenButton;
    const QImage hovered = renderGlass(kWindow, in);
    auto changed = [&](int light, QPointF offset) {
        const QPointF c = trafficLightCenter(kWindow.trafficLights(), light) + offset;
        const QPoint px(int(std::floor(c.x())), int(std::floor(c.y())));
        return plain.pixelColor(px) != hovered.pixelColor(px);
    };
    // close: both diagonals; nothing straight above the centre
    EXPECT_TRUE(changed(0, {2.0, 2.0}));
    EXPECT_TRUE(changed(0, {-2.0, 2.0}));
    EXPECT_FALSE(changed(0, {0.2, -2.8}));
    // minimise: the horizontal bar only
    EXPECT_TRUE(changed(1, {2.5, 0.2}));
    EXPECT_FALSE(changed(1, {0.2, -2.5}));
    EXPECT_FALSE(changed(1, {2.0, 2.0}));
    // full screen: the bar and the upright
    EXPECT_TRUE(changed(2, {2.5, 0.2}));
    EXPECT_TRUE(changed(2, {0.2, -2.5}));
    EXPECT_FALSE(changed(2, {2.0, 2.0}));
    // The glyphs are black at 0.6 over the light: clearly darker, same hue.
    const QPointF bar = trafficLightCenter(kWindow.trafficLights(), 1) + QPointF(2.5, 0.2);
    const QColor on = hovered.pixelColor(bar.toPoint()), off = plain.pixelColor(bar.toPoint());
    EXPECT_LT(on.red(), off.red() * 0.85) << hex(on) << " " << hex(off);
    EXPECT_LT(on.green(), off.green() * 0.85);
}

TEST(GlassDrawing, FullScreenHasNoOuterGlowReflectionOrCorners)
{
    // The same card drawn windowed and full screen (the view gives a square card there).
    GlassInputs windowed = kWindow.glass();
    GlassInputs full = windowed;
    full.fullScreen = true;
    full.radius = 0;
    const QImage a = renderGlass(kWindow, windowed), b = renderGlass(kWindow, full);
    const QRectF card = kWindow.card();
    // The rim's own glow reaches 12 beyond the card; the outer glow adds to it, and the
    // reflection lies further below.
    const QPoint beside(int(card.left()) - 4, int(card.center().y()));
    const QPoint reflection(int(card.center().x()), int(card.bottom()) + 14);
    const QPoint corner(int(card.left()), int(card.top()));
    EXPECT_GT(a.pixelColor(beside).alpha(), b.pixelColor(beside).alpha() + 20);
    EXPECT_GT(a.pixelColor(reflection).alpha(), 0);
    EXPECT_EQ(b.pixelColor(reflection).alpha(), 0);
    EXPECT_EQ(a.pixelColor(corner).alpha(), 0) << "the rounded corner leaves the card's corner empty";
    EXPECT_GT(b.pixelColor(corner).alpha(), 240) << "square corners in full screen";

    // A full-screen card filling the view covers it to the very corners.
    const TestCard screen{{600, 400}, true};
    const QImage c = renderGlass(screen, screen.glass());
    for (const QPoint p : {QPoint(0, 0), QPoint(599, 0), QPoint(0, 399), QPoint(599, 399)})
        EXPECT_GT(c.pixelColor(p).alpha(), 240) << p.x() << "," << p.y();
}

TEST(GlassDrawing, InactiveWindowsGlowLess)
{
    GlassInputs in = kWindow.glass();
    const QImage key = renderGlass(kWindow, in);
    in.key = false;
    const QImage inactive = renderGlass(kWindow, in);
    const QPoint glow(int(kWindow.card().left()) - 3, int(kWindow.card().center().y()));
    const QPoint rim(int(kWindow.card().left()), int(kWindow.card().center().y()));
    EXPECT_GT(key.pixelColor(glow).alpha(), inactive.pixelColor(glow).alpha());
    // The rim in the aurora theme: bright cyan at the left end of the gradient.
    const QColor r = key.pixelColor(rim);
    EXPECT_GT(r.blue(), 200) << hex(r);
    EXPECT_GT(r.green(), 150) << hex(r);
    EXPECT_GT(r.blue() + r.green(), inactive.pixelColor(rim).blue() + inactive.pixelColor(rim).green());
}

TEST(GlassDrawing, LookSetsTransparencyAndTint)
{
    const QPoint middle = kWindow.content().center().toPoint();
    GlassInputs in = kWindow.glass();
    in.look.tint = 0;
    in.look.seeThrough = 0;
    const QColor solid = renderGlass(kWindow, in).pixelColor(middle);
    in.look.seeThrough = Look::kMaxSeeThrough;
    const QColor clear = renderGlass(kWindow, in).pixelColor(middle);
    EXPECT_GT(solid.alpha(), 245);
    EXPECT_LT(clear.alpha(), 0.35 * 255);
    EXPECT_GT(clear.alpha(), 0.25 * 255);

    // Full gold tint: the glass takes the gold accent (the sheen shifts it slightly).
    in.look = Look{};
    in.look.color = 5;
    in.look.tint = 1;
    const QColor gold = renderGlass(kWindow, in).pixelColor(middle);
    EXPECT_TRUE(near(gold, rgbColor(0xFFE27A), 12)) << hex(gold);
    // No explicit colour: the window's own glow tints.
    in.look.color.reset();
    in.glowIndex = 6;  // violet
    EXPECT_TRUE(near(renderGlass(kWindow, in).pixelColor(middle), rgbColor(0xC9A2FF), 12));
}

TEST(GlassDrawing, RimPathCornersShrinkWithTheInset)
{
    const QRectF card(0, 0, 200, 100);
    EXPECT_EQ(rimPath(card, 36, 10).boundingRect(), QRectF(10, 10, 180, 80));
    // R - inset: a point just inside the inset corner is outside the path, one on the diagonal
    // beyond the arc inside.
    const QPainterPath p = rimPath(card, 36, 10);
    EXPECT_FALSE(p.contains(QPointF(11, 11)));
    EXPECT_TRUE(p.contains(QPointF(10 + 26 - 26 / std::sqrt(2.0) + 1, 10 + 26 - 26 / std::sqrt(2.0) + 1)));
    // Never more than half the side, never below zero.
    const QPainterPath capsule = rimPath(QRectF(0, 0, 200, 30), 36, 0);
    EXPECT_TRUE(capsule.contains(QPointF(1, 15)));
    EXPECT_FALSE(capsule.contains(QPointF(2, 2)));
    EXPECT_TRUE(rimPath(card, 36, 40).contains(QPointF(40.5, 40.5)));
    EXPECT_TRUE(rimPath(card, 0, 5).contains(QPointF(5.1, 5.1)));
    EXPECT_TRUE(rimPath(card, 36, 60).isEmpty());
}

// The whole card as a window shows it, over a desktop, split in two panes, written to
// /tmp/orvane-glass.png (and a light, inactive variant beside it) for a person to look at.
TEST(GlassDrawing, WholeCardSnapshot)
{
    const TestCard window{{900, 560}};
    struct Variant {
        const char* path;
        bool key;
        int glow;
        Look look;
        std::optional<int> hover;
    };
    Look gold;
    gold.color = 5;
    gold.tint = 1;
    const Variant variants[] = {{"/tmp/orvane-glass.png", true, 0, Look{}, std::nullopt},
                                {"/tmp/orvane-glass-light.png", false, 3, gold, CloseButton}};
    for (const Variant& v : variants) {
        QImage image(window.view.toSize(), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        QLinearGradient desktop(0, 0, 900, 560);
        desktop.setColorAt(0, QColor(0x4A, 0x55, 0x70));
        desktop.setColorAt(1, QColor(0x1E, 0x22, 0x30));
        painter.fillRect(image.rect(), desktop);
        painter.fillRect(QRectF(560, 300, 400, 300), QColor(0xD0, 0x90, 0x50));  // something behind

        GlassInputs in = window.glass();
        in.key = v.key;
        in.glowIndex = v.glow;
        in.look = v.look;
        in.hover = v.hover;
        drawGlass(painter, in);

        TabStripInputs strip;
        strip.trafficLights = window.trafficLights();
        strip.palette = window.palette();
        strip.number = 2;
        strip.glowIndex = v.glow;
        strip.light = v.look.isLight(v.glow);
        strip.titles = {"zsh", "vim notes.md", "htop", "ssh build-server-eu-west"};
        strip.active = 1;
        const TabStripLayout layout = drawTabStrip(painter, strip);
        EXPECT_EQ(layout.tabRects.size(), 4u);

        const QRectF content = window.content();
        const qreal t = std::floor((content.height() - 10) * 0.5);
        const QRectF top(content.left(), content.top(), content.width(), t);
        drawDivider(painter, top, v.glow);
        painter.setFont(stripFonts().regular);
        painter.setPen(v.look.isLight(v.glow) ? QColor(Qt::black) : rgbColor(0xD7DBE3));
        painter.drawText(QPointF(content.left(), content.top() + 13), "~/src/orvane $ ls");
        painter.drawText(QPointF(content.left(), content.top() + t + 10 + 13), "~ $ ");
        painter.end();
        EXPECT_TRUE(image.save(v.path)) << v.path;
    }
}

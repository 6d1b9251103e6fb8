#include "WindowChrome.h"
#include "TestCard.h"

#include <Look.h>

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace orvane;
using orvane::testing::TestCard;
using orvane::testing::blankImage;
using orvane::testing::hex;
using orvane::testing::near;

namespace {

const TestCard kWindow{{900, 500}};

TabStripInputs strip(QStringList titles, int active, bool light, const TestCard& card = kWindow)
{
    TabStripInputs in;
    in.trafficLights = card.trafficLights();
    in.palette = card.palette();
    in.number = 4;
    in.glowIndex = 0;  // aurora, accent #3FD8FF
    in.light = light;
    in.titles = std::move(titles);
    in.active = active;
    return in;
}

// The most opaque pixel in `r`: where text covers a whole pixel, its own colour.
QColor strongest(const QImage& image, QRectF r)
{
    QColor best(0, 0, 0, 0);
    for (int y = int(r.top()); y < int(r.bottom()); ++y)
        for (int x = int(r.left()); x < int(r.right()); ++x)
            if (image.pixelColor(x, y).alpha() > best.alpha())
                best = image.pixelColor(x, y);
    return best;
}

qreal cw()
{
    return QFontMetricsF(stripFonts().regular).horizontalAdvance(QLatin1Char('M'));
}

}  // namespace

TEST(TabStrip, TextColoursInDarkAndLightLooks)
{
    const QColor accent = rgbColor(0x3FD8FF), grey = rgbColor(0xA9B0BD), black(0, 0, 0);
    struct Case {
        bool light;
        QColor number, active, inactive, inactiveMark;
    };
    const Case cases[] = {
        {false, accent, accent, grey, rgbColor(0xA9B0BD, 0.7)},
        {true, black, black, rgbColor(0, 0.6), rgbColor(0, 0.7)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.light ? "light" : "dark");
        QImage image = blankImage(kWindow.view);
        QPainter painter(&image);
        const TabStripLayout layout = drawTabStrip(painter, strip({"zsh", "vim notes"}, 0, c.light));
        painter.end();
        ASSERT_EQ(layout.tabRects.size(), 2u);
        const QRectF numberArea(kWindow.trafficLights().right() + 10, kWindow.trafficLights().top(), 2 * cw(), 26);
        // Labels without their close marks; the marks alone.
        auto labelArea = [&](size_t i) {
            const QRectF t = layout.tabRects[i];
            return QRectF(t.left() + 2, t.top(), layout.closeRects[i].left() - t.left() - 2, t.height());
        };
        EXPECT_TRUE(near(strongest(image, numberArea), c.number, 4)) << hex(strongest(image, numberArea));
        EXPECT_TRUE(near(strongest(image, labelArea(0)), c.active, 4)) << hex(strongest(image, labelArea(0)));
        EXPECT_TRUE(near(strongest(image, labelArea(1)), c.inactive, 4)) << hex(strongest(image, labelArea(1)));
        const QColor mark = strongest(image, layout.closeRects[1]);
        EXPECT_TRUE(near(mark, c.inactiveMark, 8)) << hex(mark);
        // The active tab sits on an accent plate at 0.18; the others have none.
        const QPointF plate(layout.tabRects[0].left() + 3, layout.tabRects[0].top() + 3);
        EXPECT_TRUE(near(image.pixelColor(plate.toPoint()), rgbColor(0x3FD8FF, 0.18), 3))
            << hex(image.pixelColor(plate.toPoint()));
        EXPECT_EQ(image.pixelColor((layout.tabRects[1].topLeft() + QPointF(3, 3)).toPoint()).alpha(), 0);
    }
}

TEST(TabStrip, LayoutCutsLabelsAndStopsBeforeThePaletteButton)
{
    const qreal m = cw();
    const TabStripLayout wide = layoutTabStrip(strip({"zsh", "a title much longer than eighteen"}, 0, false));
    ASSERT_EQ(wide.tabRects.size(), 2u);
    const QRectF first = wide.tabRects[0];
    EXPECT_DOUBLE_EQ(first.left(), kWindow.trafficLights().right() + 14 + 3 * m);
    EXPECT_DOUBLE_EQ(first.top(), kWindow.trafficLights().top());
    EXPECT_DOUBLE_EQ(first.height(), 26);
    EXPECT_DOUBLE_EQ(first.width(), (5 + 4) * m);  // "1 zsh"
    EXPECT_DOUBLE_EQ(wide.tabRects[1].left(), first.right() + 6);
    EXPECT_DOUBLE_EQ(wide.tabRects[1].width(), (18 + 4) * m);  // cut to 18 characters
    EXPECT_EQ(wide.closeRects[0], QRectF(first.right() - 2.2 * m, first.top(), 2.2 * m, 26));

    EXPECT_EQ(tabLabel(1, "a title much longer than eighteen"), "2 a title much lon");
    // Characters as seen: an accented letter made of two code points counts once.
    EXPECT_EQ(tabLabel(0, QString("e\u0301").repeated(20)), "1 " + QString("e\u0301").repeated(16));

    // At the minimum width only what fits before the palette button is laid out; a later tab
    // that would fit is not drawn either.
    const TestCard narrow{{420, 280}};
    const TabStripLayout cut = layoutTabStrip(strip({"zsh", "zsh", "a long long name", "x"}, 0, false, narrow));
    ASSERT_EQ(cut.tabRects.size(), 2u);
    EXPECT_LE(cut.tabRects.back().right(), narrow.palette().left() - 10);
    EXPECT_EQ(cut.closeRects.size(), 2u);
}

TEST(Divider, DrawnInTheAccentAndGrabbedAroundTheGap)
{
    const QRectF top(52, 82, 796, 180), bottom(52, 272, 796, 180);
    QImage image = blankImage(kWindow.view);
    QPainter painter(&image);
    drawDivider(painter, top, 5);  // gold
    painter.end();
    const QColor line = image.pixelColor(400, int(top.bottom()) + 4);
    EXPECT_TRUE(near(line, rgbColor(0xFFE27A, 0.35), 2)) << hex(line);
    EXPECT_EQ(image.pixelColor(400, int(top.bottom()) + 3).alpha(), 0);
    EXPECT_EQ(image.pixelColor(400, int(top.bottom()) + 5).alpha(), 0);
    EXPECT_EQ(dividerRect(top, bottom), QRectF(52, 260, 796, 14));
}

TEST(WindowButtons, HitCirclesAroundLightsAndPalette)
{
    const QRectF tl = kWindow.trafficLights(), pal = kWindow.palette();
    const qreal cy = tl.center().y();
    struct Case {
        QPointF p;
        std::optional<int> button;
    };
    const Case cases[] = {
        {{tl.left() + 16, cy}, CloseButton},
        {{tl.left() + 16 + 7, cy}, CloseButton},
        {{tl.left() + 16 + 7.2, cy}, std::nullopt},
        {{tl.left() + 37, cy - 6.9}, MinimiseButton},
        {{tl.left() + 58 + 4, cy + 4}, FullScreenButton},
        {{tl.left() + 58 + 6, cy + 6}, std::nullopt},
        {pal.center() + QPointF(11.9, 0), PaletteButton},
        {pal.center() + QPointF(9, 9), std::nullopt},
        {{tl.left() + 26.5, cy}, std::nullopt},  // between two lights
    };
    for (const Case& c : cases)
        EXPECT_EQ(windowButton(c.p, tl, pal), c.button) << c.p.x() << "," << c.p.y();
}

TEST(WindowEdges, CornersFirstThenEdgesNoneInFullScreen)
{
    const QRectF card = kWindow.card();  // (26, 26, 848, 434)
    using E = ResizeEdges;
    struct Case {
        QPointF p;
        std::optional<E> edges;
    };
    const Case cases[] = {
        {{10, 10}, E{true, false, true, false}},
        {{card.left() + 29, card.top() + 29}, E{true, false, true, false}},
        {{card.right() - 29, card.top() + 1}, E{false, true, true, false}},
        {{card.left() + 1, card.bottom() - 1}, E{true, false, false, true}},
        {{card.right() + 20, card.bottom() + 35}, E{false, true, false, true}},
        {{card.left() + 4, 200}, E{true, false, false, false}},
        {{card.left() - 20, 200}, E{true, false, false, false}},
        {{card.right() - 4, 200}, E{false, true, false, false}},
        {{400, card.top() + 4}, E{false, false, true, false}},
        {{400, card.bottom() + 30}, E{false, false, false, true}},
        {{card.left() + 6, 200}, std::nullopt},
        {{400, 250}, std::nullopt},
        {{400, card.bottom() + 41}, std::nullopt},  // beyond the margin below
        {{card.left() - 27, 200}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.p.x()) + "," + std::to_string(c.p.y()));
        EXPECT_EQ(resizeEdges(c.p, card, false), c.edges);
    }
    const TestCard screen{{900, 500}, true};
    EXPECT_EQ(resizeEdges({1, 1}, screen.card(), true), std::nullopt);
    EXPECT_EQ(resizeEdges({899, 250}, screen.card(), true), std::nullopt);
    EXPECT_EQ(qtEdges(E{true, false, false, true}), Qt::LeftEdge | Qt::BottomEdge);
}

TEST(WindowEdges, DraggingKeepsTheOppositeSidesAndTheMinimumSize)
{
    using E = ResizeEdges;
    const QRect start(100, 200, 800, 500);  // right edge at 900, bottom at 700
    struct Case {
        E edges;
        QPoint delta;
        QRect expected;
    };
    const Case cases[] = {
        {E{false, true, false, false}, {50, 30}, {100, 200, 850, 500}},
        {E{true, false, false, false}, {-50, 0}, {50, 200, 850, 500}},
        {E{false, false, true, false}, {0, -40}, {100, 160, 800, 540}},
        {E{false, false, false, true}, {0, 40}, {100, 200, 800, 540}},
        // bottom-left corner dragged right past the minimum width: 420 wide, right edge kept
        {E{true, false, false, true}, {600, 10}, {480, 200, 420, 510}},
        // top edge dragged down past the minimum height: 280 high, bottom kept
        {E{false, false, true, false}, {0, 400}, {100, 420, 800, 280}},
        {E{false, true, false, true}, {-1000, -1000}, {100, 200, 420, 280}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(resizedFrame(start, c.edges, c.delta), c.expected);
}

TEST(WindowEdges, CursorAreas)
{
    const QRectF card = kWindow.card();
    const auto areas = cursorAreas(card, kWindow.view, false, QRectF(52, 260, 796, 14));
    ASSERT_EQ(areas.size(), 9u);
    EXPECT_EQ(areas[1], (CursorArea{{0, 0, 56, 56}, Qt::SizeFDiagCursor}));
    EXPECT_EQ(areas[5], (CursorArea{{0, 56, 31, 500 - 26 - 60}, Qt::SizeHorCursor}));
    EXPECT_EQ(areas[8], (CursorArea{{56, card.bottom() - 5, 900 - 52 - 60, 45}, Qt::SizeVerCursor}));
    EXPECT_EQ(cursorAt({60, 265}, areas), Qt::SizeVerCursor);           // divider
    EXPECT_EQ(cursorAt({card.right() + 5, 10}, areas), Qt::SizeBDiagCursor);
    EXPECT_EQ(cursorAt({card.left() - 10, 200}, areas), Qt::SizeHorCursor);
    EXPECT_EQ(cursorAt({card.left() - 10, card.bottom() - 10}, areas), Qt::SizeBDiagCursor);  // corner wins
    EXPECT_EQ(cursorAt({400, 200}, areas), std::nullopt);

    const TestCard screen{{900, 500}, true};
    EXPECT_TRUE(cursorAreas(screen.card(), screen.view, true).empty());
    EXPECT_EQ(cursorAreas(screen.card(), screen.view, true, QRectF(0, 240, 900, 14)).size(), 1u);
}

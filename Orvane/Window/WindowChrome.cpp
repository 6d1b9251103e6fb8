#include "WindowChrome.h"

#include "GlassDrawing.h"

#include <Look.h>

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

namespace orvane {

// ---- Tab strip ----

const StripFonts& stripFonts()
{
    static const StripFonts fonts = [] {
        const QString family = QStringLiteral("DejaVu Sans Mono");
        const bool have = QFontDatabase::hasFamily(family);
        QFont bold = have ? QFont(family) : QFontDatabase::systemFont(QFontDatabase::FixedFont);
        bold.setPixelSize(13);
        bold.setStyleHint(QFont::Monospace);
        bold.setWeight(QFont::Bold);
        QFont regular = bold;
        if (have)
            regular.setWeight(QFont::Normal);
        return StripFonts{bold, regular};
    }();
    return fonts;
}

namespace {

constexpr int kLabelCharacters = 18;

// Characters as the user sees them (grapheme clusters), so a cut never splits one.
int characterCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int n = 0;
    while (finder.toNextBoundary() > 0)
        ++n;
    return n;
}

struct StripMetrics {
    qreal cw;    // advance of "M" in the regular font
    qreal top;   // top of the strip's text line
};

StripMetrics stripMetrics(const QRectF& trafficLights)
{
    const StripFonts& f = stripFonts();
    return {QFontMetricsF(f.regular).horizontalAdvance(QLatin1Char('M')),
            trafficLights.center().y() - QFontMetricsF(f.bold).height() / 2};
}

void drawTextAt(QPainter& p, const QFont& font, qreal x, qreal top, const QString& text)
{
    p.setFont(font);
    p.drawText(QPointF(x, top + QFontMetricsF(font).ascent()), text);
}

}  // namespace

QString tabLabel(int index, const QString& displayTitle)
{
    const QString full = QString::number(index + 1) + QLatin1Char(' ') + displayTitle;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, full);
    qsizetype end = 0;
    for (int n = 0; n < kLabelCharacters; ++n) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            break;
        end = next;
    }
    return full.left(end);
}

TabStripLayout layoutTabStrip(const TabStripInputs& in)
{
    const StripMetrics m = stripMetrics(in.trafficLights);
    TabStripLayout layout;
    qreal x = in.trafficLights.right() + 14 + 3 * m.cw;
    for (int i = 0; i < in.titles.size(); ++i) {
        const qreal w = (characterCount(tabLabel(i, in.titles[i])) + 4) * m.cw;
        if (x + w > in.palette.left() - 10)
            break;
        const QRectF tab(x, in.trafficLights.top(), w, 26);
        layout.tabRects.push_back(tab);
        layout.closeRects.push_back(QRectF(tab.right() - 2.2 * m.cw, tab.top(), 2.2 * m.cw, 26));
        x += w + 6;
    }
    return layout;
}

TabStripLayout drawTabStrip(QPainter& p, const TabStripInputs& in)
{
    const StripFonts& fonts = stripFonts();
    const StripMetrics m = stripMetrics(in.trafficLights);
    const QColor accent = rgbColor(glowAccent(in.glowIndex));
    const QColor black(0, 0, 0);

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setPen(in.light ? black : accent);
    drawTextAt(p, fonts.bold, in.trafficLights.right() + 14, m.top, QString::number(in.number));

    const TabStripLayout layout = layoutTabStrip(in);
    for (size_t i = 0; i < layout.tabRects.size(); ++i) {
        const QRectF tab = layout.tabRects[i];
        const bool active = int(i) == in.active;
        if (active) {
            QPainterPath plate;
            plate.addRoundedRect(tab, 8, 8);
            p.fillPath(plate, rgbColor(glowAccent(in.glowIndex), 0.18));
        }
        QColor label = in.light ? rgbColor(0x000000, active ? 1.0 : 0.6) : (active ? accent : rgbColor(0xA9B0BD));
        p.setPen(label);
        drawTextAt(p, fonts.regular, tab.left() + m.cw, m.top, tabLabel(int(i), in.titles[int(i)]));
        QColor mark = in.light ? black : label;
        mark.setAlphaF(0.7f);
        p.setPen(mark);
        drawTextAt(p, fonts.regular, tab.right() - 1.7 * m.cw, m.top, QStringLiteral("\u00D7"));
    }
    p.restore();
    return layout;
}

// ---- Divider ----

void drawDivider(QPainter& p, const QRectF& topPane, int glowIndex)
{
    p.fillRect(QRectF(topPane.left(), topPane.bottom() + 4, topPane.width(), 1),
               rgbColor(glowAccent(glowIndex), 0.35));
}

QRectF dividerRect(const QRectF& topPane, const QRectF& bottomPane)
{
    return {topPane.left(), topPane.bottom() - 2, topPane.width(), bottomPane.top() - topPane.bottom() + 4};
}

// ---- Window buttons ----

std::optional<int> windowButton(QPointF p, const QRectF& trafficLights, const QRectF& palette)
{
    auto within = [&](QPointF c, qreal r) { return std::hypot(p.x() - c.x(), p.y() - c.y()) <= r; };
    for (int i = 0; i < 3; ++i)
        if (within(trafficLightCenter(trafficLights, i), 7))
            return i;
    if (within(palette.center(), 12))
        return PaletteButton;
    return std::nullopt;
}

// ---- Edges and cursors ----

std::optional<ResizeEdges> resizeEdges(QPointF p, const QRectF& card, bool fullScreen, qreal cornerZone)
{
    if (fullScreen || !card.adjusted(-26, -26, 26, 40).contains(p))
        return std::nullopt;
    const qreal x = p.x(), y = p.y();
    const bool nearLeft = x < card.left() + cornerZone, nearRight = x > card.right() - cornerZone;
    const bool nearTop = y < card.top() + cornerZone, nearBottom = y > card.bottom() - cornerZone;
    if (nearLeft && nearTop)
        return ResizeEdges{true, false, true, false};
    if (nearRight && nearTop)
        return ResizeEdges{false, true, true, false};
    if (nearLeft && nearBottom)
        return ResizeEdges{true, false, false, true};
    if (nearRight && nearBottom)
        return ResizeEdges{false, true, false, true};
    const ResizeEdges e{x < card.left() + 5, x > card.right() - 5, y < card.top() + 5, y > card.bottom() - 5};
    if (e == ResizeEdges{})
        return std::nullopt;
    return e;
}

Qt::Edges qtEdges(const ResizeEdges& e)
{
    Qt::Edges out;
    if (e.l)
        out |= Qt::LeftEdge;
    if (e.r)
        out |= Qt::RightEdge;
    if (e.t)
        out |= Qt::TopEdge;
    if (e.b)
        out |= Qt::BottomEdge;
    return out;
}

QRect resizedFrame(const QRect& start, const ResizeEdges& e, QPoint delta, QSize minimum)
{
    const int right = start.x() + start.width(), bottom = start.y() + start.height();
    int w = start.width(), h = start.height();
    if (e.r)
        w = start.width() + delta.x();
    else if (e.l)
        w = start.width() - delta.x();
    if (e.b)
        h = start.height() + delta.y();
    else if (e.t)
        h = start.height() - delta.y();
    w = std::max(w, minimum.width());
    h = std::max(h, minimum.height());
    const int x = e.l ? right - w : start.x();
    const int y = e.t ? bottom - h : start.y();
    return {x, y, w, h};
}

std::vector<CursorArea> cursorAreas(const QRectF& card, const QSizeF& viewSize, bool fullScreen,
                                    std::optional<QRectF> divider)
{
    std::vector<CursorArea> areas;
    if (divider)
        areas.push_back({*divider, Qt::SizeVerCursor});
    if (fullScreen)
        return areas;
    const qreal W = viewSize.width(), H = viewSize.height();
    const qreal minX = card.left(), minY = card.top(), maxX = card.right(), maxY = card.bottom();
    areas.push_back({{minX - 26, minY - 26, 56, 56}, Qt::SizeFDiagCursor});
    areas.push_back({{maxX - 30, minY - 26, 56, 56}, Qt::SizeBDiagCursor});
    areas.push_back({{minX - 26, maxY - 30, 56, 71}, Qt::SizeBDiagCursor});
    areas.push_back({{maxX - 30, maxY - 30, 56, 71}, Qt::SizeFDiagCursor});
    areas.push_back({{minX - 26, minY + 30, 31, H - minY - 60}, Qt::SizeHorCursor});
    areas.push_back({{maxX - 5, minY + 30, 31, H - minY - 60}, Qt::SizeHorCursor});
    areas.push_back({{minX + 30, minY - 26, W - 2 * minX - 60, 31}, Qt::SizeVerCursor});
    areas.push_back({{minX + 30, maxY - 5, W - 2 * minX - 60, 45}, Qt::SizeVerCursor});
    return areas;
}

std::optional<Qt::CursorShape> cursorAt(QPointF p, const std::vector<CursorArea>& areas)
{
    for (const CursorArea& a : areas)
        if (a.rect.contains(p))
            return a.shape;
    return std::nullopt;
}

}  // namespace orvane

// What a frameless glass window draws and hit-tests in place of a system frame: the numbered tab
// strip, the divider between stacked panes, the window buttons, the resize edges and corners with
// their cursors, and the frame an edge drag produces. Plain functions over the geometry the view
// computes (card, traffic-light and palette rectangles, in view coordinates with y down).
#pragma once

#include <QFont>
#include <QRect>
#include <QRectF>
#include <QStringList>

#include <optional>
#include <vector>

class QPainter;

namespace orvane {

// ---- Tab strip ----

struct TabStripInputs {
    QRectF trafficLights;
    QRectF palette;
    int number = 1;      // the window's number, drawn before the tabs
    int glowIndex = 0;   // the window's theme
    bool light = false;  // the look's tinted background is light (Look::isLight): black text
    QStringList titles;  // each tab's display title, in strip order
    int active = 0;
};

// Hit rectangles of the tabs that fit before the palette button, and of their close marks.
// Tabs that do not fit are neither drawn nor clickable.
struct TabStripLayout {
    std::vector<QRectF> tabRects;
    std::vector<QRectF> closeRects;

    friend bool operator==(const TabStripLayout&, const TabStripLayout&) = default;
};

struct StripFonts {
    QFont bold;     // DejaVu Sans Mono Bold 13 (else the system fixed font, bold)
    QFont regular;  // DejaVu Sans Mono 13 (else the bold font)
};
const StripFonts& stripFonts();

// "N title" for tab index N - 1, cut to its first 18 characters.
QString tabLabel(int index, const QString& displayTitle);

TabStripLayout layoutTabStrip(const TabStripInputs& in);
// Draws the number, the tabs (the active one on an accent plate) and their close marks; returns
// the layout drawn, which later clicks are tested against.
TabStripLayout drawTabStrip(QPainter& painter, const TabStripInputs& in);

// ---- Divider between two stacked panes ----

// A one-point line 4 below the top pane in the theme's accent at alpha 0.35.
void drawDivider(QPainter& painter, const QRectF& topPane, int glowIndex);
// Where a press starts a divider drag: from 2 above the top pane's bottom to 2 below the
// bottom pane's top.
QRectF dividerRect(const QRectF& topPane, const QRectF& bottomPane);

// ---- Window buttons ----

enum WindowButton { CloseButton = 0, MinimiseButton = 1, FullScreenButton = 2, PaletteButton = 3 };
// The button under `p`: a traffic light within 7 of its centre, the palette button within 12
// of its rectangle's centre; tested in that order.
std::optional<int> windowButton(QPointF p, const QRectF& trafficLights, const QRectF& palette);

// ---- Edges, corners and cursors ----

struct ResizeEdges {
    bool l = false, r = false, t = false, b = false;

    friend bool operator==(const ResizeEdges&, const ResizeEdges&) = default;
};
inline constexpr qreal kCornerZone = 30;

// The edges a press at `p` grabs: none in full screen or outside the card grown by 26 (40 at the
// bottom); corner squares of `cornerZone` inside the card first, then each edge when the point
// is outside the card or within 5 of that side.
std::optional<ResizeEdges> resizeEdges(QPointF p, const QRectF& card, bool fullScreen,
                                       qreal cornerZone = kCornerZone);

// The same edges for QWindow::startSystemResize().
Qt::Edges qtEdges(const ResizeEdges& edges);

// The window frame while dragging `edges` by `delta` (screen coordinates, y down) from `start`:
// the held sides move, the opposite sides stay, and the size never goes below `minimum`.
QRect resizedFrame(const QRect& start, const ResizeEdges& edges, QPoint delta,
                   QSize minimum = QSize(420, 280));

struct CursorArea {
    QRectF rect;
    Qt::CursorShape shape;

    friend bool operator==(const CursorArea&, const CursorArea&) = default;
};
// The divider's grab rectangle (up-down), then outside full screen the four corners (diagonal)
// and the four edges, for a view of `viewSize`.
std::vector<CursorArea> cursorAreas(const QRectF& card, const QSizeF& viewSize, bool fullScreen,
                                    std::optional<QRectF> divider = std::nullopt);
// The cursor of the first area containing `p`.
std::optional<Qt::CursorShape> cursorAt(QPointF p, const std::vector<CursorArea>& areas);

}  // namespace orvane

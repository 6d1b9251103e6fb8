// The glass card behind a window's content: the outer glow and its reflection, the dark frame
// ring, the tinted glass, the rim strokes and highlights, the two button pills, the traffic
// lights and the palette button. The view computes the geometry and calls drawGlass() first on
// every repaint; the tab strip and divider (WindowChrome.h) go on top.
#pragma once

#include <Look.h>

#include <QColor>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRectF>

#include <cstdint>
#include <optional>

class QPainter;

namespace orvane {

struct Glow;

struct GlassInputs {
    QRectF card;                 // the card in view coordinates (y down)
    qreal radius = 36;           // corner radius R; 0 in full screen
    QRectF trafficLights;        // the traffic lights' pill (74 × 26)
    QRectF palette;              // the palette button's pill (40 × 26)
    bool fullScreen = false;     // no outer glow or reflection
    bool key = true;             // the window is active (or not in a window at all)
    int glowIndex = 0;           // the window's theme in Glow::all()
    std::optional<int> hover;    // 0 close, 1 minimise, 2 full screen, 3 palette
    Look look;
};

void drawGlass(QPainter& painter, const GlassInputs& in);

// The card inset by `inset` on every side, with corner radius min(R - inset, half its width,
// half its height), never below 0.
QPainterPath rimPath(const QRectF& card, qreal radius, qreal inset);

// The rim gradient from `start` to `end` with the theme's colours at overall alpha `alpha`:
// c0, c1, c1 faded, c1 faded, c3, c0 (c2 is not used).
QLinearGradient glowGradient(const Glow& glow, qreal alpha, QPointF start, QPointF end);

// The traffic lights: centres, colours and hit radius.
inline constexpr uint32_t kCloseLight = 0xFF5F57;
inline constexpr uint32_t kMinimiseLight = 0xFEBC2E;
inline constexpr uint32_t kFullScreenLight = 0x28C840;
inline constexpr uint32_t kInactiveLight = 0x5A5E68;
QPointF trafficLightCenter(const QRectF& trafficLights, int index);  // index 0, 1, 2

// Three circles of diameter 12; grey when the window is not key and the mouse is over none of
// them; each shows its glyph while the mouse is over any of them.
void drawTrafficLights(QPainter& painter, const QRectF& trafficLights, bool key, std::optional<int> hover);

// A painter's palette, about 15 points across, in `color`, centred on `rect`.
void drawPaletteGlyph(QPainter& painter, const QRectF& rect, const QColor& color);

// 0xRRGGBB with an alpha.
QColor rgbColor(uint32_t rgb, qreal alpha = 1.0);

}  // namespace orvane

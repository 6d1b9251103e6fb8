#include "GlassDrawing.h"

#include <Glow.h>

#include <QPainter>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>

namespace orvane {

QColor rgbColor(uint32_t rgb, qreal alpha)
{
    QColor c = QColor::fromRgb(QRgb(rgb & 0xFFFFFF));
    c.setAlphaF(float(std::clamp(alpha, 0.0, 1.0)));
    return c;
}

QPainterPath rimPath(const QRectF& card, qreal radius, qreal inset)
{
    const QRectF r = card.adjusted(inset, inset, -inset, -inset);
    QPainterPath path;
    if (r.width() <= 0 || r.height() <= 0)
        return path;
    const qreal corner = std::max<qreal>(0, std::min({radius - inset, r.width() / 2, r.height() / 2}));
    if (corner > 0)
        path.addRoundedRect(r, corner, corner);
    else
        path.addRect(r);
    return path;
}

QLinearGradient glowGradient(const Glow& glow, qreal alpha, QPointF start, QPointF end)
{
    QLinearGradient g(start, end);
    const auto& c = glow.colors;
    g.setColorAt(0.0, rgbColor(c[0], alpha));
    g.setColorAt(0.12, rgbColor(c[1], alpha));
    g.setColorAt(0.36, rgbColor(c[1], 0.45 * alpha));
    g.setColorAt(0.64, rgbColor(c[1], 0.45 * alpha));
    g.setColorAt(0.88, rgbColor(c[3], alpha));
    g.setColorAt(1.0, rgbColor(c[0], alpha));
    return g;
}

QPointF trafficLightCenter(const QRectF& trafficLights, int index)
{
    static constexpr qreal offsets[] = {16, 37, 58};
    return {trafficLights.left() + offsets[std::clamp(index, 0, 2)], trafficLights.center().y()};
}

namespace {

// The area covered by stroking `path` with `width`.
QPainterPath strokeArea(const QPainterPath& path, qreal width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setJoinStyle(Qt::MiterJoin);
    stroker.setCapStyle(Qt::FlatCap);
    return stroker.createStroke(path);
}

// The part of the plane between the lines through the gradient's end points, perpendicular to
// it: where a gradient that does not extend beyond its ends paints.
QPainterPath gradientSpan(const QLinearGradient& g)
{
    const QPointF a = g.start(), b = g.finalStop();
    const QPointF d = b - a;
    const qreal length = std::hypot(d.x(), d.y());
    QPainterPath span;
    if (length <= 0)
        return span;
    const QPointF n = QPointF(-d.y(), d.x()) / length * 1e5;
    span.moveTo(a + n);
    span.lineTo(b + n);
    span.lineTo(b - n);
    span.lineTo(a - n);
    span.closeSubpath();
    return span;
}

void fill(QPainter& p, const QPainterPath& area, const QLinearGradient& g)
{
    p.fillPath(area, QBrush(g));
}

void fillUnextended(QPainter& p, const QPainterPath& area, const QLinearGradient& g)
{
    p.fillPath(area.intersected(gradientSpan(g)), QBrush(g));
}

QLinearGradient vertical(qreal top, qreal bottom, std::initializer_list<std::pair<qreal, QColor>> stops)
{
    QLinearGradient g(QPointF(0, top), QPointF(0, bottom));
    for (const auto& [at, color] : stops)
        g.setColorAt(at, color);
    return g;
}

void drawPill(QPainter& p, const QRectF& r)
{
    QPainterPath pill;
    pill.addRoundedRect(r, r.height() / 2, r.height() / 2);
    p.fillPath(pill, rgbColor(0xFFFFFF, 0.07));
    fill(p, strokeArea(pill, 1),
         vertical(r.top(), r.bottom(), {{0.0, rgbColor(0xFFFFFF, 0.45)}, {1.0, rgbColor(0xFFFFFF, 0.08)}}));
}

}  // namespace

void drawTrafficLights(QPainter& p, const QRectF& trafficLights, bool key, std::optional<int> hover)
{
    const bool overLights = hover && *hover >= 0 && *hover <= 2;
    static constexpr uint32_t colours[] = {kCloseLight, kMinimiseLight, kFullScreenLight};
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 3; ++i) {
        const QPointF c = trafficLightCenter(trafficLights, i);
        p.setPen(Qt::NoPen);
        p.setBrush(rgbColor(!key && !overLights ? kInactiveLight : colours[i]));
        p.drawEllipse(c, 6.0, 6.0);
        if (!overLights)
            continue;
        p.setPen(QPen(rgbColor(0x000000, 0.6), 1.2, Qt::SolidLine, Qt::RoundCap));
        const qreal x = c.x(), y = c.y();
        if (i == 0) {
            p.drawLine(QPointF(x - 2.6, y - 2.6), QPointF(x + 2.6, y + 2.6));
            p.drawLine(QPointF(x - 2.6, y + 2.6), QPointF(x + 2.6, y - 2.6));
        } else {
            p.drawLine(QPointF(x - 3.1, y), QPointF(x + 3.1, y));
            if (i == 2)
                p.drawLine(QPointF(x, y - 3.1), QPointF(x, y + 3.1));
        }
    }
    p.restore();
}

void drawPaletteGlyph(QPainter& p, const QRectF& rect, const QColor& color)
{
    // Drawn in a 17 × 15 box: the palette's outline with a thumb notch at the lower right, and
    // four dots of paint.
    constexpr qreal boxW = 17, boxH = 15;
    const qreal scale = std::min(1.2, 15.0 / std::max(boxW, boxH));
    QPainterPath body;
    body.addEllipse(QRectF(0.8, 0.8, boxW - 1.6, boxH - 1.6));
    QPainterPath notch;
    notch.addEllipse(QPointF(13.4, 10.6), 2.9, 2.9);
    body = body.subtracted(notch);

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(rect.center());
    p.scale(scale, scale);
    p.translate(-boxW / 2, -boxH / 2);
    p.setPen(QPen(color, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    for (const QPointF dot : {QPointF(4.4, 8.2), QPointF(5.6, 4.6), QPointF(9.2, 3.6), QPointF(12.5, 5.4)})
        p.drawEllipse(dot, 1.45, 1.45);
    p.restore();
}

void drawGlass(QPainter& p, const GlassInputs& in)
{
    const Glow& glow = glowTheme(in.glowIndex);
    const QRectF card = in.card;
    const qreal R = in.radius;
    const qreal k = in.key ? 1.0 : 0.5;
    auto rim = [&](qreal inset) { return rimPath(card, R, inset); };
    auto band = [&](qreal width) { return strokeArea(rim(0), width); };
    auto horizontalGlow = [&](qreal alpha) {
        return glowGradient(glow, alpha, QPointF(card.left(), 0), QPointF(card.right(), 0));
    };

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);

    // 1. The outer glow, stronger towards the rim, and its reflection below the card.
    if (!in.fullScreen) {
        const QLinearGradient outer = horizontalGlow((0.6 * k + 0.4) * 0.035);
        for (const qreal width : {22.0, 18.8, 15.6, 12.4, 9.2, 6.0})
            fill(p, band(width), outer);
        const QPointF below(card.center().x(), card.bottom() + 10);
        const QLinearGradient full = horizontalGlow(1);
        const std::pair<qreal, QSizeF> reflections[] = {{0.035, {0.8 * card.width(), 20}},
                                                        {0.06, {0.6 * card.width(), 12}}};
        for (const auto& [opacity, size] : reflections) {
            QPainterPath ellipse;
            ellipse.addEllipse(below, size.width() / 2, size.height() / 2);
            p.setOpacity(opacity);
            fillUnextended(p, ellipse, full);
        }
        p.setOpacity(1);
    }

    // 2. The dark frame ring between the rim and the glass.
    QPainterPath ring = rim(0);
    ring.addPath(rim(10));
    ring.setFillRule(Qt::OddEvenFill);
    fillUnextended(p, ring,
                   vertical(card.top(), card.bottom(),
                            {{0.0, rgbColor(0x2A2A31, 0.98)},
                             {0.22, rgbColor(0x0E0E12, 0.98)},
                             {0.8, rgbColor(0x08080B, 0.98)},
                             {1.0, rgbColor(0x16110D, 0.98)}}));

    // 3. The glow over the ring.
    fill(p, band(24), horizontalGlow(0.22 * k));

    // 4. and 5. The glass and its tint.
    const QPainterPath glass = rim(10);
    p.fillPath(glass, rgbColor(Look::kBaseColor, (1 - in.look.seeThrough) * 0.98));
    if (in.look.tint > 0)
        p.fillPath(glass, rgbColor(in.look.tintColor(in.glowIndex), in.look.tint));

    // 6. A blue-to-violet sheen across the glass.
    QLinearGradient sheen(card.topLeft(), card.bottomRight());
    sheen.setColorAt(0.0, rgbColor(0x1C2658, 0.2));
    sheen.setColorAt(0.45, rgbColor(0x1C2658, 0));
    sheen.setColorAt(0.62, rgbColor(0x3A1450, 0));
    sheen.setColorAt(1.0, rgbColor(0x3A1450, 0.18));
    fillUnextended(p, glass, sheen);

    // 7. and 8. The inner edge of the ring: a dark groove and a faint light line.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(rgbColor(0x000000, 0.55), 5));
    p.drawPath(glass);
    p.setPen(QPen(rgbColor(0x000000, 0.8), 2));
    p.drawPath(glass);
    p.setPen(QPen(rgbColor(0xFFFFFF, 0.07), 1));
    p.drawPath(rim(9.5));
    p.setPen(Qt::NoPen);

    // 9. The glowing rim itself.
    fill(p, band(4.5), horizontalGlow(0.45 * k));
    fill(p, band(1.8), horizontalGlow(k));

    // 10. A warm highlight along the rim, brightest halfway down.
    fill(p, strokeArea(rim(1.6), 0.8),
         vertical(card.top(), card.bottom(),
                  {{0.0, rgbColor(0xFFE9D2, 0)}, {0.5, rgbColor(0xFFE9D2, 0.55 * k)}, {1.0, rgbColor(0xFFE9D2, 0)}}));

    // 11. Shade over the top of the rim.
    fill(p, band(5),
         vertical(card.top(), card.top() + 0.4 * card.height(),
                  {{0.0, rgbColor(0x000000, 0.5)}, {1.0, rgbColor(0x000000, 0)}}));

    // 12. Light on the top edge, fading over the corners (square corners have none).
    if (R > 0)
        fill(p, strokeArea(rim(4.5), 5),
             vertical(card.top(), card.top() + 0.9 * R,
                      {{0.0, rgbColor(0xFFFFFF, 0.16)}, {1.0, rgbColor(0xFFFFFF, 0)}}));

    // 13. to 15. The button pills, the traffic lights and the palette button.
    drawPill(p, in.trafficLights);
    drawPill(p, in.palette);
    drawTrafficLights(p, in.trafficLights, in.key, in.hover);
    drawPaletteGlyph(p, in.palette, rgbColor(glow.accent()));

    p.restore();
}

}  // namespace orvane

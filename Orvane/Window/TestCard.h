// For tests: the glass geometry a view of a given size uses, and pixel helpers.
#pragma once

#include "GlassDrawing.h"

#include <QImage>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <string>

namespace orvane::testing {

struct TestCard {
    QSizeF view;
    bool fullScreen = false;

    QRectF card() const
    {
        const qreal b = fullScreen ? 0 : 26, e = fullScreen ? 0 : 40;
        return {b, b, std::max<qreal>(1, view.width() - 2 * b), std::max<qreal>(1, view.height() - b - e)};
    }
    qreal radius() const
    {
        return fullScreen ? 0 : std::min({qreal(36), card().width() / 2, card().height() / 2});
    }
    QRectF trafficLights() const { return {card().left() + 20, card().top() + 20, 74, 26}; }
    QRectF palette() const { return {card().right() - 60, card().top() + 20, 40, 26}; }
    QRectF content() const
    {
        return {card().left() + 26, card().top() + 56, card().width() - 52, card().height() - 72};
    }

    GlassInputs glass() const
    {
        GlassInputs in;
        in.card = card();
        in.radius = radius();
        in.trafficLights = trafficLights();
        in.palette = palette();
        in.fullScreen = fullScreen;
        return in;
    }
};

// A transparent image of the view's size.
inline QImage blankImage(QSizeF size)
{
    QImage image(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

inline QImage renderGlass(const TestCard& c, const GlassInputs& in)
{
    QImage image = blankImage(c.view);
    QPainter painter(&image);
    drawGlass(painter, in);
    return image;
}

// Whether two colours match channel by channel within `tolerance` (alpha included).
inline bool near(QColor a, QColor b, int tolerance = 3)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

inline std::string hex(QColor c)
{
    return c.name(QColor::HexArgb).toStdString();
}

}  // namespace orvane::testing

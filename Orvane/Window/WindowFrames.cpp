#include "WindowFrames.h"

#include <UserDefaults.h>

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QVariantList>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr double kReachable = 80;
// Larger than any desktop; keeps corrupt values from overflowing the integer rectangle.
constexpr double kLargest = 1'000'000;

QString frameKey(int number, const QList<QRect>& screens)
{
    return QStringLiteral("frame") + QString::number(number) + QLatin1Char('@') + screenSignature(screens);
}

}  // namespace

QList<QRect> screenGeometries()
{
    QList<QRect> out;
    for (const QScreen* s : QGuiApplication::screens())
        out.append(s->geometry());
    return out;
}

QString screenSignature()
{
    return screenSignature(screenGeometries());
}

QString screenSignature(const QList<QRect>& screens)
{
    QStringList parts;
    for (const QRect& s : screens)
        parts.append(QStringLiteral("%1,%2,%3,%4").arg(s.x()).arg(s.y()).arg(s.width()).arg(s.height()));
    std::sort(parts.begin(), parts.end());
    return parts.join(QLatin1Char(';'));
}

void saveFrame(const QRect& frame, int number)
{
    QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    saveFrame(settings, frame, number, screenGeometries());
}

void saveFrame(QSettings& settings, const QRect& frame, int number, const QList<QRect>& screens)
{
    settings.setValue(frameKey(number, screens), QVariantList{frame.x(), frame.y(), frame.width(), frame.height()});
}

std::optional<QRect> savedFrame(int number)
{
    const QSettings settings(userDefaultsPath(), QSettings::IniFormat);
    return savedFrame(settings, number, screenGeometries());
}

std::optional<QRect> savedFrame(const QSettings& settings, int number, const QList<QRect>& screens)
{
    QString key = frameKey(number, screens);
    if (!settings.contains(key)) {
        if (number != 1 || !settings.contains(QStringLiteral("frame")))
            return std::nullopt;
        key = QStringLiteral("frame");
    }
    const auto v = numberArray(settings.value(key));
    if (!v || v->size() != 4)
        return std::nullopt;
    if (std::any_of(v->begin(), v->end(), [](double d) { return !(std::abs(d) <= kLargest); }))
        return std::nullopt;
    const QRectF frame((*v)[0], (*v)[1], (*v)[2], (*v)[3]);
    if (frame.width() < kMinimumWindowWidth || frame.height() < kMinimumWindowHeight)
        return std::nullopt;
    if (!frameReachable(frame, screens))
        return std::nullopt;
    return QRect(int(std::lround(frame.x())), int(std::lround(frame.y())), int(std::lround(frame.width())),
                 int(std::lround(frame.height())));
}

bool frameReachable(const QRectF& frame, const QList<QRect>& screens)
{
    return std::any_of(screens.begin(), screens.end(), [&](const QRect& s) {
        const double left = s.x(), top = s.y(), right = left + s.width(), bottom = top + s.height();
        return frame.x() + frame.width() >= left + kReachable && frame.x() <= right - kReachable &&
               frame.y() + frame.height() >= top + kReachable && frame.y() <= bottom - kReachable;
    });
}

}  // namespace orvane

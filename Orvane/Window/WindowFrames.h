// Window frames saved per window number and screen arrangement, so a window that reopens under
// the same number comes back where it was on the same screens.
//
// A frame is the window's geometry in Qt's global coordinates: (x, y) is the top-left corner of
// the window on the virtual desktop, y growing downwards, the same space as QScreen::geometry().
// It is stored as [x, y, width, height] under "frame" + number + "@" + screenSignature().
#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <optional>

class QSettings;

namespace orvane {

inline constexpr int kMinimumWindowWidth = 420;
inline constexpr int kMinimumWindowHeight = 280;

// Each screen as "x,y,width,height", the texts sorted and joined with ";".
QString screenSignature();  // the connected screens
QString screenSignature(const QList<QRect>& screens);

// Stores the frame for this number under the current screen signature (the user defaults).
void saveFrame(const QRect& frame, int number);
void saveFrame(QSettings& settings, const QRect& frame, int number, const QList<QRect>& screens);

// The frame saved for this number on the current screens. Window 1 falls back to the older key
// "frame" when nothing is saved for it on these screens. None when nothing is saved, when the
// value is not four numbers, when it is smaller than 420 × 280, or when it would leave less than
// 80 points of the window on every screen.
std::optional<QRect> savedFrame(int number);
std::optional<QRect> savedFrame(const QSettings& settings, int number, const QList<QRect>& screens);

// Whether at least 80 points of `frame` overlap one of the screens in both directions.
bool frameReachable(const QRectF& frame, const QList<QRect>& screens);

// The geometries of the connected screens.
QList<QRect> screenGeometries();

}  // namespace orvane

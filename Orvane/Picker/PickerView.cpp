#include "PickerView.h"

#include <QDrag>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr uint32_t kPanelFill = 0x10141C;
constexpr uint32_t kText = 0xD7DBE3;
constexpr uint32_t kDim = 0xA9B0BD;
constexpr uint32_t kGreen = 0x7EE787;

QColor rgb(uint32_t c, qreal alpha = 1.0)
{
    QColor color(int((c >> 16) & 0xFF), int((c >> 8) & 0xFF), int(c & 0xFF));
    color.setAlphaF(float(alpha));
    return color;
}

// Half-open, so a point on the line between two cells belongs to one of them only.
bool inside(const QRectF& r, QPointF p)
{
    return p.x() >= r.left() && p.x() < r.right() && p.y() >= r.top() && p.y() < r.bottom();
}

// Characters as the user sees them (grapheme clusters).
int characterCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int n = 0;
    while (finder.toNextBoundary() > 0)
        ++n;
    return n;
}

QString withoutLastCharacter(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    const qsizetype start = finder.toPreviousBoundary();
    return text.left(std::max<qsizetype>(start, 0));
}

bool hasControlCharacter(const QString& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

// Text whose line top (not baseline) is at `top`.
void drawText(QPainter& p, const QFont& font, const QColor& color, qreal x, qreal top, const QString& text)
{
    p.setFont(font);
    p.setPen(color);
    p.drawText(QPointF(x, top + QFontMetricsF(font).ascent()), text);
}

QRectF centredBox(const QRectF& cell, qreal w, qreal h)
{
    return {cell.center().x() - w / 2, cell.center().y() - h / 2, w, h};
}

// ---- Icons: small vector glyphs in place of symbol images and emoji ----

// A pencil pointing down to the left, about 11 × 11.
void drawPencil(QPainter& p, const QRectF& cell, const QColor& color)
{
    p.save();
    p.translate(cell.center());
    p.rotate(-45);
    QPainterPath body;
    body.moveTo(-4.2, -1.9);
    body.lineTo(6.4, -1.9);
    body.lineTo(6.4, 1.9);
    body.lineTo(-4.2, 1.9);
    body.lineTo(-7.4, 0);
    body.closeSubpath();
    QPen pen(color, 1.2);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
    p.drawLine(QPointF(4.0, -1.9), QPointF(4.0, 1.9));
    p.restore();
}

// A waste bin with a lid and handle, about 12 × 13.
void drawBin(QPainter& p, const QRectF& cell, const QColor& color)
{
    const QRectF b = centredBox(cell, 12, 13);
    const qreal cx = b.center().x();
    QPen pen(color, 1.2);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    p.save();
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(b.left() + 0.5, b.top() + 3), QPointF(b.right() - 0.5, b.top() + 3));
    QPainterPath handle;
    handle.moveTo(cx - 2, b.top() + 3);
    handle.lineTo(cx - 2, b.top() + 1);
    handle.lineTo(cx + 2, b.top() + 1);
    handle.lineTo(cx + 2, b.top() + 3);
    p.drawPath(handle);
    QPainterPath can;
    can.moveTo(b.left() + 1.8, b.top() + 3);
    can.lineTo(b.left() + 2.6, b.bottom() - 0.6);
    can.lineTo(b.right() - 2.6, b.bottom() - 0.6);
    can.lineTo(b.right() - 1.8, b.top() + 3);
    p.drawPath(can);
    p.drawLine(QPointF(cx - 1.6, b.top() + 5.5), QPointF(cx - 1.6, b.bottom() - 2.6));
    p.drawLine(QPointF(cx + 1.6, b.top() + 5.5), QPointF(cx + 1.6, b.bottom() - 2.6));
    p.restore();
}

// Three horizontal bars, 14 × 13.
void drawHandle(QPainter& p, const QRectF& cell, const QColor& color)
{
    const QRectF b = centredBox(cell, 14, 13);
    QPen pen(color, 1.8);
    pen.setCapStyle(Qt::RoundCap);
    p.save();
    p.setPen(pen);
    for (const qreal y : {b.top() + 2.0, b.center().y(), b.bottom() - 2.0})
        p.drawLine(QPointF(b.left() + 1, y), QPointF(b.right() - 1, y));
    p.restore();
}

// A filled key lying on its side: a round bow with a hole, the shaft and two teeth, 13 × 13.
void drawKey(QPainter& p, const QRectF& cell, const QColor& color)
{
    const QRectF b = centredBox(cell, 13, 13);
    const qreal cy = b.center().y();
    QPainterPath shape;
    shape.addEllipse(QPointF(b.left() + 4, cy), 3.8, 3.8);
    QPainterPath blade;
    blade.addRect(QRectF(b.left() + 7, cy - 1.1, b.width() - 7, 2.2));
    blade.addRect(QRectF(b.right() - 4.4, cy + 1, 1.6, 2.6));
    blade.addRect(QRectF(b.right() - 1.8, cy + 1, 1.6, 3.4));
    QPainterPath hole;
    hole.addEllipse(QPointF(b.left() + 3.4, cy), 1.4, 1.4);
    shape = shape.united(blade).subtracted(hole);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(shape);
    p.restore();
}

template <typename... A> void call(const std::function<void(A...)>& callback, A... args)
{
    // A copy: the owner may replace its callbacks from inside one.
    if (const auto copy = callback)
        copy(args...);
}

}  // namespace

// ---- Filter ----

std::vector<int> filterItems(const std::vector<PickerItem>& items, const QString& query)
{
    const QStringList words = query.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    std::vector<int> out;
    out.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        const QString text = (items[i].title + QLatin1Char(' ') + items[i].detail).toLower();
        if (std::all_of(words.begin(), words.end(), [&](const QString& w) { return text.contains(w); }))
            out.push_back(int(i));
    }
    return out;
}

// ---- Geometry ----

PickerGeometry PickerGeometry::of(QSizeF view, int count)
{
    const qreal w = std::max<qreal>(0, std::min<qreal>(560, view.width() - 40));
    const qreal h = std::max<qreal>(0, std::min<qreal>(std::max(count, 1) * rowH + 64, view.height() - 20));
    return {QRectF(view.width() / 2 - w / 2, 10, w, h), count};
}

QRectF PickerGeometry::row(int position) const
{
    return {panel.left() + 8, panel.top() + 46 + position * rowH, panel.width() - 16, 32};
}

int PickerGeometry::visibleRows() const
{
    // Row i ends at panel top + 46 + 34 i + 32.
    const qreal room = panel.height() - 78;
    if (room < 0)
        return 0;
    return std::min(count, int(std::floor(room / rowH)) + 1);
}

std::optional<int> PickerGeometry::rowAt(QPointF p) const
{
    const int i = int(std::floor((p.y() - panel.top() - 46) / rowH));
    if (i >= 0 && i < visibleRows() && inside(row(i), p))
        return i;
    return std::nullopt;
}

int PickerGeometry::dropPosition(QPointF p) const
{
    if (const auto i = rowAt(p); i && p.y() < row(*i).center().y())
        return *i;
    return count;
}

QRectF PickerGeometry::addButton() const
{
    return {panel.right() - 44, panel.top() + 10, 32, 28};
}

QRectF PickerGeometry::dropLine(int position) const
{
    const qreal top = position < count ? row(position).top() - 3 : row(count - 1).bottom() + 3;
    return {panel.left() + 12, top, panel.width() - 24, 2};
}

QRectF PickerGeometry::deleteCell(const QRectF& row)
{
    return {row.right() - 30, row.top(), 28, 32};
}
QRectF PickerGeometry::editCell(const QRectF& row)
{
    return {row.right() - 62, row.top(), 28, 32};
}
QRectF PickerGeometry::handleCell(const QRectF& row)
{
    return {row.right() - 94, row.top(), 28, 32};
}
QRectF PickerGeometry::keyCell(const QRectF& row)
{
    return {row.right() - 126, row.top(), 28, 32};
}
QRectF PickerGeometry::badge(const QRectF& row)
{
    return {row.left(), row.top() + 3, 20, 20};
}

const PickerFonts& pickerFonts()
{
    static const PickerFonts fonts = [] {
        const QString family = QStringLiteral("DejaVu Sans Mono");
        const bool have = QFontDatabase::hasFamily(family);
        QFont regular = have ? QFont(family) : QFontDatabase::systemFont(QFontDatabase::FixedFont);
        regular.setPixelSize(13);
        regular.setStyleHint(QFont::Monospace);
        regular.setWeight(QFont::Normal);
        QFont bold = regular;
        if (have)
            bold.setWeight(QFont::Bold);
        return PickerFonts{regular, bold};
    }();
    return fonts;
}

// ---- The view ----

PickerView::PickerView(const QRect& frame, QWidget* parent) : QWidget(parent)
{
    setGeometry(frame);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAcceptDrops(true);
}

PickerGeometry PickerView::pickerGeometry() const
{
    return PickerGeometry::of(size(), int(filtered().size()));
}

bool PickerView::canReorder() const
{
    return numbered && query.isEmpty() && onReorder;
}

QMimeData* PickerView::rowDragData(int position)
{
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kPickerRowMime), QByteArray::number(position));
    return data;
}

QPixmap PickerView::rowDragImage(int position) const
{
    const std::vector<int> rows = filtered();
    const QRectF row = pickerGeometry().row(position);
    const qreal dpr = devicePixelRatioF();
    QPixmap image((row.size() * dpr).toSize());
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(rgb(accent, 0.35));
    p.drawRoundedRect(QRectF(QPointF(0, 0), row.size()), 8, 8);
    if (position >= 0 && size_t(position) < rows.size())
        drawText(p, pickerFonts().bold, rgb(kText), 10, 8, items[size_t(rows[size_t(position)])].title);
    return image;
}

void PickerView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
}

void PickerView::paint(QPainter& p) const
{
    const std::vector<int> rows = filtered();
    const int n = int(rows.size());
    const PickerGeometry g = PickerGeometry::of(size(), n);
    const QRectF& panel = g.panel;
    const PickerFonts& fonts = pickerFonts();
    const bool plainList = numbered && query.isEmpty();

    p.fillRect(rect(), QColor(0, 0, 0, qRound(0.35 * 255)));

    QPainterPath shape;
    shape.addRoundedRect(panel, 14, 14);
    p.fillPath(shape, rgb(kPanelFill, 0.96));
    p.setPen(QPen(rgb(accent, 0.6), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(panel.adjusted(0.5, 0.5, -0.5, -0.5), 13.5, 13.5);

    drawText(p, fonts.bold, rgb(accent), panel.left() + 16, panel.top() + 14, heading);
    if (onAdd)
        drawText(p, fonts.bold, rgb(accent), g.addButton().center().x() - 4, panel.top() + 14,
                 QStringLiteral("+"));
    if (!query.isEmpty())
        drawText(p, fonts.regular, rgb(kText), panel.left() + 16 + (characterCount(heading) + 2) * 8.2,
                 panel.top() + 14, QStringLiteral("› ") + query);
    if (n == 0)
        drawText(p, fonts.regular, rgb(kDim), panel.left() + 16, panel.top() + 54,
                 QStringLiteral("nothing found"));

    const int shown = g.visibleRows();
    for (int pos = 0; pos < shown; ++pos) {
        const PickerItem& item = items[size_t(rows[size_t(pos)])];
        const QRectF row = g.row(pos);

        if (pos == selected || pos == hover) {
            p.setPen(Qt::NoPen);
            p.setBrush(rgb(accent, pos == selected ? 0.22 : 0.1));
            p.drawRoundedRect(row, 8, 8);
        }
        if (plainList && pos < (zeroIndexed ? 10 : 9)) {
            const QRectF badge = PickerGeometry::badge(row);
            p.setPen(Qt::NoPen);
            p.setBrush(rgb(accent, 0.22));
            p.drawRoundedRect(badge, 5, 5);
            drawText(p, fonts.bold, rgb(accent), badge.center().x() - 4, badge.top() + 3,
                     QString::number(zeroIndexed ? pos : pos + 1));
        }
        const qreal indent = plainList ? 24 : 0;

        p.save();
        p.setClipRect(row);
        drawText(p, fonts.bold, rgb(item.highlighted ? kGreen : kText), row.left() + 10 + indent,
                 row.top() + 8, item.title);
        drawText(p, fonts.regular, rgb(kDim),
                 row.left() + 10 + indent + (characterCount(item.title) + 2) * 7.8, row.top() + 8,
                 item.detail);
        p.restore();

        if (item.editable)
            drawPencil(p, PickerGeometry::editCell(row), rgb(kDim));
        if (onDelete && !item.noDelete)
            drawBin(p, PickerGeometry::deleteCell(row), rgb(kDim, 0.9));
        if (plainList && onReorder && item.reorderable)
            drawHandle(p, PickerGeometry::handleCell(row), rgb(kDim, dragRow == pos ? 0.3 : 0.85));
        if (item.keyed)
            drawKey(p, PickerGeometry::keyCell(row), rgb(kDim, 0.85));
    }

    if (dropBefore)
        p.fillRect(g.dropLine(*dropBefore), rgb(accent));
}

// ---- Keyboard ----

void PickerView::keyPressEvent(QKeyEvent* event)
{
    // Every key stays here; shortcuts reach their actions before this (ShortcutOverride).
    event->accept();
    const std::vector<int> rows = filtered();
    const int n = int(rows.size());
    const int key = event->key();
    const QString text = event->text();
    // Super is Command; Ctrl combinations are commands on Linux, never typing.
    const bool command = event->modifiers() & (Qt::MetaModifier | Qt::ControlModifier);

    if (key == Qt::Key_Up) {
        selected = std::max(selected - 1, 0);
        update();
        return;
    }
    if (key == Qt::Key_Down) {
        selected = std::min(selected + 1, std::max(n - 1, 0));
        update();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter || text == QLatin1String("\n")) {
        QPointer<PickerView> self(this);
        if (selected >= 0 && selected < n)
            call(onChoose, rows[size_t(selected)]);
        if (self)
            update();
        return;
    }
    if (key == Qt::Key_Escape) {
        call(onClose);
        return;
    }
    if (key == Qt::Key_Backspace) {
        if (!query.isEmpty()) {
            query = withoutLastCharacter(query);
            selected = 0;
        }
        update();
        return;
    }
    // Navigation, function and modifier keys: nothing.
    if (key >= Qt::Key_Escape && key != Qt::Key_unknown)
        return;

    if (numbered && query.isEmpty() && !command && text.size() == 1 && text[0] >= QLatin1Char('0') &&
        text[0] <= QLatin1Char('9')) {
        const int d = text[0].unicode() - '0';
        if (d >= 1 || zeroIndexed) {
            const int position = zeroIndexed ? d : d - 1;
            if (position < n)
                call(onChoose, rows[size_t(position)]);
            return;
        }
    }
    if (!command && !text.isEmpty() && !hasControlCharacter(text)) {
        query += text;
        selected = 0;
        update();
    }
}

bool PickerView::focusNextPrevChild(bool)
{
    return false;
}

// ---- Mouse ----

void PickerView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    const QPointF pt = event->position();
    const std::vector<int> rows = filtered();
    const PickerGeometry g = PickerGeometry::of(size(), int(rows.size()));

    if (onAdd && inside(g.addButton(), pt)) {
        call(onAdd);
        return;
    }
    if (!inside(g.panel, pt)) {
        call(onClose);
        return;
    }
    const std::optional<int> pos = g.rowAt(pt);
    if (!pos)
        return;
    const int index = rows[size_t(*pos)];
    const PickerItem& item = items[size_t(index)];
    const QRectF row = g.row(*pos);
    if (canReorder() && item.reorderable && inside(PickerGeometry::handleCell(row), pt))
        startRowDrag(*pos, pt);
    else if (item.editable && inside(PickerGeometry::editCell(row), pt))
        call(onEdit, index);
    else if (onDelete && !item.noDelete && inside(PickerGeometry::deleteCell(row), pt))
        call(onDelete, index);
    else
        call(onChoose, index);
}

void PickerView::mouseMoveEvent(QMouseEvent* event)
{
    const std::optional<int> now = pickerGeometry().rowAt(event->position());
    if (now != hover) {
        hover = now;
        update();
    }
}

void PickerView::leaveEvent(QEvent*)
{
    if (hover) {
        hover.reset();
        update();
    }
}

// ---- Dragging a row ----

void PickerView::startRowDrag(int position, QPointF pointer)
{
    dragRow = position;
    update();
    QPointer<PickerView> self(this);
    auto* drag = new QDrag(this);  // deleted by Qt when the drag is over
    drag->setMimeData(rowDragData(position));
    drag->setPixmap(rowDragImage(position));
    drag->setHotSpot((pointer - pickerGeometry().row(position).topLeft()).toPoint());
    drag->exec(Qt::MoveAction);
    if (!self)
        return;
    dragRow.reset();
    dropBefore.reset();
    update();
}

bool PickerView::acceptsDrag(const QMimeData* mime) const
{
    // Only a row of this picker's own drag can land here.
    return mime && mime->hasFormat(QString::fromLatin1(kPickerRowMime)) && dragRow.has_value();
}

void PickerView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!acceptsDrag(event->mimeData()) || !(event->possibleActions() & Qt::MoveAction)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void PickerView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!acceptsDrag(event->mimeData()) || !(event->possibleActions() & Qt::MoveAction)) {
        event->ignore();
        return;
    }
    const int position = pickerGeometry().dropPosition(event->position());
    if (dropBefore != position) {
        dropBefore = position;
        update();
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void PickerView::dragLeaveEvent(QDragLeaveEvent*)
{
    dropBefore.reset();
    update();
}

void PickerView::dropEvent(QDropEvent* event)
{
    const int count = int(items.size());
    const bool valid = acceptsDrag(event->mimeData()) && numbered && query.isEmpty() && dragRow &&
                       dropBefore && *dragRow >= 0 && *dragRow < count && *dropBefore >= 0 &&
                       *dropBefore <= count;
    if (!valid) {
        event->ignore();
        return;
    }
    const int from = *dragRow;
    const int to = from < *dropBefore ? *dropBefore - 1 : *dropBefore;
    event->setDropAction(Qt::MoveAction);
    event->accept();
    if (to != from)
        call(onReorder, from, to);
}

}  // namespace orvane

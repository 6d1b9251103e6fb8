// The keyboard-first list overlay: a dimmed cover over the window's content with a rounded panel
// at the top centre holding a heading, the text typed so far and one row per entry. Typing
// filters, the arrows move the selection, Return picks, Escape or a click outside closes; rows
// may offer edit and delete icons, a key mark, choice by digit and reordering by drag. The view
// only reports what the user did; its owner decides what an entry means.
#pragma once

#include <Glow.h>

#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QDrag;
class QMimeData;
class QPainter;

namespace orvane {

struct PickerItem {
    QString title;             // main text of the row
    QString detail;            // secondary text, after the title
    bool editable = false;     // the row shows the edit icon
    bool highlighted = false;  // the title is drawn in green
    bool reorderable = false;  // the row shows the drag handle (when reordering is possible)
    bool keyed = false;        // the row shows a key mark
    bool noDelete = false;     // the row never shows the delete icon

    friend bool operator==(const PickerItem&, const PickerItem&) = default;
};

// The MIME type of a row being dragged: the application identifier + ".pickerrow".
inline constexpr char kPickerRowMime[] = "org.orvane.Orvane.pickerrow";

// The filtered list: indices of the items (in item order) whose lower-cased title + " " + detail
// contains every word of the lower-cased query split at spaces. An empty query passes all.
std::vector<int> filterItems(const std::vector<PickerItem>& items, const QString& query);

// Where everything sits in a view of `view` size showing `count` filtered rows (y down).
struct PickerGeometry {
    static constexpr qreal rowH = 34;  // row pitch

    QRectF panel;
    int count = 0;

    // Panel: min(560, width - 40) wide, min(max(count, 1) × 34 + 64, height - 20) high (never
    // negative), centred horizontally, 10 below the top.
    static PickerGeometry of(QSizeF view, int count);

    // Row at `position`: panel left + 8, panel top + 46 + position × 34, panel width - 16 × 32.
    QRectF row(int position) const;
    // How many rows are drawn: those whose bottom stays within the panel (there is no scrolling).
    int visibleRows() const;
    // The drawn row under `p`, if any.
    std::optional<int> rowAt(QPointF p) const;
    // Where a dragged row would land: the first drawn row with `p` in its upper half, else count.
    int dropPosition(QPointF p) const;
    // The add button: 32 × 28 at panel right - 44, panel top + 10.
    QRectF addButton() const;
    // The drop line before `position` (2 high, from panel left + 12 to panel right - 12): 3 above
    // that row's top, or 3 below the last row's bottom when `position` is count or beyond.
    QRectF dropLine(int position) const;

    // Cells inside a row, each 28 × 32, right-aligned from the row's right edge r.
    static QRectF deleteCell(const QRectF& row);  // r - 30
    static QRectF editCell(const QRectF& row);    // r - 62
    static QRectF handleCell(const QRectF& row);  // r - 94
    static QRectF keyCell(const QRectF& row);     // r - 126
    static QRectF badge(const QRectF& row);       // 20 × 20 at row left, row top + 3
};

struct PickerFonts {
    QFont regular;  // DejaVu Sans Mono 13 (else the system fixed font, 13, regular weight)
    QFont bold;     // DejaVu Sans Mono Bold 13 (else the regular font)
};
const PickerFonts& pickerFonts();

class PickerView : public QWidget {
public:
    explicit PickerView(const QRect& frame = {}, QWidget* parent = nullptr);

    // Set by the owner; it asks for a redraw (update()) after changing them while shown.
    QString heading;
    std::vector<PickerItem> items;
    uint32_t accent = Glow::all()[0].accent();  // 0xRRGGBB: heading, numbers, selection, border, drop line
    bool numbered = false;                      // number badges; digits choose; reordering allowed
    bool zeroIndexed = false;                   // numbers start at 0

    // Callbacks take item indices, except onReorder, which takes positions (the same numbers,
    // since reordering needs an empty query). The view may be deleted inside any of them.
    std::function<void(int)> onChoose;
    std::function<void(int)> onEdit;
    std::function<void(int)> onDelete;        // also shows the delete icons
    std::function<void()> onAdd;              // also shows the add button
    std::function<void(int, int)> onReorder;  // (from, to); also enables dragging
    std::function<void()> onClose;

    // State; positions count rows of the filtered list.
    QString query;
    int selected = 0;
    std::optional<int> hover;
    std::optional<int> dragRow;
    std::optional<int> dropBefore;

    static constexpr qreal rowH = PickerGeometry::rowH;

    std::vector<int> filtered() const { return filterItems(items, query); }
    PickerGeometry pickerGeometry() const;  // for the current size and filter
    // Rows can be dragged: numbered, empty query and onReorder set.
    bool canReorder() const;

    // What a drag of the row at `position` carries: the decimal position under kPickerRowMime.
    static QMimeData* rowDragData(int position);
    // The drag image: the row's size, an accent plate at alpha 0.35 (radius 8) and the title in
    // bold at (10, 8).
    QPixmap rowDragImage(int position) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool focusNextPrevChild(bool next) override;  // Tab stays in the picker

private:
    void paint(QPainter& p) const;
    void startRowDrag(int position, QPointF pointer);
    bool acceptsDrag(const QMimeData* mime) const;
};

}  // namespace orvane

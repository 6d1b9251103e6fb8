// The picker as a real widget offscreen: filtering, geometry, keys, clicks, the drop logic of
// row dragging and what it draws.
#include "PickerView.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QFontMetricsF>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

using namespace orvane;

namespace {

constexpr uint32_t kAurora = 0x3FD8FF;
const QSize kView(800, 600);  // panel (120, 10) 560 wide; row p at y 56 + 34 p, x 128 to 672

PickerItem item(const char* title, const char* detail = "")
{
    PickerItem it;
    it.title = QString::fromUtf8(title);
    it.detail = QString::fromUtf8(detail);
    return it;
}

std::vector<PickerItem> servers()
{
    return {item("Local tmux", "attach or start"),  item("prod-web", "deploy@web1.example.net"),
            item("build", "ci@build.lan"),          item("nas", "admin@nas.home  (ssh only)"),
            item("prod-db", "dba@db1.example.net"), item("lab", "pi@lab.local")};
}

// A picker over `list`; every callback writes a line into `log`.
struct Fixture {
    std::unique_ptr<PickerView> view;
    std::vector<std::string> log;

    explicit Fixture(std::vector<PickerItem> list, bool numbered = false, bool zeroIndexed = false,
                     QSize size = kView)
        : view(std::make_unique<PickerView>(QRect(QPoint(0, 0), size)))
    {
        view->heading = "Servers";
        view->items = std::move(list);
        view->numbered = numbered;
        view->zeroIndexed = zeroIndexed;
        view->onChoose = [this](int i) { log.push_back("choose " + std::to_string(i)); };
        view->onClose = [this] { log.push_back("close"); };
    }
    void withIcons()
    {
        view->onEdit = [this](int i) { log.push_back("edit " + std::to_string(i)); };
        view->onDelete = [this](int i) { log.push_back("delete " + std::to_string(i)); };
        view->onAdd = [this] { log.push_back("add"); };
        view->onReorder = [this](int from, int to) {
            log.push_back("reorder " + std::to_string(from) + " " + std::to_string(to));
        };
    }

    void key(int k, const QString& text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QKeyEvent press(QEvent::KeyPress, k, mods, text);
        QApplication::sendEvent(view.get(), &press);
    }
    void type(const QString& text)
    {
        for (QChar c : text)
            key(c.isLetter() ? c.toUpper().unicode() : c.unicode(), QString(c));
    }
    void click(QPointF p, Qt::MouseButton button = Qt::LeftButton)
    {
        QMouseEvent press(QEvent::MouseButtonPress, p, view->mapToGlobal(p), button, button, Qt::NoModifier);
        QApplication::sendEvent(view.get(), &press);
    }
    void move(QPointF p)
    {
        QMouseEvent moved(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(view.get(), &moved);
    }
    QRectF row(int position) const { return view->pickerGeometry().row(position); }
    QImage render(QColor backdrop = Qt::black) const
    {
        QImage image(view->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(backdrop);
        // As a child of the window's content, with no window background of its own.
        view->render(&image, {}, {}, QWidget::DrawChildren);
        return image;
    }
};

std::vector<std::string> calls(std::initializer_list<const char*> list)
{
    return {list.begin(), list.end()};
}

// ---- Pixel helpers ----

// `top` drawn over the opaque `bottom`.
QColor over(QColor top, QColor bottom)
{
    const double a = top.alphaF();
    return QColor::fromRgbF(float(top.redF() * a + bottom.redF() * (1 - a)),
                            float(top.greenF() * a + bottom.greenF() * (1 - a)),
                            float(top.blueF() * a + bottom.blueF() * (1 - a)));
}

QColor rgba(uint32_t c, double alpha = 1.0)
{
    QColor color(QRgb(0xFF000000 | c));
    color.setAlphaF(float(alpha));
    return color;
}

int distance(QColor a, QColor b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                     std::abs(a.blue() - b.blue()), std::abs(a.alpha() - b.alpha())});
}

std::string hex(QColor c)
{
    return c.name(QColor::HexArgb).toStdString();
}

// The pixel in `r` closest to `target`, and how far it is.
int closest(const QImage& image, QRectF r, QColor target)
{
    int best = 1000;
    for (int y = int(r.top()); y < int(r.bottom()); ++y)
        for (int x = int(r.left()); x < int(r.right()); ++x)
            best = std::min(best, distance(image.pixelColor(x, y), target));
    return best;
}

// Whether anything but `background` was drawn in `r`.
bool inked(const QImage& image, QRectF r, QColor background)
{
    for (int y = int(r.top()); y < int(r.bottom()); ++y)
        for (int x = int(r.left()); x < int(r.right()); ++x)
            if (distance(image.pixelColor(x, y), background) > 6)
                return true;
    return false;
}

// Over an opaque black backdrop: the dimmed view, the panel on it.
const QColor kPanel = over(rgba(0x10141C, 0.96), Qt::black);

}  // namespace

TEST(PickerFilter, EveryWordAnywhereInTitleOrDetailIgnoringCase)
{
    const std::vector<PickerItem> items = {item("prod-web", "deploy@web1"), item("Staging", "ops@stage"),
                                           item("Ärger", "x"), item("build", "ci@build.lan")};
    struct Case {
        const char* query;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"", {0, 1, 2, 3}},   {"   ", {0, 1, 2, 3}}, {"web prod", {0}},  // every word, any order
        {"PROD", {0}},        {"stag ops", {1}},  // one word in the title, one in the detail
        {"  b  ", {0, 3}},                        // empty words dropped; "b" in "web" and "build"
        {"ärg", {2}},                             // lower-casing beyond ASCII
        {"web staging", {}},                      // words from two different items
        {"g o", {1}},                             // "g o" would need the space inside one item's text
        {"deploy@web1", {0}}, {"zzz", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(filterItems(items, QString::fromUtf8(c.query)), c.expected) << c.query;
    // The title and detail are joined by a blank, and a word never spans it.
    EXPECT_EQ(filterItems({item("ab", "cd")}, "bc"), std::vector<int>{});
    EXPECT_EQ(filterItems({item("ab", "cd")}, "b c"), std::vector<int>{0});
}

TEST(PickerGeometry, PanelRowsCellsAndTheRowsThatFit)
{
    struct Case {
        QSizeF view;
        int count;
        QRectF panel;
        int visible;
    };
    const Case cases[] = {
        {{800, 600}, 3, {120, 10, 560, 166}, 3},
        {{800, 600}, 0, {120, 10, 560, 98}, 0},  // the height of one row
        {{500, 600}, 1, {20, 10, 460, 98}, 1},
        {{800, 300}, 20, {120, 10, 560, 280}, 6},  // row 5 ends at 258, row 6 would end at 292
        {{30, 15}, 2, {15, 10, 0, 0}, 0},          // never negative
    };
    for (const Case& c : cases) {
        const PickerGeometry g = PickerGeometry::of(c.view, c.count);
        EXPECT_EQ(g.panel, c.panel) << c.view.width() << "x" << c.view.height();
        EXPECT_EQ(g.visibleRows(), c.visible) << c.view.width() << "x" << c.view.height();
    }
    const PickerGeometry g = PickerGeometry::of({800, 600}, 3);
    const QRectF r = g.row(1);
    EXPECT_EQ(r, QRectF(128, 90, 544, 32));
    EXPECT_EQ(PickerGeometry::deleteCell(r), QRectF(642, 90, 28, 32));
    EXPECT_EQ(PickerGeometry::editCell(r), QRectF(610, 90, 28, 32));
    EXPECT_EQ(PickerGeometry::handleCell(r), QRectF(578, 90, 28, 32));
    EXPECT_EQ(PickerGeometry::keyCell(r), QRectF(546, 90, 28, 32));
    EXPECT_EQ(PickerGeometry::badge(r), QRectF(128, 93, 20, 20));
    EXPECT_EQ(g.addButton(), QRectF(636, 20, 32, 28));

    // Rows under the pointer and drop positions: upper half of a row, else the end.
    struct Point {
        QPointF p;
        std::optional<int> row;
        int drop;
    };
    const Point points[] = {
        {{300, 56}, 0, 0},  {{300, 71.9}, 0, 0}, {{300, 72}, 0, 3},  {{300, 89}, {}, 3}, {{300, 95}, 1, 1},
        {{300, 150}, 2, 3}, {{300, 170}, {}, 3}, {{127, 60}, {}, 3}, {{672, 60}, {}, 3}, {{671.9, 60}, 0, 0},
    };
    for (const Point& pt : points) {
        SCOPED_TRACE(std::to_string(pt.p.x()) + "," + std::to_string(pt.p.y()));
        EXPECT_EQ(g.rowAt(pt.p), pt.row);
        EXPECT_EQ(g.dropPosition(pt.p), pt.drop);
    }
    EXPECT_EQ(g.dropLine(1), QRectF(132, 87, 536, 2));
    EXPECT_EQ(g.dropLine(3), QRectF(132, 159, 536, 2));  // below the last row (ends at 156)
}

TEST(PickerKeys, ArrowsStayInsideTheFilteredList)
{
    Fixture f(servers());
    f.key(Qt::Key_Up);
    EXPECT_EQ(f.view->selected, 0);
    for (int i = 0; i < 8; ++i)
        f.key(Qt::Key_Down);
    EXPECT_EQ(f.view->selected, 5);
    f.key(Qt::Key_Up);
    EXPECT_EQ(f.view->selected, 4);

    f.type("zzz");  // nothing matches
    EXPECT_EQ(f.view->selected, 0);
    f.key(Qt::Key_Down);
    EXPECT_EQ(f.view->selected, 0);
    f.key(Qt::Key_Return, "\r");
    EXPECT_TRUE(f.log.empty());
}

TEST(PickerKeys, ReturnChoosesTheItemAtTheFilteredPosition)
{
    Fixture f(servers());
    f.key(Qt::Key_Down);
    f.key(Qt::Key_Down);
    f.type("prod");  // a new filter selects its first row
    EXPECT_EQ(f.view->selected, 0);
    EXPECT_EQ(f.view->filtered(), (std::vector<int>{1, 4}));
    f.key(Qt::Key_Down);
    f.key(Qt::Key_Return, "\r");
    f.key(Qt::Key_Enter, "\r", Qt::KeypadModifier);
    f.key(Qt::Key_J, "\n", Qt::ControlModifier);  // line feed
    EXPECT_EQ(f.log, calls({"choose 4", "choose 4", "choose 4"}));
}

TEST(PickerKeys, RowsBelowThePanelCanStillBeSelectedAndChosen)
{
    std::vector<PickerItem> many;
    for (int i = 0; i < 20; ++i)
        many.push_back(item(("host" + std::to_string(i)).c_str()));
    Fixture f(many, false, false, {800, 300});
    ASSERT_EQ(f.view->pickerGeometry().visibleRows(), 6);
    for (int i = 0; i < 11; ++i)
        f.key(Qt::Key_Down);
    f.key(Qt::Key_Return, "\r");
    EXPECT_EQ(f.log, calls({"choose 11"}));
}

TEST(PickerKeys, EscapeClosesAndLeavesTheQuery)
{
    Fixture f(servers());
    f.type("pro");
    f.key(Qt::Key_Escape, "\x1b");
    EXPECT_EQ(f.log, calls({"close"}));
    EXPECT_EQ(f.view->query, "pro");
}

TEST(PickerKeys, TypingAndBackspace)
{
    Fixture f(servers());
    f.key(Qt::Key_Down);
    f.key(Qt::Key_Backspace, "\b");  // empty query: nothing
    EXPECT_EQ(f.view->query, "");
    EXPECT_EQ(f.view->selected, 1);

    // Keys that type nothing: modifiers alone, navigation and function keys, control
    // characters, Super and Ctrl combinations.
    f.key(Qt::Key_Shift);
    f.key(Qt::Key_Left);
    f.key(Qt::Key_Home);
    f.key(Qt::Key_PageDown);
    f.key(Qt::Key_F5);
    f.key(Qt::Key_Delete, "\x7f");
    f.key(Qt::Key_Tab, "\t");
    f.key(Qt::Key_A, "\x01", Qt::ControlModifier);
    f.key(Qt::Key_P, "p", Qt::MetaModifier);
    f.key(Qt::Key_P, "p", Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f.view->query, "");
    EXPECT_EQ(f.view->selected, 1);
    EXPECT_TRUE(f.log.empty());

    f.type("Lab ");
    f.key(Qt::Key_E, QString::fromUtf8("e\u0301"));  // one character, two code points
    EXPECT_EQ(f.view->query, QString::fromUtf8("Lab e\u0301"));
    EXPECT_EQ(f.view->selected, 0);
    f.key(Qt::Key_Backspace, "\b");  // the whole character goes
    EXPECT_EQ(f.view->query, "Lab ");
    f.key(Qt::Key_Backspace, "\b");
    EXPECT_EQ(f.view->query, "Lab");
    EXPECT_EQ(f.view->filtered(), std::vector<int>{5});
    f.key(Qt::Key_Return, "\r");
    EXPECT_EQ(f.log, calls({"choose 5"}));
}

TEST(PickerKeys, DigitsChooseInNumberedLists)
{
    struct Case {
        const char* name;
        bool numbered, zeroIndexed;
        const char* typedFirst;  // typed before the digit
        const char* digit;
        Qt::KeyboardModifiers mods;
        std::vector<std::string> log;
        const char* query;  // afterwards
    };
    const Case cases[] = {
        {"1-based: 3 is the third row", true, false, "", "3", Qt::NoModifier, {"choose 2"}, ""},
        {"1-based: 1 is the first row", true, false, "", "1", Qt::NoModifier, {"choose 0"}, ""},
        {"1-based: 0 filters", true, false, "", "0", Qt::NoModifier, {}, "0"},
        {"1-based: beyond the list", true, false, "", "7", Qt::NoModifier, {}, ""},
        {"0-based: 3 is the fourth row", true, true, "", "3", Qt::NoModifier, {"choose 3"}, ""},
        {"0-based: 0 is the first row", true, true, "", "0", Qt::NoModifier, {"choose 0"}, ""},
        {"0-based: 6 is beyond", true, true, "", "6", Qt::NoModifier, {}, ""},
        {"keypad digit", true, false, "", "2", Qt::KeypadModifier, {"choose 1"}, ""},
        {"shifted digit (AZERTY)", true, false, "", "2", Qt::ShiftModifier, {"choose 1"}, ""},
        {"not numbered: filters", false, false, "", "3", Qt::NoModifier, {}, "3"},
        {"with a query: filters", true, false, "b", "1", Qt::NoModifier, {}, "b1"},
        {"with Super: nothing", true, false, "", "3", Qt::MetaModifier, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f(servers(), c.numbered, c.zeroIndexed);
        f.type(c.typedFirst);
        f.key(Qt::Key_0 + (c.digit[0] - '0'), c.digit, c.mods);
        EXPECT_EQ(f.log, c.log);
        EXPECT_EQ(f.view->query, c.query);
    }
}

TEST(PickerMouse, ClickChoosesClickOutsideClosesAndHoverFollows)
{
    Fixture f(servers());
    f.type("prod");
    f.click(f.row(1).center());             // position 1 of the filtered list is item 4
    f.click({300, 30});                     // the heading line: no row, nothing
    f.click({300, f.row(1).bottom() + 1});  // the gap between rows
    f.click({300, f.row(1).center().y()}, Qt::RightButton);
    f.click({60, 300});  // outside the panel
    EXPECT_EQ(f.log, calls({"choose 4", "close"}));

    f.move(f.row(0).center());
    EXPECT_EQ(f.view->hover, 0);
    f.move(f.row(1).topLeft());
    EXPECT_EQ(f.view->hover, 1);
    f.move({10, 10});
    EXPECT_EQ(f.view->hover, std::nullopt);
}

TEST(PickerMouse, RowsThatDoNotFitCannotBeClicked)
{
    std::vector<PickerItem> many;
    for (int i = 0; i < 20; ++i)
        many.push_back(item(("host" + std::to_string(i)).c_str()));
    Fixture f(many, false, false, {800, 300});  // the panel ends at 290; row 6 would run to 292
    f.click({300, 280});                        // inside the panel, on the hidden row 6
    EXPECT_TRUE(f.log.empty());
    f.move({300, 280});
    EXPECT_EQ(f.view->hover, std::nullopt);
    f.click({300, 250});
    EXPECT_EQ(f.log, calls({"choose 5"}));
}

TEST(PickerMouse, IconsAndTheAddButton)
{
    std::vector<PickerItem> items = servers();
    items[0].noDelete = true;
    items[1].editable = true;
    items[2].editable = true;
    auto editAt = [](const QRectF& row) { return PickerGeometry::editCell(row).center(); };
    auto deleteAt = [](const QRectF& row) { return PickerGeometry::deleteCell(row).center(); };

    {
        Fixture f(items, true, true);
        f.withIcons();
        f.click(editAt(f.row(1)));
        f.click(deleteAt(f.row(2)));
        f.click(editAt(f.row(3)));    // not editable: chooses
        f.click(deleteAt(f.row(0)));  // noDelete: chooses
        f.click(f.view->pickerGeometry().addButton().center());
        f.click(PickerGeometry::handleCell(f.row(0)).center());  // not reorderable: chooses
        EXPECT_EQ(f.log, calls({"edit 1", "delete 2", "choose 3", "choose 0", "add", "choose 0"}));
    }
    {
        // No onDelete: the delete cell chooses; no onEdit: the edit icon does nothing; no onAdd:
        // the button's place is plain panel.
        Fixture f(items, true, true);
        f.click(deleteAt(f.row(2)));
        f.click(editAt(f.row(1)));
        f.click(f.view->pickerGeometry().addButton().center());
        EXPECT_EQ(f.log, calls({"choose 2"}));
    }
    {
        // With a query the handle is not there: a click on its place chooses.
        items[2].reorderable = true;
        Fixture f(items, true, true);
        f.withIcons();
        f.type("build");
        f.click(PickerGeometry::handleCell(f.row(0)).center());
        EXPECT_EQ(f.log, calls({"choose 2"}));
    }
}

TEST(PickerMouse, TheOwnerMayDeleteThePickerInsideACallback)
{
    // The owner closes and deletes the picker on a choice; the view must not touch itself after.
    for (int way = 0; way < 3; ++way) {
        auto* view = new PickerView(QRect(QPoint(0, 0), kView));
        view->items = servers();
        view->numbered = true;
        QPointer<PickerView> alive(view);
        int chosen = -1;
        view->onChoose = [&](int i) {
            chosen = i;
            delete view;
        };
        if (way == 0) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
            QApplication::sendEvent(view, &press);
        } else if (way == 1) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_2, Qt::NoModifier, "2");
            QApplication::sendEvent(view, &press);
        } else {
            const QPointF p = view->pickerGeometry().row(3).center();
            QMouseEvent press(QEvent::MouseButtonPress, p, p, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(view, &press);
        }
        EXPECT_EQ(chosen, (std::array{0, 1, 3})[size_t(way)]);
        EXPECT_TRUE(alive.isNull());
    }
}

// ---- Dragging rows ----

namespace {

struct DragFixture : Fixture {
    QMimeData data;

    DragFixture() : Fixture(servers(), true, true)
    {
        for (PickerItem& it : view->items)
            it.reorderable = true;
        withIcons();
        data.setData(kPickerRowMime, "0");
    }
    // What the source does when the press lands on a handle, short of running the drag.
    void begin(int position) { view->dragRow = position; }
    bool enter(QPointF p)
    {
        QDragEnterEvent e(p.toPoint(), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.get(), &e);
        return e.isAccepted() && e.dropAction() == Qt::MoveAction;
    }
    bool moveTo(QPointF p)
    {
        QDragMoveEvent e(p.toPoint(), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.get(), &e);
        return e.isAccepted() && e.dropAction() == Qt::MoveAction;
    }
    bool drop(QPointF p)
    {
        QDropEvent e(p, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view.get(), &e);
        return e.isAccepted() && e.dropAction() == Qt::MoveAction;
    }
    void leave()
    {
        QDragLeaveEvent e;
        QApplication::sendEvent(view.get(), &e);
    }
    QPointF upperHalf(int position) const { return row(position).center() - QPointF(0, 6); }
    QPointF lowerHalf(int position) const { return row(position).center() + QPointF(0, 6); }
};

}  // namespace

TEST(PickerDrag, WhatTheDragCarries)
{
    DragFixture f;
    std::unique_ptr<QMimeData> data(PickerView::rowDragData(3));
    EXPECT_EQ(data->formats(), QStringList{kPickerRowMime});
    EXPECT_EQ(data->data(kPickerRowMime), "3");

    const QImage image = f.view->rowDragImage(2).toImage();
    EXPECT_EQ(image.size(), QSize(544, 32));
    const QColor plate = image.pixelColor(300, 16);
    EXPECT_LE(distance(plate, rgba(kAurora, 0.35)), 2) << hex(plate);
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);  // rounded corner
    // The title "build" in bold text colour from (10, 8).
    EXPECT_LE(closest(image, QRectF(10, 8, 45, 16), over(rgba(0xD7DBE3), rgba(kAurora, 0.35))), 20);
}

TEST(PickerDrag, DropPositionsAndTheMovesTheyMake)
{
    DragFixture probe;
    const QPointF belowList(300, probe.row(5).bottom() + 20);
    struct Case {
        const char* name;
        int from;
        QPointF at;
        int dropBefore;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"upper half of the row above: up by one", 2, probe.upperHalf(1), 1, {"reorder 2 1"}},
        {"upper half of the first row", 4, probe.upperHalf(0), 0, {"reorder 4 0"}},
        {"lower half of a row: to the end", 2, probe.lowerHalf(0), 6, {"reorder 2 5"}},
        {"below the list: to the end", 0, belowList, 6, {"reorder 0 5"}},
        {"between two rows: to the end", 1, QPointF(300, probe.row(3).bottom() + 1), 6, {"reorder 1 5"}},
        {"upper half of the row below", 0, probe.upperHalf(3), 3, {"reorder 0 2"}},
        {"own upper half: nothing", 2, probe.upperHalf(2), 2, {}},
        {"just below itself: nothing", 2, probe.upperHalf(3), 3, {}},
        {"last row to the end: nothing", 5, belowList, 6, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DragFixture f;
        f.begin(c.from);
        EXPECT_TRUE(f.enter(c.at));
        EXPECT_TRUE(f.moveTo(c.at));
        EXPECT_EQ(f.view->dropBefore, c.dropBefore);
        EXPECT_TRUE(f.drop(c.at));
        EXPECT_EQ(f.log, c.log);
    }
}

TEST(PickerDrag, RefusedDrops)
{
    {
        // Leaving the view takes the drop line away; a drop without one is refused.
        DragFixture f;
        f.begin(1);
        ASSERT_TRUE(f.enter(f.upperHalf(0)));
        ASSERT_TRUE(f.moveTo(f.upperHalf(0)));
        f.leave();
        EXPECT_EQ(f.view->dropBefore, std::nullopt);
        EXPECT_FALSE(f.drop(f.upperHalf(0)));
        EXPECT_TRUE(f.log.empty());
    }
    {
        // Not started here (another picker's row, or no drag at all): not even entered.
        DragFixture f;
        EXPECT_FALSE(f.enter(f.upperHalf(0)));
        f.begin(1);
        QMimeData text;
        text.setText("1");
        QDragEnterEvent e(f.upperHalf(0).toPoint(), Qt::MoveAction, &text, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(f.view.get(), &e);
        EXPECT_FALSE(e.isAccepted());
    }
    struct Case {
        const char* name;
        std::function<void(DragFixture&)> change;  // made between the move and the drop
    };
    const Case cases[] = {
        {"a query", [](DragFixture& f) { f.view->query = "b"; }},
        {"not numbered", [](DragFixture& f) { f.view->numbered = false; }},
        {"the owner shortened the list", [](DragFixture& f) { f.view->items.resize(2); }},
        {"the drop line beyond the shortened list",
         [](DragFixture& f) {
             f.view->dragRow = 0;
             f.view->items.resize(3);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DragFixture f;
        f.begin(4);
        const QPointF below(300, f.row(5).bottom() + 20);
        ASSERT_TRUE(f.enter(below));
        ASSERT_TRUE(f.moveTo(below));
        ASSERT_EQ(f.view->dropBefore, 6);
        c.change(f);
        EXPECT_FALSE(f.drop(below));
        EXPECT_TRUE(f.log.empty());
    }
}

// ---- Drawing ----

TEST(PickerDrawing, AccentHeadingSelectionBadgesBorderAndDropLine)
{
    for (const uint32_t accent : {kAurora, uint32_t(0xFFE27A)}) {
        SCOPED_TRACE(accent);
        Fixture f(servers(), true, false);
        f.view->accent = accent;
        f.view->selected = 1;
        f.view->hover = 2;
        f.view->dragRow = 4;
        f.view->dropBefore = 4;
        const QImage image = f.render();
        const QRectF panel = f.view->pickerGeometry().panel;

        EXPECT_EQ(image.pixelColor(60, 300).rgba(), qRgba(0, 0, 0, 255));  // dimmed black stays black
        EXPECT_EQ(closest(image, QRectF(panel.left() + 16, panel.top() + 14, 60, 16), rgba(accent)), 0)
            << "heading";
        EXPECT_LE(distance(image.pixelColor(400, 10), over(rgba(accent, 0.6), kPanel)), 3)
            << hex(image.pixelColor(400, 10));
        // Selection and hover plates, seen at the right end of their rows (no icons there).
        const QColor selection = over(rgba(accent, 0.22), kPanel), hover = over(rgba(accent, 0.1), kPanel);
        EXPECT_LE(
            distance(image.pixelColor(int(f.row(1).right()) - 40, int(f.row(1).center().y())), selection), 2);
        EXPECT_LE(distance(image.pixelColor(int(f.row(2).right()) - 40, int(f.row(2).center().y())), hover),
                  2);
        EXPECT_LE(distance(image.pixelColor(int(f.row(3).right()) - 40, int(f.row(3).center().y())), kPanel),
                  2);
        // Badge plate and its number "4" in the accent.
        const QRectF badge = PickerGeometry::badge(f.row(3));
        EXPECT_LE(distance(image.pixelColor(badge.topLeft().toPoint() + QPoint(2, 10)),
                           over(rgba(accent, 0.22), kPanel)),
                  2);
        EXPECT_LE(closest(image, badge, rgba(accent)), 12);
        // The drop line: 2 high, 3 above row 4.
        const int lineY = int(f.row(4).top()) - 3;
        EXPECT_EQ(image.pixelColor(400, lineY), rgba(accent));
        EXPECT_EQ(image.pixelColor(400, lineY + 1), rgba(accent));
        EXPECT_NE(image.pixelColor(400, lineY + 2), rgba(accent));
    }
}

TEST(PickerDrawing, HighlightedTitleIsGreen)
{
    std::vector<PickerItem> items = servers();
    items[2].highlighted = true;
    Fixture f(items);
    const QImage image = f.render();
    const QColor green = rgba(0x7EE787), text = rgba(0xD7DBE3);
    auto titleArea = [&](int position) {
        return QRectF(f.row(position).left() + 10, f.row(position).top() + 8, 40, 16);
    };
    EXPECT_EQ(closest(image, titleArea(2), green), 0);
    EXPECT_GT(closest(image, titleArea(2), text), 40);
    EXPECT_EQ(closest(image, titleArea(1), text), 0);
    EXPECT_GT(closest(image, titleArea(1), green), 40);
    // The detail comes after the title and its two blanks, in the dimmer grey.
    const qreal detailX = f.row(2).left() + 10 + (5 + 2) * 7.8;
    EXPECT_LE(closest(image, QRectF(detailX, f.row(2).top() + 8, 40, 16), rgba(0xA9B0BD)), 3);
}

TEST(PickerDrawing, IconsQueryAndNothingFound)
{
    std::vector<PickerItem> items = servers();
    items[0].noDelete = true;
    items[1] = {"prod-web", "deploy@web1", true, true, true, true, false};
    items[3].editable = true;
    items[3].reorderable = true;
    Fixture f(items, true, true);
    f.withIcons();
    const QColor selection = over(rgba(kAurora, 0.22), kPanel);
    {
        const QImage image = f.render();
        struct Case {
            int position;
            bool key, handle, edit, bin;
        };
        const Case cases[] = {
            {0, false, false, false, false},
            {1, true, true, true, true},
            {2, false, false, false, true},
            {3, false, true, true, true},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.position);
            const QRectF row = f.row(c.position);
            const QColor plate = c.position == 0 ? selection : kPanel;
            // The middle of each cell, clear of the plate's rounded corners.
            auto middle = [](const QRectF& cell) { return cell.adjusted(2, 8, -2, -8); };
            EXPECT_EQ(inked(image, middle(PickerGeometry::keyCell(row)), plate), c.key);
            EXPECT_EQ(inked(image, middle(PickerGeometry::handleCell(row)), plate), c.handle);
            EXPECT_EQ(inked(image, middle(PickerGeometry::editCell(row)), plate), c.edit);
            EXPECT_EQ(inked(image, middle(PickerGeometry::deleteCell(row)), plate), c.bin);
        }
        EXPECT_TRUE(inked(image, f.view->pickerGeometry().addButton(), kPanel));
        EXPECT_TRUE(inked(image, PickerGeometry::badge(f.row(5)), kPanel));
    }
    {
        // With a query: no badges, no handles, titles without the indent, the query after the heading.
        f.type("prod");
        const QImage image = f.render();
        const QRectF row = f.row(0);
        EXPECT_FALSE(inked(image, QRectF(row.left() + 4, row.top() + 6, 5, 20), selection));  // no badge
        EXPECT_FALSE(inked(image, PickerGeometry::handleCell(row), selection));
        EXPECT_TRUE(inked(image, PickerGeometry::keyCell(row), selection));
        const QRectF panel = f.view->pickerGeometry().panel;
        const qreal queryX = panel.left() + 16 + (7 + 2) * 8.2;
        EXPECT_EQ(closest(image, QRectF(queryX, panel.top() + 14, 50, 16), rgba(0xD7DBE3)), 0);
        EXPECT_FALSE(inked(image, QRectF(queryX - 12, panel.top() + 14, 10, 16), kPanel));
    }
    {
        f.type("zzz");
        const QImage image = f.render();
        const QRectF panel = f.view->pickerGeometry().panel;
        EXPECT_EQ(panel.height(), 98);
        EXPECT_LE(closest(image, QRectF(panel.left() + 16, panel.top() + 54, 80, 16), rgba(0xA9B0BD)), 3);
    }
}

// A sample picker for people to look at: set ORVANE_PICKER_PNG to a file name. It gets the
// filtered list; the same name with "-list" before ".png" gets the whole numbered list in a drag.
TEST(PickerDrawing, SampleImage)
{
    const QString path = QString::fromLocal8Bit(qgetenv("ORVANE_PICKER_PNG"));
    if (path.isEmpty())
        GTEST_SKIP() << "ORVANE_PICKER_PNG not set";
    std::vector<PickerItem> items = servers();
    items[0].noDelete = true;
    for (size_t i = 1; i < items.size(); ++i) {
        items[i].editable = true;
        items[i].reorderable = true;
    }
    items[1].highlighted = true;
    items[2].keyed = true;
    items[3].detail = "admin@nas.home  (ssh only)";

    auto shot = [&](const QString& query, int selected, std::optional<int> hover, std::optional<int> drag,
                    std::optional<int> drop, const QString& file) {
        Fixture f(items, true, true, {900, 520});
        f.withIcons();
        f.view->query = query;
        f.view->selected = selected;
        f.view->hover = hover;
        f.view->dragRow = drag;
        f.view->dropBefore = drop;
        // Something to dim: terminal text on the glass colour.
        QImage image(f.view->size(), QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        p.fillRect(image.rect(), QColor(0x12, 0x1A, 0x2E));
        p.setFont(pickerFonts().regular);
        p.setPen(QColor(0xC8, 0xCC, 0xD4));
        for (int y = 0; y < 30; ++y)
            p.drawText(QPointF(12, 20 + 17 * y),
                       QStringLiteral("user@box:~/src/orvane$ make -C build picker %1").arg(y));
        p.end();
        f.view->render(&image, {}, {}, QWidget::DrawChildren);
        EXPECT_TRUE(image.save(file)) << file.toStdString();
    };
    shot("@", 1, 3, std::nullopt, std::nullopt, path);
    QString list = path;
    list.replace(QLatin1String(".png"), QLatin1String("-list.png"));
    shot("", 2, 5, 4, 2, list);
}

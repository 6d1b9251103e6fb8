// The terminal view offscreen: pixels of what it draws, keys, paste, mouse reports,
// selection, scrolling, the dump file and a real shell.
#include "TerminalView.h"
#include "TestSupport.h"
#include "Transports.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;
using orvane::testing::waitUntil;

namespace {

// A started view of a fixed size whose output to the program is recorded.
struct Fixture {
    TerminalView view;
    std::string sent;

    explicit Fixture(int cols = 20, int rows = 5)
    {
        view.setFontSize(14);
        view.resize(int(std::ceil(cols * view.cellWidth())), int(std::ceil(rows * view.cellHeight())));
        view.attach([this](std::span<const uint8_t> b) { sent.append(b.begin(), b.end()); }, {});
        view.show();
    }
    QImage render()
    {
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        view.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        return image;
    }
    // The colours drawn inside a cell, transparent and background pixels left out.
    std::vector<QRgb> ink(const QImage& image, int row, int col, QRgb background = 0)
    {
        std::vector<QRgb> out;
        const QRect cell(int(col * view.cellWidth()), int(row * view.cellHeight()), int(view.cellWidth()),
                         int(view.cellHeight()));
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x) {
                const QRgb px = image.pixel(x, y);
                if (qAlpha(px) == 255 && (px & 0xFFFFFF) != (background & 0xFFFFFF))
                    out.push_back(px & 0xFFFFFF);
            }
        return out;
    }
    // The colour of the most opaque pixel drawn in a cell: the glyph's own colour.
    QRgb strongest(const QImage& image, int row, int col)
    {
        QRgb best = 0;
        int bestAlpha = 0;
        const QRect cell(int(col * view.cellWidth()), int(row * view.cellHeight()), int(view.cellWidth()),
                         int(view.cellHeight()));
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x) {
                const QRgb px = image.pixel(x, y);
                if (qAlpha(px) > bestAlpha) {
                    bestAlpha = qAlpha(px);
                    best = px;
                }
            }
        return best & 0xFFFFFF;
    }
    QPointF cellCenter(int row, int col) const
    {
        return {(col + 0.5) * view.cellWidth(), (row + 0.5) * view.cellHeight()};
    }
    void key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {})
    {
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(&view, &press);
    }
    void mouse(QEvent::Type type, int row, int col, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const QPointF p = cellCenter(row, col);
        const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent e(type, p, view.mapToGlobal(p), button, buttons, mods);
        QApplication::sendEvent(&view, &e);
    }
    void click(int row, int col, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        mouse(QEvent::MouseButtonPress, row, col, Qt::LeftButton, mods);
        mouse(QEvent::MouseButtonRelease, row, col, Qt::LeftButton, mods);
    }
};

bool near(QRgb a, uint32_t b, int tolerance = 6)
{
    return std::abs(qRed(a) - int(b >> 16 & 0xFF)) <= tolerance && std::abs(qGreen(a) - int(b >> 8 & 0xFF)) <= tolerance &&
           std::abs(qBlue(a) - int(b & 0xFF)) <= tolerance;
}

}  // namespace

TEST(TerminalView, GridAndFontSize)
{
    TerminalView v;
    EXPECT_EQ(v.gridSize(QSizeF(0, 0)), (TerminalView::Grid{2, 1}));
    v.setFontSize(3);
    EXPECT_EQ(v.fontSize(), 8);
    v.setFontSize(72);
    EXPECT_EQ(v.fontSize(), 40);
    v.setFontSize(14);
    const double w = v.cellWidth(), h = v.cellHeight();
    EXPECT_GT(w, 4);
    EXPECT_EQ(h, std::ceil(h));
    EXPECT_EQ(v.gridSize(QSizeF(w * 12.5, h * 6.9)), (TerminalView::Grid{12, 6}));

    // A fixed grid wins over the view's size.
    Fixture f(30, 10);
    f.view.fixedGrid = TerminalView::Grid{120, 40};
    int reported = 0;
    f.view.onResize = [&](int c, int r) { reported = c * 1000 + r; };
    f.view.resize(100, 100);
    EXPECT_EQ(f.view.term.cols(), 120);
    EXPECT_EQ(f.view.term.rows(), 40);
    EXPECT_EQ(reported, 120040);
}

TEST(TerminalView, ColoursOfRuns)
{
    Fixture f;
    f.view.receive("\x1b[1;31mB\x1b[0m \x1b[2;31mD\x1b[0m \x1b[7mI\x1b[0m \x1b[1;38;2;10;200;30mR\x1b[0m \x1b[44mX");
    const QImage img = f.render();
    EXPECT_TRUE(near(f.strongest(img, 0, 0), 0xFF7A75)) << std::hex << f.strongest(img, 0, 0);  // bold red is bright
    EXPECT_TRUE(near(f.strongest(img, 0, 2), 0x551F1D)) << std::hex << f.strongest(img, 0, 2);  // dim red
    // Inverse with default colours: filled with the text colour, the letter in 0x090B18.
    const QRgb inverseFill = img.pixel(int(4 * f.view.cellWidth() + 1), int(f.view.cellHeight() - 2));
    EXPECT_TRUE(near(inverseFill, 0xD7DBE3, 1));
    bool darkInk = false;
    for (QRgb px : f.ink(img, 0, 4, 0xD7DBE3))
        darkInk |= near(px, 0x090B18, 2);
    EXPECT_TRUE(darkInk);
    EXPECT_TRUE(near(f.strongest(img, 0, 6), 0x0AC81E));  // bold true colour keeps its colour
    // A background fills the whole cell; a default background is not filled.
    EXPECT_TRUE(near(img.pixel(int(8 * f.view.cellWidth() + 1), 1), 0x57C7FF, 1));
    EXPECT_EQ(qAlpha(img.pixel(int(11 * f.view.cellWidth() + 1), 1)), 0);
}

TEST(TerminalView, UnderlineSkipsSpacesAndPromptIsColoured)
{
    Fixture f(40, 3);
    f.view.receive("\x1b[4ma b\x1b[0m");
    QImage img = f.render();
    EXPECT_TRUE(f.ink(img, 0, 1).empty());  // nothing under the space
    EXPECT_FALSE(f.ink(img, 0, 2).empty());

    Fixture p(40, 3);
    p.view.promptColor = 0xFF4FD8;
    p.view.receive("me@box:~$ ls \x1b[32mok\x1b[0m\r\nme@box:~$ \x1b[33mx\x1b[0m@y$ z");
    img = p.render();
    EXPECT_TRUE(near(p.strongest(img, 0, 0), 0xFF4FD8));   // prompt
    EXPECT_TRUE(near(p.strongest(img, 0, 10), 0xD7DBE3));  // the command
    EXPECT_TRUE(near(p.strongest(img, 0, 13), 0x5AF78E)); // explicit colours stay
    EXPECT_TRUE(near(p.strongest(img, 1, 10), 0xF3F99D));
}

TEST(TerminalView, CursorAndSelection)
{
    Fixture f(10, 3);
    f.view.receive("ab");
    const int cx = int(2 * f.view.cellWidth()), cy = int(f.view.cellHeight() / 2);
    auto edgeInk = [&](const QImage& img) {
        int n = 0;
        for (int x = cx + 1; x <= int(3 * f.view.cellWidth()); ++x)
            n += qAlpha(img.pixel(x, cy)) > 0;
        return n;
    };
    const int middle = cx + int(f.view.cellWidth() / 2);
    // Focused in the active window: a filled block.
    f.view.activateWindow();
    f.view.setFocus();
    if (f.view.hasFocus() && f.view.isActiveWindow()) {
        const QImage img = f.render();
        EXPECT_TRUE(near(img.pixel(middle, cy), 0x3FD8FF, 2));
    }
    // Not focused: an outline only, the cell's middle stays empty.
    f.view.clearFocus();
    QImage img = f.render();
    EXPECT_EQ(qAlpha(img.pixel(middle, cy)), 0);
    EXPECT_GT(edgeInk(img), 0);
    // Hidden by the program: nothing.
    f.view.receive("\x1b[?25l");
    img = f.render();
    EXPECT_EQ(edgeInk(img), 0);

    // A selection is tinted with the highlight colour.
    f.view.receive("\x1b[?25h");
    f.mouse(QEvent::MouseButtonPress, 0, 0);
    f.mouse(QEvent::MouseMove, 0, 1);
    f.mouse(QEvent::MouseButtonRelease, 0, 1);
    img = f.render();
    const QRgb tinted = img.pixel(int(f.view.cellWidth() * 1.5), 1);
    EXPECT_GT(qAlpha(tinted), 0);
    EXPECT_GT(qBlue(tinted), qRed(tinted));
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "ab");
}

TEST(TerminalView, KeysPasteCopyAndSelectAll)
{
    Fixture f;
    f.key(Qt::Key_Up);
    f.view.receive("\x1b[?1h");
    f.key(Qt::Key_Up);
    f.key(Qt::Key_Up, Qt::ShiftModifier);
    f.key(Qt::Key_Tab, Qt::NoModifier, "\t");
    f.key(Qt::Key_C, Qt::ControlModifier, "\x03");
    EXPECT_EQ(f.sent, "\x1b[A\x1bOA\x1b[1;2A\t\x03");

    f.sent.clear();
    QApplication::clipboard()->setText("one\r\ntwo\nthree");
    f.key(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f.sent, "one\rtwo\rthree");
    f.sent.clear();
    f.view.receive("\x1b[?2004h");
    f.key(Qt::Key_V, Qt::MetaModifier);
    EXPECT_EQ(f.sent, "\x1b[200~one\rtwo\rthree\x1b[201~");

    // Copy: a one-cell click selection is not copied and stays; a real one is copied and goes.
    f.view.receive("\r\nhello world");
    QApplication::clipboard()->setText("before");
    f.click(1, 2);
    f.key(Qt::Key_C, Qt::MetaModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "before");
    EXPECT_TRUE(f.view.selectionStart());
    f.mouse(QEvent::MouseButtonPress, 1, 6);
    f.mouse(QEvent::MouseMove, 1, 0);
    QApplication::clipboard()->setText("before");
    f.key(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "hello w");
    EXPECT_FALSE(f.view.selectionStart());

    f.key(Qt::Key_A, Qt::MetaModifier);
    EXPECT_EQ(f.view.selectionStart(), (VTPos{0, 0}));
    EXPECT_EQ(f.view.selectionEnd(), (VTPos{f.view.term.totalLines() - 1, 19}));
    f.sent.clear();
    f.key(Qt::Key_X, Qt::NoModifier, "x");  // typing removes the selection
    EXPECT_EQ(f.sent, "x");
    EXPECT_FALSE(f.view.selectionStart());

    // Input method text goes out as UTF-8.
    f.sent.clear();
    QInputMethodEvent im;
    im.setCommitString(QString::fromUtf8("\xe4\xb8\xad"));
    QApplication::sendEvent(&f.view, &im);
    EXPECT_EQ(f.sent, "\xe4\xb8\xad");
}

TEST(TerminalView, MouseReports)
{
    struct Case {
        const char* name;
        std::string modes;
        std::function<void(Fixture&)> act;
        std::string sent;
    } cases[] = {
        {"sgr click", "\x1b[?1000h\x1b[?1006h", [](Fixture& f) { f.click(2, 4); }, "\x1b[<0;5;3M\x1b[<0;5;3m"},
        {"x10 click", "\x1b[?1000h", [](Fixture& f) { f.click(2, 4); }, "\x1b[M %#\x1b[M#%#"},
        {"control click", "\x1b[?1000h\x1b[?1006h", [](Fixture& f) { f.click(0, 0, Qt::ControlModifier); },
         "\x1b[<16;1;1M\x1b[<16;1;1m"},
        {"alt click", "\x1b[?1000h\x1b[?1006h", [](Fixture& f) { f.click(0, 0, Qt::AltModifier); },
         "\x1b[<8;1;1M\x1b[<8;1;1m"},
        {"shift click selects instead", "\x1b[?1000h\x1b[?1006h",
         [](Fixture& f) { f.click(0, 0, Qt::ShiftModifier); }, ""},
        {"drag in 1000 has no motion", "\x1b[?1000h\x1b[?1006h",
         [](Fixture& f) {
             f.mouse(QEvent::MouseButtonPress, 0, 0);
             f.mouse(QEvent::MouseMove, 0, 3);
             f.mouse(QEvent::MouseButtonRelease, 0, 3);
         },
         "\x1b[<0;1;1M\x1b[<0;4;1m"},
        {"drag in 1002 reports motion", "\x1b[?1002h\x1b[?1006h",
         [](Fixture& f) {
             f.mouse(QEvent::MouseButtonPress, 0, 0);
             f.mouse(QEvent::MouseMove, 1, 3);
             f.mouse(QEvent::MouseButtonRelease, 1, 3);
         },
         "\x1b[<0;1;1M\x1b[<32;4;2M\x1b[<0;4;2m"},
        {"motion without a button is never reported", "\x1b[?1003h\x1b[?1006h",
         [](Fixture& f) { f.mouse(QEvent::MouseMove, 1, 1, Qt::NoButton); }, ""},
        {"wheel up three lines", "\x1b[?1000h\x1b[?1006h",
         [](Fixture& f) {
             QWheelEvent w(f.cellCenter(1, 1), f.view.mapToGlobal(f.cellCenter(1, 1)), QPoint(),
                           QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
             QApplication::sendEvent(&f.view, &w);
         },
         "\x1b[<64;2;2M\x1b[<64;2;2M\x1b[<64;2;2M"},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.view.receive(c.modes);
        c.act(f);
        EXPECT_EQ(f.sent, c.sent) << c.name;
    }
}

TEST(TerminalView, WheelScrollsBackAndInputReturns)
{
    Fixture f(20, 5);
    for (int i = 0; i < 30; ++i)
        f.view.receive("line " + std::to_string(i) + "\r\n");
    auto wheel = [&](QPoint pixels, QPoint angle) {
        QWheelEvent w(f.cellCenter(1, 1), f.view.mapToGlobal(f.cellCenter(1, 1)), pixels, angle, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&f.view, &w);
    };
    wheel({}, {0, 120});
    EXPECT_EQ(f.view.scrollOffset(), QApplication::wheelScrollLines());
    const int before = f.view.scrollOffset();
    wheel({0, int(f.view.cellHeight() * 0.4)}, {0, 48});
    EXPECT_EQ(f.view.scrollOffset(), before);  // less than a line: accumulated
    wheel({0, int(f.view.cellHeight() * 0.7)}, {0, 84});
    EXPECT_EQ(f.view.scrollOffset(), before + 1);
    EXPECT_FALSE(f.view.scrollIndicatorRect().isEmpty());
    // ED 3 while scrolled back: the next output brings the offset down.
    f.view.receive("\x1b[3J");
    EXPECT_EQ(f.view.scrollOffset(), 0);
    wheel({}, {0, 120});
    f.key(Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_EQ(f.view.scrollOffset(), 0);
    // On the alternate screen the wheel does nothing without mouse mode.
    f.view.receive("\x1b[?1049h");
    wheel({}, {0, 120});
    EXPECT_EQ(f.view.scrollOffset(), 0);
}

TEST(TerminalView, WordAndLineSelection)
{
    Fixture f(30, 3);
    f.view.receive("x foo.bar(baz) y   ");
    f.click(0, 4);
    f.click(0, 4);
    EXPECT_EQ(f.view.selectionStart(), (VTPos{0, 2}));
    EXPECT_EQ(f.view.selectionEnd(), (VTPos{0, 8}));
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "foo.bar");
    f.click(0, 4);
    EXPECT_EQ(f.view.selectionEnd(), (VTPos{0, 29}));
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "x foo.bar(baz) y");
    // Backwards drag copies the same text as forwards.
    f.mouse(QEvent::MouseButtonPress, 0, 12);
    f.mouse(QEvent::MouseMove, 0, 2);
    f.mouse(QEvent::MouseButtonRelease, 0, 2);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "foo.bar(baz");
}

TEST(TerminalView, RepliesClipboardTitleAndDump)
{
    QTemporaryDir dir;
    const std::string dump = dir.path().toStdString() + "/screen.txt";
    setenv("ORVANE_DUMP", dump.c_str(), 1);
    Fixture f(10, 3);
    std::string title;
    f.view.onTitle = [&](const std::string& t) { title = t; };
    f.view.receive("\x1b[c\x1b]2;hello\x07\x1b]52;c;aGk=\x07top\r\nnext");
    unsetenv("ORVANE_DUMP");
    EXPECT_EQ(f.sent, "\x1b[?62;22c");
    EXPECT_EQ(title, "hello");
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "hi");
    EXPECT_EQ(orvane::testing::readFile(dump), "top\nnext\n");
    f.view.receive("\x1b]52;c;\x07");
    EXPECT_TRUE(QApplication::clipboard()->text().isEmpty());
}

TEST(TerminalView, RealShellAndFailedStart)
{
    QTemporaryDir home;
    setenv("SHELL", "/bin/sh", 1);
    setenv("HOME", home.path().toUtf8().constData(), 1);
    TerminalView view;
    view.resize(600, 300);
    view.startShell(std::make_shared<LocalShellTransport>(), false);
    ASSERT_TRUE(view.shell);
    const std::string keys = "echo h\"\"i-there\r";
    view.send(keys);
    auto screenHas = [&](const std::string& text) {
        for (int r = 0; r < view.term.rows(); ++r)
            if (view.term.rowText(r).find(text) != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(waitUntil([&] { return screenHas("hi-there"); }));
    bool exited = false;
    view.onExit = [&] { exited = true; };
    view.send("exit\r");
    EXPECT_TRUE(waitUntil([&] { return exited; }));

    TerminalView failed;
    failed.startShell(std::make_shared<PlainSSHTransport>("-oProxyCommand=x"), true);
    EXPECT_EQ(failed.term.rowText(0), "Shell could not start: Invalid target: -oProxyCommand=x");
}

#include "TerminalView.h"

#include "Glow.h"
#include "Links.h"
#include "Palette.h"
#include "Prompt.h"
#include "TransportError.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDateTime>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>
#include <QWheelEvent>

#include <cmath>
#include <cstdlib>

namespace orvane {

namespace {

constexpr uint32_t kInverseText = 0x090B18;
const char* const kFontFamily = "DejaVu Sans Mono";

QColor rgb(uint32_t c, double alpha = 1.0)
{
    QColor color(int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF));
    color.setAlphaF(float(alpha));
    return color;
}

std::span<const uint8_t> bytesOf(const std::string& s)
{
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// Line ends of pasted text become carriage returns, as a typed Return would send.
std::string pasteText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    text.replace(u'\n', u'\r');
    return text.toStdString();
}

}  // namespace

TerminalView::TerminalView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setMouseTracking(true);
    setAutoFillBackground(false);
    setFontSize(14);
}

TerminalView::~TerminalView()
{
    if (shell) {
        shell->onData = nullptr;
        shell->onClose = nullptr;
    }
}

// MARK: fonts and grid

void TerminalView::setFontSize(double points)
{
    fontSize_ = std::clamp(points, 8.0, 40.0);
    const bool haveFamily = QFontDatabase::hasFamily(QString::fromLatin1(kFontFamily));
    for (int face = 0; face < 4; ++face) {
        QFont f = haveFamily ? QFont(QString::fromLatin1(kFontFamily)) : QFontDatabase::systemFont(QFontDatabase::FixedFont);
        f.setPixelSize(int(std::lround(fontSize_)));
        f.setBold(face & 1);
        f.setItalic(face & 2);
        f.setStyleHint(QFont::Monospace);
        f.setKerning(false);
        fonts_[size_t(face)] = f;
    }
    const QFontMetricsF fm(fonts_[0]);
    cellW_ = fm.horizontalAdvance(QStringLiteral("MMMMMMMMMM")) / 10.0;
    cellH_ = std::ceil(1.08 * (fm.ascent() + fm.descent() + fm.leading()));
    ascent_ = fm.ascent();
    glyphs_.clear();
    if (started_)
        applyGridSize();
    update();
}

TerminalView::Grid TerminalView::gridSize(QSizeF size) const
{
    return {std::max(2, int(std::floor(size.width() / cellW_))), std::max(1, int(std::floor(size.height() / cellH_)))};
}

TerminalView::Grid TerminalView::gridSize() const
{
    return fixedGrid ? *fixedGrid : gridSize(QSizeF(size()));
}

void TerminalView::applyGridSize()
{
    const Grid g = gridSize();
    term.resize(g.cols, g.rows);
    if (onResize)
        onResize(g.cols, g.rows);
    update();
}

void TerminalView::resizeEvent(QResizeEvent*)
{
    if (started_)
        applyGridSize();
}

// MARK: starting and output

void TerminalView::startShell(std::shared_ptr<PTYProcess> process, bool keepOpen)
{
    if (started_ || !process)
        return;
    started_ = true;
    const QPointer<TerminalView> view(this);
    process->onData = [view](std::span<const uint8_t> bytes) {
        if (view)
            view->receive(bytes);
    };
    process->onClose = [view, keepOpen] {
        if (!view)
            return;
        if (keepOpen)
            view->receive("\r\n[Connection closed. Close this tab with \u2318W.]\r\n");
        else if (view->onExit)
            view->onExit();
    };
    const Grid g = gridSize();
    term.resize(g.cols, g.rows);
    try {
        process->start(g.cols, g.rows);
    } catch (const TransportError& e) {
        receive("Shell could not start: " + e.message + "\r\n");
    }
    shell = process;
    const std::weak_ptr<PTYProcess> weak = process;
    sink = [weak](std::span<const uint8_t> bytes) {
        if (auto p = weak.lock())
            p->write(bytes);
    };
    onResize = [weak](int cols, int rows) {
        if (auto p = weak.lock())
            p->resize(cols, rows);
    };
    if (const char* input = std::getenv("ORVANE_INPUT")) {
        const std::string text = std::string(input) + "\r";
        QTimer::singleShot(800, this, [view, text] {
            if (view && view->sink)
                view->sink(bytesOf(text));
        });
    }
}

void TerminalView::attach(Sink s, std::function<void(int, int)> resized)
{
    sink = std::move(s);
    onResize = std::move(resized);
    started_ = true;
    const Grid g = gridSize();
    term.resize(g.cols, g.rows);
    update();
}

void TerminalView::receive(std::span<const uint8_t> bytes)
{
    term.feed(bytes);
    const std::vector<uint8_t> replies = term.takeResponses();
    if (!replies.empty() && sink && !dropReplies)
        sink(replies);
    if (const auto clip = term.takeClipboard()) {
        QClipboard* board = QGuiApplication::clipboard();
        board->clear();
        if (!clip->empty())
            board->setText(QString::fromStdString(*clip));
    }
    if (onTitle)
        onTitle(term.title);
    if (scrollOffset_ > 0)
        setScrollOffset(std::min(scrollOffset_, term.scrollbackCount()));
    scheduleRepaint();
    dumpScreen();
}

void TerminalView::scheduleRepaint()
{
    constexpr qint64 kFrameMs = 16;
    if (repaintPending_)
        return;
    const qint64 since = lastPaint_.isValid() ? lastPaint_.elapsed() : kFrameMs;
    if (since >= kFrameMs) {
        update();
        return;
    }
    repaintPending_ = true;
    QTimer::singleShot(int(kFrameMs - since), this, [this] {
        repaintPending_ = false;
        update();
    });
}

void TerminalView::dumpScreen() const
{
    const char* path = std::getenv("ORVANE_DUMP");
    if (!path || !*path)
        return;
    std::string text;
    for (int r = 0; r < term.rows(); ++r) {
        if (r)
            text += '\n';
        text += term.rowText(r);
    }
    QSaveFile file(QString::fromLocal8Bit(path));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text.data(), qint64(text.size()));
        file.commit();
    }
}

// MARK: input

void TerminalView::send(std::span<const uint8_t> bytes)
{
    if (scrollOffset_ > 0)
        setScrollOffset(0);
    if (selStart_ || selEnd_)
        clearSelection();
    if (sink)
        sink(bytes);
}

void TerminalView::clearSelection()
{
    selStart_.reset();
    selEnd_.reset();
    wordSelected_ = false;
    update();
}

bool TerminalView::hasSelection() const
{
    return selStart_ && selEnd_ && (*selStart_ != *selEnd_ || wordSelected_);
}

void TerminalView::copySelection()
{
    if (!hasSelection())
        return;
    const std::string text = term.text(*selStart_, *selEnd_);
    if (text.empty())
        return;
    const QString t = QString::fromStdString(text);
    QClipboard* board = QGuiApplication::clipboard();
    board->clear();
    board->setText(t);
    if (board->supportsSelection())
        board->setText(t, QClipboard::Selection);
}

void TerminalView::selectAll()
{
    selStart_ = VTPos{0, 0};
    selEnd_ = VTPos{term.totalLines() - 1, term.cols() - 1};
    wordSelected_ = true;
    update();
}

void TerminalView::paste()
{
    const QString text = QGuiApplication::clipboard()->text(QClipboard::Clipboard);
    if (text.isEmpty())
        return;
    const std::string bytes = pasteText(text);
    send(term.bracketedPaste ? "\x1b[200~" + bytes + "\x1b[201~" : bytes);
}

void TerminalView::pastePrimary()
{
    QClipboard* board = QGuiApplication::clipboard();
    const QString text = board->text(board->supportsSelection() ? QClipboard::Selection : QClipboard::Clipboard);
    if (text.isEmpty())
        return;
    const std::string bytes = pasteText(text);
    send(term.bracketedPaste ? "\x1b[200~" + bytes + "\x1b[201~" : bytes);
}

bool TerminalView::event(QEvent* e)
{
    if (e->type() == QEvent::ShortcutOverride) {
        // Keys the terminal takes itself win over window shortcuts; Super combinations and
        // Ctrl+Shift letters stay free for the window's commands.
        auto* k = static_cast<QKeyEvent*>(e);
        const KeyPress press{k->key(), k->modifiers(), k->text()};
        const bool windowCombo = (k->modifiers() & Qt::MetaModifier) ||
                                 ((k->modifiers() & Qt::ControlModifier) && (k->modifiers() & Qt::ShiftModifier) &&
                                  k->key() >= Qt::Key_A && k->key() <= Qt::Key_Z);
        if (keyCommand(press) != KeyCommand::None || !windowCombo) {
            e->accept();
            return true;
        }
        return false;
    }
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
            keyPressEvent(k);
            return true;
        }
    }
    return QWidget::event(e);
}

void TerminalView::keyPressEvent(QKeyEvent* e)
{
    const KeyPress press{e->key(), e->modifiers(), e->text()};
    if (e->key() == Qt::Key_Meta || e->key() == Qt::Key_Super_L || e->key() == Qt::Key_Super_R) {
        updateHover(mapFromGlobal(QCursor::pos()), e->modifiers() | Qt::MetaModifier);
        return;
    }
    switch (keyCommand(press)) {
    case KeyCommand::Copy:
        if (hasSelection()) {
            copySelection();
            clearSelection();
        }
        return;
    case KeyCommand::Paste:
        paste();
        return;
    case KeyCommand::PastePrimary:
        pastePrimary();
        return;
    case KeyCommand::SelectAll:
        selectAll();
        return;
    case KeyCommand::None:
        break;
    }
    const std::string bytes = encodeKey(press, term.appCursorKeys);
    if (!bytes.empty())
        send(bytes);
}

void TerminalView::keyReleaseEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Meta || e->key() == Qt::Key_Super_L || e->key() == Qt::Key_Super_R)
        updateHover(mapFromGlobal(QCursor::pos()), e->modifiers() & ~Qt::MetaModifier);
    QWidget::keyReleaseEvent(e);
}

void TerminalView::inputMethodEvent(QInputMethodEvent* e)
{
    if (!e->commitString().isEmpty())
        send(e->commitString().toStdString());
    e->accept();
}

void TerminalView::focusInEvent(QFocusEvent*)
{
    update();
    if (onFocus)
        onFocus();
}

void TerminalView::focusOutEvent(QFocusEvent*)
{
    update();
}

// MARK: mouse

VTPos TerminalView::cellAt(QPointF p) const
{
    const int row = std::clamp(int(std::floor(p.y() / cellH_)), 0, term.rows() - 1);
    const int col = std::clamp(int(std::floor(p.x() / cellW_)), 0, term.cols() - 1);
    return {term.scrollbackCount() - scrollOffset_ + row, col};
}

bool TerminalView::sendMouse(QPointF pos, Qt::KeyboardModifiers mods, int button, bool pressed, bool motion)
{
    if (term.mouseTracking < 1 || (mods & Qt::ShiftModifier) || scrollOffset_ != 0)
        return false;
    const int row = std::clamp(int(std::floor(pos.y() / cellH_)), 0, term.rows() - 1);
    const int col = std::clamp(int(std::floor(pos.x() / cellW_)), 0, term.cols() - 1);
    const int code = button + (motion ? 32 : 0) + (mods & Qt::AltModifier ? 8 : 0) + (mods & Qt::ControlModifier ? 16 : 0);
    if (term.mouseSGR) {
        send(sgrMouse(code, col, row, pressed));
    } else if (col <= 222 && row <= 222) {
        const char report[] = {'\x1b', '[', 'M', char(32 + (pressed ? code : 3)), char(33 + col), char(33 + row)};
        send(std::string_view(report, sizeof report));
    }
    return true;
}

void TerminalView::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::MiddleButton) {
        pastePrimary();
        return;
    }
    if (e->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    const VTPos cell = cellAt(e->position());
    if (e->modifiers() & Qt::MetaModifier) {
        if (const auto link = linkAt(term.absLine(cell.line), cell.col)) {
            QDesktopServices::openUrl(link->url);
            return;
        }
    }
    if (sendMouse(e->position(), e->modifiers(), 0, true, false)) {
        reportedButton_ = 0;
        return;
    }
    pressAt(e);
}

void TerminalView::mouseDoubleClickEvent(QMouseEvent* e)
{
    // Qt reports the second press of a double click here; the click counter tells them apart.
    mousePressEvent(e);
}

void TerminalView::pressAt(QMouseEvent* e)
{
    const VTPos cell = cellAt(e->position());
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - lastClickTime_ <= QApplication::doubleClickInterval() && cell == lastClickCell_ && clickCount_ > 0)
        ++clickCount_;
    else
        clickCount_ = 1;
    lastClickTime_ = now;
    lastClickCell_ = cell;
    switch (clickCount_) {
    case 2: {
        const auto [s, end] = wordRange(term.absLine(cell.line), cell.col);
        selStart_ = VTPos{cell.line, s};
        selEnd_ = VTPos{cell.line, end};
        wordSelected_ = true;
        break;
    }
    case 3:
        selStart_ = VTPos{cell.line, 0};
        selEnd_ = VTPos{cell.line, term.cols() - 1};
        wordSelected_ = true;
        break;
    default:
        selStart_ = selEnd_ = cell;
        wordSelected_ = false;
        break;
    }
    update();
}

void TerminalView::mouseMoveEvent(QMouseEvent* e)
{
    if (!(e->buttons() & Qt::LeftButton)) {
        updateHover(e->position(), e->modifiers());
        return;
    }
    if (!reportedButton_) {
        selEnd_ = cellAt(e->position());
        wordSelected_ = false;
        update();
    } else if (term.mouseTracking > 1001) {
        sendMouse(e->position(), e->modifiers(), 0, true, true);
    }
}

void TerminalView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    if (!reportedButton_) {
        copySelection();
        return;
    }
    sendMouse(e->position(), e->modifiers(), *reportedButton_, false, false);
    reportedButton_.reset();
}

void TerminalView::wheelEvent(QWheelEvent* e)
{
    const bool precise = !e->pixelDelta().isNull();
    const double lines = precise ? e->pixelDelta().y() / cellH_
                                 : e->angleDelta().y() / 120.0 * QApplication::wheelScrollLines();
    auto accumulate = [&]() -> int {
        scrollAccum_ += lines;
        const int n = int(std::trunc(scrollAccum_));
        scrollAccum_ -= n;
        return n;
    };
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    if (term.mouseTracking >= 1 && !shift) {
        const int n = accumulate();
        for (int i = 0; i < std::abs(n); ++i)
            sendMouse(e->position(), e->modifiers(), n > 0 ? 64 : 65, true, false);
    } else if (!term.inAltScreen()) {
        const int n = accumulate();
        if (n != 0)
            setScrollOffset(std::clamp(scrollOffset_ + n, 0, term.scrollbackCount()));
    }
    e->accept();
}

void TerminalView::setScrollOffset(int offset)
{
    if (offset == scrollOffset_)
        return;
    scrollOffset_ = offset;
    update();
    emit scrollIndicatorChanged();
}

void TerminalView::updateHover(QPointF pos, Qt::KeyboardModifiers mods)
{
    if ((mods & Qt::MetaModifier) && rect().contains(pos.toPoint())) {
        const VTPos cell = cellAt(pos);
        if (const auto link = linkAt(term.absLine(cell.line), cell.col)) {
            const HoverLink h{cell.line, link->first, link->last};
            if (hoverLink_ != h) {
                hoverLink_ = h;
                update();
            }
            setCursor(Qt::PointingHandCursor);
            return;
        }
        if (hoverLink_) {
            hoverLink_.reset();
            update();
        }
        setCursor(Qt::IBeamCursor);
        return;
    }
    if (hoverLink_) {
        hoverLink_.reset();
        update();
    }
}

void TerminalView::leaveEvent(QEvent*)
{
    hoverLink_.reset();
    update();
}

void TerminalView::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("Copy"), this, [this] {
        copySelection();
        clearSelection();
    });
    menu.addAction(QStringLiteral("Paste"), this, [this] { paste(); });
    menu.addAction(QStringLiteral("Select All"), this, [this] { selectAll(); });
    menu.exec(e->globalPos());
}

// MARK: drawing

QColor TerminalView::highlightColor() const
{
    return lightBackground ? QColor(Qt::black) : rgb(Glow::all()[0].accent());
}

QColor TerminalView::defaultTextColor() const
{
    return lightBackground ? QColor(Qt::black) : rgb(textColor);
}

QRectF TerminalView::scrollIndicatorRect() const
{
    if (scrollOffset_ < 1)
        return {};
    const double t = term.scrollbackCount() + term.rows();
    const double h = height();
    const double y = (term.scrollbackCount() - scrollOffset_) / t * h;
    const double len = std::max(10.0, term.rows() / t * h);
    return QRectF(geometry().x() + width() + 6, geometry().y() + y, 3, len);
}

const QPixmap& TerminalView::glyph(char32_t ch, int face, QRgb color, int width)
{
    const quint64 key = quint64(ch) | quint64(face) << 21 | quint64(width == 2) << 23 | quint64(color & 0xFFFFFF) << 24;
    auto it = glyphs_.find(key);
    if (it != glyphs_.end())
        return *it;
    const qreal dpr = devicePixelRatioF();
    // Room for one more cell of overhang (italics, wide fallback glyphs).
    const QSizeF logical(std::ceil(cellW_ * (width + 1)), std::ceil(cellH_));
    QPixmap pm((logical * dpr).toSize());
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setFont(fonts_[size_t(face)]);
    p.setPen(QColor::fromRgb(color));
    p.drawText(QPointF(0, ascent_), QString::fromUcs4(&ch, 1));
    p.end();
    return *glyphs_.insert(key, pm);
}

void TerminalView::drawRow(QPainter& p, const VTRow& row, int y, int promptEnd)
{
    const size_t n = row.size();
    size_t col = 0;
    while (col < n) {
        if (row[col].spacer) {
            ++col;
            continue;
        }
        const VTAttrs attrs = row[col].attrs;
        size_t end = col + 1;
        while (end < n && int(end) != promptEnd && (row[end].spacer || row[end].attrs == attrs))
            ++end;
        const bool inPrompt = int(col) < promptEnd;
        const auto fg = Palette::color(attrs.fg(), attrs.bold);
        const auto bg = Palette::color(attrs.bg(), false);
        const QRectF cells(col * cellW_, y, (end - col) * cellW_, cellH_);
        QColor text;
        if (attrs.inverse) {
            p.fillRect(cells, fg ? rgb(*fg) : defaultTextColor());
            text = rgb(bg ? *bg : kInverseText);
        } else {
            if (inPrompt && attrs.fg().isDefault())
                text = rgb(*promptColor);
            else
                text = fg ? rgb(*fg) : defaultTextColor();
            if (bg)
                p.fillRect(cells, rgb(*bg));
        }
        if (attrs.dim && !attrs.inverse)
            text = QColor::fromRgbF(text.redF() / 3, text.greenF() / 3, text.blueF() / 3, text.alphaF());
        const int face = (attrs.italic ? 2 : 0) + (attrs.bold ? 1 : 0);
        for (size_t c = col; c < end; ++c) {
            const VTCell& cell = row[c];
            if (cell.spacer || cell.ch == U' ')
                continue;
            // Whole pixels keep glyphs crisp at fractional cell widths.
            const double x = std::round(c * cellW_);
            p.drawPixmap(QPointF(x, y), glyph(cell.ch, face, text.rgb(), cell.wide ? 2 : 1));
            if (attrs.underline)
                p.fillRect(QRectF(x, y + ascent_ + 2, cellW_ * (cell.wide ? 2 : 1), 1), text);
        }
        col = end;
    }
}

void TerminalView::paintEvent(QPaintEvent*)
{
    lastPaint_.restart();
    QPainter p(this);
    const int sb = term.scrollbackCount();
    const int top = sb - scrollOffset_;  // absolute line of screen row 0
    for (int i = 0; i < term.rows(); ++i) {
        const VTRow& row = term.line(i, scrollOffset_);
        const int promptEnd = promptColor ? promptColumns(row) : 0;
        drawRow(p, row, int(i * cellH_), promptEnd);
    }

    const QColor highlight = highlightColor();
    if (hasSelection()) {
        VTPos a = *selStart_, b = *selEnd_;
        if (b.line < a.line || (b.line == a.line && b.col < a.col))
            std::swap(a, b);
        QColor overlay = highlight;
        overlay.setAlphaF(0.35f);
        for (int i = 0; i < term.rows(); ++i) {
            const int line = top + i;
            if (line < a.line || line > b.line)
                continue;
            const int from = line == a.line ? a.col : 0;
            const int to = line == b.line ? b.col : term.cols() - 1;
            if (to >= from)
                p.fillRect(QRectF(from * cellW_, i * cellH_, (to - from + 1) * cellW_, cellH_), overlay);
        }
    }

    if (hoverLink_) {
        const int i = hoverLink_->line - top;
        if (i >= 0 && i < term.rows())
            p.fillRect(QRectF(hoverLink_->first * cellW_, (i + 1) * cellH_ - 2,
                              (hoverLink_->last - hoverLink_->first + 1) * cellW_, 1.5),
                       highlight);
    }

    if (term.cursorVisible && scrollOffset_ == 0) {
        const auto [r, c] = term.cursor();
        const QRectF box(c * cellW_, r * cellH_ + 1, cellW_, cellH_ - 2);
        if (isActiveWindow() && hasFocus()) {
            QColor fill = highlight;
            fill.setAlphaF(0.85f);
            p.fillRect(box, fill);
            const VTCell& cell = term.line(r)[size_t(c)];
            if (cell.ch != U' ' && !cell.spacer)
                p.drawPixmap(QPointF(std::round(c * cellW_), r * cellH_), glyph(cell.ch, 0, rgb(kInverseText).rgb(), cell.wide ? 2 : 1));
        } else {
            QColor stroke = highlight;
            stroke.setAlphaF(0.9f);
            p.setPen(QPen(stroke, 1));
            p.setBrush(Qt::NoBrush);
            p.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
        }
    }
}

}  // namespace orvane

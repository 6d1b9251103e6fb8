// The view of one terminal pane: owns a Terminal, feeds it the program's output, draws
// its cells, and turns keys, paste and the mouse into bytes for the program.
#pragma once

#include "KeyEncoding.h"
#include "PTYProcess.h"
#include "Terminal.h"

#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace orvane {

class TerminalView : public QWidget {
    Q_OBJECT
public:
    using Sink = std::function<void(std::span<const uint8_t>)>;
    struct Grid {
        int cols = 0;
        int rows = 0;
        friend bool operator==(const Grid&, const Grid&) = default;
    };
    struct HoverLink {
        int line = 0;
        int first = 0;
        int last = 0;
        friend bool operator==(const HoverLink&, const HoverLink&) = default;
    };

    explicit TerminalView(QWidget* parent = nullptr);
    ~TerminalView() override;

    Terminal term{80, 24};
    std::shared_ptr<PTYProcess> shell;
    Sink sink;
    std::function<void(int cols, int rows)> onResize;
    std::function<void()> onExit;
    std::function<void()> onFocus;
    std::function<void(const std::string&)> onTitle;

    // Set by the owner.
    std::optional<Grid> fixedGrid;
    std::optional<uint32_t> paneID;
    uint32_t textColor = 0xD7DBE3;
    bool lightBackground = false;
    std::optional<uint32_t> promptColor;
    // The terminal's own replies (device attributes, cursor reports) are not sent: set for tmux
    // panes, where tmux itself already answered the program.
    bool dropReplies = false;

    void setFontSize(double points);
    double fontSize() const { return fontSize_; }
    double cellWidth() const { return cellW_; }
    double cellHeight() const { return cellH_; }
    Grid gridSize() const;
    Grid gridSize(QSizeF size) const;

    void startShell(std::shared_ptr<PTYProcess> process, bool keepOpen);
    void attach(Sink sink, std::function<void(int, int)> onResize);
    void receive(std::span<const uint8_t> bytes);
    void receive(std::string_view text)
    {
        receive(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }
    // Input for the program: back to the live screen, selection removed, then to the sink.
    void send(std::span<const uint8_t> bytes);
    void send(std::string_view text)
    {
        send(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    }

    void paste();
    void pastePrimary();
    void copySelection();
    void selectAll();

    int scrollOffset() const { return scrollOffset_; }
    std::optional<VTPos> selectionStart() const { return selStart_; }
    std::optional<VTPos> selectionEnd() const { return selEnd_; }
    std::optional<HoverLink> hoverLink() const { return hoverLink_; }
    bool started() const { return started_; }
    // Where the scroll indicator goes: beside the view's right edge, in the parent's
    // coordinates; empty when the view is not scrolled back. The owner draws it.
    QRectF scrollIndicatorRect() const;
    QColor highlightColor() const;
    // The cell under a point: absolute line and column, clamped to the grid.
    VTPos cellAt(QPointF p) const;

signals:
    // The view asks its owner to repaint the scroll indicator beside it.
    void scrollIndicatorChanged();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    bool event(QEvent*) override;
    void inputMethodEvent(QInputMethodEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void leaveEvent(QEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;

private:
    bool sendMouse(QPointF pos, Qt::KeyboardModifiers mods, int button, bool pressed, bool motion);
    void pressAt(QMouseEvent* e);
    void updateHover(QPointF pos, Qt::KeyboardModifiers mods);
    void setScrollOffset(int offset);
    void applyGridSize();
    void dumpScreen() const;
    bool hasSelection() const;
    void clearSelection();
    QColor defaultTextColor() const;
    const QPixmap& glyph(char32_t ch, int face, QRgb color, int width);
    void drawRow(QPainter& p, const VTRow& row, int y, int promptEnd);

    std::array<QFont, 4> fonts_;
    double cellW_ = 8;
    double cellH_ = 16;
    double ascent_ = 12;
    double fontSize_ = 14;
    bool started_ = false;
    int scrollOffset_ = 0;
    double scrollAccum_ = 0;
    std::optional<VTPos> selStart_, selEnd_;
    bool wordSelected_ = false;
    std::optional<int> reportedButton_;
    std::optional<HoverLink> hoverLink_;
    // Click counting for double and triple clicks.
    int clickCount_ = 0;
    qint64 lastClickTime_ = 0;
    VTPos lastClickCell_;
    // Output repaints at most about 60 times a second, so a flood of output is not held up by
    // drawing; the first change after a quiet spell is drawn at once.
    void scheduleRepaint();
    QElapsedTimer lastPaint_;
    bool repaintPending_ = false;
    // Rendered glyphs by character, face, colour and width, at the current font size.
    QHash<quint64, QPixmap> glyphs_;
};

}  // namespace orvane

// The emulator's screen: a grid of cells with a cursor, pen, scroll region, tab stops,
// alternate screen, bounded scrollback, modes, title, marks and the outgoing buffers.
// Fed with the host program's bytes; knows nothing of drawing or input devices.
// One thread per instance.
#pragma once

#include "VTCell.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane {

using VTRow = std::vector<VTCell>;

// A position in absolute lines: line 0 is the oldest scrollback line kept.
struct VTPos {
    int line = 0;
    int col = 0;
    friend bool operator==(const VTPos&, const VTPos&) = default;
};

struct VTMarkEntry {
    int row = 0;  // absolute line
    VTMark mark;
    friend bool operator==(const VTMarkEntry&, const VTMarkEntry&) = default;
};

struct SavedCursor {
    int row = 0;
    int col = 0;
    VTAttrs pen;
    friend bool operator==(const SavedCursor&, const SavedCursor&) = default;
};

// The scrollback store: a list of rows where the first `head` entries are dead.
// Discarding the oldest line is an index increment; the dead entries are freed in one
// compaction once there are more than 1024 of them and they make up over half the list.
struct LineDeque {
    std::vector<VTRow> items;
    size_t head = 0;

    size_t count() const { return items.size() - head; }
    const VTRow& operator[](size_t i) const { return items[head + i]; }
    void clear()
    {
        items.clear();
        head = 0;
    }
    // Appends a row under the limit; returns the storage of a dropped line (if any) for reuse.
    VTRow append(VTRow row, size_t limit)
    {
        push(row, limit);
        return row;
    }
    // The same in place: `row` is appended and then holds the dropped line's storage (or
    // nothing). With a limit of 0 it is left alone.
    void push(VTRow& row, size_t limit);
};

// Rows of the visible screen kept as a ring, so a full-screen scroll rotates an index.
class Grid {
public:
    Grid() = default;
    Grid(int rows, int cols, VTCell fill) : rows_(size_t(rows), VTRow(size_t(cols), fill)) {}

    VTRow& operator[](int i) { return rows_[physical(i)]; }
    const VTRow& operator[](int i) const { return rows_[physical(i)]; }
    int size() const { return int(rows_.size()); }
    // Makes row 0 the first stored row again.
    void normalize();
    // Row 0 becomes the last row, every other row moves up one.
    void rotateUp() { top_ = top_ + 1 == rows_.size() ? 0 : top_ + 1; }
    std::vector<VTRow>& storage()
    {
        normalize();
        return rows_;
    }

private:
    size_t physical(int i) const
    {
        const size_t p = top_ + size_t(i);
        return p >= rows_.size() ? p - rows_.size() : p;
    }
    std::vector<VTRow> rows_;
    size_t top_ = 0;
};

enum class VTState : uint8_t {
    Ground,
    Escape,
    EscIntermediate,
    Csi,
    Osc,
    OscEscape,
    IgnoreString,
    IgnoreStringEscape,
};

class Terminal {
public:
    static constexpr size_t kOscLimit = 4095;
    static constexpr size_t kMarksLimit = 10000;
    static constexpr size_t kMaxParams = 64;

    Terminal(int cols, int rows);

    void feed(std::span<const uint8_t> bytes);
    void feed(std::string_view bytes)
    {
        feed(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    }
    void resize(int cols, int rows);

    int cols() const { return cols_; }
    int rows() const { return rows_; }
    // Cursor with the column limited to the grid.
    std::pair<int, int> cursor() const { return {row_, col_ < cols_ ? col_ : cols_ - 1}; }
    int scrollbackCount() const { return int(scrollback_.count()); }
    int totalLines() const { return scrollbackCount() + rows_; }
    bool inAltScreen() const { return altSaved_.has_value(); }
    uint64_t generation() const { return generation_; }

    // Screen row i as seen when scrolled back by `offset` lines.
    const VTRow& line(int i, int offset = 0) const;
    // A row by absolute line number.
    const VTRow& absLine(int n) const;
    std::string text(VTPos from, VTPos to) const;
    std::string rowText(int i) const;

    std::vector<uint8_t> takeResponses() { return std::exchange(responses_, {}); }
    std::optional<std::string> takeClipboard() { return std::exchange(clipboard_, std::nullopt); }

    // Public modes, read (and written) by the view and the tmux link.
    bool cursorVisible = true;
    bool autowrap = true;
    bool appCursorKeys = false;
    bool bracketedPaste = false;
    int mouseTracking = 0;
    bool mouseSGR = false;
    bool focusEvents = false;
    std::string title;
    std::vector<VTMarkEntry> marks;
    int maxScrollback = 10000;

    // Read access to the rest of the state, for the view and for tests.
    int cursorRow() const { return row_; }
    int cursorCol() const { return col_; }
    bool pendingWrap() const { return pendingWrap_; }
    const VTAttrs& pen() const { return pen_; }
    const SavedCursor& savedCursor() const { return saved_; }
    int scrollTop() const { return scrollTop_; }
    int scrollBottom() const { return scrollBot_; }
    const std::vector<bool>& tabStops() const { return tabs_; }
    const LineDeque& scrollback() const { return scrollback_; }
    VTState parserState() const { return state_; }

private:
    // Screen operations.
    void print(char32_t c, int width);
    const uint8_t* printAscii(const uint8_t* p, const uint8_t* end);
    void lineFeed();
    void reverseIndex();
    void scrollUp(int n);
    void scrollDown(int n);
    void pushScrollback(VTRow& row);
    void setCursor(int r, int c);
    VTCell eraseCell() const;
    const VTRow& blankRow();
    void blankCells(VTCell* out, size_t n);
    void blankFullRow(VTRow& row);
    void eraseCells(int r, int from, int to);
    void eraseInDisplay(uint32_t mode);
    void eraseInLine(uint32_t mode);
    void insertLines(int n);
    void deleteLines(int n);
    void insertChars(int n);
    void deleteChars(int n);
    void saveCursor();
    void restoreCursor();
    void horizontalTab();
    void resetTabs();
    void enterAltScreen();
    void leaveAltScreen();
    void fullReset();
    void softReset();

    // Interpreter.
    const uint8_t* ground(const uint8_t* p, const uint8_t* end);
    const uint8_t* printUtf8(const uint8_t* p, const uint8_t* end);
    const uint8_t* csiSequence(const uint8_t* p, const uint8_t* end);
    const uint8_t* csiGeneral(const uint8_t* p, const uint8_t* end);
    void processByte(uint8_t b);
    void processScalar(char32_t c);
    void execute(char32_t c);
    void enterEscape();
    void escapeChar(char32_t c);
    void escFinal(char32_t c);
    void csiByte(char32_t c);
    void csiDispatch(char32_t final);
    void decPrivateMode(bool set);
    void sgr();
    size_t sgrExtendedColor(size_t i, bool foreground);
    const uint8_t* sgrTrueColor(const uint8_t* q, const uint8_t* end);
    void oscDispatch();
    void oscClipboard(std::string_view text);
    void oscMark(std::string_view text);
    void reply(std::string_view bytes);
    uint32_t param(size_t i) const { return i < paramCount_ ? params_[i] : 0; }

    int cols_;
    int rows_;
    Grid grid_;
    struct AltSaved {
        Grid grid;
        SavedCursor cursor;
    };
    std::optional<AltSaved> altSaved_;
    LineDeque scrollback_;
    int row_ = 0;
    int col_ = 0;
    bool pendingWrap_ = false;
    VTAttrs pen_;
    SavedCursor saved_;
    int scrollTop_ = 0;
    int scrollBot_ = 0;
    std::vector<bool> tabs_;
    VTRow blankRow_;        // see blankRow()
    uint32_t blankBg_ = 0;  // the background blankRow_ was built for
    uint64_t generation_ = 0;
    std::vector<uint8_t> responses_;
    std::optional<std::string> clipboard_;

    VTState state_ = VTState::Ground;
    std::array<uint32_t, kMaxParams> params_{};
    size_t paramCount_ = 0;
    uint32_t curParam_ = 0;
    bool haveParam_ = false;     // digits were seen since the last separator
    uint8_t privateMarker_ = 0;  // '<', '=', '>' or '?'; 0 for none
    std::array<uint8_t, 4> intermediates_{};
    size_t intermediateCount_ = 0;
    std::string osc_;
    std::array<uint8_t, 4> utf8_{};
    int utf8Len_ = 0;
    int utf8Need_ = 0;
};

// A mouse report in the SGR form: ESC [ < button ; col+1 ; row+1 M (press) or m (release).
std::string sgrMouse(int button, int col, int row, bool pressed);

}  // namespace orvane

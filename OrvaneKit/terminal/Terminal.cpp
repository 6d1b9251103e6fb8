// Screen operations of the terminal: printing, scrolling, erasing, editing, cursor,
// alternate screen, resize, resets and text extraction.
#include "Terminal.h"
#include "Utf8.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace orvane {

namespace {

constexpr VTCell kBlank{};

bool isPrintableAscii(uint8_t b)
{
    return b >= 0x20 && b < 0x7F;
}

// The end of the run of printable ASCII at p, eight bytes at a time where possible.
const uint8_t* asciiRunEnd(const uint8_t* p, const uint8_t* end)
{
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t kOnes = 0x0101010101010101, kTops = 0x8080808080808080;
        while (end - p >= 8) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            // Per byte, without carries between bytes: a set top bit marks a byte that is
            // 0x80 or above, below 0x20, or 0x7F.
            const uint64_t low = w & ~kTops;
            const uint64_t stop = (w | ~(low + 0x60 * kOnes) | (low + kOnes)) & kTops;
            if (stop != 0)
                return p + std::countr_zero(stop) / 8;
            p += 8;
        }
    }
    while (p < end && isPrintableAscii(*p))
        ++p;
    return p;
}

void trimTrailingSpaces(std::string& s)
{
    const auto end = s.find_last_not_of(' ');
    s.resize(end == std::string::npos ? 0 : end + 1);
}

// Text of cells [from, to) of a row, spacer halves skipped, trailing spaces removed.
std::string cellText(const VTRow& row, size_t from, size_t to)
{
    std::string s;
    to = std::min(to, row.size());
    for (size_t i = from; i < to; ++i)
        if (!row[i].spacer)
            appendUtf8(s, row[i].ch);
    trimTrailingSpaces(s);
    return s;
}

}  // namespace

void LineDeque::push(VTRow& row, size_t limit)
{
    if (limit == 0)
        return;
    VTRow recycled;
    if (count() >= limit) {
        recycled.swap(items[head]);
        ++head;
        if (head > 1024 && items.size() < 2 * head) {
            items.erase(items.begin(), items.begin() + std::ptrdiff_t(head));
            head = 0;
        }
    }
    items.push_back(std::move(row));
    row.swap(recycled);
#if defined(__GNUC__)
    // The line the next push drops left the screen `limit` lines ago and is out of the
    // caches by now; asking for it one line early overlaps the wait with printing.
    if (count() >= limit) {
        const VTRow& next = items[head];
        const char* bytes = reinterpret_cast<const char*>(next.data());
        for (size_t at = 0; at < next.size() * sizeof(VTCell); at += 64)
            __builtin_prefetch(bytes + at, 1);
    }
#endif
}

void Grid::normalize()
{
    std::rotate(rows_.begin(), rows_.begin() + std::ptrdiff_t(top_), rows_.end());
    top_ = 0;
}

Terminal::Terminal(int cols, int rows)
    : cols_(std::max(cols, 1)), rows_(std::max(rows, 1)), grid_(rows_, cols_, kBlank),
      scrollBot_(rows_ - 1)
{
    resetTabs();
    osc_.reserve(kOscLimit + 4);
}

// MARK: printing

void Terminal::print(char32_t c, int width)
{
    if (width == 0)
        return;
    if (pendingWrap_) {
        if (autowrap) {
            col_ = 0;
            lineFeed();
        }
        pendingWrap_ = false;
    }
    if (width == 2 && col_ == cols_ - 1) {
        if (!autowrap)
            return;
        VTCell pad;
        pad.attrs = pen_;
        grid_[row_][size_t(col_)] = pad;
        col_ = 0;
        pendingWrap_ = false;
        lineFeed();
    }
    VTRow& r = grid_[row_];
    VTCell cell;
    cell.ch = c;
    cell.attrs = pen_;
    cell.wide = width == 2;
    r[size_t(col_)] = cell;
    if (width == 2 && col_ + 1 < cols_) {
        VTCell spacer;
        spacer.attrs = pen_;
        spacer.spacer = 1;
        r[size_t(col_) + 1] = spacer;
    }
    if (col_ + width < cols_) {
        col_ += width;
    } else {
        col_ = cols_ - 1;
        pendingWrap_ = true;
    }
}

// Prints the run of printable ASCII that starts at p, the same as printing each byte with
// width 1, and returns the first byte after it.
const uint8_t* Terminal::printAscii(const uint8_t* p, const uint8_t* end)
{
    const uint8_t* const runEnd = asciiRunEnd(p, end);
    const VTAttrs pen = pen_;
    while (p < runEnd) {
        if (pendingWrap_) {
            if (autowrap) {
                col_ = 0;
                lineFeed();
            }
            pendingWrap_ = false;
        }
        VTCell* out = grid_[row_].data() + col_;
        const size_t avail = size_t(cols_ - col_);
        const size_t n = size_t(runEnd - p);
        if (!autowrap && n > avail) {
            // Without wrapping every character past the last column lands on it.
            for (size_t i = 0; i + 1 < avail; ++i)
                out[i] = VTCell{p[i], 0, 0, pen};
            out[avail - 1] = VTCell{runEnd[-1], 0, 0, pen};
            col_ = cols_ - 1;
            pendingWrap_ = true;
            return runEnd;
        }
        // Each cell is built whole: updating one member of a kept cell in the loop makes the
        // compiler round-trip it through memory.
        const size_t m = std::min(n, avail);
#pragma GCC unroll 4
        for (size_t i = 0; i < m; ++i)
            out[i] = VTCell{p[i], 0, 0, pen};
        p += m;
        if (m < avail) {
            col_ += int(m);
        } else {
            col_ = cols_ - 1;
            pendingWrap_ = true;
        }
    }
    return runEnd;
}

// MARK: line feed and scrolling

void Terminal::lineFeed()
{
    if (row_ == scrollBot_)
        scrollUp(1);
    else if (row_ < rows_ - 1)
        ++row_;
}

void Terminal::reverseIndex()
{
    if (row_ == scrollTop_)
        scrollDown(1);
    else if (row_ > 0)
        --row_;
}

VTCell Terminal::eraseCell() const
{
    VTAttrs attrs;
    attrs.bgBits = pen_.bgBits;
    return VTCell{U' ', 0, 0, attrs};
}

// Moves a row that leaves the top of the main screen into the scrollback and leaves
// `row` holding reusable storage (possibly that of the line the scrollback dropped).
void Terminal::pushScrollback(VTRow& row)
{
    scrollback_.push(row, size_t(std::max(maxScrollback, 0)));
}

// A row of the cells erasing leaves (the pen's background, nothing else), cols_ long, to
// copy from. Rebuilt when the background or the width changes.
const VTRow& Terminal::blankRow()
{
    const uint32_t bg = pen_.bgBits;
    if (blankRow_.size() != size_t(cols_) || blankBg_ != bg) {
        blankRow_.resize(size_t(cols_));
        const VTCell erase = eraseCell();
        for (VTCell& c : blankRow_)
            c = erase;
        blankBg_ = bg;
    }
    return blankRow_;
}

// Erases n cells (at most a row). A background other than the blank row's is written
// cell by cell: rebuilding the blank row only pays off for whole rows.
void Terminal::blankCells(VTCell* out, size_t n)
{
    if (blankRow_.size() == size_t(cols_) && blankBg_ == pen_.bgBits) {
        std::memcpy(static_cast<void*>(out), blankRow_.data(), n * sizeof(VTCell));
        return;
    }
    const VTCell erase = eraseCell();
    for (size_t i = 0; i < n; ++i)
        out[i] = erase;
}

// Makes row a full row of erased cells, reusing its storage.
void Terminal::blankFullRow(VTRow& row)
{
    const VTRow& blank = blankRow();
    if (row.size() == blank.size())
        std::memcpy(static_cast<void*>(row.data()), blank.data(), blank.size() * sizeof(VTCell));
    else
        row.assign(blank.begin(), blank.end());
}

void Terminal::scrollUp(int n)
{
    const int k = std::min(n, scrollBot_ - scrollTop_ + 1);
    const bool keep = scrollTop_ == 0 && !altSaved_ && maxScrollback > 0;
    for (int i = 0; i < k; ++i) {
        if (scrollTop_ == 0 && scrollBot_ == rows_ - 1) {
            VTRow& top = grid_[0];
            if (keep)
                pushScrollback(top);
            blankFullRow(top);
            grid_.rotateUp();
            continue;
        }
        VTRow removed = std::move(grid_[scrollTop_]);
        for (int r = scrollTop_; r < scrollBot_; ++r)
            grid_[r] = std::move(grid_[r + 1]);
        if (keep)
            pushScrollback(removed);
        blankFullRow(removed);
        grid_[scrollBot_] = std::move(removed);
    }
}

void Terminal::scrollDown(int n)
{
    const int k = std::min(n, scrollBot_ - scrollTop_ + 1);
    for (int i = 0; i < k; ++i) {
        VTRow removed = std::move(grid_[scrollBot_]);
        for (int r = scrollBot_; r > scrollTop_; --r)
            grid_[r] = std::move(grid_[r - 1]);
        blankFullRow(removed);
        grid_[scrollTop_] = std::move(removed);
    }
}

// MARK: cursor

void Terminal::setCursor(int r, int c)
{
    row_ = std::clamp(r, 0, rows_ - 1);
    col_ = std::clamp(c, 0, cols_ - 1);
    pendingWrap_ = false;
}

void Terminal::saveCursor()
{
    saved_ = {row_, col_, pen_};
}

void Terminal::restoreCursor()
{
    setCursor(saved_.row, saved_.col);
    pen_ = saved_.pen;
}

void Terminal::horizontalTab()
{
    int target = cols_ - 1;
    for (int c = col_ + 1; c < cols_ - 1; ++c) {
        if (tabs_[size_t(c)]) {
            target = c;
            break;
        }
    }
    col_ = std::max(target, 0);
}

void Terminal::resetTabs()
{
    tabs_.assign(size_t(cols_), false);
    for (int c = 8; c < cols_; c += 8)
        tabs_[size_t(c)] = true;
}

// MARK: erasing and editing

void Terminal::eraseCells(int r, int from, int to)
{
    const int a = std::clamp(from, 0, cols_);
    const int b = std::clamp(to, 0, cols_);
    if (a < b)
        blankCells(grid_[r].data() + a, size_t(b - a));
}

void Terminal::eraseInDisplay(uint32_t mode)
{
    switch (mode) {
    case 0:
        eraseCells(row_, col_, cols_);
        for (int r = row_ + 1; r < rows_; ++r)
            eraseCells(r, 0, cols_);
        break;
    case 1:
        eraseCells(row_, 0, col_ + 1);
        for (int r = 0; r < row_; ++r)
            eraseCells(r, 0, cols_);
        break;
    case 2:
        for (int r = 0; r < rows_; ++r)
            eraseCells(r, 0, cols_);
        break;
    case 3:
        scrollback_.clear();
        break;
    default:
        break;
    }
    pendingWrap_ = false;
}

void Terminal::eraseInLine(uint32_t mode)
{
    switch (mode) {
    case 0:
        eraseCells(row_, col_, cols_);
        break;
    case 1:
        eraseCells(row_, 0, col_ + 1);
        break;
    case 2:
        eraseCells(row_, 0, cols_);
        break;
    default:
        break;
    }
    pendingWrap_ = false;
}

void Terminal::insertLines(int n)
{
    if (row_ < scrollTop_ || row_ > scrollBot_)
        return;
    const int k = std::min(scrollBot_ - row_ + 1, n);
    for (int i = 0; i < k; ++i) {
        VTRow removed = std::move(grid_[scrollBot_]);
        for (int r = scrollBot_; r > row_; --r)
            grid_[r] = std::move(grid_[r - 1]);
        blankFullRow(removed);
        grid_[row_] = std::move(removed);
    }
    col_ = 0;
    pendingWrap_ = false;
}

void Terminal::deleteLines(int n)
{
    if (row_ < scrollTop_ || row_ > scrollBot_)
        return;
    const int k = std::min(scrollBot_ - row_ + 1, n);
    for (int i = 0; i < k; ++i) {
        VTRow removed = std::move(grid_[row_]);
        for (int r = row_; r < scrollBot_; ++r)
            grid_[r] = std::move(grid_[r + 1]);
        blankFullRow(removed);
        grid_[scrollBot_] = std::move(removed);
    }
    col_ = 0;
    pendingWrap_ = false;
}

void Terminal::insertChars(int n)
{
    VTRow& row = grid_[row_];
    const int k = std::min(cols_ - col_, n);
    const auto at = row.begin() + col_;
    std::move_backward(at, row.end() - k, row.end());
    std::fill(at, at + k, eraseCell());
    pendingWrap_ = false;
}

void Terminal::deleteChars(int n)
{
    VTRow& row = grid_[row_];
    const int k = std::min(cols_ - col_, n);
    const auto at = row.begin() + col_;
    std::move(at + k, row.end(), at);
    std::fill(row.end() - k, row.end(), eraseCell());
    pendingWrap_ = false;
}

// MARK: alternate screen and resets

void Terminal::enterAltScreen()
{
    if (!altSaved_) {
        altSaved_ = AltSaved{std::move(grid_), {row_, col_, pen_}};
        grid_ = Grid(rows_, cols_, kBlank);
    }
    pendingWrap_ = false;
}

void Terminal::leaveAltScreen()
{
    if (altSaved_) {
        AltSaved saved = std::move(*altSaved_);
        altSaved_.reset();
        std::vector<VTRow>& rows = saved.grid.storage();
        for (VTRow& r : rows)
            r.resize(size_t(cols_), kBlank);
        rows.resize(size_t(rows_), VTRow(size_t(cols_), kBlank));
        grid_ = std::move(saved.grid);
        row_ = std::min(saved.cursor.row, rows_ - 1);
        col_ = std::min(saved.cursor.col, cols_ - 1);
        pen_ = saved.cursor.pen;
    }
    pendingWrap_ = false;
}

void Terminal::fullReset()
{
    grid_ = Grid(rows_, cols_, kBlank);
    altSaved_.reset();
    row_ = col_ = 0;
    pendingWrap_ = false;
    pen_ = {};
    saved_ = {};
    scrollTop_ = 0;
    scrollBot_ = rows_ - 1;
    resetTabs();
    cursorVisible = true;
    autowrap = true;
    appCursorKeys = false;
    bracketedPaste = false;
    mouseSGR = false;
    focusEvents = false;
    mouseTracking = 0;
    title.clear();
    marks.clear();
}

void Terminal::softReset()
{
    pen_ = {};
    scrollTop_ = 0;
    scrollBot_ = rows_ - 1;
    cursorVisible = true;
}

// MARK: resize

void Terminal::resize(int cols, int rows)
{
    cols = std::max(cols, 1);
    rows = std::max(rows, 1);
    if (cols == cols_ && rows == rows_)
        return;
    std::vector<VTRow>& grid = grid_.storage();
    for (VTRow& r : grid)
        r.resize(size_t(cols), kBlank);
    // Rows above the cursor leave through the top (into the scrollback); with the cursor
    // on the first row the bottom rows are dropped instead.
    size_t dropTop = 0;
    size_t have = grid.size();
    while (have > size_t(rows)) {
        if (row_ <= 0) {
            grid.pop_back();
        } else {
            if (maxScrollback > 0)
                scrollback_.append(std::move(grid[dropTop]), size_t(maxScrollback));
            ++dropTop;
            --row_;
        }
        --have;
    }
    grid.erase(grid.begin(), grid.begin() + std::ptrdiff_t(dropTop));
    grid.resize(size_t(rows), VTRow(size_t(cols), kBlank));
    cols_ = cols;
    rows_ = rows;
    row_ = std::min(row_, rows_ - 1);
    col_ = std::min(col_, cols_ - 1);
    pendingWrap_ = false;
    scrollTop_ = 0;
    scrollBot_ = rows_ - 1;
    resetTabs();
    ++generation_;
}

// MARK: reading

const VTRow& Terminal::line(int i, int offset) const
{
    const int k = std::clamp(offset, 0, scrollbackCount());
    if (i < k)
        return scrollback_[size_t(std::max(scrollbackCount() - k + i, 0))];
    return grid_[std::min(i - k, rows_ - 1)];
}

const VTRow& Terminal::absLine(int n) const
{
    const int sb = scrollbackCount();
    if (n < sb)
        return scrollback_[size_t(std::max(n, 0))];
    return grid_[std::min(n - sb, rows_ - 1)];
}

std::string Terminal::rowText(int i) const
{
    const VTRow& r = grid_[std::clamp(i, 0, rows_ - 1)];
    return cellText(r, 0, r.size());
}

std::string Terminal::text(VTPos from, VTPos to) const
{
    if (to.line < from.line || (to.line == from.line && to.col < from.col))
        std::swap(from, to);
    to.line = std::min(to.line, totalLines() - 1);
    if (from.line < 0)
        from = {0, 0};
    if (to.line < from.line)
        return {};
    std::string out;
    for (int n = from.line; n <= to.line; ++n) {
        const VTRow& r = absLine(n);
        const size_t start = n == from.line ? size_t(std::max(from.col, 0)) : 0;
        const size_t end = n == to.line ? size_t(std::max(to.col + 1, 0)) : r.size();
        out += cellText(r, start, end);
        if (n != to.line)
            out += '\n';
    }
    return out;
}

std::string sgrMouse(int button, int col, int row, bool pressed)
{
    return "\x1b[<" + std::to_string(button) + ";" + std::to_string(col + 1) + ";" +
           std::to_string(row + 1) + (pressed ? "M" : "m");
}

}  // namespace orvane

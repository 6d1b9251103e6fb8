// The input side of the terminal: UTF-8 assembly, the parser state machine, C0 controls,
// ESC and CSI sequences, DEC private modes, SGR and the replies.
#include "CharWidth.h"
#include "Terminal.h"
#include "Utf8.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace orvane {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t ESC = 0x1B;

bool isPrintableAscii(uint8_t b)
{
    return b >= 0x20 && b < 0x7F;
}

// Length of the UTF-8 sequence a byte starts: 2 to 4, or 0 when it cannot start one.
int utf8Length(uint8_t b)
{
    return b < 0xC2 ? 0 : b <= 0xDF ? 2 : b <= 0xEF ? 3 : b <= 0xF4 ? 4 : 0;
}

bool isContinuation(uint8_t b)
{
    return b >= 0x80 && b <= 0xBF;
}

// Decodes a complete sequence of the announced length; anything invalid gives U+FFFD.
char32_t decodeUtf8(const uint8_t* s, int len)
{
    char32_t c = 0;
    switch (len) {
    case 2:
        c = char32_t(s[0] & 0x1F) << 6 | (s[1] & 0x3F);
        return c >= 0x80 ? c : kReplacement;
    case 3:
        c = char32_t(s[0] & 0x0F) << 12 | char32_t(s[1] & 0x3F) << 6 | (s[2] & 0x3F);
        return c >= 0x800 && (c < 0xD800 || c > 0xDFFF) ? c : kReplacement;
    case 4:
        c = char32_t(s[0] & 0x07) << 18 | char32_t(s[1] & 0x3F) << 12 | char32_t(s[2] & 0x3F) << 6 |
            (s[3] & 0x3F);
        return c >= 0x10000 && c <= 0x10FFFF ? c : kReplacement;
    default:
        return kReplacement;
    }
}

constexpr uint64_t kOnes = 0x0101010101010101;
constexpr uint64_t kTops = 0x8080808080808080;
constexpr uint64_t kZeros = 0x30 * kOnes;

uint64_t load64(const uint8_t* p)
{
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// Bit i set where byte i of w (little-endian) is not a decimal digit. The sums stay within
// their bytes, so every bit is exact.
uint32_t nonDigitBits(uint64_t w)
{
    const uint64_t low = w & ~kTops;
    const uint64_t flags = (w | ~(low + 0x50 * kOnes) | (low + 0x46 * kOnes)) & kTops;
    return uint32_t(((flags >> 7) * 0x0102040810204080) >> 56);  // gathers the top bits
}

// The same for the 16 bytes at p.
uint32_t nonDigitBits16(const uint8_t* p)
{
    return nonDigitBits(load64(p)) | nonDigitBits(load64(p + 8)) << 8;
}

// The value of the first n (1 to 8) bytes of w, all digits, the first the most significant.
uint32_t digitsValue(uint64_t w, size_t n)
{
    uint64_t v = (w - kZeros) << (8 * (8 - n));  // leading zeros in place of the other bytes
    v = (v * 2561) >> 8;
    v = ((v & 0x00FF00FF00FF00FF) * 6553601) >> 16;
    v = ((v & 0x0000FFFF0000FFFF) * 42949672960001) >> 32;
    return uint32_t(v);
}

// The same for n from 1 to 4, in 32 bits.
uint32_t shortDigitsValue(uint64_t w, size_t n)
{
    uint32_t v = (uint32_t(w) - 0x30303030u) << (32 - 8 * n);
    v = (v * 10 + (v >> 8)) & 0x00FF00FF;
    return (v * 100 + (v >> 16)) & 0xFFFF;
}

// Parameter value of the n (up to 8) digits starting at p, saturated as the byte-wise
// parser saturates it.
uint32_t parameterValue(const uint8_t* p, size_t n)
{
    if (n == 0)
        return 0;
    if (n <= 4)
        return shortDigitsValue(load64(p), n);
    return std::min<uint32_t>(digitsValue(load64(p), n), 65535);
}

struct CsiScan {
    enum Result : uint8_t {
        Complete,  // parameters stored, final byte found
        Unsuited,  // something the byte-wise parser must see: give it the whole sequence
        Undecided,  // ran out of the window: try the slower scan
    };
    Result result;
    const uint8_t* final = nullptr;
    size_t count = 0;
};

using Params = std::array<uint32_t, Terminal::kMaxParams>;

constexpr size_t kWindow = 32;
static_assert(kWindow < Terminal::kMaxParams, "a window cannot hold more parameters than kept");

// Parameters and final byte within the kWindow bytes at q, which are followed by at least
// 8 more. The positions of non-digits are found 16 bytes at a time, so moving from one
// parameter to the next is a bit operation rather than a chain of dependent loads.
CsiScan scanWindow(const uint8_t* q, Params& params)
{
    uint32_t stops = nonDigitBits16(q);  // bit i: byte i is not a digit
    size_t seen = 16;                    // bytes examined so far
    size_t count = 0;
    size_t start = 0;
    for (;;) {
        if (stops == 0) {
            if (seen == kWindow)
                return {CsiScan::Undecided};
            stops = nonDigitBits16(q + seen) << seen;
            seen += 16;
            continue;
        }
        const size_t at = size_t(std::countr_zero(stops));
        stops &= stops - 1;
        const size_t digits = at - start;
        if (digits > 8)
            return {CsiScan::Undecided};
        const uint32_t value = parameterValue(q + start, digits);
        const uint8_t c = q[at];
        if (c == ';' || c == ':') {
            params[count++] = value;
            start = at + 1;
        } else if (c >= 0x40 && c <= 0x7E) {
            if (digits != 0)
                params[count++] = value;
            return {CsiScan::Complete, q + at, count};
        } else {
            return {CsiScan::Unsuited};
        }
    }
}

// The same one parameter at a time, for sequences near the end of the buffer or long ones.
CsiScan scanBytes(const uint8_t* q, const uint8_t* end, Params& params)
{
    size_t count = 0;
    for (;;) {
        uint32_t value = 0;
        const uint8_t* const start = q;
        for (; q < end; ++q) {
            const uint32_t d = uint32_t(*q) - '0';
            if (d > 9)
                break;
            value = std::min<uint32_t>(value * 10 + d, 65535);  // saturates as digits arrive
        }
        if (q == end)
            return {CsiScan::Unsuited};
        const uint8_t c = *q;
        if (c == ';' || c == ':') {
            if (count < params.size())
                params[count++] = value;
            ++q;
        } else if (c >= 0x40 && c <= 0x7E) {
            if (q != start && count < params.size())
                params[count++] = value;
            return {CsiScan::Complete, q, count};
        } else {
            return {CsiScan::Unsuited};
        }
    }
}

}  // namespace

void Terminal::feed(std::span<const uint8_t> bytes)
{
    const uint8_t* p = bytes.data();
    const uint8_t* const end = p + bytes.size();
    while (p < end) {
        if (state_ == VTState::Ground && utf8Need_ == 0) {
            p = ground(p, end);
            if (p == end)
                break;
        }
        processByte(*p++);
    }
    ++generation_;
}

// The fast path of the ground state: runs of printable ASCII, C0 controls, complete UTF-8
// characters and complete CSI sequences, handled straight from the buffer. Returns at the
// first byte it leaves to processByte (a sequence cut by the end of the buffer, a broken
// one, another escape, a string), with the parser still in the ground state.
const uint8_t* Terminal::ground(const uint8_t* p, const uint8_t* end)
{
    while (p < end) {
        const uint8_t b = *p;
        if (isPrintableAscii(b)) {
            if (end - p >= 2 && !isPrintableAscii(p[1]) && !pendingWrap_ && col_ + 1 < cols_) {
                // A lone character (text coloured one character at a time) with room after it.
                grid_[row_][size_t(col_)] = VTCell{b, 0, 0, pen_};
                ++col_;
                ++p;
            } else {
                p = printAscii(p, end);
            }
        } else if (b == '\n') {
            pendingWrap_ = false;
            lineFeed();
            ++p;
        } else if (b == '\r') {
            pendingWrap_ = false;
            col_ = 0;
            ++p;
        } else if (b == ESC) {
            const uint8_t* q = csiSequence(p, end);
            if (q == p)
                return p;
            p = q;
        } else if (b < 0x20) {
            if (b != 0x18 && b != 0x1A)  // CAN and SUB do nothing in the ground state
                execute(b);
            ++p;
        } else if (b >= 0x80) {
            const uint8_t* q = printUtf8(p, end);
            if (q == p)
                return p;
            p = q;
        } else {
            return p;  // DEL
        }
    }
    return p;
}

// Prints the run of complete, well-formed multibyte UTF-8 characters that starts at p.
// Stops at anything else, a character the buffer ends inside included.
const uint8_t* Terminal::printUtf8(const uint8_t* p, const uint8_t* end)
{
    while (p < end) {
        const int len = utf8Length(*p);
        if (len == 0 || end - p < len)
            break;
        if (!isContinuation(p[1]) || (len > 2 && !isContinuation(p[2])) ||
            (len > 3 && !isContinuation(p[3])))
            break;
        const char32_t c = decodeUtf8(p, len);
        p += len;
        const int width = charWidth(c);
        if (width != 0 && !pendingWrap_ && col_ + width < cols_) {
            // Room on the row: no wrapping to think of.
            VTCell* out = grid_[row_].data() + col_;
            out[0] = VTCell{c, width == 2, 0, pen_};
            if (width == 2)
                out[1] = VTCell{U' ', 0, 1, pen_};
            col_ += width;
        } else {
            print(c, width);
        }
    }
    return p;
}

// A CSI sequence of an optional private marker, parameters and separators, complete in the
// buffer, parsed and dispatched at once: the same as taking it byte by byte. Returns p
// itself for anything else (an escape of another kind, intermediates, controls inside, a
// marker after a parameter, a sequence the buffer ends inside), which the byte-wise path
// then takes from the start.
const uint8_t* Terminal::csiSequence(const uint8_t* p, const uint8_t* end)
{
    if (end - p < 3 || p[1] != '[')
        return p;
    if constexpr (std::endian::native == std::endian::little) {
        if (p[2] == '3' || p[2] == '4') {
            if (const uint8_t* next = sgrTrueColor(p + 2, end))
                return next;
        }
    }
    return csiGeneral(p, end);
}

// csiSequence for everything but the 24-bit colours.
const uint8_t* Terminal::csiGeneral(const uint8_t* p, const uint8_t* end)
{
    const uint8_t* q = p + 2;
    uint8_t marker = 0;
    while (q < end && *q >= '<' && *q <= '?')
        marker = *q++;
    CsiScan scan{CsiScan::Undecided};
    if constexpr (std::endian::native == std::endian::little) {
        if (size_t(end - q) >= kWindow + 8)
            scan = scanWindow(q, params_);
    }
    if (scan.result == CsiScan::Undecided)
        scan = scanBytes(q, end, params_);
    if (scan.result != CsiScan::Complete)
        return p;
    paramCount_ = scan.count;
    privateMarker_ = marker;
    intermediateCount_ = 0;
    const uint8_t final = *scan.final;
    if (final == 'm' && marker == 0)
        sgr();
    else
        csiDispatch(final);
    return scan.final + 1;
}

void Terminal::processByte(uint8_t b)
{
    if (utf8Need_ > 0) {
        if (b >= 0x80 && b <= 0xBF) {
            utf8_[size_t(utf8Len_++)] = b;
            if (utf8Len_ == utf8Need_) {
                const char32_t c = decodeUtf8(utf8_.data(), utf8Len_);
                utf8Len_ = utf8Need_ = 0;
                processScalar(c);
            }
            return;
        }
        utf8Len_ = utf8Need_ = 0;
        processScalar(kReplacement);
    }
    if (b < 0x80) {
        processScalar(b);
    } else if (const int len = utf8Length(b); len != 0) {
        utf8_[0] = b;
        utf8Len_ = 1;
        utf8Need_ = len;
    } else {
        processScalar(kReplacement);
    }
}

void Terminal::processScalar(char32_t c)
{
    if (c == 0x18 || c == 0x1A) {  // CAN, SUB
        state_ = VTState::Ground;
        return;
    }
    switch (state_) {
    case VTState::Ground:
        if (c >= 0x20 && c != 0x7F)
            print(c, charWidth(c));
        else if (c == ESC)
            enterEscape();
        else
            execute(c);
        break;
    case VTState::Escape:
        escapeChar(c);
        break;
    case VTState::EscIntermediate:
        if (c >= 0x20 && c <= 0x2F) {
            if (intermediateCount_ < intermediates_.size())
                intermediates_[intermediateCount_] = uint8_t(c);
            ++intermediateCount_;
        } else if (c == ESC) {
            enterEscape();
        } else if (c < 0x30) {
            execute(c);
        } else {
            state_ = VTState::Ground;
            escFinal(c);
        }
        break;
    case VTState::Csi:
        csiByte(c);
        break;
    case VTState::Osc:
        if (c == ESC) {
            state_ = VTState::OscEscape;
        } else if (c == 0x07) {
            oscDispatch();
        } else if (osc_.size() <= kOscLimit) {
            appendUtf8(osc_, c);
        }
        break;
    case VTState::OscEscape:
        oscDispatch();
        if (c != '\\') {
            enterEscape();
            escapeChar(c);
        }
        break;
    case VTState::IgnoreString:
        if (c == 0x07)
            state_ = VTState::Ground;
        else if (c == ESC)
            state_ = VTState::IgnoreStringEscape;
        break;
    case VTState::IgnoreStringEscape:
        state_ = c == '\\' ? VTState::Ground : VTState::IgnoreString;
        break;
    }
}

void Terminal::execute(char32_t c)
{
    switch (c) {
    case 0x08:  // BS
        pendingWrap_ = false;
        col_ = std::max(col_ - 1, 0);
        break;
    case 0x09:  // HT
        pendingWrap_ = false;
        horizontalTab();
        break;
    case 0x0A:  // LF
    case 0x0B:  // VT
    case 0x0C:  // FF
        pendingWrap_ = false;
        lineFeed();
        break;
    case 0x0D:  // CR
        pendingWrap_ = false;
        col_ = 0;
        break;
    default:
        break;
    }
}

void Terminal::enterEscape()
{
    state_ = VTState::Escape;
    intermediateCount_ = 0;
}

void Terminal::escapeChar(char32_t c)
{
    state_ = VTState::Ground;
    switch (c) {
    case 'P':
    case 'X':
    case '^':
    case '_':
        state_ = VTState::IgnoreString;
        return;
    case '[':
        state_ = VTState::Csi;
        paramCount_ = 0;
        curParam_ = 0;
        haveParam_ = false;
        privateMarker_ = 0;
        intermediateCount_ = 0;
        return;
    case ']':
        state_ = VTState::Osc;
        osc_.clear();
        return;
    default:
        break;
    }
    if (c >= 0x20 && c <= 0x2F) {
        intermediates_[0] = uint8_t(c);
        intermediateCount_ = 1;
        state_ = VTState::EscIntermediate;
        return;
    }
    escFinal(c);
}

void Terminal::escFinal(char32_t c)
{
    if (intermediateCount_ > 0) {
        intermediateCount_ = 0;
        return;
    }
    switch (c) {
    case '7':
        saveCursor();
        break;
    case '8':
        restoreCursor();
        break;
    case 'D':
        pendingWrap_ = false;
        lineFeed();
        break;
    case 'E':
        col_ = 0;
        pendingWrap_ = false;
        lineFeed();
        break;
    case 'H':
        if (col_ < cols_)
            tabs_[size_t(col_)] = true;
        break;
    case 'M':
        pendingWrap_ = false;
        reverseIndex();
        break;
    case 'c':
        fullReset();
        break;
    default:
        break;
    }
}

void Terminal::csiByte(char32_t c)
{
    if (c >= '0' && c <= '9') {
        curParam_ = std::min<uint32_t>(curParam_ * 10 + uint32_t(c - '0'), 65535);
        haveParam_ = true;
    } else if (c == ';' || c == ':') {
        if (paramCount_ < kMaxParams)
            params_[paramCount_++] = curParam_;
        curParam_ = 0;
        haveParam_ = false;
    } else if (c == '<' || c == '=' || c == '>' || c == '?') {
        if (paramCount_ == 0 && !haveParam_)
            privateMarker_ = uint8_t(c);
    } else if (c >= 0x20 && c <= 0x2F) {
        if (intermediateCount_ < intermediates_.size())
            intermediates_[intermediateCount_] = uint8_t(c);
        ++intermediateCount_;
    } else if (c == ESC) {
        enterEscape();
    } else if (c < 0x20) {
        execute(c);
    } else if (c >= 0x40 && c <= 0x7E) {
        if (haveParam_ && paramCount_ < kMaxParams)
            params_[paramCount_++] = curParam_;
        state_ = VTState::Ground;
        csiDispatch(c);
    }
    // DEL and anything above 0x7E: ignored.
}

void Terminal::reply(std::string_view bytes)
{
    responses_.insert(responses_.end(), bytes.begin(), bytes.end());
}

void Terminal::csiDispatch(char32_t final)
{
    if (intermediateCount_ > 0) {
        if (final == 'p' && intermediateCount_ == 1 && intermediates_[0] == '!')
            softReset();
        return;
    }
    const uint32_t p0 = param(0);
    const int n = p0 == 0 ? 1 : int(p0);

    if (privateMarker_ != 0) {
        if (privateMarker_ == '?') {
            switch (final) {
            case 'J':
                eraseInDisplay(p0);
                break;
            case 'K':
                eraseInLine(p0);
                break;
            case 'h':
                decPrivateMode(true);
                break;
            case 'l':
                decPrivateMode(false);
                break;
            default:
                break;
            }
        } else if (privateMarker_ == '>' && final == 'c') {
            reply("\x1b[>0;10;1c");
        }
        return;
    }

    switch (final) {
    case '@':
        insertChars(n);
        break;
    case 'A':
        setCursor(std::max(row_ - n, 0), col_);
        break;
    case 'B':
    case 'e':
        setCursor(row_ + n, col_);
        break;
    case 'C':
    case 'a':
        setCursor(row_, col_ + n);
        break;
    case 'D':
        setCursor(row_, std::max(col_ - n, 0));
        break;
    case 'E':
        setCursor(row_ + n, 0);
        break;
    case 'F':
        setCursor(std::max(row_ - n, 0), 0);
        break;
    case 'G':
    case '`':
        setCursor(row_, n - 1);
        break;
    case 'H':
    case 'f': {
        const uint32_t p1 = param(1);
        setCursor(n - 1, (p1 == 0 ? 1 : int(p1)) - 1);
        break;
    }
    case 'J':
        eraseInDisplay(p0);
        break;
    case 'K':
        eraseInLine(p0);
        break;
    case 'L':
        insertLines(n);
        break;
    case 'M':
        deleteLines(n);
        break;
    case 'P':
        deleteChars(n);
        break;
    case 'S':
        scrollUp(n);
        break;
    case 'T':
        scrollDown(n);
        break;
    case 'X':
        eraseCells(row_, col_, std::min(cols_, col_ + n));
        break;
    case 'c':
        if (p0 == 0)
            reply("\x1b[?62;22c");
        break;
    case 'd':
        setCursor(n - 1, col_);
        break;
    case 'g':
        if (p0 == 0 && col_ < cols_)
            tabs_[size_t(col_)] = false;
        else if (p0 == 3)
            std::fill(tabs_.begin(), tabs_.end(), false);
        break;
    case 'm':
        sgr();
        break;
    case 'n':
        if (p0 == 5) {
            reply("\x1b[0n");
        } else if (p0 == 6) {
            const std::string r = "\x1b[" + std::to_string(row_ + 1) + ";" +
                                  std::to_string(std::min(col_, cols_ - 1) + 1) + "R";
            reply(r);
        }
        break;
    case 'r': {
        const int t = n - 1;
        const uint32_t p1 = param(1);
        const int b = (paramCount_ > 1 && p1 != 0 ? int(p1) : rows_) - 1;
        if (t < b && b < rows_) {
            scrollTop_ = t;
            scrollBot_ = b;
            setCursor(0, 0);
        }
        break;
    }
    case 's':
        saveCursor();
        break;
    case 'u':
        restoreCursor();
        break;
    default:
        break;
    }
}

void Terminal::decPrivateMode(bool set)
{
    for (size_t i = 0; i < paramCount_; ++i) {
        const uint32_t mode = params_[i];
        switch (mode) {
        case 1:
            appCursorKeys = set;
            break;
        case 7:
            autowrap = set;
            break;
        case 25:
            cursorVisible = set;
            break;
        case 47:
        case 1047:
        case 1049:
            if (set)
                enterAltScreen();
            else
                leaveAltScreen();
            break;
        case 1000:
        case 1002:
        case 1003:
            if (set)
                mouseTracking = std::max(mouseTracking, int(mode));
            else if (mode == 1000 || mouseTracking == int(mode))
                mouseTracking = 0;
            break;
        case 1004:
            focusEvents = set;
            break;
        case 1006:
            mouseSGR = set;
            break;
        case 2004:
            bracketedPaste = set;
            break;
        default:
            break;
        }
    }
}

void Terminal::sgr()
{
    if (paramCount_ == 0) {
        pen_ = {};
        return;
    }
    for (size_t i = 0; i < paramCount_; ++i) {
        const uint32_t p = params_[i];
        switch (p) {
        case 0:
            pen_ = {};
            break;
        case 1:
            pen_.bold = 1;
            break;
        case 2:
            pen_.dim = 1;
            break;
        case 3:
            pen_.italic = 1;
            break;
        case 4:
            pen_.underline = 1;
            break;
        case 7:
            pen_.inverse = 1;
            break;
        case 22:
            pen_.bold = 0;
            pen_.dim = 0;
            break;
        case 23:
            pen_.italic = 0;
            break;
        case 24:
            pen_.underline = 0;
            break;
        case 27:
            pen_.inverse = 0;
            break;
        case 38:
        case 48:
            i = sgrExtendedColor(i, p == 38);
            break;
        case 39:
            pen_.setFg(VTColor::defaultColor());
            break;
        case 49:
            pen_.setBg(VTColor::defaultColor());
            break;
        default:
            if (p >= 30 && p <= 37)
                pen_.setFg(VTColor::indexed(uint8_t(p - 30)));
            else if (p >= 40 && p <= 47)
                pen_.setBg(VTColor::indexed(uint8_t(p - 40)));
            else if (p >= 90 && p <= 97)
                pen_.setFg(VTColor::indexed(uint8_t(p - 82)));
            else if (p >= 100 && p <= 107)
                pen_.setBg(VTColor::indexed(uint8_t(p - 92)));
            break;
        }
    }
}

// A 24-bit colour, 38;2;R;G;B m or 48;2;R;G;B m with components of one to three digits,
// recognised whole from the parameter bytes at q: programs that colour text one character
// at a time send one before every character. Has the effect sgr() has on the same
// parameters (the parser's parameter scratch is left alone; every sequence resets it).
// Returns the byte after the final, or nullptr when the bytes are anything else.
const uint8_t* Terminal::sgrTrueColor(const uint8_t* q, const uint8_t* end)
{
    constexpr uint64_t kFg = uint64_t('3') | uint64_t('8') << 8 | uint64_t(';') << 16 |
                             uint64_t('2') << 24 | uint64_t(';') << 32;
    constexpr uint64_t kBg = kFg ^ ('3' ^ '4');
    if (end - q < 5 + 16 + 8)
        return nullptr;
    const uint64_t head = load64(q) & 0xFFFFFFFFFF;
    if (head != kFg && head != kBg)
        return nullptr;
    const uint8_t* const c = q + 5;
    uint32_t stops = nonDigitBits16(c);
    const size_t r = size_t(std::countr_zero(stops));
    stops &= stops - 1;
    const size_t g = size_t(std::countr_zero(stops));
    stops &= stops - 1;
    const size_t b = size_t(std::countr_zero(stops));
    // One to three digits each (so b < 16), separated by semicolons, ended by 'm'.
    if (r - 1 > 2 || g - r - 2 > 2 || b - g - 2 > 2 || c[r] != ';' || c[g] != ';' || c[b] != 'm')
        return nullptr;
    auto component = [](const uint8_t* digits, size_t n) {
        return uint8_t(std::min<uint32_t>(shortDigitsValue(load64(digits), n), 255));
    };
    const VTColor color =
        VTColor::rgb(component(c, r), component(c + r + 1, g - r - 1), component(c + g + 1, b - g - 1));
    if (head == kFg)
        pen_.setFg(color);
    else
        pen_.setBg(color);
    return c + b + 1;
}

// Reads a 38/48 colour at position i; returns the last position consumed.
size_t Terminal::sgrExtendedColor(size_t i, bool foreground)
{
    auto set = [&](VTColor c) {
        if (foreground)
            pen_.setFg(c);
        else
            pen_.setBg(c);
    };
    const size_t left = paramCount_ - i - 1;  // parameters after the 38 or 48
    if (left == 0)
        return i + 1;
    const uint32_t kind = params_[i + 1];
    if (kind == 5) {
        if (left >= 2) {
            set(VTColor::indexed(uint8_t(std::min<uint32_t>(params_[i + 2], 255))));
            return i + 2;
        }
        return paramCount_;
    }
    if (kind == 2) {
        if (left >= 4) {
            auto ch = [&](size_t k) { return uint8_t(std::min<uint32_t>(params_[k], 255)); };
            set(VTColor::rgb(ch(i + 2), ch(i + 3), ch(i + 4)));
            return i + 4;
        }
        return paramCount_;
    }
    return i + 1;
}

}  // namespace orvane

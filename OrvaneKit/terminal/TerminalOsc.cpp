// Operating system commands: window title, clipboard writes and shell-integration marks.
#include "Terminal.h"
#include "Utf8.h"

#include <charconv>

namespace orvane {

namespace {

// Decodes Base64, skipping whitespace and "="; nullopt when a character is outside the alphabet.
std::optional<std::string> decodeBase64(std::string_view in)
{
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    for (const char ch : in) {
        int v;
        if (ch >= 'A' && ch <= 'Z')
            v = ch - 'A';
        else if (ch >= 'a' && ch <= 'z')
            v = ch - 'a' + 26;
        else if (ch >= '0' && ch <= '9')
            v = ch - '0' + 52;
        else if (ch == '+')
            v = 62;
        else if (ch == '/')
            v = 63;
        else if (ch == '\t' || ch == '\n' || ch == '\r' || ch == ' ' || ch == '=')
            continue;
        else
            return std::nullopt;
        acc = (acc << 6 | uint32_t(v)) & 0xFFFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += char((acc >> bits) & 0xFF);
        }
    }
    return out;
}

// A signed decimal: optional sign, digits only, no overflow.
std::optional<int64_t> parseStatus(std::string_view s)
{
    std::string_view digits = s;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-'))
        digits.remove_prefix(1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const std::string_view number = s[0] == '-' ? s : digits;
    int64_t v = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
    if (ec != std::errc() || end != number.data() + number.size())
        return std::nullopt;
    return v;
}

}  // namespace

std::string sanitizeUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    const size_t n = bytes.size();
    auto at = [&](size_t k) { return uint8_t(bytes[k]); };
    while (i < n) {
        const uint8_t b = at(i);
        if (b < 0x80) {
            out += char(b);
            ++i;
            continue;
        }
        int need = 0;
        uint8_t lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            if (b == 0xE0)
                lo = 0xA0;
            if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            if (b == 0xF0)
                lo = 0x90;
            if (b == 0xF4)
                hi = 0x8F;
        }
        size_t j = i + 1;
        bool ok = need > 0;
        for (int k = 0; ok && k < need; ++k, ++j) {
            if (j >= n || at(j) < (k == 0 ? lo : 0x80) || at(j) > (k == 0 ? hi : 0xBF))
                ok = false;
        }
        if (ok) {
            out.append(bytes.substr(i, j - i));
            i = j;
        } else {
            // Replace the maximal valid prefix (at least the lead byte) by one U+FFFD.
            out += "\xEF\xBF\xBD";
            i = std::max(j - 1, i + 1);
        }
    }
    return out;
}

void Terminal::oscDispatch()
{
    state_ = VTState::Ground;
    const std::string_view payload = osc_;
    const size_t semi = payload.find(';');
    const std::string_view number = payload.substr(0, semi);
    const std::string_view text = semi == std::string_view::npos ? std::string_view() : payload.substr(semi + 1);
    if (number == "0" || number == "2")
        title = sanitizeUtf8(text);
    else if (number == "52")
        oscClipboard(text);
    else if (number == "133")
        oscMark(text);
    osc_.clear();
}

void Terminal::oscClipboard(std::string_view text)
{
    const size_t semi = text.find(';');
    if (semi == std::string_view::npos)
        return;
    const std::string_view data = text.substr(semi + 1);
    if (data == "?")
        return;
    if (auto bytes = decodeBase64(data))
        clipboard_ = sanitizeUtf8(*bytes);
}

void Terminal::oscMark(std::string_view text)
{
    const size_t semi = text.find(';');
    const std::string_view first = text.substr(0, semi);
    VTMark mark;
    if (first == "A") {
        mark = VTMark::promptStart();
    } else if (first == "B") {
        mark = VTMark::commandStart();
    } else if (first == "C") {
        mark = VTMark::outputStart();
    } else if (first == "D") {
        std::optional<int64_t> status;
        if (semi != std::string_view::npos) {
            std::string_view rest = text.substr(semi + 1);
            status = parseStatus(rest.substr(0, rest.find(';')));
        }
        mark = VTMark::commandEnd(status);
    } else {
        return;
    }
    const bool full = marks.size() >= kMarksLimit;
    marks.push_back({scrollbackCount() + row_, mark});
    if (full)
        marks.erase(marks.begin(), marks.begin() + 1000);
}

}  // namespace orvane

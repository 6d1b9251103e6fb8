#include "PlainScreen.h"

#include "Utf8.h"

#include <algorithm>
#include <optional>

namespace orvane {

namespace {

// The first scalar of `s` when the whole of `s` is valid UTF-8.
std::optional<char32_t> decodeStrict(std::string_view s)
{
    std::optional<char32_t> first;
    size_t i = 0;
    while (i < s.size()) {
        const auto b = uint8_t(s[i]);
        int need;
        char32_t c;
        char32_t min;
        if (b < 0x80) {
            need = 0, c = b, min = 0;
        } else if (b >= 0xC0 && b < 0xE0) {
            need = 1, c = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b < 0xF0) {
            need = 2, c = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b < 0xF8) {
            need = 3, c = b & 0x07, min = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + size_t(need) >= s.size())
            return std::nullopt;
        for (int k = 1; k <= need; ++k) {
            const auto cb = uint8_t(s[i + size_t(k)]);
            if ((cb & 0xC0) != 0x80)
                return std::nullopt;
            c = c << 6 | (cb & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        if (!first)
            first = c;
        i += size_t(need) + 1;
    }
    return first;
}

}  // namespace

void PlainScreen::write(char32_t c)
{
    if (size_t(col_) < cur_.size())
        cur_[size_t(col_)] = c;
    else
        cur_.push_back(c);
    ++col_;
}

void PlainScreen::textByte(uint8_t b)
{
    switch (b) {
    case 0x08:
        if (col_ > 0)
            --col_;
        return;
    case 0x09:
        for (int k = 8 - col_ % 8; k > 0; --k)
            write(U' ');
        return;
    case 0x0A:
        done_.push_back(currentLine());
        cur_.clear();
        col_ = 0;
        if (done_.size() >= size_t(maxLines_))
            done_.erase(done_.begin(), done_.begin() + std::ptrdiff_t(done_.size() - size_t(maxLines_ - 1)));
        return;
    case 0x0D:
        col_ = 0;
        return;
    case 0x1B:
        state_ = State::Esc;
        return;
    default:
        break;
    }
    if (b < 0x20 || b == 0x7F)
        return;
    utf8_ += char(b);
    if (auto c = decodeStrict(utf8_)) {
        utf8_.clear();
        write(*c);
    } else if (utf8_.size() > 3) {
        utf8_.clear();
    }
}

void PlainScreen::feed(std::span<const uint8_t> bytes)
{
    for (const uint8_t b : bytes) {
        switch (state_) {
        case State::Text:
            textByte(b);
            break;
        case State::Esc:
            state_ = b == '[' ? State::Csi : b == ']' ? State::Osc : State::Text;
            break;
        case State::Csi:
            if (b >= 0x40 && b <= 0x7E)
                state_ = State::Text;
            break;
        case State::Osc:
            if (b == 0x1B)
                state_ = State::OscEsc;
            else if (b == 0x07)
                state_ = State::Text;
            break;
        case State::OscEsc:
            state_ = State::Text;
            break;
        }
    }
}

void PlainScreen::reset(const std::vector<std::vector<uint8_t>>& chunks)
{
    *this = PlainScreen(maxLines_);
    for (const auto& chunk : chunks)
        feed(chunk);
}

std::string PlainScreen::currentLine() const
{
    std::string s;
    for (const char32_t c : cur_)
        appendUtf8(s, c);
    return s;
}

std::vector<std::string> PlainScreen::lines() const
{
    std::vector<std::string> all = done_;
    all.push_back(currentLine());
    return all;
}

std::string PlainScreen::text() const
{
    std::string s;
    for (const auto& l : done_) {
        s += l;
        s += '\n';
    }
    return s + currentLine();
}

std::string PlainScreen::tail(int n) const
{
    const size_t keep = std::min(size_t(std::max(n - 1, 0)), done_.size());
    std::string s;
    for (size_t i = done_.size() - keep; i < done_.size(); ++i) {
        s += done_[i];
        s += '\n';
    }
    return s + currentLine();
}

}  // namespace orvane

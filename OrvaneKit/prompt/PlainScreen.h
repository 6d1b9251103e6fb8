// A minimal line-oriented text screen: carriage return, line feed, backspace and tab;
// escape sequences are skipped. Keeps at most maxLines lines (at least 1).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

class PlainScreen {
public:
    explicit PlainScreen(int maxLines) : maxLines_(maxLines < 1 ? 1 : maxLines) {}

    void feed(std::span<const uint8_t> bytes);
    void feed(std::string_view bytes)
    {
        feed(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    }
    void reset(const std::vector<std::vector<uint8_t>>& chunks);

    // Completed lines followed by the current line.
    std::vector<std::string> lines() const;
    // lines() joined by "\n".
    std::string text() const;
    // The last max(n - 1, 0) completed lines and the current line, joined by "\n".
    std::string tail(int n) const;
    int cursorColumn() const { return col_; }
    int maxLines() const { return maxLines_; }

    friend bool operator==(const PlainScreen&, const PlainScreen&) = default;

private:
    enum class State : uint8_t { Text, Esc, Csi, Osc, OscEsc };

    void write(char32_t c);
    void textByte(uint8_t b);
    std::string currentLine() const;

    std::vector<std::string> done_;
    std::u32string cur_;
    int col_ = 0;
    State state_ = State::Text;
    std::string utf8_;
    int maxLines_;
};

}  // namespace orvane

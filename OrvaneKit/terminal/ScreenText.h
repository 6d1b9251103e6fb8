// Helpers for tests that look at a terminal's screen as text.
#pragma once

#include "Terminal.h"

#include <string>
#include <vector>

namespace orvane::test {

// Every screen row's text, joined by "|".
inline std::string screen(const Terminal& t)
{
    std::string s;
    for (int r = 0; r < t.rows(); ++r) {
        if (r)
            s += '|';
        s += t.rowText(r);
    }
    return s;
}

inline std::string take(Terminal& t)
{
    const auto bytes = t.takeResponses();
    return std::string(bytes.begin(), bytes.end());
}

inline VTCell cellAt(const Terminal& t, int row, int col)
{
    return t.line(row)[size_t(col)];
}

}  // namespace orvane::test

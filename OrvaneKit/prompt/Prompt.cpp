#include "Prompt.h"

#include <QRegularExpression>
#include <QString>

#include <array>

namespace orvane {

namespace {

constexpr int kMaxUnits = 120;

const QRegularExpression& promptPattern()
{
    // Function-local static: built once, thread-safe, only read afterwards.
    static const QRegularExpression pattern(QStringLiteral(R"(^[\w.\-]+@[\w.\-]+(?:[: ]\S*)? ?[%$#] )"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return pattern;
}

}  // namespace

int promptColumns(const VTRow& row)
{
    if (row.empty() || row[0].ch < 0x21 || row[0].ch > 0x7F)
        return 0;

    // The row's text as UTF-16, with the column of every code unit.
    std::array<char16_t, kMaxUnits + 2> units{};
    std::array<int, kMaxUnits + 2> columns{};
    int n = 0;
    bool at = false;
    for (size_t c = 0; c < row.size() && n < kMaxUnits; ++c) {
        const VTCell& cell = row[c];
        if (cell.spacer)
            continue;
        const char32_t ch = cell.ch;
        if (ch == U'@')
            at = true;
        if (ch >= 0x10000) {
            units[size_t(n)] = char16_t(0xD800 + ((ch - 0x10000) >> 10));
            columns[size_t(n++)] = int(c);
            units[size_t(n)] = char16_t(0xDC00 + ((ch - 0x10000) & 0x3FF));
        } else {
            units[size_t(n)] = char16_t(ch);
        }
        columns[size_t(n++)] = int(c);
    }
    if (!at)
        return 0;

    const QString text = QString::fromUtf16(units.data(), n);
    const QRegularExpressionMatch match = promptPattern().match(text);
    if (!match.hasMatch())
        return 0;
    const qsizetype end = match.capturedEnd(0);
    if (end < 1)
        return 0;
    return columns[size_t(end - 1)] + 1;
}

}  // namespace orvane

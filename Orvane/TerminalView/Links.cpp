#include "Links.h"

#include <QRegularExpression>
#include <QString>

#include <vector>

namespace orvane {

namespace {

bool isDelimiter(char32_t c)
{
    static constexpr std::u32string_view delimiters = U" \t()[]{}<>\"'`,;|";
    return delimiters.find(c) != std::u32string_view::npos;
}

bool isWordCell(const VTRow& row, int col)
{
    return col >= 0 && size_t(col) < row.size() && !row[size_t(col)].spacer && !isDelimiter(row[size_t(col)].ch);
}

const QRegularExpression& linkPattern()
{
    static const QRegularExpression pattern(QStringLiteral(
        R"((?:https?|ftp)://[^\s<>\"'`|\\^{}]+|file://[^\s<>\"'`|\\^{}]+|mailto:[^\s<>\"'`|\\^{}]+)"));
    return pattern;
}

}  // namespace

std::pair<int, int> wordRange(const VTRow& row, int col)
{
    if (!isWordCell(row, col))
        return {col, col};
    int start = col, end = col;
    while (isWordCell(row, start - 1))
        --start;
    while (isWordCell(row, end + 1))
        ++end;
    return {start, end};
}

std::optional<Link> linkAt(const VTRow& row, int col)
{
    QString text;
    std::vector<int> columns;  // the column of each UTF-16 code unit
    for (size_t c = 0; c < row.size(); ++c) {
        if (row[c].spacer)
            continue;
        const char32_t scalar = row[c].ch;
        const QString piece = QString::fromUcs4(&scalar, 1);
        text += piece;
        for (qsizetype k = 0; k < piece.size(); ++k)
            columns.push_back(int(c));
    }
    auto matches = linkPattern().globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch m = matches.next();
        qsizetype start = m.capturedStart(), end = m.capturedEnd();
        while (end - start > 1) {
            const QChar last = text[end - 1];
            if (!QStringLiteral(".,;:!?)]").contains(last))
                break;
            if (last == u')') {
                const QStringView part = QStringView(text).mid(start, end - start);
                if (part.count(u'(') >= part.count(u')'))
                    break;
            }
            --end;
        }
        const int first = columns[size_t(start)], last = columns[size_t(end - 1)];
        if (col < first || col > last)
            continue;
        const QUrl url(text.mid(start, end - start), QUrl::TolerantMode);
        if (url.isValid() && !url.scheme().isEmpty())
            return Link{url, first, last};
    }
    return std::nullopt;
}

}  // namespace orvane

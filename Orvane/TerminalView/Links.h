// Words and links in a row of cells, for selection and Super+click.
#pragma once

#include "Terminal.h"

#include <QUrl>

#include <optional>
#include <utility>

namespace orvane {

struct Link {
    QUrl url;
    int first = 0;  // columns, inclusive
    int last = 0;
};

// Start and end columns of the word at a cell; a delimiter or spacer is a word of its own.
std::pair<int, int> wordRange(const VTRow& row, int col);
// The link covering a column, with trailing punctuation trimmed.
std::optional<Link> linkAt(const VTRow& row, int col);

}  // namespace orvane

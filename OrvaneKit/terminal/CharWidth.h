// Display width of a Unicode scalar: 0 (dropped), 1 or 2 cells.
#pragma once

namespace orvane {

int charWidth(char32_t c);

}  // namespace orvane

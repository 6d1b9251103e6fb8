// Arbitrary bytes through PlainScreen, and the rows they make through prompt detection.
#include "PlainScreen.h"
#include "Prompt.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int maxLines = 1 + data[0] % 8;
    orvane::PlainScreen s(maxLines);
    const std::span bytes(data + 1, size - 1);
    const size_t mid = bytes.size() / 2;
    s.feed(bytes.subspan(0, mid));
    s.feed(bytes.subspan(mid));
    if (s.lines().size() > size_t(maxLines) || s.cursorColumn() < 0)
        std::abort();
    (void)s.text();
    (void)s.tail(data[0] % 5);

    orvane::Terminal t(160, 2);
    t.feed(bytes);
    for (int r = 0; r < 2; ++r) {
        const int column = orvane::promptColumns(t.line(r));
        if (column < 0 || column > t.cols())
            std::abort();
    }
    return 0;
}

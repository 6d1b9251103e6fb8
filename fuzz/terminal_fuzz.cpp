// Feeds arbitrary bytes to a Terminal in pieces, with resizes, drains and scrolled reads
// interleaved, and checks the invariants the view relies on.
#include "Terminal.h"

#include <algorithm>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkInvariants(orvane::Terminal& t)
{
    check(t.cols() >= 1 && t.rows() >= 1);
    const auto [row, col] = t.cursor();
    check(row >= 0 && row < t.rows() && col >= 0 && col < t.cols());
    check(t.cursorCol() < t.cols());
    check(t.scrollTop() >= 0 && t.scrollTop() <= t.scrollBottom() && t.scrollBottom() < t.rows());
    check(int(t.tabStops().size()) == t.cols());
    check(t.scrollbackCount() <= std::max(t.maxScrollback, 0));
    check(t.marks.size() <= orvane::Terminal::kMarksLimit);
    check(t.title.size() <= orvane::Terminal::kOscLimit + 4);
    for (int r = 0; r < t.rows(); ++r)
        check(int(t.line(r).size()) == t.cols());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    orvane::Terminal t(1 + data[0] % 100, 1 + data[1] % 40);
    t.maxScrollback = 50;
    size_t i = 2;
    while (i < size) {
        // A control byte chooses what happens next; the rest is terminal input.
        const uint8_t op = data[i++];
        const size_t len = std::min<size_t>(size - i, 1 + op % 64);
        switch (op >> 6) {
        case 0:
        case 1:
            t.feed(std::span(data + i, len));
            i += len;
            break;
        case 2:
            if (i + 1 < size) {
                t.resize(data[i] % 120, data[i + 1] % 50);
                i += 2;
            }
            break;
        default: {
            t.takeResponses();
            t.takeClipboard();
            const int offset = op % 60;
            for (int r = 0; r < t.rows(); ++r)
                check(!t.line(r, offset).empty() || t.scrollbackCount() > 0);
            (void)t.text({0, 0}, {t.totalLines(), t.cols()});
            (void)t.absLine(t.totalLines() - 1);
            break;
        }
        }
        checkInvariants(t);
    }
    return 0;
}

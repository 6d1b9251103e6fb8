// Arbitrary bytes through the control-mode client (from the login phase on), and each
// line of the input through the layout and listing parsers.
#include "TmuxControlClient.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> input(data, size);
    size_t sent = 0;
    orvane::TmuxControlClient client("s", [&](std::span<const uint8_t> b) {
        if (b.empty() || b.back() != '\n')
            std::abort();
        sent += b.size();
    });
    size_t events = 0;
    client.onEvent = [&](const orvane::TmuxEvent&) { ++events; };
    // Half the inputs start in control mode so the line protocol is reached quickly.
    if (size > 0 && data[0] & 1)
        client.feed(std::string_view("\x1bP1000p"));
    const size_t mid = size / 3;
    client.feed(input.subspan(0, mid));
    client.sendKeys(1, input.subspan(0, std::min<size_t>(mid, 300)));
    client.feed(input.subspan(mid));
    client.finish();

    std::vector<std::string> lines;
    std::string text(reinterpret_cast<const char*>(data), size);
    size_t at = 0;
    while (at <= text.size()) {
        const size_t nl = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, nl - at));
        (void)orvane::parseLayout(lines.back());
        at = nl + 1;
    }
    const auto windows = orvane::parseWindows(lines);
    const auto panes = orvane::parsePanes(lines);
    const auto views = orvane::windowViews(windows, panes);
    for (const auto& v : views)
        if (v.panes.empty() || v.panes.size() > 2 || v.panes.size() != v.rows.size() || v.focus < 0 ||
            size_t(v.focus) >= v.panes.size())
            std::abort();
    (void)orvane::paneSizes(windows);
    (void)orvane::parseSessions(lines);
    return 0;
}

// orvane-vt: replays a byte stream through a Terminal and prints the screen.
//
//   orvane-vt --cols C --rows R [--scrollback] [--cursor] [FILE]
//
// Feeds FILE (standard input when absent) in chunks of 64 KiB and prints rowText of every
// screen row: exactly R lines. --scrollback prints the kept scrollback lines first;
// --cursor adds a last line "cursor ROW,COL" (0-based).
#include "Terminal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: orvane-vt --cols C --rows R [--scrollback] [--cursor] [FILE]\n");
    return 2;
}

bool parseSize(const char* s, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (end == s || *end != '\0' || v < 1 || v > 10000)
        return false;
    out = int(v);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    int cols = 0, rows = 0;
    bool withScrollback = false, withCursor = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--cols" || arg == "--rows") && i + 1 < argc) {
            if (!parseSize(argv[++i], arg == "--cols" ? cols : rows))
                return usage();
        } else if (arg == "--scrollback") {
            withScrollback = true;
        } else if (arg == "--cursor") {
            withCursor = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return usage();
        } else if (!path) {
            path = argv[i];
        } else {
            return usage();
        }
    }
    if (cols == 0 || rows == 0)
        return usage();

    FILE* in = stdin;
    if (path && std::strcmp(path, "-") != 0) {
        in = std::fopen(path, "rb");
        if (!in) {
            std::fprintf(stderr, "orvane-vt: cannot open %s: %s\n", path, std::strerror(errno));
            return 1;
        }
    }

    orvane::Terminal term(cols, rows);
    std::vector<uint8_t> chunk(64 * 1024);
    size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), in)) > 0)
        term.feed(std::span(chunk.data(), n));
    if (in != stdin)
        std::fclose(in);

    if (withScrollback) {
        for (int i = 0; i < term.scrollbackCount(); ++i)
            std::printf("%s\n", term.text({i, 0}, {i, 1 << 20}).c_str());
    }
    for (int r = 0; r < term.rows(); ++r)
        std::printf("%s\n", term.rowText(r).c_str());
    if (withCursor)
        std::printf("cursor %d,%d\n", term.cursor().first, term.cursor().second);
    return 0;
}

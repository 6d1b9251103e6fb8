// Throughput of Terminal::feed on generated host output, side by side with libvterm on the
// same bytes, and the memory a full scrollback costs.
//
// Every stream is built here from a fixed-seed generator, so runs are comparable across
// machines and commits. Both emulators get the bytes in 64 KiB writes, as a pty reader
// would hand them over. After the benchmarks a summary table gives the ratio per stream.
#include "Terminal.h"

#include <benchmark/benchmark.h>
#include <vterm.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr size_t kStreamBytes = 8u << 20;
constexpr size_t kChunk = 64u << 10;

// xorshift64*: small, fast and the same everywhere.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint64_t next()
    {
        s_ ^= s_ >> 12;
        s_ ^= s_ << 25;
        s_ ^= s_ >> 27;
        return s_ * 0x2545F4914F6CDD1DULL;
    }
    // Uniform in [0, n).
    uint32_t below(uint32_t n) { return uint32_t(((next() >> 32) * n) >> 32); }
    // Uniform in [lo, hi].
    int range(int lo, int hi) { return lo + int(below(uint32_t(hi - lo + 1))); }
    bool chance(uint32_t oneIn) { return below(oneIn) == 0; }

private:
    uint64_t s_;
};

void appendUtf8(std::string& s, char32_t c)
{
    if (c < 0x80) {
        s += char(c);
    } else if (c < 0x800) {
        s += char(0xC0 | (c >> 6));
        s += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += char(0xE0 | (c >> 12));
        s += char(0x80 | ((c >> 6) & 0x3F));
        s += char(0x80 | (c & 0x3F));
    } else {
        s += char(0xF0 | (c >> 18));
        s += char(0x80 | ((c >> 12) & 0x3F));
        s += char(0x80 | ((c >> 6) & 0x3F));
        s += char(0x80 | (c & 0x3F));
    }
}

void appendWord(std::string& s, Rng& rng)
{
    static constexpr char kChars[] =
        "abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
        "._-/:=,()[]{}<>+*#@!?'\"";
    const int len = rng.range(1, 10);
    for (int i = 0; i < len; ++i)
        s += kChars[rng.below(sizeof(kChars) - 1)];
}

void csi(std::string& s, std::initializer_list<int> params, char final)
{
    s += "\x1b[";
    bool first = true;
    for (int p : params) {
        if (!first)
            s += ';';
        first = false;
        s += std::to_string(p);
    }
    s += final;
}

// A random colour change, the kind ls, compilers, git and prompts emit.
void appendSgr(std::string& s, Rng& rng)
{
    switch (rng.below(8)) {
    case 0:
        s += "\x1b[0m";
        break;
    case 1:
        csi(s, {30 + rng.range(0, 7)}, 'm');
        break;
    case 2:
        csi(s, {1, 30 + rng.range(0, 7)}, 'm');
        break;
    case 3:
        csi(s, {90 + rng.range(0, 7)}, 'm');
        break;
    case 4:
        csi(s, {40 + rng.range(0, 7)}, 'm');
        break;
    case 5:
        csi(s, {38, 5, rng.range(0, 255)}, 'm');
        break;
    case 6:
        csi(s, {48, 5, rng.range(0, 255)}, 'm');
        break;
    default:
        csi(s, {0, 4, 38, 5, rng.range(16, 231)}, 'm');
        break;
    }
}

// (a) Plain ASCII lines ending in CRLF, like cat of a log or source file.
std::string asciiStream()
{
    Rng rng(1);
    std::string s;
    s.reserve(kStreamBytes + 256);
    while (s.size() < kStreamBytes) {
        const int width = rng.range(0, 120);
        const size_t start = s.size();
        while (int(s.size() - start) < width) {
            appendWord(s, rng);
            s += ' ';
        }
        s += "\r\n";
    }
    return s;
}

// (b) ASCII with a 16- or 256-colour change every few words.
std::string sgrStream()
{
    Rng rng(2);
    std::string s;
    s.reserve(kStreamBytes + 256);
    while (s.size() < kStreamBytes) {
        const int words = rng.range(0, 16);
        for (int w = 0; w < words; ++w) {
            if (rng.chance(3))
                appendSgr(s, rng);
            appendWord(s, rng);
            s += ' ';
        }
        s += "\x1b[0m\r\n";
    }
    return s;
}

// (c) A 24-bit foreground before every character, like a gradient or an image in text.
std::string trueColorStream()
{
    Rng rng(3);
    std::string s;
    s.reserve(kStreamBytes + 256);
    while (s.size() < kStreamBytes) {
        const int width = rng.range(20, 79);
        for (int i = 0; i < width; ++i) {
            csi(s, {38, 2, rng.range(0, 255), rng.range(0, 255), rng.range(0, 255)}, 'm');
            s += char(rng.range(0x21, 0x7E));
        }
        s += "\x1b[0m\r\n";
    }
    return s;
}

// (d) UTF-8: CJK ideographs and emoji (both double width) mixed with ASCII words.
std::string utf8Stream()
{
    Rng rng(4);
    std::string s;
    s.reserve(kStreamBytes + 256);
    while (s.size() < kStreamBytes) {
        const int words = rng.range(0, 10);
        for (int w = 0; w < words; ++w) {
            switch (rng.below(3)) {
            case 0:
                appendWord(s, rng);
                break;
            case 1:
                for (int i = rng.range(1, 8); i > 0; --i)
                    appendUtf8(s, char32_t(0x4E00 + rng.below(0x5200)));
                break;
            default:
                for (int i = rng.range(1, 3); i > 0; --i)
                    appendUtf8(s, char32_t(0x1F600 + rng.below(0x50)));
                break;
            }
            s += ' ';
        }
        s += "\r\n";
    }
    return s;
}

// (e) A full-screen program redrawing: cursor jumps, line erases, scroll regions scrolled
// with LF and RI, line insertion and deletion, cursor save and restore, and now and then
// a cleared screen. Built for one screen size, as a curses program would.
std::string tuiStream(int cols, int rows)
{
    Rng rng(5);
    std::string s;
    s.reserve(kStreamBytes + 1024);
    auto text = [&](int maxLen) {
        const int len = rng.range(1, maxLen);
        const size_t start = s.size();
        if (rng.chance(3))
            appendSgr(s, rng);
        while (int(s.size() - start) < len) {
            appendWord(s, rng);
            s += ' ';
        }
    };
    while (s.size() < kStreamBytes) {
        switch (rng.below(16)) {
        case 0:
        case 1:
        case 2:
        case 3:
        case 4:  // move and draw
            csi(s, {rng.range(1, rows), rng.range(1, cols)}, 'H');
            text(cols / 2);
            break;
        case 5:
        case 6:  // move, draw, clear the rest of the line
            csi(s, {rng.range(1, rows), rng.range(1, cols)}, 'H');
            text(cols / 3);
            s += "\x1b[K";
            break;
        case 7:  // a status line
            csi(s, {rows, 1}, 'H');
            s += "\x1b[7m";
            text(cols - 1);
            s += "\x1b[0m\x1b[K";
            break;
        case 8: {  // scroll a region up with line feeds, drawing the new bottom lines
            const int top = rng.range(1, rows - 2);
            const int bottom = rng.range(top + 1, rows);
            csi(s, {top, bottom}, 'r');
            csi(s, {bottom, 1}, 'H');
            for (int i = rng.range(1, 6); i > 0; --i) {
                s += '\n';
                s += '\r';
                text(cols - 1);
            }
            s += "\x1b[r";
            break;
        }
        case 9: {  // scroll a region down with reverse index
            const int top = rng.range(1, rows - 2);
            const int bottom = rng.range(top + 1, rows);
            csi(s, {top, bottom}, 'r');
            csi(s, {top, 1}, 'H');
            for (int i = rng.range(1, 6); i > 0; --i) {
                s += "\x1bM\r";
                text(cols - 1);
            }
            s += "\x1b[r";
            break;
        }
        case 10:  // insert lines
            csi(s, {rng.range(1, rows), 1}, 'H');
            csi(s, {rng.range(1, 4)}, 'L');
            text(cols - 1);
            break;
        case 11:  // delete lines
            csi(s, {rng.range(1, rows), 1}, 'H');
            csi(s, {rng.range(1, 4)}, 'M');
            break;
        case 12:  // draw elsewhere and come back
            s += "\x1b" "7";
            csi(s, {rng.range(1, rows), rng.range(1, cols)}, 'H');
            text(20);
            s += "\x1b" "8";
            break;
        case 13:  // erase to the start of the line or the whole line
            csi(s, {rng.range(1, rows), rng.range(1, cols)}, 'H');
            csi(s, {rng.range(1, 2)}, 'K');
            break;
        case 14:  // a few colour changes in place
            csi(s, {rng.range(1, rows), rng.range(1, cols)}, 'H');
            for (int i = rng.range(1, 4); i > 0; --i) {
                appendSgr(s, rng);
                text(10);
            }
            s += "\x1b[0m";
            break;
        default:
            if (rng.chance(8)) {  // a full redraw
                s += "\x1b[0m\x1b[H\x1b[2J";
                for (int r = 1; r <= rows; ++r) {
                    csi(s, {r, 1}, 'H');
                    text(cols - 1);
                }
            } else {
                csi(s, {rng.range(1, rows), rng.range(1, cols)}, 'H');
                text(8);
            }
            break;
        }
    }
    return s;
}

struct Size {
    int cols;
    int rows;
};

constexpr Size kSizes[] = {{80, 24}, {200, 50}};

std::string sizeName(Size z)
{
    return std::to_string(z.cols) + "x" + std::to_string(z.rows);
}

struct Stream {
    std::string name;
    std::string bytes[std::size(kSizes)];  // the same for every size except for the redraws
};

template <class Write>
void feedChunks(const std::string& bytes, Write write)
{
    for (size_t off = 0; off < bytes.size(); off += kChunk)
        write(bytes.data() + off, std::min(kChunk, bytes.size() - off));
}

constexpr int kDefaultScrollback = -1;

void benchOurs(benchmark::State& state, const std::string* bytes, Size z, int scrollback)
{
    orvane::Terminal t(z.cols, z.rows);
    if (scrollback != kDefaultScrollback)
        t.maxScrollback = scrollback;
    for (auto _ : state) {
        feedChunks(*bytes, [&](const char* p, size_t n) {
            t.feed(std::span(reinterpret_cast<const uint8_t*>(p), n));
        });
    }
    benchmark::DoNotOptimize(t.cursor());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes->size()));
}

void benchVterm(benchmark::State& state, const std::string* bytes, Size z)
{
    VTerm* vt = vterm_new(z.rows, z.cols);
    vterm_set_utf8(vt, 1);
    VTermScreen* screen = vterm_obtain_screen(vt);
    vterm_screen_reset(screen, 1);
    for (auto _ : state)
        feedChunks(*bytes, [&](const char* p, size_t n) { vterm_input_write(vt, p, n); });
    VTermPos pos;
    vterm_state_get_cursorpos(vterm_obtain_state(vt), &pos);
    benchmark::DoNotOptimize(pos);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes->size()));
    vterm_free(vt);
}

// Prints as usual and keeps each benchmark's bytes per second for the summary.
class Recorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            const auto it = r.counters.find("bytes_per_second");
            if (r.error_occurred || it == r.counters.end())
                continue;
            if (r.run_type == Run::RT_Iteration)
                rates_[r.run_name.function_name].push_back(it->second.value);
            else if (r.aggregate_name == "median")
                medians_[r.run_name.function_name] = it->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // Median over repetitions (--benchmark_repetitions), in MB/s of 10^6 bytes; 0 if not run.
    double mbps(const std::string& name) const
    {
        if (const auto m = medians_.find(name); m != medians_.end())
            return m->second / 1e6;
        const auto it = rates_.find(name);
        if (it == rates_.end() || it->second.empty())
            return 0.0;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2) / 1e6;
    }

private:
    std::map<std::string, std::vector<double>> rates_;  // each repetition
    std::map<std::string, double> medians_;              // when only aggregates are reported
};

double residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

// Fills a 200-column scrollback of 10,000 lines in a fresh terminal and reports what the
// process grew by. Runs first, before the streams exist, so freed memory cannot hide it.
void reportScrollbackMemory()
{
    constexpr int kCols = 200, kRows = 50, kLines = 10000;
    const std::string line = [] {
        std::string l;
        Rng rng(6);
        for (int i = 0; i < kCols; ++i)
            l += char(rng.range(0x21, 0x7E));
        return l + "\r\n";
    }();
    std::string block;
    for (int i = 0; i < 64; ++i)
        block += line;

    const double before = residentBytes();
    auto t = std::make_unique<orvane::Terminal>(kCols, kRows);
    t->maxScrollback = kLines;
    // The first rows-1 lines stay on the screen; every one after that pushes one out.
    int fed = 0;
    const int total = kLines + kRows - 1;
    while (fed + 64 <= total) {
        t->feed(block);
        fed += 64;
    }
    for (; fed < total; ++fed)
        t->feed(line);
    const double after = residentBytes();

    const double growth = after - before;
    std::printf("scrollback memory: %d lines x %d columns kept (%d requested)\n",
                t->scrollbackCount(), kCols, kLines);
    std::printf("  resident growth  %.1f MB (%.1f MiB), %.0f bytes a line; target < 30 MB: %s\n",
                growth / 1e6, growth / double(1 << 20), growth / kLines,
                growth < 30e6 ? "met" : "MISSED");
    std::printf("  cell payload     %.1f MB (sizeof(VTCell) = %zu)\n\n",
                double(kLines) * kCols * sizeof(orvane::VTCell) / 1e6, sizeof(orvane::VTCell));
}

}  // namespace

int main(int argc, char** argv)
{
    reportScrollbackMemory();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    std::vector<Stream> streams;
    auto same = [&](const char* name, std::string bytes) {
        Stream s{name, {}};
        for (auto& b : s.bytes)
            b = bytes;
        streams.push_back(std::move(s));
    };
    same("ascii", asciiStream());
    same("sgr", sgrStream());
    same("truecolor", trueColorStream());
    same("utf8", utf8Stream());
    Stream tui{"tui", {}};
    for (size_t i = 0; i < std::size(kSizes); ++i)
        tui.bytes[i] = tuiStream(kSizes[i].cols, kSizes[i].rows);
    streams.push_back(std::move(tui));

    for (const Stream& s : streams) {
        for (size_t i = 0; i < std::size(kSizes); ++i) {
            const std::string suffix = "/" + s.name + "/" + sizeName(kSizes[i]);
            benchmark::RegisterBenchmark(("Ours" + suffix).c_str(), benchOurs, &s.bytes[i], kSizes[i],
                                         kDefaultScrollback)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("Vterm" + suffix).c_str(), benchVterm, &s.bytes[i], kSizes[i])
                ->Unit(benchmark::kMillisecond);
        }
    }

    // The same plain text with the scrollback off: what printing and scrolling cost without
    // the memory traffic of keeping every line that leaves the screen.
    const Stream& ascii = streams.front();
    const Size wide = kSizes[std::size(kSizes) - 1];
    const std::string bare = "OursNoScrollback/ascii/" + sizeName(wide);
    benchmark::RegisterBenchmark(bare.c_str(), benchOurs, &ascii.bytes[std::size(kSizes) - 1], wide, 0)
        ->Unit(benchmark::kMillisecond);

    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();

    std::printf("\n%-10s %-7s %8s %12s %12s %8s\n", "stream", "size", "MB", "ours MB/s",
                "vterm MB/s", "ratio");
    for (const Stream& s : streams) {
        for (size_t i = 0; i < std::size(kSizes); ++i) {
            const std::string suffix = "/" + s.name + "/" + sizeName(kSizes[i]);
            const double ours = recorder.mbps("Ours" + suffix);
            const double vterm = recorder.mbps("Vterm" + suffix);
            if (ours == 0.0 && vterm == 0.0)
                continue;  // filtered out
            auto column = [](double v, int width, int decimals) {
                char buf[32];
                if (v > 0)
                    std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, v);
                else
                    std::snprintf(buf, sizeof buf, "%*s", width, "-");
                return std::string(buf);
            };
            std::printf("%-10s %-7s %8.1f %s %s %s\n", s.name.c_str(), sizeName(kSizes[i]).c_str(),
                        double(s.bytes[i].size()) / 1e6, column(ours, 12, 1).c_str(),
                        column(vterm, 12, 1).c_str(),
                        column(ours > 0 && vterm > 0 ? ours / vterm : 0.0, 8, 2).c_str());
        }
    }
    if (const double mbps = recorder.mbps(bare); mbps > 0)
        std::printf("ascii      %-7s without scrollback: %.1f MB/s\n", sizeName(wide).c_str(), mbps);
    std::printf("targets: ours >= 5x libvterm on every stream, >= 1000 MB/s on ascii at 200x50\n");
    return 0;
}

// Throughput of the tmux control-mode client on a stream of %output lines, next to the
// terminal that consumes the decoded bytes, and the allocations per line.
#include "Terminal.h"
#include "TmuxControlClient.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

namespace {

std::atomic<size_t> gAllocations{0};

// Typical shell output: words, colours and line ends, as tmux sends it (octal escapes for
// control characters and backslashes), split into %output lines of up to 200 bytes.
struct Stream {
    std::string control;  // the control-mode stream
    std::string decoded;  // what the panes receive
    size_t lines = 0;
};

Stream makeStream(size_t bytes)
{
    Stream s;
    uint64_t x = 0x9E3779B97F4A7C15ull;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return x;
    };
    static const char* words[] = {"build", "src/main.cpp", "ok", "warning:", "-rw-r--r--", "tmux", "1024", "done"};
    std::string chunk;
    while (s.decoded.size() < bytes) {
        chunk.clear();
        while (chunk.size() < 160) {
            if (next() % 5 == 0)
                chunk += "\x1b[" + std::to_string(31 + next() % 7) + "m";
            chunk += words[next() % 8];
            chunk += next() % 9 == 0 ? "\x1b[0m\r\n" : " ";
        }
        s.decoded += chunk;
        std::string line = "%output %3 ";
        for (const unsigned char c : chunk) {
            if (c < 0x20 || c == '\\') {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\%03o", c);
                line += esc;
            } else {
                line += char(c);
            }
        }
        s.control += line + "\n";
        ++s.lines;
    }
    return s;
}

const Stream& stream()
{
    static const Stream s = makeStream(24 << 20);
    return s;
}

orvane::TmuxControlClient readyClient(size_t& delivered)
{
    orvane::TmuxControlClient client("s", [](std::span<const uint8_t>) {});
    client.onEvent = [&delivered](const orvane::TmuxEvent& e) {
        if (const auto* o = std::get_if<orvane::tmuxevent::PaneOutput>(&e))
            delivered += o->bytes.size();
    };
    client.feed(std::string_view("\x1bP1000p%begin 1 1 0\nREADY\n%end 1 1 0\n"));
    return client;
}

void feedInChunks(orvane::TmuxControlClient& client, std::string_view data)
{
    for (size_t at = 0; at < data.size(); at += 65536)
        client.feed(data.substr(at, 65536));
}

void BM_TmuxClientFeed(benchmark::State& state)
{
    const Stream& s = stream();
    size_t delivered = 0;
    size_t allocations = 0;
    for (auto _ : state) {
        auto client = readyClient(delivered);
        const size_t before = gAllocations.load();
        feedInChunks(client, s.control);
        allocations = gAllocations.load() - before;
    }
    state.SetBytesProcessed(int64_t(state.iterations() * s.control.size()));
    state.counters["allocs/line"] = double(allocations) / double(s.lines);
    benchmark::DoNotOptimize(delivered);
}
BENCHMARK(BM_TmuxClientFeed)->Unit(benchmark::kMillisecond);

void BM_TerminalFeedDecoded(benchmark::State& state)
{
    const Stream& s = stream();
    for (auto _ : state) {
        orvane::Terminal t(200, 50);
        for (size_t at = 0; at < s.decoded.size(); at += 65536)
            t.feed(std::string_view(s.decoded).substr(at, 65536));
        benchmark::DoNotOptimize(t.generation());
    }
    state.SetBytesProcessed(int64_t(state.iterations() * s.decoded.size()));
}
BENCHMARK(BM_TerminalFeedDecoded)->Unit(benchmark::kMillisecond);

}  // namespace

// Counting allocations: the replaced global operators pair malloc with free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t n)
{
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    // The client must never be the bottleneck: it has to outrun the terminal on the same output.
    const Stream& s = stream();
    size_t delivered = 0;
    auto client = readyClient(delivered);
    auto seconds = [](auto&& f) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    const double clientTime = seconds([&] { feedInChunks(client, s.control); });
    orvane::Terminal t(200, 50);
    const double termTime = seconds([&] { t.feed(s.decoded); });
    const double clientRate = double(s.decoded.size()) / clientTime / 1e6;
    const double termRate = double(s.decoded.size()) / termTime / 1e6;
    std::printf("\nclient %.0f MB/s of pane output, terminal %.0f MB/s on the same bytes: %.1fx\n", clientRate,
                termRate, clientRate / termRate);
    benchmark::Shutdown();
    return 0;
}

// Full repaints of a 200x50 terminal view into an offscreen image: the same screen again, and
// a screen whose every cell changed since the last frame, next to the simplest Qt text path
// (one drawText per row of the same text).
#include "TerminalView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

constexpr int kCols = 200, kRows = 50;

// A screen of mixed coloured text; `seed` changes every cell.
std::string screenText(int seed)
{
    std::string s = "\x1b[H";
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kCols; ++c) {
            const int k = r * 7 + c * 3 + seed;
            if (c % 10 == 0)
                s += "\x1b[" + std::to_string(k % 3 == 0 ? 1 : 22) + ";" + std::to_string(31 + k % 7) + "m";
            s += char('!' + (k % 90));
        }
        if (r + 1 < kRows)
            s += "\r\n";
    }
    return s;
}

orvane::TerminalView& view()
{
    static orvane::TerminalView* v = [] {
        auto* t = new orvane::TerminalView;
        t->setFontSize(14);
        t->fixedGrid = orvane::TerminalView::Grid{kCols, kRows};
        t->resize(int(kCols * t->cellWidth()) + 1, int(kRows * t->cellHeight()) + 1);
        t->attach({}, {});
        t->receive(screenText(0));
        return t;
    }();
    return *v;
}

void BM_RepaintSameScreen(benchmark::State& state)
{
    QImage image(view().size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::transparent);
        view().render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RepaintSameScreen)->Unit(benchmark::kMillisecond);

void BM_RepaintEveryCellChanged(benchmark::State& state)
{
    QImage image(view().size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<std::string> screens;
    for (int i = 0; i < 8; ++i)
        screens.push_back(screenText(i + 1));
    size_t frame = 0;
    for (auto _ : state) {
        view().receive(screens[frame++ % screens.size()]);
        image.fill(Qt::transparent);
        view().render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RepaintEveryCellChanged)->Unit(benchmark::kMillisecond);

// The bar: one drawText per row, one colour, no cells.
void BM_DrawTextPerRow(benchmark::State& state)
{
    QImage image(view().size(), QImage::Format_ARGB32_Premultiplied);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(14);
    std::vector<QString> rows;
    for (int r = 0; r < kRows; ++r)
        rows.push_back(QString::fromStdString(view().term.rowText(r)));
    const double h = view().cellHeight();
    for (auto _ : state) {
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setFont(font);
        p.setPen(QColor(0xD7DBE3));
        for (int r = 0; r < kRows; ++r)
            p.drawText(QPointF(0, (r + 1) * h - 4), rows[size_t(r)]);
    }
    state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawTextPerRow)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

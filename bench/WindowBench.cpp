// The window on large maps, on a display (run it under Xvfb:
// xvfb-run -a -s "-screen 0 1024x768x24" build-bench/bench/sundrel_bench_window).
//
// BM_ScreenRedraw: random sites (10,000 by default) with every map layer
// visible, labels included, in an 800 x 600 view at "Reset zoom". Each
// iteration renders the whole scene into the view's framebuffer and reads it
// back (QOpenGLWidget::grabFramebuffer), so the figure is an upper bound of
// one redraw.
//
// BM_CreationStaysResponsive: a map of a million sites created through the
// creation dialog. Counters: the longest time the window thread went without
// handling events (a 10 ms timer's lateness), the longest gap between two
// moves of the progress bar, and after Cancel (pressed at 50 %) how long the
// dialog took to close and the worker to stop.
//
// BM_OpenLargeDocument: a document of 100,000 sites opened in the window;
// the time from the end of the read to the first frame shown.

#include "PointSets.h"

#include "app/document/DocumentBridge.h"
#include "app/importing/MapCreationControl.h"
#include "app/shell/MainForm.h"
#include "app/view/OpenGLControl.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>

namespace {

using namespace sundrel;

// A triangulation document of `sites` random sites in the temporary folder.
std::filesystem::path MakeDocument(std::size_t sites, const char* tag)
{
    const auto file = std::filesystem::temp_directory_path() /
                      (std::string("sundrel-window-") + tag + "-" + std::to_string(::getpid()) +
                       ".dvt");
    MMapFactory factory;
    factory.StartCreation(bench::RandomPoints(sites));
    factory.waitIdle(std::chrono::milliseconds::max());
    const std::unique_ptr<MMap> map = factory.TakeMap();
    SaveMapDocument(file, BuildHeader(*map), *map, factory);
    factory.DestroyMap(*map);
    return file;
}

void BM_ScreenRedraw(benchmark::State& state)
{
    const auto file = MakeDocument(static_cast<std::size_t>(state.range(0)), "redraw");
    app::TMainForm form;
    form.resize(800, 600);
    form.show();
    QApplication::processEvents();
    form.OpenDocument(QString::fromStdString(file.string()));
    QApplication::processEvents();
    for (auto _ : state) {
        const QImage image = form.View()->grabFramebuffer();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["view px"] = form.View()->width() * form.View()->height();
    std::filesystem::remove(file);
}
BENCHMARK(BM_ScreenRedraw)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

void BM_CreationStaysResponsive(benchmark::State& state)
{
    const std::vector<MXY> points = bench::RandomPoints(static_cast<std::size_t>(state.range(0)));
    app::DocumentBridge bridge;
    MMapFactory factory;
    bridge.attach(factory);
    app::TMapCreationControl dialog(factory, bridge);
    for (auto _ : state) {
        // The window thread's lateness, sampled by a 10 ms timer.
        QElapsedTimer clock;
        clock.start();
        qint64 lastTick = 0, longestStall = 0, lastMove = -1, longestGap = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longestStall = std::max(longestStall, now - lastTick);
            lastTick = now;
        });
        QObject::connect(dialog.ProgressBar(), &QProgressBar::valueChanged, [&] {
            const qint64 now = clock.elapsed();
            if (lastMove >= 0)
                longestGap = std::max(longestGap, now - lastMove);
            lastMove = now;
        });
        double closedAfter = 0, stoppedAfter = 0;
        QTimer canceller;
        QObject::connect(&canceller, &QTimer::timeout, [&] {
            if (dialog.ProgressBar()->value() < 50)
                return;
            canceller.stop();
            QElapsedTimer cancel;
            cancel.start();
            dialog.CancelButton()->click();
            closedAfter = static_cast<double>(cancel.nsecsElapsed()) / 1e6;
            factory.waitIdle();
            stoppedAfter = static_cast<double>(cancel.nsecsElapsed()) / 1e6;
        });
        ticker.start(10);
        canceller.start(5);
        dialog.Run(points);
        ticker.stop();
        QObject::disconnect(dialog.ProgressBar(), nullptr, nullptr, nullptr);
        state.counters["stall ms"] = static_cast<double>(longestStall);
        state.counters["bar gap ms"] = static_cast<double>(longestGap);
        state.counters["close ms"] = closedAfter;
        state.counters["stop ms"] = stoppedAfter;
    }
    bridge.detach(factory);
}
BENCHMARK(BM_CreationStaysResponsive)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_OpenLargeDocument(benchmark::State& state)
{
    const auto file = MakeDocument(static_cast<std::size_t>(state.range(0)), "open");
    app::TMainForm form;
    form.resize(800, 600);
    form.show();
    QApplication::processEvents();
    MMapFactory reader;
    for (auto _ : state) {
        // The read alone, then the whole open through the first frame.
        QElapsedTimer clock;
        clock.start();
        {
            LoadedDocument doc = LoadMapDocument(file, reader);
            reader.DestroyMap(*doc.map);
        }
        const double read = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        clock.restart();
        form.OpenDocument(QString::fromStdString(file.string()));
        const double opened = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        const QImage image = form.View()->grabFramebuffer();
        benchmark::DoNotOptimize(image.constBits());
        const double shown = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        state.counters["read ms"] = read;
        state.counters["after read ms"] = shown - read;
        state.counters["first frame ms"] = shown - opened;
        form.CloseMap();
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_OpenLargeDocument)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

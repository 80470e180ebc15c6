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
//
// BM_MatrixImportDialog: 100 square matrices of 500 populations (about 120
// MB of text) extracted by the matrix import dialog, from "Extract data" to
// OK enabled, against the same extraction as the command line runs it
// (FileReader + ExtractMatrices on this thread); the ratio is the dialog's
// overhead.
//
// BM_RedrawWhileSorting: a significance test of M matrices of 500
// populations (1,000 by default) started in the window; while the worker
// sorts the matrices, the view is redrawn again and again: the longest and
// the median redraw.

#include "PointSets.h"

#include "app/document/DocumentBridge.h"
#include "app/importing/ImportMatForm.h"
#include "app/shell/SundrelForm.h"
#include "import/FileReader.h"
#include "matrix/MatrixFile.h"
#include "matrix/MatrixImport.h"
#include "matrix/SMatrix.h"
#include "app/importing/MapCreationControl.h"
#include "app/shell/MainForm.h"
#include "app/view/OpenGLControl.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QCheckBox>
#include <QProgressBar>
#include <QSpinBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

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

// 100 square matrices of 500 populations, one row per line.
std::filesystem::path MatrixText()
{
    static const std::filesystem::path file = [] {
        const auto path = std::filesystem::temp_directory_path() /
                          ("sundrel-window-matrices-" + std::to_string(::getpid()) + ".txt");
        std::FILE* f = std::fopen(path.string().c_str(), "wb");
        std::mt19937 rng(5);
        std::uniform_int_distribution<int> u(0, 999);
        std::vector<int> lower(500 * 500);
        for (int m = 0; m < 100; ++m) {
            for (int i = 0; i < 500; ++i)
                for (int j = 0; j < i; ++j)
                    lower[static_cast<std::size_t>(i * 500 + j)] = u(rng);
            for (int i = 0; i < 500; ++i) {
                std::string line;
                for (int j = 0; j < 500; ++j) {
                    const int v = i == j ? 0 : lower[static_cast<std::size_t>(std::max(i, j) * 500 + std::min(i, j))];
                    line += std::to_string(v / 100) + "." + std::to_string(v % 100 / 10) +
                            std::to_string(v % 10);
                    line += j + 1 < 500 ? ' ' : '\n';
                }
                std::fwrite(line.data(), 1, line.size(), f);
            }
        }
        std::fclose(f);
        return path;
    }();
    return file;
}

void BM_MatrixImportDialog(benchmark::State& state)
{
    const std::filesystem::path text = MatrixText();
    const auto folder = std::filesystem::temp_directory_path();
    MatrixLayout layout;
    layout.size = 500;
    layout.matrices = 100;
    app::DocumentBridge bridge;
    app::TImportMatForm dialog(bridge);
    dialog.SetTemporaryFolder(folder);
    for (auto _ : state) {
        // The command line's way: read and extract on this thread.
        QElapsedTimer clock;
        clock.start();
        double indexed = 0;
        {
            FileReader reader(text.string(), nullptr, false);
            indexed = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            MatrixFile store(TemporaryMatrixFileName(folder));
            ExtractMatrices(reader, layout, store);
        }
        const double direct = static_cast<double>(clock.nsecsElapsed()) / 1e6;

        double extraction = 0;
        QTimer::singleShot(0, [&] {
            // Waits as the window does, asleep between events.
            const auto idle = [] {
                QApplication::processEvents(QEventLoop::AllEvents, 5);
                QThread::msleep(2);
            };
            while (dialog.Reading())
                idle();
            dialog.SquareBox()->setChecked(true);
            dialog.GapEdit()->setValue(0);
            dialog.MatricesEdit()->setValue(100);
            QElapsedTimer extract;
            extract.start();
            dialog.ExtractButton()->click();
            while (!dialog.OKButton()->isEnabled())
                idle();
            extraction = static_cast<double>(extract.nsecsElapsed()) / 1e6;
            dialog.OKButton()->click();
        });
        clock.restart();
        dialog.setMatrixSize(500);
        dialog.Execute(QString::fromStdString(text.string()));
        const double whole = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        dialog.takeMatrixFile().reset();
        state.counters["cli ms"] = direct;
        state.counters["cli index ms"] = indexed;
        state.counters["dialog extract ms"] = extraction;
        state.counters["dialog read+extract ms"] = whole;
        state.counters["ratio"] = whole / direct;
    }
}
BENCHMARK(BM_MatrixImportDialog)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_RedrawWhileSorting(benchmark::State& state)
{
    const int matrices = static_cast<int>(state.range(0));
    const auto file = MakeDocument(500, "sorting");
    app::TSundrelForm form;
    form.resize(800, 600);
    form.show();
    QApplication::processEvents();
    form.OpenDocument(QString::fromStdString(file.string()));
    while (form.Layers().awaitingAcknowledge() || !form.Layers().waitIdle(std::chrono::milliseconds(0)))
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const std::int32_t n = form.Map()->N();
    for (auto _ : state) {
        auto store = std::make_unique<MatrixFile>(
            TemporaryMatrixFileName(std::filesystem::temp_directory_path()));
        store->initialize(n);
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        std::vector<double> values(static_cast<std::size_t>(PairCount(n)));
        for (int m = 0; m < matrices; ++m) {
            for (double& v : values)
                v = u(rng);
            SMatrix matrix;
            matrix.assign(n, values);
            store->writeMatrix(matrix);
        }
        AnalysisRequest request;
        request.store = std::move(store);
        request.single = false;
        request.sundrels = 10;
        request.title = "bench";
        form.Layers().newAnalysis(std::move(request));
        std::vector<double> redraws;
        QElapsedTimer clock;
        while (!form.Layers().waitIdle(std::chrono::milliseconds(0)) ||
               form.Layers().awaitingAcknowledge()) {
            clock.restart();
            const QImage image = form.View()->grabFramebuffer();
            benchmark::DoNotOptimize(image.constBits());
            redraws.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        std::sort(redraws.begin(), redraws.end());
        state.counters["redraws"] = static_cast<double>(redraws.size());
        state.counters["median redraw ms"] = redraws.empty() ? 0 : redraws[redraws.size() / 2];
        state.counters["longest redraw ms"] = redraws.empty() ? 0 : redraws.back();
        form.Layers().removeAll();
    }
    form.SetModified(false);
    form.CloseMap();
    std::filesystem::remove(file);
}
BENCHMARK(BM_RedrawWhileSorting)->Arg(1000)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

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

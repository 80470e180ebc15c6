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
// BM_RedrawByLayer: the redraw of BM_ScreenRedraw with one map layer
// shown at a time (-1: all), to see where the time goes.
//
// BM_PanZoomRedraw: maps of 10,000 and 100,000 sites in the sundrel window,
// "Zoom in" pressed 0 to 3 times, each iteration a page of the horizontal
// scroll bar and a redraw (median).
//
// BM_DragVirtualPoint: a virtual point dragged with "Move point" on 10,000
// sites with a single run layer, at 100 % and at 200 %: per mouse move, the
// edit alone and the edit with the redraw (medians), the still redraw for
// comparison, and the layer's recomputation after the release.
//
// BM_ExportBitmapFromWindow: "Export" > "Bitmap" of 10,000 sites at 4000 x
// 3000 pixels from the window (the dialogs answered at once), against
// `sundrel-cli export` of the same view and size in a child process; the
// longest time the progress bar stood still; and, in a second export
// cancelled at half way, how long the dialog took to close after Cancel.
//
// BM_RedrawWhileSorting: a significance test of M matrices of 500
// populations (1,000 by default) started in the window; while the worker
// sorts the matrices, the view is redrawn again and again: the longest and
// the median redraw.
//
// BM_HighlightFrame: a site highlighted by a Select click on 10,000 sites at
// "Reset zoom"; each iteration is one step of the blinking and the frame it
// asks for (painted into the view's framebuffer and read back, as above),
// and the same frame painted on the screen (repaint, composition included).
// Medians. Second argument 1: the scene kept off screen (the window's way);
// 0: the whole scene drawn at every frame.
//
// BM_InputWhileBlinking: a site highlighted by a Select click on 100,000
// sites, the selection timer blinking; another thread posts a mouse move
// every 20 ms for 4 s. The latency of each move is the time from its post to
// its handling by the view: median, 90th percentile and longest, and the
// frames painted meanwhile. Second argument as above.

#include "PointSets.h"

#include "app/document/DocumentBridge.h"
#include "app/export/BitmapSizeConfiguration.h"
#include "app/export/ExportDialog.h"
#include "app/importing/ImportMatForm.h"
#include "app/view/ViewGeometry.h"
#include "app/document/OpenDocument.h"
#include "app/export/FigureExporter.h"
#include "app/shell/SundrelForm.h"
#include "app/view/LayerControls.h"
#include "app/view/ViewController.h"
#include "app/view/ViewTools.h"
#include "import/FileReader.h"
#include "matrix/MatrixFile.h"
#include "matrix/MatrixImport.h"
#include "matrix/SMatrix.h"
#include "app/importing/MapCreationControl.h"
#include "app/shell/MainForm.h"
#include "app/view/OpenGLControl.h"
#include "app/view/ScrollingPanel.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QLineF>
#include <QProcess>
#include <QImage>
#include <QMouseEvent>
#include <QCheckBox>
#include <QProgressBar>
#include <QScrollBar>
#include <QSpinBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <random>
#include <thread>

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
    factory.wait(std::chrono::milliseconds::max());
    const std::unique_ptr<MMap> map = factory.TakeMap();
    SaveMapDocument(file, BuildHeader(*map), *map, factory);
    factory.DestroyMap(*map);
    return file;
}

// The window shown at 800 x 600 with the document open and its first
// events handled.
void ShowAndOpen(app::TMainForm& form, const std::filesystem::path& file)
{
    form.resize(800, 600);
    form.show();
    QApplication::processEvents();
    form.OpenDocument(QString::fromStdString(file.string()));
    QApplication::processEvents();
}

void BM_ScreenRedraw(benchmark::State& state)
{
    const auto file = MakeDocument(static_cast<std::size_t>(state.range(0)), "redraw");
    app::TMainForm form;
    ShowAndOpen(form, file);
    for (auto _ : state) {
        const QImage image = form.Viewer().View()->grabFramebuffer();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["view px"] = form.Viewer().View()->width() * form.Viewer().View()->height();
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
            factory.wait();
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
        const QImage image = form.Viewer().View()->grabFramebuffer();
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
    dialog.Stores().Choose(folder);
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

// One map layer at a time (-1: all of them), to see where a redraw goes.
void BM_RedrawByLayer(benchmark::State& state)
{
    const auto file = MakeDocument(10000, "layer");
    app::TSundrelForm form;
    ShowAndOpen(form, file);
    const int only = static_cast<int>(state.range(0));
    for (int layer = 0; layer < 5; ++layer)
        form.LayerControls().ChangeLayerVisibility(layer, only < 0 || layer == only);
    QApplication::processEvents();
    for (auto _ : state) {
        const QImage image = form.Viewer().View()->grabFramebuffer();
        benchmark::DoNotOptimize(image.constBits());
    }
    form.SetModified(false);
    std::filesystem::remove(file);
}
BENCHMARK(BM_RedrawByLayer)
    ->DenseRange(-1, 4)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20)
    ->UseRealTime();

// Pan at a zoom: "Zoom in" pressed `zoom` times (0: "Reset zoom", where
// nothing can pan and each iteration only redraws), then each iteration
// moves the horizontal scroll bar one step (back and forth) and redraws.
void BM_PanZoomRedraw(benchmark::State& state)
{
    const auto sites = static_cast<std::size_t>(state.range(0));
    const int zoom = static_cast<int>(state.range(1));
    const auto file = MakeDocument(sites, "pan");
    app::TSundrelForm form;
    ShowAndOpen(form, file);
    for (int k = 0; k < zoom; ++k) {
        form.Viewer().ZoomIn();
        QApplication::processEvents();
    }
    QScrollBar* bar = form.Viewer().Panel()->HorizontalBar();
    benchmark::DoNotOptimize(form.Viewer().View()->grabFramebuffer().constBits()); // warm
    int iteration = 0;
    std::vector<double> frames;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        if (zoom > 0)
            bar->triggerAction(iteration++ % 2 == 0 ? QAbstractSlider::SliderPageStepAdd
                                                    : QAbstractSlider::SliderPageStepSub);
        const QImage image = form.Viewer().View()->grabFramebuffer();
        benchmark::DoNotOptimize(image.constBits());
        frames.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(frames.begin(), frames.end());
    state.counters["median ms"] = frames[frames.size() / 2];
    state.counters["zoom %"] = form.Viewer().ZoomText().split(' ').front().toDouble();
    form.SetModified(false);
    std::filesystem::remove(file);
}
BENCHMARK(BM_PanZoomRedraw)
    ->ArgsProduct({ { 10000, 100000 }, { 0, 1, 2, 3 } })
    ->Unit(benchmark::kMillisecond)
    ->Iterations(15)
    ->UseRealTime();

bool LayersComputed(app::TSundrelForm& form)
{
    MonmonierLayer& layers = form.Layers();
    if (layers.awaitingAcknowledge() || layers.count() == 0)
        return false;
    for (std::int32_t i = 0; i < layers.count(); ++i)
        if (!layers.layer(i)->computed())
            return false;
    return layers.wait(std::chrono::milliseconds(0));
}

void SendMouse(QWidget* view, QEvent::Type type, QPoint at, Qt::MouseButtons buttons)
{
    const QPointF local(at);
    QMouseEvent event(type, local, view->mapToGlobal(local),
        type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(view, &event);
}

// A virtual point dragged with the "Move point" tool on a map with a single
// run layer (K = 3 on a random matrix), at "Reset zoom" (zoom 0) or after
// "Zoom in" pressed `zoom` times. Each of 40 mouse moves is timed from the
// event to the end of the repaint it asked for: the move applied to the map,
// the layer told to recompute, and the whole view redrawn. The layer's
// recomputation runs on its worker; after the release, the time until it is
// computed again.
void BM_DragVirtualPoint(benchmark::State& state)
{
    const auto sites = static_cast<std::size_t>(state.range(0));
    const int zoom = static_cast<int>(state.range(1));
    const auto file = MakeDocument(sites, "drag");
    app::TSundrelForm form;
    ShowAndOpen(form, file);
    const std::int32_t n = form.Map()->N();
    {
        auto store = std::make_unique<MatrixFile>(
            TemporaryMatrixFileName(std::filesystem::temp_directory_path()));
        store->initialize(n);
        std::mt19937 rng(11);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        std::vector<double> values(static_cast<std::size_t>(PairCount(n)));
        for (double& v : values)
            v = u(rng);
        SMatrix matrix;
        matrix.assign(n, std::move(values));
        store->writeMatrix(matrix);
        AnalysisRequest request;
        request.store = std::move(store);
        request.single = true;
        request.sundrels = 3;
        request.title = "bench";
        form.Layers().newAnalysis(std::move(request));
    }
    QElapsedTimer first;
    first.start();
    while (!LayersComputed(form))
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    state.counters["first run ms"] = static_cast<double>(first.elapsed());
    app::TOpenGLControl* view = form.Viewer().View();
    const auto pixel = [&](MXY at) {
        return app::MapToPixel(form.Viewer().CurrentView(), view->width(), view->height(), at).toPoint();
    };
    // The virtual point nearest the view's centre.
    const MMap& map = *form.Map();
    const QPoint centre(view->width() / 2, view->height() / 2);
    QPoint from;
    std::int64_t best = -1;
    // Zoomed in with the "Zoom" tool round the point nearest the centre,
    // found again after each zoom.
    form.Tools().SetTool(app::Tool::Zoom);
    for (int k = 0; k <= zoom; ++k) {
        for (std::int32_t slot = 0; slot < map.V(); ++slot) {
            const QPoint p = pixel(map.mesh.xy(map.GetVirtualPoint(slot)));
            if (p.x() < 2 || p.y() < 2 || p.x() > view->width() - 2 || p.y() > view->height() - 2)
                continue;
            const std::int64_t d = std::int64_t { p.x() - centre.x() } * (p.x() - centre.x())
                + std::int64_t { p.y() - centre.y() } * (p.y() - centre.y());
            if (best < 0 || d < best) {
                best = d;
                from = p;
            }
        }
        if (best < 0)
            break;
        if (k < zoom) {
            // A zoom rectangle of half the view's size round the point.
            const QPoint half(view->width() / 4, view->height() / 4);
            SendMouse(view, QEvent::MouseButtonPress, from - half, Qt::LeftButton);
            SendMouse(view, QEvent::MouseMove, from + half, Qt::LeftButton);
            SendMouse(view, QEvent::MouseButtonRelease, from + half, Qt::NoButton);
            QApplication::processEvents();
            best = -1;
        }
    }
    if (best < 0) {
        state.SkipWithError("no virtual point in view");
        return;
    }
    {
        std::vector<double> still;
        for (int k = 0; k < 10; ++k) {
            QElapsedTimer clock;
            clock.start();
            const QImage image = view->grabFramebuffer();
            benchmark::DoNotOptimize(image.constBits());
            still.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        std::sort(still.begin(), still.end());
        state.counters["still redraw ms"] = still[still.size() / 2];
    }
    form.Tools().SetTool(app::Tool::MovePoint);
    std::vector<double> moves;
    std::vector<double> edits; // the event alone, before the repaint
    double follow = 0.0;
    for (auto _ : state) {
        SendMouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton);
        QPoint at = from;
        QElapsedTimer clock;
        for (int step = 0; step < 40; ++step) {
            // Inwards, then back.
            const int sx = from.x() < centre.x() ? 1 : -1;
            const int sy = from.y() < centre.y() ? 1 : -1;
            at += step < 20 ? QPoint(sx, sy * (step % 2)) : QPoint(-sx, -sy * (step % 2));
            clock.restart();
            SendMouse(view, QEvent::MouseMove, at, Qt::LeftButton);
            edits.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            const QImage image = view->grabFramebuffer();
            benchmark::DoNotOptimize(image.constBits());
            moves.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
            QApplication::processEvents();
        }
        SendMouse(view, QEvent::MouseButtonRelease, at, Qt::NoButton);
        clock.restart();
        while (!LayersComputed(form))
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        follow = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        from = at;
    }
    std::sort(moves.begin(), moves.end());
    state.counters["median move ms"] = moves[moves.size() / 2];
    std::sort(edits.begin(), edits.end());
    state.counters["median edit ms"] = edits[edits.size() / 2];
    state.counters["p90 move ms"] = moves[moves.size() * 9 / 10];
    state.counters["longest move ms"] = moves.back();
    state.counters["layer after release ms"] = follow;
    state.counters["zoom %"] = form.Viewer().ZoomText().split(' ').front().toDouble();
    form.SetModified(false);
    form.CloseMap();
    std::filesystem::remove(file);
}
BENCHMARK(BM_DragVirtualPoint)
    ->ArgsProduct({ { 10000 }, { 0, 1 } })
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// Runs `action` on the next modal dialog named `name`, polling every
// millisecond so that the dialogs cost the timing next to nothing.
void WhenModal(const QString& name, std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, name, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal->objectName() != name)
            return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start(1);
}

void AnswerSizeAndFile(int width, const std::filesystem::path& file)
{
    WhenModal("BitmapSizeConfiguration", [width](QWidget* dialog) {
        auto* size = static_cast<app::TBitmapSizeConfiguration*>(dialog);
        size->PixelWidthEdit()->setText(QString::number(width));
        emit size->PixelWidthEdit()->textEdited(size->PixelWidthEdit()->text());
        size->accept();
    });
    WhenModal("ExportBitmapDialog", [file](QWidget* dialog) {
        auto* files = static_cast<QFileDialog*>(dialog);
        files->selectFile(QString::fromStdString(file.string()));
        static_cast<QDialog*>(files)->accept();
    });
}

void BM_ExportBitmapFromWindow(benchmark::State& state)
{
    const auto file = MakeDocument(10000, "export");
    const auto out = std::filesystem::temp_directory_path() /
                     ("sundrel-window-export-" + std::to_string(::getpid()));
    std::filesystem::create_directories(out);
    app::TSundrelForm form;
    ShowAndOpen(form, file);
    // A view of 800 x 600 pixels: its proportions give 3000 rows for 4000
    // columns.
    form.resize(800 + form.width() - form.Viewer().View()->width(), 600 + form.height() - form.Viewer().View()->height());
    QApplication::processEvents();
    const double ratio = form.Viewer().CurrentView().Width() / form.Viewer().CurrentView().Height();
    const int width = 4000;
    const int height = static_cast<int>(width / ratio);

    QProgressBar* bar = form.Exports().ExportDialog()->ProgressBar();
    QElapsedTimer clock;
    double lastMove = 0.0;
    double longestStill = 0.0;
    bool measuring = false;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int) {
        if (!measuring)
            return;
        const double now = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        longestStill = std::max(longestStill, now - lastMove);
        lastMove = now;
    });
    double windowMs = 0.0;
    for (auto _ : state) {
        const auto target = out / "window.bmp";
        std::filesystem::remove(target);
        AnswerSizeAndFile(width, target);
        clock.start();
        lastMove = 0.0;
        longestStill = 0.0;
        measuring = true;
        form.Exports().ExportBitmapCommand();
        windowMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        measuring = false;
        // Until the dialog closed.
        longestStill = std::max(longestStill, windowMs - lastMove);
    }
    // The same figure from the command line.
    const MBounds v = form.Viewer().CurrentView();
    const auto number = [](double x) { return QString::number(x, 'g', 17); };
    QProcess cli;
    QElapsedTimer cliClock;
    cliClock.start();
    cli.start(SUNDREL_CLI_PATH,
              {"export", QString::fromStdString(file.string()), "-o",
               QString::fromStdString((out / "cli.bmp").string()), "--width",
               QString::number(width), "--height", QString::number(height), "--view",
               number(v.xMin) + "," + number(v.xMax) + "," + number(v.yMin) + "," + number(v.yMax)});
    cli.waitForFinished(-1);
    const double cliMs = static_cast<double>(cliClock.nsecsElapsed()) / 1e6;
    // Cancelled at half way.
    double cancelMs = -1.0;
    {
        AnswerSizeAndFile(width, out / "cancelled.bmp");
        QElapsedTimer pressed;
        auto connection = QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
            if (!pressed.isValid() && value >= bar->maximum() / 2) {
                pressed.start();
                form.Exports().ExportDialog()->Button()->click();
            }
        });
        form.Exports().ExportBitmapCommand();
        if (pressed.isValid())
            cancelMs = static_cast<double>(pressed.nsecsElapsed()) / 1e6;
        QObject::disconnect(connection);
    }
    state.counters["height"] = height;
    state.counters["window ms"] = windowMs;
    state.counters["cli ms"] = cliMs;
    state.counters["window / cli"] = windowMs / cliMs;
    state.counters["longest still bar ms"] = longestStill;
    state.counters["cancel to closed ms"] = cancelMs;
    state.counters["same bytes"] =
        std::filesystem::exists(out / "cli.bmp") && std::filesystem::exists(out / "window.bmp") &&
        std::filesystem::file_size(out / "cli.bmp") == std::filesystem::file_size(out / "window.bmp");
    form.SetModified(false);
    form.CloseMap();
    std::filesystem::remove_all(out);
    std::filesystem::remove(file);
}
BENCHMARK(BM_ExportBitmapFromWindow)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_RedrawWhileSorting(benchmark::State& state)
{
    const int matrices = static_cast<int>(state.range(0));
    const auto file = MakeDocument(500, "sorting");
    app::TSundrelForm form;
    ShowAndOpen(form, file);
    while (form.Layers().awaitingAcknowledge() || !form.Layers().wait(std::chrono::milliseconds(0)))
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
        while (!form.Layers().wait(std::chrono::milliseconds(0)) ||
               form.Layers().awaitingAcknowledge()) {
            clock.restart();
            const QImage image = form.Viewer().View()->grabFramebuffer();
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

// A Select click on the site nearest the view's centre; the map's site.
QPoint SelectCentralSite(app::TMainForm& form)
{
    app::TOpenGLControl* view = form.Viewer().View();
    const MMap& map = *form.Map();
    const QPointF centre(view->width() / 2.0, view->height() / 2.0);
    QPoint best;
    double bestDistance = -1.0;
    for (std::int32_t i = 0; i < map.N(); ++i) {
        const MPolygon& cell = map.cells[static_cast<std::size_t>(i)];
        const QPointF p = app::MapToPixel(form.Viewer().CurrentView(), view->width(),
                                          view->height(), {cell.siteX, cell.siteY});
        const double d = QLineF(p, centre).length();
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = p.toPoint();
        }
    }
    form.Tools().SetTool(app::Tool::Select);
    SendMouse(view, QEvent::MouseButtonPress, best, Qt::LeftButton);
    SendMouse(view, QEvent::MouseButtonRelease, best, Qt::NoButton);
    QApplication::processEvents();
    return best;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

void BM_HighlightFrame(benchmark::State& state)
{
    const auto file = MakeDocument(static_cast<std::size_t>(state.range(0)), "highlight");
    app::TMainForm form;
    ShowAndOpen(form, file);
    form.Viewer().SetSceneBuffered(state.range(1) != 0);
    SelectCentralSite(form);
    app::TOpenGLControl* view = form.Viewer().View();
    // Warm: both blink states drawn once.
    for (int k = 0; k < 2; ++k) {
        form.Tools().Blink();
        benchmark::DoNotOptimize(view->grabFramebuffer().constBits());
    }
    std::vector<double> grabbed;
    std::vector<double> shown;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        form.Tools().Blink();
        const QImage image = view->grabFramebuffer();
        benchmark::DoNotOptimize(image.constBits());
        grabbed.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        clock.restart();
        form.Tools().Blink();
        view->repaint();
        shown.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    state.counters["grabbed frame ms"] = Median(grabbed);
    state.counters["shown frame ms"] = Median(shown);
    state.counters["highlight kind"] = form.Map()->highlight.kind;
    state.counters["zoom %"] = form.Viewer().ZoomText().split(' ').front().toDouble();
    form.CloseMap();
    std::filesystem::remove(file);
}
BENCHMARK(BM_HighlightFrame)->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond)->Iterations(30)->UseRealTime();

// Records when each posted mouse move reaches the view, before the tools.
class MoveLatency : public QObject {
public:
    explicit MoveLatency(std::size_t count) : posted(count), handled(count, -1.0) {}
    std::vector<std::atomic<qint64>> posted; // ns on `clock`
    std::vector<double> handled;             // latency in ms, -1 until handled
    QElapsedTimer clock;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseMove) {
            const auto k = static_cast<std::size_t>(static_cast<QMouseEvent*>(event)->timestamp());
            if (k < handled.size() && handled[k] < 0)
                handled[k] = static_cast<double>(clock.nsecsElapsed() - posted[k].load()) / 1e6;
        }
        return false;
    }
};

void BM_InputWhileBlinking(benchmark::State& state)
{
    const auto file = MakeDocument(static_cast<std::size_t>(state.range(0)), "blinking");
    app::TMainForm form;
    ShowAndOpen(form, file);
    form.Viewer().SetSceneBuffered(state.range(1) != 0);
    const QPoint at = SelectCentralSite(form);
    app::TOpenGLControl* view = form.Viewer().View();
    constexpr std::size_t kMoves = 200;
    for (auto _ : state) {
        MoveLatency latency(kMoves);
        view->installEventFilter(&latency);
        // Let the blinking start after the click's frame.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 1500)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        int frames = 0;
        const auto counter = QObject::connect(view, &QOpenGLWidget::frameSwapped, [&] { ++frames; });
        latency.clock.start();
        std::thread poster([&] {
            for (std::size_t k = 0; k < kMoves; ++k) {
                const QPointF local(at + QPoint(static_cast<int>(k % 7), 0));
                auto* event = new QMouseEvent(QEvent::MouseMove, local, view->mapToGlobal(local),
                                              Qt::NoButton, Qt::NoButton, Qt::NoModifier);
                event->setTimestamp(k);
                latency.posted[k].store(latency.clock.nsecsElapsed());
                QCoreApplication::postEvent(view, event);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        QElapsedTimer limit;
        limit.start();
        while (limit.elapsed() < 60000 &&
               std::any_of(latency.handled.begin(), latency.handled.end(),
                           [](double ms) { return ms < 0; }))
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        poster.join();
        QApplication::processEvents();
        QObject::disconnect(counter);
        view->removeEventFilter(&latency);
        std::vector<double> values;
        for (double ms : latency.handled)
            if (ms >= 0)
                values.push_back(ms);
        std::sort(values.begin(), values.end());
        state.counters["median latency ms"] = Median(values);
        state.counters["p90 latency ms"] = values.empty() ? 0.0 : values[values.size() * 9 / 10];
        state.counters["longest latency ms"] = values.empty() ? 0.0 : values.back();
        state.counters["moves handled"] = static_cast<double>(values.size());
        state.counters["frames"] = frames;
    }
    state.counters["highlight kind"] = form.Map()->highlight.kind;
    form.CloseMap();
    std::filesystem::remove(file);
}
BENCHMARK(BM_InputWhileBlinking)->Args({100000, 0})->Args({100000, 1})->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

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
